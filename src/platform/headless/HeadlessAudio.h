// Headless music: decoded but not played, its time following the platform clock (the
// renderer's virtual clock), its level taken from the decoded samples at that time.
#pragma once

struct Platform;

// Marks the platform headless: no audio output is opened.
void installHeadlessAudio(Platform& platform);
