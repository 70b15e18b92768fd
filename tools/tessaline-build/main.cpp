// tessaline-build: rebuilds the binary files of a demo folder whose text sources are newer, as
// make would: scenes, 2D scenes, key framers and controllers.
//
//   tessaline-build [--all] [DIR]
//
// Prints each file it rebuilt and each error as FILE:LINE: message. Exit status: 0 when every
// source built (or nothing was out of date), 1 when any failed, 2 for bad usage.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "text/TextBuild.h"

namespace {
const char* const kUsage =
    "usage: tessaline-build [--all] [DIR]\n"
    "\n"
    "Rebuilds every binary file under DIR (default: the current folder) whose text source is\n"
    "newer, or missing (every one with --all). What a text builds, the first rule that applies:\n"
    "  a comment naming its command   # Build: tessaline-l3x --compress city.txt city.l3x\n"
    "  its name                       cube.l3x.txt -> cube.l3x (also .l2d, .lcx, .lecx)\n"
    "  the one binary beside it       city.txt beside city.l3x -> city.l3x\n"
    "A scene is out of date also when an OBJ file it names is newer.\n";
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    int next = 1;
    const bool all = argc > next && std::strcmp(argv[next], "--all") == 0;
    if (all) ++next;
    if (argc > next + 1 || (argc == next + 1 && argv[next][0] == '-')) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::filesystem::path dir = argc == next + 1 ? argv[next] : ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        std::fprintf(stderr, "tessaline-build: %s is not a folder\n", dir.string().c_str());
        return 1;
    }
    int built = 0, failed = 0;
    for (const TextSource& s : findTextSources(dir)) {
        if (!all && !isOutOfDate(s)) continue;
        std::vector<std::string> messages;
        const bool ok = buildTextSource(s, messages);
        for (const std::string& m : messages) std::fprintf(stderr, "%s\n", m.c_str());
        if (ok) {
            std::printf("built %s\n", s.target.string().c_str());
            ++built;
        } else {
            ++failed;
        }
    }
    if (built == 0 && failed == 0) std::printf("everything is up to date\n");
    return failed > 0 ? 1 : 0;
}
