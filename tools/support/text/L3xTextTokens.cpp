#include "L3xTextTokens.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace l3x_text {


// ---------------------------------------------------------------------------------------------
// Track records

const char* const kTrackKindNames[5] = {"", "linear", "hermite", "tcb", "bezier"};
const char* const kTangentNames[6] = {"smooth", "linear", "step", "fast", "slow", "custom"};

const char* keyLayout(L3xTrackKind type, int kind)
{
    switch (type) {
    case L3xTrackKind::Float:
        return kind == 1 || kind == 2 ? "tf" : kind == 3 ? "tffffff" : kind == 4 ? "tfffyffy" : nullptr;
    case L3xTrackKind::Point:
        return kind == 1 || kind == 2 ? "tfff" : kind == 3 ? "tffffffff" : nullptr;
    case L3xTrackKind::Rotation: return kind == 1 ? "tffff" : kind == 3 ? "tfffffffff" : nullptr;
    default: return nullptr;
    }
}

int layoutBytes(const char* layout)
{
    int n = 0;
    for (const char* c = layout; *c; ++c) n += *c == 'y' ? 2 : 4;
    return n;
}

FieldShape fieldShape(char code)
{
    FieldShape s;
    switch (code) {
    case 'b': case 'h': case 'i':
        s.kind = FieldShape::Integer;
        s.bytes = code == 'b' ? 1 : code == 'h' ? 2 : 4;
        break;
    case 'f': case 'p': case 'a': case 'm':
        s.kind = FieldShape::Floats;
        s.floats = code == 'f' ? 1 : code == 'p' ? 3 : code == 'a' ? 4 : 12;
        break;
    case 's': s.kind = FieldShape::String; break;
    case 'B': s.kind = FieldShape::Bones; break;
    case 'W': s.kind = FieldShape::Weights; break;
    case 'P': case 'T': case 'X': case 'F': case 'Q': case 'S': case 'Y':
        s.kind = FieldShape::Array;
        s.counted = code == 'P' || code == 'T' || code == 'X';
        s.group = code == 'P' || code == 'Q' || code == 'X' || code == 'Y' ? 3 : code == 'T' ? 2 : 1;
        s.width = code == 'X' || code == 'S' || code == 'Y' ? 2 : 4;
        break;
    default: break;
    }
    return s;
}

// ---------------------------------------------------------------------------------------------
// Encoding

void put8(std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)); }
void put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void putF(std::vector<uint8_t>& b, float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(b, v);
}

// ---------------------------------------------------------------------------------------------
// Tokens

bool tokenize(const std::string& in, std::vector<Token>& out, std::string& error)
{
    int line = 1;
    for (size_t i = 0; i < in.size();) {
        const char c = in[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            while (i < in.size() && in[i] != '\n') ++i;
        } else if (c == '{' || c == '}' || c == '[' || c == ']') {
            out.push_back({std::string(1, c), false, line});
            ++i;
        } else if (c == '"') {
            Token t{"", true, line};
            for (++i;; ++i) {
                if (i >= in.size() || in[i] == '\n') return error = std::to_string(line) + ": unterminated string", false;
                if (in[i] == '"') break;
                if (in[i] == '\\' && i + 1 < in.size()) {
                    ++i;
                    if (in[i] == 'x' && i + 2 < in.size()) {
                        t.text += char(std::strtol(in.substr(i + 1, 2).c_str(), nullptr, 16));
                        i += 2;
                        continue;
                    }
                }
                t.text += in[i];
            }
            ++i;
            out.push_back(t);
        } else if (c == '\0') {
            // (strchr would count it as one of the separators and the word would never end)
            return error = std::to_string(line) + ": a NUL byte in the text", false;
        } else {
            Token t{"", false, line};
            while (i < in.size() && in[i] != '\0' && !std::strchr(" \t\r\n#{}[]\"", in[i])) t.text += in[i++];
            out.push_back(t);
        }
    }
    return true;
}

bool toInteger(const std::string& s, long long lo, long long hi, long long& out)
{
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 0);
    if (*end || errno == ERANGE || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool toFloat(const std::string& s, float& out)
{
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtof(s.c_str(), &end);
    return !*end;
}

} // namespace l3x_text
