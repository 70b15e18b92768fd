// The modifiers' frames and the kinds the first modifier tests leave out: a gizmo with every
// part set (centre, gizmo matrix, offset, scale, rotation, position), the world-space frame,
// the X and Z axes, the direction turn of bend and skew, melt, the world-space ripple, the noise
// phase, the wave's two amplitudes and stretch's negative branch; twist, taper and bend with
// points off their axis, and a world-space binding's inverted weights. Expected points are worked
// through the formulas by hand in the comments.
#include <gtest/gtest.h>

#include <cmath>

#include "S3DTestSupport.h"
#include "foundation/PerlinNoise.h"
#include "foundation/Random.h"
#include "s3d/S3DModifierKinds.h"
#include "support/PointExpect.h"

namespace {

constexpr float kHalfPi = 1.5707964f;

TEST(ModifierFrame, GizmoTakesCentreThenMatrixThenOffsetScaleRotationPosition)
{
    // A skew along y (k = amount / extent) whose gizmo has every part set, from a file:
    //   centre c = (1, 2, 3) (the node's pivot); gizmoTM turns (x, y, z) into (-y, x, z) and adds
    //   (10, 0, 0); offset o = (1, 2, 4), from its track; scale s = (2, 4, 8); rotation a quarter
    //   turn about x, whose toMatrix turns (a, b, c) into (a, -c, b); position P = (5, 6, 7).
    // g = ((((p + c)·TM - o) / s)·R) - P:
    //   p + c = (x + 1, y + 2, z + 3); ·TM = (8 - y, x + 1, z + 3); - o = (7 - y, x - 1, z - 1);
    //   / s = ((7 - y)/2, (x - 1)/4, (z - 1)/8); ·R = ((7 - y)/2, -(z - 1)/8, (x - 1)/4);
    //   - P: g = (-(y + 3)/2, -(z + 47)/8, (x - 29)/4).
    // The extent along y is that of (x + 1) over the vertices, 4, so amount 4 gives k = 1, and
    // the skew adds gy along gizmo x, which is (0, -2, 0) back in object space (×s, turned back):
    //   p' = p + (0, -2 gy, 0) = (x, y + (z + 47)/4, z).
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene { triObjects { triObject {\n"
                                    " header { name \"o\" node { values { pivot 1 2 3 } } }\n"
                                    " vertices { positions [ 0 0 0  4 2 1 ] }\n"
                                    " modifiers { modifier 9 {\n"
                                    "  gizmo { values { tm 0 1 0  -1 0 0  0 0 1  10 0 0  position 5 6 7"
                                    "   scale 2 4 8  rotation 1.5707964 1 0 0 }\n"
                                    "   tracks { offset linear { key 0 1 2 4  key 10 1 2 4 } } }\n"
                                    "  parameters { axis 1 amount 4 } } }\n"
                                    " stack { entry { modifier \"0\" } } } } }\n");
    S3DTriObject& o = *scene->findTriObject("o");
    o.update(0);
    o.m_modifierStack.applyObjectSpace(o);
    const S3DModifier& skew = *o.m_modifiers[0];
    expectNear(skew.m_toGizmo.transform({0, 0, 0}), {-1.5f, -5.875f, -7.25f});
    expectNear(skew.m_toGizmo.transform({4, 2, 1}), {-2.5f, -6.0f, -6.25f});
    expectNear(o.m_vertices[0], {0, 11.75f, 0});
    expectNear(o.m_vertices[1], {4, 14, 1});
}

TEST(ModifierFrame, WorldSpaceGizmoGoesBackToWorldThenIntoTheNodeFrame)
{
    // View = translation(-3, 0, 0) · rotationY(π/2): world (x, y, z) is seen at (z, y, 3 - x), so
    // camera (a, b, c) is world (3 - c, b, a). F = scaling(2, 4, 8) · toTransposedMatrix(q) ·
    // translation(1, 2, 3) with q a quarter turn about x; its inverse takes world w to
    // ((w - (1, 2, 3)) · toMatrix(q)) / s, toMatrix turning (a, b, c) into (a, -c, b):
    //   camera (a, b, c) → (3 - c, b, a) → (2 - c, b - 2, a - 3) → (2 - c, 3 - a, b - 2)
    //   → ((2 - c)/2, (3 - a)/4, (b - 2)/8).
    S3DModifierSkew skew;
    skew.m_option[0] = 1;
    skew.m_worldSpace = true;
    skew.m_gizmoOffset = {1, 2, 3};
    skew.m_gizmoScale = {2, 4, 8};
    skew.m_gizmoRotation = Quaternion::fromAngleAxis(1, 0, 0, kHalfPi);
    Matrix view = Matrix::translation(-3, 0, 0);
    view.rotateY(kHalfPi);
    skew.setOwnerMatrix(view);
    skew.prepare();
    expectNear(skew.m_toGizmo.transform({1, 2, 4}), {-1, 0.5f, 0});
    expectNear(skew.m_toGizmo.transform({5, 10, 0}), {1, -0.5f, 1});
}

TEST(ModifierFrame, XAndZAxesTurnOntoGizmoY)
{
    // Axis 0 appends rotationZ(π/2): (x, y, z) → (-y, x, z); axis 2 rotationX(-π/2):
    // (x, y, z) → (x, z, -y). A quarter-turn bend over an extent of 10 (R = 20/π) takes the
    // top of the axis, g = (0, 10, 0), to (R, R, 0), which goes back to (R, -R, 0) for X and
    // (R, 0, R) for Z.
    const float r = 20.0f / 3.14159265f;
    S3DModifierBend bend;
    bend.angle() = kHalfPi;
    bend.m_option[0] = 0;
    prepareWithBounds(bend, {0, -1, -1}, {10, 1, 1});
    expectNear(bend.deform({10, 0, 0}), {r, -r, 0});
    bend.m_option[0] = 2;
    prepareWithBounds(bend, {-1, -1, 0}, {1, 1, 10});
    expectNear(bend.deform({0, 0, 10}), {r, 0, r});

    // A taper along X (effect 0 scales gx = -y): t = x/10, f = 1 + t.
    S3DModifierTaper taper;
    taper.m_option[0] = 0;
    taper.amount() = 1.0f;
    prepareWithBounds(taper, {0, -1, -1}, {10, 1, 1});
    expectNear(taper.deform({10, 1, 0}), {10, 2, 0});
    expectNear(taper.deform({5, 1, 3}), {5, 1.5f, 3});

    // Skews along X and Z with k = 1 move gx by gy: back in object space y by -x, x by z.
    S3DModifierSkew skew;
    skew.amount() = 4.0f;
    skew.m_option[0] = 0;
    prepareWithBounds(skew, {0, -1, -1}, {4, 1, 1});
    expectNear(skew.deform({2, 0, 0}), {2, -2, 0});
    skew.m_option[0] = 2;
    prepareWithBounds(skew, {-1, -1, 0}, {1, 1, 4});
    expectNear(skew.deform({0, 0, 2}), {2, 0, 2});
}

TEST(ModifierFrame, BendAndSkewTurnByMinusTheirDirection)
{
    // Direction π/2 appends rotationY(-π/2): (x, y, z) → (-z, y, x). The bend's (R, R, 0) goes
    // back to (0, R, -R): the object bends towards -z. The skew's (2, 2, 0) to (0, 2, -2).
    const float r = 20.0f / 3.14159265f;
    S3DModifierBend bend;
    bend.angle() = kHalfPi;
    bend.direction() = kHalfPi;
    prepareWithBounds(bend, {-1, 0, -1}, {1, 10, 1});
    expectNear(bend.deform({0, 10, 0}), {0, r, -r});
    S3DModifierSkew skew;
    skew.m_option[0] = 1;
    skew.amount() = 4.0f;
    skew.direction() = kHalfPi;
    prepareWithBounds(skew, {-1, 0, -1}, {1, 4, 1});
    expectNear(skew.deform({0, 2, 0}), {0, 2, -2});
}

TEST(ModifierFrame, MeltSinksTowardsItsFloorAndSpreads)
{
    // Axis Z (the default): g = (x, z, -y). Box z 0 .. 10, amount 50 %, spread 100 %, solidity 2:
    // h = gy - floor sinks by half; r = 1 + 1 × (sunk / 10) / 2.
    S3DModifierMelt melt;
    melt.amount() = 50.0f;
    melt.spread() = 100.0f;
    melt.solidity() = 2.0f;
    prepareWithBounds(melt, {-5, -5, 0}, {5, 5, 10});
    expectNear(melt.deform({2, 0, 10}), {2.5f, 0, 5});   // h 10, sunk 5, r 1.25
    expectNear(melt.deform({0, 2, 6}), {0, 2.3f, 3});    // h 6, sunk 3, r 1.15
    expectNear(melt.deform({2, 4, 0}), {2, 4, 0});       // on the floor
    // From the top: the floor is z = 10 and heights count downwards; h 4 sinks by 2, r 1.1.
    melt.m_option[1] = 1;
    melt.prepare();
    expectNear(melt.deform({0, 2, 6}), {0, 2.2f, 8});
}

TEST(ModifierFrame, WorldSpaceRipplePushesFromTheCentroidWithItsJitter)
{
    // Two points about their centroid (1, 0, 0), both at ρ = 2; amplitude 1, wave length 8,
    // decay 0.5: s = e^-1 × sin(2π × 2/8) = e^-1, pushed outwards along the line from the
    // centroid. Then each coordinate gets (rand() mod 10000) × 0.0002 in turn.
    S3DModifierRipple ripple;
    prepareTwoPointRipple(ripple);
    RippleJitter jitter{77};
    const float s = std::exp(-1.0f);
    Point3D want[2] = {{-1 - s, 0, 0}, {3 + s, 0, 0}};
    for (Point3D& w : want) w += Point3D{jitter(), jitter(), jitter()};
    const Point3D in[2] = {{-1, 0, 0}, {3, 0, 0}};
    Point3D out[2];
    tlSrand(77);
    ripple.apply(in, out, 2, nullptr, false);
    expectNear(out[0], want[0]);
    expectNear(out[1], want[1]);
}

TEST(ModifierFrame, NoisePhaseMovesTheNoiseOnlyWhenItsFlagIsSet)
{
    // c = permutation(seed) + phaseFactor × phase × 0.2 with the flag, else the permutation alone.
    S3DModifierNoise noise;
    noise.m_option[0] = 3;
    noise.m_value[0] = 2.0f;  // phase factor
    noise.m_value[1] = 0.7f;  // the record's other float, not part of the phase
    noise.scale() = 10.0f;
    noise.phase() = 5.0f;
    noise.strengthX() = 1.0f;
    noise.strengthY() = 2.0f;
    noise.strengthZ() = 3.0f;
    const PerlinNoise reference;
    const Point3D p{4, 6, 8}, s = p * 0.1f;
    const auto expected = [&](float c) {
        return Point3D{4 + reference.noise3(s.z + 0.5f, s.y + 0.5f, c), 6 + 2 * reference.noise3(s.x + 0.5f, s.z + 0.5f, c),
                       8 + 3 * reference.noise3(s.x + 0.5f, s.y + 0.5f, c)};
    };
    const float base = float(reference.permutation(3));
    noise.prepare();
    expectNear(noise.deform(p), expected(base), 1e-5f);
    noise.m_option[2] = 1;
    noise.prepare();
    const Point3D moved = noise.deform(p);
    expectNear(moved, expected(base + 2.0f * 5.0f * 0.19999999f), 1e-5f);
    EXPECT_GT((moved - expected(base)).length(), 1e-3f);
}

TEST(ModifierFrame, NoiseOctavesDoubleTheirFrequency)
{
    // Two octaves with roughness 0.5: Σ weight_i × noise3(2^i x, 2^i y, c) over a fractal noise
    // made with the same arguments (its own tables and weights).
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene { triObjects { triObject { header { name \"n\" } vertices { positions [ 0 0 0 ] }\n"
                                    " modifiers { modifier 5 { parameters { seed 3 octaves 2 roughness 0.5 scale 10"
                                    " strength 1 2 3 } parameterTracks { strength linear { key 0 7  key 10 7 } } } } } } }\n");
    auto& noise = static_cast<S3DModifierNoise&>(*scene->findTriObject("n")->m_modifiers[0]);
    noise.prepare();
    const FractalNoise reference(0.5, 2.0, 2.0);
    const float c = float(reference.perlin().permutation(3));
    const auto sum = [&](float x, float y) {
        return float(reference.weight(0)) * reference.perlin().noise3(x, y, c) +
               float(reference.weight(1)) * reference.perlin().noise3(2 * x, 2 * y, c);
    };
    const Point3D p{4, 6, 8}, s = p * 0.1f;
    expectNear(noise.deform(p), {4 + sum(s.z + 0.5f, s.y + 0.5f), 6 + 2 * sum(s.x + 0.5f, s.z + 0.5f),
                                 8 + 3 * sum(s.x + 0.5f, s.y + 0.5f)},
               1e-5f);
    // The strength track drives all three components.
    noise.update(0);
    EXPECT_EQ(Point3D(noise.m_value[4], noise.m_value[5], noise.m_value[6]), Point3D(7, 7, 7));
}

TEST(ModifierFrame, WaveBlendsItsTwoAmplitudes)
{
    // Circular: at 60° from gizmo x, t = 1/3, u = 2/3 → 20/27, so a = 7/27 a1 + 20/27 a2 = 21 for
    // (1, 28); along x a = a1, along z a = a2. ρ = 2.5 and L = 10 put sin at its peak.
    S3DModifierWave wave;
    wave.amplitude1() = 1.0f;
    wave.amplitude2() = 28.0f;
    wave.waveLength() = 10.0f;
    wave.prepare();
    expectNear(wave.deform({1.25f, 0, 2.1650635f}), {1.25f, 21, 2.1650635f}, 1e-3f);
    expectNear(wave.deform({2.5f, 0, 0}), {2.5f, 1, 0});
    expectNear(wave.deform({0, 0, 2.5f}), {0, 28, 2.5f});
    // Decay 0.4 over ρ = 2.5 weighs by e^-1.
    wave.decay() = 0.4f;
    expectNear(wave.deform({0, 0, 2.5f}), {0, 28 * std::exp(-1.0f), 2.5f});
    // Linear: A = (gx / L)² = 0.25 gives a = 0.75 a1 + 0.25 a2 = 7.75 at gz = 2.5; the decay
    // takes |gz|, so behind the axis too: at gz = -2.5, -1 × e^-1 (sin at its trough).
    wave.m_option[0] = 1;
    expectNear(wave.deform({0, 0, -2.5f}), {0, -std::exp(-1.0f), -2.5f});
    wave.decay() = 0.0f;
    expectNear(wave.deform({5, 1, 2.5f}), {5, 8.75f, 2.5f});
}

TEST(ModifierFrame, StretchBelowZeroSquashes)
{
    // stretch -1, amplify 1: r = 1 - (-1)(1) = 2, s = -1/(-1 - 1) = 0.5; over y -1 .. 1 the middle
    // (t = 0.5) widens by f = 1 - 4(1 - 2)/4 = 2 and heights halve.
    S3DModifierStretch stretch;
    stretch.m_option[0] = 1;
    stretch.stretch() = -1.0f;
    stretch.amplify() = 1.0f;
    prepareWithBounds(stretch, {-1, -1, -1}, {1, 1, 1});
    expectNear(stretch.deform({1, 0, 1}), {2, 0, 2});
    expectNear(stretch.deform({1, 1, 0}), {1, 0.5f, 0});
}

} // namespace

namespace {

TEST(S3DDrawDetails, TwistTurnsAPointOffItsAxis)
{
    // Axis y over an extent of 10, angle π/2: θ = gy π/20. gx' = gz sin θ + gx
    // cos θ, gz' = gz cos θ - gx sin θ: (0, 10, 1) at θ = π/2 → (1, 10, 0); (1,
    // 5, 1) at θ = π/4 → (√2, 5, 0); (1, 5, -1) → (0, 5, -√2).
    S3DModifierTwist twist;
    twist.m_option[0] = 1;
    twist.angle() = 1.5707964f;
    twist.m_boundsMin = {-1, 0, -1};
    twist.m_boundsMax = {1, 10, 1};
    twist.prepare();
    expectNear(twist.deform({0, 10, 1}), {1, 10, 0});
    expectNear(twist.deform({1, 5, 1}), {1.4142135f, 5, 0});
    expectNear(twist.deform({1, 5, -1}), {0, 5, -1.4142135f});
}

TEST(S3DSceneCases, TaperCurveWeighsTheMiddleOfTheAxis)
{
    // Taper along y over the box y 0 .. 10 (extent 10), both x and z, amount 1, curve 2:
    // t = y / 10, f = 1 + t (1 + 2 (1 - t)).
    //   (1, 2.5, 1): t 0.25, f = 1 + 0.25 × 2.5 = 1.625;
    //   (2, 7.5, 0): t 0.75, f = 1 + 0.75 × 1.5 = 2.125; x = 4.25;
    //   (1, 0, 1): t 0, unchanged.
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 1 0 1  1 2.5 1  2 7.5 0  0 10 0 ] }\n"
                                      "   modifiers { modifier 8 { parameters { axis 1 effect 1 amount 1 curve 2 } } }"
                                      " stack { entry { modifier \"0\" } } }\n",
                                      subMaterial("")));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    expectNear(o.m_vertices[0], {1, 0, 1});
    expectNear(o.m_vertices[1], {1.625f, 2.5f, 1.625f});
    expectNear(o.m_vertices[2], {4.25f, 7.5f, 0});
}

TEST(S3DMoreCases, BendKeepsEachPointsDistanceFromTheArcsCentre)
{
    // A quarter-turn bend along y over an extent of 10: R = 10 / (π/2) = 6.3661977, the arc's
    // centre at (R, 0, 0). A point at x lies at R - x from it and turns by y / R:
    //   (2, 10, 0): a quarter turn at radius 4.3661977 → (R, 4.3661977, 0);
    //   (2, 0, 0): no turn → unchanged;
    //   (-2, 5, 1): an eighth turn at radius 8.3661977 → (R - 8.3661977 cos π/4, 8.3661977 sin π/4, 1)
    //     = (0.4504026, 5.9157951, 1).
    S3DModifierBend bend;
    bend.angle() = 1.5707964f;
    bend.m_boundsMin = {-3, 0, -1};
    bend.m_boundsMax = {3, 10, 1};
    bend.prepare();
    expectNear(bend.deform({2, 10, 0}), {6.3661977f, 4.3661977f, 0});
    expectNear(bend.deform({2, 0, 0}), {2, 0, 0});
    expectNear(bend.deform({-2, 5, 1}), {0.4504026f, 5.9157951f, 1});
}

TEST(S3DDraw, WorldSpaceBindingBlendsByItsInvertedWeights)
{
    // The camera at the origin looks along +z: camera space is world space. A world-space skew
    // along y (k = 2 / 2 over the points' extent) moves x by y; inverted weights 0.25 and 1 give
    // 0.75 and 0.
    ScratchDir dir;
    auto s = sceneFromText(dir, "scene {\n triObjects { triObject { header { name \"o\" } material 0\n"
                                "  vertices { positions [ 0 1 50  0 -1 50 ] softSelection [ 0.25 1 ] }\n"
                                "  wsBindings { binding { name \"w\" softSelection { useChannel 1 invert 1 channel \"softSelection\" } } } } }\n"
                                " wsModifiers { wsModifier { header { name \"w\" } modifier 9 { parameters { axis 1 amount 2 } } } }\n"
                                " cameras { camera { header { name \"c\" } target { name \"t\" node { values { position 0 0 100 } } } } }\n"
                                " materials { material { name \"m\" subMaterials { subMaterial { } } } }\n}\n");
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_NEAR(o.m_cameraVertices[0].x, 0.75f, 1e-5f);
    EXPECT_NEAR(o.m_cameraVertices[1].x, 0.0f, 1e-5f);
}

} // namespace
