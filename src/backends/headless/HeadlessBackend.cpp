#include "backends/headless/HeadlessBackend.h"

void installHeadlessBackend(Platform& platform, std::shared_ptr<Clock> clock, std::shared_ptr<HeadlessMouse> mouse)
{
    platform.clock = std::move(clock);
    platform.createWindow = createHeadlessWindow;
    platform.createAudioOutput = nullptr;
    if (mouse) platform.createMouse = [mouse] { return createHeadlessMouse(mouse); };
}
