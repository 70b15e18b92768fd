// The 2D description: the scene frame of a write loops over the scene's header frame count and
// wraps to 0 exactly at it; a count of 0 stays at frame 0; a bad camera index is reported once.
#include <gtest/gtest.h>

#include <string>

#include "fx2d/S2DScene.h"
#include "script/RenderData.h"
#include "script/ScriptResource.h"
#include "support/FakeVideo.h"
#include "support/TestSupport.h"

namespace {

uint32_t colour(int i) { return 0x00400000u * uint32_t(i + 1); }

// A scene of `frames` frames: one camera, one node at the origin showing a 3-frame 4x4 video
// that covers the whole 4x4 destination.
std::string sceneBytes(int frames)
{
    std::string s;
    auto u16 = [&s](int x) { s += char(x & 255), s += char(x >> 8); };
    u16(frames);
    u16(1), u16(0);                            // one node, sprite 0
    u16(1), s += '\1', u16(0), s += '\1', u16(0);  // one camera, empty fov and roll tracks
    u16(1);
    s += std::string("s") + '\0' + '\0' + "three.avi" + '\0' + '\0' + "NULL" + '\0' + '\0';
    s += '\1', u16(0);                         // empty opacity track
    return s;
}

TEST(RenderData2DTest, SceneFrameLoopsOverTheHeaderCount)
{
    ReportCapture cap;
    FakeVideoPlatform video({{"three.avi", FakeVideo::solid(4, 4, 3, colour)}});
    ScratchDir dir;
    CImage32Buffered image(4, 4);
    auto shown = [&image](RenderData2DDesc& desc, int localTime) {
        image.clear(0);
        desc.m_localTimeMs = localTime;
        desc.render(&image);
        return image.m_pPixels[5];
    };

    ScriptResource2D looped;
    looped.m_fileName = dir.write("three.l2d", sceneBytes(3)).c_str();
    looped.load();
    RenderData2DDesc desc;
    desc.m_pResource = &looped;
    // 30 frames per second: 66 ms is frame 1.98, 99 ms frame 2.97; at 100 ms (3.0) it wraps.
    EXPECT_EQ(shown(desc, 0), colour(0));
    EXPECT_EQ(shown(desc, 66), colour(1));
    EXPECT_EQ(shown(desc, 99), colour(2));
    EXPECT_EQ(shown(desc, 100), colour(0));
    desc.m_timeOffset = 50;  // 50 + 50 ms: frame 3.0 again
    EXPECT_EQ(shown(desc, 50), colour(0));

    ScriptResource2D still;
    still.m_fileName = dir.write("zero.l2d", sceneBytes(0)).c_str();
    still.load();
    RenderData2DDesc zero;
    zero.m_pResource = &still;
    EXPECT_EQ(shown(zero, 70), colour(0));
    EXPECT_EQ(cap.count(), 0u);

    zero.m_camera = 1;
    zero.m_name = "flat";
    EXPECT_EQ(shown(zero, 0), 0u);
    EXPECT_EQ(shown(zero, 0), 0u);
    EXPECT_TRUE(cap.has("2D_DESC flat :", "setCamera: camera index out of range"));
    EXPECT_EQ(cap.count(), 1u);
}

} // namespace
