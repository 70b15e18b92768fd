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
    // Encodes one frame of width x height pixels 0x00RRGGBB, top row first.
    bool writeFrame(const uint32_t* pixels);
    // Flushes the encoder and finishes the file.
    bool close();
    const std::string& error() const { return m_error; }

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::string m_error;
};
