// Scenes for the 3D tests, made the way users make them: text through the real tessaline-l3x.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "image/CImage32.h"
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
