// A mouse without hardware: its owner sets the motion and buttons the next read reports. Used by
// tests, and by the headless renderer when it wants a still mouse.
#pragma once

#include <memory>

#include "platform/Mouse.h"
#include "platform/Platform.h"

class HeadlessMouse {
public:
    int axes = 3;
    int buttons = 3;
    MouseState next;          // what the next read reports; its motion is cleared by the read
    bool failReads = false;   // reads fail while set
    int lostAnswers = 0;      // acquire answers "input lost" this many times, then "acquired"
    int readCount = 0;
    int acquireCount = 0;
};

// A device over `mouse` (which the caller keeps and drives).
std::unique_ptr<MouseDevice> createHeadlessMouse(std::shared_ptr<HeadlessMouse> mouse);
