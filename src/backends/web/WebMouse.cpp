#include <emscripten/html5.h>

#include "backends/web/WebParts.h"

namespace {

// Wheel units per notch, as the system mouse reports its wheel axis.
constexpr int kWheelDelta = 120;

// The motion and buttons the page reported since the last reading.
struct PageMouse {
    int dx = 0, dy = 0, wheel = 0;
    bool held[3] = {false, false, false};  // left, right, middle
};
PageMouse g_mouse;

// The page numbers its buttons left 0, middle 1, right 2; the mouse's order is left, right, middle.
int buttonIndex(unsigned short button) { return button == 0 ? 0 : button == 2 ? 1 : button == 1 ? 2 : -1; }

EM_BOOL onMouse(int type, const EmscriptenMouseEvent* e, void*)
{
    if (type == EMSCRIPTEN_EVENT_MOUSEMOVE) {
        g_mouse.dx += static_cast<int>(e->movementX);
        g_mouse.dy += static_cast<int>(e->movementY);
    } else if (const int b = buttonIndex(e->button); b >= 0) {
        g_mouse.held[b] = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
    }
    return EM_FALSE;
}

EM_BOOL onWheel(int, const EmscriptenWheelEvent* e, void*)
{
    // The page's wheel runs down for positive values; the mouse's wheel axis counts away from the user.
    if (e->deltaY < 0) ++g_mouse.wheel;
    if (e->deltaY > 0) --g_mouse.wheel;
    return EM_TRUE;
}

class WebMouseDevice : public MouseDevice {
public:
    WebMouseDevice()
    {
        g_mouse = PageMouse{};
        emscripten_set_mousemove_callback("#canvas", nullptr, EM_FALSE, onMouse);
        emscripten_set_mousedown_callback("#canvas", nullptr, EM_FALSE, onMouse);
        emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, onMouse);
        emscripten_set_wheel_callback("#canvas", nullptr, EM_FALSE, onWheel);
    }
    ~WebMouseDevice() override
    {
        emscripten_set_mousemove_callback("#canvas", nullptr, EM_FALSE, nullptr);
        emscripten_set_mousedown_callback("#canvas", nullptr, EM_FALSE, nullptr);
        emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
        emscripten_set_wheel_callback("#canvas", nullptr, EM_FALSE, nullptr);
    }
    WebMouseDevice(const WebMouseDevice&) = delete;
    WebMouseDevice& operator=(const WebMouseDevice&) = delete;

    int axisCount() const override { return 3; }
    int buttonCount() const override { return 3; }
    bool read(MouseState& state) override
    {
        state.motion[0] = g_mouse.dx;
        state.motion[1] = g_mouse.dy;
        state.motion[2] = g_mouse.wheel * kWheelDelta;
        g_mouse.dx = g_mouse.dy = g_mouse.wheel = 0;
        for (int b = 0; b < 3; ++b) state.buttons[b] = g_mouse.held[b] ? 0x80 : 0;
        state.buttons[3] = 0;
        return true;
    }
    MouseAcquireResult acquire() override { return MouseAcquireResult::Acquired; }
};

} // namespace

std::unique_ptr<MouseDevice> createWebMouse() { return std::make_unique<WebMouseDevice>(); }
