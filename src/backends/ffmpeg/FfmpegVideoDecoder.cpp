// The video streams of AVI files through FFmpeg: the first video stream, decoded frame by frame
// in file order and converted to bottom-up 24-bit rows.
#include "backends/ffmpeg/FfmpegParts.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <vector>

#include "platform/Platform.h"

namespace {

class FfmpegVideoDecoder : public VideoDecoder {
public:
    ~FfmpegVideoDecoder() override
    {
        sws_freeContext(m_scaler);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_format);
    }

    bool open(const std::string& path)
    {
        // AVI files only, and local ones: the file cannot name other resources to fetch.
        const AVInputFormat* avi = av_find_input_format("avi");
        if (!avi) return false;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        const std::string url = "file:" + path;
        const int opened = avformat_open_input(&m_format, url.c_str(), avi, &options);
        av_dict_free(&options);
        if (opened < 0) return false;
        if (avformat_find_stream_info(m_format, nullptr) < 0) return false;
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            if (m_format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                m_stream = m_format->streams[i];
                break;
            }
        }
        return m_stream != nullptr;
    }

    int width() const override { return m_stream->codecpar->width; }
    int height() const override { return m_stream->codecpar->height; }
    int64_t frameCount() const override { return m_stream->nb_frames; }
    int64_t durationMs() const override
    {
        if (m_stream->time_base.num <= 0 || m_stream->time_base.den <= 0) return 0;
        return av_rescale_q(m_stream->nb_frames, m_stream->time_base, AVRational{1, 1000});
    }

    bool openFrames() override
    {
        const AVCodec* codec = avcodec_find_decoder(m_stream->codecpar->codec_id);
        if (!codec) return false;
        m_codec = avcodec_alloc_context3(codec);
        if (!m_codec) return false;
        if (avcodec_parameters_to_context(m_codec, m_stream->codecpar) < 0) return false;
        m_codec->thread_count = 1;
        m_codec->flags |= AV_CODEC_FLAG_BITEXACT;  // the same inverse transforms on every machine
        if (avcodec_open2(m_codec, codec, nullptr) < 0) return false;
        m_packet = av_packet_alloc();
        m_frame = av_frame_alloc();
        const int w = width(), h = height();
        if (!m_packet || !m_frame || w <= 0 || h <= 0) return false;
        m_rowBytes = static_cast<int>(videoRowBytes(w));
        m_top.resize(size_t(m_rowBytes) * h + kScalerSlack);
        m_rows.resize(size_t(m_rowBytes) * h);
        return true;
    }

    int64_t frameIndex() const override { return m_frameIndex; }
    bool damaged() const override { return m_damaged; }
    std::string codecName() const override { return avcodec_get_name(m_stream->codecpar->codec_id); }

    const uint8_t* nextFrame() override
    {
        if (!m_codec || m_ended) return nullptr;
        for (;;) {
            const int got = avcodec_receive_frame(m_codec, m_frame);
            if (got == 0) {
                // The timestamp in stream ticks is the frame index: an AVI stream counts one tick
                // per frame, and the frames an encoder dropped are missing ticks.
                const int64_t ts = m_frame->best_effort_timestamp;
                m_frameIndex = ts != AV_NOPTS_VALUE && ts >= 0 ? ts : -1;
                if (m_frame->decode_error_flags || (m_frame->flags & AV_FRAME_FLAG_CORRUPT)) m_damaged = true;
                const bool converted = convert();
                av_frame_unref(m_frame);
                if (converted) return m_rows.data();
                m_damaged = true;  // a frame in a format we cannot convert: take the next
                continue;
            }
            if (got != AVERROR(EAGAIN) && got != AVERROR_EOF) m_damaged = true;
            if (got != AVERROR(EAGAIN) || m_draining) break;
            feedPacket();
        }
        m_ended = true;
        return nullptr;
    }

private:
    // Sends the next packet of our stream to the decoder, or the end of the input once.
    void feedPacket()
    {
        for (;;) {
            const int read = av_read_frame(m_format, m_packet);
            if (read < 0) {
                if (read != AVERROR_EOF) m_damaged = true;
                avcodec_send_packet(m_codec, nullptr);
                m_draining = true;
                return;
            }
            const bool ours = m_packet->stream_index == m_stream->index;
            // A cut packet, or one the decoder refuses, is damage; later ones may still decode.
            if (ours) {
                if (m_packet->flags & AV_PKT_FLAG_CORRUPT) m_damaged = true;
                if (avcodec_send_packet(m_codec, m_packet) < 0) m_damaged = true;
            }
            av_packet_unref(m_packet);
            if (ours) return;
        }
    }

    // Converts m_frame to BGR24 at the stream's declared size (a damaged stream may change its
    // size midway), then stores its rows bottom first. Bit-exact: the scaler's portable code on
    // every machine, not the processor's own fast paths, so that every build (the web page's
    // among them) shows the same pixels.
    bool convert()
    {
        if (m_frame->width <= 0 || m_frame->height <= 0 || m_frame->format < 0) return false;
        const int w = width(), h = height();
        m_scaler = sws_getCachedContext(m_scaler, m_frame->width, m_frame->height,
                                        static_cast<AVPixelFormat>(m_frame->format), w, h, AV_PIX_FMT_BGR24,
                                        SWS_BILINEAR | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr);
        if (!m_scaler) return false;
        uint8_t* dst[4] = {m_top.data(), nullptr, nullptr, nullptr};
        int dstStride[4] = {m_rowBytes, 0, 0, 0};
        if (sws_scale(m_scaler, m_frame->data, m_frame->linesize, 0, m_frame->height, dst, dstStride) != h)
            return false;
        for (int r = 0; r < h; ++r)
            std::memcpy(&m_rows[size_t(h - 1 - r) * m_rowBytes], &m_top[size_t(r) * m_rowBytes], size_t(m_rowBytes));
        return true;
    }

    AVFormatContext* m_format = nullptr;
    AVStream* m_stream = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwsContext* m_scaler = nullptr;
    int m_rowBytes = 0;
    // The scaler's packed-pixel writers store whole vector groups, so they may write up to a few
    // dozen bytes past the last row: the converted frame keeps that much slack after it.
    static constexpr size_t kScalerSlack = 64;
    std::vector<uint8_t> m_top;   // the converted frame, top row first, then the slack
    std::vector<uint8_t> m_rows;  // the same rows, bottom first (what nextFrame gives)
    bool m_draining = false;      // the end of the input was sent to the decoder
    bool m_ended = false;
    bool m_damaged = false;
    int64_t m_frameIndex = -1;  // of the frame nextFrame gave last
};

} // namespace

std::unique_ptr<VideoDecoder> openFfmpegVideo(const std::string& path)
{
    auto decoder = std::make_unique<FfmpegVideoDecoder>();
    if (!decoder->open(path)) return nullptr;
    return decoder;
}
