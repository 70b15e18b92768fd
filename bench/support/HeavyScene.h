// Generated scenes for the 3D benchmarks, written as .l3x text and built into .l3x files with
// tessaline-l3x's own text compiler, in a scratch directory removed at exit.
#pragma once

#include <string>

// The heavy scene: two tori of 49 920 triangles each (99 840 in all), textured and lit by a spot
// and an omni light, each under a bend and an animated noise modifier and turning; a tube of
// 2 048 triangles skinned to two bones, the second swinging. 600 frames, one camera.
constexpr int kHeavyTriangles = 2 * 2 * 160 * 156 + 2 * 32 * 32;
std::string heavySceneText();

// `dummies` dummies (parents in a binary tree: dummy i hangs from dummy (i - 1) / 2) and a tri
// object of `bones` vertices skinned to the first `bones` dummies, one bone a vertex, plus a
// camera.
std::string dummiesSceneText(int dummies, int bones);

// A scratch directory (made on construction, removed with what it holds on destruction); `dir`
// is empty when it could not be made.
struct ScratchDir {
    std::string dir;
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
};

// Builds `text` into the .l3x file `path` (bzip2-compressed when `compress`); false with the
// reason in `error`.
bool buildL3x(const std::string& text, const std::string& path, bool compress, std::string& error);
// A 256x256 24-bit TGA of coloured checks with fine detail, the heavy scene's texture.
bool writeTexture(const std::string& path);
// The file's bytes (empty when unreadable).
std::string readBytes(const std::string& path);

// The heavy scene built in a scratch directory once per process: heavy.l3x (plain),
// heavy-bz2.l3x (compressed) and texture.tga beside them; empty paths on failure, with the
// reason in `error`.
struct HeavySceneFiles {
    ScratchDir scratch;
    std::string plain, compressed, error;
};
const HeavySceneFiles& heavySceneFiles();
