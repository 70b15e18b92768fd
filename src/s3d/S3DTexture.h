// Texture images of the materials: a loaded (optionally cropped) power-of-two image with its
// masks and shift, its 256x256 tiled copy, and the video texture whose image is the frame of
// a decoded video that the scene time picks.
#pragma once

#include <cstdint>
#include <memory>

#include "image/CAvi.h"
#include "image/CImage32.h"
#include "raster/RasterTypes.h"

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
    // Shows the picture of scene time `frame` (in frames); still images have only one.
    virtual void showTime(float frame) { (void)frame; }

    const CImage32* getImage() const { return m_pImage.get(); }
    // The tiled copy, brought up to the image first when a video frame has replaced it (the
    // fillers read the image alone, so a frame is resampled only when the copy is asked for).
    const CImage32* getImage256() const;
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
    mutable bool m_image256Stale = false;
};

// A texture whose images come from a video file, every frame decoded at open and shared with the
// file's other users (a file that does not decode is the video's fatal error): frame 0 gives the image at load, and the scene time
// picks the frame as it does for the 2D scene's videos.
class S3DTextureAvi : public S3DTexture32 {
public:
    static constexpr const char* kCaption = "S3DTextureAvi warning:";

    bool open(const char* fileName);
    // Copies frame i into the image ("no frame" when it does not exist).
    bool setFrame(int i);
    // Frame = integer part of the time, modulo the frame count (a time before 0 counts back).
    void showTime(float frame) override;
    int getFrameCount() const { return m_pAvi ? m_pAvi->getNbFrame() : 0; }

private:
    void show(const CImage32& frame);

    std::shared_ptr<const CAvi> m_pAvi;
    const CImage32* m_pShown = nullptr;  // the frame the image holds
};
