// Writing video and sound files (captures of the headless renderer): a plain interface, no
// library header. Frames are 0x00RRGGBB pixels; sound is 44100 Hz stereo interleaved float.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

enum class MediaContainer {
    Mp4,       // H.264 video, AAC sound
    Matroska,  // H.264 video and AAC sound, or FFV1 and FLAC when lossless
    WebM,      // VP9 video, Vorbis sound
    Wav,       // sound only, 16-bit PCM
};

// How a frame is scaled to the picture size of the file.
enum class MediaScale {
    Nearest,  // each picture pixel takes one frame pixel (see captureBox)
    Smooth,   // the scaling library's filter
};

// A capture's settings: the renderer's command line fills them and hands them on whole. A
// writer makes one file of them: the video with its sound when videoPath is set, else the sound
// alone at wavPath (a capture of both opens two writers, each given a copy naming its file).
struct MediaSettings {
    std::string videoPath;  // the video; empty: none
    std::string wavPath;    // the sound alone, as 16-bit WAV; empty: none
    MediaContainer container = MediaContainer::Mp4;  // the video's: Mp4, Matroska or WebM
    bool lossless = false;  // Matroska only: FFV1 video and FLAC sound
    int fpsNum = 0;         // frame rate fpsNum / fpsDen, both positive
    int fpsDen = 0;
    int width = 0;          // the frames handed to addFrame
    int height = 0;
    int outWidth = 0;       // the picture in the video; 0: the frames' size
    int outHeight = 0;
    MediaScale scale = MediaScale::Nearest;
    int crf = -1;           // H.264 and VP9: the constant rate factor; -1: the tuning's default
    std::string preset;     // H.264: x264's preset; VP9: libvpx's deadline; empty: the tuning's default
    // Polled while a file is written (the trailer included): true makes the writing fail.
    std::function<bool()> cancelled;
};

// The lossy video encoders' tuning: the rate factors and presets each takes, and what a capture
// uses when none is given. The renderer checks and lists them, the writer applies the defaults.
struct VideoTuning {
    const char* codec;  // as users know it
    int maxCrf;         // rate factors 0 to maxCrf
    int defaultCrf;
    std::span<const char* const> presets;
    const char* defaultPreset;
};

inline constexpr const char* kX264Presets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                               "medium",    "slow",      "slower",   "veryslow", "placebo"};
inline constexpr const char* kVp9Deadlines[] = {"realtime", "good", "best"};
inline constexpr VideoTuning kVideoTunings[] = {
    {"H.264", 51, 18, kX264Presets, "medium"},
    {"VP9", 63, 31, kVp9Deadlines, "good"},
};

// H.264 in MP4 and Matroska, VP9 in WebM.
inline const VideoTuning& videoTuning(MediaContainer container)
{
    return kVideoTunings[container == MediaContainer::WebM ? 1 : 0];
}

// Where a frame lands in a larger or smaller picture: scaled to fit, its aspect ratio kept, and
// centred (the rest of the picture is black). Nearest scaling gives picture pixel (x, y) inside
// the box the frame pixel (floor((x - left) x frameWidth / width), floor((y - top) x frameHeight
// / height)).
struct CaptureBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The box of a frameWidth x frameHeight frame in an outWidth x outHeight picture: the full
// height when the picture is wider than the frame, else the full width; the other side is the
// frame's aspect ratio times it, rounded to the nearest pixel (halves up); centred, with the odd
// pixel of the margins after the box.
inline CaptureBox captureBox(int frameWidth, int frameHeight, int outWidth, int outHeight)
{
    CaptureBox b;
    if (int64_t(outWidth) * frameHeight >= int64_t(outHeight) * frameWidth) {
        b.height = outHeight;
        b.width = int((2 * int64_t(outHeight) * frameWidth + frameHeight) / (2 * int64_t(frameHeight)));
    } else {
        b.width = outWidth;
        b.height = int((2 * int64_t(outWidth) * frameHeight + frameWidth) / (2 * int64_t(frameWidth)));
    }
    b.left = (outWidth - b.width) / 2;
    b.top = (outHeight - b.height) / 2;
    return b;
}

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
