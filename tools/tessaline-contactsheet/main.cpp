// tessaline-contactsheet: lays pictures out on a grid in one PNG (a contact sheet of rendered
// frames), each shrunk by a whole factor and optionally labelled, and can insist that no two of
// the pictures are alike.
//
//   tessaline-contactsheet [options] -o OUT.png PICTURE...
//
// Exit status: 0 written, 1 when a picture cannot be read, the sheet cannot be written or
// (with --distinct) two pictures are too alike, 2 for bad usage.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/CImage32FromData.h"
#include "image/PngWriter.h"
#include "player/BitmapFont.h"

namespace {

const char* const kUsage =
    "usage: tessaline-contactsheet [options] -o OUT.png PICTURE...\n"
    "\n"
    "Lays the pictures (TGA, BMP, PNG, JPG) out left to right, top to bottom, in one PNG.\n"
    "  -o, --out FILE      the sheet to write (PNG)\n"
    "  --columns N         pictures a row (default 4)\n"
    "  --shrink N          each picture shrunk N times, N x N pixels averaged (default 1)\n"
    "  --gap N             pixels between the cells and round the sheet (default 4)\n"
    "  --labels A,B,...    a label under each picture, in order (a label a picture)\n"
    "  --distinct          fail when two pictures are alike: identical, or apart by less than\n"
    "                      --min-difference on average\n"
    "  --min-difference D  the least mean difference of two pictures, in levels per channel\n"
    "                      (0..255; default 0: only identical pictures fail)\n"
    "Prints the two pictures least apart and their mean difference.\n";

constexpr uint32_t kBackground = 0x101018;
constexpr uint32_t kLabelInk = 0xC8D2DC;

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool parseCount(const char* text, int lo, int hi, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!text[0] || *end || v < lo || v > hi) return false;
    out = int(v);
    return true;
}

// Mean absolute difference of two same-sized pictures, per channel (0..255).
double meanDifference(const CImage32& a, const CImage32& b)
{
    const uint32_t* pa = a.getPixels();
    const uint32_t* pb = b.getPixels();
    const int64_t n = a.pixelCount();
    uint64_t sum = 0;
    for (int64_t i = 0; i < n; ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int ca = int(pa[i] >> shift & 0xFF), cb = int(pb[i] >> shift & 0xFF);
            sum += uint64_t(ca > cb ? ca - cb : cb - ca);
        }
    return n ? double(sum) / double(n * 3) : 0.0;
}

// The picture shrunk `shrink` times into the sheet at (x, y): each output pixel the rounded mean
// of its shrink x shrink block.
void place(const CImage32& picture, int shrink, std::vector<uint32_t>& sheet, int sheetWidth, int x, int y)
{
    const int w = picture.getWidth() / shrink, h = picture.getHeight() / shrink;
    const uint32_t* src = picture.getPixels();
    const int64_t stride = picture.getWidth();
    const uint32_t area = uint32_t(shrink * shrink);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            uint32_t sum[3] = {0, 0, 0};
            for (int sj = 0; sj < shrink; ++sj)
                for (int si = 0; si < shrink; ++si) {
                    const uint32_t p = src[(int64_t(j) * shrink + sj) * stride + int64_t(i) * shrink + si];
                    sum[0] += p >> 16 & 0xFF;
                    sum[1] += p >> 8 & 0xFF;
                    sum[2] += p & 0xFF;
                }
            const uint32_t r = (sum[0] + area / 2) / area, g = (sum[1] + area / 2) / area, b = (sum[2] + area / 2) / area;
            sheet[size_t(y + j) * size_t(sheetWidth) + size_t(x + i)] = r << 16 | g << 8 | b;
        }
}

// A label in the built-in font, its white ink tinted and its black box made the sheet's colour.
void label(const std::string& text, std::vector<uint32_t>& sheet, int sheetWidth, int sheetHeight, int x, int y)
{
    const int w = bitmapTextWidth(text.c_str()), h = bitmapTextHeight();
    std::vector<uint32_t> box(size_t(w) * size_t(h));
    drawBitmapText(box.data(), w, h, w, 0, 0, text.c_str());
    for (int j = 0; j < h && y + j < sheetHeight; ++j)
        for (int i = 0; i < w && x + i < sheetWidth; ++i)
            sheet[size_t(y + j) * size_t(sheetWidth) + size_t(x + i)] = box[size_t(j) * size_t(w) + size_t(i)] ? kLabelInk : kBackground;
}

} // namespace

