// Blur: the divisor, window placement, ends, modes, sizes below one and beyond the image, the
// vertical pass, the single-row blur and the reports.
#include <gtest/gtest.h>

#include "FxTestImage.h"
#include "fx2d/FxHVBlur.h"
#include "support/TestSupport.h"

namespace {

const char* const kCaption = "FxHVBlur : ";

TestImage blurred(const TestImage& source, int size, int direction, BlendMode mode)
{
    FxHVBlur blur(source.width(), source.height());
    blur.setSize(size);
    blur.setDirection(FxHVBlur::Direction(direction));
    blur.setMode(mode);
    SCOPED_TRACE(testing::Message() << "size " << size << " direction " << direction << " mode " << int(mode));
    return filtered(blur, source);
}

} // namespace

TEST(FxHVBlur, DivisorIsAShiftOrARoundedReciprocal)
{
    const FxHVBlur::Divisor three = FxHVBlur::Divisor::make(3);
    EXPECT_EQ(three.n, 4);
    EXPECT_TRUE(three.powerOfTwo);
    EXPECT_EQ(three.shift, 2);

    const FxHVBlur::Divisor eight = FxHVBlur::Divisor::make(8);
    EXPECT_TRUE(eight.powerOfTwo);
    EXPECT_EQ(eight.shift, 3);

    const FxHVBlur::Divisor six = FxHVBlur::Divisor::make(6);
    EXPECT_FALSE(six.powerOfTwo);
    EXPECT_EQ(six.multiplier, 171); // 1024 / 6 = 170.67 rounds up
    EXPECT_EQ(six.shift, 10);
    EXPECT_EQ(six.divide(6 * 255), 255u);

    const FxHVBlur::Divisor twelve = FxHVBlur::Divisor::make(12);
    EXPECT_EQ(twelve.multiplier, 171); // 2048 / 12 = 170.67
    EXPECT_EQ(twelve.shift, 11);
    const FxHVBlur::Divisor ten = FxHVBlur::Divisor::make(10);
    EXPECT_EQ(ten.multiplier, 205); // 2048 / 10 = 204.8
    const FxHVBlur::Divisor big = FxHVBlur::Divisor::make(300);
    EXPECT_EQ(big.multiplier, 218); // 65536 / 300 = 218.45 rounds down
    EXPECT_EQ(big.shift, 16);

    EXPECT_EQ(FxHVBlur::Divisor::make(0).n, 0);
    EXPECT_EQ(FxHVBlur::Divisor::make(-1).n, 0);
    EXPECT_EQ(FxHVBlur::Divisor::make(1).n, 2);
}

TEST(FxHVBlur, UniformImageKeepsItsInteriorAndDarkensItsEnds)
{
    // n = 6, h = 3: output x sums x - 2 .. x + 3, so columns 0, 1 and the last three lose pixels.
    // 200 * count * 171 >> 10: 4 -> 133, 5 -> 166, 6 -> 200, 3 -> 100.
    const TestImage source(20, 3, grey(200));
    for (int direction : {0, 1}) {
        const TestImage in = direction == 0 ? source : source.transposed();
        TestImage out = blurred(in, 6, direction, kBlendNormal);
        if (direction == 1) out = out.transposed();
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(out.at(0, y), grey(133));
            EXPECT_EQ(out.at(1, y), grey(166));
            for (int x = 2; x <= 16; ++x) EXPECT_EQ(out.at(x, y), grey(200)) << x;
            EXPECT_EQ(out.at(17, y), grey(166));
            EXPECT_EQ(out.at(18, y), grey(133));
            EXPECT_EQ(out.at(19, y), grey(100));
        }
    }
}

TEST(FxHVBlur, WindowTakesOneMorePixelAfterThanBefore)
{
    // n = 4, h = 2: a lone pixel reaches outputs 8 .. 11 (x - 1 .. x + 2 contains 10), 200 >> 2 = 50.
    TestImage in(16, 1);
    in.at(10, 0) = 0xC8C8C8C8;
    const TestImage out = blurred(in, 4, 0, kBlendNormal);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(out.at(x, 0), (x >= 8 && x <= 11) ? grey(50) : 0u) << x;
}

TEST(FxHVBlur, AddAndSubtractModesUseThePixelBeforeFiltering)
{
    const TestImage in(12, 12, 0x10649BC8); // channels 200, 155, 100, 16
    const TestImage add = blurred(in, 4, 1, kBlendAdd);
    EXPECT_EQ(add.at(5, 5), 0x20C8FFFFu); // doubled, saturating at 255
    const TestImage sub = blurred(in, 4, 0, kBlendSub);
    EXPECT_EQ(sub.at(5, 5), 0u);
    // At the first column the mean is (3 p) >> 2: 200 - 150, 155 - 116, 100 - 75, 16 - 12.
    EXPECT_EQ(sub.at(0, 5), 0x04192732u);
}

