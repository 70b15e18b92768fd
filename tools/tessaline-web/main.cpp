// tessaline-web: makes a demo folder a static web site that plays it in a browser: the page
// (index.html, tessaline.js, tessaline.wasm) and demo.pack, one package of the demo's files.
//
//   tessaline-web DEMO_DIR OUT_DIR [--script NAME.lscx] [--engine DIR] [--quiet]
//
// Exit status: 0 when the site is written, 1 on an error, 2 for bad usage.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "text/TextBuild.h"

namespace fs = std::filesystem;

namespace {
const char* const kUsage =
    "usage: tessaline-web DEMO_DIR OUT_DIR [--script NAME.lscx] [--engine DIR] [--quiet]\n"
    "\n"
    "Writes a static web site into OUT_DIR that plays the demo of DEMO_DIR in a browser:\n"
    "index.html, the engine (tessaline.js, tessaline.wasm) and demo.pack, every file of the\n"
    "folder but hidden ones, text sources and other scripts. Serve it with any web server\n"
    "(python3 -m http.server -d OUT_DIR). The page's switches: ?autostart=1, ?start=MS,\n"
    "?times=T1,T2&image=work|screen (renders those times as tessaline-render does), ?bench=1.\n"
    "  --script NAME  the script to play (default: the folder's one .lscx)\n"
    "  --engine DIR   where the page's engine files are (default: those installed or built)\n"
    "  --quiet        no summary line\n";

constexpr const char* kEngineFiles[] = {"index.html", "tessaline.js", "tessaline.wasm"};
constexpr size_t kMaxFiles = 100000;
constexpr uintmax_t kMaxBytes = uintmax_t(1) << 30;

// The parts joined (GCC 12 warns wrongly about "text" + std::string in inlined code).
template <class... Parts>
std::string cat(const Parts&... parts)
{
    std::string out;
    (out.append(parts), ...);
    return out;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "tessaline-web: %s\n", message.c_str());
    return 1;
}

bool hasEngine(const fs::path& dir)
{
    std::error_code ec;
    for (const char* f : kEngineFiles)
        if (!fs::is_regular_file(dir / f, ec)) return false;
    return true;
}

// The engine files: --engine, else installed beside the tool (../share/tessaline/web), else the
// build's own page.
fs::path findEngine(const std::optional<fs::path>& given)
{
    if (given) return *given;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path installed = self.parent_path().parent_path() / "share" / "tessaline" / "web";
        if (hasEngine(installed)) return installed;
    }
    return TL_WEB_ENGINE_DIR;
}

std::string jsonString(const std::string& s)
{
    std::string out = "\"";
    for (const unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    out += '"';
    return out;
}

bool isInside(const fs::path& path, const fs::path& root)
{
    const std::string p = path.string(), r = root.string();
    return p.size() > r.size() && p.compare(0, r.size(), r) == 0 && p[r.size()] == '/';
}

struct Packed {
    std::string path;  // relative, '/' separated
    fs::path file;
    uintmax_t size = 0;
};

// Every regular file of the demo but hidden ones, text sources, other scripts, the output
// folder and links that lead out of the folder (skipped with a warning).
std::optional<std::vector<Packed>> collect(const fs::path& root, const fs::path& script, const fs::path& out)
{
    std::vector<Packed> files;
    uintmax_t total = 0;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        const std::string name = p.filename().string();
        const fs::path real = fs::weakly_canonical(p, ec);
        if (ec) break;
        if (name.empty() || name[0] == '.' || real == out || isInside(real, out)) {
            if (it->is_directory(ec)) it.disable_recursion_pending();
            continue;
        }
        if (!isInside(real, root)) {
            std::fprintf(stderr, "tessaline-web: warning: %s leads out of the demo's folder: left out\n",
                         p.string().c_str());
            if (it->is_directory(ec)) it.disable_recursion_pending();
            continue;
        }
        if (it->is_directory(ec) || !it->is_regular_file(ec)) continue;
        if (p.extension() == ".lscx" && real != script) continue;
        if (textSourceOf(p)) continue;
        Packed f{fs::relative(p, root).generic_string(), p, it->file_size(ec)};
        if (ec) break;
        total += f.size;
        files.push_back(std::move(f));
        if (files.size() > kMaxFiles || total > kMaxBytes) {
            fail("the demo's folder holds more than 100000 files or 1 GiB: not packed");
            return std::nullopt;
        }
    }
    if (ec) {
        fail(cat("cannot read ", root.string(), ": ", ec.message()));
        return std::nullopt;
    }
    return files;
}

