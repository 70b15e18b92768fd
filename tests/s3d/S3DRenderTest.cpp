// The renderer's rules with hand-computed expectations: palettes, textures and UV matrices,
// face sub-materials, the guard band, the clipper, depth-ordered keys, and whole frames of a
// tool-made cube (facing, two-sided faces, no allocation per frame).
#include <algorithm>
#include <cmath>
#include <random>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "s3d/S3DClipper.h"
#include "support/AllocationCounter.h"
#include "support/FakeVideo.h"

namespace {

TEST(S3DRender, PaletteFollowsColoursOpacityAndNegative)
{
    S3DSubMaterial s;
    s.m_paletteEnabled = 1;
    s.m_diffuse = {0, 0, 0};
    s.m_specular = {1, 1, 1};
    s.prepare();
    EXPECT_EQ(s.m_palette[255], 0xFFFFFFu);
    // n = 1: b = cos(pi / 512) = 0.9999812, b^20 = 0.99962; 255 b^20 = 254.9 -> 254.
    EXPECT_EQ(s.m_palette[254], 0xFEFEFEu);
    // n = 20: b^20 = 0.99247^20 = 0.860; 255 * 0.860 = 219.3 -> 219 (0xDB): specular falls fast.
    EXPECT_EQ(s.m_palette[235], 0xDBDBDBu);
    EXPECT_EQ(s.m_paletteDirty, 0);

    // Diffuse white at opacity 0.5: every entry halves (127.5 b truncated). n = 255: b = 0.0061359.
    s.m_specular = {0, 0, 0};
    s.setDiffuse({1, 1, 1});
    s.setOpacity(0.5f);
    s.prepare();
    EXPECT_EQ(s.m_palette[255], 0x7F7F7Fu);
    EXPECT_EQ(s.m_palette[0], 0x000000u);  // 127.5 * 0.0061 = 0.78 -> 0
    s.setOpacity(1.0f);
    s.m_negative = 1;
    s.prepare();
    EXPECT_EQ(s.m_palette[255], 0x000000u);
    EXPECT_EQ(s.m_palette[0], 0xFEFEFEu);  // 255 * 0.0061 = 1.56 -> 1, inverted
}

TEST(S3DRender, TexturesCheckTheirSizesAndTransformCoordinates)
{
    ReportCapture reports;
    CImage32Buffered wide(100, 64), tall(64, 48), square(4, 2);
    S3DTexture32 t;
    t.set(wide);
    EXPECT_TRUE(reports.has("S3DTexture32 warning !", "width is not a power of 2"));
    EXPECT_EQ(t.raster().pixels, nullptr);
    t.set(tall);
    EXPECT_TRUE(reports.has("S3DTexture32 warning !", "height is not a power of 2"));
    t.set(square);
    EXPECT_TRUE(t.isPowerOfTwo());
    EXPECT_EQ(t.m_maskU, 3u);
    EXPECT_EQ(t.m_shiftU, 2);
    EXPECT_EQ(t.m_shiftV, 1);
    EXPECT_EQ(t.getImage256()->getWidth(), 256);

    // A crop narrower than one pixel: 0.2 of 2 pixels truncates to 0.
    ScratchDir dir;
    const std::string tga = dir.write("t.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) +
                                                   std::string(12, '\x40'));
    EXPECT_FALSE(t.load(tga.c_str(), true, 0, 0, 0.2f, 1));
    EXPECT_TRUE(reports.has("S3DTexture32 warning !", "load u v w h: bad dimension"));

    // "NULL" loads nothing and gets no UV matrix.
    S3DTextureMap none;
    none.m_useTransform = 1;
    none.loadTexture("");
    none.prepare();
    EXPECT_EQ(none.getTexture(), nullptr);
    EXPECT_FALSE(none.hasUVMatrix());

    // Tiles 2 about the centre: u' = 2 (u - 0.5) + 0.5. A quarter turn: u' = 1 - v, v' = u.
    S3DTextureMap map;
    map.m_fileName = "t.tga";
    map.loadTexture(dir.path().c_str());
    ASSERT_NE(map.getTexture(), nullptr);
    map.m_useTransform = 1;
    map.m_tileU = map.m_tileV = 2;
    map.prepare();
    float u, v;
    map.transformUV(0.0f, 1.0f, u, v);
    EXPECT_FLOAT_EQ(u, -0.5f);
    EXPECT_FLOAT_EQ(v, 1.5f);
    map.m_tileU = map.m_tileV = 1;
    map.m_angle = 1.5707964f;
    map.prepare();
    map.transformUV(1.0f, 0.0f, u, v);
    EXPECT_NEAR(u, 1.0f, 1e-6);
    EXPECT_NEAR(v, 1.0f, 1e-6);
}

TEST(S3DRender, VideoTextureShowsTheFrameOfTheSceneTime)
{
    ReportCapture reports;
    // Frame i of a 4x2 video is the uniform colour 0x000102 * i.
    FakeVideoPlatform video({{"ten.avi", FakeVideo::solid(4, 2, 10, [](int i) { return 0x000102u * uint32_t(i); })}});
    S3DSubMaterial s;
    s.m_texture1.m_fileName = "ten.avi";
    s.loadTextures("");
    ASSERT_NE(s.m_texture1.getTexture(), nullptr);
    s.prepare();
    EXPECT_EQ(s.raster().texture.pixels[0], 0u);  // frame 0 at load

    // The integer part of the time, modulo the 10 frames; a time before 0 counts back.
    const std::pair<float, uint32_t> cases[] = {{13.7f, 3}, {25.0f, 5}, {-1.5f, 9}, {3.0f, 3}};
    for (const auto& [time, frame] : cases) {
        s.update(time);
        s.prepare();
        EXPECT_EQ(s.raster().texture.pixels[0], 0x000102u * frame) << time;
        EXPECT_EQ(s.raster().texture.pixels[7], 0x000102u * frame) << time;
    }
    // The tiled copy follows too: it is the one a still texture of frame 3 has.
    CImage32Buffered three(4, 2);
    three.clear(0x000306u);
    S3DTexture32 still;
    still.set(three);
    const uint32_t* a = s.m_texture1.getTexture()->getImage256()->getPixels();
    EXPECT_TRUE(std::equal(a, a + 256 * 256, still.getImage256()->getPixels()));

    // Asking for a frame past the end shows nothing new.
    auto* avi = static_cast<S3DTextureAvi*>(s.m_texture1.m_pTexture.get());
    EXPECT_FALSE(avi->setFrame(10));
    EXPECT_TRUE(reports.has("S3DTextureAvi warning:", "no frame"));
    EXPECT_EQ(reports.count(), 1u);
}

TEST(S3DRender, GuardBandClipperAndDepthKeys)
{
    // Default camera: 512 x 256, fov pi/2, so scaleX = scaleY = 256, centre (256, 128), near 10.
    S3DCamera camera;
    // x = 0.5 on the screen at z = 100: w x 256 + 256 = 0.5 -> x = -99.8046875.
    const S3DProjectedVertex edge = projectVertex(camera, {-99.8046875f, 0, 100});
    EXPECT_FLOAT_EQ(edge.x, 0.5f);
    EXPECT_EQ(edge.clip, S3DProjectedVertex::kClipScreen);
    EXPECT_EQ(projectVertex(camera, {-99.609375f, 0, 100}).clip, 0);  // x = 1.0 is inside
    EXPECT_EQ(projectVertex(camera, {0, 0, 9.5f}).clip & S3DProjectedVertex::kClipNear, S3DProjectedVertex::kClipNear);

    // A triangle with its third corner behind the near plane: both cut edges meet the plane
    // half-way; values 0, 100, 200 give 150 and 100 there.
    S3DClipper clipper;
    clipper.setup(camera);
    S3DClipVertex in[3];
    in[0].p = {-10, -5, 20};
    in[1].p = {10, -5, 20};
    in[2].p = {0, 5, 0};
    in[0].values.light = 0;
    in[1].values.light = 100;
    in[2].values.light = 200;
    RasterVertex out[S3DClipper::kMaxWork];
    ASSERT_EQ(clipper.clip(in, 3, out), 4);
    const float expect[4][4] = {{128, 192, 0.05f, 0}, {384, 192, 0.05f, 100}, {384, 128, 0.1f, 150}, {128, 128, 0.1f, 100}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(out[i].x, expect[i][0], 1e-3) << i;
        EXPECT_NEAR(out[i].y, expect[i][1], 1e-3) << i;
        EXPECT_NEAR(out[i].w, expect[i][2], 1e-6) << i;
        EXPECT_NEAR(out[i].values.light, expect[i][3], 1e-3) << i;
    }
    in[0].p.z = in[1].p.z = 5;  // wholly in front of the eye but before the near plane
    EXPECT_EQ(clipper.clip(in, 3, out), 0);

    // A line at the depth of a triangle sorts 10 below it; points alone are the only list.
    S3DProjectedVertex p{0, 0, 0.01f, 0};
    const uint32_t colour = 0;
    S3DDepthLists lists;
    lists.m_lines.push_back({{&p, &p}, &colour, 0});
    lists.m_triangles.push_back({nullptr, 0, 0, {&p, &p, &p}});
    lists.finish();
    EXPECT_TRUE(lists.merged());
    ASSERT_EQ(lists.computeKeys(), 2);
    EXPECT_EQ(lists.m_entries[0].kind, 1);
    EXPECT_EQ(lists.m_entries[1].kind, 3);
    EXPECT_NEAR(lists.m_entries[1].key, lists.m_entries[0].key - 10.0f, 1e-6);
    S3DDepthLists points;
    S3DProjectedVertex near{0, 0, 0.2f, 0}, far{0, 0, 0.1f, 0};
    points.m_points.push_back({&far, &colour});
    points.m_points.push_back({&near, &colour});
    points.finish();
    EXPECT_FALSE(points.merged());
    ASSERT_EQ(points.computeKeys(), 2);
    EXPECT_EQ(points.m_entries[0].index, 1);  // the nearer point first
}

TEST(S3DRender, QuicksortOrdersKeysDecreasing)
{
    std::mt19937 rng(7);
    std::vector<S3DSortEntry> e(500);
    for (auto& x : e) x.key = float(rng() % 50) * 0.01f;  // many equal keys
    std::vector<float> reference;
    for (const auto& x : e) reference.push_back(x.key);
    std::sort(reference.begin(), reference.end(), std::greater<float>());
    sortByKeyDecreasing(e.data(), int(e.size()));
    for (size_t i = 0; i < e.size(); ++i) ASSERT_EQ(e[i].key, reference[i]) << i;
}

// A cube of side 100 about the origin: the near face (scene z = -50, OBJ z = 50) red, the far
// one green, the sides blue. As OBJ files are written, faces run counter-clockwise seen from
// outside in the file's right-handed terms; imported, they run counter-clockwise on the screen.
const char* const kCubeObj = R"(v -50 -50 50
v 50 -50 50
v 50 50 50
v -50 50 50
v -50 -50 -50
v 50 -50 -50
v 50 50 -50
v -50 50 -50
usemtl near
f 1 2 3 4
usemtl far
f 6 5 8 7
usemtl sides
f 5 1 4 8
f 2 6 7 3
f 4 3 7 8
f 5 6 2 1
)";

