// Music played through an audio device: the device's audio thread copies samples out of the
// decoded music, and the position is what has been handed to the device.
#pragma once

#include <memory>
#include <mutex>

#include "music/MusicBuffer.h"
#include "music/MusicPlayback.h"
#include "music/PlaybackPosition.h"
#include "platform/Audio.h"
#include "platform/Clock.h"

class DevicePlayback : public MusicPlayback, private AudioSource {
public:
    // Takes the decoded music and the opened (paused) output; `clock` times the interpolation.
    DevicePlayback(std::shared_ptr<const MusicBuffer> music, bool isModule, std::unique_ptr<AudioOutput> output,
                   std::shared_ptr<Clock> clock);
    ~DevicePlayback() override;

    void play() override;
    void setTime(int ms) override;
    void seek(int ms) override;
    void pause(bool paused) override;
    int getTime() override;
    float getVU() override;

private:
    void render(float* interleaved, int frames) override;
    // Moves the reading and the position to `frame` of the music.
    void seekFrame(int64_t frame);

    const bool m_isModule;
    const std::shared_ptr<Clock> m_clock;
    const std::shared_ptr<const MusicBuffer> m_music;
    bool m_playing = false;
    bool m_paused = false;
    // Guards the reading place and the position. The audio thread holds it only to copy one
    // buffer out of memory and publish it. The clock is read before the lock, so a reading may
    // precede the tick of a buffer published in between; the position counts such a reading as
    // the start of that buffer.
    std::mutex m_mutex;
    int64_t m_frame = 0;  // the next frame to hand to the device
    PlaybackPosition m_position;
    // Last: destroyed first, so no render call outlives the members above.
    std::unique_ptr<AudioOutput> m_output;
};
