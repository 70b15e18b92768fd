#include "image/ImageFileLoader.h"

#include <cstring>

#include "image/ImageDecodeContext.h"

using namespace image_decode;

// Report texts of the TGA reader ("%s" = the file name).
static const char* const kModeNotSupported = "file %s: mode not supported";
static const char* const kTypeDepthMismatch = "file %s: image type and depth do not match";

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
// BMP. The uncompressed 24-bit layout with the 40-byte header and the rows right after it (54
// header bytes) is read as it always was: only the width (18) and height (22) are used, low 16
// bits each; then the rows bottom first, each width x 3 bytes + (width mod 4) padding. So is a
// file without the "BM" signature, which that reading never looked at. Every other layout (a
// "BM" file with another header, depth, compression, palette or row order) goes to the full
// BMP decoder.

bool readsAsPlain24Bit(const DecodeContext& ctx)
{
    if (!ctx.has(0, 54) || ctx.data[0] != 'B' || ctx.data[1] != 'M') return true;
    const int32_t width = int32_t(ctx.u32(18)), height = int32_t(ctx.u32(22));
    return ctx.u32(14) == 40 && ctx.u16(28) == 24 && ctx.u32(30) == 0 && ctx.u32(10) == 54 && width > 0 &&
           width <= 0xFFFF && height > 0 && height <= 0xFFFF;
}

bool decodeBmp(const DecodeContext& ctx, DecodedImage& out)
{
    constexpr size_t kHeaderBytes = 54;
    if (!readsAsPlain24Bit(ctx)) return decodeBmpLayouts(ctx, out);
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
// JPG and PNG: only data with a JPEG or PNG signature goes to a decoder, the one the signature
// names (either extension takes either, as files are often misnamed).

bool isJpeg(const DecodeContext& ctx)
{
    static const uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};
    return ctx.has(0, sizeof kJpeg) && std::memcmp(ctx.data, kJpeg, sizeof kJpeg) == 0;
}

bool isPng(const DecodeContext& ctx)
{
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return ctx.has(0, sizeof kPng) && std::memcmp(ctx.data, kPng, sizeof kPng) == 0;
}

// Whether every chunk of a PNG lies inside the data: a chunk's stated length is not trusted to
// size anything.
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

bool decodeJpegOrPng(const DecodeContext& ctx, DecodedImage& out)
{
    if (isJpeg(ctx)) return decodeJpeg(ctx, out);
    if (isPng(ctx) && pngChunksInside(ctx)) return decodePng(ctx, out);
    return ctx.warning(kCannotDecode, false);
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
    case ImageFileType::Png: return decodeJpegOrPng(ctx, out);
    case ImageFileType::Unknown: break;
    }
    return false;
}