std::string cubeScene(const char* eye, const char* target, int twoSided)
{
    const std::string sub = [&] {
        std::string s;
        const char* colours[3] = {"1 0 0", "0 1 0", "0 0 1"};
        for (const char* c : colours)
            s += std::string("subMaterial { shading { values { paletteEnabled 1 twoSided ") + std::to_string(twoSided) +
                 " diffuse " + c + " } } }\n";
        return s;
    }();
    return std::string("scene {\n option1 0\n animationLength 10\n") +
           " triObjects { triObject { header { name \"cube\" } material 0 obj \"cube.obj\" } }\n" +
           " cameras { camera { header { name \"c\" node { values { position " + eye + " } } } target { name \"t\" node { values { position " +
           target + " } } } } }\n materials { material { name \"m\" subMaterials {\n" + sub + " } } }\n}\n";
}

// Renders one frame of the scene into a fresh 512 x 256 image without a depth buffer (the scene
// says so), so that drawing order alone decides what is seen.
struct Frame3D {
    CImage32Buffered image{512, 256};
    ViewPort viewPort;
    void render(S3DScene& scene)
    {
        viewPort.m_ownsZBuffer = scene.m_depthBuffer != 0;
        viewPort.setScreen(&image);
        scene.setViewPort(&viewPort);
        scene.setCamera(0);
        scene.update(0);
        scene.prepare();
        scene.render();
    }
    uint32_t at(int x, int y) const { return image.m_pPixels[y * 512 + x]; }
    int lit() const { return int(std::count_if(image.m_pPixels, image.m_pPixels + 512 * 256, [](uint32_t p) { return p != 0; })); }
};

