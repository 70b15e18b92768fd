#include "RenderApp.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Capture.h"
#include "Profile.h"
#include "control/LCXController.h"
#include "foundation/Report.h"
#include "image/PngWriter.h"
#include "image/SimdLevel.h"
#include "music/SoundManager.h"
#include "platform/Platform.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/openmpt/OpenMptBackend.h"
#include "player/ScriptPlayer.h"

namespace {

const char* const kUsage =
    "usage: tessaline-render [-o DIR] [--fps F|N/D] [--start MS] [--end MS] [--times T1,T2,...]\n"
    "                        [--image screen|work] [--quiet] [--profile] [--record]\n"
    "                        [--video FILE.mp4|.mkv|.webm [--lossless] [--size WxH] [--scale nearest|smooth]\n"
    "                         [--crf N] [--preset NAME]] [--wav FILE] [--force] SCRIPT\n"
    "       tessaline-render --help | --version\n";

const char* const kHelp =
    "\n"
    "Renders SCRIPT headless: frame k at start + floor(k x 1000 / fps) ms, or at the k-th listed time.\n"
    "  -o, --out DIR          directory for the frames as NNNNNN.png (default frames)\n"
    "  --fps F|N/D            frames per second (default 26)\n"
    "  --start MS, --end MS   first time and last time (inclusive; default 0 and 285000)\n"
    "  --times T1,T2,...      exactly these times instead\n"
    "  --image screen|work    the 640x480 screen or the 512x256 work image (default screen)\n"
    "  --quiet                no progress line\n"
    "  --profile              print frame times and the cost of each layer operation\n"
    "  --record               write the recordings the demo's controllers ask for (none without it)\n"
    "Captures take the span [start, end) (it must not be empty):\n"
    "  --video FILE           .mp4 or .mkv (H.264 and AAC), .webm (VP9 and Vorbis)\n"
    "  --lossless             with a .mkv: FFV1 and FLAC, every pixel and sample kept\n"
    "  --size WxH             the video's picture, even sides from 16x16 to 7680x4320: the 640x480\n"
    "                         frame scaled to fit with 4:3 kept, black bars beside or above and below\n"
    "  --scale nearest|smooth nearest neighbour (crisp pixels, default) or a Lanczos filter\n"
    "  --crf N                rate factor: 0 to 51 for H.264 (default 18), 0 to 63 for VP9 (default 31)\n"
    "  --preset NAME          H.264: ultrafast superfast veryfast faster fast medium slow slower\n"
    "                         veryslow placebo (default medium); VP9: realtime good best (default good)\n"
    "  --wav FILE             the music alone, as 16-bit WAV\n"
    "  --force                overwrite an existing video or WAV file\n"
    "Exit status: 0 done, 1 after a fatal error or an interrupt, 2 for bad usage.\n";

// Capture picture sizes: even sides (4:2:0 video needs them) within these bounds.
constexpr long long kMinPictureSide = 16;
constexpr long long kMaxPictureWidth = 7680;
constexpr long long kMaxPictureHeight = 4320;

const char* const kX264Presets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                    "medium",    "slow",      "slower",   "veryslow", "placebo"};
const char* const kVp9Deadlines[] = {"realtime", "good", "best"};

// Frame rates are kept as fractions, so 30000/1001 times its frames exactly.
constexpr long long kMaxFpsTerm = 1000000;

struct RenderOptions {
    std::string outDir = "frames";
    bool outDirGiven = false;
    long long fpsNum = 26;
    long long fpsDen = 1;
    long long start = 0;
    long long end = 285000;
    std::vector<long long> times;
    bool workImage = false;
    bool quiet = false;
    bool profile = false;
    bool record = false;
    std::string video;
    MediaContainer container = MediaContainer::Mp4;
    bool lossless = false;
    int outWidth = 0;   // --size; 0: 640 x 480
    int outHeight = 0;
    bool smooth = false;
    bool scaleGiven = false;
    int crf = -1;
    std::string preset;
    std::string wav;
    bool force = false;
    std::string script;
};

