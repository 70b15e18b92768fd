// CAvi: frame layout and selection on in-memory videos, every failure path (a failed allocation
// included), one shared decoding per file under one memory cap, and real files of three codecs
// written and read back through FFmpeg (equal pixels within codec loss; dropped frames held;
// damaged and truncated files reported, never a crash or a hang).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Report.h"
#include "image/CAvi.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/ffmpeg/FfmpegVideoWriter.h"
#include "support/FakeVideo.h"
#include "support/TestSupport.h"

namespace {
// Fails the nothrow array allocations of one size (a test video's frame) from a given one on, as
// memory running out midway through a decoding would. Off while the size is 0.
size_t g_failSize = 0;
int g_failAfter = 0;
} // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (g_failSize != 0 && size == g_failSize && g_failAfter-- <= 0) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

uint32_t grey(int i) { return uint32_t(i * 0x101010); }
uint32_t ramp(int i) { return uint32_t(i * 0x010203); }  // distinct for i < 85

TEST(CAviTest, FramesAreUprightUnsignedAndPickedModuloTheCount)
{
    ReportCapture cap;
    FakeVideo v;
    v.width = 2;
    v.height = 2;
    // Top row: a pixel of bytes >= 128 (blue 0x80, green 0x90, red 0xA0) and white.
    v.frames = {{0xA09080, 0xFFFFFF, 0x000001, 0x000002}};
    FakeVideo three = FakeVideo::solid(3, 1, 3, grey);
    FakeVideoPlatform fake({{"v.avi", v}, {"three.avi", three}});

    CAvi avi("v.avi");
    ASSERT_EQ(avi.getNbFrame(), 1);
    EXPECT_EQ(avi.getMsPerFrame(), 40);
    const CImage32* f = avi.frame(0);
    ASSERT_NE(f, nullptr);
    // The decoder's first row is the picture's bottom row: it lands in image row 1.
    EXPECT_EQ(f->m_pPixels[0], 0x00A09080u);
    EXPECT_EQ(f->m_pPixels[1], 0x00FFFFFFu);
    EXPECT_EQ(f->m_pPixels[2], 0x00000001u);
    EXPECT_EQ(f->m_pPixels[3], 0x00000002u);

    CAvi avi3("three.avi");
    ASSERT_EQ(avi3.getNbFrame(), 3);
    EXPECT_EQ(avi3.frame(7), avi3.frame(1));
    EXPECT_EQ(avi3.frame(7)->m_pPixels[0], 0x101010u);
    EXPECT_EQ(avi3.frame(-1), avi3.frame(2));
    EXPECT_EQ(cap.count(), 0u);
}

TEST(CAviTest, FailuresAreFatalReportsAndLeaveNoFrame)
{
    int opened = 0;
    FakeVideo none = FakeVideo::solid(4, 4, 0, grey);
    FakeVideo noDecoder = FakeVideo::solid(4, 4, 2, grey);
    noDecoder.decoderFails = true;
    FakeVideo cut = FakeVideo::solid(4, 4, 3, grey);
    cut.endsAt = 2;
    FakeVideo huge = FakeVideo::solid(4, 4, 1, grey);
    huge.declaredFrames = 1000000;  // 1e6 x 4 x 8 x 4 bytes > 64 MiB
    huge.framesOpened = &opened;
    FakeVideo flat = FakeVideo::solid(4, 4, 1, grey);
    flat.height = 0;
    FakeVideoPlatform fake(
        {{"none.avi", none}, {"nodec.avi", noDecoder}, {"cut.avi", cut}, {"huge.avi", huge}, {"flat.avi", flat}});

    const struct {
        const char* file;
        const char* text;
    } cases[] = {{"missing.avi", "can't open file missing.avi"},
                 {"none.avi", "no frame"},
                 {"nodec.avi", "can't get Frame"},
                 {"cut.avi", "can't get Frame 2"},
                 {"huge.avi", "too large: huge.avi, 1000000 frames of 4x4, would take decoded video past 64 MiB"},
                 {"flat.avi", "too large: flat.avi, 1 frames of 4x0, would take decoded video past 64 MiB"}};
    for (const auto& c : cases) {
        ReportCapture cap;
        CAvi avi(c.file, int64_t(64) << 20);
        EXPECT_EQ(avi.getNbFrame(), 0) << c.file;
        EXPECT_EQ(avi.frame(0), nullptr) << c.file;
        ASSERT_EQ(cap.count(), 1u) << c.file;
        EXPECT_EQ(cap.reports()[0].kind, ReportKind::Error);
        EXPECT_TRUE(cap.has("CAvi error", c.text)) << c.file << ": " << cap.reports()[0].text;
        EXPECT_TRUE(fatalErrorPosted());
    }
    EXPECT_EQ(opened, 0);  // the size is refused before anything is decoded
}

