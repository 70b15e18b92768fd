// Our 2D kernels beside the libraries doing the same work, on the same 512x256 inputs in the same
// run: libyuv (ARGB scale, add, subtract, interpolate, blend), pixman (scale, ADD), OpenCV (box
// filter, add, subtract, addWeighted) and memcpy of the same bytes. Ours runs at every SIMD level
// up to the start-up one. After the runs a table gives the median of the repetitions and the
// ratio ours / peer (below 1: ours is faster).
#include <benchmark/benchmark.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale_argb.h>
#include <pixman.h>
#include <unistd.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fx2d/FxEmboss.h"
#include "fx2d/FxHVBlur.h"
#include "fx2d/FxRadial.h"
#include "image/CImage32.h"
#include "image/SimdLevel.h"

namespace {

constexpr int kW = 512, kH = 256;
constexpr int kScreenW = 640, kScreenH = 480;
// The player's screen blit: 512x256 scaled by 1.24 x 1.3 round the screen centre covers columns
// 3..637 and rows 74..406 of the 640x480 screen.
constexpr float kScaleX = 1.24f, kScaleY = 1.3f;
constexpr int kBlitX = 3, kBlitY = 74, kBlitW = 635, kBlitH = 333;
constexpr int kStride = kW * 4, kScreenStride = kScreenW * 4;
constexpr size_t kImageBytes = size_t(kW) * kH * 4;
constexpr int kBlendWeight = 160;  // the weighted blend's byte weight (opacity 160/255)
constexpr int kBlurSize = 64;      // box window of 64 pixels along the line

struct Images {
    CImage32Buffered src{kW, kH}, dst{kW, kH};
    std::vector<uint32_t> screen = std::vector<uint32_t>(size_t(kScreenW) * kScreenH);
    CImage32External screenImage;
    Images()
    {
        std::mt19937 rng(7);
        for (int64_t i = 0; i < src.pixelCount(); ++i) src.m_pPixels[i] = rng();
        for (int64_t i = 0; i < dst.pixelCount(); ++i) dst.m_pPixels[i] = rng();
        screenImage.setData(kScreenW, kScreenH, screen.data());
    }
    uint8_t* srcBytes() { return reinterpret_cast<uint8_t*>(src.m_pPixels); }
    uint8_t* dstBytes() { return reinterpret_cast<uint8_t*>(dst.m_pPixels); }
    uint8_t* blitBytes() { return reinterpret_cast<uint8_t*>(screen.data() + kBlitY * kScreenW + kBlitX); }
    cv::Mat srcMat() { return cv::Mat(kH, kW, CV_8UC4, src.m_pPixels); }
    cv::Mat dstMat() { return cv::Mat(kH, kW, CV_8UC4, dst.m_pPixels); }
};
Images& images()
{
    static Images i;
    return i;
}

// The loop of a call: the image the work writes, kept live for the optimiser.
template <class F>
void loop(benchmark::State& state, int64_t pixels, F&& f)
{
    for (auto _ : state) {
        f();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

// --- ours, at a forced level -------------------------------------------------------------------
struct LevelScope {
    explicit LevelScope(SimdLevel level) { forceSimdLevel(level); }
    ~LevelScope() { resetSimdLevel(); }
};

void oursBlit(benchmark::State& state, SimdLevel level, bool filter)
{
    Images& im = images();
    const LevelScope scope(level);
    loop(state, int64_t(kBlitW) * kBlitH, [&] {
        im.src.blitScaled(&im.screenImage, 320.0f, 240.0f, kScaleX, kScaleY, kBlendNormal, nullptr, 1.0f, filter);
    });
}

void oursSameSize(benchmark::State& state, SimdLevel level, void (*f)(Images&))
{
    Images& im = images();
    const LevelScope scope(level);
    loop(state, int64_t(kW) * kH, [&] { f(im); });
}

void oursBlur(benchmark::State& state, SimdLevel level, FxHVBlur::Direction direction)
{
    Images& im = images();
    FxHVBlur blur(kW, kH);
    blur.setScreen(&im.dst);
    blur.setSize(kBlurSize);
    blur.setDirection(direction);
    blur.setMode(BlendMode(0));
    const LevelScope scope(level);
    loop(state, int64_t(kW) * kH, [&] { blur.apply(); });
}

void oursRadialSmooth(benchmark::State& state, SimdLevel level)
{
    Images& im = images();
    FxRadial radial(kW, kH);
    radial.setScreen(&im.dst);
    radial.setMode(FxRadial::Mode::Smooth);
    radial.setCentre(256.0f, 128.0f);
    const LevelScope scope(level);
    loop(state, int64_t(kW) * kH, [&] { radial.apply(); });
}

void oursEmbossShade(benchmark::State& state, SimdLevel level)
{
    Images& im = images();
    FxEmboss emboss(kW, kH);
    emboss.setScreen(&im.dst);
    emboss.setMode(FxEmboss::Mode::Shade);
    const LevelScope scope(level);
    loop(state, int64_t(kW) * kH, [&] { emboss.apply(); });
}

// --- the peers ---------------------------------------------------------------------------------
void libyuvScale(benchmark::State& state, libyuv::FilterMode filter)
{
    Images& im = images();
    loop(state, int64_t(kBlitW) * kBlitH, [&] {
        libyuv::ARGBScale(im.srcBytes(), kStride, kW, kH, im.blitBytes(), kScreenStride, kBlitW, kBlitH, filter);
    });
}

void pixmanScale(benchmark::State& state, pixman_filter_t filter)
{
    Images& im = images();
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, im.src.m_pPixels, kStride);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kScreenW, kScreenH, im.screen.data(), kScreenStride);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(1 / double(kScaleX)), pixman_double_to_fixed(1 / double(kScaleY)));
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, filter, nullptr, 0);
    loop(state, int64_t(kBlitW) * kBlitH, [&] {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, kBlitX, kBlitY, kBlitW, kBlitH);
    });
    pixman_image_unref(src);
    pixman_image_unref(dst);
}

