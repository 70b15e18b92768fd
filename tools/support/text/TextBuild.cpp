#include "text/TextBuild.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <cstring>
#include <sstream>
#include <system_error>

#include "foundation/ChunkFile.h"
#include "foundation/FileTools.h"
#include "fx2d/S2DFormat.h"
#include "fx2d/S2DStream.h"
#include "s3d/L3xFormat.h"
#include "text/L2dText.h"
#include "text/L3xText.h"
#include "text/TextFiles.h"
#include "text/LcxTool.h"

namespace fs = std::filesystem;

namespace {

// A build comment is looked for in the first lines only: it belongs to the heading.
constexpr int kHeadingLines = 30;
// The root chunks of the controller files (LCXControllerManager's and LECXControllerManager's).
constexpr uint16_t kLcxRoot = 1;
constexpr uint16_t kLecxRoot = 10;

std::string lower(std::string s)
{
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<TextSource::Kind> kindOfExtension(const std::string& extension)
{
    const std::string e = lower(extension);
    if (e == ".l3x") return TextSource::Kind::Scene3D;
    if (e == ".l2d") return TextSource::Kind::Scene2D;
    if (e == ".lcx") return TextSource::Kind::Controller;
    if (e == ".lecx") return TextSource::Kind::ControllerExpressions;
    return std::nullopt;
}

// Rule 1: "# ... Build: tessaline-TOOL [--compress] SOURCE OUTPUT" naming this very file.
std::optional<TextSource> fromComment(const fs::path& sourcePath)
{
    // The comments of the heading as one text: a command may continue on the next line.
    std::ifstream in;
    std::string error;
    if (!openTextFile(sourcePath.string(), in, error)) return std::nullopt;
    std::string comments, line;
    std::vector<std::pair<size_t, int>> lineAt;  // where each line's comment begins in `comments`
    for (int n = 0; n < kHeadingLines && std::getline(in, line); ++n) {
        const size_t hash = line.find('#');
        if (hash == std::string::npos) continue;
        lineAt.emplace_back(comments.size(), n + 1);
        comments += line.substr(hash + 1) + ' ';
    }
    // "Build:" or "Build with:" (either case of the B), then "tessaline-TOOL [--compress] SOURCE OUTPUT".
    for (size_t at = comments.find("uild"); at != std::string::npos; at = comments.find("uild", at + 1)) {
        if (at == 0 || (comments[at - 1] != 'B' && comments[at - 1] != 'b')) continue;
        size_t colon = at + 4;
        if (comments.compare(colon, 5, " with") == 0) colon += 5;
        if (colon >= comments.size() || comments[colon] != ':') continue;
        std::istringstream words(comments.substr(colon + 1));
        std::string tool, source, output;
        words >> tool >> source;
        const bool compress = source == "--compress";
        if (compress) words >> source;
        words >> output;
        while (!output.empty() && std::strchr("():,;", output.back())) output.pop_back();
        if (tool != "tessaline-l3x" && tool != "tessaline-l2d" && tool != "tessaline-lcx") continue;
        if (output.empty() || fs::path(source).filename() != sourcePath.filename()) continue;
        // The output stays in the text's folder or below it: a demo's text never names a file
        // elsewhere on the machine to be written.
        const fs::path target = fs::path(output).lexically_normal();
        if (target.is_absolute() || target.empty() || *target.begin() == "..") continue;
        const std::optional<TextSource::Kind> kind = kindOfExtension(target.extension().string());
        if (!kind || (tool == "tessaline-l3x") != (*kind == TextSource::Kind::Scene3D) ||
            (tool == "tessaline-l2d") != (*kind == TextSource::Kind::Scene2D))
            continue;
        TextSource s;
        s.source = sourcePath;
        s.target = sourcePath.parent_path() / target;
        s.kind = *kind;
        s.compress = compress;
        // The line of the "Build" word: the command it begins names the target.
        for (const auto& [offset, number] : lineAt)
            if (offset <= at) s.line = number;
        return s;
    }
    return std::nullopt;
}

// The OBJ files a scene text names: `obj "FILE"`, relative to the text's folder.
std::vector<fs::path> objFilesOf(const fs::path& source)
{
    std::ifstream in;
    std::string error;
    if (!openTextFile(source.string(), in, error)) return {};
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    std::vector<fs::path> out;
    for (size_t at = s.find("obj"); at != std::string::npos; at = s.find("obj", at + 3)) {
        const bool wordStart = at == 0 || std::isspace(static_cast<unsigned char>(s[at - 1])) || s[at - 1] == '{';
        size_t quote = at + 3;
        while (quote < s.size() && (s[quote] == ' ' || s[quote] == '\t')) ++quote;
        if (!wordStart || quote == at + 3 || quote >= s.size() || s[quote] != '"') continue;
        const size_t end = s.find('"', quote + 1);
        if (end == std::string::npos) break;
        out.push_back(source.parent_path() / s.substr(quote + 1, end - quote - 1));
    }
    return out;
}

// Builds into `into`, the messages naming the text as given.
bool buildInto(const TextSource& s, const fs::path& into, std::vector<std::string>& messages)
{
    const std::string text = s.source.string(), out = into.string();
    switch (s.kind) {
    case TextSource::Kind::Scene3D: {
        std::ifstream in;
        std::string failure;
        if (!openTextFile(text, in, failure)) {
            messages.push_back(failure);
            return false;
        }
        std::stringstream content;
        content << in.rdbuf();
        L3xChunk root;
        std::string error;
        if (!parseL3xText(content.str(), text, root, error)) {
            messages.push_back(error);
            return false;
        }
        if (writeL3xFile(root, out, s.compress)) return true;
        messages.push_back("cannot write " + s.target.string());
        return false;
    }
    case TextSource::Kind::Scene2D: return writeL2d(text, out, messages) == 0;
    case TextSource::Kind::Controller: return lcxtool::writeLcx(text, out, messages) == 0;
    case TextSource::Kind::ControllerExpressions: return lcxtool::writeLecx(text, out, messages) == 0;
    }
    return false;
}

// Whether the bytes walk as a 2D scene stream (S2DFormat.h) from the first byte to the last, with
// the scene loader's own cursor. The format has no magic: the whole layout is its mark.
bool walksAsL2d(const std::vector<unsigned char>& data)
{
    s2d::ByteStream s(data.data(), data.size());
    const auto skip = [&s](size_t count, size_t bytes) {
        if (!s.fits(count, bytes)) return;
        for (size_t i = 0; i < count * bytes; ++i) s.u8();
    };
    // u8 kind, u16 key count, the keys (their sizes those of the loader's track forms). A float
    // track names one of the four kinds the track manager makes.
    const auto track = [&s, &skip](int minKind, int maxKind, size_t (*keyBytes)(int)) {
        const int kind = s.u8();
        const int count = s.u16();
        if (kind < minKind || kind > maxKind) s.fail();
        else skip(size_t(count), keyBytes(kind));
    };
    const auto floatTrack = [&] { track(1, 4, s2d::FloatTrackForm::keyBytes); };
    const auto pointTrack = [&] { track(0, s2d::PointTrackForm::kMaxKind, s2d::PointTrackForm::keyBytes); };
    const auto rotationTrack = [&] { track(0, s2d::RotationTrackForm::kMaxKind, s2d::RotationTrackForm::keyBytes); };
    s.u16();
    const int nodes = s.u16();
    skip(size_t(nodes), 2);
    const int cameras = s.u16();
    for (int i = 0; i < cameras && !s.overrun(); ++i) {
        floatTrack();
        floatTrack();
    }
    const int sprites = s.u16();
    for (int i = 0; i < sprites && !s.overrun(); ++i) {
        s.str();
        s.u8();
        s.str();
        s.u8();
        s.str();
        s.u8();
        floatTrack();
    }
    if (s.tag(kS2DTransformTag)) {
        for (int i = 0; i < nodes && !s.overrun(); ++i) {
            s.str();
            s.str();
            pointTrack();
            pointTrack();
            rotationTrack();
        }
        for (int i = 0; i < cameras && !s.overrun(); ++i) {
            s.str();
            s.str();
            pointTrack();
            pointTrack();
        }
    }
    return !s.overrun() && s.remaining() == 0;
}

// Whether `path` holds a file of the kind a text builds, as its loader reads it.
bool holdsKind(const std::string& path, TextSource::Kind kind)
{
    std::vector<unsigned char> data;
    if (!FileTools::readFile(path.c_str(), data, size_t(kChunkMaxStream) + 1)) return false;
    switch (kind) {
    case TextSource::Kind::Scene3D: return quietChunkRoot(data) == kL3xRoot;
    case TextSource::Kind::Scene2D: return walksAsL2d(data);
    case TextSource::Kind::Controller: return quietChunkRoot(data) == kLcxRoot;
    case TextSource::Kind::ControllerExpressions: return quietChunkRoot(data) == kLecxRoot;
    }
    return false;
}

const char* kindName(TextSource::Kind kind)
{
    switch (kind) {
    case TextSource::Kind::Scene3D: return "a 3D scene";
    case TextSource::Kind::Scene2D: return "a 2D scene";
    case TextSource::Kind::Controller: return "a controller";
    case TextSource::Kind::ControllerExpressions: return "an expression controller";
    }
    return "a binary";
}

} // namespace

std::optional<TextSource> textSourceOf(const fs::path& source)
{
    if (lower(source.extension().string()) != ".txt") return std::nullopt;
    if (std::optional<TextSource> s = fromComment(source)) return s;
    const fs::path stem = source.parent_path() / source.stem();  // NAME.l3x or NAME
    TextSource s;
    s.source = source;
    if (const std::optional<TextSource::Kind> kind = kindOfExtension(stem.extension().string())) {
        s.target = stem;
        s.kind = *kind;
        return s;
    }
    int found = 0;
    for (const char* extension : {".l3x", ".l2d", ".lcx", ".lecx"}) {
        fs::path candidate = stem;
        candidate += extension;
        std::error_code ec;
        if (!fs::is_regular_file(candidate, ec)) continue;
        ++found;
        s.target = candidate;
        s.kind = *kindOfExtension(extension);
    }
    if (found != 1) return std::nullopt;
    return s;
}

std::vector<TextSource> findTextSources(const fs::path& dir)
{
    std::vector<TextSource> out;
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name[0] == '.') {
            if (it->is_directory(ec)) it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(ec)) continue;
        if (std::optional<TextSource> s = textSourceOf(it->path().lexically_normal())) out.push_back(std::move(*s));
    }
    std::sort(out.begin(), out.end(), [](const TextSource& a, const TextSource& b) { return a.source < b.source; });
    return out;
}

