// Captures written through FFmpeg's libraries: the frames scaled to the picture size (our own
// nearest-neighbour mapping, or libswscale's Lanczos filter) and converted by libswscale, the
// sound by libswresample, encoded, interleaved and muxed into MP4, Matroska, WebM or WAV.
#include "backends/ffmpeg/FfmpegParts.h"

#include "backends/ffmpeg/FfmpegEncode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Audio.h"

namespace {

constexpr int kVariableChunk = 4096;  // sound frames per packet for encoders that take any size
constexpr size_t kScalerSlackPixels = 16;  // after libswscale's packed pictures: its writers may store past the last row

struct Choice {
    const char* container;
    std::vector<const char*> video;  // preferred first; the others are fallbacks
    std::vector<const char*> audio;
};

Choice choose(MediaContainer container, bool lossless)
{
    switch (container) {
    case MediaContainer::Mp4: return {"mp4", {"libx264", "mpeg4"}, {"aac"}};
    case MediaContainer::Matroska:
        if (lossless) return {"matroska", {"ffv1"}, {"flac"}};
        return {"matroska", {"libx264", "mpeg4"}, {"aac"}};
    case MediaContainer::WebM: return {"webm", {"libvpx-vp9", "libvpx"}, {"libvorbis", "libopus"}};
    case MediaContainer::Wav: return {"wav", {}, {"pcm_s16le"}};
    }
    return {"matroska", {}, {}};
}

// The first encoder of the list this FFmpeg has; a note when it is not the preferred one.
const AVCodec* findEncoder(const std::vector<const char*>& names, std::string& note)
{
    for (const char* name : names) {
        if (const AVCodec* codec = avcodec_find_encoder_by_name(name)) {
            if (name != names.front())
                note += std::string(names.front()) + " is not in this FFmpeg: " + name + " is used instead. ";
            return codec;
        }
    }
    return nullptr;
}

class FfmpegMediaWriter : public MediaWriter {
public:
    ~FfmpegMediaWriter() override
    {
        sws_freeContext(m_scaler);
        sws_freeContext(m_smooth);
        swr_free(&m_resampler);
        if (m_fifo) av_audio_fifo_free(m_fifo);
        av_frame_free(&m_videoFrame);
        av_frame_free(&m_audioFrame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_video);
        avcodec_free_context(&m_audio);
        if (m_format && m_format->pb) avio_closep(&m_format->pb);
        avformat_free_context(m_format);
    }

    bool open(const MediaSettings& s, std::string& failure, std::string& note)
    {
        m_settings = s;
        // The one file the settings name: the video with its sound, else the sound alone.
        const bool video = !s.videoPath.empty();
        const std::string& path = video ? s.videoPath : s.wavPath;
        m_container = video ? s.container : MediaContainer::Wav;
        const Choice choice = choose(m_container, s.lossless);
        if (avformat_alloc_output_context2(&m_format, nullptr, choice.container, path.c_str()) < 0 || !m_format)
            return fail(failure, std::string("FFmpeg cannot write ") + choice.container + " files");
        m_packet = av_packet_alloc();
        if (!m_packet) return fail(failure, "out of memory");
        if (video) {
            const AVCodec* codec = findEncoder(choice.video, note);
            if (!codec) return fail(failure, std::string("no video encoder for this file in FFmpeg (") + choice.video.front() + ")");
            if (!openVideo(codec, failure, note)) return false;
        }
        const AVCodec* audio = findEncoder(choice.audio, note);
        if (!audio) return fail(failure, std::string("no sound encoder for this file in FFmpeg (") + choice.audio.front() + ")");
        if (!openAudio(audio, failure)) return false;
        // Every read and write of the file, the trailer's fast-start pass included, polls the
        // cancel request, so an interrupt stops even a long final write.
        m_format->interrupt_callback = AVIOInterruptCB{&FfmpegMediaWriter::pollCancel, this};
        const int created = avio_open2(&m_format->pb, path.c_str(), AVIO_FLAG_WRITE, &m_format->interrupt_callback, nullptr);
        if (created < 0) return fail(failure, "cannot create the file (" + errorText(created) + ")");
        AVDictionary* options = nullptr;
        if (m_container == MediaContainer::Mp4) av_dict_set(&options, "movflags", "+faststart", 0);
        const int written = avformat_write_header(m_format, &options);
        av_dict_free(&options);
        if (written < 0) return fail(failure, "cannot write the file's header (" + errorText(written) + ")");
        return true;
    }

