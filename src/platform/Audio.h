// Music decoding and audio output as the platform back ends provide them: plain interfaces,
// no library header. Every sample that crosses them is 44100 Hz stereo, interleaved float.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

constexpr int kMusicRate = 44100;    // frames per second of every decoder and output
constexpr int kMusicChannels = 2;    // interleaved left, right

// One opened music file (a tracker module or a stream). Used by one thread at a time.
class MusicDecoder {
public:
    virtual ~MusicDecoder() = default;
    // Decodes up to `frames` stereo frames into `interleaved` (2 * frames floats, nominally
    // -1..1); returns the frames written, fewer than asked only at the end of the music. The
    // music is read from its start to its end, once: seeking is done in the decoded samples.
    virtual size_t read(float* interleaved, size_t frames) = 0;
    // The name the back end's library gives the music's codec ("" where it gives none).
    virtual std::string codecName() const { return {}; }
};

// Opens a file by its resolved path; null when the back end does not read it.
using MusicDecoderOpener = std::function<std::unique_ptr<MusicDecoder>(const std::string& path)>;

// Where an output device pulls its samples from. Called on the audio thread.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Fills `frames` stereo frames; must not block for long (the device is waiting).
    virtual void render(float* interleaved, int frames) = 0;
};

// An opened audio device, 44100 Hz stereo float, paused until told otherwise.
class AudioOutput {
public:
    // Closes the device; no render call runs once the destructor has returned.
    virtual ~AudioOutput() = default;
    // The source the device pulls from (null: silence). Waits for a running render call to end.
    virtual void setSource(AudioSource* source) = 0;
    // Starts or stops pulling from the source.
    virtual void pause(bool paused) = 0;
    // Asked from inside a render call: how many ms after now the first frame it fills is heard
    // (what the device buffers ahead and its output latency). 0: at once.
    virtual uint32_t heardDelayMs() const { return 0; }
};

enum class AudioOpenStatus {
    Opened,    // the device is open
    NoDevice,  // no device to play on (a server, CI): the music runs silently
    Failed,    // the audio system cannot start at all
};

using AudioOutputCreator = std::function<std::unique_ptr<AudioOutput>(AudioOpenStatus& status)>;
