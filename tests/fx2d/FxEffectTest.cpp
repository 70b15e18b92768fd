// What the three effects share: dimensions beyond the image pixel cap are reported once and the
// effect then does nothing, whatever image it is given.
#include <gtest/gtest.h>

#include <vector>

#include "fx2d/FxEmboss.h"
#include "fx2d/FxHVBlur.h"
#include "fx2d/FxRadial.h"
#include "image/CImage32.h"
#include "support/TestSupport.h"

TEST(FxEffect, DimensionsBeyondThePixelCapAreReportedOnceAndDoNothing)
{
    ReportCapture cap;
    FxHVBlur blur(100000, 100000);
    FxRadial radial(100000, 100000);
    FxEmboss emboss(100000, 100000);
    EXPECT_EQ(cap.count(), 3u);
    EXPECT_TRUE(cap.has("FxHVBlur : ", "dimensions too large"));
    EXPECT_TRUE(cap.has("FxRadial : ", "dimensions too large"));
    EXPECT_TRUE(cap.has("FxEmboss : ", "dimensions too large"));

    // An image claiming those dimensions over one pixel of memory: taken, and left untouched (the
    // address sanitizer sees any access past that pixel).
    std::vector<uint32_t> pixel(1, 0x12345678u);
    CImage32External huge;
    huge.setData(100000, 100000, pixel.data());
    blur.setScreen(&huge);
    radial.setScreen(&huge);
    emboss.setScreen(&huge);
    for (int direction : {0, 1}) {
        blur.setDirection(FxHVBlur::Direction(direction));
        blur.apply();
    }
    blur.blurRow(5, 10);
    radial.apply();
    emboss.apply();
    EXPECT_EQ(pixel[0], 0x12345678u);
    EXPECT_EQ(cap.count(), 3u);
}
