// Chunk stream to scene text for tessaline-l3x, driven by the record description of
// src/s3d/L3xFormat, so that a file round-trips.
#include "L3xText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "L3xTextTokens.h"
#include "foundation/ChunkFile.h"
#include "s3d/L3xFormat.h"

using namespace l3x_text;

namespace {

// ---------------------------------------------------------------------------------------------
// Printer

class Printer {
public:
    explicit Printer(const uint8_t* s) : m_s(s) {}

    // Prints the chunk at `at` (its header and size already checked to lie inside the stream).
    void chunk(uint32_t at, const L3xChunkKind* kind, int indent)
    {
        const uint16_t id = rd16(at);
        const uint32_t end = at + rd32(at + 2);
        const uint32_t begin = at + 6;
        const std::string pad(size_t(indent) * 2, ' ');
        if (!kind) return bytes(pad + "chunk " + std::to_string(id), begin, end, indent);
        if (kind->track != L3xTrackKind::None && track(*kind, begin, end, pad)) return;
        if (!kind->fields || kind->track != L3xTrackKind::None) return bytes(pad + kind->name, begin, end, indent);

        std::string text = pad + kind->name;
        uint32_t p = begin;
        long long declared = 0;
        bool hasCount = false;
        for (const char* code = kind->fields; *code; ++code) {
            if (*code == 'n' || *code == 'N') {
                if (p + (*code == 'n' ? 2u : 4u) > end) return bytes(pad + kind->name, begin, end, indent);
                hasCount = true;
                declared = *code == 'n' ? rd16(p) : int32_t(rd32(p));
                p += *code == 'n' ? 2 : 4;
                continue;
            }
            if (!field(*code, p, end, text, pad)) return bytes(pad + kind->name, begin, end, indent);
        }
        std::vector<uint32_t> children;
        if (!split(p, end, children) || (!children.empty() && !kind->children))
            return bytes(pad + kind->name, begin, end, indent);
        if (hasCount) {
            long long actual = 0;
            for (uint32_t c : children) actual += rd16(c) == kind->listItem;
            if (declared != actual) (text += ' ') += std::to_string(declared);
        }
        if (children.empty() && !kind->children) return line(text);
        if (children.empty()) return line(text + " {}");
        line(text + " {");
        const L3xChunkKind& typed = l3xChildrenByType(*kind, begin < end ? m_s[begin] : 0);
        for (uint32_t c : children) chunk(c, l3xFindChild(typed, rd16(c)), indent + 1);
        line(pad + "}");
    }

