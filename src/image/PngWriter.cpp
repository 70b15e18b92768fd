#include "image/PngWriter.h"

#include <stb_image_write.h>

#include "foundation/FileTools.h"

bool writePngRgb(const char* path, const uint32_t* pixels, int width, int height, int pitchPixels,
                 std::vector<uint8_t>& rgb)
{
    if (!path || !pixels || width <= 0 || height <= 0) return false;
    rgb.resize(size_t(width) * height * 3);
    uint8_t* out = rgb.data();
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + size_t(y) * pitchPixels;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = row[x];
            *out++ = uint8_t(p >> 16);
            *out++ = uint8_t(p >> 8);
            *out++ = uint8_t(p);
        }
    }
    return stbi_write_png(FileTools::resolvePath(path).c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}
