// The player's back end in a web page: the canvas is the window, keys and the mouse come from
// the page, music plays through WebAudio, the clock is the page's, and message boxes are a
// panel over the picture and lines in the browser's console.
#pragma once

#include <memory>

#include "platform/MessageBoxSink.h"
#include "platform/Platform.h"

// Installs the clock, the window factory, the audio output creator and the mouse creator.
void installWebBackend(Platform& platform);

// Reports shown on the page's panel (its tlPage.report); the console has them from stderr. Never
// blocks.
std::shared_ptr<MessageBoxSink> makeWebMessageBoxSink();
