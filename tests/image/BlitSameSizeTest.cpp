// The same-size blits (layer mixes): results per rule, and their fatal size and width errors
// reported through the source image's error().
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "BlitTestUtil.h"
#include "image/CImage32.h"
#include "support/TestSupport.h"

using namespace blittest;

namespace {

class BlitSameSize : public AtEveryLevel {};

TEST_P(BlitSameSize, ExactBytes)
{
    CImage32Buffered a(6, 3), b(6, 3), map(6, 3);
    // blitTransDiv of two whites gives 254 in every byte.
    a.clear(0xFFFFFFFFu);
    b.clear(0xFFFFFFFFu);
    a.blitTransDiv(&b);
    EXPECT_EQ(changedBox(b, 0xFEFEFEFEu).count, 0);
    // blitAlpha with opacity 1 (weight 255): white over black gives 254.
    b.clear(0);
    a.blitAlpha(&b, 1.0f);
    EXPECT_EQ(changedBox(b, 0xFEFEFEFEu).count, 0);
    // blitAlpha with the source's top byte: A = 0x80 over white: s*128/256 + 255*127/256.
    a.clear(0x80FF0000u);
    b.clear(0xFFFFFFFFu);
    a.blitAlpha(&b);
    EXPECT_EQ(at(b, 5, 2), uint32_t((64 + 126) << 24 | (127 + 126) << 16 | 126 << 8 | 126));
    // blitAlpha with a map: per byte weights.
    a.clear(0xFFFFFFFFu);
    b.clear(0);
    map.clear(0x00FF8040u);
    a.blitAlpha(&b, &map);
    EXPECT_EQ(at(b, 0, 0), 0x00FE7F3Fu);
    // add / sub and their weighted forms.
    a.clear(0x80808080u);
    b.clear(0xC0C0C0C0u);
    a.blitTransAdd(&b);
    EXPECT_EQ(at(b, 3, 1), 0xFFFFFFFFu);
    a.blitTransSub(&b);
    EXPECT_EQ(at(b, 3, 1), 0x7F7F7F7Fu);
    a.blitAlphaTransAdd(&b, 0.5f);  // 0x80 * 128 / 256 = 64
    EXPECT_EQ(at(b, 3, 1), 0xBFBFBFBFu);
    a.blitAlphaTransSub(&b, 0.25f);  // a = 64: 0x80 * 64 / 256 = 32
    EXPECT_EQ(at(b, 3, 1), 0x9F9F9F9Fu);
    map.clear(0xFF804000u);
    a.blitAlphaTransAdd(&b, &map);  // + 127, 64, 32, 0
    EXPECT_EQ(at(b, 3, 1), 0xFFDFBF9Fu);
    a.blitAlphaTransSub(&b, &map);
    EXPECT_EQ(at(b, 3, 1), 0x809F9F9Fu);  // top: 255 - 128 * 255 / 256 = 128
    // blit copies all four bytes.
    fillRandom(a, 5);
    a.blit(&b);
    EXPECT_TRUE(std::equal(a.m_pPixels, a.m_pPixels + 18, b.m_pPixels));
}

TEST_P(BlitSameSize, OddWidthAllowedWhereNotRequired)
{
    ReportCapture capture;
    CImage32Buffered a(5, 3), b(5, 3);
    a.clear(0xFF102030u);
    a.blit(&b);
    EXPECT_EQ(at(b, 4, 2), 0xFF102030u);
    b.clear(0);
    a.blitAlpha(&b);  // A = 255: 254 * ... per byte s * 255 / 256
    EXPECT_EQ(at(b, 4, 2), 0xFE0F1F2Fu);
    EXPECT_EQ(capture.count(), 0u);
}

struct ErrorCase {
    const char* name;
    bool evenWidth;
    std::function<void(const CImage32&, CImage32*)> call;
};

TEST_P(BlitSameSize, FatalSizeAndWidthErrors)
{
    CImage32Buffered map(5, 2);
    const ErrorCase cases[] = {
        {"blit", false, [](const CImage32& s, CImage32* d) { s.blit(d); }},
        {"blitTransDiv", true, [](const CImage32& s, CImage32* d) { s.blitTransDiv(d); }},
        {"blitAlpha", true, [](const CImage32& s, CImage32* d) { s.blitAlpha(d, 0.3f); }},
        {"blitAlpha", false, [](const CImage32& s, CImage32* d) { s.blitAlpha(d); }},
        {"blitAlpha", true, [&](const CImage32& s, CImage32* d) { s.blitAlpha(d, &map); }},
        {"blitTransAdd", true, [](const CImage32& s, CImage32* d) { s.blitTransAdd(d); }},
        {"blitTransSub", true, [](const CImage32& s, CImage32* d) { s.blitTransSub(d); }},
        {"blitAlphaTransAdd", true, [](const CImage32& s, CImage32* d) { s.blitAlphaTransAdd(d, 0.3f); }},
        {"blitAlphaTransAdd", true, [&](const CImage32& s, CImage32* d) { s.blitAlphaTransAdd(d, &map); }},
        {"blitAlphaTransSub", true, [](const CImage32& s, CImage32* d) { s.blitAlphaTransSub(d, 0.3f); }},
        {"blitAlphaTransSub", true, [&](const CImage32& s, CImage32* d) { s.blitAlphaTransSub(d, &map); }},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Different sizes: fatal, nothing drawn.
        {
            ReportCapture capture;
            CImage32Buffered src(4, 2), dst(4, 3);
            src.clear(0xFFFFFFFFu);
            dst.clear(kSentinel);
            c.call(src, &dst);
            ASSERT_EQ(capture.count(), 1u);
            EXPECT_EQ(capture.reports()[0].kind, ReportKind::Error);
            EXPECT_EQ(capture.reports()[0].caption, "CImage32Buffered");
            EXPECT_EQ(capture.reports()[0].text, std::string(c.name) + ": must be same dimensions");
            EXPECT_TRUE(fatalErrorPosted());
            EXPECT_EQ(changedBox(dst, kSentinel).count, 0);
        }
        // Odd width: fatal where an even width is required, nothing drawn.
        {
            ReportCapture capture;
            CImage32Buffered src(5, 2), dst(5, 2);
            src.clear(0xFFFFFFFFu);
            dst.clear(kSentinel);
            c.call(src, &dst);
            if (c.evenWidth) {
                ASSERT_EQ(capture.count(), 1u);
                EXPECT_EQ(capture.reports()[0].kind, ReportKind::Error);
                EXPECT_EQ(capture.reports()[0].caption, "CImage32Buffered");
                EXPECT_EQ(capture.reports()[0].text, std::string(c.name) + ": width must be even");
                EXPECT_EQ(changedBox(dst, kSentinel).count, 0);
            } else {
                EXPECT_EQ(capture.count(), 0u);
                EXPECT_NE(changedBox(dst, kSentinel).count, 0);
            }
        }
    }
    // The caption is the source's class name.
    ReportCapture capture;
    std::vector<uint32_t> memory(6);
    CImage32External src;
    src.setData(3, 2, memory.data());
    CImage32Buffered dst(3, 2);
    src.blitTransSub(&dst);
    EXPECT_TRUE(capture.has("CImage32External", "blitTransSub: width must be even"));
}

TEST_P(BlitSameSize, NullDestinationDoesNothing)
{
    ReportCapture capture;
    CImage32Buffered a(4, 2);
    a.blit(nullptr);
    a.blitAlpha(nullptr, &a);
    EXPECT_EQ(capture.count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Paths, BlitSameSize, ::testing::ValuesIn(kAllSimdLevels), levelName);

} // namespace
