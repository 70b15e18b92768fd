// tessaline-demogen OUTDIR: writes the bundled demo's generated files into OUTDIR: its pictures
// (DemoPictures.h lists them), its music module (DemoMusic.h) and, under scenes/, the meshes and
// the one scene text that are computed (DemoMeshes.h). Every run writes the same bytes (the
// pictures by integer arithmetic alone, the rest from double-precision maths rounded to a few
// digits); the demo keeps them checked in beside their sources, and a test compares the two.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "DemoMeshes.h"
#include "DemoMusic.h"
#include "DemoPictures.h"
#include "image/ImageFileWriter.h"

namespace {

bool save(const std::string& path, const std::vector<uint8_t>& bytes, const char* what)
{
    if (!writeImageFile(path.c_str(), bytes)) {
        std::fprintf(stderr, "tessaline-demogen: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s (%s, %zu bytes)\n", path.c_str(), what, bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: tessaline-demogen OUTDIR\n");
        return 2;
    }
    std::string dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "tessaline-demogen: cannot create %s\n", dir.c_str());
        return 1;
    }
    if (dir.back() != '/') dir += '/';

    bool ok = true;
    for (const char* sub : {"captions", "scenes"}) std::filesystem::create_directories(dir + sub, ec);
    for (const DemoPictures::File& f : DemoPictures::makeAll()) ok = save(dir + f.name, f.bytes, f.what.c_str()) && ok;
    ok = save(dir + "music.mod", DemoMusic::makeModule(), "four-channel module, 37 patterns") && ok;
    for (const DemoMeshes::TextFile& f : DemoMeshes::makeAll())
        ok = save(dir + "scenes/" + f.name, std::vector<uint8_t>(f.text.begin(), f.text.end()), "text") && ok;
    return ok ? 0 : 1;
}