TEST(CAviTest, AFailedFrameAllocationEndsTheDecodingWithOneReport)
{
    FakeVideo v = FakeVideo::solid(6, 5, 6, grey);
    FakeVideoPlatform fake({{"v.avi", v}});
    const int64_t before = CAvi::heldBytes();
    ReportCapture cap;
    g_failSize = 6 * (5 + 4) * 4;  // a frame's pixels with their guard rows
    g_failAfter = 2;               // frames 0 and 1 get memory, none after
    CAvi avi("v.avi");
    g_failSize = 0;
    EXPECT_EQ(avi.getNbFrame(), 0);
    ASSERT_EQ(cap.count(), 1u);
    EXPECT_TRUE(cap.has("CAvi error", "can't allocate Frame 2")) << cap.reports()[0].text;
    EXPECT_TRUE(fatalErrorPosted());
    EXPECT_EQ(CAvi::heldBytes(), before);
    clearFatalError();
}

// A 1x1 stream whose pictures carry timestamps: picture k is grey(k + 1), dated at[k].
class DatedVideo : public VideoDecoder {
public:
    DatedVideo(int64_t count, std::vector<int64_t> at, bool damaged)
        : m_count(count), m_at(std::move(at)), m_damaged(damaged)
    {
    }
    int width() const override { return 1; }
    int height() const override { return 1; }
    int64_t frameCount() const override { return m_count; }
    int64_t durationMs() const override { return m_count * 40; }
    bool openFrames() override { return true; }
    const uint8_t* nextFrame() override
    {
        if (m_next >= m_at.size()) return nullptr;
        const uint32_t p = grey(int(++m_next));
        m_row[0] = uint8_t(p), m_row[1] = uint8_t(p >> 8), m_row[2] = uint8_t(p >> 16);
        return m_row;
    }
    int64_t frameIndex() const override { return m_next ? m_at[m_next - 1] : -1; }
    bool damaged() const override { return m_damaged && m_next >= m_at.size(); }

private:
    int64_t m_count;
    std::vector<int64_t> m_at;
    bool m_damaged;
    size_t m_next = 0;
    uint8_t m_row[4] = {};
};

TEST(CAviTest, DatedPicturesFillTheirFramesAndHoldOverGaps)
{
    const struct {
        int64_t count;
        std::vector<int64_t> at;
        bool damaged;
        std::vector<int> shows;  // picture number per frame (1 = the first); empty: a failure
        const char* report;
    } cases[] = {
        // Before the first picture the first one shows; after the last the last one holds.
        {6, {2, 4}, false, {1, 1, 1, 1, 2, 2}, nullptr},
        // A repeated timestamp takes the next frame; one past the declared frames ends the run.
        {5, {1, 1, 9, 3}, false, {1, 1, 2, 2, 2}, nullptr},
        // Gaps in a damaged stream are losses, not drops.
        {5, {0, 3}, true, {}, "can't get Frame 1"},
    };
    for (const auto& c : cases) {
        Platform p = platform();
        p.openVideo = [&c](const std::string&) { return std::make_unique<DatedVideo>(c.count, c.at, c.damaged); };
        Platform previous = installPlatform(std::move(p));
        ReportCapture cap;
        {
            CAvi avi("dated.avi");
            if (c.shows.empty()) {
                EXPECT_EQ(avi.getNbFrame(), 0);
                EXPECT_TRUE(cap.has("CAvi error", c.report));
                EXPECT_EQ(cap.count(), 1u);
                clearFatalError();
            } else {
                ASSERT_EQ(avi.getNbFrame(), int(c.count));
                for (int f = 0; f < avi.getNbFrame(); ++f)
                    EXPECT_EQ(avi.frame(f)->m_pPixels[0], grey(c.shows[size_t(f)])) << "frame " << f;
                EXPECT_EQ(cap.count(), 0u);
            }
        }
        installPlatform(std::move(previous));
    }
}

