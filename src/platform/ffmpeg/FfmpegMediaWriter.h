// Video and sound files written through FFmpeg's encoders and muxers (the captures).
#pragma once

#include "platform/MediaWriter.h"

// Opens the file of `settings`; null with `failure` set when it cannot. `note` names a fallback
// encoder taken because the preferred one is missing from this FFmpeg.
std::unique_ptr<MediaWriter> openFfmpegMediaWriter(const MediaSettings& settings, std::string& failure,
                                                   std::string& note);
