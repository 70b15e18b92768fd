// JPEG through libjpeg-turbo and PNG through libpng: maintained decoders, security-patched and
// fuzzed by their makers. The size from the file's header is checked before any pixel is
// decoded, and the pixels go straight into the image's own allocation.
#include <png.h>
#include <turbojpeg.h>

#include <climits>
#include <cstring>
#include <memory>

#include "image/ImageDecodeContext.h"

namespace image_decode {
namespace {


// The alpha byte (or libjpeg-turbo's padding byte) is not part of a loaded picture.
void clearTopBytes(DecodedImage& out)
{
    uint32_t* p = out.allocation.pixels;
    for (uint64_t n = uint64_t(out.width) * uint64_t(out.height); n > 0; --n, ++p) *p &= 0xFFFFFFu;
}

struct TurboJpegFree {
    void operator()(void* handle) const { tjDestroy(handle); }
};

} // namespace

bool decodeJpeg(const DecodeContext& ctx, DecodedImage& out)
{
    std::unique_ptr<void, TurboJpegFree> handle(tjInitDecompress());
    if (!handle || ctx.size > ULONG_MAX) return ctx.warning(kCannotDecode, false);
    int width = 0, height = 0, subsampling = 0, colourSpace = 0;
    auto* data = const_cast<unsigned char*>(ctx.data);  // the 2.1 interface is not const-correct; it only reads
    if (tjDecompressHeader3(handle.get(), data, static_cast<unsigned long>(ctx.size), &width, &height, &subsampling,
                            &colourSpace) != 0)
        return ctx.warning(kCannotDecode, false);
    if (width <= 0 || height <= 0 || !dimensionsAllowed(uint64_t(width), uint64_t(height)))
        return ctx.warning(kBadDimensions, false);
    if (!allocate(ctx, uint64_t(width), uint64_t(height), out)) return false;
    // Blue, green, red, padding: 0x..RRGGBB little-endian. The accurate IDCT and smooth chroma
    // upsampling are the library's defaults; a progressive file with an absurd number of scans
    // (a way to make decoding take minutes) is refused.
    const int made = tjDecompress2(handle.get(), data, static_cast<unsigned long>(ctx.size),
                                   reinterpret_cast<unsigned char*>(out.allocation.pixels), width, width * 4, height,
                                   TJPF_BGRX, TJFLAG_LIMITSCANS);
    if (made != 0 && tjGetErrorCode(handle.get()) != TJERR_WARNING) {
        out = DecodedImage{};
        return ctx.warning(kCannotDecode, false);
    }
    clearTopBytes(out);
    // A warning: damaged data (a file cut short, say) whose readable part was decoded.
    if (made != 0) ctx.warning(kDamagedDrawn, true);
    return true;
}

bool decodePng(const DecodeContext& ctx, DecodedImage& out)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, ctx.data, ctx.size)) return ctx.warning(kCannotDecode, false);
    const uint64_t width = image.width, height = image.height;
    if (!dimensionsAllowed(width, height) || !allocate(ctx, width, height, out)) {
        png_image_free(&image);
        if (!dimensionsAllowed(width, height)) return ctx.warning(kBadDimensions, false);
        return false;
    }
    // Blue, green, red, alpha bytes; the colours as stored (not blended with any background).
    // 16-bit samples are taken as sRGB like 8-bit ones, so they are only scaled down.
    image.format = PNG_FORMAT_BGRA;
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    if (!png_image_finish_read(&image, nullptr, out.allocation.pixels, 0, nullptr)) {
        png_image_free(&image);
        out = DecodedImage{};
        return ctx.warning(kCannotDecode, false);
    }
    clearTopBytes(out);
    return true;
}

} // namespace image_decode
