// The system mouse as the platform back ends provide it: relative motion of up to three axes
// (the wheel is the third) and the button states, read once per frame by MouseInput.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// One reading: the motion since the previous reading and the button bytes (bit 7 set = held).
struct MouseState {
    int32_t motion[3] = {0, 0, 0};    // x, y, z (wheel)
    uint8_t buttons[4] = {0, 0, 0, 0};
};

enum class MouseAcquireResult {
    Acquired,   // the device is ours again
    InputLost,  // still lost: the caller may ask again
    Failed,     // cannot be taken now; try again next frame
};

class MouseDevice {
public:
    virtual ~MouseDevice() = default;
    // Number of axes (at most 3) and buttons (at most 4) the device reports.
    virtual int axisCount() const = 0;
    virtual int buttonCount() const = 0;
    // Reads the motion since the last read and the buttons. False when the device could not be
    // read (lost or not acquired); `state` is then unspecified.
    [[nodiscard]] virtual bool read(MouseState& state) = 0;
    // Takes the device again after a failed read.
    virtual MouseAcquireResult acquire() = 0;
};

// Creates the system mouse; null when there is none.
using MouseDeviceCreator = std::function<std::unique_ptr<MouseDevice>()>;
