#include "RenderApp.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
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
#include "platform/headless/HeadlessMouse.h"
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

// The progress line on stderr: on a terminal one line that rewrites itself after every frame;
// otherwise (a log, a pipe) a plain line at most once a second, and one for the last frame.
class Progress {
public:
    Progress(bool quiet, size_t total) : m_quiet(quiet), m_terminal(::isatty(STDERR_FILENO) == 1), m_total(total) {}

    void frameWritten(size_t count, uint32_t timeMs)
    {
        if (m_quiet) return;
        if (m_terminal) {
            std::fprintf(stderr, "\rframe %zu/%zu at %u ms", count, m_total, timeMs);
            m_open = true;
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (count < m_total && m_written && now - m_last < std::chrono::seconds(1)) return;
        std::fprintf(stderr, "frame %zu/%zu at %u ms\n", count, m_total, timeMs);
        m_written = true;
        m_last = now;
    }
    // Ends a rewritten line, so that what follows starts on a line of its own.
    void end()
    {
        if (m_open) std::fputc('\n', stderr);
        m_open = false;
    }

private:
    const bool m_quiet;
    const bool m_terminal;
    const size_t m_total;
    bool m_open = false;     // a rewritten line is on the terminal without its line end
    bool m_written = false;  // a plain line was written at m_last
    std::chrono::steady_clock::time_point m_last;
};

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
    // A mouse at rest (position 0, no buttons): mouse controllers read what the player reads
    // before the mouse is touched, and the input marker is drawn as the player draws it.
    installHeadlessMouse(p, std::make_shared<HeadlessMouse>());
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
    Progress progress(o.quiet, times.size());
    int code = 0;
    for (size_t k = 0; k < times.size(); ++k) {
        // A fatal error (also one posted while the script loaded) ends the run before the next
        // frame, as the player's loop does.
        if (fatalErrorPosted()) {
            code = 1;
            break;
        }
        clock->set(times[k]);
        renderFrame(playerScreen());
        if (fatalErrorPosted()) {
            code = 1;
            break;
        }
        char name[32];
        std::snprintf(name, sizeof name, "/%06zu.png", k);
        const std::string path = o.outDir + name;
        bool ok = false;
        if (o.workImage) {
            const CImage32Buffered& work = playerWorkImage();
            ok = writePngRgb(path.c_str(), work.m_pPixels, work.m_width, work.m_height, work.m_width, rgb);
        } else if (playerScreen() && playerScreen()->getBackBuffer()) {
            ok = writePngRgb(path.c_str(), playerScreen()->getBackBuffer(), kScreenWidth, kScreenHeight, kScreenWidth,
                             rgb);
        }
        if (!ok) {
            progress.end();
            std::fprintf(stderr, "tessaline-render: cannot write %s\n", path.c_str());
            code = 1;
            break;
        }
        progress.frameWritten(k + 1, times[k]);
    }
    progress.end();
    playerShutdown();
    return code;
}
