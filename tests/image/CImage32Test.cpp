// The image classes: owned allocations with guard rows, sizing errors, the whole-image operations
// and their pixel loops at every SIMD level.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/CImage32.h"
#include "image/PixelOps.h"
#include "support/SimdLevels.h"
#include "support/TestSupport.h"

TEST(CImage32, OwnedAllocationHasZeroGuardRows)
{
    CImage32Buffered one(1, 1);
    ASSERT_NE(one.m_pPixels, nullptr);
    // 1 x (1 + 4) pixels; the image starts two rows in.
    one.m_pPixels[0] = 0xFFFFFFFF;
    EXPECT_EQ(one.m_pPixels[-2], 0u);
    EXPECT_EQ(one.m_pPixels[-1], 0u);
    EXPECT_EQ(one.m_pPixels[1], 0u);
    EXPECT_EQ(one.m_pPixels[2], 0u);

    CImage32Buffered img(4, 3);
    img.clear(0x01020304);
    for (int i = -8; i < 0; ++i) EXPECT_EQ(img.m_pPixels[i], 0u);
    for (int i = 12; i < 20; ++i) EXPECT_EQ(img.m_pPixels[i], 0u);
    EXPECT_EQ(img.m_hasAlpha, 0);
}

TEST(CImage32, SizingErrorsAreFatalAndLeaveNoPixels)
{
    ReportCapture cap;
    CImage32Buffered bad(0, 5);
    EXPECT_EQ(bad.m_pPixels, nullptr);
    EXPECT_TRUE(cap.has("CImage32Buffered", "dimensions must be greater than zero"));
    EXPECT_EQ(cap.reports().back().kind, ReportKind::Error);
    EXPECT_TRUE(fatalErrorPosted());

    cap.clear();
    CImage32External ext;
    uint32_t pixel = 0;
    ext.setData(-1, 0, nullptr);  // null pixels win over the bad size
    EXPECT_TRUE(cap.has("CImage32External", "pixelData NULL"));
    EXPECT_EQ(cap.count(), 1u);
    ext.setData(0, 1, &pixel);
    EXPECT_TRUE(cap.has("CImage32External", "dimensions must be greater than zero"));
    ext.setData(1, 1, &pixel);
    EXPECT_EQ(ext.m_pPixels, &pixel);

    // Operations on an image without pixels do nothing.
    CImage32Buffered empty;
    cap.clear();
    empty.clear(1);
    empty.toGrey();
    empty.invert();
    empty.addColor(0x10101010);
    empty.clearTopRow();
    empty.clearLeftColumn();
    EXPECT_EQ(cap.count(), 0u);
}

TEST(CImage32, ThePixelCapIsWidthTimesHeightUpTo2To26)
{
    // 8192 x 8192 is exactly 2^26 pixels; one row more, one column more or a side past 32 bits
    // is beyond it, as is a side of 0.
    static_assert(withinPixelCap(8192, 8192) && withinPixelCap(1, int64_t(1) << 26));
    static_assert(!withinPixelCap(8192, 8193) && !withinPixelCap(8193, 8192));
    static_assert(!withinPixelCap(int64_t(1) << 32, 1) && !withinPixelCap(0, 5) && !withinPixelCap(5, -1));
    ReportCapture cap;
    EXPECT_EQ(PixelAllocation::make(8193, 8192).pixels, nullptr);
}

