// Image file loading: round trips through our writers, exact pixel layout, JPG/PNG through stb.
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/CImage32FromData.h"
#include "image/ImageFileLoader.h"
#include "image/ImageFileWriter.h"
#include "support/TestSupport.h"

namespace {

std::string bytesOf(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// Deterministic test pattern; the top byte is set on purpose (files do not carry it).
std::vector<uint32_t> pattern(int width, int height, int colours)
{
    std::vector<uint32_t> p(size_t(width) * height);
    uint32_t s = 12345;
    for (size_t i = 0; i < p.size(); ++i) {
        s = s * 214013 + 2531011;
        const uint32_t c = (s >> 16) % uint32_t(colours);
        // Runs of equal pixels now and then so that RLE writes both packet kinds.
        p[i] = (i % 7 < 3 && i > 0) ? p[i - 1] : 0xAB000000u | (c * 0x3A1F27u & 0xFFFFFF);
    }
    return p;
}

void expectPixels(const CImage32& img, const std::vector<uint32_t>& expected, int width, int height)
{
    ASSERT_NE(img.m_pPixels, nullptr);
    ASSERT_EQ(img.m_width, width);
    ASSERT_EQ(img.m_height, height);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(img.m_pPixels[i], expected[i] & 0xFFFFFF) << "pixel " << i;
    // Zero guard rows above and below.
    for (int i = 1; i <= 2 * width; ++i) ASSERT_EQ(img.m_pPixels[-i], 0u);
    for (size_t i = 0; i < 2 * size_t(width); ++i) ASSERT_EQ(img.m_pPixels[expected.size() + i], 0u);
}

// An 18-byte TGA header.
std::string tgaHeader(int type, int depth, int width, int height, int colourMapLength = 0, int idLength = 0,
                      int descriptor = 0)
{
    const unsigned char h[18] = {uint8_t(idLength), uint8_t(depth == 8), uint8_t(type), 0, 0,
                                 uint8_t(colourMapLength), uint8_t(colourMapLength >> 8), 24, 0, 0, 0, 0,
                                 uint8_t(width), uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8),
                                 uint8_t(depth), uint8_t(descriptor)};
    return std::string(reinterpret_cast<const char*>(h), 18);
}

std::string palette768()
{
    // Entry i: blue i, green 255 - i, red i / 2.
    std::string p;
    for (int i = 0; i < 256; ++i) p += {char(i), char(255 - i), char(i / 2)};
    return p;
}

uint32_t paletteEntry(int i) { return uint32_t(i) + uint32_t(255 - i) * 256 + uint32_t(i / 2) * 65536; }

}  // namespace

TEST(ImageLoad, TgaRoundTripsInEveryFormat)
{
    ScratchDir dir;
    ReportCapture cap;
    const struct {
        TgaFormat format;
        int colours;
    } cases[] = {{TgaFormat::Raw24, 100000}, {TgaFormat::Rle24, 100000}, {TgaFormat::Palette8, 200},
                 {TgaFormat::PaletteRle8, 200}};
    // 300 x 2 has runs longer than one 128-pixel packet; 1 x 1 is the smallest image.
    const int sizes[][2] = {{1, 1}, {5, 3}, {300, 2}, {64, 33}};
    for (const auto& c : cases) {
        for (const auto& size : sizes) {
            const std::vector<uint32_t> pixels = pattern(size[0], size[1], c.colours);
            const std::string path = dir.path() + "round.tga";
            ASSERT_TRUE(writeTga(path.c_str(), pixels.data(), size[0], size[1], c.format));
            CImage32FromData img;
            EXPECT_TRUE(img.load(path.c_str()));
            expectPixels(img, pixels, size[0], size[1]);
        }
    }
    // A flat image compresses: 2 packets of 128 and one of 44 per row.
    const std::vector<uint32_t> flat(300 * 4, 0x123456);
    EXPECT_EQ(encodeTga(flat.data(), 300, 4, TgaFormat::Rle24).size(), 18u + 4 * 3 * 4);
    EXPECT_EQ(encodeTga(flat.data(), 300, 4, TgaFormat::PaletteRle8).size(), 18u + 768 + 4 * 3 * 2);
    // More than 256 colours cannot be written with a palette.
    EXPECT_TRUE(encodeTga(pattern(64, 64, 100000).data(), 64, 64, TgaFormat::Palette8).empty());
    EXPECT_EQ(cap.count(), 0u);
}

TEST(ImageLoad, BmpRoundTripsAndOddWidthsWarn)
{
    ScratchDir dir;
    for (int width : {1, 2, 3, 4, 5}) {
        ReportCapture cap;
        const std::vector<uint32_t> pixels = pattern(width, 3, 100000);
        const std::vector<uint8_t> file = encodeBmp(pixels.data(), width, 3);
        // Rows padded by width mod 4 bytes, which rounds each to a multiple of 4.
        EXPECT_EQ(file.size(), 54u + size_t(3 * width + width % 4) * 3);
        const std::string path = dir.write("odd.BMP", bytesOf(file));
        CImage32FromData img(path.c_str());
        expectPixels(img, pixels, width, 3);
        EXPECT_EQ(cap.has("CImage32FromData", "width uneven"), width % 2 == 1) << width;
        EXPECT_EQ(cap.count(), size_t(width % 2));
    }
}

