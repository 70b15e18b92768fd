#include "RenderApp.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Capture.h"
#include "Profile.h"
#include "RenderOptions.h"
#include "control/LCXController.h"
#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "image/PngWriter.h"
#include "music/SoundManager.h"
#include "platform/Platform.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/openmpt/OpenMptBackend.h"
#include "player/ScriptPlayer.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void onInterrupt(int) { g_interrupted = 1; }

// Ctrl-C, a kill and a closed terminal all end the run cleanly: between two frames, or during a
// capture's final writes, whose files are then removed. Installed until the files are renamed.
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};
void catchInterrupts(bool on)
{
    for (int signal : kInterruptSignals) std::signal(signal, on ? onInterrupt : SIG_DFL);
}

// The progress line on stderr: on a terminal one line that rewrites itself after every frame;
// otherwise (a log, a pipe) a plain line at most once a second, and one for the last frame.
// The speed is frames per second of work and, for a span, how many times faster than real time.
class Progress {
public:
    Progress(bool quiet, size_t total, double fps)
        : m_quiet(quiet), m_terminal(::isatty(STDERR_FILENO) == 1), m_total(total), m_fps(fps),
          m_begin(std::chrono::steady_clock::now())
    {
    }

    void frameWritten(size_t count, uint32_t timeMs)
    {
        if (m_quiet) return;
        const auto now = std::chrono::steady_clock::now();
        if (!m_terminal && count < m_total && m_written && now - m_last < std::chrono::seconds(1)) return;
        const double seconds = std::chrono::duration<double>(now - m_begin).count();
        const double rate = seconds > 0.0 ? double(count) / seconds : 0.0;
        char speed[64] = "";
        if (m_fps > 0.0)
            std::snprintf(speed, sizeof speed, ", %.1f frames/s (%.2fx)", rate, rate / m_fps);
        else
            std::snprintf(speed, sizeof speed, ", %.1f frames/s", rate);
        std::fprintf(stderr, "%sframe %zu/%zu at %u ms%s%s", m_terminal ? "\r" : "", count, m_total, timeMs, speed,
                     m_terminal ? "\x1b[K" : "\n");
        m_open = m_terminal;
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
    const double m_fps;  // 0 for listed times
    const std::chrono::steady_clock::time_point m_begin;
    bool m_open = false;     // a rewritten line is on the terminal without its line end
    bool m_written = false;  // a plain line was written at m_last
    std::chrono::steady_clock::time_point m_last;
};

// The file exists and --force was not given: say so (the file is left as it is).
bool refuseOverwrite(const std::string& path, bool force)
{
    std::error_code ec;
    if (path.empty() || force || !std::filesystem::exists(path, ec)) return false;
    std::fprintf(stderr, "tessaline-render: %s exists; --force overwrites it\n", path.c_str());
    return true;
}

// A script that cannot be opened fails the run before anything is made (the player shows black
// frames instead). It is opened as the engine opens it: letter case forgiven, either separator.
bool scriptOpens(const std::string& path)
{
    FILE* file = FileTools::openFile(path.c_str(), "rt");
    if (!file) {
        std::fprintf(stderr, "tessaline-render: cannot open the script %s\n", path.c_str());
        return false;
    }
    std::fclose(file);
    return true;
}

// Frames NNNNNN.png in `dir` numbered from `total` on: a run of `total` frames would leave them
// among its own. Refused unless --force.
bool refuseStaleFrames(const std::string& dir, size_t total, bool force)
{
    std::error_code ec;
    if (force || !std::filesystem::is_directory(dir, ec)) return false;
    size_t stale = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != 10 || name.compare(6, 4, ".png") != 0 ||
            !std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (std::stoull(name.substr(0, 6)) >= total) ++stale;
    }
    if (stale == 0) return false;
    std::fprintf(stderr,
                 "tessaline-render: %s holds %zu older %s past the %zu this run writes; they would be left "
                 "among the new ones: remove them, or give --force to render anyway\n",
                 dir.c_str(), stale, stale == 1 ? "frame" : "frames", total);
    return true;
}

