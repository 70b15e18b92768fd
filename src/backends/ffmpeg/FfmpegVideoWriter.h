// Writes AVI video files through FFmpeg's encoders, for our tools and tests (the generator of
// the demo's video, the test and fuzz inputs). No FFmpeg header here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class VideoCodecKind {
    Raw,    // uncompressed 24-bit rows
    Mjpeg,  // motion JPEG
    Mpeg4,  // MPEG-4 part 2
    Ffv1,   // lossless FFV1 (one the web page cannot decode)
};

class FfmpegVideoWriter {
public:
    FfmpegVideoWriter();
    ~FfmpegVideoWriter();  // closes the file when still open
    FfmpegVideoWriter(const FfmpegVideoWriter&) = delete;
    FfmpegVideoWriter& operator=(const FfmpegVideoWriter&) = delete;

    // Creates the file; false (with error() set) when it cannot. `quality` is the lossy codecs'
    // quantiser, 1 (best) to 31 (smallest).
    bool open(const std::string& path, VideoCodecKind codec, int width, int height, int fps, int quality = 2);
    // Encodes one frame of width x height pixels 0x00RRGGBB, top row first, as the next frame.
    bool writeFrame(const uint32_t* pixels);
    // Encodes the picture as frame `index` (after every frame written so far); the frames
    // skipped in between are dropped, as encoders drop them: the file declares them and holds
    // empty chunks in their place.
    bool writeFrameAt(const uint32_t* pixels, int64_t index);
    // Flushes the encoder and finishes the file.
    bool close();
    const std::string& error() const { return m_error; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::string m_error;
};