volatile std::sig_atomic_t g_interrupted = 0;
void onInterrupt(int) { g_interrupted = 1; }

// Ctrl-C, a kill and a closed terminal all end the run cleanly: between two frames, or during a
// capture's final writes, whose files are then removed. Installed until the files are renamed.
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};
void catchInterrupts(bool on)
{
    for (int signal : kInterruptSignals) std::signal(signal, on ? onInterrupt : SIG_DFL);
}

long long gcd(long long a, long long b) { return b == 0 ? a : gcd(b, a % b); }

// "N", "N/D" or a decimal "I.F" (up to six decimals): a positive fraction of bounded terms.
bool parseFps(const char* text, long long& num, long long& den)
{
    const std::string s(text ? text : "");
    const size_t slash = s.find('/');
    auto digits = [](const std::string& d) {
        return !d.empty() && d.size() <= 9 && std::all_of(d.begin(), d.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    if (slash != std::string::npos) {
        const std::string a = s.substr(0, slash), b = s.substr(slash + 1);
        if (!digits(a) || !digits(b)) return false;
        num = std::stoll(a);
        den = std::stoll(b);
    } else {
        const size_t dot = s.find('.');
        const std::string whole = s.substr(0, dot);
        const std::string fraction = dot == std::string::npos ? "" : s.substr(dot + 1);
        if (!digits(whole.empty() ? "0" : whole) || (dot != std::string::npos && !digits(fraction)) || fraction.size() > 6)
            return false;
        den = 1;
        for (size_t i = 0; i < fraction.size(); ++i) den *= 10;
        num = (whole.empty() ? 0 : std::stoll(whole)) * den + (fraction.empty() ? 0 : std::stoll(fraction));
    }
    if (num <= 0 || den <= 0) return false;
    const long long g = gcd(num, den);
    num /= g;
    den /= g;
    return num <= kMaxFpsTerm && den <= kMaxFpsTerm;
}

std::string lowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

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

// "WxH" with even sides within the picture bounds.
bool parseSize(const char* text, int& width, int& height)
{
    const std::string s(text ? text : "");
    const size_t x = s.find('x');
    if (x == std::string::npos) return false;
    long long w = 0, h = 0;
    if (!parseInt(s.substr(0, x).c_str(), w) || !parseInt(s.substr(x + 1).c_str(), h)) return false;
    if (w < kMinPictureSide || h < kMinPictureSide || w > kMaxPictureWidth || h > kMaxPictureHeight || w % 2 || h % 2)
        return false;
    width = int(w);
    height = int(h);
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
            o.outDirGiven = true;
        } else if (std::strcmp(a, "--fps") == 0) {
            if (!value(v) || !parseFps(v, o.fpsNum, o.fpsDen))
                return bad("--fps needs a positive number or N/D (at most 1000000 each)");
        } else if (std::strcmp(a, "--video") == 0) {
            if (!value(v) || !*v) return bad("--video needs a file");
            o.video = v;
        } else if (std::strcmp(a, "--wav") == 0) {
            if (!value(v) || !*v) return bad("--wav needs a file");
            o.wav = v;
        } else if (std::strcmp(a, "--lossless") == 0) {
            o.lossless = true;
        } else if (std::strcmp(a, "--size") == 0) {
            if (!value(v) || !parseSize(v, o.outWidth, o.outHeight))
                return bad("--size needs WxH with even sides from 16x16 to 7680x4320");
        } else if (std::strcmp(a, "--scale") == 0) {
            if (!value(v) || (std::strcmp(v, "nearest") != 0 && std::strcmp(v, "smooth") != 0))
                return bad("--scale needs nearest or smooth");
            o.smooth = std::strcmp(v, "smooth") == 0;
            o.scaleGiven = true;
        } else if (std::strcmp(a, "--crf") == 0) {
            long long crf = 0;
            if (!value(v) || !parseInt(v, crf) || crf > 63) return bad("--crf needs a rate factor (0 to 51 for H.264, 0 to 63 for VP9)");
            o.crf = int(crf);
        } else if (std::strcmp(a, "--preset") == 0) {
            if (!value(v) || !*v) return bad("--preset needs a name");
            o.preset = v;
        } else if (std::strcmp(a, "--force") == 0) {
            o.force = true;
        } else if (std::strcmp(a, "--profile") == 0) {
            o.profile = true;
        } else if (std::strcmp(a, "--record") == 0) {
            o.record = true;
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
            std::fputs(kHelp, stdout);
            std::exit(0);
        } else if (std::strcmp(a, "--version") == 0) {
            std::printf("tessaline-render %s (SIMD: %s)\n", TL_VERSION, simdLevelName(simdLevel()));
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
    if (!o.video.empty()) {
        const std::string ext = lowerExtension(o.video);
        if (ext == ".mp4")
            o.container = MediaContainer::Mp4;
        else if (ext == ".mkv")
            o.container = MediaContainer::Matroska;
        else if (ext == ".webm")
            o.container = MediaContainer::WebM;
        else
            return bad("--video needs a .mp4, .mkv or .webm file");
    }
    if (o.lossless && (o.video.empty() || o.container != MediaContainer::Matroska))
        return bad("--lossless needs --video with a .mkv file");
    if ((!o.video.empty() || !o.wav.empty()) && !o.times.empty()) return bad("--video and --wav take a span, not --times");
    if (!o.video.empty() && o.video == o.wav) return bad("--video and --wav name the same file");
    if ((o.outWidth || o.scaleGiven || o.crf >= 0 || !o.preset.empty()) && o.video.empty())
        return bad("--size, --scale, --crf and --preset need --video");
    if (o.scaleGiven && !o.outWidth) return bad("--scale needs --size");
    if ((o.crf >= 0 || !o.preset.empty()) && o.lossless) return bad("--crf and --preset do not apply to --lossless");
    const bool vp9 = o.container == MediaContainer::WebM;
    if (o.crf > (vp9 ? 63 : 51)) return bad(vp9 ? "--crf for VP9 lies from 0 to 63" : "--crf for H.264 lies from 0 to 51");
    if (!o.preset.empty() && !o.video.empty()) {
        bool known = false;
        std::string names;
        auto check = [&](const auto& list) {
            for (const char* name : list) {
                known |= o.preset == name;
                names += std::string(names.empty() ? "" : ", ") + name;
            }
        };
        if (vp9)
            check(kVp9Deadlines);
        else
            check(kX264Presets);
        if (!known) return bad(("--preset for " + std::string(vp9 ? "VP9" : "H.264") + " is one of " + names).c_str());
    }
    // A capture's span [start, end) must hold a frame.
    if ((!o.video.empty() || !o.wav.empty()) && o.end <= o.start) return bad("a capture needs --end after --start");
    return 0;
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

} // namespace

namespace {

// The file exists and --force was not given: say so (the file is left as it is).
bool refuseOverwrite(const std::string& path, bool force)
{
    std::error_code ec;
    if (path.empty() || force || !std::filesystem::exists(path, ec)) return false;
    std::fprintf(stderr, "tessaline-render: %s exists; --force overwrites it\n", path.c_str());
    return true;
}

// Frames of a span: times start + floor(k * 1000 * den / num) up to `end`, inclusive for image
// sequences; a capture's span [start, end) holds (end - start) x fps frames, rounded up.
size_t spanFrames(const RenderOptions& o, bool endExclusive)
{
    const __int128 span = __int128(o.end - o.start) + (endExclusive ? 0 : 1);
    const __int128 den = __int128(1000) * o.fpsDen;
    const __int128 count = (span * o.fpsNum + den - 1) / den;
    return static_cast<size_t>(std::min<__int128>(count, SIZE_MAX));
}

uint32_t spanTime(const RenderOptions& o, size_t k)
{
    return static_cast<uint32_t>(o.start + static_cast<long long>(__int128(k) * 1000 * o.fpsDen / o.fpsNum));
}

} // namespace

int runRenderer(int argc, char** argv)
{
    RenderOptions o;
    if (const int rc = parseOptions(argc, argv, o)) return rc;
    const bool capture = !o.video.empty() || !o.wav.empty();
    // Images are written unless the run is a capture or a profile, or when -o asks for them.
    const bool images = o.outDirGiven || (!capture && !o.profile);
    const bool renderFrames = images || !o.video.empty() || o.profile;
    if (refuseOverwrite(o.video, o.force) || refuseOverwrite(o.wav, o.force)) return 1;

    if (images) {
        std::error_code ec;
        std::filesystem::create_directories(o.outDir, ec);
        if (!std::filesystem::is_directory(o.outDir)) {
            std::fprintf(stderr, "tessaline-render: cannot create %s\n", o.outDir.c_str());
            return 1;
        }
    }

    // The frame times: the listed ones, or those of the span.
    const size_t total = o.times.empty() ? spanFrames(o, capture) : o.times.size();
    auto timeOf = [&](size_t k) { return o.times.empty() ? spanTime(o, k) : uint32_t(o.times[k]); };

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

    PlayerOptions player;
    player.fullScreen = false;
    player.scriptPath = o.script;
    if (!playerStartup(player)) {
        std::fprintf(stderr, "tessaline-render: cannot start the headless player\n");
        return 1;
    }
    // A fatal report while the script loaded ends the run before any file is made.
    if (fatalErrorPosted()) {
        playerShutdown();
        return 1;
    }

    catchInterrupts(true);
    Capture media;
    if (capture) {
        // The music from where the engine's clock stands at the first frame.
        std::unique_ptr<MusicDecoder> music;
        const ScriptEngine* engine = playerState().scriptEngine.get();
        if (engine && engine->getSoundManager()) {
            clock->set(timeOf(0));
            music = engine->getSoundManager()->openDecoder(engine->getTime());
        }
        CaptureRequest request;
        request.videoPath = o.video;
        request.container = o.container;
        request.lossless = o.lossless;
        request.wavPath = o.wav;
        request.fpsNum = static_cast<int>(o.fpsNum);
        request.fpsDen = static_cast<int>(o.fpsDen);
        request.width = kScreenWidth;
        request.height = kScreenHeight;
        request.outWidth = o.outWidth;
        request.outHeight = o.outHeight;
        request.scale = o.smooth ? MediaScale::Smooth : MediaScale::Nearest;
        request.crf = o.crf;
        request.preset = o.preset;
        request.interrupted = [] { return g_interrupted != 0; };
        std::string failure, note;
        const bool opened = media.open(request, std::move(music), failure, note);
        if (!note.empty()) std::fprintf(stderr, "tessaline-render: %s\n", note.c_str());
        if (!opened) {
            std::fprintf(stderr, "tessaline-render: %s\n", g_interrupted ? "interrupted" : failure.c_str());
            playerShutdown();
            catchInterrupts(false);
            return 1;
        }
    }

    std::unique_ptr<RenderProfile> profile;
    if (o.profile) profile = std::make_unique<RenderProfile>(playerState().scriptEngine.get(), total);

    std::vector<uint8_t> rgb;
    Progress progress(o.quiet, total, o.times.empty() ? double(o.fpsNum) / double(o.fpsDen) : 0.0);
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
        clock->set(t);
        if (renderFrames) {
            if (profile) profile->frameStarts(t);
            renderFrame(playerScreen());
            if (profile) profile->frameEnded();
            if (fatalErrorPosted()) {
                code = 1;
                break;
            }
        }
        const uint32_t* screen = playerScreen() ? playerScreen()->getBackBuffer() : nullptr;
        if (images) {
            char name[32];
            std::snprintf(name, sizeof name, "/%06zu.png", k);
            const std::string path = o.outDir + name;
            bool ok = false;
            if (o.workImage) {
                const CImage32Buffered& work = playerWorkImage();
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
    playerShutdown();
    return code;
}
