#include "music/MusicBuffer.h"

#include <algorithm>
#include <cstring>

namespace {
// Frames decoded between two publications: small enough that a reader waiting for a frame
// gets it soon after it is decoded.
constexpr int64_t kSliceFrames = 4096;
} // namespace

MusicBuffer::MusicBuffer(std::unique_ptr<MusicDecoder> decoder, int64_t limitFrames)
    : m_decoder(std::move(decoder)), m_blocks(static_cast<size_t>(kMaxFrames / kBlockFrames))
{
    m_limit.store(std::clamp<int64_t>(limitFrames, 0, kMaxFrames));
    if (!m_decoder) m_ended.store(true);
#if TL_MUSIC_DECODE_THREAD
    m_thread = std::thread([this] { decodeLoop(); });
#endif
}

MusicBuffer::~MusicBuffer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_progress.notify_all();
#if TL_MUSIC_DECODE_THREAD
    m_thread.join();
#endif
}

void MusicBuffer::extendTo(int64_t limitFrames)
{
    const int64_t limit = std::clamp<int64_t>(limitFrames, 0, kMaxFrames);
    {
        std::lock_guard lock(m_mutex);
        if (limit <= m_limit.load()) return;
        m_limit.store(limit);
    }
    m_progress.notify_all();
}

bool MusicBuffer::isPastEnd(int64_t frame) const
{
    // Read the end flag before the count: once it is set, the count is final.
    const bool ended = m_ended.load(std::memory_order_acquire);
    const int64_t decoded = decodedFrames();
    return frame >= decoded && (ended || decoded >= m_limit.load());
}

size_t MusicBuffer::copy(int64_t first, float* interleaved, size_t frames) const
{
    if (first >= 0 && frames > 0) decodeOnDemand(first + static_cast<int64_t>(frames) - 1);
    const int64_t decoded = decodedFrames();
    if (first < 0 || first >= decoded) return 0;
    const int64_t count = std::min<int64_t>(static_cast<int64_t>(frames), decoded - first);
    for (int64_t done = 0; done < count;) {
        const int64_t at = first + done;
        const int64_t inBlock = at % kBlockFrames;
        const int64_t n = std::min(count - done, kBlockFrames - inBlock);
        const float* block = m_blocks[static_cast<size_t>(at / kBlockFrames)].get();
        std::memcpy(interleaved + 2 * done, block + 2 * inBlock, static_cast<size_t>(n) * 2 * sizeof(float));
        done += n;
    }
    return static_cast<size_t>(count);
}

bool MusicBuffer::waitFor(int64_t frame) const
{
    decodeOnDemand(frame);
    std::unique_lock lock(m_mutex);
    m_progress.wait(lock, [&] { return frame < decodedFrames() || isPastEnd(frame) || m_stop; });
    return frame < decodedFrames();
}

size_t MusicBuffer::memoryBytes() const
{
    return m_blockCount.load() * static_cast<size_t>(kBlockFrames) * 2 * sizeof(float);
}

void MusicBuffer::decodeOnDemand(int64_t frame) const
{
#if TL_MUSIC_DECODE_THREAD
    (void)frame;
#else
    auto* self = const_cast<MusicBuffer*>(this);
    while (frame >= decodedFrames() && !isPastEnd(frame) && self->decodeSlice()) {
    }
#endif
}

void MusicBuffer::decodeLoop()
{
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_progress.wait(lock, [&] { return m_stop || m_ended.load() || decodedFrames() < m_limit.load(); });
            if (m_stop || m_ended.load()) return;
        }
        decodeSlice();
    }
}

bool MusicBuffer::decodeSlice()
{
    const int64_t decoded = decodedFrames();
    if (m_ended.load() || decoded >= m_limit.load()) return false;
    const int64_t inBlock = decoded % kBlockFrames;
    const size_t blockIndex = static_cast<size_t>(decoded / kBlockFrames);
    if (!m_blocks[blockIndex]) {
        // Left uninitialised: the decoder writes every sample before it counts as decoded.
        m_blocks[blockIndex].reset(new float[static_cast<size_t>(2 * kBlockFrames)]);
        m_blockCount.fetch_add(1);
    }
    const int64_t want = std::min({kSliceFrames, kBlockFrames - inBlock, m_limit.load() - decoded});
    const size_t got = m_decoder->read(m_blocks[blockIndex].get() + 2 * inBlock, static_cast<size_t>(want));
    {
        std::lock_guard lock(m_mutex);
        m_decoded.store(decoded + static_cast<int64_t>(got), std::memory_order_release);
        if (got < static_cast<size_t>(want)) {
            m_ended.store(true, std::memory_order_release);
            m_decoder.reset();  // the file and the library's state are not needed any more
        }
    }
    m_progress.notify_all();
    return true;
}

size_t MusicBufferReader::read(float* interleaved, size_t frames)
{
    size_t done = 0;
    while (done < frames && m_buffer->waitFor(m_frame)) {
        const size_t got = m_buffer->copy(m_frame, interleaved + 2 * done, frames - done);
        done += got;
        m_frame += static_cast<int64_t>(got);
    }
    return done;
}
