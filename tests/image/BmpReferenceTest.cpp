// The BMP Suite's good and questionable files against a reference decoder: FFmpeg's BMP decoder,
// maintained apart from ours. Every file it reads must give its pixels here (8-bit channels
// exactly; 4-, 5- and 6-bit ones scaled to 8 bits rounded to nearest). The ones it refuses are
// checked against the suite's own picture in RealPicturesTest.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/Report.h"
#include "image/CImage32FromData.h"
#include "support/TestSupport.h"

namespace {

const std::string kSuite = std::string(TL_SOURCE_DIR) + "/tests/data/realworld/images/bmpsuite/";

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, the top row first
};

// A channel of `bits` bits scaled to 8, rounded to nearest.
uint32_t scaled(uint32_t v, int bits)
{
    const uint32_t top = (1u << bits) - 1;
    return (v * 255 + top / 2) / top;
}

uint32_t fromFrame(const AVFrame* f, int x, int y)
{
    const uint8_t* row = f->data[0] + ptrdiff_t(y) * f->linesize[0];
    switch (f->format) {
    case AV_PIX_FMT_PAL8: {
        uint32_t entry;
        std::memcpy(&entry, f->data[1] + 4 * row[x], 4);
        return entry & 0xFFFFFF;
    }
    case AV_PIX_FMT_BGR24: return row[3 * x] | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16;
    case AV_PIX_FMT_BGRA:
    case AV_PIX_FMT_BGR0: return row[4 * x] | uint32_t(row[4 * x + 1]) << 8 | uint32_t(row[4 * x + 2]) << 16;
    case AV_PIX_FMT_0BGR: return row[4 * x + 1] | uint32_t(row[4 * x + 2]) << 8 | uint32_t(row[4 * x + 3]) << 16;
    default: break;
    }
    const uint32_t v = row[2 * x] | uint32_t(row[2 * x + 1]) << 8;
    switch (f->format) {
    case AV_PIX_FMT_RGB565LE: return scaled(v & 31, 5) | scaled(v >> 5 & 63, 6) << 8 | scaled(v >> 11, 5) << 16;
    case AV_PIX_FMT_RGB555LE: return scaled(v & 31, 5) | scaled(v >> 5 & 31, 5) << 8 | scaled(v >> 10 & 31, 5) << 16;
    case AV_PIX_FMT_RGB444LE: return scaled(v & 15, 4) | scaled(v >> 4 & 15, 4) << 8 | scaled(v >> 8 & 15, 4) << 16;
    default: ADD_FAILURE() << "pixel format " << av_get_pix_fmt_name(AVPixelFormat(f->format)); return 0;
    }
}

// The reference decoder's picture; empty when it refuses the file.
Picture reference(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    Picture p;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_BMP);
    AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (context && packet && frame && avcodec_open2(context, codec, nullptr) >= 0 &&
        av_new_packet(packet, int(bytes.size())) >= 0) {
        std::memcpy(packet->data, bytes.data(), bytes.size());
        if (avcodec_send_packet(context, packet) >= 0 && avcodec_receive_frame(context, frame) >= 0) {
            p.width = frame->width;
            p.height = frame->height;
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x) p.pixels.push_back(fromFrame(frame, x, y));
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return p;
}

TEST(BmpReference, EveryGoodOrQuestionableFileTheReferenceReadsGivesItsPixels)
{
    av_log_set_level(AV_LOG_QUIET);
    int compared = 0;
    for (const char* folder : {"g", "q"})
        for (const auto& e : std::filesystem::directory_iterator(kSuite + folder)) {
            if (e.path().extension() != ".bmp") continue;
            const Picture expected = reference(e.path().string());
            if (expected.pixels.empty()) continue;
            ReportCapture cap;
            CImage32FromData image(e.path().c_str());
            clearFatalError();
            const std::string name = std::string(folder) + "/" + e.path().filename().string();
            ASSERT_EQ(image.m_width, expected.width) << name;
            ASSERT_EQ(image.m_height, expected.height) << name;
            const std::vector<uint32_t> got(image.m_pPixels, image.m_pPixels + image.pixelCount());
            size_t differ = 0;
            for (size_t i = 0; i < got.size() && i < expected.pixels.size(); ++i) differ += got[i] != expected.pixels[i];
            EXPECT_EQ(differ, 0u) << name << ": first " << std::hex
                                  << (differ ? got[std::mismatch(got.begin(), got.end(), expected.pixels.begin()).first - got.begin()] : 0)
                                  << " vs "
                                  << (differ ? *std::mismatch(got.begin(), got.end(), expected.pixels.begin()).second : 0);
            ++compared;
        }
    EXPECT_GE(compared, 35);  // 22 good and 13 questionable files, when this was written
}

} // namespace
