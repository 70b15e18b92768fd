#include "backends/sdl/SdlBackend.h"

#include "backends/sdl/SdlParts.h"

void installSdlBackend(Platform& platform)
{
    platform.createWindow = createSdlWindow;
    platform.createAudioOutput = createSdlAudioOutput;
    platform.createMouse = createSdlMouse;
    auto previous = platform.musicLibrariesUsable;
    platform.musicLibrariesUsable = [previous] { return (!previous || previous()) && sdlLibraryUsable(); };
}
