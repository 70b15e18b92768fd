// libFuzzer target for the script reader: the input is a script followed by up to four data files,
// each introduced by a line "@@ name" (a relative path). They are written to a scratch directory,
// which becomes the current directory (the command line's paths kept as meant); the script is
// loaded through the engine, started, and two frames are rendered on the virtual clock. Inputs
// that ask for huge layers are skipped: the engine allows buffers up to its pixel cap, and
// thousands of them would only measure memory.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzScratchDir.h"
#include "foundation/Report.h"
#include "image/CImage32.h"
#include "backends/headless/HeadlessBackend.h"
#include "script/ScriptEngine.h"

namespace {

constexpr size_t kMaxScriptBytes = 8192;
constexpr size_t kMaxFiles = 4;
constexpr long long kMaxPixels = 1 << 18;  // largest width x height a line may pair

std::shared_ptr<VirtualClock> g_clock;
std::filesystem::path g_dir;

void setUp(int* argc, char*** argv)
{
    g_clock = std::make_shared<VirtualClock>();
    Platform p;
    installHeadlessBackend(p, g_clock);
    installPlatform(std::move(p));
    setReportEcho(false);
    g_dir = enterScratchDir(argc, argv, "tessaline-fuzz-script");
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(g_dir, ec);
    });
}

// A relative path of plain names (letters, digits, '.', '_', '-'), no "." or ".." parts.
bool safePath(const std::string& name)
{
    if (name.empty() || name.size() > 64 || name.front() == '/') return false;
    std::string part;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/') {
            if (part.empty() || part == "." || part == "..") return false;
            part.clear();
            continue;
        }
        const char c = name[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') return false;
        part += c;
    }
    return true;
}

// Whether an entry line (read as the engine reads lines: up to 511 characters) pairs two numbers
// in the places of a layer dimension's width and height whose product passes the budget.
bool asksForHugeLayers(const std::string& script)
{
    size_t from = 0;
    while (from < script.size()) {
        size_t end = script.find('\n', from);
        end = std::min(end == std::string::npos ? script.size() : end + 1, from + 511);
        const std::string line = script.substr(from, end - from);
        from = end;
        char key[512], name[512];
        long long width = 0, height = 0;
        // Magnitudes limited to 2^31 first, so that the product cannot overflow.
        auto magnitude = [](long long v) { return v <= -(1LL << 31) || v >= (1LL << 31) ? 1LL << 31 : v < 0 ? -v : v; };
        if (std::sscanf(line.c_str(), "%511s %511s %lld %lld", key, name, &width, &height) == 4 &&
            magnitude(width) * magnitude(height) > kMaxPixels)
            return true;
    }
    return false;
}

void writeFile(const std::filesystem::path& path, const std::string& content)
{
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (!content.empty()) std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Split into the script and the named files.
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = input.find("\n@@ ", from);
        parts.push_back(input.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos || parts.size() > kMaxFiles) break;
        from = at + 4;
    }
    const std::string& script = parts[0];
    if (script.size() > kMaxScriptBytes || asksForHugeLayers(script)) return 0;

    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(g_dir, ec)) std::filesystem::remove_all(entry, ec);
    writeFile(g_dir / "fuzz.lscx", script);
    for (size_t i = 1; i < parts.size(); ++i) {
        const size_t end = parts[i].find('\n');
        const std::string name = parts[i].substr(0, end);
        if (!safePath(name) || name == "fuzz.lscx") continue;
        writeFile(g_dir / name, end == std::string::npos ? std::string() : parts[i].substr(end + 1));
    }

    clearFatalError();
    {
        ScriptEngine engine;
        engine.load("fuzz.lscx");
        g_clock->set(0);
        engine.start();
        CImage32Buffered frame(512, 256);
        for (uint32_t t : {0u, 1500u}) {
            g_clock->set(t);
            engine.render(&frame);
            (void)engine.getTime();
        }
    }
    clearFatalError();
    return 0;
}