// Frames of a span: times start + floor(k * 1000 * den / num) up to `end`, inclusive for image
// sequences; a capture's span [start, end) holds (end - start) x fps frames, rounded up.
size_t spanFrames(const RenderSettings& o, bool endExclusive)
{
    const __int128 span = __int128(o.end - o.start) + (endExclusive ? 0 : 1);
    const __int128 den = __int128(1000) * o.capture.fpsDen;
    const __int128 count = (span * o.capture.fpsNum + den - 1) / den;
    return static_cast<size_t>(std::min<__int128>(count, SIZE_MAX));
}

uint32_t spanTime(const RenderSettings& o, size_t k)
{
    return static_cast<uint32_t>(o.start + static_cast<long long>(__int128(k) * 1000 * o.capture.fpsDen / o.capture.fpsNum));
}

} // namespace

int runRenderer(int argc, char** argv)
{
    RenderSettings o;
    if (const std::optional<int> status = readCommandLine(argc, argv, o)) return *status;
    const bool video = !o.capture.videoPath.empty();
    const bool capture = video || !o.capture.wavPath.empty();
    // Images are written unless the run is a capture or a profile, or when -o asks for them.
    const bool images = o.given.contains("--out") || (!capture && !o.profile);
    const bool renderFrames = images || video || o.profile;
    if (!scriptOpens(o.script)) return 1;
    if (refuseOverwrite(o.capture.videoPath, o.force) || refuseOverwrite(o.capture.wavPath, o.force)) return 1;

    // The frame times: the listed ones, or those of the span.
    const size_t total = o.times.empty() ? spanFrames(o, capture) : o.times.size();
    auto timeOf = [&](size_t k) { return o.times.empty() ? spanTime(o, k) : uint32_t(o.times[k]); };

    if (images && refuseStaleFrames(o.outDir, total, o.force)) return 1;
    if (images) {
        std::error_code ec;
        std::filesystem::create_directories(o.outDir, ec);
        if (!std::filesystem::is_directory(o.outDir)) {
            std::fprintf(stderr, "tessaline-render: cannot create %s\n", o.outDir.c_str());
            return 1;
        }
    }

    // The music is decoded as far as the last time rendered, the demo's length at least.
    long long lastTime = o.times.empty() ? o.end : *std::max_element(o.times.begin(), o.times.end());
    SoundManager::setHorizonMs(static_cast<int>(
        std::clamp<long long>(lastTime + 1000, SoundManager::kDefaultHorizonMs, INT32_MAX)));

    auto clock = std::make_shared<VirtualClock>();
    Platform p;
    // A mouse at rest (position 0, no buttons): mouse controllers read what the player reads
    // before the mouse is touched, and the input marker is drawn as the player draws it.
    installHeadlessBackend(p, clock, std::make_shared<HeadlessMouse>());
    installOpenMptBackend(p);
    installFfmpegBackend(p);
    installPlatform(std::move(p));

    // Rendering someone's demo leaves the disk as it was: its controllers' recordings are
    // written only when asked for (a rendered run has a still mouse anyway).
    LCXControllerRecordable::setRecordingsAllowed(o.record);

    PlayerOptions options;
    options.fullScreen = false;
    options.scriptPath = o.script;
    Player player;
    if (!player.startup(options)) {
        std::fprintf(stderr, "tessaline-render: cannot start the headless player\n");
        return 1;
    }
    // A fatal report while the script loaded ends the run before any file is made.
    if (fatalErrorPosted()) {
        player.shutdown();
        return 1;
    }

    catchInterrupts(true);
    Capture media;
    if (capture) {
        // The music from where the engine's clock stands at the first frame.
        std::unique_ptr<MusicDecoder> music;
        const ScriptEngine* engine = player.state().scriptEngine.get();
        if (engine && engine->getSoundManager()) {
            clock->set(timeOf(0));
            music = engine->getSoundManager()->openDecoder(engine->getTime());
        }
        o.capture.width = kScreenWidth;
        o.capture.height = kScreenHeight;
        o.capture.cancelled = [] { return g_interrupted != 0; };
        std::string failure, note;
        const bool opened = media.open(o.capture, std::move(music), failure, note);
        if (!note.empty()) std::fprintf(stderr, "tessaline-render: %s\n", note.c_str());
        if (!opened) {
            std::fprintf(stderr, "tessaline-render: %s\n", g_interrupted ? "interrupted" : failure.c_str());
            player.shutdown();
            catchInterrupts(false);
            return 1;
        }
    }

    std::unique_ptr<RenderProfile> profile;
    if (o.profile) profile = std::make_unique<RenderProfile>(player.state().scriptEngine.get(), total);

    std::vector<uint8_t> rgb;
    Progress progress(o.quiet, total, o.times.empty() ? double(o.capture.fpsNum) / double(o.capture.fpsDen) : 0.0);
    int code = 0;
    for (size_t k = 0; k < total; ++k) {
        // A fatal error (also one posted while the script loaded, such as a video that cannot
        // be opened) ends the run before the next frame, as the player's loop does.
        if (fatalErrorPosted()) {
            code = 1;
            break;
        }
        if (g_interrupted) {
            progress.end();
            std::fprintf(stderr, "tessaline-render: interrupted\n");
            code = 1;
            break;
        }
        const uint32_t t = timeOf(k);
        if (renderFrames) {
            // A frame shows the values its controllers wrote on the frame before: each listed time
            // (and a span's first) gets the frame a run at this rate shows before it, unless that
            // is the frame just rendered.
            const std::optional<int> before = frameBeforeMs(int(std::min<uint32_t>(t, INT32_MAX)), o.capture.fpsNum, o.capture.fpsDen);
            if (before && (k == 0 || (!o.times.empty() && *before != int(timeOf(k - 1))))) {
                clock->set(uint32_t(*before));
                player.renderUnshownFrame(*before);
            }
        }
        clock->set(t);
        if (renderFrames) {
            if (profile) profile->frameStarts(t);
            player.renderFrame();
            if (profile) profile->frameEnded();
            if (fatalErrorPosted()) {
                code = 1;
                break;
            }
        }
        const uint32_t* screen = player.screen() ? player.screen()->getBackBuffer() : nullptr;
        if (images) {
            char name[32];
            std::snprintf(name, sizeof name, "/%06zu.png", k);
            const std::string path = o.outDir + name;
            bool ok = false;
            if (o.workImage) {
                const CImage32Buffered& work = player.workImage();
                ok = writePngRgb(path.c_str(), work.m_pPixels, work.m_width, work.m_height, work.m_width, rgb);
            } else if (screen) {
                ok = writePngRgb(path.c_str(), screen, kScreenWidth, kScreenHeight, kScreenWidth, rgb);
            }
            if (!ok) {
                progress.end();
                std::fprintf(stderr, "tessaline-render: cannot write %s\n", path.c_str());
                code = 1;
                break;
            }
        }
        if (capture && !media.addFrame(screen, kScreenWidth)) {
            progress.end();
            if (g_interrupted)
                std::fprintf(stderr, "tessaline-render: interrupted\n");
            else
                std::fprintf(stderr, "tessaline-render: encoding failed at frame %zu\n", k);
            code = 1;
            break;
        }
        progress.frameWritten(k + 1, t);
    }
    progress.end();
    // A fatal report at any point fails the run (and a capture leaves no file).
    if (fatalErrorPosted()) code = 1;
    if (code == 0 && capture) {
        std::string failure;
        if (!media.finish(failure)) {
            std::fprintf(stderr, "tessaline-render: %s\n", failure.c_str());
            code = 1;
        }
    }
    // The handlers stay until the files have their names; an unfinished capture's files are
    // removed with it, still under them.
    media.abandon();
    catchInterrupts(false);
    if (profile) {
        profile->print(stdout);
        profile.reset();
    }
    player.shutdown();
    return code;
}
