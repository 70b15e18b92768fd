// CAvi: a video file as an array of 32-bit images, every frame decoded when the object is made;
// playing it is picking a frame by index.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "image/CImage32.h"

// What one video may take in decoded frames, guard rows included: 1 GiB, about 68 seconds of
// 512x256 frames at 30 per second (each such frame takes 512 x 260 x 4 = 532480 bytes).
constexpr int64_t kMaxAviBytes = int64_t(1) << 30;

class CAvi {
public:
    // Decodes the whole first video stream of the file. A failure (no such file, no frame, no
    // decoder, a frame that cannot be decoded, memory that cannot be had, more frame memory than
    // maxBytes) is a fatal error
    // under "CAvi error": it is reported, the program is asked to quit with exit code 1, and the
    // object keeps no frame.
    explicit CAvi(const char* fileName, int64_t maxBytes = kMaxAviBytes);
    CAvi(const CAvi&) = delete;
    CAvi& operator=(const CAvi&) = delete;

    int getNbFrame() const { return static_cast<int>(m_frames.size()); }
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    int getMsPerFrame() const { return m_msPerFrame; }
    // The frame at index modulo the frame count (a negative index counts back from the end);
    // null while there is no frame.
    CImage32* frame(int index) const;

private:
    void decodeAll(const char* fileName, int64_t maxBytes);
    void fail(const char* text);

    int m_width = 0;
    int m_height = 0;
    int m_msPerFrame = 0;  // kept, not used to pick frames
    std::vector<std::unique_ptr<CImage32Buffered>> m_frames;
};