    std::string m_out;

private:
    uint16_t rd16(uint32_t at) const { return uint16_t(m_s[at] | m_s[at + 1] << 8); }
    uint32_t rd32(uint32_t at) const
    {
        return uint32_t(m_s[at]) | uint32_t(m_s[at + 1]) << 8 | uint32_t(m_s[at + 2]) << 16 | uint32_t(m_s[at + 3]) << 24;
    }
    float rdF(uint32_t at) const
    {
        const uint32_t v = rd32(at);
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    // The shortest text that reads back as the same float.
    static std::string num(float f)
    {
        char b[32];
        for (int precision = 6; precision <= 9; ++precision) {
            std::snprintf(b, sizeof b, "%.*g", precision, double(f));
            if (std::strtof(b, nullptr) == f || std::isnan(f)) break;
        }
        return b;
    }
    void line(const std::string& s) { m_out += s + "\n"; }

    // Splits [p, end) into whole chunks; false when it does not split exactly.
    bool split(uint32_t p, uint32_t end, std::vector<uint32_t>& out) const
    {
        while (p < end) {
            if (end - p < 6) return false;
            const uint32_t size = rd32(p + 2);
            if (size < 6 || size > end - p) return false;
            out.push_back(p);
            p += size;
        }
        return true;
    }

    void bytes(const std::string& head, uint32_t begin, uint32_t end, int indent)
    {
        std::string text = head + " bytes [";
        for (uint32_t i = begin; i < end; ++i) {
            if ((i - begin) % 32 == 0 && end - begin > 32) {
                line(text);
                text = std::string(size_t(indent) * 2 + 2, ' ');
            } else {
                text += " ";
            }
            char h[4];
            std::snprintf(h, sizeof h, "%02x", m_s[i]);
            text += h;
        }
        if (end - begin > 32) {
            line(text);
            text = std::string(size_t(indent) * 2, ' ');
        } else {
            text += " ";
        }
        line(text + "]");
    }

    static std::string quote(const uint8_t* s, size_t n)
    {
        std::string q = "\"";
        for (size_t i = 0; i < n; ++i) {
            const unsigned char c = s[i];
            if (c == '"' || c == '\\') {
                q += '\\';
                q += char(c);
            } else if (c < 32 || c >= 127) {
                char h[8];
                std::snprintf(h, sizeof h, "\\x%02x", c);
                q += h;
            } else {
                q += char(c);
            }
        }
        return q + "\"";
    }

    // Appends the field's text; false when the bytes do not hold it.
    bool field(char code, uint32_t& p, uint32_t end, std::string& text, const std::string& pad)
    {
        const auto room = [&](uint64_t n) { return uint64_t(p) + n <= end; };
        const FieldShape shape = fieldShape(code);
        switch (shape.kind) {
        case FieldShape::Integer:
            if (!room(uint64_t(shape.bytes))) return false;
            (text += ' ') += shape.bytes == 1   ? std::to_string(m_s[p])
                             : shape.bytes == 2 ? std::to_string(rd16(p))
                                                : std::to_string(int32_t(rd32(p)));
            p += uint32_t(shape.bytes);
            return true;
        case FieldShape::Floats:
            if (!room(4u * uint64_t(shape.floats))) return false;
            for (int i = 0; i < shape.floats; ++i, p += 4) (text += ' ') += num(rdF(p));
            return true;
        case FieldShape::String: {
            uint32_t z = p;
            while (z < end && z - p < uint32_t(kChunkMaxString) + 1 && m_s[z]) ++z;
            if (z >= end || m_s[z]) return false;
            (text += ' ') += quote(m_s + p, z - p);
            p = z + 1;
            return true;
        }
        case FieldShape::Bones: case FieldShape::Weights: return boneOrWeightList(code, p, end, text, pad);
        case FieldShape::Array: case FieldShape::Unknown: break;
        }
        // Arrays (an unknown code reads as floats filling the rest of the chunk).
        const bool counted = shape.counted;
        const int group = shape.group;
        const uint32_t width = uint32_t(shape.width);
        uint64_t n = 0;
        if (counted) {
            if (!room(2)) return false;
            n = rd16(p);
            p += 2;
            if (!room(n * group * width)) return false;
        } else {
            // The rest of the chunk, in whole groups.
            if ((end - p) % (group * width) != 0) return false;
            n = (end - p) / (group * width);
        }
        if (n == 0) {
            text += " []";
            return true;
        }
        text += " [";
        // One element a line; single values twelve a line.
        const int perLine = group == 1 ? 12 : 1;
        for (uint64_t e = 0; e < n; ++e) {
            if (e % perLine == 0) text += "\n" + pad + "  ";
            else text += " ";
            for (int k = 0; k < group; ++k, p += width) {
                if (k) text += " ";
                text += width == 2 ? std::to_string(rd16(p)) : num(rdF(p));
            }
        }
        text += "\n" + pad + "]";
        return true;
    }

    // Skin bones (B: i16 count, per bone a string and a matrix) or skin vertices (W: i32 count,
    // per vertex an i16 n and n pairs of float and i16), one element a line.
    bool boneOrWeightList(char code, uint32_t& p, uint32_t end, std::string& text, const std::string& pad)
    {
        const auto room = [&](uint64_t n) { return uint64_t(p) + n <= end; };
        if (!room(code == 'B' ? 2 : 4)) return false;
        const uint32_t n = code == 'B' ? rd16(p) : rd32(p);
        p += code == 'B' ? 2 : 4;
        std::string out = " [";
        for (uint32_t e = 0; e < n; ++e) {
            out += "\n" + pad + " ";
            if (code == 'B') {
                if (!field('s', p, end, out, pad) || !field('m', p, end, out, pad)) return false;
                continue;
            }
            if (!room(2)) return false;
            const uint32_t pairs = rd16(p);
            p += 2;
            if (!room(uint64_t(pairs) * 6)) return false;
            (out += ' ') += std::to_string(pairs);
            for (uint32_t k = 0; k < pairs; ++k, p += 6)
                ((out += ' ') += num(rdF(p)) + ' ') += std::to_string(rd16(p + 4));
        }
        text += n ? out + "\n" + pad + "]" : " []";
        return true;
    }

    // The track slot in its text form when it holds exactly one well-formed track record.
    bool track(const L3xChunkKind& kind, uint32_t begin, uint32_t end, const std::string& pad)
    {
        std::vector<uint32_t> outer, inner;
        if (!split(begin, end, outer) || outer.size() != 1 || rd16(outer[0]) != 1) return false;
        const uint32_t t = outer[0], tEnd = t + rd32(t + 2);
        if (tEnd - t < 7) return false;
        const int trackKind = m_s[t + 6];
        const char* layout = keyLayout(kind.track, trackKind);
        if (!layout || !split(t + 7, tEnd, inner) || inner.size() != 1 || rd16(inner[0]) != 1) return false;
        const uint32_t k = inner[0], kEnd = k + rd32(k + 2);
        if (kEnd - k < 10) return false;
        const uint32_t count = rd32(k + 6);
        if (uint64_t(count) * uint64_t(layoutBytes(layout)) != kEnd - k - 10) return false;
        line(pad + kind.name + " " + kTrackKindNames[trackKind] + " {");
        uint32_t p = k + 10;
        for (uint32_t i = 0; i < count; ++i) {
            std::string text = pad + "  key";
            for (const char* c = layout; *c; ++c) {
                if (*c == 't') {
                    (text += ' ') += std::to_string(int32_t(rd32(p)));
                    p += 4;
                } else if (*c == 'y') {
                    const uint16_t v = rd16(p);
                    (text += ' ') += (v < 6 ? std::string(kTangentNames[v]) : std::to_string(v));
                    p += 2;
                } else {
                    (text += ' ') += num(rdF(p));
                    p += 4;
                }
            }
            line(text);
        }
        line(pad + "}");
        return true;
    }

    const uint8_t* m_s;
};

} // namespace

std::string printL3xStream(const uint8_t* stream, uint32_t size)
{
    Printer printer(stream);
    if (size < 6) return std::string();
    const uint32_t rootSize = uint32_t(stream[2]) | uint32_t(stream[3]) << 8 | uint32_t(stream[4]) << 16 |
                              uint32_t(stream[5]) << 24;
    if (rootSize < 6 || rootSize > size) return std::string();
    const uint16_t id = uint16_t(stream[0] | stream[1] << 8);
    printer.chunk(0, id == kL3xRoot ? &l3xRootKind() : nullptr, 0);
    return printer.m_out;
}
