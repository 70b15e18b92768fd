// Fuzz target: any bytes as a music file, loaded as a module or a stream, then played on the
// virtual clock with its time and level read at a few positions.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/Report.h"
#include "music/SoundManager.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/openmpt/OpenMptBackend.h"

namespace {
std::shared_ptr<VirtualClock> g_clock;

void setUp()
{
    g_clock = std::make_shared<VirtualClock>();
    Platform p;
    installHeadlessBackend(p, g_clock);
    installOpenMptBackend(p);
    installFfmpegBackend(p);
    installPlatform(std::move(p));
    setReportEcho(false);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (setUp(), true);
    (void)ready;
    // The extension does not decide the kind; vary it anyway to reach the demuxers' probing.
    static const char* const kExt[] = {".mod", ".xm", ".wav", ".mp3", ".ogg"};
    const std::string path = "/tmp/tessaline-fuzz-music-" + std::to_string(getpid()) + kExt[size % 5];
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    g_clock->set(0);
    SoundManager music;
    music.load(path.c_str());
    music.setTime(1500);
    music.play();
    for (uint32_t t : {0u, 40u, 1000u, 60000u}) {
        g_clock->set(t);
        (void)music.getTime();
        (void)music.getVU();
    }
    music.close();
    std::remove(path.c_str());
    return 0;
}
