// Audio streams (WAV, MP3, OGG, FLAC, WMA and whatever else FFmpeg decodes) and the video of AVI
// files through FFmpeg.
#pragma once

struct Platform;

// Installs the stream and video openers and chains the FFmpeg version check.
void installFfmpegBackend(Platform& platform);
// Installs the video opener alone (installFfmpegBackend does it too).
void installFfmpegVideoBackend(Platform& platform);
