// Paths the other 3D tests leave open: the clipper's top and bottom planes,
// twist with a point off its axis, an inverted soft selection under a skin, the
// perspective span cut at the left edge, the second value's own step, the flat
// textured kind's coordinates, a spot behind a face, the generator's second
// value, a paired quad drawn from behind and the line colour's specular term.
// Expected values are worked by hand in the comments.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "raster/PolyFiller.h"
#include "s3d/S3DClipper.h"
#include "s3d/S3DModifierKinds.h"
#include "support/PointExpect.h"

namespace {

// A tool-made scene with the camera above: at z = 0 a world point (x, y) lands
// on the screen at (256 + 2.56 x, 128 - 2.56 y).
std::string scene(const std::string &objects, const std::string &subMaterials,
                  const std::string &extra = "") {
  return std::string("scene {\n animationLength 10\n triObjects {\n") +
         objects + " }\n" + kCamera +
         " materials { material { name \"m\" subMaterials {\n" + subMaterials +
         " } } }\n" + extra + "}\n";
}

std::string sub(const std::string &values) {
  return std::string("  subMaterial { shading { values { paletteEnabled 1 ") +
         values + " } } }\n";
}

// The square x 30 .. 70, y -30 .. 30 at z = 0 (screen x 332.8 .. 435.2, y 51.2
// .. 204.8), its corners bottom-left, bottom-right, top-right, top-left with
// texture (0 0) (1 0) (1 1) (0 1).
std::string square(const char *name, const char *faces,
                   const std::string &more = "") {
  return std::string("  triObject { header { name \"") + name +
         "\" } material 0" + more +
         " vertices { positions [ 30 -30 0  70 -30 0  70 30 0  30 30 0 ] "
         "textureVertices [ 0 0  1 0  1 1  0 1 ] }"
         " faceData { faces [ " +
         faces + " ] textureFaces [ " + faces + " ] } }\n";
}

// A 2 x 2 texture: top row red green, bottom row blue white (a TGA holds its
// bottom row first).
void writeTexture(const ScratchDir &dir) {
  dir.write("t.tga",
            std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) +
                std::string("\xff\0\0\xff\xff\xff\0\0\xff\0\xff\0", 12));
}

using Frame = SceneFrame;

TEST(S3DDrawDetails, ClipperCutsAtTheTopAndBottomPlanes) {
  // Default camera: 512 x 256, scales 256, centre (256, 128); the top and
  // bottom planes lie at atan(128 / 256) less 0.0001 rad, so at depth 100 they
  // cut at y = ±100 tan(atan 0.5 - 0.0001) = ±49.9875 (screen rows 0 and 256).
  // A triangle (-10, 0) (-10, ±100) (30, 0) at depth 100 is cut there on its
  // two edges through the outside corner: at t = 0.499875 from (-10, 0)
  // (value 49.99, x -10) and from (30, 0) towards (-10, ±100) (value 150.01,
  // x 10.005).
  S3DCamera camera;
  S3DClipper clipper;
  clipper.setup(camera);
  for (float side : {1.0f, -1.0f}) {
    S3DClipVertex in[3];
    in[0].p = {-10, 0, 100};
    in[1].p = {-10, 100 * side, 100};
    in[2].p = {30, 0, 100};
    for (int i = 0; i < 3; ++i)
      in[i].values.light = float(100 * i);
    RasterVertex out[S3DClipper::kMaxWork];
    const int n = clipper.clip(in, 3, out);
    ASSERT_EQ(n, 4) << side;
    const float row = side > 0 ? 0.0f : 256.0f;
    int cuts = 0;
    for (int i = 0; i < n; ++i) {
      const float v = out[i].values.light;
      if (std::fabs(v - 50.0f) < 0.2f) {
        ++cuts;
        EXPECT_NEAR(out[i].x, 230.4f, 0.1f) << side;
        EXPECT_NEAR(out[i].y, row, 0.1f) << side;
      } else if (std::fabs(v - 150.0f) < 0.2f) {
        ++cuts;
        EXPECT_NEAR(out[i].x, 281.6f, 0.1f) << side;
        EXPECT_NEAR(out[i].y, row, 0.1f) << side;
      }
    }
    EXPECT_EQ(cuts, 2) << side;
  }
}

