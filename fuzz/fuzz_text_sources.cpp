// libFuzzer target for the text compilers the authoring mode runs on a saved text: the input is
// the text of a 3D scene, a 2D scene, a key framer and a controller alike. Runs in an empty
// directory of its own, so OBJ files and pictures it names find nothing (or a device, refused).
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzScratchDir.h"
#include "foundation/Report.h"
#include "text/L2dText.h"
#include "text/L3xText.h"
#include "text/LcxTool.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    enterScratchDir(argc, argv, "tessaline-fuzz-text");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setReportEcho(false);
    const std::string text(reinterpret_cast<const char*>(data), size);
    L3xChunk root;
    std::string error;
    if (parseL3xText(text, "in.txt", root, error)) writeL3xFile(root, "out.l3x", false);
    std::ofstream("in.txt", std::ios::binary) << text;
    std::vector<std::string> messages;
    writeL2d("in.txt", "out.l2d", messages);
    lcxtool::writeLcx("in.txt", "out.lcx", messages);
    lcxtool::writeLecx("in.txt", "out.lecx", messages);
    clearFatalError();
    return 0;
}
