// tessaline: plays a demo script in a window (or full screen) with its music.
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/Report.h"
#include "platform/Platform.h"
#include "platform/ffmpeg/FfmpegBackend.h"
#include "platform/openmpt/OpenMptBackend.h"
#include "platform/sdl/SdlAudio.h"
#include "platform/sdl/SdlMouse.h"
#include "platform/sdl/SdlWindow.h"
#include "player/ScriptPlayer.h"

namespace {
const char* const kUsage =
    "usage: tessaline [--windowed] [--no-dialogs] [--help] [--version] [SCRIPT ...]\n"
    "  Plays SCRIPT (.lscx), or the first .lscx of the current directory.\n"
    "  --windowed    start in a 640x480 window instead of full screen\n"
    "  --no-dialogs  write messages to stderr only, without message boxes\n"
    "  Keys: Escape quits, I or F9 shows the fps line, F12 switches full screen / window.\n";
}

int main(int argc, char** argv)
{
    PlayerOptions options;
    bool dialogs = true;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        if (std::strcmp(argv[i], "--windowed") == 0) {
            options.fullScreen = false;
        } else if (std::strcmp(argv[i], "--no-dialogs") == 0) {
            dialogs = false;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tessaline %s\n", TL_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "tessaline: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    for (; i < argc; ++i) {
        if (!options.commandLine.empty()) options.commandLine += ' ';
        options.commandLine += argv[i];
    }

    Platform p;
    p.clock = std::make_shared<SystemClock>();
    installSdlPlatform(p);
    installOpenMptBackend(p);
    installFfmpegBackend(p);
    installSdlAudioBackend(p);
    installSdlMouse(p);
    installPlatform(std::move(p));
    if (dialogs) setMessageBoxSink(makeSdlMessageBoxSink());

    if (!playerStartup(options)) {
        playerShutdown();
        SDL_Quit();
        return 1;
    }
    const int code = playerRun();
    playerShutdown();
    setMessageBoxSink(nullptr);
    SDL_Quit();
    return code;
}
