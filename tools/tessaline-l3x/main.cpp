// tessaline-l3x: builds .l3x scene files from a readable text description, with geometry from
// Wavefront OBJ files, and prints .l3x files back as that text.
//
//   tessaline-l3x [--compress] TEXT OUTPUT.l3x   builds the scene (plain unless --compress)
//   tessaline-l3x --print FILE.l3x               prints a scene file as text the first form reads
//
// The text format is documented in docs/l3x-format.md. Exit status: 0 written or printed,
// 1 for an input error (reported with its line), 2 for bad usage.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "text/L3xText.h"
#include "text/TextFiles.h"
#include "foundation/ChunkFile.h"

namespace {
const char* const kUsage =
    "usage: tessaline-l3x [--compress] TEXT OUTPUT.l3x\n"
    "       tessaline-l3x --print FILE.l3x\n"
    "\n"
    "Builds a .l3x scene from its text description (geometry may come from OBJ files through\n"
    "'obj \"file.obj\"' inside a triObject or a shape's common block), or prints a scene as that\n"
    "text. The format: docs/l3x-format.md. Example:\n"
    "\n"
    "  scene {\n"
    "    animationLength 100\n"
    "    cameras {\n"
    "      camera {\n"
    "        header { name \"cam\" node { values { position 0 0 -200 } } }\n"
    "        values { fov 1.2 }\n"
    "      }\n"
    "    }\n"
    "  }\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--print") == 0) {
        ChunkFileReaderManager manager(argv[2]);
        if (!manager.hasBuffer()) return 1;
        const std::string text = printL3xStream(manager.getStream(), manager.getStreamSize());
        if (text.empty()) {
            std::fprintf(stderr, "tessaline-l3x: %s: not a chunk stream\n", argv[2]);
            return 1;
        }
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    const bool compress = argc == 4 && std::strcmp(argv[1], "--compress") == 0;
    if (argc != 3 && !compress) return usage();
    const std::string textPath = argv[argc - 2], outPath = argv[argc - 1];
    if (!textPath.empty() && textPath[0] == '-') return usage();

    std::ifstream in;
    std::string failure;
    if (!openTextFile(textPath, in, failure)) {
        std::fprintf(stderr, "tessaline-l3x: %s\n", failure.c_str());
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    L3xChunk root;
    std::string error;
    if (!parseL3xText(text.str(), textPath, root, error)) {
        std::fprintf(stderr, "tessaline-l3x: %s\n", error.c_str());
        return 1;
    }
    if (!writeL3xFile(root, outPath, compress)) return 1;
    return 0;
}
