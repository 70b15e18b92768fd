// Audio streams, the video of AVI files, and the captures' video and sound files, through FFmpeg.
#pragma once

struct Platform;

// Installs the stream and video openers and the capture writer, and chains the FFmpeg version
// check.
void installFfmpegBackend(Platform& platform);