TEST(CAviTest, EachFileIsDecodedOnceAndAllVideoSharesOneCap)
{
    int openedA = 0, openedB = 0;
    FakeVideo a = FakeVideo::solid(64, 64, 40, ramp);
    a.framesOpened = &openedA;
    FakeVideo b = FakeVideo::solid(64, 64, 40, ramp);
    b.framesOpened = &openedB;
    FakeVideoPlatform fake({{"a.avi", a}, {"b.avi", b}});
    ReportCapture cap;
    const int64_t before = CAvi::heldBytes();
    // 40 frames of 64 x (64 + 4) pixels, and a 16-byte table slot each.
    const int64_t oneVideo = 40 * (64 * 68 * 4 + 16);
    constexpr int64_t kCap = int64_t(1) << 20;  // room for one such video, not two
    {
        std::vector<std::shared_ptr<const CAvi>> users;
        for (const char* name : {"a.avi", "./a.avi", "a.avi", "a.avi"}) users.push_back(CAvi::open(name, kCap));
        EXPECT_EQ(openedA, 1);
        EXPECT_EQ(CAvi::heldBytes() - before, oneVideo);
        for (const auto& user : users) EXPECT_EQ(user.get(), users[0].get());
        EXPECT_EQ(users[3]->frame(39)->m_pPixels[0], 0x274E75u);
        EXPECT_EQ(cap.count(), 0u);

        // Another file would take all decoded video past the cap: refused by name, undecoded.
        const auto other = CAvi::open("b.avi", kCap);
        EXPECT_EQ(openedB, 0);
        EXPECT_EQ(other->getNbFrame(), 0);
        ASSERT_EQ(cap.count(), 1u);
        EXPECT_TRUE(cap.has("CAvi error", "too large: b.avi, 40 frames of 64x64, would take decoded video past 1 MiB"))
            << cap.reports()[0].text;
        // A failed decoding is shared too: its other users get no second report.
        EXPECT_EQ(CAvi::open("b.avi", kCap).get(), other.get());
        EXPECT_EQ(cap.count(), 1u);
        clearFatalError();
    }
    // The last user gone, the frames go; the next user decodes afresh, and now the other fits.
    EXPECT_EQ(CAvi::heldBytes(), before);
    EXPECT_EQ(CAvi::open("b.avi", kCap)->getNbFrame(), 40);
    EXPECT_EQ(CAvi::open("a.avi", kCap)->getNbFrame(), 40);
    EXPECT_EQ(openedA, 2);
    EXPECT_EQ(openedB, 1);
    EXPECT_EQ(cap.count(), 1u);
}

// Real files through FFmpeg: a picture of flat blocks (codecs keep flat areas nearly exact),
// changing per frame.
class CAviFileTest : public ::testing::Test {
protected:
    static constexpr int kW = 32, kH = 16, kFrames = 3;

    void SetUp() override
    {
        Platform p = platform();
        installFfmpegBackend(p);
        m_previous = installPlatform(std::move(p));
    }
    void TearDown() override { installPlatform(std::move(m_previous)); }

    static uint32_t expected(int frame, int x, int y)
    {
        static const uint32_t kBlocks[4] = {0xC03020, 0x20C040, 0x3040C0, 0xE0E0E0};
        return kBlocks[((x / 16) + 2 * (y / 8) + frame) % 4];
    }

    // Writes the pictures of the given frames at their indices (the frames between are dropped).
    std::string write(VideoCodecKind codec, const char* name, std::initializer_list<int> frames = {0, 1, 2},
                      int fps = 25)
    {
        const std::string path = m_dir.path() + name;
        FfmpegVideoWriter w;
        EXPECT_TRUE(w.open(path, codec, kW, kH, fps)) << w.error();
        std::vector<uint32_t> pixels(size_t(kW) * kH);
        for (int f : frames) {
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) pixels[size_t(y) * kW + x] = expected(f, x, y);
            EXPECT_TRUE(w.writeFrameAt(pixels.data(), f));
        }
        EXPECT_TRUE(w.close());
        return path;
    }

    // The largest byte error of an image against picture f (lossy codecs: block edges skipped,
    // chroma being shared by 2x2 pixels), and the sum of all.
    static int worstError(const CImage32& image, int f, bool lossy, long long* total = nullptr,
                          long long* bytes = nullptr)
    {
        int worst = 0;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                if (lossy && (x % 16 == 0 || x % 16 == 15 || y % 8 == 0 || y % 8 == 7)) continue;
                const uint32_t got = image.m_pPixels[y * kW + x], want = expected(f, x, y);
                if (got >> 24) return 256;
                for (int b = 0; b < 24; b += 8) {
                    const int e = std::abs(int((got >> b) & 255) - int((want >> b) & 255));
                    worst = std::max(worst, e);
                    if (total) *total += e, ++*bytes;
                }
            }
        }
        return worst;
    }

    ScratchDir m_dir;
    Platform m_previous;
};

