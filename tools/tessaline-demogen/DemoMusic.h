// The bundled demo's music: a four-channel tracker module of 37 patterns (284.16 s at 125 BPM,
// speed 6), composed here in fifteen sections of two or three patterns that the demo's script
// cuts its pictures to.
#pragma once

#include <cstdint>
#include <vector>

namespace DemoMusic {

constexpr int kRowMs = 120;                    // speed 6 at 125 BPM
constexpr int kPatternMs = 64 * kRowMs;        // 7680 ms
constexpr int kNbPatterns = 37;

// The whole module file (ProTracker "M.K." layout), the same bytes on every run.
std::vector<uint8_t> makeModule();

} // namespace DemoMusic
