// What the two FFmpeg writers share: handing a frame to an encoder and muxing what comes back.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// Sends a frame (null: the end of the stream) and writes every packet the encoder gives back
// into `stream`; false on any encoder or muxer failure.
inline bool encodeAndWrite(AVFormatContext* format, AVCodecContext* codec, AVStream* stream, AVPacket* packet,
                           const AVFrame* frame)
{
    if (avcodec_send_frame(codec, frame) < 0) return false;
    for (;;) {
        const int r = avcodec_receive_packet(codec, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
}