TEST(ImageLoad, SidesUpTo65535LoadWithinThePixelCap)
{
    ScratchDir dir;
    ReportCapture cap;
    // TGA 65535 x 1, raw 24-bit: the last pixel is blue 3, green 2, red 1.
    std::string tga = tgaHeader(2, 24, 65535, 1) + std::string(65534 * 3, '\0') + "\x03\x02\x01";
    CImage32FromData wide(dir.write("wide.tga", tga).c_str());
    ASSERT_NE(wide.m_pPixels, nullptr);
    EXPECT_EQ(wide.m_width, 65535);
    EXPECT_EQ(wide.m_pPixels[65534], 0x010203u);

    // BMP 2 x 40000: the first file row is the bottom row (width 2: rows of 6 + 2 bytes).
    std::string bmp(54, '\0');
    bmp[18] = 2;
    bmp[22] = char(40000 & 0xFF);
    bmp[23] = char(40000 >> 8);
    bmp += std::string("\x10\x20\x30\x40\x50\x60") + "PP" + std::string(39999 * 8, '\0');
    CImage32FromData tall(dir.write("tall.bmp", bmp).c_str());
    ASSERT_NE(tall.m_pPixels, nullptr);
    EXPECT_EQ(tall.m_height, 40000);
    EXPECT_EQ(tall.m_pPixels[2 * 39999 + 1], 0x605040u);
    EXPECT_EQ(cap.count(), 0u);
}

TEST(ImageLoad, PaletteValuesAndRowsBottomFirst)
{
    ScratchDir dir;
    ReportCapture cap;
    // 3 x 2 raw palette image, a colour map length of 2 and an identifier: 768 palette bytes are
    // still read after the identifier. The first file row is the bottom row, even when the
    // descriptor asks for a top-left origin.
    const std::string indices = {char(0), char(1), char(2), char(253), char(254), char(255)};
    const std::string tga = tgaHeader(1, 8, 3, 2, 2, 4, 0x20) + "abcd" + palette768() + indices;
    CImage32FromData img(dir.write("pal.tga", tga).c_str());
    expectPixels(img, {paletteEntry(253), paletteEntry(254), paletteEntry(255), paletteEntry(0), paletteEntry(1),
                       paletteEntry(2)},
                 3, 2);
    // blue + green * 256 + red * 65536, top byte 0.
    EXPECT_EQ(img.m_pPixels[2], 0x007F00FFu);  // index 255: blue 255, green 0, red 127
    EXPECT_EQ(img.m_pPixels[3], 0x0000FF00u);  // index 0: blue 0, green 255, red 0

    // 24-bit: a skipped colour map of 2 entries, then blue, green, red per pixel.
    const std::string rgb = tgaHeader(2, 24, 1, 2, 2) + "xxxxxx" + "\x01\x02\x03" + "\x04\x05\x06";
    CImage32FromData img24(dir.write("rgb.tga", rgb).c_str());
    expectPixels(img24, {0x060504, 0x030201}, 1, 2);

    // BMP: bytes 18 and 22 give the size (low 16 bits), pixels from offset 54, bottom row first.
    std::string bmp(54, '\0');
    bmp[18] = 2;
    bmp[22] = 2;
    bmp[20] = 7;  // bits above the low 16 are ignored
    bmp += std::string("\x10\x20\x30\x40\x50\x60") + "PP" + "\x11\x21\x31\x41\x51\x61" + "PP";
    CImage32FromData imgBmp(dir.write("b.bmp", bmp).c_str());
    expectPixels(imgBmp, {0x312111, 0x615141, 0x302010, 0x605040}, 2, 2);
    EXPECT_EQ(cap.count(), 0u);
}

TEST(ImageLoad, RunLengthPacketsStopAtTheLastPixel)
{
    ScratchDir dir;
    ReportCapture cap;
    // 3 x 1, 24-bit: a run of 2, then a literal packet announcing 4 pixels of which only the first
    // is needed; nothing more follows.
    const std::string rle24 = tgaHeader(10, 24, 3, 1) + "\x81" + "\x01\x02\x03" + std::string(1, '\x03') +
                              "\x0A\x0B\x0C";
    CImage32FromData a;
    EXPECT_TRUE(a.load(dir.write("a.tga", rle24).c_str()));
    expectPixels(a, {0x030201, 0x030201, 0x0C0B0A}, 3, 1);

    // 2 x 2, 8-bit: one run packet of 128 fills all four pixels; trailing bytes are ignored.
    const std::string rle8 = tgaHeader(9, 8, 2, 2) + palette768() + "\xFF\x05" + "junk";
    CImage32FromData b;
    EXPECT_TRUE(b.load(dir.write("b.tga", rle8).c_str()));
    expectPixels(b, std::vector<uint32_t>(4, paletteEntry(5)), 2, 2);

    // Packets cross rows: a literal packet of 3 over a 2 x 2 image, then a run of 1.
    const std::string cross = tgaHeader(9, 8, 2, 2) + palette768() + "\x02\x01\x02\x03" + "\x80\x04";
    CImage32FromData c;
    EXPECT_TRUE(c.load(dir.write("c.tga", cross).c_str()));
    expectPixels(c, {paletteEntry(3), paletteEntry(4), paletteEntry(1), paletteEntry(2)}, 2, 2);
    EXPECT_EQ(cap.count(), 0u);
}

