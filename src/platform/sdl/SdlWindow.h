// The player's window over SDL2: events mapped to the player's window events, a streaming
// texture as the display surface, message boxes.
#pragma once

#include <memory>

#include "platform/MessageBoxSink.h"
#include "platform/Platform.h"

// Installs the SDL window factory into the registry (SDL video is started on first use).
void installSdlPlatform(Platform& p);

// Modal SDL message boxes over the player's window.
std::shared_ptr<MessageBoxSink> makeSdlMessageBoxSink();