TEST(S3DDrawDetails, TwistTurnsAPointOffItsAxis) {
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

TEST(S3DDrawDetails, SkinTakesTheInvertedSoftSelection) {
  // One bone moved by (10, 0, 0); both vertices follow it fully. Soft selection
  // 0.25 and 1, inverted: 0.75 and 0, so vertex 0 moves by 7.5 and vertex 1
  // stays.
  ScratchDir dir;
  ReportCapture reports;
  const char *const identity = "1 0 0  0 1 0  0 0 1  0 0 0";
  auto s = sceneFromText(
      dir,
      std::string(
          "scene {\n triObjects {\n"
          "  triObject { header { name \"body\" }"
          " vertices { positions [ 0 0 0  1 0 0 ] softSelection [ 0.25 1 ] }"
          " modifiers { modifier 1 { parameters { skinTM ") +
          identity + " bones [ \"arm\" " + identity +
          " ] vertices [ 1 1 0  1 1 0 ] } } }"
          " stack { entry { modifier \"0\" softSelection { useChannel 1 invert "
          "1"
          " channel \"softSelection\" } } } }\n"
          "  triObject { header { name \"arm\" } vertices { positions [ 0 0 0 "
          "] } }\n }\n" +
          kOneCamera + "}\n");
  S3DTriObject &body = *s->findTriObject("body");
  s->findTriObject("arm")->m_header.m_node.setPosition({10, 0, 0});
  s->prepare();
  body.m_modifierStack.applyObjectSpace(body);
  expectNear(body.m_vertices[0], {7.5f, 0, 0});
  expectNear(body.m_vertices[1], {1, 0, 0});
}

TEST(S3DDrawDetails, PerspectiveSpanCutAtTheLeftEdgeStartsAtItsFirstPixel) {
  // w = 1 everywhere and u = x + 8 texels ((-8, 0) and (-8, 8) at u 0, (8, 8)
  // at u 16): pixel x of row 6 shows texel x + 8 of a 16-texel row whose texel
  // i is i × 0x010101.
  std::vector<uint32_t> texels(16 * 3, 0);
  for (uint32_t i = 0; i < 16; ++i)
    texels[i] = texels[16 + i] = i * 0x010101u;
  RasterMaterial m;
  uint32_t palette[256] = {};
  m.palette = palette;
  m.texture = {texels.data(), 16, 2, 15, 1, 4, false, true};
  std::vector<uint32_t> pixels(16 * 8, 0);
  const RasterImage image{pixels.data(), 16, 8};
  PerspectiveFiller filler;
  filler.setDestination(&image);
  filler.setMaterial(&m);
  const RasterVertex v[3] = {
      {-8, 0, 1, {.u = 0}}, {-8, 8, 1, {.u = 0}}, {8, 8, 1, {.u = 16}}};
  filler.drawPolygon(v, 3);
  EXPECT_EQ(pixels[6 * 16 + 0], 8 * 0x010101u);
  EXPECT_EQ(pixels[6 * 16 + 3], 11 * 0x010101u);
}

TEST(S3DDrawDetails, SecondValueStepsOnItsOwn) {
  // Light 255 everywhere (white), weight 255 x / 32 ((0, 0) and (0, 16) at 0,
  // (32, 16) at 255), over black: pixel x of row 12 is 255 × floor(weight) /
  // 256, floored: x = 4 → weight 31 → 30; x = 16 → 127 → 126.
  uint32_t white[256];
  for (uint32_t &c : white)
    c = 0xFFFFFFu;
  RasterMaterial m;
  m.palette = white;
  std::vector<uint32_t> pixels(32 * 16, 0);
  const RasterImage image{pixels.data(), 32, 16};
  TwoValueFiller filler;
  filler.setDestination(&image);
  filler.setMaterial(&m);
  const RasterVertex v[3] = {{0, 0, 0.5f, {255, 0}},
                             {0, 16, 0.5f, {255, 0}},
                             {32, 16, 0.5f, {255, 255}}};
  filler.drawPolygon(v, 3);
  EXPECT_NEAR(double(pixels[12 * 32 + 4] & 0xFF), 30.0, 1.0);
  EXPECT_NEAR(double(pixels[12 * 32 + 16] & 0xFF), 126.0, 1.0);
}

TEST(S3DDrawDetails, FlatTexturedKindTakesTheFacesCoordinates) {
  // Opacity kind 101 (flat textured), texture mode 1 (texel × lit colour >> 8
  // per byte), no light: every light value 1, flat index 255, palette entry 255
  // white: each quarter of the square shows its texel times 255 >> 8, 0xFE.
  ScratchDir dir;
  writeTexture(dir);
  auto s = sceneFromText(
      dir,
      scene(
          square("q", "0 1 2  0 2 3"),
          sub("opacityKind 101 ambient 0 0 0 diffuse 1 1 1 specular 0 0 0"
              " textureMap1 { values { fileName \"t.tga\" textureMode 1 } }")));
  Frame f;
  f.render(*s);
  EXPECT_EQ(f.at(345, 60), 0xFE0000u);  // top-left
  EXPECT_EQ(f.at(425, 60), 0x00FE00u);  // top-right
  EXPECT_EQ(f.at(345, 195), 0x0000FEu); // bottom-left
  EXPECT_EQ(f.at(425, 195), 0xFEFEFEu); // bottom-right
}

TEST(S3DDrawDetails, SpotBehindAFaceGivesNothing) {
  // The spot of the light-value test (object space (0, 0, -100) aiming at the
  // origin, near 50, far 250, intensity 0.8) on a face wound the other way: its
  // normal is -z, N·L = -1 < 0 at the vertex on the axis, which takes 0 instead
  // of 0.6.
  ScratchDir dir;
  auto s = sceneFromText(
      dir,
      scene("  triObject { header { name \"back\" node { values { position 0 0 "
            "20 } } } material 0"
            " vertices { positions [ 0 0 0  30.933625 0 0  0 84.228838 0 ] } "
            "faceData { faces [ 0 2 1 ] }"
            " lights { light \"spot\" } }\n",
            sub(""),
            " lights { light { header { name \"spot\" node { values { position "
            "0 0 -80 } } }"
            " target { name \"spot.t\" node { values { position 0 0 20 } } }"
            " values { type 2 intensity 0.8 nearAttenuation 50 farAttenuation "
            "250 hotspot 0.2 falloff 0.6 } } }\n"));
  s->setCamera(0);
  s->update(0);
  s->prepare();
  const float *light = s->findTriObject("back")->lightValues();
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(light[0], 0.0f);
  EXPECT_EQ(light[1], 0.0f);
}

TEST(S3DDrawDetails, GeneratorAddsItsFirstTwoValuesOnly) {
  // Generator values 0.5, 0.25 and 0.5: u + 0.5, v + 0.25, the third left
  // alone. Near the bottom-left corner, pixel (340, 195): (u, v) = (0.07, 0.06)
  // → (0.57, 0.31), texel (1.14, (1 - 0.31) × 2 = 1.38) → bottom row, right:
  // white.
  ScratchDir dir;
  writeTexture(dir);
  auto s = sceneFromText(
      dir, scene(square("gen", "0 1 2  0 2 3"),
                 sub("opacityKind 200 textureMap1 { values { fileName "
                     "\"t.tga\" generator 1 }"
                     " tracks { generator1 linear { key 0 0.5 key 10 0.5 }"
                     " generator2 linear { key 0 0.25 key 10 0.25 }"
                     " generator3 linear { key 0 0.5 key 10 0.5 } } }")));
  Frame f;
  f.render(*s);
  EXPECT_EQ(f.at(340, 195), 0xFFFFFFu);
}

TEST(S3DDrawDetails, PairedQuadSeenFromBehindFillsItsWholeArea) {
  // Faces (0 2 1) and (0 3 2) run clockwise on the screen: paired they make the
  // quad 0 3 2 1, which faces away; two-sided, it is drawn with its first and
  // third corners exchanged, the convex 2 3 0 1, filling the whole square: its
  // top and bottom middles as well as its sides.
  ScratchDir dir;
  auto s = sceneFromText(dir, scene(square("q", "0 2 1  0 3 2", " option1 1"),
                                    sub("twoSided 1 diffuse 1 0 0")));
  ASSERT_EQ(s->findTriObject("q")->m_drawOps[0].polygons.size(), 1u);
  Frame f;
  f.render(*s);
  const uint32_t centre = f.at(384, 128);
  EXPECT_NE(centre, 0u);
  EXPECT_EQ(f.at(384, 60), centre);  // top middle
  EXPECT_EQ(f.at(384, 195), centre); // bottom middle
  EXPECT_EQ(f.at(340, 128), centre); // left middle
  EXPECT_EQ(f.at(428, 128), centre); // right middle
}

TEST(S3DDrawDetails, LineColourIncludesTheSpecularTerm) {
  // Fully lit with the specular term: 255 × (0.25 + 0.25 + 0.25) = 191.25 →
  // 0xBF per channel.
  ScratchDir dir;
  auto s = sceneFromText(dir, scene(square("q", "0 1 2  0 2 3", " option1 2"),
                                    sub("ambient 0.25 0.25 0.25 diffuse 0.25 "
                                        "0.25 0.25 specular 0.25 0.25 0.25")));
  EXPECT_EQ(s->getMaterial(0)->getSubMaterial(0)->m_lineColour, 0xBFBFBFu);
}

} // namespace
