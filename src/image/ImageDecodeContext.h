// What the image file decoders share: the bytes with checked little-endian reads, the
// reporting through the image that asked for the load, and the checked output allocation.
#pragma once

#include <cstdint>

#include "image/ImageFileLoader.h"

namespace image_decode {

// Report texts of the decoders ("%s" = the file name).
inline const char* const kTruncated = "file %s: truncated";
inline const char* const kBadDimensions = "file %s: bad dimensions";
inline const char* const kCannotDecode = "file %s: cannot decode";
inline const char* const kCannotAllocate = "file %s: not enough memory";
inline const char* const kDamagedDrawn = "file %s: damaged, drawn as far as it goes";

struct DecodeContext {
    const uint8_t* data;
    size_t size;
    const char* name;
    CImage32& reporter;

    // Report through the image, then hand back `neutral` (the failure idiom).
    bool warning(const char* format, bool neutral) const
    {
        return reporter.warning(formatFileMessage(format, name).c_str(), neutral);
    }
    bool error(const char* format, bool neutral) const
    {
        return reporter.error(formatFileMessage(format, name).c_str(), neutral);
    }
    bool has(uint64_t offset, uint64_t bytes) const { return offset <= size && bytes <= size - offset; }
    // Little-endian reads; the caller checks has() first.
    unsigned u16(size_t offset) const { return data[offset] | unsigned(data[offset + 1]) << 8; }
    uint32_t u32(size_t offset) const { return u16(offset) | uint32_t(u16(offset + 2)) << 16; }
};

inline bool dimensionsAllowed(uint64_t width, uint64_t height)
{
    return width <= 0xFFFFFFFFu && height <= 0xFFFFFFFFu && withinPixelCap(int64_t(width), int64_t(height));
}

// Checks the claimed size and gives `out` a zero-filled image of it; reports when it cannot.
inline bool allocate(const DecodeContext& ctx, uint64_t width, uint64_t height, DecodedImage& out)
{
    if (!dimensionsAllowed(width, height)) return ctx.warning(kBadDimensions, false);
    out.allocation = PixelAllocation::make(int(width), int(height));
    if (!out.allocation.pixels) return ctx.warning(kCannotAllocate, false);
    out.width = int(width);
    out.height = int(height);
    return true;
}

// 0x00RRGGBB from a blue, green, red byte triple.
inline uint32_t pixelFromBgr(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }

// Decoders of their own file (DecodeContext's data is the whole file).
bool decodeBmpLayouts(const DecodeContext& ctx, DecodedImage& out);
bool decodeJpeg(const DecodeContext& ctx, DecodedImage& out);
bool decodePng(const DecodeContext& ctx, DecodedImage& out);

} // namespace image_decode
