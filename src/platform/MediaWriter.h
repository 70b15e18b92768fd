// Writing video and sound files (captures of the headless renderer): a plain interface, no
// library header. Frames are 0x00RRGGBB pixels; sound is 44100 Hz stereo interleaved float.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class MediaContainer {
    Mp4,       // H.264 video, AAC sound
    Matroska,  // H.264 video and AAC sound, or FFV1 and FLAC when lossless
    WebM,      // VP9 video, Vorbis sound
    Wav,       // sound only, 16-bit PCM
};

struct MediaSettings {
    std::string path;      // the file written (its name need not carry the container's extension)
    MediaContainer container = MediaContainer::Mp4;
    bool lossless = false;  // Matroska only: FFV1 video and FLAC sound
    bool video = true;      // false: sound only
    bool audio = true;      // false: video only
    int width = 640;
    int height = 480;
    int fpsNum = 26;        // frame rate fpsNum / fpsDen, both positive
    int fpsDen = 1;
    // Polled while the file is written (the trailer included): true makes the writing fail.
    std::function<bool()> cancelled;
};

// An open output file. Frames and sound may come in any interleaving; finish() completes the
// file. Destroying it without finish() leaves an incomplete file for the caller to remove.
class MediaWriter {
public:
    virtual ~MediaWriter() = default;
    // The next frame: width x height pixels, `pitchPixels` apart. False when encoding failed.
    [[nodiscard]] virtual bool addFrame(const uint32_t* pixels, int pitchPixels) = 0;
    // The next `frames` stereo frames of sound. False when encoding failed.
    [[nodiscard]] virtual bool addAudio(const float* interleaved, size_t frames) = 0;
    // Drains the encoders and closes the file. False when that failed.
    [[nodiscard]] virtual bool finish() = 0;
    // The encoders in use, e.g. "libx264 + aac" (a fallback shows here).
    virtual std::string encoderNames() const = 0;
};

// Opens a writer; null with `failure` (a sentence) when the file or an encoder cannot be opened.
// `note` tells of a fallback encoder taken because the preferred one is missing.
using MediaWriterOpener =
    std::function<std::unique_ptr<MediaWriter>(const MediaSettings&, std::string& failure, std::string& note)>;