TEST(ImageLoad, JpgAndPngDecode)
{
    ScratchDir dir;
    ReportCapture cap;
    // 64 x 32, four flat quadrants, written with stb_image_write as RGB.
    const int w = 64, h = 32;
    const uint32_t quadrant[4] = {0xE02010, 0x20C040, 0x3050D0, 0xF0F0F0};
    std::vector<uint8_t> rgb;
    std::vector<uint32_t> expected;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t p = quadrant[(y >= h / 2) * 2 + (x >= w / 2)];
            rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
            expected.push_back(p);
        }
    const std::string png = dir.path() + "q.png";
    const std::string jpg = dir.path() + "q.JPG";
    ASSERT_TRUE(stbi_write_png(png.c_str(), w, h, 3, rgb.data(), w * 3));
    ASSERT_TRUE(stbi_write_jpg(jpg.c_str(), w, h, 3, rgb.data(), 95));

    CImage32FromData fromPng(png.c_str());
    expectPixels(fromPng, expected, w, h);

    CImage32FromData fromJpg;
    EXPECT_TRUE(fromJpg.load(jpg.c_str()));
    ASSERT_EQ(fromJpg.m_width, w);
    ASSERT_EQ(fromJpg.m_height, h);
    for (int q = 0; q < 4; ++q) {
        const uint32_t got = fromJpg.m_pPixels[(q / 2 * h / 2 + h / 4) * w + (q % 2) * w / 2 + w / 4];
        EXPECT_EQ(got >> 24, 0u);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int(got >> shift & 0xFF), int(quadrant[q] >> shift & 0xFF), 8) << q << " " << shift;
    }
    // A misnamed file: PNG data behind a .jpg name still decodes.
    std::string pngBytes;
    {
        FILE* f = std::fopen(png.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        for (int ch; (ch = std::fgetc(f)) != EOF;) pngBytes += char(ch);
        std::fclose(f);
    }
    CImage32FromData misnamed(dir.write("really-png.jpg", pngBytes).c_str());
    expectPixels(misnamed, expected, w, h);
    EXPECT_EQ(cap.count(), 0u);
}

TEST(ImageLoad, NamesAndExtensions)
{
    ScratchDir dir;
    ReportCapture cap;
    // Extension compared on the last three letters, any case; the name is kept.
    const std::vector<uint32_t> px = {0x010203, 0x040506};
    const std::string lower = dir.write("lower.bmp", bytesOf(encodeBmp(px.data(), 2, 1)));
    CImage32FromData img(lower.c_str());
    EXPECT_EQ(img.m_width, 2);
    EXPECT_STREQ(img.getName(), lower.c_str());
    EXPECT_EQ(cap.count(), 0u);

    // Loading again replaces the image; a failing load leaves it without pixels.
    EXPECT_FALSE(img.load((dir.path() + "missing.tga").c_str()));
    EXPECT_EQ(img.m_pPixels, nullptr);
    EXPECT_EQ(img.m_width, 0);
    EXPECT_TRUE(cap.has("CImage32FromData", "cant load file " + dir.path() + "missing.tga"));
    EXPECT_EQ(cap.reports().back().kind, ReportKind::Warning);
    EXPECT_FALSE(fatalErrorPosted());

    for (const char* name : {"picture.gif", "ab", "x.jpeg"}) {
        cap.clear();
        CImage32FromData other;
        EXPECT_FALSE(other.load(name));
        ASSERT_EQ(cap.count(), 1u);
        EXPECT_EQ(cap.reports()[0].kind, ReportKind::Error);
        EXPECT_EQ(cap.reports()[0].caption, "CImage32FromData");
        EXPECT_EQ(cap.reports()[0].text, std::string("file ") + name + ": extension not supported");
        EXPECT_TRUE(fatalErrorPosted());
        clearFatalError();
    }
    cap.clear();
    CImage32FromData nothing;
    EXPECT_FALSE(nothing.load(nullptr));
    nothing.setName(nullptr);
    ASSERT_EQ(cap.count(), 2u);
    EXPECT_TRUE(cap.has("CImage32FromData", "load: NULL name"));
    EXPECT_TRUE(cap.has("CImage32FromData", "setName: NULL"));
    EXPECT_EQ(nothing.getName(), nullptr);
}
