// Damaged and lying image files: each gives one clear report and a neutral image, never a read
// past the data or an allocation the file cannot justify.
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/CImage32FromData.h"
#include "image/ImageFileLoader.h"
#include "image/ImageFileWriter.h"
#include "support/TestSupport.h"

namespace {

std::string tgaHeader(int type, int depth, int width, int height)
{
    const unsigned char h[18] = {0, 0, uint8_t(type), 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width),
                                 uint8_t(width >> 8), uint8_t(height), uint8_t(height >> 8), uint8_t(depth), 0};
    return std::string(reinterpret_cast<const char*>(h), 18);
}

std::string bmpHeader(unsigned width, unsigned height)
{
    std::string h(54, '\0');
    for (int i = 0; i < 4; ++i) {
        h[18 + i] = char(width >> (8 * i));
        h[22 + i] = char(height >> (8 * i));
    }
    return h;
}

std::string bytesOf(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// stb_image_write output collected into a vector.
void collect(void* ctx, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(ctx);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

std::vector<uint8_t> smallJpg()
{
    std::vector<uint8_t> rgb(16 * 8 * 3, 0x80), out;
    stbi_write_jpg_to_func(collect, &out, 16, 8, 3, rgb.data(), 90);
    return out;
}

}  // namespace

TEST(ImageLoadMalformed, EachDamageGivesOneReportAndNoPixels)
{
    // A JPG whose frame header claims 65000 x 65000.
    std::string hugeJpg = bytesOf(smallJpg());
    const size_t sof = hugeJpg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    hugeJpg.replace(sof + 5, 4, "\xFD\xE8\xFD\xE8");

    const std::string pal(768, '\0');
    const struct {
        const char* name;
        std::string bytes;
        ReportKind kind;
        const char* text;  // after "file NAME: "
    } cases[] = {
        {"empty.tga", "", ReportKind::Warning, "truncated"},
        {"empty.bmp", "", ReportKind::Warning, "truncated"},
        {"empty.jpg", "", ReportKind::Warning, "cannot decode"},
        {"empty.png", "", ReportKind::Warning, "cannot decode"},
        {"header.tga", tgaHeader(2, 24, 2, 2).substr(0, 10), ReportKind::Warning, "truncated"},
        {"header.bmp", bmpHeader(2, 2).substr(0, 30), ReportKind::Warning, "truncated"},
        {"pixels.bmp", bmpHeader(2, 2) + std::string(15, 'x'), ReportKind::Warning, "truncated"},
        {"pixels.tga", tgaHeader(2, 24, 2, 2) + std::string(11, 'x'), ReportKind::Warning, "truncated"},
        {"indices.tga", tgaHeader(1, 8, 2, 2) + pal + "\x01\x02\x03", ReportKind::Warning, "truncated"},
        {"nopalette.tga", tgaHeader(1, 8, 2, 2) + std::string(100, '\x01'), ReportKind::Warning, "truncated"},
        {"width0.tga", tgaHeader(2, 24, 0, 2) + std::string(12, 'x'), ReportKind::Warning, "bad dimensions"},
        {"height0.bmp", bmpHeader(2, 0x10000) + std::string(64, 'x'), ReportKind::Warning, "bad dimensions"},
        {"huge.bmp", bmpHeader(0xFFFF, 0xFFFF) + std::string(64, 'x'), ReportKind::Warning, "bad dimensions"},
        {"huge.tga", tgaHeader(10, 24, 16384, 16384) + std::string(64, 'x'), ReportKind::Warning,
         "bad dimensions"},
        // Within the size limits, but the data cannot hold that many pixels: refused unallocated.
        {"lying.tga", tgaHeader(2, 24, 8192, 8192) + std::string(64, 'x'), ReportKind::Warning, "truncated"},
        {"lyingrle.tga", tgaHeader(9, 8, 8192, 8192) + pal + std::string(64, '\xFF'), ReportKind::Warning,
         "truncated"},
        {"depth16.tga", tgaHeader(2, 16, 2, 2) + std::string(8, 'x'), ReportKind::Error, "mode not supported"},
        {"type3.tga", tgaHeader(3, 8, 2, 2) + pal + "abcd", ReportKind::Error, "mode not supported"},
        {"mismatch.tga", tgaHeader(1, 24, 2, 2) + std::string(12, 'x'), ReportKind::Warning,
         "image type and depth do not match"},
        {"garbage.png", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(40, 'x'), ReportKind::Warning,
         "cannot decode"},
        // A 2 x 2 PNG whose data chunk claims 1.2 GB: refused before the decoder allocates it.
        {"bigchunk.png",
         std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x02\0\0\0\x02\x08\x02\0\0\0\xFD\xD4\x9A\0"
                     "\x4A\0\0\x11IDATx\x9C\x63\xF8", 45),
         ReportKind::Warning, "cannot decode"},
        {"text.jpg", "hello", ReportKind::Warning, "cannot decode"},
        {"huge.jpg", hugeJpg, ReportKind::Warning, "bad dimensions"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        ReportCapture cap;
        const std::string path = dir.write(c.name, c.bytes);
        CImage32FromData img;
        EXPECT_FALSE(img.load(path.c_str())) << c.name;
        EXPECT_EQ(img.m_pPixels, nullptr) << c.name;
        EXPECT_EQ(img.m_width, 0) << c.name;
        ASSERT_EQ(cap.count(), 1u) << c.name;
        EXPECT_EQ(cap.reports()[0].kind, c.kind) << c.name;
        EXPECT_EQ(cap.reports()[0].caption, "CImage32FromData");
        EXPECT_EQ(cap.reports()[0].text, "file " + path + ": " + c.text);
    }
}

TEST(ImageLoadMalformed, RunLengthDataEndingEarlyKeepsWhatWasRead)
{
    ScratchDir dir;
    ReportCapture cap;
    // 3 x 2: a literal packet of 5 pixels with only 4 present, the 4th cut after one byte.
    const std::string tga = tgaHeader(10, 24, 3, 2) + "\x04" + "\x01\x01\x01" + "\x02\x02\x02" + "\x03\x03\x03" +
                            "\x04\x04\x04" + "\x05";
    CImage32FromData img;
    EXPECT_FALSE(img.load(dir.write("cut.tga", tga).c_str()));
    ASSERT_NE(img.m_pPixels, nullptr);
    const uint32_t expected[6] = {0x040404, 0, 0, 0x010101, 0x020202, 0x030303};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.m_pPixels[i], expected[i]) << i;
    EXPECT_TRUE(cap.has("CImage32FromData", "file " + dir.path() + "cut.tga: truncated"));

    // A count byte as the last byte of the file.
    cap.clear();
    const std::string countOnly = tgaHeader(10, 24, 2, 1) + "\x80" + "\x09\x09\x09" + "\x80";
    EXPECT_FALSE(img.load(dir.write("count.tga", countOnly).c_str()));
    ASSERT_NE(img.m_pPixels, nullptr);
    EXPECT_EQ(img.m_pPixels[0], 0x090909u);
    EXPECT_EQ(img.m_pPixels[1], 0u);
    EXPECT_EQ(cap.count(), 1u);
}

