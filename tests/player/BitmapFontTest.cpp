// Tests for the built-in bitmap font: box size and colours, clipping, glyph shapes.
#include "player/BitmapFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSentinel = 0xA5A5A5A5;
constexpr uint32_t kWhite = 0xFFFFFF;

// The box drawn for text on its own, in a buffer exactly its size.
std::vector<uint32_t> renderBox(const std::string& text)
{
    const int w = bitmapTextWidth(text.c_str()), h = bitmapTextHeight();
    std::vector<uint32_t> box(size_t(w) * h, kSentinel);
    drawBitmapText(box.data(), w, h, w, 0, 0, text.c_str());
    return box;
}

long whiteCount(const std::vector<uint32_t>& p) { return std::count(p.begin(), p.end(), kWhite); }

} // namespace

TEST(BitmapFont, FillsExactlyItsBoxInBlackAndWhite)
{
    const char* text = "fps: 59.9\x01\x7f~";
    const int cellW = bitmapTextWidth("a"), w = bitmapTextWidth(text), h = bitmapTextHeight();
    ASSERT_GT(cellW, 0);
    ASSERT_GT(h, 0);
    EXPECT_EQ(w, 12 * cellW);

    const int bw = w + 9, bh = h + 6, x = 4, y = 3;
    std::vector<uint32_t> buf(size_t(bw) * bh, kSentinel);
    drawBitmapText(buf.data(), bw, bh, bw, x, y, text);
    std::vector<uint32_t> box;
    for (int py = 0; py < bh; ++py)
        for (int px = 0; px < bw; ++px) {
            const uint32_t p = buf[size_t(py) * bw + px];
            if (px >= x && px < x + w && py >= y && py < y + h) {
                ASSERT_TRUE(p == 0 || p == kWhite) << px << "," << py;
                box.push_back(p);
            } else {
                ASSERT_EQ(p, kSentinel) << px << "," << py;
            }
        }
    EXPECT_EQ(box, renderBox(text));

    // Unknown and blank characters leave their cells black; no text draws nothing.
    EXPECT_EQ(renderBox(" \x01\x7f\xff\t"), std::vector<uint32_t>(size_t(5) * cellW * h, 0));
    EXPECT_EQ(bitmapTextWidth(nullptr), 0);
    EXPECT_EQ(bitmapTextWidth(""), 0);
    const std::vector<uint32_t> before = buf;
    drawBitmapText(buf.data(), bw, bh, bw, 0, 0, nullptr);
    drawBitmapText(buf.data(), bw, bh, bw, 0, 0, "");
    EXPECT_EQ(buf, before);
}

TEST(BitmapFont, ClipsAtEveryEdge)
{
    const char* text = "Clip 0123456789";
    const int tw = bitmapTextWidth(text), th = bitmapTextHeight();
    const std::vector<uint32_t> reference = renderBox(text);
    const int w = 50, h = 20, m = 12, pitch = w + 2 * m;
    // Partly off each edge and corner, just off each edge, and far enough off to tempt overflow.
    const int positions[][2] = {{-3, -4}, {2 - tw, 5}, {w - 5, h - 3}, {10, 1 - th}, {w - 1, -2}, {-6, h - 1},
                                {-tw, 0}, {w, 0}, {0, h}, {0, -th}, {INT_MAX - 3, 0}, {INT_MIN + 5, INT_MIN + 5}};
    for (const auto& [x, y] : positions) {
        std::vector<uint32_t> buf(size_t(pitch) * (h + 2 * m), kSentinel);
        drawBitmapText(buf.data() + m * pitch + m, w, h, pitch, x, y, text);
        for (int py = -m; py < h + m; ++py)
            for (int px = -m; px < w + m; ++px) {
                const int64_t bx = int64_t(px) - x, by = int64_t(py) - y;
                const bool inBuffer = px >= 0 && px < w && py >= 0 && py < h;
                const bool inBox = bx >= 0 && bx < tw && by >= 0 && by < th;
                const uint32_t want = inBuffer && inBox ? reference[size_t(by * tw + bx)] : kSentinel;
                ASSERT_EQ(buf[size_t(py + m) * pitch + px + m], want)
                    << "text at " << x << "," << y << ", pixel " << px << "," << py;
            }
    }
}

TEST(BitmapFont, GlyphsAreInkedDistinctAndKeepTheirMargin)
{
    // Covers the digits and "fps:" of the status line along with every other visible character.
    const int cellW = bitmapTextWidth("a"), h = bitmapTextHeight();
    std::set<std::vector<uint32_t>> seen;
    for (int c = 33; c <= 126; ++c) {
        const std::vector<uint32_t> cell = renderBox(std::string(1, char(c)));
        EXPECT_GT(whiteCount(cell), 0) << char(c);
        EXPECT_TRUE(seen.insert(cell).second) << char(c) << " duplicates another glyph";
        for (int i = 0; i < cellW; ++i)
            EXPECT_TRUE(cell[i] == 0 && cell[size_t(h - 1) * cellW + i] == 0) << char(c);
        for (int j = 0; j < h; ++j)
            EXPECT_TRUE(cell[size_t(j) * cellW] == 0 && cell[size_t(j) * cellW + cellW - 1] == 0) << char(c);
    }
}
