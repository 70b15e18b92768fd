#include "image/CImage32.h"


#include <cstring>
#include <new>

#include "foundation/Report.h"
#include "image/PixelOps.h"

void CImage32::error(const char* text) { reportError(className(), text); }

void CImage32::warning(const char* text) { reportWarning(className(), text); }

PixelAllocation PixelAllocation::make(int width, int height)
{
    PixelAllocation a;
    if (!withinPixelCap(width, height)) return a;
    const uint64_t count = uint64_t(width) * (uint64_t(height) + 4);
    a.memory.reset(new (std::nothrow) uint32_t[count]());
    if (a.memory) a.pixels = a.memory.get() + 2 * size_t(width);
    return a;
}

// ---------------------------------------------------------------------------------------------
// Whole-image operations

void CImage32::clear(uint32_t value)
{
    const int64_t n = pixelCount();
    for (int64_t i = 0; i < n; ++i) m_pPixels[i] = value;
}

void CImage32::toGrey() { pixelops::greyInto(m_pPixels, pixelCount(), 0xFFFFFFFFu); }
void CImage32::toGreyRed() { pixelops::greyInto(m_pPixels, pixelCount(), 0x00FF0000u); }
void CImage32::toGreyGreen() { pixelops::greyInto(m_pPixels, pixelCount(), 0x0000FF00u); }
void CImage32::toGreyBlue() { pixelops::greyInto(m_pPixels, pixelCount(), 0x000000FFu); }

void CImage32::invert()
{
    if (pixelCount() < 1) return;
    if (m_width & 1) return warning("invert: width must be even");
    pixelops::xorBytes(m_pPixels, pixelCount(), 0xFFFFFFFFu);
}

void CImage32::doubleIntensity() { pixelops::addSaturate(m_pPixels, pixelCount(), m_pPixels); }

void CImage32::addColor(uint32_t value) { pixelops::addSaturateValue(m_pPixels, pixelCount(), value); }

void CImage32::subColor(uint32_t value) { pixelops::subSaturateValue(m_pPixels, pixelCount(), value); }

void CImage32::maskPixel(uint32_t mask)
{
    if (m_width & 1) return warning("maskPixel: width must be even");
    pixelops::andBytes(m_pPixels, pixelCount(), mask);
}

void CImage32::setPixel(int x, int y, uint32_t value)
{
    if (!m_pPixels) return;
    if (unsigned(x) < unsigned(m_width) && unsigned(y) < unsigned(m_height)) m_pPixels[y * m_width + x] = value;
}

void CImage32::copyRegion(const CImage32& source, int x, int y)
{
    if (!m_pPixels || !source.m_pPixels) return;
    for (int r = 0; r < m_height; ++r)
        std::memcpy(m_pPixels + size_t(r) * m_width, source.m_pPixels + (size_t(y) + r) * source.m_width + x,
                    size_t(m_width) * 4);
}

void CImage32::clearTopRow()
{
    if (pixelCount() > 0) std::memset(m_pPixels, 0, size_t(m_width) * 4);
}

void CImage32::clearBottomRow()
{
    if (pixelCount() > 0) std::memset(m_pPixels + size_t(m_height - 1) * m_width, 0, size_t(m_width) * 4);
}

void CImage32::clearLeftColumn()
{
    if (pixelCount() <= 0) return;
    for (int y = 0; y < m_height; ++y) m_pPixels[size_t(y) * m_width] = 0;
}

// ---------------------------------------------------------------------------------------------
// Concrete classes

CImage32Buffered::CImage32Buffered(int width, int height) { create(width, height); }

void CImage32Buffered::create(int width, int height)
{
    if (width <= 0 || height <= 0) return error("dimensions must be greater than zero");
    if (!tryCreate(width, height)) return error("create: can t allocate memory");
}

bool CImage32Buffered::tryCreate(int width, int height)
{
    PixelAllocation a = PixelAllocation::make(width, height);
    if (!a.pixels) return false;
    m_pAllocation = std::move(a.memory);
    m_pPixels = a.pixels;
    m_width = width;
    m_height = height;
    m_hasAlpha = 0;
    return true;
}

void CImage32External::setData(int width, int height, uint32_t* pixels)
{
    if (!pixels) return error("pixelData NULL");
    if (width <= 0 || height <= 0) return error("dimensions must be greater than zero");
    m_width = width;
    m_height = height;
    m_pPixels = pixels;
}

// ---------------------------------------------------------------------------------------------
// Images made from other images through the blit family

namespace {
// The source drawn onto a 256x256 image: centred, scaled to fill it, bilinear (the rotating blit).
void drawScaled256(const CImage32& source, CImage32* target)
{
    source.blitRotation(target, 0.0f, 128.0f, 128.0f, 256.0f / float(source.m_width), 256.0f / float(source.m_height),
                        kBlendNormal, nullptr, 1.0f, true);
}
} // namespace

void CImage32Buffered::createScaled256(const CImage32* source)
{
    create(256, 256);
    if (source && source->pixelCount() > 0) drawScaled256(*source, this);
}

void CImage32Buffered::createCopy(const CImage32* source)
{
    if (!source) return;
    create(source->m_width, source->m_height);
    source->blit(this);
}

void CImage32::init256x256Tiled(const CImage32* source)
{
    if (m_width != 256 || m_height != 256 || !m_pPixels) return warning("init256x256Tiled: bad dimensions");
    if (!source) return warning("init256x256Tiled: source NULL");
    CImage32Buffered scaled(256, 256);
    if (source->pixelCount() > 0) drawScaled256(*source, &scaled);
    // Strip order for the texture mapper: 32 strips of 8 columns x 256 rows, one after the other.
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) m_pPixels[(x >> 3) * 2048 + y * 8 + (x & 7)] = scaled.m_pPixels[y * 256 + x];
}
