// The music decoded once, from its start, into memory by a thread of its own while the rest
// of the script loads (where there are no threads, as in a browser without them, it is decoded
// on demand: as far as a reader asks). Playing, seeking and capturing all read from here: a seek is an index,
// and every sample read is the one a run from the start has at that place, whatever the
// format, tempo or effects of the music.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Audio.h"

// Whether the music is decoded by a thread of its own (everywhere but a WebAssembly build
// without threads).
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
#define TL_MUSIC_DECODE_THREAD 0
#else
#define TL_MUSIC_DECODE_THREAD 1
#endif

class MusicBuffer {
public:
    // Frames per block of memory. Blocks are allocated as decoding reaches them and never move,
    // so readers need no lock for what is decoded.
    static constexpr int64_t kBlockFrames = kMusicRate;
    // At most this much music is kept (one hour, 1.27 GB of floats); past it there is silence.
    static constexpr int64_t kMaxFrames = int64_t(3600) * kMusicRate;

    // Starts decoding `decoder` from where it stands (its start), up to `limitFrames` frames.
    MusicBuffer(std::unique_ptr<MusicDecoder> decoder, int64_t limitFrames);
    // Stops the decoding and waits for its thread.
    ~MusicBuffer();
    MusicBuffer(const MusicBuffer&) = delete;
    MusicBuffer& operator=(const MusicBuffer&) = delete;

    // Decodes further, up to `limitFrames` (capped at kMaxFrames); a lower limit changes nothing.
    void extendTo(int64_t limitFrames);
    // Frames decoded so far, from the start.
    int64_t decodedFrames() const { return m_decoded.load(std::memory_order_acquire); }
    // Whether `frame` will never be decoded: the decoding stopped (the music ended, or it reached
    // the limit) before it.
    bool isPastEnd(int64_t frame) const;
    // Copies the decoded frames from `first` on, at most `frames` of them, into `interleaved`;
    // returns how many (0 when `first` is not decoded yet or negative). Never waits for the
    // decoding thread; without one it decodes what it copies first.
    size_t copy(int64_t first, float* interleaved, size_t frames) const;
    // Waits until `frame` is decoded or isPastEnd(frame); true when it is decoded.
    bool waitFor(int64_t frame) const;
    // Bytes of sample memory taken so far.
    size_t memoryBytes() const;

private:
    void decodeLoop();
    // Decodes one slice from where the decoding stands; false when there is nothing to decode
    // (the music ended or the limit is reached).
    bool decodeSlice();
    // Without a decoding thread: decodes until `frame` is decoded or isPastEnd(frame). The
    // samples are the music's whatever the order of the questions, so this is a const reading.
    void decodeOnDemand(int64_t frame) const;

    std::unique_ptr<MusicDecoder> m_decoder;  // used by the decoding thread only
    // One pointer per block up to kMaxFrames, set before the frames in it are published.
    std::vector<std::unique_ptr<float[]>> m_blocks;
    std::atomic<int64_t> m_decoded{0};
    std::atomic<int64_t> m_limit{0};
    std::atomic<bool> m_ended{false};  // the decoder gave its last frame
    std::atomic<size_t> m_blockCount{0};
    mutable std::mutex m_mutex;        // guards the waits below
    mutable std::condition_variable m_progress;  // decoding moved on, ended or the limit rose
    bool m_stop = false;
#if TL_MUSIC_DECODE_THREAD
    std::thread m_thread;  // last: starts once everything above is in place
#endif
};

// Reads a MusicBuffer from a frame on, as a decoder does (the music of a capture): reads wait
// for the decoding, and past the end of the music there is nothing more to read.
class MusicBufferReader : public MusicDecoder {
public:
    MusicBufferReader(std::shared_ptr<const MusicBuffer> buffer, int64_t frame)
        : m_buffer(std::move(buffer)), m_frame(frame < 0 ? 0 : frame)
    {
    }
    size_t read(float* interleaved, size_t frames) override;

private:
    std::shared_ptr<const MusicBuffer> m_buffer;
    int64_t m_frame;
};