bool isOutOfDate(const TextSource& s)
{
    std::error_code ec;
    const fs::file_time_type built = fs::last_write_time(s.target, ec);
    if (ec) return true;
    std::vector<fs::path> inputs{s.source};
    if (s.kind == TextSource::Kind::Scene3D) {
        const std::vector<fs::path> objs = objFilesOf(s.source);
        inputs.insert(inputs.end(), objs.begin(), objs.end());
    }
    for (const fs::path& input : inputs) {
        const fs::file_time_type written = fs::last_write_time(input, ec);
        if (!ec && written > built) return true;
    }
    return false;
}

bool buildTextSource(const TextSource& s, std::vector<std::string>& messages)
{
    // Errors about the target name it as the text does, relative to the text's folder.
    const fs::path folder = s.source.has_parent_path() ? s.source.parent_path() : fs::path(".");
    const std::string output =
        s.source.has_parent_path() ? s.target.lexically_relative(folder).string() : s.target.string();
    const std::string at = s.source.string() + ":" + std::to_string(s.line) + ": " + output;

    // The binary goes only where the text's folder tree holds it, links followed: a link to a
    // folder elsewhere cannot lead the write out.
    const std::string target = FileTools::resolveTargetInsideTree(folder.string().c_str(), output.c_str());
    if (target.empty()) {
        messages.push_back(at + " lies outside the text's folder: not written");
        return false;
    }
    // Built beside the target under a temporary name and renamed when complete: a failed build
    // leaves the old file whole, and a watching player never reads half a file. The writers open
    // that name (the chunk writer also its "_tmp" beside it) following links: whatever the tree
    // already holds there is removed first, so a planted link cannot lead the write out.
    const std::string partial = FileTools::temporaryPathBeside(target);
    const auto clear = [&partial] {
        const bool first = FileTools::clearForWriting(partial);
        return FileTools::clearForWriting(partial + "_tmp") && first;
    };
    std::error_code ec;
    if (!clear()) {
        messages.push_back("cannot write " + s.target.string());
        return false;
    }
    if (!buildInto(s, partial, messages)) {
        clear();
        return false;
    }
    // What is already there is replaced only by a file of its own kind: a text never destroys
    // another file by naming it.
    const fs::file_status existing = fs::status(target, ec);
    if (fs::exists(existing) && (!fs::is_regular_file(existing) || !holdsKind(target, s.kind))) {
        clear();
        messages.push_back(at + " is not " + kindName(s.kind) + " file: left as it is");
        return false;
    }
    fs::rename(partial, target, ec);
    if (ec) {
        clear();
        messages.push_back("cannot write " + s.target.string());
        return false;
    }
    return true;
}

TextSourceBuilder makeTextSourceBuilder()
{
    TextSourceBuilder b;
    b.isSource = [](const std::string& path) { return textSourceOf(path).has_value(); };
    b.build = [](const std::string& path, std::vector<std::string>& errors) -> std::optional<std::string> {
        const std::optional<TextSource> source = textSourceOf(path);
        if (!source || !buildTextSource(*source, errors)) return std::nullopt;
        return source->target.string();
    };
    b.buildOutOfDate = [](const std::string& dir, std::vector<std::string>& errors) {
        std::vector<std::string> built;
        for (const TextSource& s : findTextSources(dir))
            if (isOutOfDate(s) && buildTextSource(s, errors)) built.push_back(s.target.string());
        return built;
    };
    return b;
}
