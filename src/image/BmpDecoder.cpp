// Every BMP layout besides the uncompressed 24-bit one with the 40-byte header, which
// ImageFileLoader reads as it always has: the core (OS/2 1.x) and OS/2 2.x headers, the 40-byte
// header with bit fields after it, the V2 to V5 headers; 1, 2, 4, 8, 16, 24 and 32 bits a pixel;
// palettes; RLE8 and RLE4; bottom-up and top-down rows; a JPEG or PNG file inside. A header that contradicts itself or the
// file refuses the file; damage that leaves the picture readable draws it, with one report.
#include <algorithm>
#include <bit>

#include "image/ImageDecodeContext.h"

namespace image_decode {
namespace {

const char* const kDamagedHeader = "file %s: damaged BMP header";

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5, kAlphaBitFields = 6 };

// An RLE file may claim at most this many pixels per byte of its data: runs give at most 255
// pixels per two bytes; more than that only comes from a header that lies (a few bytes asking
// for a gigapixel picture).
constexpr uint64_t kMaxRlePixelsPerByte = 1024;
// Densities beyond 10^6 pixels per metre (25 400 dpi), or negative, are not from a real file.
constexpr int32_t kMaxDensity = 1000000;

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;  // mask >> shift: the channel's largest value (0: the channel is absent)
    // v = (pixel & mask) >> shift, scaled to 0..255 rounded to nearest, (v * 255 + max / 2) / max,
    // whatever the channel's width (wider ones too: their files were scaled up that way).
    uint32_t operator()(uint32_t pixel) const
    {
        if (max == 0) return 0;
        const uint64_t v = (pixel & mask) >> shift;
        return uint32_t((v * 510 + max) / (2 * uint64_t(max)));
    }
};

// False when the mask's bits are not contiguous.
bool makeChannel(uint32_t mask, Channel& c)
{
    c = Channel{};
    if (mask == 0) return true;
    c.mask = mask;
    c.shift = std::countr_zero(mask);
    c.max = mask >> c.shift;
    return (c.max & (c.max + 1)) == 0;
}

struct BmpLayout {
    uint32_t headerSize = 0;
    uint64_t width = 0;
    uint64_t height = 0;
    bool topDown = false;
    unsigned bits = 0;
    uint32_t compression = kRgb;
    Channel red, green, blue;
    uint32_t palette[256] = {};
    uint64_t paletteCount = 0;  // entries present (at most 256)
    uint64_t dataOffset = 0;
    bool damaged = false;       // readable, but the file is not what it says
};

