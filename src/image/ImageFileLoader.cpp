#include "image/ImageFileLoader.h"

#include <stb_image.h>

#include <climits>
#include <cstring>

// Report texts of the decoders ("%s" = the file name).
static const char* const kTruncated = "file %s: truncated";
static const char* const kBadDimensions = "file %s: bad dimensions";
static const char* const kModeNotSupported = "file %s: mode not supported";
static const char* const kTypeDepthMismatch = "file %s: image type and depth do not match";
static const char* const kCannotDecode = "file %s: cannot decode";
static const char* const kCannotAllocate = "file %s: not enough memory";

std::string formatFileMessage(const char* format, const char* name)
{
    std::string text;
    const char* at = std::strstr(format, "%s");
    if (!at) return format;
    text.assign(format, at);
    text += name ? name : "(null)";
    text += at + 2;
    return text;
}

ImageFileType imageFileTypeFromName(const char* name)
{
    if (!name) return ImageFileType::Unknown;
    const size_t length = std::strlen(name);
    if (length < 3) return ImageFileType::Unknown;
    const char* ext = name + length - 3;
    auto is = [ext](const char* upper) {
        for (int i = 0; i < 3; ++i) {
            char c = ext[i];
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
            if (c != upper[i]) return false;
        }
        return true;
    };
    // Tried in this order; the first match wins.
    if (is("BMP")) return ImageFileType::Bmp;
    if (is("TGA")) return ImageFileType::Tga;
    if (is("JPG")) return ImageFileType::Jpg;
    if (is("PNG")) return ImageFileType::Png;
    return ImageFileType::Unknown;
}

namespace {

// Everything a decoder needs to report and to size its output.
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
    unsigned u16(size_t offset) const { return data[offset] | unsigned(data[offset + 1]) << 8; }
    uint32_t u32(size_t offset) const { return u16(offset) | uint32_t(u16(offset + 2)) << 16; }
};

bool dimensionsAllowed(uint64_t width, uint64_t height)
{
    // Sides come from 16-bit fields (BMP, TGA) or stb's checked header, so the product cannot wrap.
    return width > 0 && height > 0 && width * height <= uint64_t(kMaxImagePixels);
}

// Checks the claimed size and gives `out` a zero-filled image of it; reports when it cannot.
bool allocate(const DecodeContext& ctx, uint64_t width, uint64_t height, DecodedImage& out)
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

// Stores pixels in file order, bottom row first: the k-th pixel goes to column k mod width of
// row height - 1 - k / width.
class BottomUpWriter {
public:
    explicit BottomUpWriter(DecodedImage& image)
        : m_pixels(image.allocation.pixels), m_width(image.width), m_row(image.height - 1),
          m_remaining(uint64_t(image.width) * image.height)
    {
    }
    uint64_t remaining() const { return m_remaining; }
    // Stores `count` copies of the pixel; the caller keeps count <= remaining().
    void put(uint32_t pixel, uint64_t count = 1)
    {
        m_remaining -= count;
        while (count--) {
            m_pixels[size_t(m_row) * m_width + m_column] = pixel;
            if (++m_column == m_width) {
                m_column = 0;
                --m_row;
            }
        }
    }

private:
    uint32_t* m_pixels;
    int m_width;
    int m_row;
    int m_column = 0;
    uint64_t m_remaining;
};

// ---------------------------------------------------------------------------------------------
// BMP: 54 header bytes of which only the width (18) and height (22) are used, low 16 bits each;
// then the rows bottom first, each width x 3 bytes + (width mod 4) padding.

bool decodeBmp(const DecodeContext& ctx, DecodedImage& out)
{
    constexpr size_t kHeaderBytes = 54;
    if (!ctx.has(0, kHeaderBytes)) return ctx.warning(kTruncated, false);
    const uint64_t width = ctx.u32(18) & 0xFFFF;
    const uint64_t height = ctx.u32(22) & 0xFFFF;
    if (!dimensionsAllowed(width, height)) return ctx.warning(kBadDimensions, false);
    // 3 w + (w mod 4) is the row rounded up to a multiple of 4 bytes.
    const uint64_t rowBytes = width * 3 + width % 4;
    if (!ctx.has(kHeaderBytes, rowBytes * height)) return ctx.warning(kTruncated, false);
    if (!allocate(ctx, width, height, out)) return false;
    if (width & 1) ctx.reporter.warning("width uneven");

    BottomUpWriter writer(out);
    const uint8_t* row = ctx.data + kHeaderBytes;
    for (uint64_t y = 0; y < height; ++y, row += rowBytes)
        for (uint64_t x = 0; x < width; ++x) writer.put(pixelFromBgr(row + 3 * x));
    return true;
}