int main(int argc, char** argv)
{
    const char* out = nullptr;
    int columns = 4, shrink = 1, gap = 4;
    bool distinct = false;
    double minDifference = 0.0;
    std::vector<std::string> labels, paths;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if ((a == "-o" || a == "--out") && hasValue) {
            out = argv[++i];
        } else if (a == "--columns" && hasValue) {
            if (!parseCount(argv[++i], 1, 64, columns)) return usage();
        } else if (a == "--shrink" && hasValue) {
            if (!parseCount(argv[++i], 1, 64, shrink)) return usage();
        } else if (a == "--gap" && hasValue) {
            if (!parseCount(argv[++i], 0, 256, gap)) return usage();
        } else if (a == "--labels" && hasValue) {
            std::stringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');) labels.push_back(item);
        } else if (a == "--distinct") {
            distinct = true;
        } else if (a == "--min-difference" && hasValue) {
            char* end = nullptr;
            minDifference = std::strtod(argv[++i], &end);
            if (*end || !(minDifference >= 0 && minDifference <= 255)) return usage();
        } else if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            paths.push_back(a);
        }
    }
    if (!out || paths.empty() || (!labels.empty() && labels.size() != paths.size())) return usage();

    std::vector<std::unique_ptr<CImage32FromData>> pictures;
    for (const std::string& path : paths) {
        auto picture = std::make_unique<CImage32FromData>(path.c_str());
        if (picture->pixelCount() <= 0) {
            std::fprintf(stderr, "tessaline-contactsheet: cannot read %s\n", path.c_str());
            return 1;
        }
        if (!pictures.empty() && (picture->getWidth() != pictures[0]->getWidth() ||
                                  picture->getHeight() != pictures[0]->getHeight())) {
            std::fprintf(stderr, "tessaline-contactsheet: %s is not the size of %s\n", path.c_str(), paths[0].c_str());
            return 1;
        }
        pictures.push_back(std::move(picture));
    }

    // Every pair: the closest two are printed; with --distinct, pairs too close fail the run.
    bool tooAlike = false;
    double closest = -1;
    size_t closestA = 0, closestB = 0;
    for (size_t i = 0; i < pictures.size(); ++i)
        for (size_t j = i + 1; j < pictures.size(); ++j) {
            const double d = meanDifference(*pictures[i], *pictures[j]);
            if (closest < 0 || d < closest) closest = d, closestA = i, closestB = j;
            if (distinct && (d == 0.0 || d < minDifference)) {
                std::fprintf(stderr, "tessaline-contactsheet: %s and %s are alike (mean difference %.3f)\n",
                             paths[i].c_str(), paths[j].c_str(), d);
                tooAlike = true;
            }
        }
    if (closest >= 0)
        std::printf("closest pair: %s and %s, mean difference %.3f\n", paths[closestA].c_str(), paths[closestB].c_str(),
                    closest);

    const int cellW = pictures[0]->getWidth() / shrink, cellH = pictures[0]->getHeight() / shrink;
    const int labelH = labels.empty() ? 0 : bitmapTextHeight() + 2;
    const int rows = int((pictures.size() + size_t(columns) - 1) / size_t(columns));
    const int used = std::min<int>(columns, int(pictures.size()));
    const int sheetW = gap + used * (cellW + gap), sheetH = gap + rows * (cellH + labelH + gap);
    std::vector<uint32_t> sheet(size_t(sheetW) * size_t(sheetH), kBackground);
    for (size_t k = 0; k < pictures.size(); ++k) {
        const int x = gap + int(k % size_t(columns)) * (cellW + gap);
        const int y = gap + int(k / size_t(columns)) * (cellH + labelH + gap);
        place(*pictures[k], shrink, sheet, sheetW, x, y);
        if (!labels.empty()) label(labels[k], sheet, sheetW, sheetH, x, y + cellH + 1);
    }
    std::vector<uint8_t> scratch;
    if (!writePngRgb(out, sheet.data(), sheetW, sheetH, sheetW, scratch)) {
        std::fprintf(stderr, "tessaline-contactsheet: cannot write %s\n", out);
        return 1;
    }
    std::printf("wrote %s (%d x %d, %zu pictures)\n", out, sheetW, sheetH, pictures.size());
    return tooAlike ? 1 : 0;
}
