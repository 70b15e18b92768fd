#include "control/MouseInput.h"

#include <algorithm>
#include <climits>

namespace {
// Positions saturate rather than wrap: a device reporting nonsense cannot overflow them.
int addSaturated(int a, int32_t b)
{
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}
} // namespace

MouseInput::MouseInput(std::unique_ptr<MouseDevice> device) : m_pDevice(std::move(device))
{
    if (!m_pDevice) return;
    m_nbAxis = std::clamp(m_pDevice->axisCount(), 0, kAxisCount);
    m_nbButton = std::clamp(m_pDevice->buttonCount(), 0, kButtonCount);
}

MouseInput::~MouseInput() = default;

void MouseInput::update()
{
    if (!m_pDevice) return;
    MouseState state;
    if (!m_pDevice->read(state)) {
        // Lost: ask for the device again (a bounded number of times), keep this frame's values.
        for (int i = 0; i < kMaxAcquire; ++i)
            if (m_pDevice->acquire() != MouseAcquireResult::InputLost) break;
        return;
    }
    for (int i = 0; i < m_nbButton; ++i) m_buttonState[i] = state.buttons[i] >> 7;
    for (int i = 0; i < kAxisCount; ++i) m_motion[i] = i < m_nbAxis ? state.motion[i] : 0;
    if (m_nbAxis > 1) {
        m_x = addSaturated(m_x, state.motion[0]);
        m_y = addSaturated(m_y, state.motion[1]);
    }
    if (m_nbAxis > 2) m_z = addSaturated(m_z, state.motion[2]);
}
