// The pieces of the web back end, each in its own file.
#pragma once

#include <memory>

#include "platform/Audio.h"
#include "platform/Clock.h"
#include "platform/Mouse.h"
#include "platform/Window.h"

// The page's clock: performance.now() in ms. It cannot sleep (the browser calls the frame loop).
class WebClock : public Clock {
public:
    uint32_t tickCount() override;
    uint32_t timeMs() override;
    void sleepMs(uint32_t) override {}
};

std::unique_ptr<PlatformWindow> createWebWindow(const char* caption, int width, int height, bool fullScreen);
std::unique_ptr<AudioOutput> createWebAudioOutput(AudioOpenStatus& status);
std::unique_ptr<MouseDevice> createWebMouse();
