// The player's window and its presentation surface, as the platform back ends provide them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Virtual key codes the player reacts to (the values of the original platform).
enum : int {
    kKeyEscape = 27,
    kKeyI = 73,
    kKeyF9 = 120,
    kKeyF12 = 123,
    // The authoring mode's keys.
    kKeySpace = 32,
    kKeyLeft = 37,
    kKeyRight = 39,
    kKeyL = 76,
    kKeyR = 82,
    kKeyS = 83,
    kKeyOpenBracket = 219,
    kKeyCloseBracket = 221,
};

enum class WindowEventType {
    Close,      // the user asked to close the window (close button, window manager)
    Minimized,  // window hidden or minimized: no frames
    Restored,   // window shown, restored or maximized
    KeyDown,    // key pressed or auto-repeated; `key` holds the virtual key code (0 if unmapped)
    DropFile,   // a file dropped onto the window; `path` holds its path
    Quit,       // the platform wants the process to end
};

struct WindowEvent {
    WindowEventType type = WindowEventType::Close;
    int key = 0;
    std::string path;
    bool shift = false;  // KeyDown: a Shift key is held
};

// Where a finished 640x480 32-bit frame is shown. Surfaces are created per mode and
// dropped when the mode changes.
class DisplaySurface {
public:
    virtual ~DisplaySurface() = default;
    // Creates the surfaces for full screen or windowed mode; false and a message text on failure.
    [[nodiscard]] virtual bool createSurfaces(bool fullScreen, std::string& failure) = 0;
    // Drops the surfaces (called before a mode change and on release). Harmless twice.
    virtual void releaseSurfaces() = 0;
    // Shows a frame of 0x00RRGGBB pixels; pitch in bytes. Called once per frame after unlock.
    virtual void present(const uint32_t* pixels, int width, int height, int pitchBytes) = 0;
    // Recovers lost surfaces after a failed lock.
    virtual void restore() = 0;
    // Whether the surfaces exist (a lock fails without them).
    virtual bool hasSurfaces() const = 0;
};

class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;
    // Takes the next pending event without waiting; false when none is pending.
    [[nodiscard]] virtual bool pollEvent(WindowEvent& event) = 0;
    // Rests until an event arrives or the time runs out (used while the window is inactive).
    virtual void waitEvent(int timeoutMs) = 0;
    // Destroys the window; pollEvent keeps working and reports nothing more for it.
    virtual void destroy() = 0;
    virtual void showCursor(bool show) = 0;
    // Bits per pixel of the desktop at start-up.
    virtual int desktopBitDepth() = 0;
    // The presentation surface of this window (one per screen object).
    virtual std::unique_ptr<DisplaySurface> createDisplaySurface() = 0;
};
