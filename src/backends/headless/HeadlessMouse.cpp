#include "backends/headless/HeadlessMouse.h"

namespace {

class HeadlessMouseDevice : public MouseDevice {
public:
    explicit HeadlessMouseDevice(std::shared_ptr<HeadlessMouse> mouse) : m_mouse(std::move(mouse)) {}
    int axisCount() const override { return m_mouse->axes; }
    int buttonCount() const override { return m_mouse->buttons; }
    bool read(MouseState& state) override
    {
        ++m_mouse->readCount;
        if (m_mouse->failReads) return false;
        state = m_mouse->next;
        for (int32_t& m : m_mouse->next.motion) m = 0;
        return true;
    }
    MouseAcquireResult acquire() override
    {
        ++m_mouse->acquireCount;
        if (m_mouse->lostAnswers > 0) {
            --m_mouse->lostAnswers;
            return MouseAcquireResult::InputLost;
        }
        return MouseAcquireResult::Acquired;
    }

private:
    std::shared_ptr<HeadlessMouse> m_mouse;
};

} // namespace

std::unique_ptr<MouseDevice> createHeadlessMouse(std::shared_ptr<HeadlessMouse> mouse)
{
    return std::make_unique<HeadlessMouseDevice>(std::move(mouse));
}