TEST(S3DRender, ClosedCubeShowsTheSidesFacingTheCamera)
{
    ScratchDir dir;
    dir.write("cube.obj", kCubeObj);
    {
        // From outside: the near face spans 256 +- 51.2 by 128 +- 51.2 pixels; the far face and
        // the sides, drawn after it, would show inside that square if they were drawn.
        auto scene = sceneFromText(dir, cubeScene("0 0 -300", "0 0 0", 0));
        Frame3D f;
        f.render(*scene);
        EXPECT_EQ(f.at(256, 128), 0xFF0000u);
        EXPECT_EQ(f.at(210, 100), 0xFF0000u);
        EXPECT_EQ(f.at(204, 128), 0u);
        EXPECT_EQ(f.at(308, 128), 0u);
        // No allocation once the scene runs.
        AllocationCounter counter;
        f.render(*scene);
        EXPECT_EQ(counter.count(), 0);
    }
    {
        // From inside, one-sided: every face turns its back; two-sided: the far face fills the
        // middle of the view (it spans the whole width at z = 50, through the clipper).
        auto oneSided = sceneFromText(dir, cubeScene("0 0 0", "0 0 100", 0));
        Frame3D f;
        f.render(*oneSided);
        EXPECT_EQ(f.lit(), 0);
        auto twoSided = sceneFromText(dir, cubeScene("0 0 0", "0 0 100", 1));
        Frame3D g;
        g.render(*twoSided);
        EXPECT_EQ(g.at(256, 128), 0x00FF00u);
    }
}

