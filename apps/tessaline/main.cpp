// tessaline: plays a demo script in a window (or full screen) with its music.
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/Report.h"
#include "image/SimdLevel.h"
#include "platform/Platform.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/inotify/InotifyBackend.h"
#include "backends/openmpt/OpenMptBackend.h"
#include "backends/sdl/SdlBackend.h"
#include "player/ScriptPlayer.h"
#include "text/TextBuild.h"

namespace {
const char* const kUsage =
    "usage: tessaline [--windowed|--fullscreen] [--start MS] [--dev] [--no-dialogs] [--help] [--version]\n"
    "                 [SCRIPT ...]\n"
    "  Plays SCRIPT (.lscx), or the first .lscx of the current directory.\n"
    "  --windowed    start in a 640x480 window instead of full screen\n"
    "  --fullscreen  start full screen (the default, except with --dev)\n"
    "  --start MS    music and clock start MS milliseconds into the demo\n"
    "  --dev         authoring mode (in a window unless --fullscreen): Space pauses, Left/Right seek\n"
    "                1 s (with Shift 10 s), [ and ] set a loop that L switches, R reloads the\n"
    "                script, S saves the work image beside it; saving a file the demo loaded\n"
    "                reloads it, and a saved text source (cube.l3x.txt) is built first, as\n"
    "                tessaline-build does; lines show the last action, time, beat and fps\n"
    "  --no-dialogs  write messages to stderr only, without message boxes\n"
    "  --version     prints the version and the SIMD level in use (TL_SIMD=scalar|sse2|avx2 forces one)\n"
    "  Keys: Escape quits, I or F9 shows the fps line, F12 switches full screen / window.\n";

// The termination signal that asked the player to stop, 0 while none did.
volatile std::sig_atomic_t g_stopSignal = 0;

void onStopSignal(int signal) { g_stopSignal = signal; }

// Ctrl-C, SIGTERM and SIGHUP end the player at its next frame or event, or at once while a
// message box is up, with the usual clean-up. Installed before SDL starts, which then keeps
// them rather than putting its own in their place.
void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESTART;  // the display connection's reads must not fail on a signal
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// Milliseconds: digits only, at most 2^31 - 1.
bool parseMs(const char* text, int& out)
{
    if (!text || !*text) return false;
    long long v = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        v = v * 10 + (*c - '0');
        if (v > 0x7FFFFFFF) return false;
    }
    out = static_cast<int>(v);
    return true;
}
}

int main(int argc, char** argv)
{
    PlayerOptions options;
    bool dialogs = true;
    int windowChoice = 0;  // -1 windowed, 1 full screen, 0 the default
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        if (std::strcmp(argv[i], "--windowed") == 0) {
            windowChoice = -1;
        } else if (std::strcmp(argv[i], "--fullscreen") == 0) {
            windowChoice = 1;
        } else if (std::strcmp(argv[i], "--dev") == 0) {
            options.dev = true;
        } else if (std::strcmp(argv[i], "--start") == 0) {
            if (i + 1 >= argc || !parseMs(argv[i + 1], options.startMs)) {
                std::fprintf(stderr, "tessaline: --start needs milliseconds\n%s", kUsage);
                return 2;
            }
            ++i;
        } else if (std::strcmp(argv[i], "--no-dialogs") == 0) {
            dialogs = false;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tessaline %s (SIMD: %s)\n", TL_VERSION, simdLevelName(simdLevel()));
            return 0;
        } else {
            std::fprintf(stderr, "tessaline: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    options.fullScreen = windowChoice == 0 ? !options.dev : windowChoice > 0;
    for (; i < argc; ++i) {
        if (!options.commandLine.empty()) options.commandLine += ' ';
        options.commandLine += argv[i];
    }

    catchStopSignals();
    options.stopRequested = [] { return g_stopSignal != 0; };
    // The authoring mode rebuilds a saved text source with the tools' own compilers.
    options.sourceBuilder = makeTextSourceBuilder();
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    installSdlBackend(p);
    installOpenMptBackend(p);
    installFfmpegBackend(p);
    installInotifyBackend(p);
    installPlatform(std::move(p));
    if (dialogs) setMessageBoxSink(makeSdlMessageBoxSink(options.stopRequested));

    int code = 1;
    {
        Player player;
        if (player.startup(options)) code = player.run();
        player.shutdown();
    }
    // Stopped by a signal: the shell's status for it.
    if (g_stopSignal != 0) code = 128 + g_stopSignal;
    setMessageBoxSink(nullptr);
    SDL_Quit();
    return code;
}