void pixmanAdd(benchmark::State& state)
{
    Images& im = images();
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, im.src.m_pPixels, kStride);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, im.dst.m_pPixels, kStride);
    loop(state, int64_t(kW) * kH,
         [&] { pixman_image_composite32(PIXMAN_OP_ADD, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH); });
    pixman_image_unref(src);
    pixman_image_unref(dst);
}

void sameSizePeer(benchmark::State& state, void (*f)(Images&))
{
    Images& im = images();
    loop(state, int64_t(kW) * kH, [&] { f(im); });
}

// The same window as ours, x - 31 .. x + 32 along the line, with zeros beyond the ends (ours
// keeps dividing by 64 there too); OpenCV rounds the average to nearest where ours rounds down.
void cvBlur(benchmark::State& state, bool vertical)
{
    Images& im = images();
    const cv::Mat src = im.srcMat();
    cv::Mat dst = im.dstMat();
    const int before = kBlurSize / 2 - 1;
    const cv::Size window = vertical ? cv::Size(1, kBlurSize) : cv::Size(kBlurSize, 1);
    const cv::Point anchor = vertical ? cv::Point(0, before) : cv::Point(before, 0);
    loop(state, int64_t(kW) * kH, [&] { cv::blur(src, dst, window, anchor, cv::BORDER_CONSTANT); });
}

// --- the works, the table's rows -----------------------------------------------------------------
enum Peer { kLibyuv, kOpenCv, kPixman, kMemcpy, kPeerCount };
constexpr const char* kPeerNames[kPeerCount] = {"libyuv", "opencv", "pixman", "memcpy"};

struct Work {
    std::string key, title;
    std::string goal;  // what the goal compares, printed beside the row
};
std::vector<Work>& works()
{
    static std::vector<Work> w;
    return w;
}

std::vector<SimdLevel> oursLevels()
{
    std::vector<SimdLevel> levels;
    for (SimdLevel l : kAllSimdLevels)
        if (simdLevelSupported(l) && l <= simdLevel()) levels.push_back(l);
    return levels;
}

template <class Ours>
void addWork(const char* key, const char* title, const char* goal, Ours ours)
{
    works().push_back({key, title, goal});
    for (SimdLevel l : oursLevels())
        benchmark::RegisterBenchmark(("ours/" + std::string(key) + "/" + simdLevelName(l)).c_str(),
                                     [=](benchmark::State& s) { ours(s, l); })
            ->Unit(benchmark::kMicrosecond);
}
template <class F>
void addPeer(Peer peer, const char* key, F f)
{
    benchmark::RegisterBenchmark((std::string(kPeerNames[peer]) + "/" + key).c_str(), f)->Unit(benchmark::kMicrosecond);
}

