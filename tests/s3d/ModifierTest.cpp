// The gizmo modifiers' formulas on hand-computed points (identity gizmo, so gizmo space is
// object space turned onto the chosen axis) and the stack's soft selection and bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "SceneFromText.h"
#include "s3d/S3DModifierKinds.h"
#include "s3d/S3DModifierStack.h"
#include "support/PointExpect.h"

namespace {

constexpr float kPi = 3.14159265f;

template <class M>
void setBounds(M& m, Point3D lo, Point3D hi)
{
    m.m_boundsMin = lo;
    m.m_boundsMax = hi;
    m.prepare();
}

TEST(Modifier, BendLeavesTheMeshAloneAtAngleZeroAndCurlsItOtherwise)
{
    S3DModifierBend bend;  // axis Y
    setBounds(bend, {-1, 0, -1}, {1, 10, 1});
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
    setBounds(taper, {-1, -10, -1}, {1, 10, 1});  // extent 20: t = ±0.5, f = 1 + t
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
    setBounds(twist, {-1, 0, -1}, {1, 10, 1});
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
    setBounds(skew, {-1, 2, -1}, {1, 2, 1});
    EXPECT_NEAR(skew.getFactor(), 3.0f, 1e-5f);
    expectNear(skew.deform({0, 1, 0}), {3, 1, 0});
}

TEST(Modifier, SpherifyPutsVerticesOnTheSphereAndMovesTheCentreAsIfAtOneOneOne)
{
    S3DModifierSpherify s;
    s.percent() = 100.0f;
    setBounds(s, {-1, -1, -1}, {1, 1, 1});  // centre 0, R = 1
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
    setBounds(stretch, {-1, -1, -1}, {1, 1, 1});
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
