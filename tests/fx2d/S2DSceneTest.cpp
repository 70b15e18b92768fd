// S2DScene: the stream read by hand-built bytes, video frames and opacity by scene time, sprite
// lookup, hierarchy, projection with the 0.2 rule, TCB keys in stream order, malformed streams,
// and videos shared between sprites, scenes and textures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fx2d/S2DFormat.h"
#include "fx2d/S2DScene.h"
#include "s3d/S3DTexture.h"
#include "support/FakeVideo.h"
#include "support/TestSupport.h"

namespace {

struct Stream {
    std::vector<uint8_t> v;
    Stream& u8(int x)
    {
        v.push_back(uint8_t(x));
        return *this;
    }
    Stream& u16(int x) { return u8(x).u8(x >> 8); }
    Stream& f32(float f)
    {
        uint32_t x;
        std::memcpy(&x, &f, 4);
        return u16(int(x & 0xFFFF)).u16(int(x >> 16));
    }
    Stream& str(const char* s)
    {
        v.insert(v.end(), s, s + std::strlen(s) + 1);
        return *this;
    }
    // A linear float track of (time, value) keys; none: an empty one.
    Stream& linear(std::initializer_list<std::pair<int, float>> keys)
    {
        u8(1).u16(int(keys.size()));
        for (auto [t, value] : keys) u16(t).f32(value);
        return *this;
    }
    // A point track with one key (constant), or none.
    Stream& point(const float* p)
    {
        if (!p) return u8(0).u16(0);
        return u8(1).u16(1).u16(0).f32(p[0]).f32(p[1]).f32(p[2]);
    }
    Stream& sprite(const char* image, std::initializer_list<std::pair<int, float>> opacity = {},
                   const char* alphaMap = "NULL")
    {
        return str("s").u8(0).str(image).u8(0).str(alphaMap).u8(0).linear(opacity);
    }
};

uint32_t colour(int i) { return 0x100000u * uint32_t(i + 1) + 0x37u; }

// Scenes of one camera; sprite nodes given by their sprite indices.
Stream header(int frames, std::initializer_list<int> spriteIndices)
{
    Stream s;
    s.u16(frames).u16(int(spriteIndices.size()));
    for (int i : spriteIndices) s.u16(i);
    s.u16(1).linear({}).linear({});
    return s;
}

class S2DSceneTest : public ::testing::Test {
protected:
    FakeVideoPlatform m_video{{{"ten.avi", FakeVideo::solid(2, 2, 10, colour)},
                               {"red.avi", FakeVideo::solid(2, 2, 1, [](int) { return 0xFF0000u; })},
                               {"bar.avi", FakeVideo::solid(4, 2, 1, [](int) { return 0x00FF00u; })}}};
};

TEST_F(S2DSceneTest, VideoFrameOpacityAndSpriteIndexFollowTheStream)
{
    ReportCapture cap;
    Stream s = header(40, {0, 5});  // the second node's sprite index is beyond the one sprite
    s.u16(1).sprite("ten.avi", {{0, 1.7f}, {10, -0.2f}});
    S2DScene scene;
    scene.loadStream(s.v.data(), s.v.size());
    EXPECT_EQ(cap.count(), 0u);
    EXPECT_EQ(scene.getNbFrame(), 40);
    ASSERT_EQ(scene.nodes().size(), 2u);
    EXPECT_NE(scene.nodes()[0].m_pSprite, nullptr);
    EXPECT_EQ(scene.nodes()[1].m_pSprite, nullptr);

    const S2DSprite& sprite = *scene.sprites()[0];
    scene.update(13.0f);
    EXPECT_EQ(sprite.m_image.current()->m_pPixels[0], colour(3));
    EXPECT_EQ(sprite.m_opacity, 0.0f);  // past the last key: -0.2, limited to 0
    scene.update(0.5f);
    EXPECT_EQ(sprite.m_image.current()->m_pPixels[0], colour(0));
    EXPECT_EQ(sprite.m_opacity, 1.0f);  // 1.7 - 0.095, limited to 1

    // Drawn at full opacity at the centre (the node and the camera sit at the origin, so the
    // node maps to the centre); at opacity 0 nothing is drawn.
    CImage32Buffered image(8, 4);
    scene.render(&image);
    EXPECT_EQ(image.m_pPixels[1 * 8 + 3], colour(0));
    EXPECT_EQ(image.m_pPixels[2 * 8 + 4], colour(0));
    EXPECT_EQ(image.m_pPixels[0], 0u);
    image.clear(0);
    scene.update(10.0f);
    scene.render(&image);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(image.m_pPixels[i], 0u);
}

// The lit pixels' bounding box and count, of one colour.
struct Lit {
    int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1, count = 0;
};
Lit litPixels(const CImage32& image, uint32_t value)
{
    Lit l;
    for (int y = 0; y < image.m_height; ++y) {
        for (int x = 0; x < image.m_width; ++x) {
            if (image.m_pPixels[y * image.m_width + x] != value) continue;
            l.minX = std::min(l.minX, x), l.maxX = std::max(l.maxX, x);
            l.minY = std::min(l.minY, y), l.maxY = std::max(l.maxY, y);
            ++l.count;
        }
    }
    return l;
}

TEST_F(S2DSceneTest, ProjectionAndTheNearlyVerticalViewRule)
{
    // Seen from (0, 0, -10) towards the origin with a 90 degree field of view on 64x32: f = 1,
    // both factors 32. Node 0 at (5.15625, 0.15625, 0) lands on (48.5, 15.5), node 1 at
    // (0.15625, 0.15625, 0) on (32.5, 15.5): their 2x2 sprites cover pixels 48..49 and 32..33 of
    // rows 15..16.
    const float p0[3] = {5.15625f, 0.15625f, 0}, p1[3] = {0.15625f, 0.15625f, 0}, eye[3] = {0, 0, -10};
    Stream s = header(10, {0, 1});
    s.u16(2).sprite("ten.avi").sprite("red.avi");
    s.v.insert(s.v.end(), kS2DTransformTag, kS2DTransformTag + 4);
    s.str("a").str("NULL").point(p0).point(nullptr).point(nullptr);
    s.str("b").str("NULL").point(p1).point(nullptr).point(nullptr);
    s.str("cam").str("cam.target").point(eye).point(nullptr);
    S2DScene scene;
    scene.loadStream(s.v.data(), s.v.size());
    scene.update(0.0f);
    CImage32Buffered image(64, 32);
    scene.render(&image);
    const Lit a = litPixels(image, colour(0)), b = litPixels(image, 0xFF0000);
    EXPECT_EQ(a.count, 4);
    EXPECT_EQ(a.minX, 48);
    EXPECT_NEAR(a.minY, 15, 1);  // the blit's rounding of a half-pixel centre is its own
    EXPECT_EQ(b.count, 4);
    EXPECT_EQ(b.minX, 32);
    EXPECT_EQ(b.minY, a.minY);

    // Eye at the origin, target (0.1, 0.05, 0.5): |d.x| and |d.y| are within 0.2 (d.z is not), so
    // the view is tilted to (0.1, 0.2, 0.5). Node 0 at (1, 2, 5) is then straight ahead, at the
    // centre; node 1 at (2, 1, 10), on the untilted direction, lies about 0.28 rad off it, some
    // 9 pixels at a vertical factor of 32.
    const float q0[3] = {1, 2, 5}, q1[3] = {2, 1, 10}, origin[3] = {0, 0, 0}, target[3] = {0.1f, 0.05f, 0.5f};
    Stream t = header(10, {0, 1});
    t.u16(2).sprite("ten.avi").sprite("red.avi");
    t.v.insert(t.v.end(), kS2DTransformTag, kS2DTransformTag + 4);
    t.str("a").str("NULL").point(q0).point(nullptr).point(nullptr);
    t.str("b").str("NULL").point(q1).point(nullptr).point(nullptr);
    t.str("cam").str("cam.target").point(origin).point(target);
    scene.loadStream(t.v.data(), t.v.size());
    scene.update(0.0f);
    image.clear(0);
    scene.render(&image);
    const Lit c = litPixels(image, colour(0)), d = litPixels(image, 0xFF0000);
    EXPECT_EQ(c.count, 4);
    EXPECT_NEAR(c.minX, 31, 1);
    EXPECT_NEAR(c.minY, 15, 1);
    EXPECT_TRUE(d.count == 0 || std::abs(d.minY - 15) > 4) << d.minX << ", " << d.minY;
}

TEST_F(S2DSceneTest, HigherNodesLandHigherAndSpritesTurnByTheirZAngle)
{
    // The camera of the projection test (f = 1, factors 32 on 64x32; the 0.2 rule tilts its view
    // up by about 0.02 rad, which moves a point at depth 10 some 0.6 pixels down). Node 0 at
    // (-4.84375, 2.65625, 0): y / z x 32 = 8.5 above the centre row, so its 2x2 sprite covers
    // rows 8..9 (7..8 untilted), far above the middle. Node 1 near the centre carries the 4x2
    // bar turned by pi/2 about z (Euler angles (0, 0, pi/2)): drawn rotated it covers 2x4.
    const float p0[3] = {-4.84375f, 2.65625f, 0}, p1[3] = {0.15625f, 0.15625f, 0}, eye[3] = {0, 0, -10};
    Stream s = header(10, {0, 1});
    s.u16(2).sprite("ten.avi").sprite("bar.avi");
    s.v.insert(s.v.end(), kS2DTransformTag, kS2DTransformTag + 4);
    s.str("a").str("NULL").point(p0).point(nullptr).point(nullptr);
    s.str("b").str("NULL").point(p1).point(nullptr).u8(1).u16(1).u16(0).f32(1.57079633f).f32(0).f32(0).f32(1);
    s.str("cam").str("cam.target").point(eye).point(nullptr);
    S2DScene scene;
    scene.loadStream(s.v.data(), s.v.size());
    scene.update(0.0f);
    CImage32Buffered image(64, 32);
    scene.render(&image);
    const Lit a = litPixels(image, colour(0)), b = litPixels(image, 0x00FF00);
    EXPECT_EQ(a.count, 4);
    EXPECT_EQ(a.minX, 16);
    EXPECT_NEAR(a.minY, 8, 1);
    EXPECT_EQ(b.count, 8);
    EXPECT_EQ(b.maxX - b.minX + 1, 2);
    EXPECT_EQ(b.maxY - b.minY + 1, 4);
    EXPECT_NEAR(b.minX, 32, 1);
}

TEST_F(S2DSceneTest, TcbKeysReadBiasTensionContinuity)
{
    // Opacity keys 0, 1, 0 at frames 0, 10, 20; the middle key has bias 0.5, tension 0.25,
    // continuity 0.1 (no ease). With equal intervals its time factors are 1, so
    //   incoming = 0.75 x 0.9 x 1.5 / 2 - 0.75 x 1.1 x 0.5 / 2 = 0.3,
    //   outgoing = 0.75 x 1.1 x 1.5 / 2 - 0.75 x 0.9 x 0.5 / 2 = 0.45,
    // and at u = 0.5 the value is 0.5 -/+ 0.125 x tangent: 0.4625 at frame 5, 0.55625 at 15.
    // (Read as bias, continuity, tension they would be 0.471875 and 0.584375.)
    Stream s = header(30, {0});
    s.u16(1).str("s").u8(0).str("ten.avi").u8(0).str("NULL").u8(0);
    s.u8(3).u16(3);
    s.u16(0).f32(0.0f).f32(0.0f).f32(0.0f).f32(0.0f).f32(0.0f).f32(0.0f);
    s.u16(10).f32(1.0f).f32(0.5f).f32(0.25f).f32(0.1f).f32(0.0f).f32(0.0f);
    s.u16(20).f32(0.0f).f32(0.0f).f32(0.0f).f32(0.0f).f32(0.0f).f32(0.0f);
    ReportCapture cap;
    S2DScene scene;
    scene.loadStream(s.v.data(), s.v.size());
    EXPECT_EQ(cap.count(), 0u);
    ASSERT_EQ(scene.sprites().size(), 1u);
    scene.update(5.0f);
    EXPECT_NEAR(scene.sprites()[0]->m_opacity, 0.4625f, 1e-5f);
    scene.update(15.0f);
    EXPECT_NEAR(scene.sprites()[0]->m_opacity, 0.55625f, 1e-5f);
}

TEST_F(S2DSceneTest, ParentsComposeAndCyclesAreCut)
{
    ReportCapture cap;
    const float one[3] = {1, 0, 0}, two[3] = {0, 2, 0};
    // child -> parent -> cam.target (moved to (0, 2, 0)); loop1 <-> loop2 form a cycle.
    Stream s = header(10, {0, 0, 0, 0});
    s.u16(0);
    s.v.insert(s.v.end(), kS2DTransformTag, kS2DTransformTag + 4);
    s.str("child").str("parent").point(one).point(nullptr).point(nullptr);
    s.str("parent").str("cam.target").point(one).point(nullptr).point(nullptr);
    s.str("loop1").str("loop2").point(nullptr).point(nullptr).point(nullptr);
    s.str("loop2").str("loop1").point(nullptr).point(nullptr).point(nullptr);
    s.str("cam").str("cam.target").point(nullptr).point(two);
    S2DScene scene;
    scene.loadStream(s.v.data(), s.v.size());
    EXPECT_TRUE(cap.has("S2DScene :", "resolve: parent cycle"));
    EXPECT_EQ(cap.count(), 1u);
    for (int frame = 0; frame < 2; ++frame) {  // world positions do not accumulate over frames
        scene.update(float(frame));
        const Point3D p = scene.nodes()[0].m_node.worldPosition();
        EXPECT_FLOAT_EQ(p.x, 2.0f);
        EXPECT_FLOAT_EQ(p.y, 2.0f);
    }
}

// A parent name that names no node nor camera is told at load, once, with both names.
TEST_F(S2DSceneTest, AnUnknownParentIsReported)
{
    ReportCapture cap;
    Stream s = header(10, {0, 0});
    s.u16(0);
    s.v.insert(s.v.end(), kS2DTransformTag, kS2DTransformTag + 4);
    s.str("lost").str("nobody").point(nullptr).point(nullptr).point(nullptr);
    s.str("root").str("NULL").point(nullptr).point(nullptr).point(nullptr);
    s.str("cam").str("cam.target").point(nullptr).point(nullptr);
    S2DScene scene;
    scene.loadStream(s.v.data(), s.v.size());
    scene.update(0.0f);
    EXPECT_TRUE(cap.has("S2DScene :", "resolve: can't find parent nobody of node lost"));
    EXPECT_EQ(cap.count(), 1u);
}

TEST_F(S2DSceneTest, MalformedStreamsAreReportedAndLeaveAnEmptyScene)
{
    Stream good = header(10, {0});
    good.u16(1).sprite("ten.avi", {{0, 1.0f}});
    for (size_t cut = 0; cut < good.v.size(); ++cut) {
        ReportCapture cap;
        S2DScene scene;
        scene.loadStream(good.v.data(), cut);
        EXPECT_EQ(scene.nodes().size(), 0u) << cut;
        EXPECT_EQ(scene.getNbCamera(), 0);
        EXPECT_TRUE(cap.has("S2DScene :", "load: file truncated")) << cut;
    }
    {
        ReportCapture cap;
        Stream s;
        s.u16(10).u16(0).u16(0).u16(0);
        S2DScene scene;
        scene.loadStream(s.v.data(), s.v.size());
        EXPECT_TRUE(cap.has("S2DScene :", "loadCamera: no camera found"));
        CImage32Buffered image(4, 4);
        scene.render(&image);  // no camera: nothing drawn, nothing more reported
        EXPECT_EQ(cap.count(), 1u);
    }
    {
        ReportCapture cap;
        Stream s;
        s.u16(10).u16(0).u16(1).u8(9).u16(0).linear({});
        S2DScene scene;
        scene.loadStream(s.v.data(), s.v.size());
        EXPECT_TRUE(cap.has("TrackManagerFloat :", "unknow type"));
        EXPECT_EQ(scene.getNbCamera(), 0);
    }
}

TEST(S2DSceneVideoTest, SpritesScenesAndTexturesOnOneVideoShareOneDecoding)
{
    ScratchDir dir;  // the file lookups search an empty tree
    CurrentDirGuard inDir(dir.path());
    int opened = 0;
    FakeVideo clip = FakeVideo::solid(8, 4, 5, colour);
    clip.framesOpened = &opened;
    FakeVideoPlatform fake({{"clip.avi", clip}});
    ReportCapture cap;
    const int64_t before = CAvi::heldBytes();
    const int64_t oneVideo = 5 * (8 * (4 + 4) * 4 + 16);  // pixels with guard rows, a table slot each

    Stream s = header(10, {0, 1, 2, 3});
    s.u16(4).sprite("clip.avi").sprite("clip.avi").sprite("clip.avi").sprite("clip.avi");
    auto scene = std::make_unique<S2DScene>();
    scene->loadStream(s.v.data(), s.v.size());
    scene->update(3.0f);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(CAvi::heldBytes() - before, oneVideo);
    for (const auto& sprite : scene->sprites())
        EXPECT_EQ(sprite->m_image.current(), scene->sprites()[0]->m_image.current());

    // A texture on the same file, and a second scene loaded while the first runs (a reload's
    // trial load): no further decoding.
    auto texture = std::make_unique<S3DTextureAvi>();
    EXPECT_TRUE(texture->open("clip.avi"));
    auto second = std::make_unique<S2DScene>();
    second->loadStream(s.v.data(), s.v.size());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(CAvi::heldBytes() - before, oneVideo);

    // The frames stay while any user remains, and go with the last one.
    scene.reset();
    second->update(4.0f);
    EXPECT_EQ(second->sprites()[2]->m_image.current()->m_pPixels[31], colour(4));
    second.reset();
    EXPECT_EQ(CAvi::heldBytes() - before, oneVideo);
    texture.reset();
    EXPECT_EQ(CAvi::heldBytes(), before);
    EXPECT_EQ(cap.count(), 0u);
}

TEST(S2DSceneVideoTest, AnAlphaMapOfAnotherSizeIsReportedOnceAndLeftUnused)
{
    ScratchDir dir;  // the file lookups search an empty tree
    CurrentDirGuard inDir(dir.path());
    FakeVideoPlatform fake({{"pic.avi", FakeVideo::solid(2, 2, 3, colour)},
                            {"mask.avi", FakeVideo::solid(2, 2, 3, [](int) { return 0x808080u; })},
                            {"wide.avi", FakeVideo::solid(4, 2, 3, [](int) { return 0x808080u; })}});
    ReportCapture cap;
    Stream s = header(10, {0, 1});
    s.u16(2).sprite("pic.avi", {}, "wide.avi").sprite("pic.avi", {}, "mask.avi");
    S2DScene scene;
    scene.loadStream(s.v.data(), s.v.size());
    CImage32Buffered image(8, 4);
    for (int frame = 0; frame < 4; ++frame) {
        scene.update(float(frame));
        scene.render(&image);
    }
    ASSERT_EQ(cap.count(), 1u);
    EXPECT_TRUE(cap.has("S2DScene :", "load: alpha map wide.avi (4x2) differs in size from image pic.avi (2x2)"))
        << cap.reports()[0].text;
}

} // namespace