// Reads and checks the headers and the palette; reports and returns false when the file cannot
// be decoded.
bool readLayout(const DecodeContext& ctx, BmpLayout& b)
{
    if (!ctx.has(0, 18)) return ctx.warning(kTruncated, false);
    if (ctx.data[0] != 'B' || ctx.data[1] != 'M') return ctx.warning(kCannotDecode, false);
    b.headerSize = ctx.u32(14);
    const uint32_t hs = b.headerSize;
    const bool core = hs == 12;
    // OS/2 2.x headers may stop anywhere from 16 to 64 bytes; 40, 52 and 56 are Windows'.
    const bool os2 = hs >= 16 && hs <= 64 && hs != 40 && hs != 52 && hs != 56;
    if (!core && !os2 && hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124)
        return ctx.warning(kDamagedHeader, false);
    if (!ctx.has(14, hs)) return ctx.warning(kTruncated, false);
    // A field beyond the end of a short header reads as 0.
    auto field32 = [&](size_t at) { return at + 4 <= 14 + size_t(hs) ? ctx.u32(at) : 0u; };

    int64_t width = 0, height = 0;
    unsigned planes = 0;
    int32_t densityX = 0, densityY = 0;
    uint32_t colours = 0, imageSize = 0;
    if (core) {
        width = ctx.u16(18);
        height = ctx.u16(20);
        planes = ctx.u16(22);
        b.bits = ctx.u16(24);
    } else {
        width = int32_t(ctx.u32(18));
        height = int32_t(ctx.u32(22));
        planes = ctx.u16(26);
        b.bits = ctx.u16(28);
        b.compression = field32(30);
        imageSize = field32(34);
        densityX = int32_t(field32(38));
        densityY = int32_t(field32(42));
        colours = field32(46);
    }
    if (planes != 1) return ctx.warning(kDamagedHeader, false);
    b.topDown = height < 0;
    if (width <= 0 || height == 0) return ctx.warning(kBadDimensions, false);
    b.width = uint64_t(width);
    b.height = uint64_t(height < 0 ? -height : height);

    // Bit depth and compression: only the pairs that exist. OS/2's Huffman and RLE24 and 64-bit
    // pixels are layouts we do not draw.
    const unsigned bits = b.bits;
    const uint32_t c = b.compression;
    const bool knownBits = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    // OS/2's compressions 3 and 4 are Huffman and RLE24, not bit fields and JPEG.
    if (bits == 64 || (os2 && c >= 3)) return ctx.warning(kCannotDecode, false);
    if (c == kJpeg || c == kPng) {
        // A whole JPEG or PNG file where the pixels would be, with the picture's size.
        b.compression = c;
        b.dataOffset = ctx.u32(10);
        return true;
    }
    if (!knownBits) return ctx.warning(kDamagedHeader, false);
    const bool bitFields = c == kBitFields || c == kAlphaBitFields;
    const bool valid = c == kRgb || (c == kRle8 && bits == 8) || (c == kRle4 && bits == 4) ||
                       (bitFields && (bits == 16 || bits == 32));
    if (!valid) return ctx.warning(kDamagedHeader, false);
    if (b.topDown && (c == kRle8 || c == kRle4)) return ctx.warning(kDamagedHeader, false);

    // Bit-field masks: in the V2 and later headers, else right after the 40-byte header.
    size_t afterHeader = 14 + size_t(hs);
    uint32_t masks[3] = {0, 0, 0};
    if (bitFields) {
        if (hs == 40) {
            const size_t maskBytes = c == kAlphaBitFields ? 16 : 12;
            if (!ctx.has(afterHeader, maskBytes)) return ctx.warning(kTruncated, false);
            afterHeader += maskBytes;
        }
        for (int i = 0; i < 3; ++i) masks[i] = ctx.u32(54 + 4 * size_t(i));
        if (bits == 16 && (masks[0] | masks[1] | masks[2]) > 0xFFFF) return ctx.warning(kDamagedHeader, false);
    } else if (bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;  // 5 bits each, the top bit unused
    } else if (bits == 32) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;  // the top byte unused
    }
    if (!makeChannel(masks[0], b.red) || !makeChannel(masks[1], b.green) || !makeChannel(masks[2], b.blue))
        return ctx.warning(kDamagedHeader, false);

    // The palette: 3-byte entries after a core header, 4-byte ones otherwise. A core file's
    // palette runs up to the pixels; the others say how many entries they hold (0: all of them).
    const uint64_t fileOffset = ctx.u32(10);
    uint64_t paletteEnd = afterHeader;
    if (bits <= 8) {
        const uint64_t full = uint64_t(1) << bits;
        const uint64_t entryBytes = core ? 3 : 4;
        uint64_t claimed = colours != 0 ? colours : full;
        if (core) claimed = fileOffset > afterHeader ? std::min(full, (fileOffset - afterHeader) / 3) : full;
        if (!ctx.has(afterHeader, claimed * entryBytes)) {
            return ctx.warning(claimed > full ? kDamagedHeader : kTruncated, false);
        }
        b.paletteCount = std::min(claimed, full);
        for (uint64_t i = 0; i < b.paletteCount; ++i)
            b.palette[i] = pixelFromBgr(ctx.data + afterHeader + i * entryBytes);
        paletteEnd = afterHeader + claimed * entryBytes;
    }
    // Pixels start where the file header says; writers that leave it 0 mean "after the palette".
    b.dataOffset = fileOffset == 0 ? paletteEnd : fileOffset;
    if (b.dataOffset < paletteEnd) return ctx.warning(kDamagedHeader, false);
    if (b.dataOffset > ctx.size) return ctx.warning(kTruncated, false);

    // Fields nothing here needs, yet a file that lies in them is damaged.
    const uint64_t available = ctx.size - b.dataOffset;
    if (ctx.u32(2) > ctx.size || imageSize > available || densityX < 0 || densityY < 0 || densityX > kMaxDensity ||
        densityY > kMaxDensity)
        b.damaged = true;
    return true;
}

// Image row of the k-th row in the file.
inline uint32_t* imageRow(const BmpLayout& b, DecodedImage& out, uint64_t k)
{
    const uint64_t row = b.topDown ? k : b.height - 1 - k;
    return out.allocation.pixels + row * uint64_t(out.width);
}

// One file row of palette indices of `Bits` bits, the first in the high bits of each byte.
template <unsigned Bits>
void indexedRow(const uint8_t* src, BmpLayout& b, uint32_t* dst, uint64_t width)
{
    constexpr unsigned kPerByte = 8 / Bits;
    constexpr unsigned kMask = (1u << Bits) - 1;
    for (uint64_t x = 0; x < width; ++x) {
        const unsigned shift = 8 - Bits * (1 + unsigned(x % kPerByte));
        const unsigned index = (src[x / kPerByte] >> shift) & kMask;
        if (index < b.paletteCount)
            dst[x] = b.palette[index];
        else
            b.damaged = true;  // an index beyond the palette stays black
    }
}

void bitFieldRow16(const uint8_t* src, BmpLayout& b, uint32_t* dst, uint64_t width)
{
    for (uint64_t x = 0; x < width; ++x) {
        const uint32_t p = src[2 * x] | uint32_t(src[2 * x + 1]) << 8;
        dst[x] = b.red(p) << 16 | b.green(p) << 8 | b.blue(p);
    }
}

void bitFieldRow32(const uint8_t* src, BmpLayout& b, uint32_t* dst, uint64_t width)
{
    for (uint64_t x = 0; x < width; ++x) {
        const uint8_t* s = src + 4 * x;
        const uint32_t p = s[0] | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24;
        dst[x] = b.red(p) << 16 | b.green(p) << 8 | b.blue(p);
    }
}

