// The back end without hardware: windows that present into memory, a clock the owner sets, music
// decoded but not played (its time following that clock), and optionally a mouse the owner
// drives. The headless renderer runs on it, and the tests; it is the one to copy for a new
// back end.
#pragma once

#include <memory>

#include "backends/headless/HeadlessMouse.h"
#include "backends/headless/HeadlessWindow.h"
#include "platform/Platform.h"

// Installs the window factory (HeadlessWindows), the clock, no audio output, and a mouse over
// `mouse` when one is given (none otherwise: mouse controllers read -1).
void installHeadlessBackend(Platform& platform, std::shared_ptr<Clock> clock,
                            std::shared_ptr<HeadlessMouse> mouse = nullptr);
