#include "backends/ffmpeg/FfmpegBackend.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "backends/ffmpeg/FfmpegParts.h"
#include "platform/Platform.h"

namespace {

// Each run-time library must be the major version we built against, at least its minor.
bool versionUsable(unsigned runtime, unsigned built)
{
    return AV_VERSION_MAJOR(runtime) == AV_VERSION_MAJOR(built) && runtime >= built;
}

bool librariesUsable()
{
    return versionUsable(avformat_version(), LIBAVFORMAT_VERSION_INT) &&
           versionUsable(avcodec_version(), LIBAVCODEC_VERSION_INT) &&
           versionUsable(avutil_version(), LIBAVUTIL_VERSION_INT) &&
           versionUsable(swresample_version(), LIBSWRESAMPLE_VERSION_INT) &&
           versionUsable(swscale_version(), LIBSWSCALE_VERSION_INT);
}

} // namespace

std::string ffmpegCodecOfDecoder(const std::string& decoder)
{
    const AVCodec* codec = avcodec_find_decoder_by_name(decoder.c_str());
    return codec ? avcodec_get_name(codec->id) : "";
}

void installFfmpegBackend(Platform& platform)
{
    // Failures come back as our own reports; FFmpeg's log would only repeat them.
    av_log_set_level(AV_LOG_QUIET);
    platform.openStream = openFfmpegStream;
    platform.openVideo = openFfmpegVideo;
    platform.openMediaWriter = openFfmpegMediaWriter;
    auto previous = platform.musicLibrariesUsable;
    platform.musicLibrariesUsable = [previous] { return (!previous || previous()) && librariesUsable(); };
}
