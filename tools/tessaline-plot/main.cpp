// tessaline-plot: draws the curve a .lcx controller plays as a PNG picture, by asking the
// engine's own controller for its value at every column, so the guide's curves are what a demo
// gets. Beats show as dim vertical lines, a key framer's keys as dots on every repetition.
//
//   tessaline-plot [--from MS] [--to MS] [--size WxH] [--range LO HI] FILE.lcx OUT.png
//
// Exit status: 0 written, 1 the file gave no controller or the picture could not be written,
// 2 for bad usage.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "control/LCXControllerKeyFramer.h"
#include "control/LCXControllerManager.h"
#include "foundation/Report.h"
#include "image/CImage32.h"
#include "image/Line.h"
#include "image/PngWriter.h"
#include "player/BitmapFont.h"

namespace {

const char* const kUsage =
    "usage: tessaline-plot [--from MS] [--to MS] [--size WxH] [--range LO HI] FILE.lcx OUT.png\n"
    "\n"
    "Plots the value a .lcx controller gives from time FROM to TO (ms; default 0 to the last\n"
    "beat plus one repetition of a key framer's curve, else 4000) as a PNG of W x H pixels\n"
    "(default 480x200). The value axis spans the values met, or LO to HI.\n";

constexpr uint32_t kBackground = 0x101820;
constexpr uint32_t kGrid = 0x2C3848;
constexpr uint32_t kBeat = 0x3C5070;
constexpr uint32_t kCurve = 0xFFD040;
constexpr uint32_t kKey = 0xFF6040;

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool parseFloat(const char* s, float& out)
{
    char* end = nullptr;
    const float v = std::strtof(s, &end);
    if (!*s || *end || !std::isfinite(v)) return false;
    out = v;
    return true;
}

std::string label(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(v));
    return text;
}

void fillRect(CImage32& image, int x0, int y0, int w, int h, uint32_t colour)
{
    for (int y = std::max(0, y0); y < std::min(image.getHeight(), y0 + h); ++y)
        for (int x = std::max(0, x0); x < std::min(image.getWidth(), x0 + w); ++x) image.setPixel(x, y, colour);
}

void line(CImage32& image, float x0, float y0, float x1, float y1, uint32_t colour)
{
    LineDesc d;
    d.x0 = x0;
    d.y0 = y0;
    d.x1 = x1;
    d.y1 = y1;
    d.colour = colour;
    drawLine(&image, nullptr, d);
}

} // namespace

int main(int argc, char** argv)
{
    float from = 0.0f, to = -1.0f, lo = 0.0f, hi = 0.0f;
    bool rangeGiven = false;
    int width = 480, height = 200;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const std::string a = argv[i];
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) return usage();
        if (a == "--from") {
            if (!parseFloat(argv[++i], from)) return usage();
        } else if (a == "--to") {
            if (!parseFloat(argv[++i], to)) return usage();
        } else if (a == "--size") {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 64 || height < 48 || width > 4096 ||
                height > 4096)
                return usage();
        } else if (a == "--range") {
            if (i + 2 >= argc || !parseFloat(argv[i + 1], lo) || !parseFloat(argv[i + 2], hi) || !(hi > lo)) return usage();
            i += 2;
            rangeGiven = true;
        } else {
            return usage();
        }
    }
    if (argc - i != 2) return usage();
    const char* inPath = argv[i];
    const char* outPath = argv[i + 1];

    LCXControllerManager manager;
    manager.load(StringC(inPath));
    LCXController* controller = manager.getController();
    if (!controller) {
        std::fprintf(stderr, "tessaline-plot: %s gave no controller\n", inPath);
        return 1;
    }

    // A key framer's beats and model keys, for the default span and the markers.
    std::vector<float> beats;
    std::vector<std::pair<float, float>> keys;
    if (controller->getType() == kLCXKeyFramer) {
        const auto* kf = static_cast<const LCXControllerKeyFramer*>(controller);
        beats = kf->getBeats();
        if (const TrackManagerFloat* model = kf->getModel())
            if (const TrackFloat* track = model->getTrack())
                for (int k = 0; k < track->getNbKey(); ++k) {
                    float t = 0.0f, v = 0.0f;
                    track->getKey(k, t, v);
                    keys.emplace_back(t, v);
                }
    }
    if (to < 0.0f) {
        const float curveLength = keys.empty() ? 0.0f : keys.back().first;
        to = beats.empty() ? 4000.0f : beats.back() + std::max(curveLength, 1.0f);
    }
    if (!(to > from)) return usage();

    // Plot area inside a margin that leaves room for the labels.
    const int left = 8, right = width - 8, top = bitmapTextHeight() + 6, bottom = height - bitmapTextHeight() - 6;
    const int columns = right - left + 1;
    auto timeAt = [&](float x) { return from + (to - from) * (x - float(left)) / float(right - left); };
    auto xAt = [&](float t) { return float(left) + (t - from) / (to - from) * float(right - left); };

    std::vector<float> values(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        controller->setDirty();
        values[size_t(c)] = controller->getValue(timeAt(float(left + c)));
    }
    if (!rangeGiven) {
        lo = *std::min_element(values.begin(), values.end());
        hi = *std::max_element(values.begin(), values.end());
        lo = std::min(lo, 0.0f);
        if (!(hi > lo)) hi = lo + 1.0f;
        const float pad = (hi - lo) * 0.08f;
        lo -= pad;
        hi += pad;
    }
    auto yAt = [&](float v) { return float(bottom) - (v - lo) / (hi - lo) * float(bottom - top); };

    CImage32Buffered image(width, height);
    image.clear(kBackground);
    // The zero line and the frame of the plot area.
    if (lo <= 0.0f && hi >= 0.0f) line(image, float(left), yAt(0.0f), float(right), yAt(0.0f), kGrid);
    line(image, float(left), float(top), float(left), float(bottom), kGrid);
    line(image, float(left), float(bottom), float(right), float(bottom), kGrid);
    for (float b : beats)
        if (b >= from && b <= to) line(image, xAt(b), float(top), xAt(b), float(bottom), kBeat);

    for (int c = 1; c < columns; ++c)
        line(image, float(left + c - 1), yAt(values[size_t(c - 1)]), float(left + c), yAt(values[size_t(c)]), kCurve);

    // The keys where each repetition places them (the curve itself shows accumulation).
    for (size_t b = 0; b < beats.size(); ++b)
        for (const auto& key : keys) {
            const float t = beats[b] + key.first;
            const bool inRepetition = b + 1 == beats.size() || t <= beats[b + 1];
            if (!inRepetition || t < from || t > to) continue;
            controller->setDirty();
            const float v = controller->getValue(t);
            fillRect(image, int(std::lround(xAt(t))) - 2, int(std::lround(yAt(v))) - 2, 5, 5, kKey);
        }

    const uint32_t pitch = uint32_t(image.getWidth());
    drawBitmapText(image.getPixels(), width, height, int(pitch), left, 2, label(hi).c_str());
    const std::string low = label(lo);
    drawBitmapText(image.getPixels(), width, height, int(pitch), left, bottom + 4, low.c_str());
    const std::string span = label(from) + " .. " + label(to) + " ms";
    drawBitmapText(image.getPixels(), width, height, int(pitch), right - bitmapTextWidth(span.c_str()), bottom + 4,
                   span.c_str());

    std::vector<uint8_t> rgb;
    if (!writePngRgb(outPath, image.getPixels(), width, height, width, rgb)) {
        std::fprintf(stderr, "tessaline-plot: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}
