// Audio output through SDL audio: 44100 Hz stereo float, pulled by SDL's audio thread.
#pragma once

struct Platform;

// Installs the audio output creator (and clears `headless`) and chains the SDL version check.
void installSdlAudioBackend(Platform& platform);
