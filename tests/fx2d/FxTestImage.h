// Test images for the effect engines (exactly width x height pixels in their own vector, so the
// address sanitizer sees any read or write outside the image) and the one way the tests run an
// effect: at every SIMD level, which must agree.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "image/CImage32.h"
#include "support/SimdLevels.h"

class TestImage {
public:
    TestImage(int width, int height, uint32_t fill = 0) : m_pixels(size_t(width) * size_t(height), fill)
    {
        m_image.setData(width, height, m_pixels.data());
    }
    TestImage(int width, int height, const std::vector<uint32_t>& pixels) : m_pixels(pixels)
    {
        m_image.setData(width, height, m_pixels.data());
    }
    TestImage(const TestImage& other) : m_pixels(other.m_pixels)
    {
        m_image.setData(other.width(), other.height(), m_pixels.data());
    }
    TestImage& operator=(const TestImage& other)
    {
        m_pixels = other.m_pixels;
        m_image.setData(other.width(), other.height(), m_pixels.data());
        return *this;
    }

    // Every byte drawn from a fixed-seed generator.
    static TestImage random(int width, int height, uint32_t seed)
    {
        TestImage t(width, height);
        std::mt19937 gen(seed);
        for (uint32_t& p : t.m_pixels) p = uint32_t(gen());
        return t;
    }

    CImage32* image() { return &m_image; }
    int width() const { return m_image.m_width; }
    int height() const { return m_image.m_height; }
    uint32_t& at(int x, int y) { return m_pixels[size_t(y) * size_t(width()) + size_t(x)]; }
    uint32_t at(int x, int y) const { return m_pixels[size_t(y) * size_t(width()) + size_t(x)]; }
    const std::vector<uint32_t>& pixels() const { return m_pixels; }

    // The same image with rows and columns exchanged.
    TestImage transposed() const
    {
        TestImage t(height(), width());
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) t.at(y, x) = at(x, y);
        return t;
    }

private:
    std::vector<uint32_t> m_pixels;
    CImage32External m_image;
};

// The byte of channel c (0 blue .. 3 top) of a pixel.
inline int channel(uint32_t pixel, int c)
{
    return int((pixel >> (8 * c)) & 0xFF);
}

// A pixel with the same value in all four bytes.
inline uint32_t grey(int v)
{
    return uint32_t(v) * 0x01010101u;
}

// The effect, as configured, applied to a copy of the source at every SIMD level (every level must
// give the scalar result); returns the result. The effect is left without screen.
template <class Effect>
TestImage filtered(Effect& effect, const TestImage& source)
{
    const std::vector<uint32_t> pixels = atEveryLevel([&] {
        TestImage copy(source);
        effect.setScreen(copy.image());
        effect.apply();
        effect.setScreen(nullptr);
        return copy.pixels();
    });
    return TestImage(source.width(), source.height(), pixels);
}
