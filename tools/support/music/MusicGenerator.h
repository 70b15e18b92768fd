// Writes the test and demo music from nothing but this code: a short four-channel tracker
// module with synthesized 8-bit samples, and a short WAV tone sequence. Same bytes every run.
#pragma once

#include <cstdint>
#include <vector>

namespace MusicGenerator {

// The module: four channels, three 64-row patterns played once (about 23 s).
std::vector<uint8_t> makeModule();
constexpr int kModuleLengthMs = 3 * 64 * 120;  // patterns x rows x 120 ms a row (speed 6, 125 BPM)

// The WAV: 16-bit stereo 44100 Hz, kWavTones tones of kToneMs each followed by kGapMs of silence.
std::vector<uint8_t> makeWav();
constexpr int kWavTones = 20;
constexpr int kToneMs = 400;
constexpr int kGapMs = 100;
constexpr int kWavLengthMs = kWavTones * (kToneMs + kGapMs);  // 10 s
constexpr double kToneAmplitude = 0.7;  // left-channel peak of every tone (the right is 0.8 of it)

// Writes the bytes to a file (found through FileTools); false when it cannot be written.
bool writeFile(const char* path, const std::vector<uint8_t>& bytes);

} // namespace MusicGenerator
