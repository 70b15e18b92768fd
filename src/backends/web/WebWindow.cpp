#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <deque>
#include <vector>

#include "backends/web/WebParts.h"

namespace {

// Events from the page wait here for the player's loop (one window at a time).
std::deque<WindowEvent> g_events;

// The keys the player reacts to: the page's key codes are the player's virtual key codes.
bool isPlayerKey(unsigned long code)
{
    switch (code) {
    case kKeyEscape: case kKeyI: case kKeyF9: case kKeyF12: case kKeySpace: case kKeyLeft: case kKeyRight:
    case kKeyL: case kKeyR: case kKeyS: case kKeyOpenBracket: case kKeyCloseBracket: return true;
    default: return false;
    }
}

EM_BOOL onKeyDown(int, const EmscriptenKeyboardEvent* e, void*)
{
    // With Ctrl, Alt or Meta the key is the browser's (reload, close the tab...).
    if (e->ctrlKey || e->altKey || e->metaKey || !isPlayerKey(e->keyCode)) return EM_FALSE;
    WindowEvent event;
    event.type = WindowEventType::KeyDown;
    event.key = static_cast<int>(e->keyCode);
    event.shift = e->shiftKey;
    g_events.push_back(event);
    return EM_TRUE;  // no scrolling on Space and the arrows, no developer tools on F12
}

EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*)
{
    g_events.push_back(WindowEvent{e->hidden ? WindowEventType::Minimized : WindowEventType::Restored, 0, {}});
    return EM_FALSE;
}

EM_JS(void, tl_web_present, (const uint8_t* rgba, int width, int height), {
    var canvas = Module.canvas;
    if (canvas.width != width || canvas.height != height) {
        canvas.width = width;
        canvas.height = height;
    }
    var context = Module.tlContext || (Module.tlContext = canvas.getContext("2d"));
    var image = Module.tlImage;
    if (!image || image.width != width || image.height != height) image = Module.tlImage = context.createImageData(width, height);
    image.data.set(HEAPU8.subarray(rgba, rgba + width * height * 4));
    context.putImageData(image, 0, 0);
});

EM_JS(void, tl_web_full_screen, (int on), {
    if (typeof tlPage !== "undefined" && tlPage.fullScreen) tlPage.fullScreen(!!on);
});

EM_JS(void, tl_web_show_cursor, (int show), { Module.canvas.style.cursor = show ? "" : "none"; });

class WebSurface : public DisplaySurface {
public:
    bool createSurfaces(bool fullScreen, std::string&) override
    {
        tl_web_full_screen(fullScreen ? 1 : 0);
        m_created = true;
        return true;
    }
    void releaseSurfaces() override { m_created = false; }
    void present(const uint32_t* pixels, int width, int height, int pitchBytes) override
    {
        if (width <= 0 || height <= 0) return;
        m_rgba.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        // 0x00RRGGBB to the canvas's R, G, B, A bytes (opaque).
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) + size_t(y) * size_t(pitchBytes));
            uint32_t* out = m_rgba.data() + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x) {
                const uint32_t p = row[x];
                out[x] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
            }
        }
        tl_web_present(reinterpret_cast<const uint8_t*>(m_rgba.data()), width, height);
    }
    void restore() override {}
    bool hasSurfaces() const override { return m_created; }

private:
    bool m_created = false;
    std::vector<uint32_t> m_rgba;  // the converted frame, kept from frame to frame
};

class WebWindow : public PlatformWindow {
public:
    WebWindow()
    {
        g_events.clear();
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKeyDown);
        emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, onVisibility);
        // Shown from the start: the page is visible when the viewer starts the demo.
        g_events.push_back(WindowEvent{WindowEventType::Restored, 0, {}});
    }
    ~WebWindow() override { destroy(); }

    bool pollEvent(WindowEvent& event) override
    {
        if (m_destroyed || g_events.empty()) return false;
        event = std::move(g_events.front());
        g_events.pop_front();
        return true;
    }
    void waitEvent(int) override {}
    void destroy() override
    {
        if (m_destroyed) return;
        m_destroyed = true;
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
        emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, nullptr);
        g_events.clear();
    }
    void showCursor(bool show) override { tl_web_show_cursor(show ? 1 : 0); }
    int desktopBitDepth() override { return 32; }
    std::unique_ptr<DisplaySurface> createDisplaySurface() override { return std::make_unique<WebSurface>(); }

private:
    bool m_destroyed = false;
};

} // namespace

std::unique_ptr<PlatformWindow> createWebWindow(const char* caption, int, int, bool)
{
    if (caption) emscripten_set_window_title(caption);
    return std::make_unique<WebWindow>();
}
