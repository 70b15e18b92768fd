// The pieces of the SDL back end, which SdlBackend.cpp installs: the player's window, the audio
// output and the system mouse.
#pragma once

#include <memory>

#include "platform/Platform.h"

// The player's window over SDL2 (SDL video is started on first use): events mapped to the
// player's window events, a streaming texture as the display surface.
std::unique_ptr<PlatformWindow> createSdlWindow(const char* caption, int width, int height, bool fullScreen);
// Audio output through SDL audio: 44100 Hz stereo float, pulled by SDL's audio thread.
std::unique_ptr<AudioOutput> createSdlAudioOutput(AudioOpenStatus& status);
// Whether the run-time SDL is the major version built against, at least its minor.
bool sdlLibraryUsable();
// The system mouse: relative motion and buttons from SDL's mouse state, the wheel as the third
// axis; it starts SDL video if needed and takes the mouse in relative mode while the player
// window has the focus.
std::unique_ptr<MouseDevice> createSdlMouse();
