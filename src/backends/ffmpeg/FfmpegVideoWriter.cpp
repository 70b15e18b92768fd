#include "backends/ffmpeg/FfmpegVideoWriter.h"

#include "backends/ffmpeg/FfmpegEncode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

struct FfmpegVideoWriter::State {
    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    int64_t next = 0;
    bool headerWritten = false;

    ~State()
    {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    bool encode(const AVFrame* f) { return encodeAndWrite(format, codec, stream, packet, f); }
};

FfmpegVideoWriter::FfmpegVideoWriter() = default;

FfmpegVideoWriter::~FfmpegVideoWriter()
{
    if (m_state) close();
}

bool FfmpegVideoWriter::open(const std::string& path, VideoCodecKind kind, int width, int height, int fps,
                             int quality)
{
    if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
    m_state = std::make_unique<State>();
    State& s = *m_state;
    auto failed = [this](const char* text) {
        m_error = text;
        m_state.reset();
        return false;
    };
    if (width <= 0 || height <= 0 || fps <= 0 || quality < 1 || quality > 31) return failed("bad size, rate or quality");
    if (avformat_alloc_output_context2(&s.format, nullptr, "avi", path.c_str()) < 0) return failed("no avi muxer");
    const AVCodecID id = kind == VideoCodecKind::Raw     ? AV_CODEC_ID_RAWVIDEO
                         : kind == VideoCodecKind::Mjpeg ? AV_CODEC_ID_MJPEG
                         : kind == VideoCodecKind::Ffv1  ? AV_CODEC_ID_FFV1
                                                         : AV_CODEC_ID_MPEG4;
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec) return failed("no encoder for the codec");
    s.stream = avformat_new_stream(s.format, nullptr);
    s.codec = avcodec_alloc_context3(codec);
    if (!s.stream || !s.codec) return failed("out of memory");
    s.codec->width = width;
    s.codec->height = height;
    s.codec->time_base = AVRational{1, fps};
    s.codec->framerate = AVRational{fps, 1};
    s.codec->pix_fmt = kind == VideoCodecKind::Raw     ? AV_PIX_FMT_BGR24
                       : kind == VideoCodecKind::Mjpeg ? AV_PIX_FMT_YUVJ420P
                                                       : AV_PIX_FMT_YUV420P;
    s.codec->thread_count = 1;
    if (kind == VideoCodecKind::Mjpeg || kind == VideoCodecKind::Mpeg4) {
        // A fixed quantiser: 2 keeps decoded pixels close to the source.
        s.codec->flags |= AV_CODEC_FLAG_QSCALE;
        s.codec->global_quality = FF_QP2LAMBDA * quality;
        s.codec->gop_size = 12;
        s.codec->max_b_frames = 0;
    }
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(s.codec, codec, nullptr) < 0) return failed("cannot open the encoder");
    if (avcodec_parameters_from_context(s.stream->codecpar, s.codec) < 0) return failed("bad codec parameters");
    s.stream->time_base = s.codec->time_base;
    if (avio_open(&s.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return failed("cannot create the file");
    if (avformat_write_header(s.format, nullptr) < 0) return failed("cannot write the header");
    s.headerWritten = true;
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.frame || !s.packet) return failed("out of memory");
    s.frame->format = s.codec->pix_fmt;
    s.frame->width = width;
    s.frame->height = height;
    if (av_frame_get_buffer(s.frame, 0) < 0) return failed("out of memory");
    s.scaler = sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, s.codec->pix_fmt,
                              SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!s.scaler) return failed("no colour conversion");
    return true;
}

bool FfmpegVideoWriter::writeFrame(const uint32_t* pixels)
{
    return m_state && writeFrameAt(pixels, m_state->next);
}

bool FfmpegVideoWriter::writeFrameAt(const uint32_t* pixels, int64_t index)
{
    if (!m_state || !pixels) return false;
    State& s = *m_state;
    if (index < s.next) {
        m_error = "frames must be written in order";
        return false;
    }
    if (av_frame_make_writable(s.frame) < 0) return false;
    // 0x00RRGGBB in memory is blue, green, red, 0 per pixel: BGR0.
    const uint8_t* src[4] = {reinterpret_cast<const uint8_t*>(pixels), nullptr, nullptr, nullptr};
    const int srcStride[4] = {s.codec->width * 4, 0, 0, 0};
    sws_scale(s.scaler, src, srcStride, 0, s.codec->height, s.frame->data, s.frame->linesize);
    // The muxer writes an empty chunk for each frame the timestamps skip.
    s.frame->pts = index;
    s.next = index + 1;
    s.frame->quality = s.codec->global_quality;  // the fixed quantiser applies per frame
    if (s.encode(s.frame)) return true;
    m_error = "cannot encode a frame";
    return false;
}

bool FfmpegVideoWriter::close()
{
    if (!m_state) return false;
    State& s = *m_state;
    bool ok = s.headerWritten && s.encode(nullptr);
    if (s.headerWritten) ok = av_write_trailer(s.format) >= 0 && ok;
    m_state.reset();
    if (!ok) m_error = "cannot finish the file";
    return ok;
}