// ---------------------------------------------------------------------------------------------
// TGA: 18-byte header, identifier, then a 768-byte palette (depth 8) or a skipped colour map
// (depth 24), then raw or run-length pixels, bottom row first whatever the descriptor says.

// Reads one pixel of the file: a palette index (depth 8) or a blue-green-red triple (depth 24).
template <int Bytes>
struct TgaPixelReader {
    const uint32_t* palette;
    uint32_t operator()(const uint8_t* p) const
    {
        if constexpr (Bytes == 1)
            return palette[*p];
        else
            return pixelFromBgr(p);
    }
};

template <int Bytes>
bool decodeTgaRaw(const DecodeContext& ctx, size_t pos, TgaPixelReader<Bytes> read, DecodedImage& out)
{
    BottomUpWriter writer(out);
    const uint8_t* p = ctx.data + pos;
    for (uint64_t n = writer.remaining(); n > 0; --n, p += Bytes) writer.put(read(p));
    return true;
}

// Packets: a count byte c; c >= 128: one pixel repeated c - 127 times; c < 128: c + 1 literal
// pixels. Decoding stops at the last pixel of the image, also inside a packet.
template <int Bytes>
bool decodeTgaRle(const DecodeContext& ctx, size_t pos, TgaPixelReader<Bytes> read, DecodedImage& out)
{
    BottomUpWriter writer(out);
    while (writer.remaining() > 0 && pos < ctx.size) {
        const unsigned count = ctx.data[pos++];
        const bool run = count >= 128;
        uint64_t n = run ? count - 127 : count + 1;
        if (n > writer.remaining()) n = writer.remaining();
        // A run holds one pixel, a literal packet n of them; stop where the data ends.
        const uint64_t wanted = run ? 1 : n;
        const uint64_t present = (ctx.size - pos) / Bytes;
        if (run) {
            if (present == 0) break;
            writer.put(read(ctx.data + pos), n);
        } else {
            for (uint64_t i = 0; i < n && i < present; ++i) writer.put(read(ctx.data + pos + i * Bytes));
        }
        if (present < wanted) break;
        pos += size_t(wanted) * Bytes;
    }
    if (writer.remaining() == 0) return true;
    return ctx.warning(kTruncated, false);
}

bool decodeTga(const DecodeContext& ctx, DecodedImage& out)
{
    constexpr size_t kHeaderBytes = 18;
    if (!ctx.has(0, kHeaderBytes)) return ctx.warning(kTruncated, false);
    const unsigned idLength = ctx.data[0];
    const unsigned imageType = ctx.data[2];
    const unsigned colourMapLength = ctx.u16(5);
    const uint64_t width = ctx.u16(12);
    const uint64_t height = ctx.u16(14);
    const unsigned depth = ctx.data[16];

    if ((depth != 8 && depth != 24) ||
        (imageType != 1 && imageType != 2 && imageType != 9 && imageType != 10))
        return ctx.error(kModeNotSupported, false);
    const bool colourMapped = imageType == 1 || imageType == 9;
    if (colourMapped != (depth == 8)) return ctx.warning(kTypeDepthMismatch, false);
    if (!dimensionsAllowed(width, height)) return ctx.warning(kBadDimensions, false);

    // Depth 8 always reads 256 palette entries, whatever the colour map length says; depth 24
    // skips colour map length x 3 bytes.
    uint32_t palette[256];
    size_t pos = kHeaderBytes + idLength;
    const uint64_t tableBytes = depth == 8 ? 768 : uint64_t(colourMapLength) * 3;
    if (!ctx.has(pos, tableBytes)) return ctx.warning(kTruncated, false);
    if (depth == 8)
        for (int i = 0; i < 256; ++i) palette[i] = pixelFromBgr(ctx.data + pos + 3 * i);
    pos += tableBytes;

    // Refuse claims the data cannot hold before allocating: raw data needs every pixel, a
    // run-length packet of 1 + bytes-per-pixel bytes gives at most 128 pixels.
    const unsigned bytesPerPixel = depth / 8;
    const uint64_t available = ctx.size - pos;
    const uint64_t pixels = width * height;
    const bool rle = imageType >= 9;
    const uint64_t packets = (available + bytesPerPixel) / (1 + bytesPerPixel);
    if (rle ? pixels > packets * 128 : pixels * bytesPerPixel > available) return ctx.warning(kTruncated, false);
    if (!allocate(ctx, width, height, out)) return false;

    if (depth == 8) {
        const TgaPixelReader<1> read{palette};
        return rle ? decodeTgaRle(ctx, pos, read, out) : decodeTgaRaw(ctx, pos, read, out);
    }
    const TgaPixelReader<3> read{nullptr};
    return rle ? decodeTgaRle(ctx, pos, read, out) : decodeTgaRaw(ctx, pos, read, out);
}

