// Videos for tests without a codec: a VideoDecoder opener that serves frames held in memory by
// file name, as bottom-up padded 24-bit rows, with switches for each way a file can fail.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"

struct FakeVideo {
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint32_t>> frames;  // 0x00RRGGBB, top row first
    long long declaredFrames = -1;              // the stream length claimed; -1: frames.size()
    bool decoderFails = false;                  // openFrames() refuses
    int endsAt = -1;                            // nextFrame() gives null from this index on
    int* framesOpened = nullptr;                // counts openFrames() calls when set

    // A video of `count` frames, frame i filled with colour(i).
    static FakeVideo solid(int width, int height, int count, uint32_t (*colour)(int));
};

// Installs the opener for the lifetime of the object (names not in `videos` do not open) and
// puts the previous platform back on destruction.
class FakeVideoPlatform {
public:
    explicit FakeVideoPlatform(std::map<std::string, FakeVideo> videos);
    ~FakeVideoPlatform();
    FakeVideoPlatform(const FakeVideoPlatform&) = delete;
    FakeVideoPlatform& operator=(const FakeVideoPlatform&) = delete;

private:
    Platform m_previous;
};
