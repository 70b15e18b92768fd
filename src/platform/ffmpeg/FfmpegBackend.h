// Audio streams (WAV, MP3, OGG, FLAC, WMA and whatever else FFmpeg decodes) through FFmpeg.
#pragma once

struct Platform;

// Installs the stream opener and chains the FFmpeg version check.
void installFfmpegBackend(Platform& platform);
