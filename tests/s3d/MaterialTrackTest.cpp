// A sub-material whose diffuse colour follows a track: each frame's palette is the colour the
// track gives at that frame.
#include <memory>

#include "S3DTestSupport.h"

namespace {

TEST(MaterialTrack, AnimatedDiffuseColourRecolours)
{
    // A square facing the camera, unlit, so it shows the palette's fully lit entry: 255 x the
    // diffuse colour. The track goes from red at frame 0 to blue at frame 5 and stays there.
    ScratchDir dir;
    auto s = sceneFromText(dir, std::string("scene {\n animationLength 10\n triObjects {\n"
                                            "  triObject { header { name \"o\" } material 0\n"
                                            "   vertices { positions [ -10 -10 0  10 -10 0  10 10 0  -10 10 0 ] }\n"
                                            "   faceData { faces [ 0 1 2  0 2 3 ] } }\n }\n") +
                                    kCamera +
                                    " materials { material { name \"m\" subMaterials {\n"
                                    "  subMaterial { shading { values { paletteEnabled 1 twoSided 1 diffuse 1 0 0 }"
                                    " tracks { diffuse linear { key 0 1 0 0  key 5 0 0 1  key 10 0 0 1 } } } }\n"
                                    " } } }\n}\n");
    CImage32Buffered image(512, 256);
    ViewPort viewPort;
    viewPort.m_ownsZBuffer = s->m_depthBuffer != 0;
    viewPort.setScreen(&image);
    s->setViewPort(&viewPort);
    s->setCamera(0);
    auto centreAt = [&](float frame) {
        image.clear(0);
        viewPort.clearZBuffer();
        s->update(frame);
        s->prepare();
        s->render();
        return image.m_pPixels[128 * 512 + 256];
    };
    EXPECT_EQ(centreAt(0), 0xFF0000u);
    EXPECT_EQ(centreAt(5), 0x0000FFu);
    EXPECT_EQ(centreAt(0), 0xFF0000u);
}

} // namespace