TEST_F(CAviFileTest, ThreeCodecsGiveTheSamePixelsWithinCodecLoss)
{
    const struct {
        VideoCodecKind codec;
        const char* name;
        int tolerance;  // per byte, away from block edges
    } cases[] = {{VideoCodecKind::Raw, "raw.avi", 0}, {VideoCodecKind::Mjpeg, "mjpeg.avi", 32},
                 {VideoCodecKind::Mpeg4, "mpeg4.avi", 32}};
    for (const auto& c : cases) {
        ReportCapture cap;
        CAvi avi(write(c.codec, c.name).c_str());
        ASSERT_EQ(avi.getNbFrame(), kFrames) << c.name;
        EXPECT_EQ(avi.getWidth(), kW);
        EXPECT_EQ(avi.getHeight(), kH);
        EXPECT_EQ(avi.getMsPerFrame(), 40);
        int worst = 0;
        long long total = 0, bytes = 0;
        for (int f = 0; f < kFrames; ++f)
            worst = std::max(worst, worstError(*avi.frame(f), f, c.tolerance > 0, &total, &bytes));
        EXPECT_LE(worst, c.tolerance) << c.name;
        EXPECT_LE(total, bytes * c.tolerance / 8) << c.name;  // on average far closer
        EXPECT_EQ(cap.count(), 0u) << c.name;
    }
}

TEST_F(CAviFileTest, DroppedFramesShowTheLastPictureBeforeThem)
{
    // Seven frames at 10 per second of which the encoder kept every third: the file declares 7
    // frames and holds pictures for frames 0, 3 and 6 only.
    for (VideoCodecKind codec : {VideoCodecKind::Mjpeg, VideoCodecKind::Mpeg4}) {
        ReportCapture cap;
        CAvi avi(write(codec, "dropped.avi", {0, 3, 6}, 10).c_str());
        ASSERT_EQ(avi.getNbFrame(), 7);
        EXPECT_EQ(avi.getNbPicture(), 3);
        EXPECT_EQ(avi.getMsPerFrame(), 100);
        const int shows[7] = {0, 0, 0, 3, 3, 3, 6};
        for (int f = 0; f < 7; ++f) EXPECT_LE(worstError(*avi.frame(f), shows[f], true), 32) << "frame " << f;
        // Held frames are the picture itself, not copies.
        EXPECT_EQ(avi.frame(2), avi.frame(0));
        EXPECT_EQ(avi.frame(5), avi.frame(3));
        EXPECT_NE(avi.frame(6), avi.frame(3));
        EXPECT_EQ(avi.frame(9), avi.frame(0));  // 9 modulo 7 is 2
        EXPECT_EQ(cap.count(), 0u);
    }
}

TEST_F(CAviFileTest, TruncatedAndDamagedFilesAreReportedNeverFatalToTheProcess)
{
    for (const auto* name : {"mjpeg.avi", "mpeg4.avi", "raw.avi"}) {
        const std::string path = write(name[0] == 'm' && name[1] == 'j' ? VideoCodecKind::Mjpeg
                                       : name[0] == 'm'                ? VideoCodecKind::Mpeg4
                                                                       : VideoCodecKind::Raw,
                                       name);
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

        // Cut after the first frame's data: the header still claims three frames.
        {
            ReportCapture cap;
            std::ofstream(m_dir.path() + "cut.avi", std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
            CAvi avi((m_dir.path() + "cut.avi").c_str());
            EXPECT_EQ(avi.getNbFrame(), 0) << name;
            ASSERT_EQ(cap.count(), 1u) << name;
            EXPECT_EQ(cap.reports()[0].caption, "CAvi error");
        }
        // Bytes overwritten through the file (a fixed-seed generator): whatever decodes is whole,
        // anything else is one report.
        uint32_t seed = 2024;
        for (int round = 0; round < 8; ++round) {
            std::string damaged = bytes;
            for (int k = 0; k < 24; ++k) {
                seed = seed * 214013 + 2531011;
                damaged[(seed >> 8) % damaged.size()] = char(seed >> 24);
            }
            std::ofstream(m_dir.path() + "bad.avi", std::ios::binary) << damaged;
            ReportCapture cap;
            CAvi avi((m_dir.path() + "bad.avi").c_str());
            EXPECT_TRUE(avi.getNbFrame() == 0 || avi.frame(avi.getNbFrame() - 1)->m_pPixels != nullptr);
            EXPECT_LE(cap.count(), 1u);
            EXPECT_EQ(cap.count() == 1, avi.getNbFrame() == 0) << name << " round " << round;
        }
    }
}

} // namespace
