#include "support/FakeVideo.h"

#include <memory>

namespace {
class FakeVideoDecoder : public VideoDecoder {
public:
    explicit FakeVideoDecoder(const FakeVideo& v) : m_v(v) {}
    int width() const override { return m_v.width; }
    int height() const override { return m_v.height; }
    int64_t frameCount() const override
    {
        return m_v.declaredFrames >= 0 ? m_v.declaredFrames : int64_t(m_v.frames.size());
    }
    int64_t durationMs() const override { return frameCount() * 40; }
    bool openFrames() override
    {
        if (m_v.framesOpened) ++*m_v.framesOpened;
        return !m_v.decoderFails;
    }
    const uint8_t* nextFrame() override
    {
        if (m_next >= m_v.frames.size() || int(m_next) == m_v.endsAt) return nullptr;
        const std::vector<uint32_t>& f = m_v.frames[m_next++];
        const int64_t stride = videoRowBytes(m_v.width);
        m_rows.assign(size_t(stride * m_v.height), 0xEE);  // padding bytes are never read
        for (int r = 0; r < m_v.height; ++r) {
            uint8_t* row = &m_rows[size_t(stride * (m_v.height - 1 - r))];
            for (int x = 0; x < m_v.width; ++x) {
                const uint32_t p = f[size_t(r * m_v.width + x)];
                row[3 * x] = uint8_t(p);
                row[3 * x + 1] = uint8_t(p >> 8);
                row[3 * x + 2] = uint8_t(p >> 16);
            }
        }
        return m_rows.data();
    }

private:
    const FakeVideo m_v;
    size_t m_next = 0;
    std::vector<uint8_t> m_rows;
};
} // namespace

FakeVideo FakeVideo::solid(int width, int height, int count, uint32_t (*colour)(int))
{
    FakeVideo v;
    v.width = width;
    v.height = height;
    for (int i = 0; i < count; ++i) v.frames.emplace_back(size_t(width) * height, colour(i));
    return v;
}

FakeVideoPlatform::FakeVideoPlatform(std::map<std::string, FakeVideo> videos)
{
    Platform p = platform();
    p.openVideo = [videos = std::move(videos)](const std::string& path) -> std::unique_ptr<VideoDecoder> {
        // Names are matched by their last part, wherever the file lookup put them.
        const std::string name = path.substr(path.find_last_of('/') + 1);
        const auto found = videos.find(name);
        if (found == videos.end()) return nullptr;
        return std::make_unique<FakeVideoDecoder>(found->second);
    };
    m_previous = installPlatform(std::move(p));
}

FakeVideoPlatform::~FakeVideoPlatform() { installPlatform(std::move(m_previous)); }
