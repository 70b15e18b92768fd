// Image file decoders: BMP and TGA by our own readers, JPG through libjpeg-turbo and PNG through
// libpng. They work on bytes already in memory, never read outside them, and report problems
// through the image that asked for the load (its error() and warning()), once per file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/CImage32.h"

enum class ImageFileType { Unknown, Bmp, Tga, Jpg, Png };

// Limits on what a file may claim. More than kMaxImagePixels pixels (CImage32.h) is refused
// before anything is allocated; any side the formats can hold (up to 65535) is fine within it.
// Files larger than kMaxImageFileBytes are not read.
constexpr size_t kMaxImageFileBytes = size_t(1) << 28;

// By the last three characters of the name, ignoring case: "BMP", "TGA", "JPG", "PNG".
// A name shorter than three characters (or null) is Unknown.
ImageFileType imageFileTypeFromName(const char* name);

// The format with its "%s" replaced by the name: "file %s: truncated" -> "file a.tga: truncated".
std::string formatFileMessage(const char* format, const char* name);

// Decoded pixels: 0x00RRGGBB, top row first, in an owned allocation with zero guard rows.
struct DecodedImage {
    PixelAllocation allocation;
    int width = 0;
    int height = 0;
};

// Decodes `size` bytes of the given type into `out`. `name` is used in the report texts only;
// every report goes through `reporter` (warning() for damaged data, error() for the unsupported
// TGA modes). True when the whole image was decoded. On false, `out` is either empty or holds a
// run-length image cut short by the end of the data (its missing pixels stay 0).
[[nodiscard]] bool decodeImageData(ImageFileType type, const uint8_t* data, size_t size, const char* name,
                     CImage32& reporter, DecodedImage& out);
