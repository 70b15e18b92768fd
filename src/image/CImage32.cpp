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
    if (width <= 0 || height <= 0) return a;
    const uint64_t count = uint64_t(width) * (uint64_t(height) + 4);
    if (count > (uint64_t(1) << 26)) return a;  // 256 MiB: far beyond any real layer, texture or image
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
    if (m_width & 1) {
        warning("invert: width must be even");
        return;
    }
    pixelops::xorBytes(m_pPixels, pixelCount(), 0xFFFFFFFFu);
}

void CImage32::doubleIntensity() { pixelops::addSaturate(m_pPixels, pixelCount(), m_pPixels); }

void CImage32::addColor(uint32_t value) { pixelops::addSaturateValue(m_pPixels, pixelCount(), value); }

void CImage32::subColor(uint32_t value) { pixelops::subSaturateValue(m_pPixels, pixelCount(), value); }

void CImage32::maskPixel(uint32_t mask)
{
    if (m_width & 1) {
        warning("maskPixel: width must be even");
        return;
    }
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
    if (width <= 0 || height <= 0) {
        error("dimensions must be greater than zero");
        return;
    }
    PixelAllocation a = PixelAllocation::make(width, height);
    if (!a.pixels) {
        error("create: can t allocate memory");
        return;
    }
    m_pAllocation = std::move(a.memory);
    m_pPixels = a.pixels;
    m_width = width;
    m_height = height;
    m_hasAlpha = 0;
}

void CImage32External::setData(int width, int height, uint32_t* pixels)
{
    if (!pixels) {
        error("pixelData NULL");
        return;
    }
    if (width <= 0 || height <= 0) {
        error("dimensions must be greater than zero");
        return;
    }
    m_width = width;
    m_height = height;
    m_pPixels = pixels;
}
