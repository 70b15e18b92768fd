// CAvi: a video file as an array of 32-bit images, every frame decoded when the object is made;
// playing it is picking a frame by index. Users share one decoded copy per file (open).
#pragma once

#include <cstdint>
#include <memory>

#include "image/CImage32.h"

// What all decoded video of the process may take together, frame tables included: 1 GiB, about
// 68 seconds of 512x256 frames at 30 per second (each such frame takes 512 x 260 x 4 = 532480
// bytes of pixels and 16 bytes of table).
constexpr int64_t kMaxAviBytes = int64_t(1) << 30;

class CAvi {
public:
    // The process's one decoded copy of the file (its resolved path is the key): the first user
    // decodes it, later users share it, and the frames go when the last user lets go. A file
    // changed on disk since it was decoded is decoded afresh. A failed decoding is shared as
    // well, so it is reported once.
    static std::shared_ptr<const CAvi> open(const char* fileName, int64_t maxBytes = kMaxAviBytes);

    // Decodes the whole first video stream of the file into a copy of its own. A picture goes
    // to the frame its timestamp names; a frame without a picture (the encoder dropped it)
    // shows the last picture before it, or the first one when none comes before. A failure (no
    // such file, no frame, no decoder, a frame lost to damage, memory that cannot be had, or
    // the file's frames taking all decoded video past maxBytes) is a fatal error under "CAvi
    // error": it is reported once, the program is asked to quit with exit code 1, and the
    // object keeps no frame.
    explicit CAvi(const char* fileName, int64_t maxBytes = kMaxAviBytes);
    ~CAvi();
    CAvi(const CAvi&) = delete;
    CAvi& operator=(const CAvi&) = delete;

    // The frame count the stream declares (0 after a failure).
    int getNbFrame() const { return m_nbFrame; }
    // The pictures held: fewer than the frames when the encoder dropped some.
    int getNbPicture() const { return m_nbPicture; }
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    int getMsPerFrame() const { return m_msPerFrame; }
    // The frame at index modulo the frame count (a negative index counts back from the end);
    // null while there is no frame. Frames that share a picture give the same image.
    const CImage32* frame(int index) const;

    // Bytes held by the decoded frames of every CAvi alive (pixels with their guard rows, and
    // the frame tables): what maxBytes bounds.
    static int64_t heldBytes();

private:
    struct Slot {
        std::unique_ptr<CImage32Buffered> picture;  // the picture decoded for this frame, if any
        const CImage32* shown = nullptr;            // what the frame shows
    };

    void decodeAll(const char* fileName, int64_t maxBytes);
    void fail(const char* text);
    void release();

    int m_width = 0;
    int m_height = 0;
    int m_msPerFrame = 0;  // kept, not used to pick frames
    int m_nbFrame = 0;
    int m_nbPicture = 0;
    int64_t m_bytes = 0;   // this object's share of heldBytes()
    std::unique_ptr<Slot[]> m_slots;
};
