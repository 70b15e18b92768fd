// What the scene text's parser and printer share: the key layouts of track records, the
// little-endian encoders, and the tokens.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "s3d/L3xFormat.h"

namespace l3x_text {

extern const char* const kTrackKindNames[5];
extern const char* const kTangentNames[6];

// Per value type and kind, the file layout of one key: t time (i32), f float, y bezier tangent
// type (i16); null when the type has no such kind.
const char* keyLayout(L3xTrackKind type, int kind);
// Bytes of one key of that layout.
int layoutBytes(const char* layout);

// What a field code of the record description (L3xFormat.h) holds: the one reading of the codes
// that the parser and the printer share.
struct FieldShape {
    enum Kind { Integer, Floats, String, Array, Bones, Weights, Unknown };
    Kind kind = Unknown;
    int bytes = 0;         // Integer: b 1, h 2, i 4
    int floats = 0;        // Floats: f 1, p 3, a 4, m 12
    bool counted = false;  // Array: an i16 count of elements first (P, T, X), else the rest of the chunk
    int group = 1;         // Array: values per element
    int width = 4;         // Array: bytes per value (2: i16 values, 4: floats)
};
FieldShape fieldShape(char code);

void put8(std::vector<uint8_t>& b, uint32_t v);
void put16(std::vector<uint8_t>& b, uint32_t v);
void put32(std::vector<uint8_t>& b, uint32_t v);
void putF(std::vector<uint8_t>& b, float f);

struct Token {
    std::string text;
    bool quoted = false;
    int line = 0;
    bool is(const char* s) const { return !quoted && text == s; }
    // A value (a number or a bare word): neither quoted nor a bracket.
    bool isValue() const { return !quoted && text != "{" && text != "}" && text != "[" && text != "]"; }
};

// Splits the text into tokens; false with "line: message" in `error`.
bool tokenize(const std::string& in, std::vector<Token>& out, std::string& error);
bool toInteger(const std::string& s, long long lo, long long hi, long long& out);
bool toFloat(const std::string& s, float& out);

} // namespace l3x_text
