#include "image/ImageFileWriter.h"

#include <cstdio>
#include <unordered_map>

#include "foundation/FileTools.h"

namespace {

bool sizeWritable(int width, int height) { return width > 0 && height > 0 && width <= 0xFFFF && height <= 0xFFFF; }

void putU16(std::vector<uint8_t>& out, unsigned v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}

void putBgr(std::vector<uint8_t>& out, uint32_t pixel)
{
    out.push_back(uint8_t(pixel));
    out.push_back(uint8_t(pixel >> 8));
    out.push_back(uint8_t(pixel >> 16));
}

void putTgaHeader(std::vector<uint8_t>& out, int width, int height, unsigned imageType, bool palette)
{
    out.push_back(0);                   // no identifier
    out.push_back(palette ? 1 : 0);     // colour map type
    out.push_back(uint8_t(imageType));
    putU16(out, 0);                     // first colour map entry
    putU16(out, palette ? 256 : 0);     // colour map length
    out.push_back(palette ? 24 : 0);    // colour map entry size
    putU16(out, 0);                     // x origin
    putU16(out, 0);                     // y origin
    putU16(out, unsigned(width));
    putU16(out, unsigned(height));
    out.push_back(palette ? 8 : 24);
    out.push_back(0);                   // bottom-left origin: rows bottom first
}

// Writes the symbols (pixels or palette indices) of a TGA, rows bottom first, raw or in
// run-length packets. Packets stay inside a row, as most readers expect.
template <typename Symbol, typename Emit>
void putTgaPixels(std::vector<uint8_t>& out, const Symbol* symbols, int width, int height, bool rle, Emit emit)
{
    for (int y = height - 1; y >= 0; --y) {
        const Symbol* row = symbols + size_t(y) * width;
        if (!rle) {
            for (int x = 0; x < width; ++x) emit(out, row[x]);
            continue;
        }
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && run < 128 && row[x + run] == row[x]) ++run;
            if (run >= 2) {
                out.push_back(uint8_t(0x80 | (run - 1)));  // repeated run - 1 + 128 - 127 = run times
                emit(out, row[x]);
                x += run;
                continue;
            }
            // Literals up to the next pair of equal symbols.
            int n = 1;
            while (x + n < width && n < 128 && !(x + n + 1 < width && row[x + n] == row[x + n + 1])) ++n;
            out.push_back(uint8_t(n - 1));
            for (int i = 0; i < n; ++i) emit(out, row[x + i]);
            x += n;
        }
    }
}

}  // namespace

std::vector<uint8_t> encodeTgaIndexed(const uint8_t* indices, int width, int height, const uint32_t* palette,
                                      int nbColours, bool rle)
{
    std::vector<uint8_t> out;
    if (!indices || !palette || nbColours < 0 || nbColours > 256 || !sizeWritable(width, height)) return out;
    putTgaHeader(out, width, height, rle ? 9 : 1, true);
    for (int i = 0; i < 256; ++i) putBgr(out, i < nbColours ? palette[i] : 0);
    putTgaPixels(out, indices, width, height, rle, [](std::vector<uint8_t>& o, uint8_t index) { o.push_back(index); });
    return out;
}

std::vector<uint8_t> encodeTga(const uint32_t* pixels, int width, int height, TgaFormat format)
{
    if (!pixels || !sizeWritable(width, height)) return {};
    const bool rle = format == TgaFormat::Rle24 || format == TgaFormat::PaletteRle8;
    if (format == TgaFormat::Raw24 || format == TgaFormat::Rle24) {
        std::vector<uint8_t> out;
        putTgaHeader(out, width, height, rle ? 10 : 2, false);
        putTgaPixels(out, pixels, width, height, rle, [](std::vector<uint8_t>& o, uint32_t p) { putBgr(o, p); });
        return out;
    }
    // Palette in order of first appearance; the top byte does not count.
    std::vector<uint32_t> palette;
    std::unordered_map<uint32_t, uint8_t> indexOf;
    std::vector<uint8_t> indices(size_t(width) * height);
    for (size_t i = 0; i < indices.size(); ++i) {
        const uint32_t colour = pixels[i] & 0x00FFFFFF;
        auto found = indexOf.find(colour);
        if (found == indexOf.end()) {
            if (palette.size() == 256) return {};
            found = indexOf.emplace(colour, uint8_t(palette.size())).first;
            palette.push_back(colour);
        }
        indices[i] = found->second;
    }
    return encodeTgaIndexed(indices.data(), width, height, palette.data(), int(palette.size()), rle);
}

std::vector<uint8_t> encodeBmp(const uint32_t* pixels, int width, int height)
{
    std::vector<uint8_t> out;
    if (!pixels || !sizeWritable(width, height)) return out;
    const uint32_t rowBytes = uint32_t(width) * 3 + uint32_t(width) % 4;  // rounded up to 4 bytes
    const uint32_t imageBytes = rowBytes * uint32_t(height);
    out.reserve(54 + imageBytes);
    // File header.
    out.push_back('B');
    out.push_back('M');
    putU32(out, 54 + imageBytes);
    putU32(out, 0);
    putU32(out, 54);  // pixel data offset
    // Information header: 24 bits per pixel, uncompressed, rows bottom first.
    putU32(out, 40);
    putU32(out, uint32_t(width));
    putU32(out, uint32_t(height));
    putU16(out, 1);
    putU16(out, 24);
    putU32(out, 0);
    putU32(out, imageBytes);
    putU32(out, 2835);  // 72 dpi
    putU32(out, 2835);
    putU32(out, 0);
    putU32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const uint32_t* row = pixels + size_t(y) * width;
        for (int x = 0; x < width; ++x) putBgr(out, row[x]);
        for (int i = 0; i < width % 4; ++i) out.push_back(0);
    }
    return out;
}

bool writeImageFile(const char* path, const std::vector<uint8_t>& bytes)
{
    if (!path || bytes.empty()) return false;
    FILE* f = FileTools::openFile(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool writeTga(const char* path, const uint32_t* pixels, int width, int height, TgaFormat format)
{
    return writeImageFile(path, encodeTga(pixels, width, height, format));
}

bool writeTga(const char* path, const CImage32& image, TgaFormat format)
{
    return writeTga(path, image.m_pPixels, image.m_width, image.m_height, format);
}

bool writeBmp(const char* path, const uint32_t* pixels, int width, int height)
{
    return writeImageFile(path, encodeBmp(pixels, width, height));
}

bool writeBmp(const char* path, const CImage32& image)
{
    return writeBmp(path, image.m_pPixels, image.m_width, image.m_height);
}
