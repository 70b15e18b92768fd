// Texture images of the materials: a loaded (optionally cropped) power-of-two image with its
// masks and shift, its 256x256 tiled copy, and the video texture that takes its frames from a
// frame source.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "image/CImage32.h"
#include "s3d/RasterTypes.h"

class S3DTexture32 {
public:
    static constexpr const char* kCaption = "S3DTexture32 warning !";

    virtual ~S3DTexture32() = default;

    // Loads the image file; with useCrop the window (u W, v H, w W, h H) of a W x H image,
    // truncated to pixels, becomes the image ("load u v w h: bad dimension" when its width or
    // height is not positive). Then the 256x256 tiled copy and the power-of-two check.
    bool load(const char* fileName, bool useCrop, float u, float v, float w, float h);
    // Takes a copy of `image` (the same steps as load without the file).
    bool set(const CImage32& image);

    const CImage32* getImage() const { return m_pImage.get(); }
    const CImage32* getImage256() const { return m_pImage256.get(); }
    // Whether the image's width and height are powers of two (masks and shift valid).
    bool isPowerOfTwo() const { return m_powerOfTwo; }
    // The filler's view of the image: no pixels unless both sizes are powers of two.
    const RasterTexture& raster() const { return m_raster; }
    float getWidth() const { return m_pImage ? float(m_pImage->getWidth()) : 0.0f; }
    float getHeight() const { return m_pImage ? float(m_pImage->getHeight()) : 0.0f; }

    uint32_t m_maskU = 0, m_maskV = 0;
    int m_shiftU = 0, m_shiftV = 0;

protected:
    // The image is in m_pImage: the 256x256 copy, the checks and the filler's view.
    void finish();

    std::unique_ptr<CImage32Buffered> m_pImage;
    std::unique_ptr<CImage32Buffered> m_pImage256;
    RasterTexture m_raster;
    bool m_powerOfTwo = false;
};

// Where a video texture reads its frames (a decoder behind it; none is bound by default).
class S3DTextureFrameSource {
public:
    virtual ~S3DTextureFrameSource() = default;
    virtual int getFrameCount() const = 0;
    // Frame i (0 .. count - 1), or null.
    virtual const CImage32* getFrame(int i) = 0;
};

// A texture whose images come from a video file: frame 0 gives the image at load.
class S3DTextureAvi : public S3DTexture32 {
public:
    static constexpr const char* kCaption = "S3DTextureAvi warning:";
    // Opens a frame source for a file name; null when it cannot. Unset, no video opens.
    using SourceFactory = std::function<std::unique_ptr<S3DTextureFrameSource>(const char* fileName)>;
    static void setSourceFactory(SourceFactory factory);

    bool open(const char* fileName);
    // Copies frame i into the image ("no frame" when it does not exist).
    bool setFrame(int i);
    int getFrameCount() const { return m_pSource ? m_pSource->getFrameCount() : 0; }

private:
    std::unique_ptr<S3DTextureFrameSource> m_pSource;
};
