// The modifiers' formulas on hand-computed points (an identity gizmo, so gizmo space is object
// space turned onto the chosen axis, unless a test sets one): every kind, its options and tracks
// by name, negative bias, stretch along X, spherify through a gizmo that mixes axes, melt's floor,
// the ripple's inverted soft selection and its centroid; the stack's soft selection, bounds and
// order; the guards of flat boxes, tiny angles and values that are not finite, and modifiers that
// cannot deform (left as they are, reported once). Expected points are worked in the comments.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "S3DTestSupport.h"
#include "foundation/Random.h"
#include "s3d/LECXControllerL3XParam.h"
#include "s3d/S3DModifierKinds.h"
#include "s3d/S3DModifierStack.h"
#include "support/PointExpect.h"

namespace {

TEST(Modifier, BendLeavesTheMeshAloneAtAngleZeroAndCurlsItOtherwise)
{
    S3DModifierBend bend;  // axis Y
    prepareWithBounds(bend, {-1, 0, -1}, {1, 10, 1});
    const Point3D p{0.3f, 7.0f, -0.2f};
    EXPECT_EQ(bend.deform(p), p);

    // Extent 10 and a quarter turn: R = 20/π; the top (0, 10, 0) goes to θ = π/2, i.e. (R, R, 0).
    bend.angle() = kPi / 2;
    bend.prepare();
    const float r = 20.0f / kPi;
    EXPECT_NEAR(bend.getRadius(), r, 1e-4f);
    expectNear(bend.deform({0, 10, 0}), {r, r, 0});
    expectNear(bend.deform({0, 0, 0}), {0, 0, 0});
}

TEST(Modifier, TaperWithSymmetryScalesBothHalvesAlike)
{
    S3DModifierTaper taper;
    taper.m_option[0] = 1;  // Y
    taper.m_option[1] = 1;  // x and z
    taper.amount() = 1.0f;
    prepareWithBounds(taper, {-1, -10, -1}, {1, 10, 1});  // extent 20: t = ±0.5, f = 1 + t
    expectNear(taper.deform({1, 10, 1}), {1.5f, 10, 1.5f});
    expectNear(taper.deform({1, -10, 1}), {0.5f, -10, 0.5f});
    taper.m_option[2] = 1;
    taper.prepare();
    expectNear(taper.deform({1, -10, 1}), {1.5f, -10, 1.5f});
    // Effect 2 scales z only; curve adds t(1 - t).
    taper.m_option[1] = 2;
    taper.curve() = 2.0f;
    taper.prepare();
    expectNear(taper.deform({1, 10, 1}), {1, 10, 2.0f});  // f = 1 + 0.5(1 + 2·0.5)
}

TEST(Modifier, TwistIsLinearWithoutBiasAndFollowsThePowerWithIt)
{
    S3DModifierTwist twist;
    twist.m_option[0] = 1;
    twist.angle() = kPi / 2;
    prepareWithBounds(twist, {-1, 0, -1}, {1, 10, 1});
    // Half way up: θ = π/4; x' = z sin θ + x cos θ, z' = z cos θ - x sin θ.
    const float h = std::sqrt(0.5f);
    expectNear(twist.deform({1, 5, 0}), {h, 5, -h});
    EXPECT_EQ(twist.getExponent(), 1.0f);

    twist.bias() = 50.0f;
    twist.prepare();
    EXPECT_NEAR(twist.getBiasK(), 0.25f, 1e-6f);
    EXPECT_NEAR(twist.getExponent(), 2.0f, 1e-5f);
    // t = 0.5: θ = 0.25 · π/2.
    expectNear(twist.deform({1, 5, 0}), {std::cos(kPi / 8), 5, -std::sin(kPi / 8)});
    // Below the origin the angle turns the other way.
    expectNear(twist.deform({1, -5, 0}), {std::cos(kPi / 8), -5, std::sin(kPi / 8)});
}

TEST(Modifier, SkewOfAFlatObjectDividesBy1e6)
{
    S3DModifierSkew skew;
    skew.m_option[0] = 1;
    skew.amount() = 3e-6f;
    prepareWithBounds(skew, {-1, 2, -1}, {1, 2, 1});
    EXPECT_NEAR(skew.getFactor(), 3.0f, 1e-5f);
    expectNear(skew.deform({0, 1, 0}), {3, 1, 0});
}

TEST(Modifier, SpherifyPutsVerticesOnTheSphereAndMovesTheCentreAsIfAtOneOneOne)
{
    S3DModifierSpherify s;
    s.percent() = 100.0f;
    prepareWithBounds(s, {-1, -1, -1}, {1, 1, 1});  // centre 0, R = 1
    expectNear(s.deform({2, 0, 0}), {1, 0, 0});
    EXPECT_NEAR(s.deform({0.2f, 0.5f, -0.3f}).length(), 1.0f, 1e-5f);
    const float c = 1.0f / std::sqrt(3.0f);
    expectNear(s.deform({0, 0, 0}), {c, c, c});
    s.percent() = 50.0f;
    s.prepare();
    expectNear(s.deform({2, 0, 0}), {1.5f, 0, 0});
}

TEST(Modifier, StretchAndWaveFollowTheirFormulas)
{
    S3DModifierStretch stretch;
    stretch.m_option[0] = 1;
    stretch.stretch() = 1.0f;
    stretch.amplify() = 1.0f;
    prepareWithBounds(stretch, {-1, -1, -1}, {1, 1, 1});
    // t = 0.5: r = 1/2, s = 2, f = 1 - 4·0.5·0.25 = 0.5.
    expectNear(stretch.deform({1, 0, 1}), {0.5f, 0, 0.5f});
    expectNear(stretch.deform({1, 1, 0}), {1, 2, 0});

    S3DModifierWave wave;
    wave.amplitude1() = wave.amplitude2() = 2.0f;
    wave.waveLength() = 10.0f;
    wave.prepare();
    expectNear(wave.deform({2.5f, 1, 0}), {2.5f, 3, 0});  // ρ = 2.5: sin(π/2)
    wave.m_option[0] = 1;                                 // linear, along z
    wave.decay() = 1.0f;
    expectNear(wave.deform({0, 1, 2.5f}), {0, 1 + 2 * std::exp(-2.5f), 2.5f});
}

// Doubles x: stands for any modifier of a stack that changes the object's extent.
struct DoubleX : S3DModifier {
    DoubleX() : S3DModifier(0) {}
    void apply(const Point3D* in, Point3D* out, int count, const float*, bool) override
    {
        for (int i = 0; i < count; ++i) out[i] = {2 * in[i].x, in[i].y, in[i].z};
    }
};

TEST(ModifierStack, SoftSelectionBlendsAndLaterModifiersSeeTheCurrentBounds)
{
    S3DModifierSkew skew;  // k = 1 over an extent of 2
    skew.m_option[0] = 1;
    skew.amount() = 2.0f;
    skew.m_boundsMin = {-1, -1, -1};
    skew.m_boundsMax = {1, 1, 1};
    const Point3D rest[2] = {{0, 2, 0}, {0, -2, 0}};
    Point3D current[2];
    const float weights[2] = {0.25f, 1.0f};
    S3DStackStep step{&skew, weights, false};
    applyModifierStack(&step, 1, rest, current, 2);
    expectNear(current[0], {0.5f, 2, 0});
    expectNear(current[1], {-2, -2, 0});
    step.invert = true;
    applyModifierStack(&step, 1, rest, current, 2);
    expectNear(current[0], {1.5f, 2, 0});
    expectNear(current[1], {0, -2, 0});

    // The second modifier's box is the first one's output, not the rest box.
    DoubleX twice;
    S3DModifierSpherify sphere;
    const Point3D cube[2] = {{-1, -1, -1}, {1, 1, 1}};
    Point3D out[2];
    const S3DStackStep steps[2] = {{&twice, nullptr, false}, {&sphere, nullptr, false}};
    applyModifierStack(steps, 2, cube, out, 2);
    EXPECT_EQ(sphere.m_boundsMax, Point3D(2, 1, 1));
    EXPECT_EQ(sphere.getSphereRadius(), 2.0f);
    // No steps: the current positions are the rest positions.
    applyModifierStack(nullptr, 0, rest, current, 2);
    EXPECT_EQ(current[1], rest[1]);
}

TEST(ModifierStack, ALaterModifierIsPreparedOnlyForTheBoundsItDeformsWith)
{
    // A skew of amount 1e35 whose own box is flat would divide by 1e-6 (k = 1e41, not finite);
    // after the doubling its box is the cube's, extent 2, so k = 5e34: no report, and the
    // corners move by ±5e34 along x (their own x is lost in that).
    ReportCapture reports;
    DoubleX twice;
    S3DModifierSkew skew;
    skew.m_option[0] = 1;
    skew.amount() = 1e35f;
    skew.m_boundsMin = skew.m_boundsMax = {0, 0, 0};
    const Point3D cube[2] = {{-1, -1, -1}, {1, 1, 1}};
    Point3D out[2];
    const S3DStackStep steps[2] = {{&twice, nullptr, false}, {&skew, nullptr, false}};
    applyModifierStack(steps, 2, cube, out, 2);
    EXPECT_EQ(reports.count(), 0u);
    EXPECT_EQ(out[0], Point3D(-5e34f, -1, -1));
    EXPECT_EQ(out[1], Point3D(5e34f, 1, 1));
}

TEST(ModifierStack, StackOrderFromAFileNamesModifiersAndWeightChannels)
{
    ScratchDir dir;
    ReportCapture reports;
    // Index "-3" counts as 0; the inverted soft selection weighs vertex 0 by 0.75 and vertex 1
    // by 0. The skew's extent is 4, so k = 0.5.
    auto scene = sceneFromText(dir, "scene { triObjects {\n"
                                    " triObject { header { name \"a\" }\n"
                                    "  vertices { positions [ 0 2 0  0 -2 0 ] softSelection [ 0.25 1 ] }\n"
                                    "  modifiers { modifier 9 { parameters { axis 1 amount 2 } } }\n"
                                    "  stack { entry { modifier \"-3\" softSelection { useChannel 1 invert 1"
                                    " channel \"softSelection\" } } } }\n"
                                    " triObject { header { name \"b\" } stack { entry { modifier \"1\" } } }\n"
                                    "} }\n");
    EXPECT_TRUE(reports.has("S3DTriObject warning: b", "can t find modifier: 1"));
    S3DTriObject& a = *scene->findTriObject("a");
    a.m_modifierStack.applyObjectSpace(a);
    expectNear(a.m_vertices[0], {0.75f, 2, 0});
    expectNear(a.m_vertices[1], {0, -2, 0});
}

TEST(ModifierStack, WorldSpaceModifiersWorkInCameraSpace)
{
    // A twist about the world y axis seen by a camera at x = 3 (view = translation(-3, 0, 0)):
    // camera-space points go back to world space, twist there and come back.
    S3DModifierTwist twist;
    twist.m_worldSpace = true;
    twist.m_option[0] = 1;
    twist.angle() = kPi / 2;  // over the points' extent 2: θ = ±π/4 at y = ±1
    Point3D p[2] = {{-2, 1, 0}, {-2, -1, 0}};
    applyWorldSpaceStep({&twist, nullptr, false}, Matrix::translation(-3, 0, 0), p, 2);
    const float h = std::sqrt(0.5f);
    expectNear(p[0], {h - 3, 1, -h});
    expectNear(p[1], {h - 3, -1, h});
}

TEST(Modifier, NoiseFromAFileIsClampedAndReadsTheSharedTables)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, std::string("scene {\n triObjects { triObject {\n"
                                                "  header { name \"n\" }\n"
                                                "  vertices { positions [ 0 0 0 ] }\n"
                                                "  modifiers {\n"
                                                "   modifier 5 { parameters { seed 3 octaves 200 roughness 7 scale 10"
                                                "                            strength 1 2 3 } }\n"
                                                "   modifier 5 { parameters { seed 3 scale 10 strength 1 2 3 } }\n"
                                                "  }\n } }\n}\n"));
    S3DTriObject* o = scene->findTriObject("n");
    ASSERT_NE(o, nullptr);
    for (const auto& r : reports.reports()) EXPECT_STRNE(r.caption.c_str(), "ChunkFileReader:") << r.text;
    ASSERT_EQ(o->m_modifiers.size(), 2u);
    auto& fractal = static_cast<S3DModifierNoise&>(*o->m_modifiers[0]);
    EXPECT_EQ(fractal.getOctaves(), FractalNoise::kMaxOctave);
    auto& noise = static_cast<S3DModifierNoise&>(*o->m_modifiers[1]);
    noise.prepare();
    const PerlinNoise reference;
    const float c = float(reference.permutation(3));
    const Point3D p{4, 6, 8}, s = p * 0.1f;
    expectNear(noise.deform(p), {4 + reference.noise3(s.z + 0.5f, s.y + 0.5f, c),
                                 6 + 2 * reference.noise3(s.x + 0.5f, s.z + 0.5f, c),
                                 8 + 3 * reference.noise3(s.x + 0.5f, s.y + 0.5f, c)},
               1e-5f);
}

} // namespace

