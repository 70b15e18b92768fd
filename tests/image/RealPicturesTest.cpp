// Pictures nobody here made (tests/data/realworld/images). The BMP Suite's files all encode one
// picture in many layouts: each good or questionable one must give the picture its layout
// holds, checked against the plain 24-bit file read straight from its bytes; the bad ones give
// one report each. Every real picture of any kind loads, or reports once, without harm.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/Report.h"
#include "image/CImage32FromData.h"
#include "support/TestSupport.h"

namespace {

const std::string kImages = std::string(TL_SOURCE_DIR) + "/tests/data/realworld/images/";

struct Loaded {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    size_t reports = 0;
};

Loaded load(const std::string& relative)
{
    ReportCapture cap;
    CImage32FromData image((kImages + relative).c_str());
    clearFatalError();
    Loaded l{image.m_width, image.m_height, {}, cap.count()};
    if (image.m_pPixels) l.pixels.assign(image.m_pPixels, image.m_pPixels + image.pixelCount());
    return l;
}

std::string bytesOf(const std::string& relative)
{
    std::ifstream in(kImages + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The suite's 127 x 64 picture from g/rgb24.bmp's bytes: rows of 384 bytes from offset 54,
// bottom row first, blue, green, red.
std::vector<uint32_t> suitePicture()
{
    const std::string b = bytesOf("bmpsuite/g/rgb24.bmp");
    std::vector<uint32_t> p(127 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 127; ++x) {
            const auto* s = reinterpret_cast<const uint8_t*>(b.data() + 54 + (63 - y) * 384 + 3 * x);
            p[size_t(y) * 127 + x] = s[0] | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16;
        }
    return p;
}

int largestChannelDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(int(a[i] >> shift & 255) - int(b[i] >> shift & 255)));
    return worst;
}

} // namespace

TEST(RealPictures, SuiteLayoutsGiveThePictureTheyHold)
{
    const std::vector<uint32_t> picture = suitePicture();
    ASSERT_EQ(load("bmpsuite/g/rgb24.bmp").pixels, picture);  // the reading of old, unchanged

    // Full colour in every other layout: a palette beside the pixels, 32 bits with or without
    // bit fields (in any order, in a V2 to V5 header), a colour profile, PNG inside.
    for (const char* f : {"g/rgb24pal.bmp", "g/rgb32.bmp", "g/rgb32bf.bmp", "q/rgb24largepal.bmp", "q/rgb24lprof.bmp",
                          "q/rgb24prof.bmp", "q/rgb32fakealpha.bmp", "q/rgb32h52.bmp", "q/rgb32bf-xbgr.bmp",
                          "q/rgb24png.bmp"}) {
        const Loaded l = load(std::string("bmpsuite/") + f);
        EXPECT_EQ(l.reports, 0u) << f;
        EXPECT_TRUE(l.pixels == picture) << f;
    }
    // 11, 11 and 10 bits scaled to 8, rounded: a step off in 128 places where the file's own
    // scaling up rounded the other way; 5 and 6 bits: within the rounding of 5 bits (255 / 31 / 2).
    EXPECT_EQ(largestChannelDifference(load("bmpsuite/q/rgb32-111110.bmp").pixels, picture), 1);
    for (const char* f : {"g/rgb16.bmp", "g/rgb16-565.bmp"})
        EXPECT_LE(largestChannelDifference(load(std::string("bmpsuite/") + f).pixels, picture), 4) << f;
    EXPECT_EQ(load("bmpsuite/g/rgb16-565pal.bmp").pixels, load("bmpsuite/g/rgb16-565.bmp").pixels);

    // 256 colours: core and OS/2 headers (3-byte entries, a short palette, a 16-byte header),
    // V4 and V5 headers, RLE8, top-down rows, a gap before the pixels, an oversized palette.
    const std::vector<uint32_t> pal8 = load("bmpsuite/g/pal8.bmp").pixels;
    ASSERT_EQ(pal8.size(), picture.size());
    EXPECT_LE(largestChannelDifference(pal8, picture), 128);  // a dithered picture of it
    for (const char* f : {"g/pal8-0.bmp", "g/pal8os2.bmp", "g/pal8rle.bmp", "g/pal8topdown.bmp", "g/pal8v4.bmp",
                          "g/pal8v5.bmp", "q/pal8offs.bmp", "q/pal8os2sp.bmp", "q/pal8os2v2.bmp",
                          "q/pal8os2v2-16.bmp", "q/pal8oversizepal.bmp"}) {
        const Loaded l = load(std::string("bmpsuite/") + f);
        EXPECT_EQ(l.reports, 0u) << f;
        EXPECT_TRUE(l.pixels == pal8) << f;
    }
    EXPECT_EQ(load("bmpsuite/g/pal4rle.bmp").pixels, load("bmpsuite/g/pal4.bmp").pixels);
    EXPECT_EQ(load("bmpsuite/g/pal1wb.bmp").pixels, load("bmpsuite/g/pal1.bmp").pixels);  // palette swapped too
    // Odd widths: rows padded to 4 bytes, whatever the width.
    for (int w : {124, 125, 126}) {
        const Loaded l = load("bmpsuite/g/pal8w" + std::to_string(w) + ".bmp");
        EXPECT_EQ(l.width, w);
        EXPECT_EQ(l.height, w - 63);
        EXPECT_EQ(l.reports, 0u);
    }
    // Top-down files give the same rows as their bottom-up twins.
    for (const char* f : {"Info_1_Bit", "Info_4_Bit", "Info_8_Bit", "Info_R8_G8_B8", "Info_A8_R8_G8_B8",
                          "Info_X1_R5_G5_B5", "V3_A1_R5_G5_B5", "V3_A4_R4_G4_B4", "V3_R5_G6_B5", "V3_X8_R8_G8_B8"}) {
        const Loaded up = load(std::string("bmp-imagers/") + f + ".bmp");
        EXPECT_FALSE(up.pixels.empty()) << f;
        EXPECT_EQ(load(std::string("bmp-imagers/") + f + "_Top_Down.bmp").pixels, up.pixels) << f;
    }
}

