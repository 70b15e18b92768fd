#include "RenderApp.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/Report.h"
#include "image/PngWriter.h"
#include "platform/Platform.h"
#include "platform/ffmpeg/FfmpegBackend.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/openmpt/OpenMptBackend.h"
#include "player/ScriptPlayer.h"

namespace {

const char* const kUsage =
    "usage: tessaline-render [-o DIR] [--fps F] [--start MS] [--end MS] [--times T1,T2,...]\n"
    "                        [--image screen|work] [--quiet] SCRIPT\n";

struct RenderOptions {
    std::string outDir = "frames";
    double fps = 26.0;
    long long start = 0;
    long long end = 285000;
    std::vector<long long> times;
    bool workImage = false;
    bool quiet = false;
    std::string script;
};

bool parseInt(const char* text, long long& out)
{
    if (!text || !*text) return false;
    char* endp = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &endp, 10);
    if (errno != 0 || *endp != '\0' || v < 0 || v > 0xFFFFFFFFLL) return false;
    out = v;
    return true;
}

bool parseTimes(const char* text, std::vector<long long>& out)
{
    std::string s(text ? text : "");
    if (s.empty()) return false;
    size_t i = 0;
    while (i <= s.size()) {
        size_t j = s.find(',', i);
        if (j == std::string::npos) j = s.size();
        long long v = 0;
        if (!parseInt(s.substr(i, j - i).c_str(), v)) return false;
        out.push_back(v);
        i = j + 1;
    }
    return true;
}

// Returns 0 when the options are good, 2 (after the usage line) when not.
int parseOptions(int argc, char** argv, RenderOptions& o)
{
    auto bad = [](const char* what) {
        std::fprintf(stderr, "tessaline-render: %s\n%s", what, kUsage);
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        auto value = [&](const char*& v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (std::strcmp(a, "-o") == 0 || std::strcmp(a, "--out") == 0) {
            if (!value(v) || !*v) return bad("-o needs a directory");
            o.outDir = v;
        } else if (std::strcmp(a, "--fps") == 0) {
            char* endp = nullptr;
            if (!value(v)) return bad("--fps needs a number");
            o.fps = std::strtod(v, &endp);
            if (*endp != '\0' || !(o.fps > 0.0) || !std::isfinite(o.fps)) return bad("--fps must be a positive number");
        } else if (std::strcmp(a, "--start") == 0) {
            if (!value(v) || !parseInt(v, o.start)) return bad("--start needs milliseconds");
        } else if (std::strcmp(a, "--end") == 0) {
            if (!value(v) || !parseInt(v, o.end)) return bad("--end needs milliseconds");
        } else if (std::strcmp(a, "--times") == 0) {
            if (!value(v) || !parseTimes(v, o.times)) return bad("--times needs a list of milliseconds");
        } else if (std::strcmp(a, "--image") == 0) {
            if (!value(v)) return bad("--image needs screen or work");
            if (std::strcmp(v, "screen") == 0)
                o.workImage = false;
            else if (std::strcmp(v, "work") == 0)
                o.workImage = true;
            else
                return bad("--image needs screen or work");
        } else if (std::strcmp(a, "--quiet") == 0) {
            o.quiet = true;
        } else if (std::strcmp(a, "--help") == 0) {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a[0] == '-' && a[1] != '\0') {
            return bad((std::string("unknown option ") + a).c_str());
        } else if (o.script.empty()) {
            o.script = a;
        } else {
            return bad("only one script");
        }
    }
    if (o.script.empty()) return bad("no script given");
    if (o.times.empty() && o.end < o.start) return bad("--end lies before --start");
    return 0;
}

} // namespace

int runRenderer(int argc, char** argv)
{
    RenderOptions o;
    if (const int rc = parseOptions(argc, argv, o)) return rc;

    std::error_code ec;
    std::filesystem::create_directories(o.outDir, ec);
    if (!std::filesystem::is_directory(o.outDir)) {
        std::fprintf(stderr, "tessaline-render: cannot create %s\n", o.outDir.c_str());
        return 1;
    }

    // The frame times: the listed ones, or start + floor(k * 1000 / fps) up to end inclusive.
    std::vector<uint32_t> times;
    if (!o.times.empty()) {
        for (long long t : o.times) times.push_back(uint32_t(t));
    } else {
        for (long long k = 0;; ++k) {
            const long long t = o.start + static_cast<long long>(std::floor(double(k) * 1000.0 / o.fps));
            if (t > o.end) break;
            times.push_back(uint32_t(t));
        }
    }

    auto clock = std::make_shared<VirtualClock>();
    Platform p;
    installHeadlessPlatform(p, clock);
    installOpenMptBackend(p);
    installFfmpegBackend(p);
    installPlatform(std::move(p));

    PlayerOptions player;
    player.fullScreen = false;
    player.scriptPath = o.script;
    if (!playerStartup(player)) {
        std::fprintf(stderr, "tessaline-render: cannot start the headless player\n");
        return 1;
    }

    std::vector<uint8_t> rgb;
    int code = 0;
    for (size_t k = 0; k < times.size(); ++k) {
        clock->set(times[k]);
        renderFrame(g_screen.get());
        if (fatalErrorPosted()) {
            code = 1;
            break;
        }
        char name[32];
        std::snprintf(name, sizeof name, "/%06zu.png", k);
        const std::string path = o.outDir + name;
        bool ok = false;
        if (o.workImage)
            ok = writePngRgb(path.c_str(), g_workImage.m_pPixels, g_workImage.m_width, g_workImage.m_height,
                             g_workImage.m_width, rgb);
        else if (g_screen && g_screen->getBackBuffer())
            ok = writePngRgb(path.c_str(), g_screen->getBackBuffer(), kScreenWidth, kScreenHeight, kScreenWidth, rgb);
        if (!ok) {
            std::fprintf(stderr, "\ntessaline-render: cannot write %s\n", path.c_str());
            code = 1;
            break;
        }
        if (!o.quiet) std::fprintf(stderr, "\rframe %zu/%zu at %u ms", k + 1, times.size(), times[k]);
    }
    if (!o.quiet) std::fprintf(stderr, "\n");
    playerShutdown();
    return code;
}
