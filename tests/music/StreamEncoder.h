// Test fixtures: the tone sequence encoded into compressed streams (MP3, Ogg Vorbis) and as a
// 48 kHz WAV, so that seeking is tried on decoders that overlap frames and on resampled input.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace stream_encoder {

// Stereo tones at `rate`: 440 Hz left, 660 Hz right, rising and falling in level every 100 ms, so
// that any shift of the samples shows.
inline std::vector<float> tones(int rate, int frames)
{
    std::vector<float> out(2 * static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double level = 0.3 + 0.25 * std::sin(2.0 * 3.14159265358979 * 5.0 * t);
        out[2 * i] = static_cast<float>(level * std::sin(2.0 * 3.14159265358979 * 440.0 * t));
        out[2 * i + 1] = static_cast<float>(level * std::sin(2.0 * 3.14159265358979 * 660.0 * t));
    }
    return out;
}

// 16-bit stereo PCM WAV bytes of `samples`.
inline std::vector<uint8_t> wav(const std::vector<float>& samples, int rate)
{
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto tag = [&out](const char* text) {
        for (const char* c = text; *c; ++c) out.push_back(static_cast<uint8_t>(*c));
    };
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    tag("RIFF");
    put(36 + data, 4);
    tag("WAVEfmt ");
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(static_cast<uint32_t>(rate), 4);
    put(static_cast<uint32_t>(rate) * 4, 4);
    put(4, 2);
    put(16, 2);
    tag("data");
    put(data, 4);
    for (float v : samples) put(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767.0f))), 2);
    return out;
}

// Encodes `samples` (stereo, `rate`) with the named encoder into `path` (the container follows its
// extension). False when the encoder is missing or a step fails.
inline bool encode(const std::string& path, const char* encoderName, const std::vector<float>& samples, int rate)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec) return false;
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, nullptr, path.c_str()) < 0) return false;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    bool ok = ctx && frame && packet;
    AVStream* stream = ok ? avformat_new_stream(format, nullptr) : nullptr;
    ok = ok && stream;
    if (ok) {
        ctx->sample_rate = rate;
        ctx->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
        ctx->sample_fmt = AV_SAMPLE_FMT_NONE;
        for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == AV_SAMPLE_FMT_FLTP || (*f == AV_SAMPLE_FMT_S16P && ctx->sample_fmt == AV_SAMPLE_FMT_NONE))
                ctx->sample_fmt = *f;
        ctx->bit_rate = 192000;
        ctx->time_base = AVRational{1, rate};
        if (format->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = ctx->sample_fmt != AV_SAMPLE_FMT_NONE && avcodec_open2(ctx, codec, nullptr) >= 0 &&
             avcodec_parameters_from_context(stream->codecpar, ctx) >= 0;
    }
    if (ok) {
        stream->time_base = ctx->time_base;
        ok = avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(format, nullptr) >= 0;
    }
    auto drain = [&]() {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            av_packet_rescale_ts(packet, ctx->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) ok = false;
        }
    };
    const int total = static_cast<int>(samples.size() / 2);
    const int chunk = ctx && ctx->frame_size > 0 ? ctx->frame_size : 1024;
    for (int at = 0; ok && at < total; at += chunk) {
        const int n = std::min(chunk, total - at);
        frame->nb_samples = n;
        frame->format = ctx->sample_fmt;
        frame->sample_rate = rate;
        ok = av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout) >= 0 && av_frame_get_buffer(frame, 0) >= 0;
        for (int i = 0; ok && i < n; ++i) {
            for (int c = 0; c < 2; ++c) {
                const float v = samples[2 * static_cast<size_t>(at + i) + c];
                if (ctx->sample_fmt == AV_SAMPLE_FMT_FLTP)
                    reinterpret_cast<float*>(frame->data[c])[i] = v;
                else if (ctx->sample_fmt == AV_SAMPLE_FMT_S16P)
                    reinterpret_cast<int16_t*>(frame->data[c])[i] = static_cast<int16_t>(std::lround(v * 32767.0f));
                else
                    ok = false;
            }
        }
        frame->pts = at;
        ok = ok && avcodec_send_frame(ctx, frame) >= 0;
        av_frame_unref(frame);
        if (ok) drain();
    }
    if (ok) {
        avcodec_send_frame(ctx, nullptr);
        drain();
        ok = av_write_trailer(format) >= 0;
    }
    if (format->pb) avio_closep(&format->pb);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    avformat_free_context(format);
    return ok;
}

} // namespace stream_encoder
