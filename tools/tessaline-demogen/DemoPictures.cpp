#include "DemoPictures.h"

#include <algorithm>
#include <cstdio>

#include "image/ImageFileWriter.h"
#include "player/BitmapFont.h"

namespace DemoPictures {
namespace {

// A sine-like wave of period 256 in -128..128 built from two parabolas (exact integers).
int wave(int phase)
{
    const int x = phase & 255;
    const int half = x & 127;
    const int y = half * (128 - half) / 32;  // 0 .. 128
    return x < 128 ? y : -y;
}

int isqrt(int v)
{
    int r = 0;
    while ((r + 1) * (r + 1) <= v) ++r;
    return r;
}

int clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

uint32_t rgb(int r, int g, int b) { return uint32_t(clamp255(r)) << 16 | uint32_t(clamp255(g)) << 8 | uint32_t(clamp255(b)); }

// Linear blend of two colours, t in 0..256.
uint32_t mix(uint32_t a, uint32_t b, int t)
{
    auto channel = [&](int shift) {
        const int ca = int(a >> shift & 0xFF), cb = int(b >> shift & 0xFF);
        return ca + (cb - ca) * t / 256;
    };
    return rgb(channel(16), channel(8), channel(0));
}

std::vector<uint32_t> makeBackground(int w, int h)
{
    std::vector<uint32_t> p(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int dx = x - 380, dy = y - 90;
            const int v = wave(x * 3 / 2 + wave(y * 2) / 2) + wave(y * 3 + x / 2) + wave(isqrt(dx * dx + dy * dy) * 4) +
                          wave(x + y);  // -512 .. 512
            const int t = v / 4 + 128;
            // Night-blue at the top to violet at the bottom, lit by the plasma.
            const uint32_t base = mix(rgb(10, 14, 48), rgb(70, 20, 90), y * 256 / h);
            const uint32_t glow = rgb(128 + wave(t), 128 + wave(t + 85), 160 + wave(t + 170) / 2);
            p[size_t(y) * w + x] = mix(base, glow, 40 + t / 3);
        }
    }
    return p;
}

std::vector<uint32_t> makeTexture(int size)
{
    std::vector<uint32_t> p(size_t(size) * size);
    const uint32_t light = rgb(236, 178, 92), dark = rgb(92, 52, 34);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const uint32_t tone = ((x / 32 + y / 32) & 1) ? dark : light;
            const int dx = x - size / 2, dy = y - size / 2;
            const int ring = wave(isqrt(dx * dx + dy * dy) * 6);
            // Brightness 96 .. 224 out of 256: the rings shade both checker tones.
            p[size_t(y) * size + x] = mix(0, tone, 160 + ring / 2);
        }
    }
    return p;
}

// Palette: 0 black, 1..64 the orb from deep blue through cyan to white, 65..96 the halo.
void makeSprite(int size, std::vector<uint8_t>& indices, std::vector<uint32_t>& palette)
{
    palette.assign(97, 0);
    for (int i = 1; i <= 64; ++i)
        palette[i] = i <= 40 ? mix(rgb(8, 24, 96), rgb(40, 200, 230), (i - 1) * 256 / 39)
                             : mix(rgb(40, 200, 230), rgb(255, 255, 255), (i - 40) * 256 / 24);
    for (int i = 65; i <= 96; ++i) palette[i] = mix(0, rgb(30, 90, 160), (i - 64) * 256 / 32);

    indices.assign(size_t(size) * size, 0);
    const int radius = 44, halo = 62;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int dx = x - size / 2, dy = y - size / 2;
            const int d = isqrt(dx * dx + dy * dy);
            uint8_t index = 0;
            if (d < radius) {
                // Light from the upper left: brighter nearer the highlight point.
                const int lx = dx + 16, ly = dy + 16;
                const int l = isqrt(lx * lx + ly * ly);
                index = uint8_t(1 + 63 - (l * 63 / (radius + 16) > 63 ? 63 : l * 63 / (radius + 16)));
            } else if (d < halo) {
                // Halo fading out in 8 steps (indices 65 .. 93), so the rows compress into long runs.
                index = uint8_t(65 + (halo - d) * 7 / (halo - radius) * 4);
            }
            indices[size_t(y) * size + x] = index;
        }
    }
}

