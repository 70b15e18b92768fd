// --video and --wav: the rendered frames and the music of the same span written to files. Each
// file is written beside its final name and takes that name only when complete, so a failed or
// interrupted capture leaves no partial file and an overwritten file stays whole until then.
// An interrupt is honoured up to the renaming: the encoders' final writes poll it too.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Audio.h"
#include "platform/MediaWriter.h"

class Capture {
public:
    Capture() = default;
    ~Capture();  // removes what was not finished
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // Opens the files the settings name; `music` (null: silence) is read from the first frame's
    // music position. False with `failure` set; `note` tells of fallback encoders.
    bool open(const MediaSettings& settings, std::unique_ptr<MusicDecoder> music, std::string& failure,
              std::string& note);
    // The next frame of the video (when there is one), then the sound up to that frame's end.
    bool addFrame(const uint32_t* pixels, int pitchPixels);
    // Completes the files and gives them their names; an interrupt up to then abandons them
    // (failure "interrupted").
    bool finish(std::string& failure);
    // Closes and removes the files not finished (the destructor does it too).
    void abandon();

private:
    struct Output {
        std::string finalPath;
        std::string tempPath;
        std::unique_ptr<MediaWriter> writer;
    };
    bool addSoundUpTo(int64_t soundFrames);

    MediaSettings m_settings;
    std::unique_ptr<MusicDecoder> m_music;
    std::vector<Output> m_outputs;   // the video first when there is one
    bool m_hasVideo = false;
    int64_t m_frames = 0;            // video frames added
    int64_t m_soundFrames = 0;       // sound frames added
    std::vector<float> m_buffer;     // one slice of sound, reused
};
