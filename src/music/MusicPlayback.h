// A loaded piece of music as SoundManager drives it: played through a device, or run against
// a clock when nothing is played (headless, or no device).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Audio.h"

class MusicPlayback {
public:
    virtual ~MusicPlayback() = default;
    // Starts playing; nothing when already playing.
    virtual void play() = 0;
    // Moves a stream to `ms` (negative means 0); the time then counts from there.
    virtual void setTime(int ms) = 0;
    // Moves a stream or a module to `ms` (negative means 0): the authoring mode's seek.
    virtual void seek(int ms) = 0;
    // Holds the music and its time where they are, or lets them go on from there.
    virtual void pause(bool paused) = 0;
    // Playing position in ms; never runs backwards between two setTime calls.
    virtual int getTime() = 0;
    // Peak level 0..1 of what is playing now.
    virtual float getVU() = 0;
};

// Peak of |sample| over interleaved stereo frames, at most 1.
float peakLevel(const float* interleaved, size_t frames);

// Milliseconds of `frames` at the music rate, rounded down.
inline int64_t framesToMs(int64_t frames) { return frames * 1000 / kMusicRate; }
// Frames of `ms` at the music rate, rounded down.
inline int64_t msToFrames(int64_t ms) { return ms * kMusicRate / 1000; }
// The first frame at or after `ms` (ms >= 0): a seek to `ms` lands there, so that the position
// read back in ms is `ms` itself (framesToMs(firstFrameAt(ms)) == ms).
inline int64_t firstFrameAt(int64_t ms) { return (ms * kMusicRate + 999) / 1000; }
