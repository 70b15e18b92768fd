// Audio streams (WAV, MP3, OGG, FLAC, WMA and whatever else FFmpeg decodes) through FFmpeg, and
// the captures' video and sound files.
#pragma once

struct Platform;

// Installs the stream opener and the capture writer, and chains the FFmpeg version check.
void installFfmpegBackend(Platform& platform);
