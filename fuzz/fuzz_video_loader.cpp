// libFuzzer target for AVI video files through the FFmpeg back end: the input is the file, opened
// through the shared decodings. A decoded video is asked for frames around its count. Decoded
// frames are capped at 64 MiB.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "foundation/Report.h"
#include "image/CAvi.h"
#include "platform/Platform.h"
#include "backends/ffmpeg/FfmpegBackend.h"

namespace {
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string dir = (std::filesystem::temp_directory_path() / "tessaline-fuzz-avi-XXXXXX").string();
    if (!::mkdtemp(dir.data())) std::abort();
    g_path = dir + "/input.avi";
    Platform p;
    installFfmpegBackend(p);
    installPlatform(std::move(p));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setReportEcho(false);
    FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const std::shared_ptr<const CAvi> avi = CAvi::open(g_path.c_str(), int64_t(64) << 20);
    const int n = avi->getNbFrame();
    for (int i : {0, 1, n - 1, n, 2 * n + 1, -1}) {
        const CImage32* frame = avi->frame(i);
        if (frame && frame->pixelCount() > 0) (void)frame->m_pPixels[frame->pixelCount() - 1];
    }
    clearFatalError();
    return 0;
}
