// A demo's text sources and the binary files they build: which text builds which file, whether
// the file is out of date, and the build itself through the text compilers of the tools.
//
// What a text source builds, the first rule that applies:
//   1. a comment line naming its command: "# Build: tessaline-l3x --compress city.txt city.l3x"
//      ("Build with:" and lower case too; the output relative to the source's folder);
//   2. its name: NAME.l3x.txt, NAME.l2d.txt, NAME.lcx.txt and NAME.lecx.txt build NAME.l3x, ...;
//   3. NAME.txt beside exactly one of NAME.l3x, NAME.l2d, NAME.lcx and NAME.lecx builds that one.
// Any other text file is not a source.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "player/ScriptPlayer.h"

struct TextSource {
    enum class Kind { Scene3D, Scene2D, Controller, ControllerExpressions };
    std::filesystem::path source;  // the text
    std::filesystem::path target;  // the binary it builds
    Kind kind = Kind::Scene3D;
    bool compress = false;         // scenes: bzip2-compressed (the command's --compress)
    int line = 1;                  // errors about the target point here: the build comment's line, else 1
};

// What `source` builds, when it is a text source.
std::optional<TextSource> textSourceOf(const std::filesystem::path& source);
// The text sources under `dir` and its folders (hidden ones left out), in name order.
std::vector<TextSource> findTextSources(const std::filesystem::path& dir);
// The binary is missing or older than its text (or than an OBJ file a scene text names).
bool isOutOfDate(const TextSource& s);
// Builds the binary. Errors are appended to `messages` as "FILE:LINE: message" (or "cannot read
// FILE"); false when anything failed (the binary is then left as it was). The binary is written
// only inside the text's folder tree (links followed), and replaces only a file of its own kind.
bool buildTextSource(const TextSource& s, std::vector<std::string>& messages);
// The player's authoring mode rebuilds saved text sources through these.
TextSourceBuilder makeTextSourceBuilder();