TEST(FxHVBlur, SizeBelowOneDoublesClearsOrKeeps)
{
    const TestImage in = TestImage::random(9, 5, 7);
    TestImage doubled = blurred(in, 0, 0, kBlendAdd);
    for (int i = 0; i < 45; ++i)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(channel(doubled.pixels()[size_t(i)], c), std::min(255, 2 * channel(in.pixels()[size_t(i)], c)));
    EXPECT_EQ(blurred(in, 0, 1, kBlendSub).pixels(), TestImage(9, 5).pixels());
    EXPECT_EQ(blurred(in, -1, 0, kBlendNormal).pixels(), in.pixels());
}

TEST(FxHVBlur, WindowLongerThanTheImage)
{
    // Size 300 down 256 rows of 255: every output sums the rows of its clipped window (151 at the
    // top, all 256 in the middle, 150 at the bottom) and divides by 300: (count * 255 * 218) >> 16.
    const TestImage column(2, 256, grey(255));
    const TestImage down = blurred(column, 300, 1, kBlendNormal);
    EXPECT_EQ(down.at(0, 0), grey(128));
    EXPECT_EQ(down.at(1, 120), grey(217));
    EXPECT_EQ(down.at(0, 255), grey(127));

    // Along 512 columns the sum clips at 65535 (257 pixels of 255); from then on the leaving pixels
    // are taken from the clipped sum, so the far end is darker than the near one.
    const TestImage row(512, 1, grey(255));
    const TestImage along = blurred(row, 300, 0, kBlendNormal);
    EXPECT_EQ(along.at(0, 0), grey(128));   // 151 pixels
    EXPECT_EQ(along.at(106, 0), grey(217)); // 65535 * 218 >> 16
    EXPECT_EQ(along.at(200, 0), grey(217)); // 65280 * 218 >> 16
    EXPECT_EQ(along.at(511, 0), grey(89));  // 65280 - 150 * 255 = 27030
}

TEST(FxHVBlur, VerticalPassIsTheHorizontalOneTransposed)
{
    for (int size : {2, 5, 6, 30, 64, 100}) {
        const BlendMode modes[] = {kBlendNormal, kBlendAdd, kBlendSub};
        for (int m : {0, 1, 2}) {
            const BlendMode mode = modes[m];
            const TestImage in = TestImage::random(37, 23, uint32_t(size * 3 + m));
            const TestImage vertical = blurred(in, size, 1, mode);
            const TestImage horizontal = blurred(in.transposed(), size, 0, mode).transposed();
            EXPECT_EQ(vertical.pixels(), horizontal.pixels()) << "size " << size << " mode " << m;
        }
    }
}

TEST(FxHVBlur, BlurRowFiltersOneRowLikeTheWholePass)
{
    const TestImage in = TestImage::random(64, 8, 11);
    const TestImage whole = blurred(in, 10, 0, kBlendNormal);
    FxHVBlur blur(64, 8);
    const std::vector<uint32_t> pixels = atEveryLevel([&] {
        TestImage one(in);
        blur.setScreen(one.image());
        blur.blurRow(3, 9); // raised to 10
        blur.blurRow(8, 9); // outside: ignored
        return one.pixels();
    });
    EXPECT_EQ(blur.getSize(), 64);
    const TestImage one(64, 8, pixels);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x) EXPECT_EQ(one.at(x, y), y == 3 ? whole.at(x, y) : in.at(x, y));
}

TEST(FxHVBlur, ReportsBadDimensionsAndMissingScreen)
{
    ReportCapture cap;
    FxHVBlur bad(0, -2);
    EXPECT_TRUE(cap.has(kCaption, "width <= 0"));
    EXPECT_TRUE(cap.has(kCaption, "height <= 0"));

    cap.clear();
    FxHVBlur blur(8, 4);
    blur.apply();
    EXPECT_TRUE(cap.has(kCaption, "m_pScreen NULL"));

    cap.clear();
    TestImage other(4, 8, 0x01010101);
    blur.setScreen(other.image());
    EXPECT_TRUE(cap.has(kCaption, "setScreen: not same dimensions as the constructor one"));
    EXPECT_EQ(blur.getScreen(), nullptr);
    EXPECT_EQ(cap.reports().front().kind, ReportKind::Warning);
}