// Writes `path` through a temporary name beside it, renamed when complete.
template <class Write>
bool writeFile(const fs::path& path, Write write)
{
    const fs::path temporary = path.parent_path() / cat(".", path.filename().string(), ".writing");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !write(out) || !out.flush()) {
            std::error_code ec;
            fs::remove(temporary, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    return !ec;
}

bool copyInto(std::ostream& out, const fs::path& file, uintmax_t size)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> buffer(1 << 16);
    uintmax_t left = size;
    while (left > 0 && in) {
        const std::streamsize n = std::streamsize(std::min<uintmax_t>(left, buffer.size()));
        if (!in.read(buffer.data(), n)) return false;
        out.write(buffer.data(), n);
        left -= uintmax_t(n);
    }
    return left == 0 && bool(out);
}

// demo.pack: "TLPACK1\n", the index's length (uint32, little-endian), the index (JSON: the
// script and each file's path and size), then the files' bytes in the index's order.
bool writePack(const fs::path& path, const std::string& script, const std::vector<Packed>& files)
{
    std::string index = cat("{\"script\":", jsonString(script), ",\"files\":[");
    for (size_t i = 0; i < files.size(); ++i) {
        if (i) index += ',';
        index += cat("{\"path\":", jsonString(files[i].path), ",\"size\":", std::to_string(files[i].size), "}");
    }
    index += "]}";
    return writeFile(path, [&](std::ostream& out) {
        const uint32_t n = uint32_t(index.size());
        const unsigned char length[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        out.write("TLPACK1\n", 8);
        out.write(reinterpret_cast<const char*>(length), 4);
        out.write(index.data(), std::streamsize(index.size()));
        for (const Packed& f : files)
            if (!copyInto(out, f.file, f.size)) return false;
        return bool(out);
    });
}

// The script: --script inside the folder, else the folder's one .lscx.
std::optional<fs::path> chooseScript(const fs::path& root, const std::optional<std::string>& given)
{
    std::error_code ec;
    if (given) {
        const fs::path script = fs::weakly_canonical(root / *given, ec);
        if (ec || !isInside(script, root) || script.extension() != ".lscx" || !fs::is_regular_file(script, ec)) {
            fail(cat("--script ", *given, ": not a .lscx script inside ", root.string()));
            return std::nullopt;
        }
        return script;
    }
    std::vector<fs::path> scripts;
    for (const fs::directory_entry& e : fs::directory_iterator(root, ec))
        if (e.path().extension() == ".lscx" && e.is_regular_file(ec)) scripts.push_back(e.path());
    if (scripts.size() == 1) return fs::weakly_canonical(scripts[0], ec);
    std::string names;
    for (const fs::path& s : scripts) names += cat(" ", s.filename().string());
    fail(scripts.empty() ? cat("no .lscx script in ", root.string())
                         : cat("several scripts in ", root.string(), ":", names, " (choose one with --script)"));
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> places;
    std::optional<std::string> script;
    std::optional<fs::path> engine;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("tessaline-web %s\n", TL_VERSION);
            return 0;
        }
        if ((a == "--script" || a == "--engine") && i + 1 < argc) {
            if (a == "--script") script = argv[++i];
            else engine = fs::path(argv[++i]);
        } else if (a == "--quiet") {
            quiet = true;
        } else if (!a.empty() && a[0] != '-') {
            places.push_back(a);
        } else {
            std::fprintf(stderr, "tessaline-web: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (places.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::error_code ec;
    if (!fs::is_directory(places[0], ec)) return fail(cat(places[0], " is not a folder"));
    const fs::path root = fs::canonical(places[0], ec);
    const fs::path engineDir = findEngine(engine);
    if (!hasEngine(engineDir))
        return fail(cat("the page's engine files are not in ", engineDir.string(), " (make web builds them)"));
    const std::optional<fs::path> chosen = chooseScript(root, script);
    if (!chosen) return 1;
    fs::create_directories(places[1], ec);
    if (!fs::is_directory(places[1], ec)) return fail(cat("cannot create ", places[1]));
    const fs::path out = fs::canonical(places[1], ec);
    if (out == root) return fail("OUT_DIR must not be the demo's folder");

    const std::optional<std::vector<Packed>> files = collect(root, *chosen, out);
    if (!files) return 1;
    for (const char* f : kEngineFiles) {
        const bool ok = writeFile(out / f, [&](std::ostream& o) {
            return copyInto(o, engineDir / f, fs::file_size(engineDir / f, ec));
        });
        if (!ok) return fail(cat("cannot write ", (out / f).string()));
    }
    if (!writePack(out / "demo.pack", fs::relative(*chosen, root).generic_string(), *files))
        return fail(cat("cannot write ", (out / "demo.pack").string()));
    uintmax_t bytes = 0;
    for (const Packed& f : *files) bytes += f.size;
    if (!quiet)
        std::printf("tessaline-web: wrote %s (%zu files, %ju bytes packed)\n", places[1].c_str(), files->size(), bytes);
    return 0;
}
