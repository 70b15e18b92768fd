#include "s3d/S3DTexture.h"

#include <algorithm>

#include "foundation/Report.h"
#include "foundation/Saturate.h"
#include "image/CImage32FromData.h"
#include "image/ImageFileLoader.h"

namespace {
bool powerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

int log2Of(int v)
{
    int s = 0;
    while ((1 << s) < v) ++s;
    return s;
}
} // namespace

bool S3DTexture32::load(const char* fileName, bool useCrop, float u, float v, float w, float h)
{
    if (!fileName) return false;
    // The image classes treat an unknown kind of file as fatal; a texture only goes without.
    if (imageFileTypeFromName(fileName) == ImageFileType::Unknown)
        return reportWarning(kCaption, (std::string("load: file type not supported: ") + fileName).c_str(), false);
    CImage32FromData file(fileName);
    if (file.pixelCount() <= 0) return false;  // reported by the image
    if (!useCrop) return set(file);

    const int width = file.getWidth(), height = file.getHeight();
    int x = saturateToInt(double(u) * width), y = saturateToInt(double(v) * height);
    int cw = saturateToInt(double(w) * width), ch = saturateToInt(double(h) * height);
    if (cw <= 0 || ch <= 0) return reportWarning(kCaption, "load u v w h: bad dimension", false);
    // A window reaching past the image is held inside it.
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    cw = std::min(cw, width - x);
    ch = std::min(ch, height - y);
    m_pImage = std::make_unique<CImage32Buffered>(cw, ch);
    m_pImage->copyRegion(file, x, y);
    finish();
    return true;
}

bool S3DTexture32::set(const CImage32& image)
{
    if (image.pixelCount() <= 0) return false;
    m_pImage = std::make_unique<CImage32Buffered>();
    m_pImage->createCopy(&image);
    m_pImage->m_hasAlpha = image.m_hasAlpha;
    finish();
    return true;
}

const CImage32* S3DTexture32::getImage256() const
{
    if (m_image256Stale && m_pImage256) m_pImage256->init256x256Tiled(m_pImage.get());
    m_image256Stale = false;
    return m_pImage256.get();
}

void S3DTexture32::finish()
{
    if (!m_pImage256) m_pImage256 = std::make_unique<CImage32Buffered>(256, 256);
    m_pImage256->init256x256Tiled(m_pImage.get());
    m_image256Stale = false;

    const int width = m_pImage->getWidth(), height = m_pImage->getHeight();
    m_powerOfTwo = false;
    m_raster = RasterTexture{};
    if (!powerOfTwo(width)) return reportWarning(kCaption, "width is not a power of 2");
    if (!powerOfTwo(height)) return reportWarning(kCaption, "height is not a power of 2");
    m_powerOfTwo = true;
    m_maskU = uint32_t(width - 1);
    m_maskV = uint32_t(height - 1);
    m_shiftU = log2Of(width);
    m_shiftV = log2Of(height);
    m_raster.pixels = m_pImage->getPixels();
    m_raster.width = width;
    m_raster.height = height;
    m_raster.maskU = m_maskU;
    m_raster.maskV = m_maskV;
    m_raster.shiftU = m_shiftU;
    m_raster.hasAlpha = m_pImage->m_hasAlpha != 0;
    m_raster.guardRows = m_pImage->hasGuardRows();
}

bool S3DTextureAvi::open(const char* fileName)
{
    m_pAvi = CAvi::open(fileName);
    m_pShown = nullptr;
    return setFrame(0);
}

bool S3DTextureAvi::setFrame(int i)
{
    const CImage32* frame = i >= 0 && i < getFrameCount() ? m_pAvi->frame(i) : nullptr;
    if (!frame || frame->pixelCount() <= 0) return reportWarning(kCaption, "no frame", false);
    show(*frame);
    return true;
}

void S3DTextureAvi::showTime(float frame)
{
    // The video picks index modulo its count; the image already holding it is left as it is.
    const CImage32* image = m_pAvi ? m_pAvi->frame(saturateToInt(frame)) : nullptr;
    if (image && image != m_pShown && image->pixelCount() > 0) show(*image);
}

void S3DTextureAvi::show(const CImage32& frame)
{
    m_pShown = &frame;
    // Frames of one video share their size: later frames are copied into the same images.
    if (m_pImage && m_pImage->getWidth() == frame.getWidth() && m_pImage->getHeight() == frame.getHeight()) {
        frame.blit(m_pImage.get());
        m_image256Stale = true;
        return;
    }
    set(frame);
}
