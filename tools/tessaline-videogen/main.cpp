// tessaline-videogen: renders a short animation of our own and encodes it as an AVI file through
// FFmpeg's encoders (for the bundled demo, the tests' and the fuzzers' inputs).
//
//   tessaline-videogen [--codec raw|mjpeg|mpeg4|ffv1] [--size WxH] [--frames N] [--fps F] [--quality Q]
//                      [--keep-every K] OUTPUT.avi
//
// --keep-every K encodes only the frames whose index is a multiple of K and drops the others the
// way encoders drop frames: the file declares every frame up to the last one kept and holds
// empty chunks for the dropped ones (7 frames kept every 3: 7 declared, 3 pictures).
// The animation: a ring of eight coloured discs turning round a soft glow, on black. The disc
// centres are rounded to 1/256 pixel once per frame and the pixels drawn in integers.
// Exit status: 0 written, 1 when the file could not be written, 2 for bad usage.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "backends/ffmpeg/FfmpegVideoWriter.h"

namespace {
const char* const kUsage =
    "usage: tessaline-videogen [--codec raw|mjpeg|mpeg4|ffv1] [--size WxH] [--frames N] [--fps F] [--quality Q]\n"
    "                          [--keep-every K] OUTPUT.avi\n"
    "defaults: --codec mjpeg --size 64x64 --frames 30 --fps 30 --quality 2 (1 best .. 31 smallest)\n"
    "--keep-every K: encode frames 0, K, 2K ... only; the others are dropped (declared, empty)\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// Frame `index` of `count`: eight discs on a ring that turns once over the count.
void drawFrame(std::vector<uint32_t>& pixels, int w, int h, int index, int count)
{
    static const uint32_t kColours[8] = {0xFF4020, 0xFFA020, 0xF0F040, 0x40E060,
                                         0x20C0F0, 0x4060FF, 0xA040F0, 0xF040A0};
    const int cx = w * 128, cy = h * 128;  // centre in 1/256 pixels
    const int radius = std::min(w, h) * 256 * 3 / 8;
    const int disc = std::min(w, h) * 256 / 9;
    // Disc centres: a table of cos/sin rounded once per frame keeps the pixel loop in integers.
    int dx[8], dy[8];
    for (int k = 0; k < 8; ++k) {
        const double a = 6.283185307179586 * (double(index) / count + k / 8.0);
        dx[k] = cx + int(std::lround(radius * std::cos(a)));
        dy[k] = cy + int(std::lround(radius * std::sin(a)));
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int px = x * 256 + 128, py = y * 256 + 128;
            // Glow: brightness falls with the distance from the centre.
            const int64_t gx = px - cx, gy = py - cy;
            const int64_t g2 = (gx * gx + gy * gy) >> 16;
            const int glow = std::max<int>(0, 96 - int(g2 * 96 / std::max<int64_t>(1, int64_t(radius / 256) * (radius / 256))));
            uint32_t c = uint32_t(glow) << 16 | uint32_t(glow) << 8 | uint32_t(glow);
            for (int k = 0; k < 8; ++k) {
                const int64_t ex = px - dx[k], ey = py - dy[k];
                if (ex * ex + ey * ey <= int64_t(disc) * disc) c = kColours[k];
            }
            pixels[size_t(y) * w + x] = c;
        }
    }
}
} // namespace

int main(int argc, char** argv)
{
    std::string codecName = "mjpeg";
    int w = 64, h = 64, frames = 30, fps = 30, quality = 2, keepEvery = 1;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--codec" && hasValue) {
            codecName = argv[++i];
        } else if (a == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &w, &h) != 2) return usage();
        } else if (a == "--frames" && hasValue) {
            frames = std::atoi(argv[++i]);
        } else if (a == "--fps" && hasValue) {
            fps = std::atoi(argv[++i]);
        } else if (a == "--quality" && hasValue) {
            quality = std::atoi(argv[++i]);
        } else if (a == "--keep-every" && hasValue) {
            keepEvery = std::atoi(argv[++i]);
        } else if (!output && a.rfind("--", 0) != 0) {
            output = argv[i];
        } else {
            return usage();
        }
    }
    if (!output || w < 2 || h < 2 || w > 4096 || h > 4096 || frames < 1 || frames > 100000 || fps < 1 || fps > 1000 ||
        quality < 1 || quality > 31 || keepEvery < 1)
        return usage();
    VideoCodecKind codec;
    if (codecName == "raw") codec = VideoCodecKind::Raw;
    else if (codecName == "mjpeg") codec = VideoCodecKind::Mjpeg;
    else if (codecName == "mpeg4") codec = VideoCodecKind::Mpeg4;
    else if (codecName == "ffv1") codec = VideoCodecKind::Ffv1;
    else return usage();

    FfmpegVideoWriter writer;
    if (!writer.open(output, codec, w, h, fps, quality)) {
        std::fprintf(stderr, "tessaline-videogen: %s: %s\n", output, writer.error().c_str());
        return 1;
    }
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (int i = 0; i < frames; i += keepEvery) {
        drawFrame(pixels, w, h, i, frames);
        if (!writer.writeFrameAt(pixels.data(), i)) {
            std::fprintf(stderr, "tessaline-videogen: %s: %s\n", output, writer.error().c_str());
            return 1;
        }
    }
    if (!writer.close()) {
        std::fprintf(stderr, "tessaline-videogen: %s: %s\n", output, writer.error().c_str());
        return 1;
    }
    return 0;
}
