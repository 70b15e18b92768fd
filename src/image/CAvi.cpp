#include "image/CAvi.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <map>
#include <new>
#include <string>
#include <system_error>

#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "image/ImageFileLoader.h"
#include "platform/Platform.h"

namespace {
constexpr const char* kCaption = "CAvi error";

// Decoded frames of every CAvi alive. One thread runs the engine, so a plain counter does.
int64_t g_heldBytes = 0;

// Bottom-up, padded 24-bit rows (blue, green, red) into the image, top row first, top byte 0.
void copyRows(const uint8_t* rows, CImage32& image)
{
    const int w = image.m_width, h = image.m_height;
    const int64_t stride = videoRowBytes(w);
    for (int r = 0; r < h; ++r) {
        const uint8_t* s = rows + stride * r;
        uint32_t* d = image.m_pPixels + int64_t(h - 1 - r) * w;
        for (int x = 0; x < w; ++x, s += 3) d[x] = uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0];
    }
}

// What tells a file apart from the same path rewritten since it was decoded.
struct FileStamp {
    int64_t size = -1;
    int64_t modified = -1;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::filesystem::path& path)
{
    std::error_code ec;
    FileStamp stamp;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) stamp.size = static_cast<int64_t>(size);
    const auto time = std::filesystem::last_write_time(path, ec);
    if (!ec) stamp.modified = static_cast<int64_t>(time.time_since_epoch().count());
    return stamp;
}

struct CacheEntry {
    std::weak_ptr<const CAvi> video;
    FileStamp stamp;
};

// The shared decodings by resolved path. Entries hold no frames: they lapse with their last user.
std::map<std::string, CacheEntry>& videoCache()
{
    static std::map<std::string, CacheEntry> cache;
    return cache;
}
} // namespace

std::shared_ptr<const CAvi> CAvi::open(const char* fileName, int64_t maxBytes)
{
    const std::string name = fileName ? fileName : "";
    // The key: the file as found, absolute, with links, "." and ".." resolved.
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(FileTools::resolvePath(name.c_str()), ec);
    if (!ec) path = std::filesystem::weakly_canonical(path, ec);
    if (ec) path = std::filesystem::path(FileTools::resolvePath(name.c_str())).lexically_normal();
    const std::string key = path.string();
    const FileStamp stamp = stampOf(path);

    auto& cache = videoCache();
    std::erase_if(cache, [](const auto& entry) { return entry.second.video.expired(); });
    const auto found = cache.find(key);
    if (found != cache.end() && found->second.stamp == stamp) return found->second.video.lock();

    // A rewritten file replaces the entry; its earlier users keep the frames they hold.
    auto video = std::make_shared<const CAvi>(fileName, maxBytes);
    cache[key] = CacheEntry{video, stamp};
    return video;
}

int64_t CAvi::heldBytes() { return g_heldBytes; }

CAvi::CAvi(const char* fileName, int64_t maxBytes) { decodeAll(fileName, maxBytes); }

CAvi::~CAvi() { release(); }

void CAvi::release()
{
    m_slots.reset();
    m_nbFrame = 0;
    m_nbPicture = 0;
    g_heldBytes -= m_bytes;
    m_bytes = 0;
}

void CAvi::fail(const char* text)
{
    release();
    reportError(kCaption, text);
}

void CAvi::decodeAll(const char* fileName, int64_t maxBytes)
{
    const std::string name = fileName ? fileName : "";
    std::unique_ptr<VideoDecoder> decoder;
    if (platform().openVideo) decoder = platform().openVideo(name);
    if (!decoder) return fail(("can't open file " + name).c_str());

    const int64_t count = decoder->frameCount();
    if (count <= 0) return fail("no frame");
    const int w = decoder->width(), h = decoder->height();
    // Each picture is an owned image with two guard rows above and below, each frame a table
    // slot. The file's claim, as if no frame were dropped, must fit beside the video already
    // held; it is checked before anything is decoded.
    const int64_t pictureBytes = withinPixelCap(w, h) ? int64_t(w) * (int64_t(h) + 4) * 4 : 0;
    const int64_t frameBytes = pictureBytes + int64_t(sizeof(Slot));
    const int64_t room = maxBytes - g_heldBytes;
    if (pictureBytes <= 0 || count > INT_MAX || room < frameBytes || count > room / frameBytes) {
        char claim[128];
        std::snprintf(claim, sizeof claim, "%lld frames of %dx%d, would take decoded video past %lld MiB",
                      static_cast<long long>(count), w, h, static_cast<long long>((maxBytes + (1 << 20) - 1) >> 20));
        return fail(("too large: " + name + ", " + claim).c_str());
    }
    m_width = w;
    m_height = h;
    m_msPerFrame = static_cast<int>(std::clamp<int64_t>(decoder->durationMs() / count, 0, INT_MAX));
    if (!decoder->openFrames()) return fail("can't get Frame");

    const int n = static_cast<int>(count);
    m_slots.reset(new (std::nothrow) Slot[size_t(n)]);
    if (!m_slots) return fail("can't allocate Frame 0");
    m_nbFrame = n;
    m_bytes = int64_t(sizeof(Slot)) * n;
    g_heldBytes += m_bytes;

    // Pictures in stream order, each at the frame its timestamp names. Without a timestamp, or
    // with one that does not move forward (damage), a picture takes the next frame.
    int last = -1, first = -1;
    bool dated = true;
    while (last + 1 < n) {
        const uint8_t* rows = decoder->nextFrame();
        if (!rows) break;
        const int64_t at = decoder->frameIndex();
        if (at < 0) dated = false;
        if (at >= n) break;  // past the declared frames
        const int i = at > last ? static_cast<int>(at) : last + 1;
        auto picture = std::make_unique<CImage32Buffered>();
        if (!picture->tryCreate(w, h)) {
            char text[64];
            std::snprintf(text, sizeof text, "can't allocate Frame %d", i);
            return fail(text);
        }
        copyRows(rows, *picture);
        m_slots[size_t(i)].picture = std::move(picture);
        m_bytes += pictureBytes;
        g_heldBytes += pictureBytes;
        ++m_nbPicture;
        if (first < 0) first = i;
        last = i;
    }

    // Frames without a picture of their own are frames the encoder dropped when every picture
    // was dated and the stream ended intact; otherwise they were lost. A dropped frame shows the
    // last picture before it; those before the first picture show the first.
    const bool dropped = first >= 0 && dated && !decoder->damaged();
    const CImage32* shown = first >= 0 ? m_slots[size_t(first)].picture.get() : nullptr;
    for (int i = 0; i < n; ++i) {
        Slot& slot = m_slots[size_t(i)];
        if (slot.picture) {
            shown = slot.picture.get();
        } else if (!dropped) {
            char text[64];
            std::snprintf(text, sizeof text, "can't get Frame %d", i);
            return fail(text);
        }
        slot.shown = shown;
    }
}

const CImage32* CAvi::frame(int index) const
{
    const int n = getNbFrame();
    if (n == 0) return nullptr;
    int i = index % n;
    if (i < 0) i += n;
    return m_slots[size_t(i)].shown;
}
