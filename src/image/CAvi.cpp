#include "image/CAvi.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "foundation/Report.h"
#include "image/ImageFileLoader.h"
#include "platform/Platform.h"

namespace {
constexpr const char* kCaption = "CAvi error";

// Bottom-up, padded 24-bit rows (blue, green, red) into the image, top row first, top byte 0.
void copyRows(const uint8_t* rows, CImage32& image)
{
    const int w = image.m_width, h = image.m_height;
    const int64_t stride = videoRowBytes(w);
    for (int r = 0; r < h; ++r) {
        const uint8_t* s = rows + stride * r;
        uint32_t* d = image.m_pPixels + int64_t(h - 1 - r) * w;
        for (int x = 0; x < w; ++x, s += 3) d[x] = uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0];
    }
}
} // namespace

void CAvi::fail(const char* text)
{
    m_frames.clear();
    reportError(kCaption, text);
}

CAvi::CAvi(const char* fileName, int64_t maxBytes) { decodeAll(fileName, maxBytes); }

void CAvi::decodeAll(const char* fileName, int64_t maxBytes)
{
    const std::string name = fileName ? fileName : "";
    std::unique_ptr<VideoDecoder> decoder;
    if (platform().openVideo) decoder = platform().openVideo(name);
    if (!decoder) return fail(("can't open file " + name).c_str());

    const int64_t count = decoder->frameCount();
    if (count <= 0) return fail("no frame");
    const int w = decoder->width(), h = decoder->height();
    // Every frame is an owned image with two guard rows above and below; the file's claim is
    // checked before anything is decoded.
    const int64_t framePixels = w > 0 && h > 0 ? int64_t(w) * (int64_t(h) + 4) : 0;
    const int64_t frameBytes = framePixels <= kMaxImagePixels ? framePixels * 4 : 0;
    if (frameBytes <= 0 || frameBytes > maxBytes || count > maxBytes / frameBytes) {
        char text[128];
        std::snprintf(text, sizeof text, "too large: %lld frames of %dx%d", static_cast<long long>(count), w, h);
        return fail(text);
    }
    m_width = w;
    m_height = h;
    m_msPerFrame = static_cast<int>(std::clamp<int64_t>(decoder->durationMs() / count, 0, INT_MAX));
    if (!decoder->openFrames()) return fail("can't get Frame");

    m_frames.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        const uint8_t* rows = decoder->nextFrame();
        if (!rows) {
            char text[64];
            std::snprintf(text, sizeof text, "can't get Frame %lld", static_cast<long long>(i));
            return fail(text);
        }
        // The first frame without memory ends the decoding (one report, as every failure here).
        auto image = std::make_unique<CImage32Buffered>();
        if (!image->tryCreate(w, h)) {
            char text[64];
            std::snprintf(text, sizeof text, "can't allocate Frame %lld", static_cast<long long>(i));
            return fail(text);
        }
        copyRows(rows, *image);
        m_frames.push_back(std::move(image));
    }
}

CImage32* CAvi::frame(int index) const
{
    const int n = getNbFrame();
    if (n == 0) return nullptr;
    int i = index % n;
    if (i < 0) i += n;
    return m_frames[static_cast<size_t>(i)].get();
}
