// The player's back end over SDL2: window, events, display, audio output, mouse, message boxes.
#pragma once

#include <functional>
#include <memory>

#include "platform/MessageBoxSink.h"
#include "platform/Platform.h"

// Installs the window factory, the audio output creator and the mouse creator, and chains the
// SDL version check.
void installSdlBackend(Platform& platform);

// Modal SDL message boxes over the player's window. With `stopRequested`, each box is shown by
// the desktop's box program (zenity) as a child process, and the caller waits for it only until
// stopRequested turns true (a termination signal came): the box is then closed and show
// returns, so a box never holds the player against Ctrl-C, SIGTERM or SIGHUP. Without the
// program, SDL's own box.
std::shared_ptr<MessageBoxSink> makeSdlMessageBoxSink(std::function<bool()> stopRequested = {});