void registerAll()
{
    addWork("blit_bilinear", "screen blit bilinear 512x256->635x333", "ours <= libyuv",
            [](benchmark::State& s, SimdLevel l) { oursBlit(s, l, true); });
    addPeer(kLibyuv, "blit_bilinear", [](benchmark::State& s) { libyuvScale(s, libyuv::kFilterBilinear); });
    addPeer(kPixman, "blit_bilinear", [](benchmark::State& s) { pixmanScale(s, PIXMAN_FILTER_BILINEAR); });

    addWork("blit_nearest", "screen blit nearest 512x256->635x333", "",
            [](benchmark::State& s, SimdLevel l) { oursBlit(s, l, false); });
    addPeer(kLibyuv, "blit_nearest", [](benchmark::State& s) { libyuvScale(s, libyuv::kFilterNone); });
    addPeer(kPixman, "blit_nearest", [](benchmark::State& s) { pixmanScale(s, PIXMAN_FILTER_NEAREST); });

    // In place: the destination saturates after a few calls, for every contender alike.
    addWork("add", "saturating add in place", "ours <= 1.1 memcpy", [](benchmark::State& s, SimdLevel l) {
        oursSameSize(s, l, [](Images& im) { im.src.blitTransAdd(&im.dst); });
    });
    addPeer(kLibyuv, "add", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) {
            libyuv::ARGBAdd(im.dstBytes(), kStride, im.srcBytes(), kStride, im.dstBytes(), kStride, kW, kH);
        });
    });
    addPeer(kOpenCv, "add", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) {
            cv::Mat d = im.dstMat();
            cv::add(d, im.srcMat(), d);
        });
    });
    addPeer(kPixman, "add", pixmanAdd);
    addPeer(kMemcpy, "add", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) { std::memcpy(im.dstBytes(), im.srcBytes(), kImageBytes); });
    });

    addWork("sub", "saturating subtract in place", "ours <= 1.1 memcpy", [](benchmark::State& s, SimdLevel l) {
        oursSameSize(s, l, [](Images& im) { im.src.blitTransSub(&im.dst); });
    });
    addPeer(kLibyuv, "sub", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) {
            libyuv::ARGBSubtract(im.dstBytes(), kStride, im.srcBytes(), kStride, im.dstBytes(), kStride, kW, kH);
        });
    });
    addPeer(kOpenCv, "sub", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) {
            cv::Mat d = im.dstMat();
            cv::subtract(d, im.srcMat(), d);
        });
    });
    addPeer(kMemcpy, "sub", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) { std::memcpy(im.dstBytes(), im.srcBytes(), kImageBytes); });
    });

    // The peers round to nearest where ours rounds each product down: a speed comparison only.
    addWork("weighted", "weighted blend w=160 in place", "ours <= 1.5 memcpy", [](benchmark::State& s, SimdLevel l) {
        oursSameSize(s, l, [](Images& im) { im.src.blitAlpha(&im.dst, float(kBlendWeight) / 255.0f); });
    });
    addPeer(kLibyuv, "weighted", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) {
            libyuv::ARGBInterpolate(im.dstBytes(), kStride, im.srcBytes(), kStride, im.dstBytes(), kStride, kW, kH,
                                    kBlendWeight);
        });
    });
    addPeer(kOpenCv, "weighted", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) {
            cv::Mat d = im.dstMat();
            cv::addWeighted(im.srcMat(), kBlendWeight / 256.0, d, (255 - kBlendWeight) / 256.0, 0.0, d);
        });
    });
    addPeer(kMemcpy, "weighted", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) { std::memcpy(im.dstBytes(), im.srcBytes(), kImageBytes); });
    });

    // Blend by the source's alpha byte; libyuv's blend takes premultiplied sources and sets the
    // alpha to 255, so it too is a speed peer only.
    addWork("alpha", "blend by source alpha in place", "", [](benchmark::State& s, SimdLevel l) {
        oursSameSize(s, l, [](Images& im) { im.src.blitAlpha(&im.dst); });
    });
    addPeer(kLibyuv, "alpha", [](benchmark::State& s) {
        sameSizePeer(s, [](Images& im) {
            libyuv::ARGBBlend(im.srcBytes(), kStride, im.dstBytes(), kStride, im.dstBytes(), kStride, kW, kH);
        });
    });

    // Ours in place, OpenCV into another image.
    addWork("blur_h", "box blur 64 horizontal", "ours <= 0.3 opencv",
            [](benchmark::State& s, SimdLevel l) { oursBlur(s, l, FxHVBlur::Direction::Horizontal); });
    addPeer(kOpenCv, "blur_h", [](benchmark::State& s) { cvBlur(s, false); });
    addWork("blur_v", "box blur 64 vertical", "ours <= 0.3 opencv",
            [](benchmark::State& s, SimdLevel l) { oursBlur(s, l, FxHVBlur::Direction::Vertical); });
    addPeer(kOpenCv, "blur_v", [](benchmark::State& s) { cvBlur(s, true); });

    addWork("radial_smooth", "radial blur smooth", "ours < 150 us", oursRadialSmooth);
    addWork("emboss_shade", "emboss shade", "", oursEmbossShade);
}

