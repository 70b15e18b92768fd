// What the 3D tests share: scenes made the way users make them (text through the real
// tessaline-l3x) and the builders of their text, small TGA images, a frame of a scene, the camera
// most drawing tests look through, and the modifier tests' preparation and ripple jitter.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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

// A scene of animation length 10 seen through kCamera: `body` (its lists written out), one
// material "m" of `subMaterials`, then `extra`. Through kCamera a world point (x, y, z) lands on
// the 512 x 256 screen at x' = 256 + 256 x / (z + 100), y' = 128 - 256 y / (z + 100).
inline std::string sceneWithBody(const std::string& body, const std::string& subMaterials, const std::string& extra = "")
{
    return std::string("scene {\n animationLength 10\n") + body + kCamera + " materials { material { name \"m\" subMaterials {\n" +
           subMaterials + " } } }\n" + extra + "}\n";
}

// The same scene with `objects` as its tri object list.
inline std::string sceneWithObjects(const std::string& objects, const std::string& subMaterials, const std::string& extra = "")
{
    return sceneWithBody(" triObjects {\n" + objects + " }\n", subMaterials, extra);
}

// A sub-material with its palette on and the shading `values`; `more` follows its shading block.
inline std::string subMaterial(const std::string& values, const std::string& more = "")
{
    return std::string("  subMaterial { shading { values { paletteEnabled 1 ") + values + " } }" + more + " }\n";
}

// A square facing the camera at depth z (world), corners bottom-left, bottom-right, top-right,
// top-left with texture (0 0) (1 0) (1 1) (0 1), split into two faces that run counter-clockwise
// on the screen; both faces take sub-material number `sub`, and `more` is added to the object.
inline std::string quad(const char* name, float x0, float x1, float y0, float y1, float z, int sub,
                        const std::string& more = "")
{
    char v[256];
    std::snprintf(v, sizeof v, "%g %g %g  %g %g %g  %g %g %g  %g %g %g", x0, y0, z, x1, y0, z, x1, y1, z, x0, y1, z);
    return std::string("  triObject { header { name \"") + name + "\" } material 0\n   vertices { positions [ " + v +
           " ] textureVertices [ 0 0  1 0  1 1  0 1 ] }\n   faceData { faces [ 0 1 2  0 2 3 ] textureFaces [ 0 1 2  0 2 3 ]"
           " subMaterials [ " + std::to_string(sub) + " " + std::to_string(sub) + " ] }\n" + more + "  }\n";
}

// The square x 30 .. 70, y -30 .. 30 at z = 0 (screen x 332.8 .. 435.2, y 51.2 .. 204.8), its
// corners bottom-left, bottom-right, top-right, top-left with texture (0 0) (1 0) (1 1) (0 1),
// drawn by `faces`; `more` is added to the object before its vertices.
inline std::string square(const char* name, const char* faces, const std::string& more = "")
{
    return std::string("  triObject { header { name \"") + name + "\" } material 0" + more +
           " vertices { positions [ 30 -30 0  70 -30 0  70 30 0  30 30 0 ] textureVertices [ 0 0  1 0  1 1  0 1 ] }"
           " faceData { faces [ " + faces + " ] textureFaces [ " + faces + " ] } }\n";
}

// A TGA of width x height from its rows top first (each pixel 0xRRGGBB); a TGA holds its bottom
// row first, in blue, green, red order.
inline std::string tga(int width, int height, const std::vector<uint32_t>& topFirst)
{
    std::string out("\0\0\2\0\0\0\0\0\0\0\0\0", 12);
    out += char(width), out += '\0', out += char(height), out += '\0', out += '\x18', out += '\x20';
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = topFirst[size_t(y * width + x)];
            out += char(c & 0xFF), out += char(c >> 8 & 0xFF), out += char(c >> 16 & 0xFF);
        }
    return out;
}

// A 2 x 2 texture written to t.tga: top row red green, bottom row blue white.
inline void writeFourColourTexture(const ScratchDir& dir)
{
    dir.write("t.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) +
                           std::string("\xff\0\0\xff\xff\xff\0\0\xff\0\xff\0", 12));
}

// A frame of a scene through its first camera at time 0, into a width x height image filled with
// `background`. The view port keeps a cleared depth buffer when the scene asks for one (chunk 500,
// 1 when absent), as the script side sets it up, or none whatever the scene asks (Depth::None).
// `beforePrepare`, when given, runs between the update and the prepare.
struct SceneFrame {
    enum class Depth { AsTheSceneAsks, None };
    CImage32Buffered image;
    ViewPort viewPort;
    explicit SceneFrame(int width = 512, int height = 256, uint32_t background = 0) : image(width, height)
    {
        if (background) std::fill(image.m_pPixels, image.m_pPixels + image.pixelCount(), background);
    }
    void render(S3DScene& s, Depth depth = Depth::AsTheSceneAsks, const std::function<void(S3DScene&)>& beforePrepare = {})
    {
        viewPort.m_ownsZBuffer = depth == Depth::AsTheSceneAsks && s.m_depthBuffer != 0;
        viewPort.setScreen(&image);
        viewPort.clearZBuffer();
        s.setViewPort(&viewPort);
        s.setCamera(0);
        s.update(0);
        if (beforePrepare) beforePrepare(s);
        s.prepare();
        s.render();
    }
    uint32_t at(int x, int y) const { return image.m_pPixels[y * image.getWidth() + x]; }
    // How many pixels are not black.
    int lit() const
    {
        return int(std::count_if(image.m_pPixels, image.m_pPixels + image.pixelCount(), [](uint32_t p) { return p != 0; }));
    }
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
