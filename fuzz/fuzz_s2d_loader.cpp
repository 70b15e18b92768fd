// libFuzzer target for 2D scene files: the input is the stream. A loaded scene is shown through
// every camera (and one index past them) at awkward times into a small image. Runs in an empty
// directory of its own, so the file names in the stream find nothing to load.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "FuzzScratchDir.h"
#include "foundation/Report.h"
#include "fx2d/S2DScene.h"
#include "image/CImage32.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    enterScratchDir(argc, argv, "tessaline-fuzz-s2d");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setReportEcho(false);
    S2DScene scene;
    scene.loadStream(data, size);
    CImage32Buffered image(32, 16);
    const float times[] = {-1e30f, -5.0f, 0.0f, 12.5f, 1000.0f, 3e9f, std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
    for (int c = 0; c < scene.getNbCamera() + 1 && c < 4; ++c) {
        scene.setCamera(c);
        for (float t : times) {
            scene.update(t);
            scene.render(&image);
        }
    }
    clearFatalError();
    return 0;
}
