// Video decoding as the platform back ends provide it: a plain interface, no library header.
// One opened file gives its first video stream as a run of decoded frames, read in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class VideoDecoder {
public:
    virtual ~VideoDecoder() = default;
    // The frame rectangle, in pixels.
    virtual int width() const = 0;
    virtual int height() const = 0;
    // The stream length in frames, as the file declares it (0 when it declares none).
    virtual int64_t frameCount() const = 0;
    // Time of the frame at index frameCount() (the stream's duration), in milliseconds.
    virtual int64_t durationMs() const = 0;
    // Prepares the stream's decoder; false when its codec cannot be decoded.
    [[nodiscard]] virtual bool openFrames() = 0;
    // Decodes the next frame into 24-bit rows: blue, green, red per pixel, the bottom row first,
    // each row padded to a multiple of 4 bytes. The rows stay valid until the next call. Null
    // when no further frame can be decoded (the end of the data, or damage).
    virtual const uint8_t* nextFrame() = 0;
    // The frame index of the picture nextFrame() gave last, from its timestamp (an AVI stream
    // counts one tick per frame): the frames an encoder dropped leave gaps between pictures.
    // -1 when the stream gives no timestamps.
    virtual int64_t frameIndex() const { return -1; }
    // Whether the data met so far was damaged (a cut or corrupt packet, one the decoder refused,
    // a read error): missing pictures are then losses, not frames the encoder dropped.
    virtual bool damaged() const { return false; }
    // The name the back end's library gives the stream's codec ("" where it gives none).
    virtual std::string codecName() const { return {}; }
};

// Bytes of one padded 24-bit row of the frames nextFrame() gives.
inline int64_t videoRowBytes(int width) { return (int64_t(width) * 3 + 3) & ~int64_t(3); }

// Opens the first video stream of a file by its resolved path; null when it cannot.
using VideoDecoderOpener = std::function<std::unique_ptr<VideoDecoder>(const std::string& path)>;
