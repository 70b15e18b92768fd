// The pieces of the FFmpeg back end, which FfmpegBackend.cpp installs.
#pragma once

#include <memory>
#include <string>

#include "platform/Audio.h"
#include "platform/MediaWriter.h"
#include "platform/Video.h"

// An audio stream of a file (WAV, MP3, OGG, FLAC, WMA and whatever else FFmpeg decodes) as
// 44100 Hz stereo float, from its start; null when the file holds none.
std::unique_ptr<MusicDecoder> openFfmpegStream(const std::string& path);
// The video stream of a file (AVI of any common codec); null when it cannot be opened.
std::unique_ptr<VideoDecoder> openFfmpegVideo(const std::string& path);
// Opens the video or sound file of `settings` for a capture; null with `failure` set when it
// cannot. `note` names a fallback encoder taken because the preferred one is missing.
std::unique_ptr<MediaWriter> openFfmpegMediaWriter(const MediaSettings& settings, std::string& failure,
                                                   std::string& note);
