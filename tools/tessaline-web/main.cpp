// tessaline-web: makes a demo folder a static web site that plays it in a browser: the page
// (index.html, tessaline.js, tessaline.wasm) and demo.pack, one package of the demo's files;
// or one HTML file holding all of them.
//
//   tessaline-web DEMO_DIR OUT_DIR [--script NAME.lscx] [--engine DIR] [--quiet]
//   tessaline-web --single-file DEMO_DIR OUT.html [--script NAME.lscx] [--engine DIR] [--quiet]
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

#include "PageCheck.h"
#include "foundation/FileTools.h"
#include "text/TextBuild.h"

namespace fs = std::filesystem;

namespace {
const char* const kUsage =
    "usage: tessaline-web DEMO_DIR OUT_DIR [--script NAME.lscx] [--engine DIR] [--quiet]\n"
    "       tessaline-web --single-file DEMO_DIR OUT.html [--script NAME.lscx] [--engine DIR] [--quiet]\n"
    "\n"
    "Writes a static web site into OUT_DIR that plays the demo of DEMO_DIR in a browser:\n"
    "index.html, the engine (tessaline.js, tessaline.wasm) and demo.pack, every file of the\n"
    "folder but hidden ones, text sources and other scripts. Serve it with any web server\n"
    "(python3 -m http.server -d OUT_DIR). With --single-file, one HTML file holds them all: it\n"
    "plays opened from disk too. The demo is loaded here first: what its load reports, and every\n"
    "video or music file whose codec the page cannot decode, is told as a warning.\n"
    "The page's switches: ?autostart=1, ?start=MS,\n"
    "?times=T1,T2&image=work|screen (renders those times as tessaline-render does), ?bench=1.\n"
    "  --single-file  write OUT.html, one self-contained page\n"
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
    // The temporary name the project's writers share, cleared first: a link planted there is
    // removed, never written through.
    const fs::path temporary = FileTools::temporaryPathBeside(path.string());
    if (!FileTools::clearForWriting(temporary.string())) return false;
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

template <class Out>
bool copyInto(Out& out, const fs::path& file, uintmax_t size)
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
template <class Out>
bool writePack(Out& out, const std::string& script, const std::vector<Packed>& files)
{
    std::string index = cat("{\"script\":", jsonString(script), ",\"files\":[");
    for (size_t i = 0; i < files.size(); ++i) {
        if (i) index += ',';
        index += cat("{\"path\":", jsonString(files[i].path), ",\"size\":", std::to_string(files[i].size), "}");
    }
    index += "]}";
    const uint32_t n = uint32_t(index.size());
    const unsigned char length[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    out.write("TLPACK1\n", 8);
    out.write(reinterpret_cast<const char*>(length), 4);
    out.write(index.data(), std::streamsize(index.size()));
    for (const Packed& f : files)
        if (!copyInto(out, f.file, f.size)) return false;
    return bool(out);
}

// Base64 of what is written, onto `out` in lines of 76 characters.
class Base64Out {
public:
    explicit Base64Out(std::ostream& out) : m_out(out) {}
    Base64Out& write(const char* data, std::streamsize n)
    {
        for (std::streamsize i = 0; i < n; ++i) {
            m_group[m_held++] = static_cast<unsigned char>(data[i]);
            if (m_held == 3) put(3);
        }
        return *this;
    }
    // Writes the last group, padded.
    void finish()
    {
        if (m_held) put(m_held);
    }
    explicit operator bool() const { return bool(m_out); }

private:
    void put(int held)
    {
        static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const unsigned v = unsigned(m_group[0]) << 16 | (held > 1 ? unsigned(m_group[1]) << 8 : 0u) |
                           (held > 2 ? unsigned(m_group[2]) : 0u);
        const char quad[4] = {kDigits[v >> 18 & 63], kDigits[v >> 12 & 63], held > 1 ? kDigits[v >> 6 & 63] : '=',
                              held > 2 ? kDigits[v & 63] : '='};
        m_out.write(quad, 4);
        if ((m_column += 4) >= 76) {
            m_out.put('\n');
            m_column = 0;
        }
        m_held = 0;
        m_group[1] = m_group[2] = 0;
    }
    std::ostream& m_out;
    unsigned char m_group[3] = {0, 0, 0};
    int m_held = 0;
    int m_column = 0;
};

// Where the page's parts go in a single-file page: the comment that holds this text, in the
// page's index.html.
constexpr const char* kPartsMark = "<!-- tessaline-web puts a single-file page's parts here";

// One HTML file: the page with the engine, its code and the demo's package in data elements
// (base64), which the page reads in place of the files beside it.
bool writeSingleFile(const fs::path& path, const fs::path& engineDir, const std::string& script,
                     const std::vector<Packed>& files)
{
    std::error_code ec;
    std::vector<unsigned char> page;
    if (!FileTools::readFile((engineDir / "index.html").string().c_str(), page, size_t(1) << 20)) return false;
    const std::string html(page.begin(), page.end());
    const size_t mark = html.find(kPartsMark);
    const size_t markEnd = mark == std::string::npos ? mark : html.find("-->", mark);
    if (markEnd == std::string::npos) {
        fail(cat((engineDir / "index.html").string(), " has no place for a single file's parts"));
        return false;
    }
    return writeFile(path, [&](std::ostream& out) {
        out.write(html.data(), std::streamsize(mark));
        const auto part = [&](const char* id, auto writeBytes) {
            out << "<script type=\"application/octet-stream\" id=\"" << id << "\">\n";
            Base64Out b64(out);
            if (!writeBytes(b64)) return false;
            b64.finish();
            out << "\n</script>\n";
            return bool(out);
        };
        const auto engineFile = [&](const char* name) {
            return [&, name](Base64Out& b64) {
                return copyInto(b64, engineDir / name, fs::file_size(engineDir / name, ec));
            };
        };
        if (!part("tl-wasm", engineFile("tessaline.wasm")) ||
            !part("tl-pack", [&](Base64Out& b64) { return writePack(b64, script, files); }) ||
            !part("tl-js", engineFile("tessaline.js")))
            return false;
        const size_t after = markEnd + 3;
        out.write(html.data() + after, std::streamsize(html.size() - after));
        return bool(out);
    });
}

// The FFmpeg decoders the page holds (decoders.txt beside its engine); none when it is missing.
std::vector<std::string> pageDecoders(const fs::path& engineDir)
{
    std::vector<std::string> names;
    std::ifstream in(engineDir / "decoders.txt");
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') names.push_back(line);
    return names;
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
    bool quiet = false, singleFile = false;
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
        } else if (a == "--single-file") {
            singleFile = true;
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
    fs::path out;
    if (singleFile) {
        out = fs::weakly_canonical(fs::absolute(places[1], ec), ec);
        if (ec || !fs::is_directory(out.parent_path(), ec) || fs::is_directory(out, ec))
            return fail(cat("cannot write ", places[1]));
    } else {
        fs::create_directories(places[1], ec);
        if (!fs::is_directory(places[1], ec)) return fail(cat("cannot create ", places[1]));
        out = fs::canonical(places[1], ec);
        if (out == root) return fail("OUT_DIR must not be the demo's folder");
    }

    const std::optional<std::vector<Packed>> files = collect(root, *chosen, out);
    if (!files) return 1;
    // What the page will meet: the load's reports, and the files its FFmpeg cannot decode.
    const std::vector<std::string> decoders = pageDecoders(engineDir);
    const PageCheck check = checkForPage(root, *chosen, decoders);
    const std::string scriptName = fs::relative(*chosen, root).generic_string();
    for (const std::string& r : check.reports)
        std::fprintf(stderr, "tessaline-web: warning: loading %s reports \"%s\"; the page reports it too\n",
                     scriptName.c_str(), r.c_str());
    for (const std::string& u : check.undecodable) {
        const size_t colon = u.rfind(": ");
        std::fprintf(stderr, "tessaline-web: warning: %s: the page cannot decode its codec %s (not among its decoders)\n",
                     u.substr(0, colon).c_str(), u.substr(colon + 2).c_str());
    }
    if (decoders.empty())
        std::fprintf(stderr, "tessaline-web: warning: %s lists no decoders: the codecs of video and music were not checked\n",
                     (engineDir / "decoders.txt").string().c_str());

    if (singleFile) {
        if (!writeSingleFile(out, engineDir, scriptName, *files)) return fail(cat("cannot write ", places[1]));
    } else {
        for (const char* f : kEngineFiles) {
            const bool ok = writeFile(out / f, [&](std::ostream& o) {
                return copyInto(o, engineDir / f, fs::file_size(engineDir / f, ec));
            });
            if (!ok) return fail(cat("cannot write ", (out / f).string()));
        }
        const bool ok = writeFile(out / "demo.pack", [&](std::ostream& o) { return writePack(o, scriptName, *files); });
        if (!ok) return fail(cat("cannot write ", (out / "demo.pack").string()));
    }
    uintmax_t bytes = 0;
    for (const Packed& f : *files) bytes += f.size;
    if (!quiet)
        std::printf("tessaline-web: wrote %s (%zu files, %ju bytes packed%s)\n", places[1].c_str(), files->size(), bytes,
                    singleFile ? cat(", ", std::to_string(fs::file_size(out, ec)), " bytes in all").c_str() : "");
    return 0;
}
