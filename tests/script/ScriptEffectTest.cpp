// Effects and their descriptors as scripts declare them: parameters, sharing, limits, messages.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "ScriptTestUtil.h"
#include "image/ImageFileWriter.h"

namespace {

// A 64x16 layer "s" fed from `image` (if any) at position 1 and driven by the given lines.
std::string effectScript(const std::vector<std::string>& effects, const std::vector<std::string>& descs,
                         const std::vector<std::string>& operations, const std::vector<std::string>& images = {})
{
    return makeScript({{"LAYER_DIMENSION", {"desc: small 64 16"}},
                       {"IMAGE", images},
                       {"SCREEN_LAYER", {"desc: s small"}},
                       {"EFFECT", effects},
                       {"EFFECT_DESC", descs},
                       {"LAYER_MANAGER", operations}});
}

uint32_t renderAt(ScriptEngine& engine, VirtualClock& clock, CImage32Buffered& frame, int t, int x, int y)
{
    clock.set(uint32_t(t));
    engine.render(&frame);
    return frame.m_pPixels[y * frame.m_width + x] & 0xFFFFFF;
}

TEST_F(ScriptEngineTest, BlurDescriptorsShareOneEffect)
{
    ReportCapture cap;
    CImage32Buffered line(64, 16);
    for (int y = 0; y < 16; ++y) line.setPixel(32, y, 0xFFFFFF);
    ASSERT_TRUE(writeTga((m_dir.path() + "line.tga").c_str(), line, TgaFormat::Raw24));
    auto engine = load(effectScript({"desc: blur HVBLUR small"},
                                    {"desc: across blur x HORIZONTAL NORMAL 4", "desc: down blur x VERTICAL NORMAL 300"},
                                    {"desc: s 1 0 1000 w line", "desc: s 2 0 100 e across", "desc: s 2 100 200 e down"},
                                    {"file: line line.tga"}));
    EXPECT_EQ(cap.count(), 0u);
    CImage32Buffered frame(64, 16);
    // Horizontal: the column spreads to its neighbours.
    EXPECT_NE(renderAt(*engine, *m_clock, frame, 0, 31, 8), 0u);
    EXPECT_EQ(frame.m_pPixels[8 * 64 + 20] & 0xFFFFFF, 0u);
    // Vertical (size 300 limited to 255): nothing spreads sideways, the column stays lit.
    EXPECT_EQ(renderAt(*engine, *m_clock, frame, 150, 31, 8), 0u);
    EXPECT_NE(frame.m_pPixels[8 * 64 + 32] & 0xFFFFFF, 0u);
}

TEST_F(ScriptEngineTest, ColourEffectModesAndLimits)
{
    ReportCapture cap;
    auto engine = load(effectScript({"desc: colour COLOR"},
                                    {"desc: nothing colour NULL ADD 0 0 0", "desc: lots colour NULL ADD 2.0 0.5 0",
                                     "desc: less colour NULL SUB 0.0 1.0 0.1", "desc: grey colour NULL GRAY",
                                     "desc: red colour NULL RED", "desc: odd colour NULL PURPLE"},
                                    {"desc: s 1 0 1000 c 16 32 48", "desc: s 2 0 100 e nothing",
                                     "desc: s 2 100 200 e lots", "desc: s 2 200 300 e less", "desc: s 2 300 400 e grey",
                                     "desc: s 2 400 500 e red", "desc: s 2 500 600 e odd"}));
    EXPECT_TRUE(cap.has("ScriptEngine :", "color mode not found"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "desc: odd colour NULL PURPLE"));
    CImage32Buffered frame(64, 16);
    EXPECT_EQ(renderAt(*engine, *m_clock, frame, 0, 5, 5), 0x102030u);    // all zero: untouched
    EXPECT_EQ(renderAt(*engine, *m_clock, frame, 150, 5, 5), 0xFF9F30u);  // 2.0 saturates, 0.5 -> 127
    EXPECT_EQ(renderAt(*engine, *m_clock, frame, 250, 5, 5), 0x100017u);  // 0.1 -> 25 subtracted
    // Grey (5 b + 16 g + 11 r) >> 5 = 29 into every byte, the top byte included.
    renderAt(*engine, *m_clock, frame, 350, 5, 5);
    EXPECT_EQ(frame.m_pPixels[5 * 64 + 5], 0x1D1D1D1Du);
    EXPECT_EQ(renderAt(*engine, *m_clock, frame, 450, 5, 5), 0x1D0000u);
    EXPECT_EQ(renderAt(*engine, *m_clock, frame, 550, 5, 5), 0xEFDFCFu);  // unknown mode: invert
}

TEST_F(ScriptEngineTest, EmbossRadialAndRowBlurOnAUniformImage)
{
    ReportCapture cap;
    auto engine = load(effectScript({"desc: relief EMBOSS small", "desc: rays RADIAL small", "desc: rows DEMOSPE01"},
                                    {"desc: emboss relief x EMBOSS 1.0", "desc: still rays x SMOOTH 0 0 32 8",
                                     "desc: wave rows NULL 1"},
                                    {"desc: s 1 0 1000 c 10 20 30", "desc: s 2 0 100 e emboss",
                                     "desc: s 2 100 200 e still", "desc: s 2 200 300 e wave"}));
    CImage32Buffered frame(64, 16);
    EXPECT_EQ(renderAt(*engine, *m_clock, frame, 0, 10, 8), 0x808080u);
    for (int x : {0, 31, 63}) EXPECT_EQ(renderAt(*engine, *m_clock, frame, 150, x, 8), 0x0A141Eu) << x;
    // The row effect needs the 512x256 image of the player: other sizes are refused.
    renderAt(*engine, *m_clock, frame, 250, 10, 8);
    EXPECT_TRUE(cap.has("FxHVBlur : ", "setScreen: not same dimensions as the constructor one"));
}

TEST_F(ScriptEngineTest, EffectLineMessages)
{
    ReportCapture cap;
    auto engine = load(effectScript({"desc: blur HVBLUR small", "desc: what SPARKLE"},
                                    {"desc: b blur x DIAGONAL SIDEWAYS", "desc: lost nothing", "desc: dead what"},
                                    {}));
    EXPECT_TRUE(cap.has("ScriptEngine :", "createEffect (): can't find IdEffect : SPARKLE"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "hvBlur mode not found"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "hvBlur drawMode not found"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "desc: b blur x DIAGONAL SIDEWAYS"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "can't find EFFECT : nothing"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find Effect: nothing"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "can't find EFFECT : what"));  // an unknown type made no effect
    auto* desc = dynamic_cast<ScriptEffectHVBlurDesc*>(engine->findEffectDesc("b"));
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->m_direction, FxHVBlur::Direction::Horizontal);
    EXPECT_EQ(desc->m_drawMode, kBlendAdd);
    EXPECT_EQ(desc->m_size, 64);
}

// A 512x256 picture that changes along every row and from row to row.
std::unique_ptr<CImage32Buffered> stripes()
{
    auto image = std::make_unique<CImage32Buffered>(512, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x) image->setPixel(x, y, uint32_t(((x * 37) ^ (y * 11)) & 0xFF) * 0x010101u);
    return image;
}

TEST_F(ScriptEngineTest, RowWaveBlursEachRowByItsOwnRadius)
{
    ReportCapture cap;
    const auto stripesImage = stripes();
    const CImage32Buffered& picture = *stripesImage;
    ASSERT_TRUE(writeTga((m_dir.path() + "stripes.tga").c_str(), picture, TgaFormat::Raw24));
    auto engine = load(makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                                   {"IMAGE", {"file: pic stripes.tga"}},
                                   {"SCREEN_LAYER", {"desc: s full"}},
                                   {"EFFECT", {"desc: rows DEMOSPE01"}},
                                   {"EFFECT_DESC", {"desc: wave rows NULL 1"}},
                                   {"LAYER_MANAGER", {"desc: s 1 0 1000 w pic", "desc: s 2 0 1000 e wave"}}}));
    EXPECT_EQ(cap.count(), 0u);
    CImage32Buffered frame(512, 256);
    m_clock->set(700);
    engine->render(&frame);