// --- the summary -------------------------------------------------------------------------------
// Keeps the median of each benchmark's repetitions (its only run without repetitions), in µs of
// CPU time; the console shows the median and the coefficient of variation of the repetitions.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> micros;

    SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> shown;
        for (const Run& r : runs) {
            const bool aggregate = r.run_type == Run::RT_Aggregate;
            if (!aggregate || r.aggregate_name == "median" || r.aggregate_name == "cv") shown.push_back(r);
            if (r.error_occurred || r.aggregate_name == "cv") continue;
            const std::string name = r.run_name.function_name;
            const bool median = aggregate && r.aggregate_name == "median";
            if (median || (!aggregate && !medians_.count(name)))
                micros[name] = r.GetAdjustedCPUTime() * 1e6 / benchmark::GetTimeUnitMultiplier(r.time_unit);
            if (median) medians_.insert(name);
        }
        ConsoleReporter::ReportRuns(shown);
    }

private:
    std::set<std::string> medians_;
};

void printSummary(const std::map<std::string, double>& micros)
{
    std::printf("\nMedian CPU time per call, us, and the ratio ours/peer (below 1: ours faster)\n");
    std::printf("%-38s %-6s %9s", "work", "level", "ours");
    for (const char* p : kPeerNames) std::printf(" %17s", p);
    std::printf("  goal\n");
    for (const Work& w : works()) {
        for (SimdLevel l : oursLevels()) {
            const auto ours = micros.find("ours/" + w.key + "/" + simdLevelName(l));
            if (ours == micros.end()) continue;
            std::printf("%-38s %-6s %9.1f", w.title.c_str(), simdLevelName(l), ours->second);
            for (const char* p : kPeerNames) {
                const auto peer = micros.find(std::string(p) + "/" + w.key);
                if (peer == micros.end()) {
                    std::printf(" %17s", "-");
                } else {
                    char cell[32];
                    std::snprintf(cell, sizeof cell, "%.1f (%.2f)", peer->second, ours->second / peer->second);
                    std::printf(" %17s", cell);
                }
            }
            std::printf("  %s\n", l == simdLevel() ? w.goal.c_str() : "");
        }
    }
}

bool hasFlag(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) return true;
    return false;
}

} // namespace

// Defaults, unless given on the command line: 5 repetitions of 0.1 s, aggregates only.
int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    char reps[] = "--benchmark_repetitions=5", minTime[] = "--benchmark_min_time=0.1",
         aggregates[] = "--benchmark_report_aggregates_only=true";
    if (!hasFlag(argc, argv, "--benchmark_repetitions")) args.push_back(reps);
    if (!hasFlag(argc, argv, "--benchmark_min_time")) args.push_back(minTime);
    if (!hasFlag(argc, argv, "--benchmark_report_aggregates_only")) args.push_back(aggregates);
    int n = int(args.size());
    args.push_back(nullptr);

    cv::setNumThreads(1);  // our kernels run on one thread
    registerAll();
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter.micros);
    benchmark::Shutdown();
    return 0;
}