TEST(CImage32, GreyAndColourArithmetic)
{
    CImage32Buffered img(2, 1);
    img.m_pPixels[0] = 0x00FF0000;  // red
    img.m_pPixels[1] = 0xFFFFFFFF;
    img.toGrey();
    EXPECT_EQ(img.m_pPixels[0], 0x57575757u);  // (11 * 255) >> 5 = 87
    EXPECT_EQ(img.m_pPixels[1], 0xFFFFFFFFu);

    img.m_pPixels[0] = 0x0000FF00;  // green: (16 * 255) >> 5 = 127
    img.m_pPixels[1] = 0x000000FF;  // blue: (5 * 255) >> 5 = 39
    img.toGreyRed();
    EXPECT_EQ(img.m_pPixels[0], 0x007F0000u);
    EXPECT_EQ(img.m_pPixels[1], 0x00270000u);
    img.clear(0x0000FF00);
    img.toGreyGreen();
    EXPECT_EQ(img.m_pPixels[0], 0x00007F00u);
    img.clear(0x0000FF00);
    img.toGreyBlue();
    EXPECT_EQ(img.m_pPixels[1], 0x0000007Fu);

    img.clear(0xC0C0C0C0);
    img.addColor(0x80808080);
    EXPECT_EQ(img.m_pPixels[0], 0xFFFFFFFFu);
    img.clear(0xC0C0C0C0);
    img.subColor(0x80808080);
    EXPECT_EQ(img.m_pPixels[1], 0x40404040u);
    img.clear(0x00FF0110);
    img.subColor(0x01000220);
    EXPECT_EQ(img.m_pPixels[0], 0x00FF0000u);

    img.clear(0x807F0102);
    img.doubleIntensity();
    EXPECT_EQ(img.m_pPixels[0], 0xFFFE0204u);
    img.invert();
    EXPECT_EQ(img.m_pPixels[1], 0x0001FDFBu);
    img.maskPixel(0x00FF00FF);
    EXPECT_EQ(img.m_pPixels[0], 0x000100FBu);
}

TEST(CImage32, OddWidthWarningsAndPixelAccess)
{
    ReportCapture cap;
    CImage32Buffered img(3, 2);
    img.clear(0x11223344);
    img.invert();
    img.maskPixel(0);
    EXPECT_TRUE(cap.has("CImage32Buffered", "invert: width must be even"));
    EXPECT_TRUE(cap.has("CImage32Buffered", "maskPixel: width must be even"));
    EXPECT_EQ(cap.reports().front().kind, ReportKind::Warning);
    EXPECT_FALSE(fatalErrorPosted());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.m_pPixels[i], 0x11223344u);

    img.setPixel(-1, 0, 7);
    img.setPixel(3, 0, 7);
    img.setPixel(0, 2, 7);
    for (int i = -6; i < 12; ++i) EXPECT_NE(img.m_pPixels[i], 7u);
    img.setPixel(2, 1, 7);
    EXPECT_EQ(img.m_pPixels[5], 7u);

    img.clear(0xFFFFFFFF);
    img.clearTopRow();
    img.clearBottomRow();
    img.clearLeftColumn();
    CImage32Buffered big(3, 3);
    big.clear(0xAAAAAAAA);
    big.clearTopRow();
    big.clearBottomRow();
    big.clearLeftColumn();
    const uint32_t expected[9] = {0, 0, 0, 0, 0xAAAAAAAA, 0xAAAAAAAA, 0, 0, 0};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(big.m_pPixels[i], expected[i]) << i;

    CImage32Buffered src(4, 4);
    for (int i = 0; i < 16; ++i) src.m_pPixels[i] = uint32_t(i);
    CImage32Buffered window(2, 2);
    window.copyRegion(src, 1, 2);
    EXPECT_EQ(window.m_pPixels[0], 9u);
    EXPECT_EQ(window.m_pPixels[1], 10u);
    EXPECT_EQ(window.m_pPixels[2], 13u);
    EXPECT_EQ(window.m_pPixels[3], 14u);
}

TEST(PixelOps, EveryLevelGivesTheSameBytes)
{
    std::mt19937 rng(1234);
    // Lengths around the four- and eight-pixel blocks; the run starts one pixel into its buffer.
    for (int n : {0, 1, 3, 4, 7, 8, 9, 15, 17, 64, 1001}) {
        std::vector<uint32_t> a(n + 1), s(n);
        for (auto& v : a) v = rng();
        for (auto& v : s) v = rng();
        const uint32_t value = rng();
        SCOPED_TRACE(n);
        auto check = [&](auto op) {
            atEveryLevel([&] {
                std::vector<uint32_t> x = a;
                op(x.data() + 1);
                return x;
            });
        };
        for (uint32_t keep : {0xFFFFFFFFu, 0x00FF0000u, 0x0000FF00u, 0x000000FFu})
            check([&](uint32_t* d) { pixelops::greyInto(d, n, keep); });
        check([&](uint32_t* d) { pixelops::addSaturate(d, n, s.data()); });
        check([&](uint32_t* d) { pixelops::addSaturateValue(d, n, value); });
        check([&](uint32_t* d) { pixelops::subSaturateValue(d, n, value); });
        check([&](uint32_t* d) { pixelops::xorBytes(d, n, value); });
        check([&](uint32_t* d) { pixelops::andBytes(d, n, value); });
    }
}
