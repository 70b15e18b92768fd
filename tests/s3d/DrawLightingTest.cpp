// Light values on tool-made scenes, worked by hand: the flat kind's index from three light values,
// each corner's own vertex, omni, spot and directional values with their floor, a spot behind a
// face, oblique directional and spot axes, and a spot's cone between hotspot and falloff, also
// when its tracks animate it.
#include <cstring>
#include <memory>
#include <string>

#include "S3DTestSupport.h"

namespace {

TEST(S3DDraw, FlatKindTakesThreeLightValuesTimes84_9915)
{
    // An omni light of intensity 0.5 well inside its near distance: every light value is 0.5;
    // 1.5 × 84.9915 = 127.49 gives index 127, n = 128: 255 cos(π/4) = 180.3 → 0xB4. The smooth
    // kind beside it takes 0.5 × 255 = 127.5 at every corner: index 127 too.
    ScratchDir dir;
    const char* const lit = "   lights { light \"l\" }\n";
    auto s = sceneFromText(dir, sceneWithObjects(quad("flat", -20, 20, -20, 20, 0, 0, lit) + quad("smooth", 30, 50, -20, 20, 0, 1, lit),
                                      subMaterial("opacityKind 100") + subMaterial(""),
                                      " lights { light { header { name \"l\" node { values { position 0 0 -50 } } }"
                                      " values { intensity 0.5 nearAttenuation 1000 farAttenuation 2000 } } }\n"));
    SceneFrame f;
    f.render(*s);
    EXPECT_EQ(f.at(256, 128), 0xB4B4B4u);
    EXPECT_EQ(f.at(358, 128), 0xB4B4B4u);
    // A directional light along +x from x = -200 (near 150, far 350) gives the corners of a
    // flat triangle at x = -40, 40, 0 the values 0.95, 0.55, 0.75: 2.25 × 84.9915 = 191.2,
    // index 191, n = 64: 255 cos(π/8) = 235.6 → 0xEB.
    auto t = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"tri\" } material 0 lights { light \"sun\" }\n"
                                      "   vertices { positions [ -40 -20 0  40 -20 0  0 30 0 ] } faceData { faces [ 0 1 2 ] } }\n",
                                      subMaterial("opacityKind 100"),
                                      " lights { light { header { name \"sun\" node { values { position -200 0 0 } } }"
                                      " target { name \"sun.t\" node { values { position 0 0 0 } } }"
                                      " values { type 3 nearAttenuation 150 farAttenuation 350 } } }\n"));
    SceneFrame g;
    g.render(*t);
    EXPECT_EQ(g.at(256, 128), 0xEBEBEBu);
}

TEST(S3DDraw, CornersTakeTheLightValuesOfTheirOwnVertices)
{
    // The directional light of the flat test on a smooth triangle (values 0.95, 0.55, 0.75 at
    // x = -40, 40, 0). The same triangle drawn from vertices 3 4 5 of a mesh whose first three
    // vertices are unused and mirrored in x (values 0.55, 0.95, 0.75) gives the same frame: each
    // corner reads its own vertex, not the vertex of its place in the face.
    ScratchDir dir;
    const auto frameOf = [&](const char* positions, const char* face) {
        auto s = sceneFromText(dir, sceneWithObjects(std::string("  triObject { header { name \"tri\" } material 0 lights { light \"sun\" }\n"
                                                      "   vertices { positions [ ") + positions + " ] } faceData { faces [ " + face + " ] } }\n",
                                          subMaterial(""),
                                          " lights { light { header { name \"sun\" node { values { position -200 0 0 } } }"
                                          " target { name \"sun.t\" node { values { position 0 0 0 } } }"
                                          " values { type 3 nearAttenuation 150 farAttenuation 350 } } }\n"));
        auto f = std::make_unique<SceneFrame>();
        f->render(*s);
        return f;
    };
    const auto alone = frameOf("-40 -20 0  40 -20 0  0 30 0", "0 1 2");
    const auto after = frameOf("40 -20 0  -40 -20 0  0 31 0  -40 -20 0  40 -20 0  0 30 0", "3 4 5");
    // Lit on the left more than on the right.
    EXPECT_GT(alone->at(180, 170) & 0xFF, alone->at(330, 170) & 0xFF);
    EXPECT_EQ(0, std::memcmp(alone->image.m_pPixels, after->image.m_pPixels, 512 * 256 * 4));
}