TEST(S3DRender, FacesTakeTheirSubMaterialModuloTheCount)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene {\n triObjects { triObject { header { name \"o\" } material 0\n"
                                    "  vertices { positions [ 0 0 0  1 0 0  0 1 0 ] }\n"
                                    "  faceData { faces [ 0 1 2 ] subMaterials [ 7 ] } } }\n"
                                    " materials { material { name \"m\" subMaterials { subMaterial { } subMaterial { } subMaterial { } } } }\n}\n");
    ASSERT_EQ(scene->getNbTriObject(), 1);
    EXPECT_EQ(scene->getTriObjects()[0].m_faces[0].pSubMaterial, scene->getMaterial(0)->getSubMaterial(1));
    // Channels by name: none, built in, missing.
    S3DTriObject& o = scene->getTriObjects()[0];
    bool perTexture = false;
    EXPECT_EQ(o.findVertexChannel("NULL", perTexture), nullptr);
    EXPECT_EQ(o.findVertexChannel("lightning", perTexture), o.lightValues());
    EXPECT_EQ(o.findVertexChannel("opacityMap", perTexture), nullptr);
    EXPECT_TRUE(reports.has("S3DTriObject warning: o", "vertexChannelOpacityMap needs mapping UV"));
    EXPECT_EQ(o.findVertexChannel("heat", perTexture), nullptr);
    EXPECT_TRUE(reports.has("S3DTriObject warning: o", "Can t find valid vertex channel: heat"));
}

} // namespace
