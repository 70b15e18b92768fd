// libFuzzer target for the image file loaders: each input is decoded in memory as BMP, TGA, JPG
// and PNG, and every 8th input also goes through CImage32FromData::load from a temporary file
// (name lookup, file reading, extension choice), the extension rotating through the four.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/Report.h"
#include "image/CImage32FromData.h"
#include "image/ImageFileLoader.h"

namespace {

const std::string& scratchDirectory()
{
    static const std::string dir = [] {
        std::string pattern = "/tmp/tessaline-fuzz-image-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern + "/";
    }();
    return dir;
}

// Reads every pixel so that a wrong size shows up under the sanitizers.
void touch(const uint32_t* pixels, int64_t count)
{
    volatile uint32_t sum = 0;
    for (int64_t i = 0; i < count; ++i) sum = sum + pixels[i];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool initialised = [] {
        setReportEcho(false);
        return true;
    }();
    (void)initialised;

    CImage32FromData reporter;
    for (ImageFileType type : {ImageFileType::Bmp, ImageFileType::Tga, ImageFileType::Jpg, ImageFileType::Png}) {
        DecodedImage out;
        const bool ok = decodeImageData(type, data, size, "fuzz", reporter, out);
        if (ok && !out.allocation.pixels) std::abort();
        if (out.allocation.pixels) touch(out.allocation.pixels, int64_t(out.width) * out.height);
    }

    static unsigned counter = 0;
    if (counter++ % 8 == 0) {
        static const char* const kNames[] = {"in.tga", "in.bmp", "in.jpg", "in.png"};
        const std::string path = scratchDirectory() + kNames[(counter / 8) % 4];
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            const bool written = std::fwrite(data, 1, size, f) == size;
            std::fclose(f);
            if (written) {
                CImage32FromData image(path.c_str());
                touch(image.m_pPixels, image.pixelCount());
            }
        }
    }
    clearFatalError();
    return 0;
}
