// MouseInput: the mouse device mouse controllers read. Polled once per frame; keeps the
// accumulated position of each axis and the state of each button.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Mouse.h"

class MouseInput {
public:
    static constexpr int kAxisCount = 3;
    static constexpr int kButtonCount = 4;
    // Re-acquisition attempts per poll while the device answers that input was lost.
    static constexpr int kMaxAcquire = 8;

    // Takes the device (null: a mouse without input whose values stay 0).
    explicit MouseInput(std::unique_ptr<MouseDevice> device);
    ~MouseInput();
    MouseInput(const MouseInput&) = delete;
    MouseInput& operator=(const MouseInput&) = delete;

    // Once per frame: adds the motion since the last poll to the positions and reads the
    // buttons. A failed read re-acquires the device and leaves every value as it was.
    void update();

    int getX() const { return m_x; }
    int getY() const { return m_y; }
    int getZ() const { return m_z; }
    // 0 or 1; 0 for a button the device does not have.
    int getButton(int i) const { return i >= 0 && i < m_nbButton ? m_buttonState[i] : 0; }
    int getAxisCount() const { return m_nbAxis; }
    int getButtonCount() const { return m_nbButton; }
    // The last relative motion of an axis (0 out of range).
    int getMotion(int axis) const { return axis >= 0 && axis < kAxisCount ? m_motion[axis] : 0; }

private:
    std::unique_ptr<MouseDevice> m_pDevice;
    int m_nbAxis = 0;
    int m_nbButton = 0;
    int m_buttonState[kButtonCount] = {0, 0, 0, 0};
    int m_motion[kAxisCount] = {0, 0, 0};
    int m_x = 0;
    int m_y = 0;
    int m_z = 0;
};
