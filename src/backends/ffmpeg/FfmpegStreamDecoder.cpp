#include "backends/ffmpeg/FfmpegParts.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/Platform.h"

namespace {

// A decoded frame larger than this is taken for damage and ends the stream.
constexpr int kMaxFrameSamples = 1 << 20;
constexpr int kMaxInputRate = 768000;  // the highest rate audio files use

// Decodes one audio stream of a file into 44100 Hz stereo float, from its start, frame by frame.
class FfmpegStreamDecoder : public MusicDecoder {
public:
    ~FfmpegStreamDecoder() override
    {
        swr_free(&m_resampler);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_format);
    }

    std::string codecName() const override { return avcodec_get_name(m_codec->codec_id); }

    size_t read(float* interleaved, size_t frames) override
    {
        size_t done = 0;
        while (done < frames) {
            if (m_pendingAt < m_pending.size() / 2) {
                const size_t n = std::min(frames - done, m_pending.size() / 2 - m_pendingAt);
                std::memcpy(interleaved + 2 * done, m_pending.data() + 2 * m_pendingAt, n * 2 * sizeof(float));
                m_pendingAt += n;
                done += n;
                continue;
            }
            if (!decodeMore()) break;
        }
        return done;
    }

    bool open(const std::string& path)
    {
        // Local files only: a file that names other resources (playlists) cannot reach the network.
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        const std::string url = "file:" + path;
        const int opened = avformat_open_input(&m_format, url.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0) return false;
        if (avformat_find_stream_info(m_format, nullptr) < 0) return false;
        const AVCodec* codec = nullptr;
        m_streamIndex = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (m_streamIndex < 0 || !codec) return false;
        m_codec = avcodec_alloc_context3(codec);
        if (!m_codec) return false;
        if (avcodec_parameters_to_context(m_codec, m_format->streams[m_streamIndex]->codecpar) < 0) return false;
        if (avcodec_open2(m_codec, codec, nullptr) < 0) return false;
        if (m_codec->sample_rate <= 0 || m_codec->ch_layout.nb_channels <= 0) return false;
        m_packet = av_packet_alloc();
        m_frame = av_frame_alloc();
        return m_packet && m_frame && openResampler(m_codec->sample_rate, m_codec->sample_fmt, m_codec->ch_layout);
    }

private:
    // (Re)creates the converter from the given input to 44100 Hz stereo float.
    bool openResampler(int rate, int format, const AVChannelLayout& layout)
    {
        swr_free(&m_resampler);
        // The converter's filter grows with the rate ratio: a header claiming hundreds of MHz
        // would take gigabytes and minutes, so rates beyond any real audio are refused.
        if (rate <= 0 || rate > kMaxInputRate || format < 0 || layout.nb_channels <= 0) return false;
        AVChannelLayout in{};
        if (layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, layout.nb_channels);
        else if (av_channel_layout_copy(&in, &layout) < 0)
            return false;
        AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
        const int made = swr_alloc_set_opts2(&m_resampler, &out, AV_SAMPLE_FMT_FLT, kMusicRate, &in,
                                             static_cast<AVSampleFormat>(format), rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        m_inRate = rate;
        m_inFormat = format;
        m_inChannels = layout.nb_channels;
        return made >= 0 && swr_init(m_resampler) >= 0;
    }

    // Refills m_pending with the next converted samples; false at the end of the stream.
    bool decodeMore()
    {
        m_pending.clear();
        m_pendingAt = 0;
        while (!m_ended) {
            const int got = avcodec_receive_frame(m_codec, m_frame);
            if (got == 0) {
                const bool converted = convertFrame();
                av_frame_unref(m_frame);
                if (!converted) {
                    m_ended = true;
                    break;
                }
                if (!m_pending.empty()) return true;
                continue;
            }
            if (got == AVERROR_EOF) {
                flushResampler();
                m_ended = true;
                return !m_pending.empty();
            }
            if (got != AVERROR(EAGAIN)) {
                m_ended = true;
                break;
            }
            if (m_draining) {
                // The decoder was told the input ended yet wants more: take it as the end.
                flushResampler();
                m_ended = true;
                return !m_pending.empty();
            }
            feedPacket();
        }
        return false;
    }

    // Sends the next packet of our stream to the decoder (or the end, once).
    void feedPacket()
    {
        while (true) {
            const int r = av_read_frame(m_format, m_packet);
            if (r < 0) {
                avcodec_send_packet(m_codec, nullptr);
                m_draining = true;
                return;
            }
            const bool ours = m_packet->stream_index == m_streamIndex;
            // A packet the decoder rejects (damage) is skipped; the next one may decode.
            if (ours) avcodec_send_packet(m_codec, m_packet);
            av_packet_unref(m_packet);
            if (ours) return;
        }
    }

    // Converts m_frame into m_pending; false when the frame is unusable.
    bool convertFrame()
    {
        if (m_frame->nb_samples <= 0) return true;
        if (m_frame->nb_samples > kMaxFrameSamples) return false;
        // A stream may change its format midway: follow it.
        if (m_frame->sample_rate != m_inRate || m_frame->format != m_inFormat ||
            m_frame->ch_layout.nb_channels != m_inChannels) {
            if (!openResampler(m_frame->sample_rate, m_frame->format, m_frame->ch_layout)) return false;
        }
        const int inSamples = m_frame->nb_samples;
        const int capacity = swr_get_out_samples(m_resampler, inSamples);
        if (capacity < 0 || capacity > 4 * kMaxFrameSamples) return false;
        m_pending.resize(static_cast<size_t>(capacity) * 2);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(m_pending.data())};
        const uint8_t** in = const_cast<const uint8_t**>(m_frame->extended_data);
        const int made = swr_convert(m_resampler, out, capacity, in, inSamples);
        if (made < 0) return false;
        m_pending.resize(static_cast<size_t>(made) * 2);
        return true;
    }

    void flushResampler()
    {
        const int capacity = swr_get_out_samples(m_resampler, 0);
        if (capacity <= 0 || capacity > 4 * kMaxFrameSamples) return;
        m_pending.resize(static_cast<size_t>(capacity) * 2);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(m_pending.data())};
        const int made = swr_convert(m_resampler, out, capacity, nullptr, 0);
        m_pending.resize(static_cast<size_t>(std::max(made, 0)) * 2);
    }

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_resampler = nullptr;
    int m_streamIndex = -1;
    int m_inRate = 0;
    int m_inFormat = -1;
    int m_inChannels = 0;
    std::vector<float> m_pending;  // converted frames not yet read
    size_t m_pendingAt = 0;        // frames of m_pending already read
    bool m_draining = false;       // the end of the input was sent to the decoder
    bool m_ended = false;
};

} // namespace

std::unique_ptr<MusicDecoder> openFfmpegStream(const std::string& path)
{
    auto decoder = std::make_unique<FfmpegStreamDecoder>();
    if (!decoder->open(path)) return nullptr;
    return decoder;
}
