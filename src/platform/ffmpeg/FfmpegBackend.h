// Audio streams (WAV, MP3, OGG, FLAC, WMA and whatever else FFmpeg decodes), the video of AVI
// files, and the captures' video and sound files, through FFmpeg.
#pragma once

struct Platform;

// Installs the stream and video openers and the capture writer, and chains the FFmpeg version
// check.
void installFfmpegBackend(Platform& platform);
// Installs the video opener alone (installFfmpegBackend does it too).
void installFfmpegVideoBackend(Platform& platform);
