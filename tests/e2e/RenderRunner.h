// Runs the real tessaline-render in a scratch directory and reads back the frames it wrote.
#pragma once

#include <stb_image.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

struct RenderResult {
    int status;
    std::string err;
};

// Runs a shell command inside `dir`; returns its exit status and what it wrote to stderr.
inline RenderResult runCommand(const ScratchDir& dir, const std::string& command)
{
    const std::string errFile = dir.path() + "stderr.txt";
    const std::string cmd = "cd '" + dir.path() + "' && " + command + " 2>'" + errFile + "' >/dev/null";
    const int rc = std::system(cmd.c_str());
    std::ifstream in(errFile);
    std::stringstream ss;
    ss << in.rdbuf();
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ss.str()};
}

inline const std::string kRendererPath = std::string(TL_BINARY_DIR) + "/apps/tessaline-render";

// Runs the renderer with `args` inside `dir`, with the environment assignments `env` if any.
inline RenderResult runRenderer(const ScratchDir& dir, const std::string& args, const std::string& env = "")
{
    return runCommand(dir, (env.empty() ? "" : env + " ") + "'" + kRendererPath + "' " + args);
}

// An RGB frame as 0x00RRGGBB pixels.
struct Frame {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

inline Frame readFrame(const std::string& path)
{
    Frame f;
    unsigned char* data = stbi_load(path.c_str(), &f.width, &f.height, &f.channels, 3);
    if (!data) return f;
    f.pixels.resize(size_t(f.width) * f.height);
    for (size_t i = 0; i < f.pixels.size(); ++i)
        f.pixels[i] = uint32_t(data[3 * i]) << 16 | uint32_t(data[3 * i + 1]) << 8 | data[3 * i + 2];
    stbi_image_free(data);
    return f;
}
