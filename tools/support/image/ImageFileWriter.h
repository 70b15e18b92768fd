// Image file writers for tests, tools and the demo generator: 24-bit BMP and TGA (true colour or
// 8-bit palette, raw or run-length), in the layouts the loaders read (rows bottom first).
#pragma once

#include <cstdint>
#include <vector>

#include "image/CImage32.h"

enum class TgaFormat {
    Raw24,        // image type 2
    Rle24,        // image type 10
    Palette8,     // image type 1, 256-entry palette
    PaletteRle8,  // image type 9, 256-entry palette
};

// Encoders: the whole file in memory; empty when the size is not 1..65535 on each side, or when a
// palette format meets more than 256 colours. Pixels are 0x00RRGGBB, top row first; the top byte
// is not written.
std::vector<uint8_t> encodeTga(const uint32_t* pixels, int width, int height, TgaFormat format);
// A palette TGA from indices (top row first) and up to 256 colours; unused entries are written as 0.
std::vector<uint8_t> encodeTgaIndexed(const uint8_t* indices, int width, int height, const uint32_t* palette,
                                      int nbColours, bool rle);
std::vector<uint8_t> encodeBmp(const uint32_t* pixels, int width, int height);

// Writers: false when there is nothing to write or the file cannot be written.
bool writeImageFile(const char* path, const std::vector<uint8_t>& bytes);
bool writeTga(const char* path, const uint32_t* pixels, int width, int height, TgaFormat format);
bool writeTga(const char* path, const CImage32& image, TgaFormat format);
bool writeBmp(const char* path, const uint32_t* pixels, int width, int height);
bool writeBmp(const char* path, const CImage32& image);
