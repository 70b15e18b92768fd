// The 2D scene text compiler: the line-based text of tessaline-l2d to a .l2d file.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "fx2d/S2DFormat.h"

#include "text/L2dText.h"
#include "text/TextFiles.h"

namespace {
// The scene loader reads strings of up to kS2DMaxString bytes with their NUL, and files of up to
// 16 MiB (change together with S2DScene.cpp).
constexpr size_t kMaxName = kS2DMaxString - 1;
constexpr size_t kMaxFileBytes = size_t(16) << 20;

struct Input {
    std::string message;
    int line = 0;
};

// Little-endian stream writer.
struct Bytes {
    std::vector<uint8_t> v;
    void u8(int x) { v.push_back(uint8_t(x)); }
    void u16(int x)
    {
        v.push_back(uint8_t(x));
        v.push_back(uint8_t(x >> 8));
    }
    void f32(float f)
    {
        uint32_t x;
        std::memcpy(&x, &f, 4);
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
    }
    void str(const std::string& s)
    {
        v.insert(v.end(), s.begin(), s.end());
        v.push_back(0);
    }
    void append(const Bytes& b) { v.insert(v.end(), b.v.begin(), b.v.end()); }
};

// A track as written: kind byte, key count, keys (built when its line is read).
struct TrackBytes {
    int kind = 0;
    int count = 0;
    Bytes keys;
    void write(Bytes& out, int emptyKind) const
    {
        out.u8(count ? kind : emptyKind);
        out.u16(count);
        out.append(keys);
    }
};

struct Camera {
    std::string name, target;
    TrackBytes fov, roll, position, targetPosition;
};
struct Sprite {
    std::string name, image, alpha;
    int blend = 0, filter = 0;
    TrackBytes opacity;
};
struct Node {
    std::string name, parent;
    int sprite = 0;
    TrackBytes position, scale, rotation;
};

struct Scene {
    int frames = 0;
    std::vector<Camera> cameras;
    std::vector<Sprite> sprites;
    std::vector<Node> nodes;
};

// Bytes each part takes in the file (as encode() writes them).
size_t bytesOf(const TrackBytes& t) { return 3 + t.keys.v.size(); }
size_t bytesOf(const std::string& s) { return s.size() + 1; }
size_t bytesOf(const Camera& c)
{
    return bytesOf(c.fov) + bytesOf(c.roll) + bytesOf(c.name) + bytesOf(c.target) + bytesOf(c.position) +
           bytesOf(c.targetPosition);
}
size_t bytesOf(const Sprite& s) { return bytesOf(s.name) + bytesOf(s.image) + bytesOf(s.alpha) + 3 + bytesOf(s.opacity); }
size_t bytesOf(const Node& n)
{
    return 2 + bytesOf(n.name) + bytesOf(n.parent) + bytesOf(n.position) + bytesOf(n.scale) + bytesOf(n.rotation);
}
// The frame count, the three item counts and the transform tag.
constexpr size_t kFixedBytes = 2 + 3 * 2 + sizeof kS2DTransformTag;

// A name the loader reads back whole: at most kMaxName bytes, no zero byte.
void checkName(const std::string& name, const char* what, Input& error)
{
    if (!error.message.empty()) return;
    if (name.size() > kMaxName)
        error.message = std::string(what) + " longer than " + std::to_string(kMaxName) + " bytes";
    else if (name.find('\0') != std::string::npos)
        error.message = std::string(what) + " holds a zero byte";
}

bool integerIn(const std::string& word, int low, int high, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end || v < low || v > high) return false;
    out = int(v);
    return true;
}

bool number(const std::string& word, float& out)
{
    char* end = nullptr;
    out = std::strtof(word.c_str(), &end);
    return !word.empty() && !*end;
}

