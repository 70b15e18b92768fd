// libFuzzer target for .lcx files: the input is the file (any flag byte). A loaded controller is
// given a mouse and a silent sound manager, queried over a few frames at awkward times, and a
// recording controller prepares its slots, stores samples and writes its recording to a fixed
// file inside a scratch tree (only when it has few slots, to keep runs fast).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "control/LCXControllerKeyFramer.h"
#include "control/LCXControllerManager.h"
#include "control/MouseInput.h"
#include "foundation/Report.h"
#include "music/SoundManager.h"
#include "backends/headless/HeadlessBackend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setReportEcho(false);
    LCXControllerManager manager;
    manager.load("fuzz.lcx", data, size);
    LCXController* controller = manager.getController();
    if (!controller) return 0;

    auto mouseState = std::make_shared<HeadlessMouse>();
    Platform p;
    p.createMouse = [mouseState] { return createHeadlessMouse(mouseState); };
    MouseInput mouse(p.createMouse());
    SoundManager sound;
    auto* recordable = dynamic_cast<LCXControllerRecordable*>(controller);
    if (auto* m = dynamic_cast<LCXControllerMouse*>(controller)) m->setMouseInput(&mouse);
    if (auto* s = dynamic_cast<LCXControllerSound*>(controller)) s->setSoundManager(&sound);
    if (recordable) {
        recordable->setTreeRoot("/tmp/");
        recordable->m_recordFileName = "fuzz_lcx_recording.lcx";
        recordable->initRecording();
    }

    const float times[] = {-1e30f, -5.0f, 0.0f, 12.5f, 999.0f, 1000.0f, 123456.0f, 3e9f,
                           std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    for (float t : times) {
        mouseState->next.motion[0] = int32_t(size);
        mouseState->next.buttons[0] = 0x80;
        mouse.update();
        controller->setDirty();
        controller->getValue(t);
        controller->getValue(t + 1.0f);
    }
    // Writing out large recordings is slow and proves nothing more than small ones.
    if (recordable && recordable->getSampleCount() > 20000) recordable->m_record = false;
    return 0;
}