// Glowing grid lines every 64 texels on night blue: lines of width 2, a glow falling off over 10.
std::vector<uint32_t> makeNeon(int size)
{
    std::vector<uint32_t> p(size_t(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int dx = std::min((x + 1) % 64, 64 - (x + 1) % 64), dy = std::min((y + 1) % 64, 64 - (y + 1) % 64);
            const int d = std::min(dx, dy);
            const int glow = d <= 1 ? 256 : d >= 16 ? 0 : (16 - d) * (16 - d) * 200 / 256;
            const uint32_t base = mix(rgb(6, 8, 28), rgb(14, 10, 40), (x + y) / 2);
            const uint32_t line = dx <= dy ? rgb(255, 70, 200) : rgb(60, 220, 255);
            p[size_t(y) * size + x] = mix(base, line, glow);
        }
    return p;
}

// A polished ball's view of the world, indexed by the normal's x and y: the drawing maps a
// camera-space normal (nx, ny) to ((nx + 1) / 2, (ny + 1) / 2), the top row being ny = 1, and
// the engine's normals point into the object (as its faces wind), so a face turned up reads the
// bottom row: the sky is drawn at the bottom. The reflected ray rises with 2 nz ny, so the horizon
// runs across the middle and bends towards the rim.
std::vector<uint32_t> makeChrome(int size)
{
    std::vector<uint32_t> p(size_t(size) * size);
    const int half = size / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int nx = (2 * x + 1 - size) * 256 / size, ny = (2 * y + 1 - size) * 256 / size;  // -256 .. 256, up at the bottom
            int r2 = nx * nx + ny * ny;
            if (r2 > 65536) {  // outside the ball: its rim
                const int r = isqrt(r2);
                nx = nx * 256 / r;
                ny = ny * 256 / r;
                r2 = 65536;
            }
            const int nz = isqrt(65536 - r2);
            const int up = 2 * nz * ny / 256 + (nz < 40 ? ny / 4 : 0);  // -256 .. 256
            uint32_t c;
            if (up >= 0) {
                // Sky: white at the horizon to deep blue overhead, a band of cloud.
                c = mix(rgb(250, 240, 230), rgb(30, 70, 170), std::min(256, up * 2));
                const int cloud = wave(nx * 3 + wave(ny * 5) / 4) + 40;
                if (up > 30 && up < 120 && cloud > 0) c = mix(c, rgb(255, 255, 255), cloud * (120 - up) / 256);
            } else {
                // Ground: a bright sunset line at the horizon, then warm browns, then dark.
                const int down = -up;
                c = down < 12 ? mix(rgb(255, 190, 90), rgb(210, 100, 50), down * 256 / 12)
                              : mix(rgb(210, 100, 50), rgb(60, 24, 70), std::min(256, (down - 12) * 2));
            }
            // The sun, high on the left.
            const int sx = x - half / 2, sy = y - half * 3 / 2 + 8;
            const int sd = sx * sx + sy * sy;
            if (sd < 400) c = mix(c, rgb(255, 255, 240), (400 - sd) * 256 / 400);
            p[size_t(y) * size + x] = c;
        }
    return p;
}

// Text in the built-in font, enlarged `scale` times with rounded edges: each output pixel takes
// the glyph ink bilinearly (in 1/256) and a soft threshold. White on black, 0..255 grey levels.
std::vector<uint8_t> bigText(const char* text, int scale, bool bold, int& width, int& height)
{
    const int w = bitmapTextWidth(text), h = bitmapTextHeight();
    std::vector<uint32_t> small(size_t(w) * h);
    drawBitmapText(small.data(), w, h, w, 0, 0, text);
    width = w * scale;
    height = h * scale;
    std::vector<uint8_t> out(size_t(width) * height);
    // Bold: a pixel is ink when it or its left neighbour is.
    auto at = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && small[size_t(y) * w + x] != 0; };
    auto ink = [&](int x, int y) { return at(x, y) || (bold && at(x - 1, y)) ? 256 : 0; };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Sample position in 1/256 of a glyph pixel, centred.
            const int sx = (2 * x + 1) * 128 / scale - 128, sy = (2 * y + 1) * 128 / scale - 128;
            const int x0 = sx >> 8, y0 = sy >> 8, fx = sx & 255, fy = sy & 255;
            const int top = ink(x0, y0) * (256 - fx) + ink(x0 + 1, y0) * fx;
            const int bottom = ink(x0, y0 + 1) * (256 - fx) + ink(x0 + 1, y0 + 1) * fx;
            const int v = (top * (256 - fy) + bottom * fy) >> 16;  // 0 .. 256
            // Soft threshold round the middle: corners round off, edges stay a pixel soft.
            out[size_t(y) * width + x] = uint8_t(clamp255((v - 96) * 255 / 64));
        }
    return out;
}

// Grey levels onto a canvas (0..255 each) at (x, y), keeping the brighter.
void stamp(std::vector<uint8_t>& canvas, int cw, int ch, const std::vector<uint8_t>& grey, int w, int h, int x, int y)
{
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int px = x + i, py = y + j;
            if (px < 0 || py < 0 || px >= cw || py >= ch) continue;
            uint8_t& d = canvas[size_t(py) * cw + px];
            d = std::max(d, grey[size_t(j) * w + i]);
        }
}

