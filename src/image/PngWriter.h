// Writes 32-bit 0x00RRGGBB pixels as an 8-bit RGB PNG file (the top byte is not written).
#pragma once

#include <cstdint>
#include <vector>

// `rgb` is a scratch buffer reused between calls. False when the file cannot be written.
[[nodiscard]] bool writePngRgb(const char* path, const uint32_t* pixels, int width, int height, int pitchPixels,
                 std::vector<uint8_t>& rgb);