// Reads "KIND key..." into a track: the kind word picks the code and the values per key.
void readTrack(std::istringstream& in, TrackBytes& track, const char* kinds, Input& error)
{
    std::string kind;
    in >> kind;
    struct KindInfo {
        const char* name;
        int code;
        int values;  // after the time
    };
    static const KindInfo kFloat[] = {{"linear", 1, 1}, {"hermite", 2, 1}, {"tcb", 3, 6}, {"bezier", 4, 7}};
    static const KindInfo kPoint[] = {{"linear", 1, 3}, {"hermite", 2, 3}};
    static const KindInfo kRotation[] = {{"linear", 1, 4}};
    const KindInfo* table = kFloat;
    int n = 4;
    if (std::strcmp(kinds, "point") == 0) table = kPoint, n = 2;
    if (std::strcmp(kinds, "rotation") == 0) table = kRotation, n = 1;
    const KindInfo* info = nullptr;
    for (int i = 0; i < n; ++i)
        if (kind == table[i].name) info = &table[i];
    if (!info) {
        error.message = "unknown " + std::string(kinds) + " track kind '" + kind + "'";
        return;
    }
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    const size_t per = size_t(info->values) + 1;
    if (words.empty() || words.size() % per != 0) {
        error.message = "a " + kind + " key takes " + std::to_string(per) + " numbers";
        return;
    }
    track = TrackBytes{};
    track.kind = info->code;
    for (size_t k = 0; k < words.size(); k += per) {
        int time = 0;
        if (!integerIn(words[k], 0, 65535, time)) {
            error.message = "bad key time '" + words[k] + "'";
            return;
        }
        track.keys.u16(time);
        for (int j = 1; j <= info->values; ++j) {
            const std::string& w = words[k + size_t(j)];
            // Bezier keys: the tangent types are 16-bit, the tangents stored divided by 160.
            const bool isType = info->code == 4 && std::strcmp(kinds, "float") == 0 && (j == 4 || j == 7);
            const bool isTangent = info->code == 4 && std::strcmp(kinds, "float") == 0 && (j == 2 || j == 5);
            if (isType) {
                int type = 0;
                if (!integerIn(w, 0, 5, type)) {
                    error.message = "bad bezier tangent type '" + w + "'";
                    return;
                }
                track.keys.u16(type);
                continue;
            }
            float value = 0.0f;
            if (!number(w, value)) {
                error.message = "bad number '" + w + "'";
                return;
            }
            track.keys.f32(isTangent ? value / kS2DTangentScale : value);
        }
        ++track.count;
    }
    if (track.count > 65535) error.message = "too many keys";
}

