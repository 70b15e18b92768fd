#include "platform/headless/HeadlessAudio.h"

#include "platform/Platform.h"

void installHeadlessAudio(Platform& platform)
{
    platform.headless = true;
    platform.createAudioOutput = nullptr;
}
