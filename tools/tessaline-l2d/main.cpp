// tessaline-l2d: builds 2D scene files (sprites on animated nodes, seen through cameras) from a
// line-based text.
//
//   tessaline-l2d TEXT OUTPUT.l2d
//
// What the scene loader would not read is refused with its line: names and file names longer
// than its strings, and a file larger than it reads.
//
// Exit status: 0 written, 1 for an input error (reported with its line), 2 for bad usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "text/L2dText.h"

namespace {
const char* const kUsage =
    "usage: tessaline-l2d TEXT OUTPUT.l2d\n"
    "\n"
    "Builds a 2D scene file. One item a line; indented lines add tracks to the item above;\n"
    "'#' starts a comment. Times are whole frames (0..65535).\n"
    "\n"
    "  frames N                                 the scene's length in frames\n"
    "  camera NAME TARGETNAME\n"
    "    fov KIND KEYS...                       horizontal field of view, degrees (default 90)\n"
    "    roll KIND KEYS...                      radians\n"
    "    position KIND t x y z ...              the camera's position track\n"
    "    target KIND t x y z ...                its target's position track\n"
    "  sprite NAME normal|add|sub IMAGE FILTER ALPHAMAP   (FILTER 0 or 1; files may be NULL or .avi)\n"
    "    opacity KIND KEYS...\n"
    "  node NAME PARENT SPRITEINDEX             PARENT a node, camera or target name, or NULL\n"
    "    position KIND t x y z ...\n"
    "    scale KIND t x y z ...\n"
    "    rotation linear t angle ax ay az ...   absolute angle (radians) about an axis\n"
    "\n"
    "Float track KINDs and their keys: linear and hermite 't v'; tcb 't v bias tension\n"
    "continuity easefrom easeto'; bezier 't v intangent inlength intype outtangent outlength\n"
    "outtype'. Point tracks: linear or hermite. Names and file names hold at most 255 bytes;\n"
    "the file at most 16 MiB.\n";
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<std::string> messages;
    const int status = writeL2d(argv[1], argv[2], messages);
    for (const std::string& m : messages) std::fprintf(stderr, "tessaline-l2d: %s\n", m.c_str());
    return status;
}
