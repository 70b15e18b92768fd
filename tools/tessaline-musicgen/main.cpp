// tessaline-musicgen: writes the generated tracker module and WAV used by the tests and the demo.
#include <cstdio>
#include <cstring>

#include "music/MusicGenerator.h"

namespace {
int usage()
{
    std::fprintf(stderr,
                 "usage: tessaline-musicgen [--mod FILE] [--wav FILE]\n"
                 "  --mod FILE  write the four-channel module (about 23 s)\n"
                 "  --wav FILE  write the 16-bit stereo 44100 Hz tone sequence (10 s)\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    const char* modPath = nullptr;
    const char* wavPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--mod") == 0 && i + 1 < argc)
            modPath = argv[++i];
        else if (std::strcmp(argv[i], "--wav") == 0 && i + 1 < argc)
            wavPath = argv[++i];
        else
            return usage();
    }
    if (!modPath && !wavPath) return usage();
    int status = 0;
    if (modPath && !MusicGenerator::writeFile(modPath, MusicGenerator::makeModule())) {
        std::fprintf(stderr, "tessaline-musicgen: cannot write %s\n", modPath);
        status = 1;
    }
    if (wavPath && !MusicGenerator::writeFile(wavPath, MusicGenerator::makeWav())) {
        std::fprintf(stderr, "tessaline-musicgen: cannot write %s\n", wavPath);
        status = 1;
    }
    return status;
}