bool parse(std::istream& text, Scene& scene, Input& error)
{
    enum class Item { None, Camera, Sprite, Node } item = Item::None;
    // The file's size so far: the items before the current one, and the current one.
    size_t doneBytes = kFixedBytes;
    auto currentBytes = [&]() -> size_t {
        switch (item) {
        case Item::Camera: return bytesOf(scene.cameras.back());
        case Item::Sprite: return bytesOf(scene.sprites.back());
        case Item::Node: return bytesOf(scene.nodes.back());
        default: return 0;
        }
    };
    std::string raw;
    while (std::getline(text, raw)) {
        ++error.line;
        const size_t hash = raw.find('#');
        if (hash != std::string::npos) raw.resize(hash);
        std::istringstream in(raw);
        std::string key;
        if (!(in >> key)) continue;
        const bool indented = raw[0] == ' ' || raw[0] == '\t';
        if (!indented) {
            std::string a, b, c, d, e;
            if (key == "frames") {
                in >> a;
                if (!integerIn(a, 0, 65535, scene.frames)) error.message = "frames takes 0..65535";
            } else if (key == "camera") {
                if (!(in >> a >> b)) error.message = "camera NAME TARGETNAME";
                checkName(a, "a camera name", error);
                checkName(b, "a target name", error);
                doneBytes += currentBytes();
                scene.cameras.push_back(Camera{a, b, {}, {}, {}, {}});
                item = Item::Camera;
            } else if (key == "sprite") {
                Sprite s;
                if (!(in >> s.name >> a >> s.image >> b >> s.alpha) || !integerIn(b, 0, 1, s.filter))
                    error.message = "sprite NAME normal|add|sub IMAGE FILTER ALPHAMAP";
                s.blend = a == "add" ? kS2DBlendAdd : a == "sub" ? kS2DBlendSub : 0;
                if (error.message.empty() && a != "add" && a != "sub" && a != "normal")
                    error.message = "blend is normal, add or sub";
                checkName(s.name, "a sprite name", error);
                checkName(s.image, "an image file name", error);
                checkName(s.alpha, "an alpha-map file name", error);
                doneBytes += currentBytes();
                scene.sprites.push_back(std::move(s));
                item = Item::Sprite;
            } else if (key == "node") {
                Node n;
                if (!(in >> n.name >> n.parent >> a) || !integerIn(a, 0, 65535, n.sprite))
                    error.message = "node NAME PARENT SPRITEINDEX";
                checkName(n.name, "a node name", error);
                checkName(n.parent, "a parent name", error);
                doneBytes += currentBytes();
                scene.nodes.push_back(std::move(n));
                item = Item::Node;
            } else {
                error.message = "unknown item '" + key + "'";
            }
        } else if (item == Item::Camera && (key == "fov" || key == "roll")) {
            readTrack(in, key == "fov" ? scene.cameras.back().fov : scene.cameras.back().roll, "float", error);
        } else if (item == Item::Camera && (key == "position" || key == "target")) {
            Camera& c = scene.cameras.back();
            readTrack(in, key == "position" ? c.position : c.targetPosition, "point", error);
        } else if (item == Item::Sprite && key == "opacity") {
            readTrack(in, scene.sprites.back().opacity, "float", error);
        } else if (item == Item::Node && (key == "position" || key == "scale")) {
            readTrack(in, key == "position" ? scene.nodes.back().position : scene.nodes.back().scale, "point", error);
        } else if (item == Item::Node && key == "rotation") {
            readTrack(in, scene.nodes.back().rotation, "rotation", error);
        } else {
            error.message = "'" + key + "' does not belong here";
        }
        if (error.message.empty() && doneBytes + currentBytes() > kMaxFileBytes)
            error.message = "the scene passes 16 MiB, more than a scene file may hold";
        if (!error.message.empty()) return false;
    }
    if (scene.nodes.size() > 65535 || scene.cameras.size() > 65535 || scene.sprites.size() > 65535) {
        error.message = "more than 65535 items of a kind";
        return false;
    }
    return true;
}

Bytes encode(const Scene& scene)
{
    Bytes out;
    out.u16(scene.frames);
    out.u16(int(scene.nodes.size()));
    for (const Node& n : scene.nodes) out.u16(n.sprite);
    out.u16(int(scene.cameras.size()));
    // Float tracks always carry a kind; an empty one is written as linear without keys.
    for (const Camera& c : scene.cameras) {
        c.fov.write(out, 1);
        c.roll.write(out, 1);
    }
    out.u16(int(scene.sprites.size()));
    for (const Sprite& s : scene.sprites) {
        out.str(s.name);
        out.u8(s.blend);
        out.str(s.image);
        out.u8(s.filter);
        out.str(s.alpha);
        out.u8(0);
        s.opacity.write(out, 1);
    }
    out.v.insert(out.v.end(), kS2DTransformTag, kS2DTransformTag + 4);
    for (const Node& n : scene.nodes) {
        out.str(n.name);
        out.str(n.parent);
        n.position.write(out, 0);
        n.scale.write(out, 0);
        n.rotation.write(out, 0);
    }
    for (const Camera& c : scene.cameras) {
        out.str(c.name);
        out.str(c.target);
        c.position.write(out, 0);
        c.targetPosition.write(out, 0);
    }
    return out;
}
} // namespace

int writeL2d(const std::string& textPath, const std::string& outPath, std::vector<std::string>& messages)
{
    std::ifstream text;
    std::string failure;
    if (!openTextFile(textPath, text, failure)) {
        messages.push_back(failure);
        return 1;
    }
    Scene scene;
    Input error;
    if (!parse(text, scene, error)) {
        messages.push_back(textPath + ":" + std::to_string(error.line) + ": " + error.message);
        return 1;
    }
    const Bytes bytes = encode(scene);
    std::ofstream out(outPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.v.data()), std::streamsize(bytes.v.size()));
    if (!out) {
        messages.push_back("cannot write " + outPath);
        return 1;
    }
    return 0;
}