    // Radius of row i at tick t: cos(t pi / 1000 + i / 256 x 8 pi) x 33 + 14, truncated; rows
    // above 1 get the row blur with that radius, the others stay as they were.
    CImage32Buffered expected(512, 256);
    expected.createCopy(&picture);
    FxHVBlur rowBlur(512, 256);
    rowBlur.setScreen(&expected);
    int blurred = 0;
    for (int i = 0; i < 256; ++i) {
        const int radius = int(std::cos(700 * 0.001 * 3.1415927 + i / 256.0 * 25.132742) * 33.0 + 14.0);
        if (radius > 1) rowBlur.blurRow(i, radius), ++blurred;
    }
    EXPECT_GT(blurred, 60);
    EXPECT_LT(blurred, 220);
    for (int i = 0; i < 512 * 256; ++i) ASSERT_EQ(frame.m_pPixels[i], expected.m_pPixels[i]) << i;
}

TEST(ScriptDescriptor, AmountsBeyondTheIntRangeSaturate)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ScriptEffectColor colour;
    ScriptEffectColorDesc colourDesc;
    colourDesc.setEffect(&colour);
    colourDesc.m_red = 1e10f;
    colourDesc.m_green = nan;
    colourDesc.m_blue = -1e10f;
    colourDesc.apply(nullptr);
    EXPECT_EQ(colour.m_red, 255);
    EXPECT_EQ(colour.m_green, 0);
    EXPECT_EQ(colour.m_blue, 0);

    ScriptEffectEmboss emboss(8, 8);
    ScriptEffectEmbossDesc embossDesc;
    embossDesc.setEffect(&emboss);
    embossDesc.m_strength = 1e10f;
    embossDesc.apply(nullptr);
    EXPECT_EQ(emboss.m_strength, INT_MAX);
    embossDesc.m_strength = nan;
    embossDesc.apply(nullptr);
    EXPECT_EQ(emboss.m_strength, 0);

    // An infinite intensity blurs every row of non-zero noise with the widest window (row 0 sits on
    // the noise lattice, where it is 0); NaN blurs none.
    const auto stripesImage = stripes();
    const CImage32Buffered& picture = *stripesImage;
    ScriptEffectDemoSpe01 rows;
    ScriptEffectDemoSpe01Desc rowsDesc;
    rowsDesc.setEffect(&rows);
    CImage32Buffered image(512, 256);
    image.createCopy(&picture);
    rowsDesc.m_intensity = nan;
    rowsDesc.apply(&image);
    EXPECT_EQ(std::memcmp(image.m_pPixels, picture.m_pPixels, 512 * 256 * 4), 0);
    rowsDesc.m_intensity = std::numeric_limits<float>::infinity();
    rowsDesc.apply(&image);
    CImage32Buffered expected(512, 256);
    expected.createCopy(&picture);
    FxHVBlur rowBlur(512, 256);
    rowBlur.setScreen(&expected);
    rowBlur.blurRow(1, INT_MAX);
    EXPECT_NE(std::memcmp(expected.m_pPixels + 512, picture.m_pPixels + 512, 512 * 4), 0);
    EXPECT_EQ(std::memcmp(image.m_pPixels + 512, expected.m_pPixels + 512, 512 * 4), 0);
}

} // namespace

namespace {

TEST(RenderData, SceneFrameRunsAtThirtyPerSecondAndLoops)
{
    EXPECT_FLOAT_EQ(sceneFrame(0, 0, 100.0f), 0.0f);        // frame 0 at the start of the window
    EXPECT_FLOAT_EQ(sceneFrame(0, 500, 100.0f), 15.0f);
    EXPECT_FLOAT_EQ(sceneFrame(1000, 500, 100.0f), 45.0f);  // shifted by the time offset
    EXPECT_FLOAT_EQ(sceneFrame(0, 2000, 60.0f), 0.0f);      // (0 + 2000) x 0.03 = 60 frames: wraps to 0
    EXPECT_FLOAT_EQ(sceneFrame(0, 2100, 60.0f), 3.0f);
    // 4100 ms x 0.03 lies a hair below 123 in double, which rounds to 123 in float: frame 0.
    EXPECT_EQ(sceneFrame(0, 4100, 123.0f), 0.0f);
    EXPECT_EQ(sceneFrame(0, 100, 0.0f), 0.0f);  // a scene without frames stays at 0, not NaN
}

} // namespace