    bool addFrame(const uint32_t* pixels, int pitchPixels) override
    {
        if (!m_video || !pixels) return false;
        if (av_frame_make_writable(m_videoFrame) < 0) return false;
        const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(pixels)};
        int sourcePitch[1] = {pitchPixels * 4};
        if (!m_picture.empty()) {
            scaleIntoPicture(pixels, pitchPixels);
            source[0] = reinterpret_cast<const uint8_t*>(m_picture.data());
            sourcePitch[0] = m_outWidth * 4;
        }
        sws_scale(m_scaler, source, sourcePitch, 0, m_outHeight, m_videoFrame->data, m_videoFrame->linesize);
        m_videoFrame->pts = m_frameIndex++;
        return encode(m_video, m_videoStream, m_videoFrame);
    }

    bool addAudio(const float* interleaved, size_t frames) override
    {
        if (!m_audio) return false;
        while (frames > 0) {
            // Converted in slices, so the buffer stays small whatever the caller hands over.
            const int n = static_cast<int>(std::min<size_t>(frames, kVariableChunk));
            if (!convert(reinterpret_cast<const uint8_t*>(interleaved), n)) return false;
            interleaved += 2 * static_cast<size_t>(n);
            frames -= static_cast<size_t>(n);
            if (!encodeFifo(false)) return false;
        }
        return true;
    }

    bool finish() override
    {
        if (m_finished) return true;
        bool ok = true;
        if (m_video) ok = encode(m_video, m_videoStream, nullptr) && ok;
        if (m_audio) {
            ok = convert(nullptr, 0) && ok;  // the resampler's delayed samples
            ok = encodeFifo(true) && ok;
            ok = encode(m_audio, m_audioStream, nullptr) && ok;
        }
        m_finished = true;
        ok = av_write_trailer(m_format) == 0 && ok;
        ok = avio_closep(&m_format->pb) == 0 && ok;
        return ok;
    }

    std::string encoderNames() const override
    {
        std::string names;
        if (m_video) names = m_video->codec->name;
        if (m_audio) names += std::string(names.empty() ? "" : " + ") + m_audio->codec->name;
        return names;
    }

private:
    static bool fail(std::string& failure, const std::string& text)
    {
        failure = text;
        return false;
    }
    static std::string errorText(int code)
    {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(code, text, sizeof text);
        return text;
    }
    static int pollCancel(void* writer)
    {
        const MediaSettings& s = static_cast<const FfmpegMediaWriter*>(writer)->m_settings;
        return s.cancelled && s.cancelled() ? 1 : 0;
    }

