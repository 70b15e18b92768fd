// The player's back end over SDL2: window, events, display, audio output, mouse, message boxes.
#pragma once

#include <memory>

#include "platform/MessageBoxSink.h"
#include "platform/Platform.h"

// Installs the window factory, the audio output creator and the mouse creator, and chains the
// SDL version check.
void installSdlBackend(Platform& platform);

// Modal SDL message boxes over the player's window.
std::shared_ptr<MessageBoxSink> makeSdlMessageBoxSink();