namespace {

TEST(ModifierCorners, TwistWithANegativeBiasFollowsItsOwnPower)
{
    // Bias -50: k = 1 - 50 × 0.005 = 0.75, exponent ln 0.75 / ln 0.5, so |t|^exponent at t = 0.5
    // is 0.75 and θ = 0.75 × π/2 = 3π/8 (negated below the centre).
    S3DModifierTwist twist;
    twist.m_option[0] = 1;
    twist.angle() = kPi / 2;
    twist.bias() = -50.0f;
    prepareWithBounds(twist, {-1, 0, -1}, {1, 10, 1});
    EXPECT_NEAR(twist.getBiasK(), 0.75f, 1e-6f);
    const float c = std::cos(3 * kPi / 8), s = std::sin(3 * kPi / 8);
    expectNear(twist.deform({1, 5, 0}), {c, 5, -s});
    expectNear(twist.deform({1, -5, 0}), {c, -5, s});
}

TEST(ModifierCorners, StretchAlongXMeasuresItsBoundsAlongX)
{
    // Axis X: g = (-y, x, z), lo and hi are the box's x, 0 and 4. Stretch 1, amplify 1: r = 1/2,
    // s = 2. At x = 2, t = 0.5 and f = 1 - 4 × 0.5 × 0.25 = 0.5: (2, 1, 1) → g (-1, 2, 1) →
    // (-0.5, 4, 0.5) → (4, 0.5, 0.5). At x = 1, t = 0.25, f = 1 - 2 × 0.1875 = 0.625.
    S3DModifierStretch stretch;
    stretch.m_option[0] = 0;
    stretch.stretch() = 1.0f;
    stretch.amplify() = 1.0f;
    prepareWithBounds(stretch, {0, -1, -1}, {4, 1, 1});
    expectNear(stretch.deform({2, 1, 1}), {4, 0.5f, 0.5f});
    expectNear(stretch.deform({1, 1, -1}), {2, 0.625f, -0.625f});
    expectNear(stretch.deform({0, 1, 0}), {0, 1, 0});
}

TEST(ModifierCorners, SpherifyBoxIsTheGizmoSpaceBoxOfAllEightCorners)
{
    // gizmoTM (x, y, z) → (x, y - z, z): the box 0 .. 2 spans y - z from -2 to 2 (corners
    // (·, 0, 2) and (·, 2, 0)), so c = (1, 0, 1) and R = 2. At 100 %, (2, 1, 1) is g (2, 0, 1),
    // d = (1, 0, 0), q = 2: d' = (2, 0, 0), g' = (3, 0, 1), back (3, 1, 1).
    S3DModifierSpherify spherify;
    spherify.percent() = 100.0f;
    spherify.m_gizmoTM.m[2][1] = -1.0f;
    prepareWithBounds(spherify, {0, 0, 0}, {2, 2, 2});
    EXPECT_FLOAT_EQ(spherify.getSphereRadius(), 2.0f);
    expectNear(spherify.getSphereCenter(), {1, 0, 1});
    expectNear(spherify.deform({2, 1, 1}), {3, 1, 1});
}

TEST(ModifierCorners, MeltSpreadDividesBySolidityHeldAtOneHundredth)
{
    // Axis Z, box z 0 .. 10, amount 50 %: (2, 0, 10) sinks to z 5 (h 10, sunk 5) and widens by
    // r = 1 + spread × 0.01 / max(solidity, 0.01) × 5 / 10.
    S3DModifierMelt melt;
    melt.amount() = 50.0f;
    melt.spread() = 1.0f;
    melt.solidity() = 0.05f;  // 0.2: r = 1.1
    prepareWithBounds(melt, {-5, -5, 0}, {5, 5, 10});
    expectNear(melt.deform({2, 0, 10}), {2.2f, 0, 5});
    melt.solidity() = 0.002f;  // held at 0.01: 1, r = 1.5
    melt.prepare();
    expectNear(melt.deform({2, 0, 10}), {3, 0, 5});
}

TEST(ModifierCorners, RippleBlendsByTheInvertedWeights)
{
    // The ripple of ModifierFrame.WorldSpaceRipplePushesFromTheCentroidWithItsJitter, weights
    // 0.25 and 1 inverted: the first point goes 3/4 of the way, the second stays.
    S3DModifierRipple ripple;
    prepareTwoPointRipple(ripple);
    RippleJitter jitter{77};
    const float s = std::exp(-1.0f);
    Point3D moved{-1 - s, 0, 0};
    moved += Point3D{jitter(), jitter(), jitter()};
    const Point3D in[2] = {{-1, 0, 0}, {3, 0, 0}};
    const float weights[2] = {0.25f, 1.0f};
    Point3D out[2];
    tlSrand(77);
    ripple.apply(in, out, 2, weights, true);
    expectNear(out[0], in[0] * 0.25f + moved * 0.75f);
    expectNear(out[1], in[1]);
}

TEST(ModifierCorners, WaveWithAnAmplitudeNotFiniteKeepsItsPoints)
{
    S3DModifierWave wave;
    wave.amplitude1() = std::numeric_limits<float>::infinity();
    wave.waveLength() = 10.0f;
    ReportCapture reports;
    wave.prepare();
    EXPECT_FALSE(wave.isUsable());
    EXPECT_EQ(wave.deform({2.5f, 1, 0}), Point3D(2.5f, 1, 0));
    EXPECT_TRUE(reports.has("S3DModifier warning:", "prepare: parameter not finite, type 6"));
}

TEST(ModifierCorners, GizmoScaleAndRotationFollowTheirTracksAndAFlatScaleKeepsItsSize)
{
    // A skew along y with k = 1 (amount 4 over the vertices' extent 4). Object "turned": its gizmo
    // scale track gives 2 and its rotation track a quarter turn about z, whose toMatrix takes
    // (x, y, z) to (-y, x, z): g = (-y, x, z) / 2. (2, 0, 0): g (0, 1, 0), skewed (1, 1, 0), back
    // (2, -2, 0); (2, 2, 0): g (-1, 1, 0) → (0, 1, 0) → (2, 0, 0); (0, 4, 0): g (-2, 0, 0) stays.
    // Object "flat": gizmo scale (0, 2, 1), the flat axis kept at size 1, and offset (0, 2, 0)
    // taken off before the scale: g = (x, (y - 2) / 2, z), so x' = x + (y - 2) / 2: (2, 0, 0) →
    // (1, 0, 0), (0, 4, 0) → (1, 4, 0); no report.
    ScratchDir dir;
    ReportCapture reports;
    const auto object = [](const char* name, const char* gizmo) {
        return std::string(" triObject { header { name \"") + name + "\" }\n"
               "  vertices { positions [ 2 0 0  2 2 0  0 4 0 ] }\n"
               "  modifiers { modifier 9 { gizmo { " + gizmo + " } parameters { axis 1 amount 4 } } }\n"
               "  stack { entry { modifier \"0\" } } }\n";
    };
    auto scene = sceneFromText(
        dir, "scene { triObjects {\n" +
                 object("turned", "tracks { scale linear { key 0 2 2 2 } rotation linear { key 0 1.5707964 0 0 1 } }") +
                 object("flat", "values { scale 0 2 1 offset 0 2 0 }") + "} }\n");
    S3DTriObject& turned = *scene->findTriObject("turned");
    turned.update(0);
    turned.m_modifierStack.applyObjectSpace(turned);
    expectNear(turned.m_vertices[0], {2, -2, 0});
    expectNear(turned.m_vertices[1], {2, 0, 0});
    expectNear(turned.m_vertices[2], {0, 4, 0});
    S3DTriObject& flat = *scene->findTriObject("flat");
    flat.update(0);
    flat.m_modifierStack.applyObjectSpace(flat);
    expectNear(flat.m_vertices[0], {1, 0, 0});
    expectNear(flat.m_vertices[2], {1, 4, 0});
    for (const auto& r : reports.reports()) EXPECT_NE(r.caption, "S3DModifier warning:") << r.text;
}

TEST(ModifierCorners, StackIndicesNameAnyModifierModuloTheirCount)
{
    // Modifier 0 skews x by +y, modifier 1 by -y (amount ±4 over the extent 4). "a" runs modifier
    // 0; "b" names 3, which is 1 modulo 2.
    ScratchDir dir;
    ReportCapture reports;
    const auto object = [](const char* name, const char* index) {
        return std::string(" triObject { header { name \"") + name + "\" }\n"
               "  vertices { positions [ 0 2 0  0 -2 0 ] }\n"
               "  modifiers { modifier 9 { parameters { axis 1 amount 4 } } modifier 9 { parameters { axis 1 amount -4 } } }\n"
               "  stack { entry { modifier \"" + index + "\" } } }\n";
    };
    auto scene = sceneFromText(dir, "scene { triObjects {\n" + object("a", "0") + object("b", "3") + "} }\n");
    S3DTriObject& a = *scene->findTriObject("a");
    a.m_modifierStack.applyObjectSpace(a);
    expectNear(a.m_vertices[0], {2, 2, 0});
    expectNear(a.m_vertices[1], {-2, -2, 0});
    S3DTriObject& b = *scene->findTriObject("b");
    b.m_modifierStack.applyObjectSpace(b);
    expectNear(b.m_vertices[0], {-2, 2, 0});
    expectNear(b.m_vertices[1], {2, -2, 0});
}

TEST(ModifierCorners, WorldSpaceTaperAlongZTakesThePointsDepth)
{
    // Axis Z: g = (x, z, -y). The points span z 0 .. 4 (and y 0 .. 8): t = z / 4, f = 1 + t on x.
    S3DModifierTaper taper;
    taper.m_worldSpace = true;
    taper.m_option[0] = 2;
    taper.amount() = 1.0f;
    Point3D p[3] = {{1, 0, 0}, {1, 8, 4}, {1, 4, 2}};
    applyWorldSpaceStep({&taper, nullptr, false}, Matrix::identity(), p, 3);
    expectNear(p[0], {1, 0, 0});
    expectNear(p[1], {2, 8, 4});
    expectNear(p[2], {1.5f, 4, 2});
}

TEST(ModifierCorners, EveryParameterAndTrackFillsTheValueOfItsName)
{
    // Each kind's options from the parameter record and each float track (a constant 1, 2, 3 …
    // in table order) reach the value of the same name and no other.
    ScratchDir dir;
    const auto tracks = [](std::initializer_list<const char*> names) {
        std::string out = " parameterTracks {";
        int v = 1;
        for (const char* n : names) out += std::string(" ") + n + " linear { key 0 " + std::to_string(v++) + " }";
        return out + " }";
    };
    auto scene = sceneFromText(
        dir, "scene { triObjects { triObject { header { name \"o\" } vertices { positions [ 0 0 0 ] }\n modifiers {\n"
             "  modifier 3 { parameters { axis 2 }" + tracks({"angle", "direction"}) + " }\n"
             "  modifier 4 {" + tracks({"stretch", "amplify"}) + " }\n"
             "  modifier 5 { parameters { seed 7 octaves 2 animate 1 phaseFactor 0.5 roughness 0.25 }" +
             tracks({"scale", "phase", "strength"}) + " }\n"
             "  modifier 6 { parameters { form 1 }" + tracks({"amplitude1", "amplitude2", "waveLength", "phase", "decay"}) + " }\n"
             "  modifier 7 {" + tracks({"angle", "bias"}) + " }\n"
             "  modifier 8 { parameters { axis 0 effect 2 symmetry 1 }" + tracks({"amount", "curve"}) + " }\n"
             "  modifier 9 {" + tracks({"amount", "direction"}) + " }\n"
             "  modifier 10 {" + tracks({"percent"}) + " }\n"
             "  modifier 11 { parameters { axis 1 fromTop 1 }" + tracks({"amount", "spread", "solidity"}) + " }\n"
             " } } } }\n");
    S3DTriObject& o = *scene->findTriObject("o");
    ASSERT_EQ(o.m_modifiers.size(), 9u);
    for (auto& m : o.m_modifiers) m->update(0);
    const auto& bend = static_cast<S3DModifierBend&>(*o.m_modifiers[0]);
    EXPECT_EQ(bend.m_option[0], 2);
    EXPECT_EQ(Point3D(bend.angle(), bend.direction(), 0), Point3D(1, 2, 0));
    const auto& stretch = static_cast<S3DModifierStretch&>(*o.m_modifiers[1]);
    EXPECT_EQ(Point3D(stretch.stretch(), stretch.amplify(), 0), Point3D(1, 2, 0));
    const auto& noise = static_cast<S3DModifierNoise&>(*o.m_modifiers[2]);
    EXPECT_EQ(Point3D(float(noise.seed()), float(noise.octaves()), float(noise.animated())), Point3D(7, 2, 1));
    EXPECT_EQ(Point3D(noise.phaseFactor(), noise.roughness(), 0), Point3D(0.5f, 0.25f, 0));
    EXPECT_EQ(Point3D(noise.scale(), noise.phase(), 0), Point3D(1, 2, 0));
    EXPECT_EQ(Point3D(noise.strengthX(), noise.strengthY(), noise.strengthZ()), Point3D(3, 3, 3));
    const auto& wave = static_cast<S3DModifierWave&>(*o.m_modifiers[3]);
    EXPECT_EQ(wave.form(), 1);
    EXPECT_EQ(Point3D(wave.amplitude1(), wave.amplitude2(), wave.waveLength()), Point3D(1, 2, 3));
    EXPECT_EQ(Point3D(wave.phase(), wave.decay(), 0), Point3D(4, 5, 0));
    const auto& twist = static_cast<S3DModifierTwist&>(*o.m_modifiers[4]);
    EXPECT_EQ(Point3D(twist.angle(), twist.bias(), 0), Point3D(1, 2, 0));
    const auto& taper = static_cast<S3DModifierTaper&>(*o.m_modifiers[5]);
    EXPECT_EQ(Point3D(float(taper.m_option[0]), float(taper.effect()), float(taper.symmetric())), Point3D(0, 2, 1));
    EXPECT_EQ(Point3D(taper.amount(), taper.curve(), 0), Point3D(1, 2, 0));
    const auto& skew = static_cast<S3DModifierSkew&>(*o.m_modifiers[6]);
    EXPECT_EQ(Point3D(skew.amount(), skew.direction(), 0), Point3D(1, 2, 0));
    EXPECT_EQ(static_cast<S3DModifierSpherify&>(*o.m_modifiers[7]).percent(), 1.0f);
    const auto& melt = static_cast<S3DModifierMelt&>(*o.m_modifiers[8]);
    EXPECT_EQ(Point3D(float(melt.m_option[0]), float(melt.fromTop()), 0), Point3D(1, 1, 0));
    EXPECT_EQ(Point3D(melt.amount(), melt.spread(), melt.solidity()), Point3D(1, 2, 3));
}

TEST(ModifierCorners, GuardsAtTheEdgesKeepThePointsFinite)
{
    // A bend of 0.0005 rad is above the 0.0001 floor: R = 10 / 0.0005.
    S3DModifierBend bend;
    bend.angle() = 0.0005f;
    prepareWithBounds(bend, {-1, 0, -1}, {1, 10, 1});
    EXPECT_NEAR(bend.getRadius(), 20000.0f, 1.0f);
    // A biased twist, a stretch, a taper and a melt over a box flat along their axis leave points
    // as they are.
    S3DModifierTwist twist;
    twist.m_option[0] = 1;
    twist.angle() = 1.0f;
    twist.bias() = 50.0f;
    prepareWithBounds(twist, {-1, 3, -1}, {1, 3, 1});
    EXPECT_EQ(twist.deform({1, 3, 0}), Point3D(1, 3, 0));
    S3DModifierStretch stretch;
    stretch.m_option[0] = 1;
    stretch.stretch() = 1.0f;
    stretch.amplify() = 1.0f;
    prepareWithBounds(stretch, {-1, 2, -1}, {1, 2, 1});
    EXPECT_EQ(stretch.deform({1, 2, 1}), Point3D(1, 2, 1));
    S3DModifierTaper taper;
    taper.m_option[0] = 1;
    taper.amount() = 1.0f;
    prepareWithBounds(taper, {-1, 2, -1}, {1, 2, 1});
    EXPECT_EQ(taper.deform({1, 2, 1}), Point3D(1, 2, 1));
    S3DModifierMelt flat;
    flat.amount() = 50.0f;
    flat.spread() = 10.0f;
    prepareWithBounds(flat, {-1, -1, 3}, {1, 1, 3});
    EXPECT_EQ(flat.deform({1, 0, 3}), Point3D(1, 0, 3));
    // A circular wave with two amplitudes at the gizmo's centre takes the first: phase 0.25
    // lifts it by a1.
    S3DModifierWave wave;
    wave.amplitude1() = 1.0f;
    wave.amplitude2() = 3.0f;
    wave.waveLength() = 10.0f;
    wave.phase() = 0.25f;
    wave.prepare();
    expectNear(wave.deform({0, 0, 0}), {0, 1, 0});
    // Melt amounts above 100 % sink no further than the floor.
    S3DModifierMelt melt;
    melt.amount() = 150.0f;
    prepareWithBounds(melt, {-5, -5, 0}, {5, 5, 10});
    expectNear(melt.deform({2, 0, 10}), {2, 0, 0});
    expectNear(melt.deform({2, 0, 4}), {2, 0, 0});
}

TEST(ModifierCorners, RipplePointAtTheCentroidOnlyJittersAndAnUnusableRippleKeepsEveryPoint)
{
    S3DModifierRipple ripple;
    ripple.m_worldSpace = true;
    ripple.amplitude() = 1.0f;
    ripple.waveLength() = 8.0f;
    ripple.prepare();
    RippleJitter jitter{5};
    for (int k = 0; k < 6; ++k) jitter();
    const Point3D want{jitter(), jitter(), jitter()};
    const Point3D in[3] = {{-1, 0, 0}, {1, 0, 0}, {0, 0, 0}};
    Point3D out[3];
    tlSrand(5);
    ripple.apply(in, out, 3, nullptr, false);
    expectNear(out[2], want);

    ReportCapture reports;
    ripple.amplitude() = std::nanf("");
    ripple.prepare();
    ripple.apply(in, out, 3, nullptr, false);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out[i], in[i]) << i;
    EXPECT_TRUE(reports.has("S3DModifier warning:", "prepare: parameter not finite, type 12"));
}

} // namespace

