#include "backends/sdl/SdlParts.h"

#include <SDL.h>

#include <atomic>
#include <memory>

#include "platform/Mouse.h"
#include "platform/Platform.h"

namespace {

// Wheel units per notch, as the system mouse reports its wheel axis.
constexpr int kWheelDelta = 120;

class SdlMouseDevice : public MouseDevice {
public:
    SdlMouseDevice()
    {
        m_video = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        if (!m_video) return;
        // Wheel motion only arrives as events; a watch sees each one as it is queued, before the
        // window's event loop takes it.
        SDL_AddEventWatch(&SdlMouseDevice::watch, this);
        SDL_SetRelativeMouseMode(SDL_TRUE);
        SDL_GetRelativeMouseState(nullptr, nullptr);  // motion counts from now
    }

    ~SdlMouseDevice() override
    {
        if (!m_video) return;
        SDL_DelEventWatch(&SdlMouseDevice::watch, this);
        SDL_SetRelativeMouseMode(SDL_FALSE);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    SdlMouseDevice(const SdlMouseDevice&) = delete;
    SdlMouseDevice& operator=(const SdlMouseDevice&) = delete;

    int axisCount() const override { return m_video ? 3 : 0; }
    int buttonCount() const override { return m_video ? 3 : 0; }

    bool read(MouseState& state) override
    {
        if (!m_video) return false;
        int dx = 0, dy = 0;
        const Uint32 mask = SDL_GetRelativeMouseState(&dx, &dy);
        state.motion[0] = dx;
        state.motion[1] = dy;
        state.motion[2] = m_wheel.exchange(0) * kWheelDelta;
        // Buttons 0, 1, 2 = left, right, middle; bit 7 set while held.
        state.buttons[0] = (mask & SDL_BUTTON_LMASK) ? 0x80 : 0;
        state.buttons[1] = (mask & SDL_BUTTON_RMASK) ? 0x80 : 0;
        state.buttons[2] = (mask & SDL_BUTTON_MMASK) ? 0x80 : 0;
        state.buttons[3] = (mask & SDL_BUTTON_X1MASK) ? 0x80 : 0;
        return true;
    }

    // SDL keeps the mouse state itself: there is nothing to take back.
    MouseAcquireResult acquire() override { return m_video ? MouseAcquireResult::Acquired : MouseAcquireResult::Failed; }

private:
    static int SDLCALL watch(void* userdata, SDL_Event* event)
    {
        if (event->type == SDL_MOUSEWHEEL) {
            const int y = event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event->wheel.y : event->wheel.y;
            static_cast<SdlMouseDevice*>(userdata)->m_wheel += y;
        }
        return 0;
    }

    bool m_video = false;
    std::atomic<int> m_wheel{0};
};

} // namespace

std::unique_ptr<MouseDevice> createSdlMouse() { return std::make_unique<SdlMouseDevice>(); }