void bgrRow(const uint8_t* src, BmpLayout&, uint32_t* dst, uint64_t width)
{
    for (uint64_t x = 0; x < width; ++x) dst[x] = pixelFromBgr(src + 3 * x);
}

bool decodeRows(const DecodeContext& ctx, BmpLayout& b, DecodedImage& out)
{
    // Rows are padded to 4 bytes; the last row's padding may be missing.
    const uint64_t rowBytes = (b.width * b.bits + 7) / 8;
    const uint64_t stride = (b.width * b.bits + 31) / 32 * 4;
    if (!dimensionsAllowed(b.width, b.height)) return ctx.warning(kBadDimensions, false);
    if (!ctx.has(b.dataOffset, stride * (b.height - 1) + rowBytes)) return ctx.warning(kTruncated, false);
    if (!allocate(ctx, b.width, b.height, out)) return false;
    using RowDecoder = void (*)(const uint8_t*, BmpLayout&, uint32_t*, uint64_t);
    RowDecoder decodeRow = nullptr;
    switch (b.bits) {
    case 1: decodeRow = indexedRow<1>; break;
    case 2: decodeRow = indexedRow<2>; break;
    case 4: decodeRow = indexedRow<4>; break;
    case 8: decodeRow = indexedRow<8>; break;
    case 16: decodeRow = bitFieldRow16; break;
    case 24: decodeRow = bgrRow; break;
    default: decodeRow = bitFieldRow32; break;
    }
    for (uint64_t k = 0; k < b.height; ++k)
        decodeRow(ctx.data + b.dataOffset + k * stride, b, imageRow(b, out, k), b.width);
    return true;
}

// RLE8 and RLE4, bottom row first. Pairs (count, value) give count pixels of the value (RLE4:
// its two nibbles in turn); (0, 0) ends a row, (0, 1) the picture, (0, 2, dx, dy) moves ahead,
// (0, n >= 3) is followed by n literal pixels padded to an even number of bytes. Pixels never
// written (skipped by a move or an early row end) show the palette's first colour, as other
// decoders give them. Runs past a row's end or the top are dropped and reported.
bool decodeRle(const DecodeContext& ctx, BmpLayout& b, DecodedImage& out)
{
    const bool rle4 = b.compression == kRle4;
    const uint64_t available = ctx.size - b.dataOffset;
    if (!dimensionsAllowed(b.width, b.height)) return ctx.warning(kBadDimensions, false);
    if (b.width * b.height > (available + 1) * kMaxRlePixelsPerByte) return ctx.warning(kTruncated, false);
    if (!allocate(ctx, b.width, b.height, out)) return false;
    if (b.paletteCount > 0) std::fill_n(out.allocation.pixels, b.width * b.height, b.palette[0]);
    const uint8_t* d = ctx.data + b.dataOffset;
    uint64_t x = 0, y = 0, at = 0;
    auto put = [&](unsigned index) {
        if (x < b.width && y < b.height && index < b.paletteCount)
            imageRow(b, out, y)[x] = b.palette[index];
        else
            b.damaged = true;
        ++x;
    };
    bool ended = false;
    while (!ended && at + 2 <= available) {
        const unsigned count = d[at], value = d[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) put(rle4 ? (i & 1 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            ended = true;
        } else if (value == 2) {
            if (at + 2 > available) break;
            x += d[at];
            y += d[at + 1];
            at += 2;
        } else {
            const uint64_t bytes = rle4 ? (value + 1) / 2 : value;
            if (at + bytes > available) break;
            for (unsigned i = 0; i < value; ++i)
                put(rle4 ? (i & 1 ? d[at + i / 2] & 15 : d[at + i / 2] >> 4) : d[at + i]);
            at += bytes + (bytes & 1);
        }
    }
    if (!ended) return ctx.warning(kTruncated, false);
    return true;
}

} // namespace

bool decodeBmpLayouts(const DecodeContext& ctx, DecodedImage& out)
{
    BmpLayout b;
    if (!readLayout(ctx, b)) return false;
    if (b.compression == kJpeg || b.compression == kPng) {
        if (b.dataOffset >= ctx.size) return ctx.warning(kTruncated, false);
        const DecodeContext inner{ctx.data + b.dataOffset, static_cast<size_t>(ctx.size - b.dataOffset), ctx.name, ctx.reporter};
        const bool drawn = b.compression == kJpeg ? decodeJpeg(inner, out) : decodePng(inner, out);
        if (drawn && (uint64_t(out.width) != b.width || uint64_t(out.height) != b.height)) {
            out = DecodedImage{};
            return ctx.warning(kDamagedHeader, false);
        }
        return drawn;
    }
    const bool rle = b.compression == kRle8 || b.compression == kRle4;
    if (!(rle ? decodeRle(ctx, b, out) : decodeRows(ctx, b, out))) return false;
    if (b.damaged) ctx.warning(kDamagedDrawn, true);
    return true;
}

} // namespace image_decode