namespace {

// A tri object with three vertices (y 0, 20, 40) and one face, material 0, and its modifiers.
std::string object(const char* name, const std::string& rest)
{
    return std::string("triObject { header { name \"") + name + "\" } material 0\n"
           "  vertices { positions [ 10 0 50  30 20 60  -10 40 70 ] } faceData { faces [ 0 1 2 ] }\n  " + rest + " }\n";
}

std::string scene(const std::string& objects, const std::string& wsModifiers)
{
    return "scene {\n animationLength 10\n triObjects {\n" + objects + " }\n wsModifiers { " + wsModifiers + " }\n"
           " cameras { camera { header { name \"c\" } target { name \"t\" node { values { position 0 0 100 } } } } }\n"
           " materials { material { name \"m\" subMaterials { subMaterial { shading { values { paletteEnabled 1 } } } } } }\n}\n";
}

// One frame: update, the controller's parameters (key, value, mode), prepare.
void frame(S3DScene& s, LECXControllerL3XScene& controller)
{
    s.setCamera(0);
    s.update(0);
    controller.apply();
    s.prepare();
}

void addParam(LECXControllerL3XScene& controller, S3DScene& s, const char* key, const char* value, int mode)
{
    LECXControllerParam* p = controller.addParam();
    p->m_name = key;
    p->m_expression = value;
    p->m_mode = mode;
    controller.prepare();
    controller.prepareGroups();
    controller.setTarget(&s);
    controller.prepareInterface();
}

size_t countReports(const ReportCapture& r, const std::string& text)
{
    size_t n = 0;
    for (const auto& c : r.reports()) n += c.caption == "S3DModifier warning:" && c.text == text;
    return n;
}

TEST(ModifierUsable, SingularOrNotFiniteModifiersKeepTheVerticesAndReportOnce)
{
    ScratchDir dir;
    const std::string stack = " stack { entry { modifier \"0\" } }";
    const std::string objects =
        object("flat", "modifiers { modifier 8 { gizmo { values { tm 0 0 0 0 0 0 0 0 0 0 0 0 } }"
                       " parameters { axis 1 amount 1 } } }" + stack) +
        object("stretchy", "modifiers { modifier 4 { parameters { axis 1 stretch 1 amplify 1 } } }" + stack) +
        object("melty", "modifiers { modifier 11 { parameters { axis 1 amount 50 spread 10 solidity 1 } } }" + stack) +
        object("twisty", "modifiers { modifier 7 { parameters { axis 1 angle 1 bias 10 } } }" + stack) +
        object("squashed", "wsBindings { binding { name \"squash\" } }");
    // The world-space object's node is scaled to 0: its gizmo matrix has no inverse.
    const std::string ws = "wsModifier { header { name \"squash\" node { values { mode 1 scale 0 0 0 } } }"
                           " modifier 8 { parameters { axis 1 amount 1 } } }";
    ReportCapture reports;
    auto s = sceneFromText(dir, scene(objects, ws));
    ASSERT_EQ(s->getNbTriObject(), 5);
    ASSERT_EQ(reports.count(), 0u);
    // Stretch 1 with amplify -1 divides by 0; 0/0 reaches melt's solidity and twist's bias.
    LECXControllerL3XScene controller;
    addParam(controller, *s, "MODIFIERSTRETCH stretchy AMPLIFY", "0 - 1", 0);
    s->findTriObject("melty")->m_modifiers[0]->m_value[2] = std::nanf("");
    s->findTriObject("twisty")->m_modifiers[0]->m_value[1] = std::nanf("");
    for (int k = 0; k < 2; ++k) {
        frame(*s, controller);
        for (const S3DTriObject& o : s->getTriObjects()) {
            const Matrix& view = s->getCameras()[0].m_viewMatrix;
            for (size_t i = 0; i < 3; ++i) {
                const Point3D want = view.transform(o.m_restVertices[i]);
                EXPECT_EQ(o.m_vertices[i], o.m_restVertices[i]) << o.getName() << " " << i;
                EXPECT_NEAR(o.m_cameraVertices[i].x, want.x, 1e-4) << o.getName() << " " << i;
                EXPECT_NEAR(o.m_cameraVertices[i].y, want.y, 1e-4) << o.getName() << " " << i;
                EXPECT_NEAR(o.m_cameraVertices[i].z, want.z, 1e-4) << o.getName() << " " << i;
            }
        }
    }
    EXPECT_EQ(countReports(reports, "prepare: matrix can't be inverted, type 8"), 2u);  // flat and squash
    EXPECT_EQ(countReports(reports, "prepare: parameter not finite, type 4"), 1u);
    EXPECT_EQ(countReports(reports, "prepare: parameter not finite, type 11"), 1u);
    EXPECT_EQ(countReports(reports, "prepare: parameter not finite, type 7"), 1u);
    EXPECT_EQ(reports.count(), 5u);

    // Once its parameters are usable again the modifier deforms in that frame: stretch 1 with
    // amplify 1 leaves the middle (y = 20, t = 0.5) at r = 0.5, f = 0.5 and s = 2.
    S3DTriObject& stretchy = *s->findTriObject("stretchy");
    LECXControllerL3XScene none;
    stretchy.m_modifiers[0]->m_value[1] = 1.0f;
    frame(*s, none);
    EXPECT_FLOAT_EQ(stretchy.m_vertices[1].x, 15.0f);
    EXPECT_FLOAT_EQ(stretchy.m_vertices[1].y, 40.0f);
    EXPECT_FLOAT_EQ(stretchy.m_vertices[1].z, 30.0f);
}

TEST(ModifierUsable, GizmoPositionWordsMoveAWorldSpaceGizmo)
{
    // A world-space taper along y (amount 1, x only) on a node at x = 5, moved by POSX + 20 to
    // x = 25. Bounds y 0 .. 40: t = y / 40, f = 1 + t, x' = 25 + f (x - 25):
    // (10, 0) stays; (30, 20): 25 + 1.5 x 5 = 32.5; (-10, 40): 25 + 2 x -35 = -45.
    ScratchDir dir;
    const std::string ws = "wsModifier { header { name \"squash\" node { values { mode 1 position 5 0 0 } } }"
                           " modifier 8 { parameters { axis 1 amount 1 } } }";
    auto s = sceneFromText(dir, scene(object("o", "wsBindings { binding { name \"squash\" } }"), ws));
    LECXControllerL3XScene controller;
    addParam(controller, *s, "MODIFIERGIZMO squash 0 POSX", "20", 1);
    frame(*s, controller);
    const Matrix& view = s->getCameras()[0].m_viewMatrix;
    const Point3D want[3] = {{10, 0, 50}, {32.5f, 20, 60}, {-45, 40, 70}};
    const S3DTriObject& o = s->getTriObjects()[0];
    for (int i = 0; i < 3; ++i) {
        const Point3D w = view.transform(want[i]);
        EXPECT_NEAR(o.m_cameraVertices[size_t(i)].x, w.x, 1e-3) << i;
        EXPECT_NEAR(o.m_cameraVertices[size_t(i)].y, w.y, 1e-3) << i;
        EXPECT_NEAR(o.m_cameraVertices[size_t(i)].z, w.z, 1e-3) << i;
    }
}

} // namespace
