// A window without a display: events come from a queue the owner fills, frames are presented
// into memory. Used by the headless renderer and as the fake platform of tests.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Window.h"

// Shows frames in memory: the last presented frame stays readable.
class MemoryDisplaySurface : public DisplaySurface {
public:
    bool createSurfaces(bool fullScreen, std::string& failure) override;
    void releaseSurfaces() override;
    void present(const uint32_t* pixels, int width, int height, int pitchBytes) override;
    void restore() override;
    bool hasSurfaces() const override { return m_hasSurfaces && !loseSurfaces; }

    // Test controls and observations.
    std::string failWith;            // non-empty: the next createSurfaces fails with this text
    bool loseSurfaces = false;       // true: surfaces are gone until restore
    bool fullScreen = false;
    int createCount = 0;
    int presentCount = 0;
    int restoreCount = 0;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> frame;     // the last presented frame, width x height

private:
    bool m_hasSurfaces = false;
};

class HeadlessWindow : public PlatformWindow {
public:
    bool pollEvent(WindowEvent& event) override;
    void waitEvent(int timeoutMs) override;
    void destroy() override { destroyed = true; }
    void showCursor(bool show) override { cursorShown = show; }
    int desktopBitDepth() override { return 32; }
    std::unique_ptr<DisplaySurface> createDisplaySurface() override;

    void push(WindowEvent event) { events.push_back(std::move(event)); }
    void pushKey(int key) { push(WindowEvent{WindowEventType::KeyDown, key, {}}); }

    std::deque<WindowEvent> events;
    bool destroyed = false;
    bool cursorShown = true;
    bool failDisplay = false;               // createDisplaySurface returns null
    MemoryDisplaySurface* surface = nullptr; // the last surface created (owned by the screen)
};

// A new HeadlessWindow, active at once; the last one made is reachable through
// lastHeadlessWindow().
std::unique_ptr<PlatformWindow> createHeadlessWindow(const char* caption, int width, int height, bool fullScreen);
HeadlessWindow* lastHeadlessWindow();
