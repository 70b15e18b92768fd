// Reads a capture back through FFmpeg's decoders, independently of the writer: the video frames
// (as 0x00RRGGBB pixels), their count and duration, and the decoded sound's length and peak.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct MediaContents {
    bool opened = false;
    int videoFrames = 0;
    double videoSeconds = 0.0;  // frames x the stream's frame duration
    int64_t audioSamples = 0;   // decoded sound frames, encoder delay removed
    int audioRate = 0;
    float audioPeak = 0.0f;
    std::vector<std::vector<uint32_t>> frames;  // when asked for
};

namespace media_reader {

struct Decoder {
    AVCodecContext* codec = nullptr;
    ~Decoder() { avcodec_free_context(&codec); }
    bool open(const AVStream* stream)
    {
        const AVCodec* c = avcodec_find_decoder(stream->codecpar->codec_id);
        codec = c ? avcodec_alloc_context3(c) : nullptr;
        return codec && avcodec_parameters_to_context(codec, stream->codecpar) >= 0 && avcodec_open2(codec, c, nullptr) >= 0;
    }
};

inline float samplePeak(const AVFrame* f)
{
    float peak = 0.0f;
    const int channels = f->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(f->format));
    for (int c = 0; c < (planar ? channels : 1); ++c)
        for (int i = 0; i < f->nb_samples * (planar ? 1 : channels); ++i) {
            float v = 0.0f;
            switch (f->format) {
            case AV_SAMPLE_FMT_FLT:
            case AV_SAMPLE_FMT_FLTP: v = reinterpret_cast<const float*>(f->extended_data[c])[i]; break;
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P: v = reinterpret_cast<const int16_t*>(f->extended_data[c])[i] / 32768.0f; break;
            case AV_SAMPLE_FMT_S32:
            case AV_SAMPLE_FMT_S32P: v = float(reinterpret_cast<const int32_t*>(f->extended_data[c])[i] / 2147483648.0); break;
            default: break;
            }
            peak = std::max(peak, std::fabs(v));
        }
    return peak;
}

} // namespace media_reader

inline MediaContents readMedia(const std::string& path, bool keepFrames)
{
    using namespace media_reader;
    MediaContents m;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return m;
    if (avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        return m;
    }
    const int videoIndex = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audioIndex = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    Decoder video, audio;
    if (videoIndex >= 0 && !video.open(format->streams[videoIndex])) return m;
    if (audioIndex >= 0 && !audio.open(format->streams[audioIndex])) return m;
    m.opened = true;
    if (audioIndex >= 0) m.audioRate = audio.codec->sample_rate;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;

    auto drain = [&](Decoder& d, bool isVideo) {
        while (avcodec_receive_frame(d.codec, frame) == 0) {
            if (isVideo) {
                ++m.videoFrames;
                if (keepFrames) {
                    scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                                  static_cast<AVPixelFormat>(frame->format), frame->width,
                                                  frame->height, AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
                    std::vector<uint32_t> pixels(size_t(frame->width) * frame->height);
                    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(pixels.data())};
                    const int pitch[1] = {frame->width * 4};
                    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, out, pitch);
                    for (uint32_t& p : pixels) p &= 0xFFFFFFu;
                    m.frames.push_back(std::move(pixels));
                }
            } else {
                m.audioSamples += frame->nb_samples;
                m.audioPeak = std::max(m.audioPeak, samplePeak(frame));
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == videoIndex) {
            avcodec_send_packet(video.codec, packet);
            drain(video, true);
        } else if (packet->stream_index == audioIndex) {
            avcodec_send_packet(audio.codec, packet);
            drain(audio, false);
        }
        av_packet_unref(packet);
    }
    if (videoIndex >= 0) {
        avcodec_send_packet(video.codec, nullptr);
        drain(video, true);
        const AVRational rate = format->streams[videoIndex]->avg_frame_rate;
        if (rate.num > 0) m.videoSeconds = m.videoFrames * double(rate.den) / double(rate.num);
    }
    if (audioIndex >= 0) {
        avcodec_send_packet(audio.codec, nullptr);
        drain(audio, false);
    }
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return m;
}
