// DirectDrawScreen: the player's 640x480 32-bit screen. The back buffer lives in memory; the
// window's display surface shows it, full screen or windowed, and is re-created on F12.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Window.h"

class DirectDrawScreen {
public:
    DirectDrawScreen();
    ~DirectDrawScreen();
    DirectDrawScreen(const DirectDrawScreen&) = delete;
    DirectDrawScreen& operator=(const DirectDrawScreen&) = delete;

    // What the owner does when the screen fails for good (the player destroys its window).
    void setFailureHandler(std::function<void()> onFailure) { m_onFailure = std::move(onFailure); }
    // Creates the display surface of the window and the surfaces of the start mode. Failures are
    // reported through directDrawError, which tells the owner.
    void init(PlatformWindow* window, int width, int height, int fullScreenDepth, int desktopDepth,
              bool fullScreen);
    // The back buffer's memory (width x height pixels, stride = width), or null when the
    // surfaces are gone. Valid until unlock.
    uint32_t* lock();
    void unlock();
    // Shows the back buffer on the window or the screen.
    void present();
    // Re-creates lost surfaces (after a failed lock).
    void restore();
    // White text on a black box just large enough for it, onto the back buffer.
    void drawText(const char* text, int x, int y);
    // Switches between full screen and windowed with new surfaces.
    void toggleFullScreen();
    // Releases the surfaces and the display; a second call does nothing.
    void release();
    // Reports the text under "directDrawError", then calls the owner's failure handler.
    void directDrawError(const char* text);

    bool isFullScreen() const { return m_fullScreen; }
    int getPixelMode() const { return m_pixelMode; }
    const uint32_t* getBackBuffer() const { return m_backBuffer.data(); }

private:
    void initFullScreen();
    void initWindowed();
    void createSurfaces(bool fullScreen);

    std::unique_ptr<DisplaySurface> m_pDirectDraw;  // the window's display, created by init
    PlatformWindow* m_hWnd = nullptr;
    std::function<void()> m_onFailure;
    std::vector<uint32_t> m_backBuffer;             // 640 x 480 in memory, the drawing target
    int m_width = 0;
    int m_height = 0;
    int m_fullScreenDepth = 0;
    int m_desktopDepth = 0;
    int m_pixelMode = 0;
    bool m_fullScreen = false;
    bool m_locked = false;
};