std::vector<uint32_t> greyPalette(uint32_t ink)
{
    std::vector<uint32_t> palette(256);
    for (int i = 0; i < 256; ++i) palette[size_t(i)] = mix(0, ink, i * 256 / 255);
    return palette;
}

// The title for the alpha map: letters 9 times the font, a line below at 3 times.
std::vector<uint8_t> makeLogo()
{
    const int cw = 512, ch = 256;
    std::vector<uint8_t> canvas(size_t(cw) * ch);
    int w = 0, h = 0;
    const std::vector<uint8_t> title = bigText("TESSALINE", 7, true, w, h);
    stamp(canvas, cw, ch, title, w, h, (cw - w) / 2, 62);
    const std::vector<uint8_t> line = bigText("A DEMO MADE OF TEXT", 2, true, w, h);
    stamp(canvas, cw, ch, line, w, h, (cw - w) / 2, 62 + 77 + 10);
    return encodeTgaIndexed(canvas.data(), cw, ch, greyPalette(0xFFFFFF).data(), 256, true);
}

// The captions: one line each, twice the font size (14 pixels a character, so at most 32 fit
// the 512-pixel picture with a margin), pale so that they read over any picture.
struct Caption {
    const char* file;
    const char* text;
};
constexpr Caption kCaptions[] = {
    {"captions/title.tga", "ALPHA MAP, RAYS, ROW NOISE"},
    {"captions/sprites.tga", "2D SPRITES ROUND A VIDEO"},
    {"captions/lights.tga", "TEXTURES, OMNI AND SPOT LIGHTS"},
    {"captions/chrome.tga", "ENV MAP, DIRECTIONAL LIGHT"},
    {"captions/glass.tga", "DEPTH-SORTED GLASS, OUTLINES"},
    {"captions/video.tga", "VIDEO TEXTURE, COLOUR EFFECTS"},
    {"captions/beat.tga", "3D CONTROLLERS ON THE BEAT"},
    {"captions/bend.tga", "BEND, TWIST, TAPER, SKEW"},
    {"captions/deform.tga", "STRETCH SPHERIFY WAVE NOISE MELT"},
    {"captions/ripple.tga", "WORLD SPACE RIPPLE"},
    {"captions/skin.tga", "SKIN: BONES SWING TENTACLES"},
    {"captions/morph.tga", "MORPH BETWEEN THREE SHAPES"},
    {"captions/cameras.tga", "CAMERAS CUT AND FLY"},
    {"captions/mixes.tga", "ADD, SUBTRACT, AVERAGE, BLEND"},
    {"captions/credits1.tga", "EVERY FRAME IS TEXT:"},
    {"captions/credits2.tga", "A SCRIPT, SCENES, CONTROLLERS"},
    {"captions/credits3.tga", "AND A FEW GENERATED PICTURES"},
    {"captions/credits4.tga", "THANKS FOR WATCHING"},
};

std::vector<uint8_t> makeCaption(const char* text)
{
    int w = 0, h = 0;
    const std::vector<uint8_t> grey = bigText(text, 2, true, w, h);
    return encodeTgaIndexed(grey.data(), w, h, greyPalette(rgb(225, 240, 255)).data(), 256, true);
}

} // namespace

std::vector<File> makeAll()
{
    std::vector<File> files;
    const std::vector<uint32_t> background = makeBackground(512, 256);
    files.push_back({"background.tga", encodeTga(background.data(), 512, 256, TgaFormat::Raw24), "512x256, 24-bit TGA"});
    const std::vector<uint32_t> texture = makeTexture(256);
    files.push_back({"texture.bmp", encodeBmp(texture.data(), 256, 256), "256x256, 24-bit BMP"});
    std::vector<uint8_t> spriteIndices;
    std::vector<uint32_t> spritePalette;
    makeSprite(128, spriteIndices, spritePalette);
    files.push_back({"sprite.tga",
                     encodeTgaIndexed(spriteIndices.data(), 128, 128, spritePalette.data(), int(spritePalette.size()), true),
                     "128x128, run-length palette TGA"});
    files.push_back({"logo.tga", makeLogo(), "512x256, run-length palette TGA"});
    const std::vector<uint32_t> chrome = makeChrome(256);
    files.push_back({"chrome.bmp", encodeBmp(chrome.data(), 256, 256), "256x256, 24-bit BMP"});
    const std::vector<uint32_t> neon = makeNeon(256);
    files.push_back({"neon.bmp", encodeBmp(neon.data(), 256, 256), "256x256, 24-bit BMP"});
    for (const Caption& c : kCaptions) files.push_back({c.file, makeCaption(c.text), "caption, run-length palette TGA"});
    return files;
}

} // namespace DemoPictures
