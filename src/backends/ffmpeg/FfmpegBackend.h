// Audio streams, the video of AVI files, and the captures' video and sound files, through FFmpeg.
#pragma once

#include <string>

struct Platform;

// Installs the stream and video openers and the capture writer, and chains the FFmpeg version
// check.
void installFfmpegBackend(Platform& platform);

// The name of the codec that FFmpeg's decoder `decoder` decodes, as codecName() gives it ("" when
// this FFmpeg has no such decoder): tessaline-web compares the page's decoders with a demo's files.
std::string ffmpegCodecOfDecoder(const std::string& decoder);