    // The frame into the box of the picture (whose margins stay black): each box pixel takes the
    // frame pixel of the column and row maps, or libswscale's filtered value.
    void scaleIntoPicture(const uint32_t* pixels, int pitchPixels)
    {
        uint32_t* box = m_picture.data() + size_t(m_box.top) * size_t(m_outWidth) + size_t(m_box.left);
        if (m_smooth) {
            // Filtered into a buffer of its own (the scaler's writers may store past a row's
            // end, which would mark the bars), then copied row by row.
            const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(pixels)};
            const int sourcePitch[1] = {pitchPixels * 4};
            uint8_t* target[1] = {reinterpret_cast<uint8_t*>(m_filtered.data())};
            const int targetPitch[1] = {m_box.width * 4};
            sws_scale(m_smooth, source, sourcePitch, 0, m_settings.height, target, targetPitch);
            for (int y = 0; y < m_box.height; ++y, box += m_outWidth)
                std::memcpy(box, m_filtered.data() + size_t(y) * size_t(m_box.width), size_t(m_box.width) * 4);
            return;
        }
        for (int y = 0; y < m_box.height; ++y, box += m_outWidth) {
            const uint32_t* row = pixels + size_t(m_rowMap[size_t(y)]) * size_t(pitchPixels);
            for (int x = 0; x < m_box.width; ++x) box[x] = row[m_columnMap[size_t(x)]];
        }
    }

    // The picture size, and when it differs from the frames' the black picture and the scaling.
    bool openScaling(std::string& failure)
    {
        const MediaSettings& s = m_settings;
        m_outWidth = s.outWidth > 0 ? s.outWidth : s.width;
        m_outHeight = s.outHeight > 0 ? s.outHeight : s.height;
        if (m_outWidth == s.width && m_outHeight == s.height) return true;
        m_box = captureBox(s.width, s.height, m_outWidth, m_outHeight);
        // Read by the converter to the encoder's format, which may touch a little past the end.
        m_picture.assign(size_t(m_outWidth) * size_t(m_outHeight) + kScalerSlackPixels, 0u);
        if (s.scale == MediaScale::Smooth) {
            m_filtered.assign(size_t(m_box.width) * size_t(m_box.height) + kScalerSlackPixels, 0u);
            m_smooth = sws_getContext(s.width, s.height, AV_PIX_FMT_BGR0, m_box.width, m_box.height, AV_PIX_FMT_BGR0,
                                      SWS_LANCZOS | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP,
                                      nullptr, nullptr, nullptr);
            if (!m_smooth) return fail(failure, "cannot scale frames to " + std::to_string(m_outWidth) + "x" + std::to_string(m_outHeight));
            return true;
        }
        m_columnMap.resize(size_t(m_box.width));
        m_rowMap.resize(size_t(m_box.height));
        for (int x = 0; x < m_box.width; ++x) m_columnMap[size_t(x)] = int(int64_t(x) * s.width / m_box.width);
        for (int y = 0; y < m_box.height; ++y) m_rowMap[size_t(y)] = int(int64_t(y) * s.height / m_box.height);
        return true;
    }

    bool openVideo(const AVCodec* codec, std::string& failure, std::string& note)
    {
        const MediaSettings& s = m_settings;
        if (!openScaling(failure)) return false;
        m_videoStream = avformat_new_stream(m_format, nullptr);
        m_video = avcodec_alloc_context3(codec);
        if (!m_videoStream || !m_video) return fail(failure, "out of memory");
        m_video->width = m_outWidth;
        m_video->height = m_outHeight;
        m_video->time_base = AVRational{s.fpsDen, s.fpsNum};
        m_video->framerate = AVRational{s.fpsNum, s.fpsDen};
        m_video->pix_fmt = pickPixelFormat(codec);
        // Our frames are full-range RGB; YUV encoders get BT.601 limited range, and say so.
        if (m_video->pix_fmt == AV_PIX_FMT_YUV420P) {
            m_video->colorspace = AVCOL_SPC_SMPTE170M;
            m_video->color_primaries = AVCOL_PRI_SMPTE170M;
            m_video->color_trc = AVCOL_TRC_SMPTE170M;
            m_video->color_range = AVCOL_RANGE_MPEG;
        }
        // The rate factor and preset given, else the tuning's; x264 takes its preset names,
        // libvpx its deadlines.
        const VideoTuning& tuning = videoTuning(m_container);
        const std::string crf = std::to_string(s.crf >= 0 ? s.crf : tuning.defaultCrf);
        const char* preset = s.preset.empty() ? tuning.defaultPreset : s.preset.c_str();
        const std::string name = codec->name;
        bool tuned = true;
        if (name == "libx264") {
            tuned = av_opt_set(m_video->priv_data, "preset", preset, 0) >= 0 &&
                    av_opt_set(m_video->priv_data, "crf", crf.c_str(), 0) >= 0;
        } else if (name == "libvpx-vp9" || name == "libvpx") {
            m_video->bit_rate = 0;
            tuned = av_opt_set(m_video->priv_data, "crf", crf.c_str(), 0) >= 0 &&
                    av_opt_set(m_video->priv_data, "deadline", preset, 0) >= 0;
            av_opt_set(m_video->priv_data, "cpu-used", "4", 0);
            av_opt_set(m_video->priv_data, "row-mt", "1", 0);
        } else if (name == "mpeg4") {
            m_video->global_quality = FF_QP2LAMBDA * 3;
            m_video->flags |= AV_CODEC_FLAG_QSCALE;
            if (s.crf >= 0 || !s.preset.empty()) note += "mpeg4 takes no rate factor or preset: they are not used. ";
        }
        if (!tuned) return fail(failure, "the video encoder " + name + " refuses the rate factor or preset");
        if (m_format->oformat->flags & AVFMT_GLOBALHEADER) m_video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(m_video, codec, nullptr) < 0)
            return fail(failure, std::string("cannot open the video encoder ") + codec->name);
        if (avcodec_parameters_from_context(m_videoStream->codecpar, m_video) < 0) return fail(failure, "out of memory");
        m_videoStream->time_base = m_video->time_base;
        m_videoStream->avg_frame_rate = m_video->framerate;

        m_videoFrame = av_frame_alloc();
        if (!m_videoFrame) return fail(failure, "out of memory");
        m_videoFrame->format = m_video->pix_fmt;
        m_videoFrame->width = m_outWidth;
        m_videoFrame->height = m_outHeight;
        if (av_frame_get_buffer(m_videoFrame, 0) < 0) return fail(failure, "out of memory");
        // The picture into the encoder's pixel format (no scaling here).
        m_scaler = sws_getContext(m_outWidth, m_outHeight, AV_PIX_FMT_BGR0, m_outWidth, m_outHeight, m_video->pix_fmt,
                                  SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
        if (!m_scaler) return fail(failure, "cannot convert frames for the video encoder");
        return true;
    }

    // Our own layout (bytes B, G, R, 0) when the encoder takes it, so a lossless capture holds
    // exactly our pixels; else planar RGB for the lossless encoder; else 4:2:0 YUV.
    AVPixelFormat pickPixelFormat(const AVCodec* codec) const
    {
        if (!codec->pix_fmts) return AV_PIX_FMT_YUV420P;
        const AVPixelFormat wanted[] = {m_settings.lossless ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_YUV420P,
                                        m_settings.lossless ? AV_PIX_FMT_GBRP : AV_PIX_FMT_YUV420P};
        for (AVPixelFormat w : wanted)
            for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
                if (*f == w) return w;
        return codec->pix_fmts[0];
    }

    bool openAudio(const AVCodec* codec, std::string& failure)
    {
        m_audioStream = avformat_new_stream(m_format, nullptr);
        m_audio = avcodec_alloc_context3(codec);
        if (!m_audioStream || !m_audio) return fail(failure, "out of memory");
        m_audio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        // Our rate when the encoder takes it (no resampling, exact sample counts), else its nearest.
        int rate = kMusicRate;
        if (codec->supported_samplerates) {
            rate = codec->supported_samplerates[0];
            for (const int* r = codec->supported_samplerates; *r; ++r)
                if (std::abs(*r - kMusicRate) < std::abs(rate - kMusicRate)) rate = *r;
        }
        m_audio->sample_rate = rate;
        m_audio->time_base = AVRational{1, rate};
        const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (av_channel_layout_copy(&m_audio->ch_layout, &stereo) < 0) return fail(failure, "out of memory");
        const std::string name = codec->name;
        if (name == "aac") m_audio->bit_rate = 192000;
        if (name == "libvorbis") m_audio->bit_rate = 160000;
        if (name == "libopus") m_audio->bit_rate = 128000;
        if (m_format->oformat->flags & AVFMT_GLOBALHEADER) m_audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(m_audio, codec, nullptr) < 0)
            return fail(failure, std::string("cannot open the sound encoder ") + codec->name);
        if (avcodec_parameters_from_context(m_audioStream->codecpar, m_audio) < 0) return fail(failure, "out of memory");
        m_audioStream->time_base = m_audio->time_base;

        const bool anySize = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || m_audio->frame_size <= 0;
        m_chunk = anySize ? kVariableChunk : m_audio->frame_size;
        m_smallLast = anySize || (codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
        AVChannelLayout in = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&m_resampler, &m_audio->ch_layout, m_audio->sample_fmt, rate, &in, AV_SAMPLE_FMT_FLT,
                                kMusicRate, 0, nullptr) < 0 ||
            swr_init(m_resampler) < 0)
            return fail(failure, "cannot convert sound for the encoder");
        m_fifo = av_audio_fifo_alloc(m_audio->sample_fmt, 2, m_chunk);
        m_audioFrame = av_frame_alloc();
        if (!m_fifo || !m_audioFrame) return fail(failure, "out of memory");
        m_audioFrame->format = m_audio->sample_fmt;
        m_audioFrame->sample_rate = rate;
        m_audioFrame->nb_samples = m_chunk;
        if (av_channel_layout_copy(&m_audioFrame->ch_layout, &m_audio->ch_layout) < 0 ||
            av_frame_get_buffer(m_audioFrame, 0) < 0)
            return fail(failure, "out of memory");
        return true;
    }

    // Converts `frames` input frames (null: the resampler's remainder) into the sound queue.
    bool convert(const uint8_t* input, int frames)
    {
        const int capacity = swr_get_out_samples(m_resampler, frames);
        if (capacity < 0) return false;
        if (capacity == 0) return true;
        uint8_t** planes = nullptr;
        if (av_samples_alloc_array_and_samples(&planes, nullptr, 2, capacity, m_audio->sample_fmt, 0) < 0) return false;
        const uint8_t* in[1] = {input};
        const int made = swr_convert(m_resampler, planes, capacity, input ? in : nullptr, frames);
        const bool ok = made >= 0 && av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(planes), made) == made;
        av_freep(&planes[0]);
        av_freep(&planes);
        return ok;
    }

    // Encodes whole frames from the queue; at the end also the last short one.
    bool encodeFifo(bool atEnd)
    {
        for (;;) {
            const int queued = av_audio_fifo_size(m_fifo);
            if (queued == 0 || (queued < m_chunk && !atEnd)) return true;
            if (av_frame_make_writable(m_audioFrame) < 0) return false;
            const int n = std::min(queued, m_chunk);
            if (av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(m_audioFrame->data), n) != n) return false;
            int samples = n;
            if (n < m_chunk && !m_smallLast) {
                // An encoder of fixed frame sizes gets the last one padded with silence.
                av_samples_set_silence(m_audioFrame->data, n, m_chunk - n, 2, m_audio->sample_fmt);
                samples = m_chunk;
            }
            m_audioFrame->nb_samples = samples;
            m_audioFrame->pts = m_audioSamples;
            m_audioSamples += samples;
            if (!encode(m_audio, m_audioStream, m_audioFrame)) return false;
            m_audioFrame->nb_samples = m_chunk;
        }
    }

    bool encode(AVCodecContext* codec, AVStream* stream, const AVFrame* frame)
    {
        return encodeAndWrite(m_format, codec, stream, m_packet, frame);
    }

    MediaSettings m_settings;
    MediaContainer m_container = MediaContainer::Wav;  // this file's
    AVFormatContext* m_format = nullptr;
    AVPacket* m_packet = nullptr;
    AVCodecContext* m_video = nullptr;
    AVStream* m_videoStream = nullptr;
    AVFrame* m_videoFrame = nullptr;
    SwsContext* m_scaler = nullptr;    // picture to the encoder's format
    SwsContext* m_smooth = nullptr;    // frame to box, when scaled smoothly
    int m_outWidth = 0;                // the picture's size
    int m_outHeight = 0;
    CaptureBox m_box;
    std::vector<uint32_t> m_picture;   // the scaled picture, when it differs from the frames
    std::vector<uint32_t> m_filtered;  // smooth scaling: the box as the filter wrote it
    std::vector<int> m_columnMap;      // nearest scaling: the frame column of each box column
    std::vector<int> m_rowMap;         // and the frame row of each box row
    int64_t m_frameIndex = 0;
    AVCodecContext* m_audio = nullptr;
    AVStream* m_audioStream = nullptr;
    AVFrame* m_audioFrame = nullptr;
    SwrContext* m_resampler = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    int m_chunk = kVariableChunk;  // sound frames per encoded frame
    bool m_smallLast = true;       // the encoder takes a shorter last frame
    int64_t m_audioSamples = 0;    // at the encoder's rate
    bool m_finished = false;
};

} // namespace

std::unique_ptr<MediaWriter> openFfmpegMediaWriter(const MediaSettings& settings, std::string& failure,
                                                   std::string& note)
{
    if (settings.width <= 0 || settings.height <= 0 || settings.outWidth < 0 || settings.outHeight < 0 ||
        settings.fpsNum <= 0 || settings.fpsDen <= 0 || (settings.videoPath.empty() && settings.wavPath.empty())) {
        failure = "bad capture settings";
        return nullptr;
    }
    auto writer = std::make_unique<FfmpegMediaWriter>();
    if (!writer->open(settings, failure, note)) return nullptr;
    return writer;
}