TEST(RealPictures, BitFieldsScaleEachChannelRoundedToNearest)
{
    // A 4 x 1 bit-field BMP, 16 bits a pixel, red 2 bits, green 3, blue 1 (masks 0x30, 0x0E,
    // 0x01), with a 40-byte header and the masks after it. Pixels: r=1, g=3, b=1 -> 85, 109
    // (3 x 255 / 7 = 109.3), 255; r=2, g=4 -> 170, 146 (145.7); all set; none.
    std::string b = "BM";
    auto u16 = [&b](unsigned v) { b += char(v & 255), b += char(v >> 8 & 255); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    u32(14 + 40 + 12 + 8), u32(0), u32(14 + 40 + 12);
    u32(40), u32(4), u32(1), u16(1), u16(16), u32(3), u32(8), u32(2835), u32(2835), u32(0), u32(0);
    u32(0x30), u32(0x0E), u32(0x01);
    for (unsigned p : {0x10u | 0x06u | 0x01u, 0x20u | 0x08u, 0x3Fu, 0x00u}) u16(p);
    ScratchDir dir;
    ReportCapture cap;
    CImage32FromData image(dir.write("fields.bmp", b).c_str());
    ASSERT_EQ(cap.count(), 0u);
    ASSERT_EQ(image.m_width, 4);
    EXPECT_EQ(image.m_pPixels[0], 0x556DFFu);
    EXPECT_EQ(image.m_pPixels[1], 0xAA9200u);
    EXPECT_EQ(image.m_pPixels[2], 0xFFFFFFu);
    EXPECT_EQ(image.m_pPixels[3], 0x000000u);
}

TEST(RealPictures, BadSuiteFilesGiveOneReportEach)
{
    // Refused: no picture. Drawn: the header lies in a field the picture does not need, or the
    // data goes wrong past a point (RLE runs beyond the edge, indices beyond the palette).
    for (const char* f : {"badbitcount", "badheadersize", "badpalettesize", "badplanes", "badwidth", "reallybig",
                          "rletopdown", "shortfile"}) {
        const Loaded l = load(std::string("bmpsuite/b/") + f + ".bmp");
        EXPECT_EQ(l.reports, 1u) << f;
        EXPECT_TRUE(l.pixels.empty()) << f;
    }
    const std::vector<uint32_t> pal1 = load("bmpsuite/g/pal1.bmp").pixels;
    for (const char* f : {"badbitssize", "baddens1", "baddens2", "badfilesize", "badrle", "pal8badindex"}) {
        const Loaded l = load(std::string("bmpsuite/b/") + f + ".bmp");
        EXPECT_EQ(l.reports, 1u) << f;
        EXPECT_EQ(l.width, 127) << f;
    }
    for (const char* f : {"badbitssize", "baddens1", "baddens2", "badfilesize"})
        EXPECT_EQ(load(std::string("bmpsuite/b/") + f + ".bmp").pixels, pal1) << f;
}

TEST(RealPictures, EveryRealPictureLoadsOrReportsOnce)
{
    // BMP, TGA, JPEG (progressive ones too) and PNG (16-bit, interlaced, palettes with
    // transparency): at most one report, and a picture of the size it says.
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(kImages)) {
        const std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".bmp" && ext != ".tga" && ext != ".jpg" && ext != ".png")) continue;
        ++files;
        const Loaded l = load(std::filesystem::relative(e.path(), kImages).string());
        EXPECT_LE(l.reports, 1u) << e.path();
        EXPECT_EQ(l.pixels.size(), size_t(l.width) * size_t(l.height)) << e.path();
    }
    EXPECT_GT(files, 190);
    // The same photograph as a JPEG and as a PNG: the JPEG's loss is all that differs.
    const Loaded jpg = load("jpeg/pillow-hopper.jpg"), png = load("png/pillow-hopper.png");
    ASSERT_EQ(jpg.pixels.size(), png.pixels.size());
    ASSERT_FALSE(jpg.pixels.empty());
    long total = 0;
    for (size_t i = 0; i < jpg.pixels.size(); ++i)
        for (int shift : {0, 8, 16}) total += std::abs(int(jpg.pixels[i] >> shift & 255) - int(png.pixels[i] >> shift & 255));
    EXPECT_LT(double(total) / double(3 * jpg.pixels.size()), 0.5);
}