// ---------------------------------------------------------------------------------------------
// JPG and PNG through stb_image. Only data with a JPEG or PNG signature goes to it (either
// extension takes either, as files are often misnamed), and the size from the headers is
// checked before the pixels are decoded.

bool looksLikeJpegOrPng(const DecodeContext& ctx)
{
    static const uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return (ctx.has(0, sizeof kJpeg) && std::memcmp(ctx.data, kJpeg, sizeof kJpeg) == 0) ||
           (ctx.has(0, sizeof kPng) && std::memcmp(ctx.data, kPng, sizeof kPng) == 0);
}

// Whether every chunk of a PNG lies inside the data. The decoder takes a chunk's stated length
// on trust and grows its buffer to it, so a few bytes claiming a gigabyte would allocate one.
bool pngChunksInside(const DecodeContext& ctx)
{
    size_t at = 8;
    while (ctx.has(at, 8)) {
        const uint8_t* c = ctx.data + at;
        const uint64_t length = uint64_t(c[0]) << 24 | uint64_t(c[1]) << 16 | uint64_t(c[2]) << 8 | c[3];
        if (length > ctx.size - at - 8 || ctx.size - at - 8 - length < 4) return false;
        if (std::memcmp(c + 4, "IEND", 4) == 0) return true;
        at += size_t(length) + 12;
    }
    return true;  // a cut-short file is the decoder's to refuse
}

struct StbFree {
    void operator()(unsigned char* p) const { stbi_image_free(p); }
};

bool decodeWithStb(const DecodeContext& ctx, DecodedImage& out)
{
    if (ctx.size > size_t(INT_MAX) || !looksLikeJpegOrPng(ctx)) return ctx.warning(kCannotDecode, false);
    if (ctx.data[0] == 0x89 && !pngChunksInside(ctx)) return ctx.warning(kCannotDecode, false);
    const int length = int(ctx.size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(ctx.data, length, &width, &height, &channels)) return ctx.warning(kCannotDecode, false);
    if (width <= 0 || height <= 0 || !dimensionsAllowed(uint64_t(width), uint64_t(height)))
        return ctx.warning(kBadDimensions, false);
    std::unique_ptr<unsigned char, StbFree> rgb(
        stbi_load_from_memory(ctx.data, length, &width, &height, &channels, 3));
    if (!rgb) return ctx.warning(kCannotDecode, false);
    if (!allocate(ctx, uint64_t(width), uint64_t(height), out)) return false;
    // stb gives red, green, blue bytes, top row first.
    const unsigned char* p = rgb.get();
    uint32_t* dst = out.allocation.pixels;
    for (int64_t n = int64_t(width) * height; n > 0; --n, p += 3)
        *dst++ = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    return true;
}

}  // namespace

bool decodeImageData(ImageFileType type, const uint8_t* data, size_t size, const char* name,
                     CImage32& reporter, DecodedImage& out)
{
    out = DecodedImage{};
    static const uint8_t kNoData = 0;
    const DecodeContext ctx{data ? data : &kNoData, data ? size : 0, name, reporter};
    switch (type) {
    case ImageFileType::Bmp: return decodeBmp(ctx, out);
    case ImageFileType::Tga: return decodeTga(ctx, out);
    case ImageFileType::Jpg:
    case ImageFileType::Png: return decodeWithStb(ctx, out);
    case ImageFileType::Unknown: break;
    }
    return false;
}
