// The text form of .l3x scene files: one statement per chunk, named after the record it
// holds (see docs/l3x-format.md). Text is parsed into a chunk tree that is written as a chunk
// file, and a chunk file is printed back as text, so that a file round-trips.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct L3xChunk {
    uint16_t id = 0;
    std::vector<uint8_t> fields;  // the chunk's own fields, encoded
    std::vector<L3xChunk> children;
};

// Parses `text` (from `fileName`, which also locates OBJ files) into the root chunk. On an
// error it returns false with "file:line: message" in `error`.
bool parseL3xText(const std::string& text, const std::string& fileName, L3xChunk& root, std::string& error);
// Writes the chunk tree as a chunk file (plain, or bzip2-compressed).
bool writeL3xFile(const L3xChunk& root, const std::string& path, bool compress);
// Prints a chunk stream (the root chunk at offset 0) as text.
std::string printL3xStream(const uint8_t* stream, uint32_t size);

// Geometry from a Wavefront OBJ file: positions, texture coordinates and triangles (polygons
// are split into fans; each "usemtl" starts the next sub-material number).
struct ObjGeometry {
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<float> uvs;        // u, v per texture vertex
    std::vector<int> faces;        // three vertex indices per triangle
    std::vector<int> uvFaces;      // three texture-vertex indices per triangle (when every face has them)
    std::vector<int> subMaterials; // one per triangle
};
bool readObj(const std::string& path, ObjGeometry& out, std::string& error);
