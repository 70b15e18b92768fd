// What the 3D tests share: scenes made the way users make them (text through the real
// tessaline-l3x), a frame of a scene, the camera most drawing tests look through, and the
// modifier tests' preparation and ripple jitter.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "foundation/Point3D.h"
#include "image/CImage32.h"
#include "s3d/S3DModifierKinds.h"
#include "s3d/S3DScene.h"
#include "support/TestSupport.h"

inline const std::string kL3xTool = std::string(TL_BINARY_DIR) + "/tools/tessaline-l3x";

// Runs the tool with `args` inside `dir`; its exit status, with stdout kept in `out`.
inline int runL3xTool(const ScratchDir& dir, const std::string& args, std::string* out = nullptr)
{
    const std::string outFile = dir.path() + "tool-out.txt";
    const std::string cmd = "cd '" + dir.path() + "' && '" + kL3xTool + "' " + args + " >'" + outFile + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    if (out) {
        std::ifstream in(outFile);
        std::stringstream ss;
        ss << in.rdbuf();
        *out = ss.str();
    }
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// Builds `text` into scene.l3x inside `dir` and loads it.
inline std::unique_ptr<S3DScene> sceneFromText(const ScratchDir& dir, const std::string& text)
{
    dir.write("scene.txt", text);
    std::string out;
    EXPECT_EQ(runL3xTool(dir, "scene.txt scene.l3x", &out), 0) << out;
    auto scene = std::make_unique<S3DScene>();
    scene->load((dir.path() + "scene.l3x").c_str());
    return scene;
}

// The caption of the scene's warnings.
inline const char* const kCaption = "S3DScene warning:";

// A camera at (0, 0, -100) looking at the origin along +z.
inline const char* const kCamera = " cameras { camera { header { name \"c\" node { values { position 0 0 -100 } } }"
                                   " target { name \"t\" node { values { position 0 0 0 } } } } }\n";

// A minimal camera list, for scenes whose update and prepare must run.
inline const char* const kOneCamera = "  cameras { camera { header { name \"cam\" } } }\n";

// A 512 x 256 frame of a scene through its first camera at time 0, with a cleared depth buffer
// when the scene asks for one.
struct SceneFrame {
    CImage32Buffered image{512, 256};
    ViewPort viewPort;
    void render(S3DScene& s)
    {
        viewPort.m_ownsZBuffer = s.m_depthBuffer != 0;
        viewPort.setScreen(&image);
        viewPort.clearZBuffer();
        s.setViewPort(&viewPort);
        s.setCamera(0);
        s.update(0);
        s.prepare();
        s.render();
    }
    uint32_t at(int x, int y) const { return image.m_pPixels[y * 512 + x]; }
};

constexpr float kPi = 3.14159265f;

// Bounds set as the stack sets them for a bounding-box modifier, then prepared.
template <class M>
void prepareWithBounds(M& m, Point3D lo, Point3D hi)
{
    m.m_boundsMin = lo;
    m.m_boundsMax = hi;
    m.prepare();
}

// The world-space ripple of the two-point tests: amplitude 1, wave length 8, decay 0.5.
inline void prepareTwoPointRipple(S3DModifierRipple& ripple)
{
    ripple.m_worldSpace = true;
    ripple.amplitude() = 1.0f;
    ripple.waveLength() = 8.0f;
    ripple.decay() = 0.5f;
    ripple.prepare();
}

// The seeded generator's next value (state × 214013 + 2531011, bits 16 … 30), mod 10000, × 0.0002.
struct RippleJitter {
    uint32_t state;
    float operator()()
    {
        state = state * 214013u + 2531011u;
        return float(((state >> 16) & 0x7FFF) % 10000) * 0.0002f;
    }
};
