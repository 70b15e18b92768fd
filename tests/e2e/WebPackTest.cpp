// tessaline-web packs a demo folder for the page: which files go in, the package's layout as the
// page reads it, and the refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "RenderRunner.h"

namespace {

RenderResult runWeb(const ScratchDir& dir, const std::string& args)
{
    std::string command(1, '\'');
    command.append(TL_BINARY_DIR).append("/tools/tessaline-web' ").append(args);
    return runCommand(dir, command);
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The package read as the page reads it: "TLPACK1\n", a little-endian length, the JSON index,
// then the files in its order. Returns the script and each path with its bytes.
std::map<std::string, std::string> unpack(const std::string& pack, std::string& script)
{
    std::map<std::string, std::string> files;
    if (pack.size() < 12 || pack.compare(0, 8, "TLPACK1\n") != 0) return files;
    const auto b = [&](size_t i) { return uint32_t(uint8_t(pack[i])); };
    const size_t n = b(8) | b(9) << 8 | b(10) << 16 | b(11) << 24;
    const std::string index = pack.substr(12, n);
    size_t data = 12 + n;
    const std::string key = "\"script\":\"";
    script = index.substr(index.find(key) + key.size());
    script = script.substr(0, script.find('"'));
    for (size_t at = index.find("{\"path\":\""); at != std::string::npos; at = index.find("{\"path\":\"", at + 1)) {
        const size_t start = at + 9;
        const std::string path = index.substr(start, index.find('"', start) - start);
        const size_t size = std::stoul(index.substr(index.find("\"size\":", start) + 7));
        files[path] = pack.substr(data, size);
        data += size;
    }
    EXPECT_EQ(data, pack.size());
    return files;
}

TEST(WebPack, PacksTheDemosFilesAndLeavesOutWhatThePageNeverReads)
{
    ScratchDir dir;
    dir.write("engine/index.html", "<html>");
    dir.write("engine/tessaline.js", "js");
    dir.write("engine/tessaline.wasm", std::string("\0asm", 4));
    dir.write("demo/party.lscx", "[script]\n");
    dir.write("demo/other.lscx", "[other]\n");
    dir.write("demo/data/lcx/a.lcx", std::string("LCX\0\x01\x02", 6));
    dir.write("demo/pics/logo.tga", "tga bytes");
    dir.write("demo/cube.l3x.txt", "# a scene text\n");
    dir.write("demo/.hidden", "h");
    dir.write("demo/.git/config", "g");
    std::filesystem::create_symlink("/etc/hostname", dir.path() + "demo/outside.tga");

    // Two scripts: the tool asks which.
    RenderResult r = runWeb(dir, "--engine engine demo site");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("several scripts"), std::string::npos) << r.err;

    r = runWeb(dir, "--engine engine --script party.lscx --quiet demo site");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("outside.tga leads out of the demo's folder"), std::string::npos) << r.err;
    EXPECT_EQ(readAll(dir.path() + "site/tessaline.wasm"), std::string("\0asm", 4));
    std::string script;
    const auto files = unpack(readAll(dir.path() + "site/demo.pack"), script);
    EXPECT_EQ(script, "party.lscx");
    const std::map<std::string, std::string> expected = {{"party.lscx", "[script]\n"},
                                                         {"data/lcx/a.lcx", std::string("LCX\0\x01\x02", 6)},
                                                         {"pics/logo.tga", "tga bytes"}};
    EXPECT_EQ(files, expected);

    // No engine files: a clear refusal, nothing written.
    r = runWeb(dir, "--engine nowhere --script party.lscx demo site2");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("make web builds them"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "site2/demo.pack"));
}

// Base64 read back by the test's own table, white space skipped.
std::string fromBase64(const std::string& text)
{
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int held = 0;
    for (const char c : text) {
        const size_t v = digits.find(c);
        if (v == std::string::npos) continue;  // line ends, padding
        bits = bits << 6 | unsigned(v);
        if ((held += 6) >= 8) {
            held -= 8;
            out += char(bits >> held & 0xFF);
        }
    }
    return out;
}

// The text of the data element `id` of a single-file page.
std::string part(const std::string& page, const std::string& id)
{
    const std::string open = "<script type=\"application/octet-stream\" id=\"" + id + "\">";
    const size_t at = page.find(open);
    if (at == std::string::npos) return "missing";
    const size_t start = at + open.size();
    return page.substr(start, page.find("</script>", start) - start);
}

TEST(WebPack, OneFileHoldsThePageTheEngineAndThePackage)
{
    ScratchDir dir;
    const std::string before = "<html><script>page()</script>\n", after = "\n<script>read()</script></html>\n";
    dir.write("engine/index.html", before + "<!-- tessaline-web puts a single-file page's parts here -->" + after);
    dir.write("engine/tessaline.js", "js");                         // 2 bytes: one padding digit
    dir.write("engine/tessaline.wasm", std::string("\0asm\x01", 5)); // 5 bytes: one
    dir.write("demo/party.lscx", "[script]\n");
    dir.write("demo/pics/logo.tga", std::string(1000, '\xA5'));   // a run longer than one line
    RenderResult r = runWeb(dir, "--engine engine --quiet demo site");
    ASSERT_EQ(r.status, 0) << r.err;
    r = runWeb(dir, "--engine engine --quiet --single-file demo demo.html");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = readAll(dir.path() + "demo.html");
    EXPECT_EQ(page.compare(0, before.size(), before), 0);
    EXPECT_EQ(page.substr(page.size() - after.size()), after);
    EXPECT_EQ(fromBase64(part(page, "tl-wasm")), std::string("\0asm\x01", 5));
    EXPECT_EQ(fromBase64(part(page, "tl-js")), "js");
    EXPECT_EQ(fromBase64(part(page, "tl-pack")), readAll(dir.path() + "site/demo.pack"));
    for (const char* id : {"tl-wasm", "tl-js", "tl-pack"}) {
        const std::string text = part(page, id);
        EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\n"),
                  std::string::npos) << id;
    }

    // An engine page without the place for the parts is refused, and nothing is written.
    dir.write("engine/index.html", "<html></html>");
    r = runWeb(dir, "--engine engine --quiet --single-file demo other.html");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no place for a single file's parts"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "other.html"));
}

} // namespace