TEST(S3DDraw, SpotAndDirectionalLightValuesWithTheirFloor)
{
    // Object space: the objects sit at (0, 0, 20), so the spot at world (0, 0, -80) aiming at
    // (0, 0, 20) is at (0, 0, -100) aiming at the origin. Vertex normals (B - A) x (C - A) are
    // +z, along the light (N·L > 0 lights). Near 50, far 250, hotspot 0.2, falloff 0.6,
    // intensity 0.8:
    //   (0, 0, 0): d 100, factor 0.75, on the axis: 0.6;
    //   (100 tan 0.3, 0, 0): α 0.3, d 104.6752, factor 0.7266242, N·L cos 0.3 = 0.9553365,
    //     cone 1 - 0.1/0.4 = 0.75: 0.4165024;
    //   (0, 100 tan 0.7, 0): α 0.7 beyond the falloff: 0.
    // Alone the spot writes these as they are; with a second light (an omni of intensity 0)
    // the sum is held to 0.001 .. 1.
    // The directional light at world (-100, 0, 20) aiming at (0, 0, 20) measures depth along
    // +x from -100 in object space: t = x + 100. Near 80, far 280: x = 0 → 0.9, x = 150 → 0.15,
    // x = 200 (t = 300, beyond far) → 0 held to 0.001.
    ScratchDir dir;
    const std::string spotMesh = " vertices { positions [ 0 0 0  30.933625 0 0  0 84.228838 0 ] } faceData { faces [ 0 1 2 ] }";
    const auto object = [](const char* name, const std::string& mesh, const char* lights) {
        return std::string("  triObject { header { name \"") + name + "\" node { values { position 0 0 20 } } } material 0" +
               mesh + " lights { " + lights + " } }\n";
    };
    auto s = sceneFromText(
        dir, sceneWithObjects(object("spot", spotMesh, "light \"spot\"") + object("both", spotMesh, "light \"spot\" light \"dim\"") +
                       object("sun", " vertices { positions [ 0 0 0  150 0 0  200 10 0 ] } faceData { faces [ 0 1 2 ] }",
                              "light \"sun\""),
                   subMaterial(""),
                   " lights {\n"
                   "  light { header { name \"spot\" node { values { position 0 0 -80 } } }"
                   "   target { name \"spot.t\" node { values { position 0 0 20 } } }"
                   "   values { type 2 intensity 0.8 nearAttenuation 50 farAttenuation 250 hotspot 0.2 falloff 0.6 } }\n"
                   "  light { header { name \"dim\" } values { intensity 0 } }\n"
                   "  light { header { name \"sun\" node { values { position -100 0 20 } } }"
                   "   target { name \"sun.t\" node { values { position 0 0 20 } } }"
                   "   values { type 3 nearAttenuation 80 farAttenuation 280 } }\n }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const float* spot = s->findTriObject("spot")->lightValues();
    EXPECT_NEAR(spot[0], 0.6f, 1e-5f);
    EXPECT_NEAR(spot[1], 0.4165024f, 1e-5f);
    EXPECT_EQ(spot[2], 0.0f);
    const float* both = s->findTriObject("both")->lightValues();
    EXPECT_NEAR(both[0], 0.6f, 1e-5f);
    EXPECT_NEAR(both[1], 0.4165024f, 1e-5f);
    EXPECT_FLOAT_EQ(both[2], 0.001f);
    const float* sun = s->findTriObject("sun")->lightValues();
    EXPECT_NEAR(sun[0], 0.9f, 1e-5f);
    EXPECT_NEAR(sun[1], 0.15f, 1e-5f);
    EXPECT_FLOAT_EQ(sun[2], 0.001f);
}

TEST(S3DDrawDetails, SpotBehindAFaceGivesNothing)
{
    // The spot of the light-value test (object space (0, 0, -100) aiming at the
    // origin, near 50, far 250, intensity 0.8) on a face wound the other way: its
    // normal is -z, N·L = -1 < 0 at the vertex on the axis, which takes 0 instead
    // of 0.6.
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"back\" node { values { position 0 0 "
                                                 "20 } } } material 0"
                                                 " vertices { positions [ 0 0 0  30.933625 0 0  0 84.228838 0 ] } "
                                                 "faceData { faces [ 0 2 1 ] }"
                                                 " lights { light \"spot\" } }\n",
                                                 subMaterial(""),
                                                 " lights { light { header { name \"spot\" node { values { position "
                                                 "0 0 -80 } } }"
                                                 " target { name \"spot.t\" node { values { position 0 0 20 } } }"
                                                 " values { type 2 intensity 0.8 nearAttenuation 50 farAttenuation "
                                                 "250 hotspot 0.2 falloff 0.6 } } }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const float* light = s->findTriObject("back")->lightValues();
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light[0], 0.0f);
    EXPECT_EQ(light[1], 0.0f);
}

TEST(S3DDrawSceneCorners, DirectionalLightMeasuresAlongAnObliqueAxis)
{
    // The object at (0, 0, 20); the light at world (-100, -100, 20) aiming at (0, 0, 20), so in
    // object space from (-100, -100, 0) along (1, 1, 0) / √2: t = (x + 100 + y + 100) / √2.
    // Near 80, far 280, intensity 0.5: (0, 0): t 141.42136, (1 - 61.42136 / 200) / 2 = 0.3464466;
    // (100, 0): t 212.13203, 0.1696699; (0, 50): t 176.77670, 0.2580583.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, sceneWithObjects("  triObject { header { name \"o\" node { values { position 0 0 20 } } } material 0"
                   " vertices { positions [ 0 0 0  100 0 0  0 50 0 ] } faceData { faces [ 0 1 2 ] } lights { light \"sun\" } }\n",
                   subMaterial(""),
                   " lights {\n"
                   "  light { header { name \"sun\" node { values { position -100 -100 20 } } }"
                   "   target { name \"sun.t\" node { values { position 0 0 20 } } }"
                   "   values { type 3 intensity 0.5 nearAttenuation 80 farAttenuation 280 } }\n }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const float* light = s->findTriObject("o")->lightValues();
    EXPECT_NEAR(light[0], 0.3464466f, 1e-5f);
    EXPECT_NEAR(light[1], 0.1696699f, 1e-5f);
    EXPECT_NEAR(light[2], 0.2580583f, 1e-5f);
}

TEST(S3DDrawSceneCorners, SpotLightAimedOffItsAxis)
{
    // Objects at (0, 0, 20), normals +z; in object space the spots stand at (0, 0, -100), near 50,
    // far 250, hotspot 0.2, falloff 0.6. "off" is lit by a spot aiming at (0, 50, 0), direction
    // (0, 0.4472, 0.8944):
    //   (0, 0, 0): d 100, factor 0.75, N·L 1, α 0.4636476, cone 1 - 0.2636476 / 0.4: 0.2556607;
    //   (20, 50, 0): d 113.57817, factor 0.6821092, N·L 0.8804509, α 0.1770131 inside: 0.6005636;
    //   (-20, 0, 0): d 101.98039, factor 0.7400980, N·L 0.9805807, α 0.5010930: 0.1794484.
    // "axis" has a vertex at the target (0, 1, 0) of a spot aiming there: on the axis (the cosine,
    // a rounding above 1, counts as 1): factor 1 - 50.005 / 200, N·L 0.99995: 0.7499375.
    ScratchDir dir;
    const auto object = [](const char* name, const char* positions, const char* light) {
        return std::string("  triObject { header { name \"") + name + "\" node { values { position 0 0 20 } } } material 0"
               " vertices { positions [ " + positions + " ] } faceData { faces [ 0 1 2 ] } lights { light \"" + light + "\" } }\n";
    };
    const auto spot = [](const char* name, const char* target) {
        return std::string("  light { header { name \"") + name + "\" node { values { position 0 0 -80 } } }"
               " target { name \"" + name + ".t\" node { values { position " + target + " } } }"
               " values { type 2 nearAttenuation 50 farAttenuation 250 hotspot 0.2 falloff 0.6 } }\n";
    };
    auto s = sceneFromText(dir, sceneWithObjects(object("off", "0 0 0  20 50 0  -20 0 0", "off") + object("axis", "0 1 0  10 1 0  0 11 0", "axis"),
                                      subMaterial(""), " lights {\n" + spot("off", "0 50 20") + spot("axis", "0 1 20") + " }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const float* off = s->findTriObject("off")->lightValues();
    EXPECT_NEAR(off[0], 0.2556607f, 1e-5f);
    EXPECT_NEAR(off[1], 0.6005636f, 1e-5f);
    EXPECT_NEAR(off[2], 0.1794484f, 1e-5f);
    EXPECT_NEAR(s->findTriObject("axis")->lightValues()[0], 0.7499375f, 1e-5f);
}

TEST(S3DMoreCases, SpotFadesFromItsHotspotToItsFalloff)
{
    // A spot at (0, 0, -100) aiming at the origin, hotspot 0.1, falloff 0.5, intensity 1, the
    // vertices well inside its near distance. The vertex (100 tan 0.3, 0, 0) is 0.3 off the axis,
    // past half the falloff: N·L = cos 0.3 = 0.9553365, cone 1 - (0.3 - 0.1) / (0.5 - 0.1) = 0.5,
    // so 0.4776682. The vertex on the axis takes 1.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, sceneWithBody(" triObjects { triObject { header { name \"o\" } material 0\n"
                   "  vertices { positions [ 0 0 0  30.933625 0 0  0 10 0 ] } faceData { faces [ 0 1 2 ] }"
                   " lights { light \"spot\" } } }\n"
                   " lights { light { header { name \"spot\" node { values { position 0 0 -100 } } }"
                   " target { name \"spot.t\" node { values { position 0 0 0 } } }"
                   " values { type 2 intensity 1 nearAttenuation 1000 farAttenuation 2000 hotspot 0.1 falloff 0.5 } } }\n",
                   subMaterial("")));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_NEAR(o.lightValues()[0], 1.0f, 1e-5f);
    EXPECT_NEAR(o.lightValues()[1], 0.4776682f, 1e-5f);
}

TEST(S3DSceneCases, SpotConeFollowsItsHotspotAndFalloffTracks)
{
    // The file's hotspot 0.05 and falloff 0.35 give way to their tracks, 0.1 .. 0.3 and
    // 0.4 .. 0.8 over 10 frames: 0.2 and 0.6 at frame 5. The object at (0, 0, 20) puts the spot
    // at (0, 0, -100) aiming at the origin in object space; near 50, far 250, intensity 0.8.
    // The vertex (100 tan 0.3, 0, 0) is 0.3 off the axis at d = 100 / cos 0.3 = 104.67516:
    // factor 1 - 54.67516 / 200 = 0.7266242, N·L = cos 0.3 = 0.9553365, cone
    // 1 - (0.3 - 0.2) / (0.6 - 0.2) = 0.75: 0.7266242 × 0.9553365 × 0.75 × 0.8 = 0.4165022.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, sceneWithObjects("  triObject { header { name \"o\" node { values { position 0 0 20 } } } material 0\n"
                   "   vertices { positions [ 0 0 0  30.933625 0 0  0 10 0 ] } faceData { faces [ 0 1 2 ] }"
                   " lights { light \"spot\" } }\n",
                   subMaterial(""),
                   " lights { light { header { name \"spot\" node { values { position 0 0 -80 } } }"
                   " target { name \"spot.t\" node { values { position 0 0 20 } } }"
                   " values { type 2 intensity 0.8 nearAttenuation 50 farAttenuation 250 hotspot 0.05 falloff 0.35 }"
                   " tracks { hotspot linear { key 0 0.1  key 10 0.3 } falloff linear { key 0 0.4  key 10 0.8 } } } }\n"));
    s->setCamera(0);
    s->update(5);
    s->prepare();
    EXPECT_NEAR(s->findTriObject("o")->lightValues()[1], 0.4165022f, 1e-5f);
}

} // namespace
