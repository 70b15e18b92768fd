// Music played through an audio device: the device's audio thread pulls decoded samples, and
// the position is what has been handed to the device.
#pragma once

#include <memory>
#include <mutex>

#include "music/MusicPlayback.h"
#include "music/PlaybackPosition.h"
#include "platform/Audio.h"
#include "platform/Clock.h"

class DevicePlayback : public MusicPlayback, private AudioSource {
public:
    // Takes the decoder and the opened (paused) output; `clock` times the interpolation.
    DevicePlayback(std::unique_ptr<MusicDecoder> decoder, bool isModule,
                   std::unique_ptr<AudioOutput> output, std::shared_ptr<Clock> clock);
    ~DevicePlayback() override;

    void play() override;
    void setTime(int ms) override;
    void seek(int ms) override;
    void pause(bool paused) override;
    int getTime() override;
    float getVU() override;

private:
    void render(float* interleaved, int frames) override;
    // Moves the decoder and the position to `frame` of the music.
    void seekFrame(int64_t frame);

    const bool m_isModule;
    const std::shared_ptr<Clock> m_clock;
    std::unique_ptr<MusicDecoder> m_decoder;
    bool m_playing = false;
    bool m_paused = false;
    // Lock order: m_decodeMutex, then m_positionMutex. The engine thread takes the decode
    // lock only to seek; reading the time and level takes the position lock alone, which the
    // audio thread holds only to publish a buffer. The clock is read before the lock, so a
    // reading may precede the tick of a buffer published in between; the position counts such
    // a reading as the start of that buffer.
    std::mutex m_decodeMutex;
    std::mutex m_positionMutex;
    PlaybackPosition m_position;
    // Last: destroyed first, so no render call outlives the members above.
    std::unique_ptr<AudioOutput> m_output;
};