TEST(ImageLoadMalformed, EveryPrefixOfAValidFileIsSafe)
{
    // Loading each prefix of valid files of every kind must stay inside the data (checked under
    // the sanitizers) and succeed only when the file is whole.
    std::vector<uint32_t> pixels(7 * 5);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i % 4 == 0 ? 0x102030 : i * 0x050709);
    std::vector<uint8_t> rgb;
    for (uint32_t p : pixels) rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    std::vector<uint8_t> png;
    ASSERT_TRUE(stbi_write_png_to_func(collect, &png, 7, 5, 3, rgb.data(), 7 * 3));

    const struct {
        ImageFileType type;
        std::vector<uint8_t> file;
        bool exact;  // only the whole file decodes
    } files[] = {
        {ImageFileType::Tga, encodeTga(pixels.data(), 7, 5, TgaFormat::Raw24), true},
        {ImageFileType::Tga, encodeTga(pixels.data(), 7, 5, TgaFormat::Rle24), true},
        {ImageFileType::Tga, encodeTga(pixels.data(), 7, 5, TgaFormat::Palette8), true},
        {ImageFileType::Tga, encodeTga(pixels.data(), 7, 5, TgaFormat::PaletteRle8), true},
        {ImageFileType::Bmp, encodeBmp(pixels.data(), 7, 5), true},
        {ImageFileType::Png, png, false},
        {ImageFileType::Jpg, smallJpg(), false},
    };
    ReportCapture cap;
    CImage32FromData reporter;
    for (const auto& f : files) {
        for (size_t length = 0; length <= f.file.size(); ++length) {
            // An exact-size copy so that any read past the prefix is caught.
            const std::vector<uint8_t> prefix(f.file.begin(), f.file.begin() + long(length));
            DecodedImage out;
            cap.clear();
            const bool ok = decodeImageData(f.type, prefix.data(), prefix.size(), "p", reporter, out);
            if (f.exact) {
                ASSERT_EQ(ok, length == f.file.size()) << length;
            }
            if (ok) {
                ASSERT_NE(out.allocation.pixels, nullptr);
            }
            // One report for a failure; a whole BMP of odd width warns "width uneven". A PNG or
            // JPEG cut short may still be drawn: as a whole (a PNG missing its end chunk) or
            // as far as it goes, with one report.
            if (!ok || length == f.file.size())
                ASSERT_EQ(cap.count(), ok && f.type != ImageFileType::Bmp ? 0u : 1u) << length;
            else
                ASSERT_LE(cap.count(), 1u) << length;
        }
    }
}

TEST(ImageLoadMalformed, OversizedFileIsNotRead)
{
    ScratchDir dir;
    ReportCapture cap;
    // Sparse: costs no disk and is never read.
    const std::string path = dir.write("big.tga", "x");
    std::filesystem::resize_file(path, kMaxImageFileBytes + 1);
    CImage32FromData img;
    EXPECT_FALSE(img.load(path.c_str()));
    EXPECT_EQ(img.m_pPixels, nullptr);
    EXPECT_TRUE(cap.has("CImage32FromData", "file " + path + ": too large"));
}
