// Modifier cases the first tests leave out: a negative twist bias, stretch along X, spherify
// through a gizmo that mixes axes, melt's solidity floor, the ripple's inverted soft selection
// and a point on its centroid, values that are not finite, the gizmo's scale and rotation
// tracks, a flat gizmo scale, stack indices past the first modifier, a world-space box along z,
// every kind's options and tracks by name, and the guards of flat boxes and tiny angles.
// Expected points are worked through the formulas by hand in the comments.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ModifierSupport.h"
#include "SceneFromText.h"
#include "foundation/Random.h"
#include "s3d/S3DModifierKinds.h"
#include "s3d/S3DModifierStack.h"
#include "support/PointExpect.h"

namespace {

constexpr float kPi = 3.14159265f;

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
