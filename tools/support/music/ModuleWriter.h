// The pieces every generated four-channel tracker module shares ("M.K." layout): the period
// table, the sample and cell descriptions, and the writing of the header, cells and sample data.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ModuleWriter {

// Amiga periods of the three octaves a module may use, C-1 to B-3 (note index 0 to 35).
constexpr std::array<uint16_t, 36> kPeriods = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,
};

constexpr int kRows = 64;      // rows a pattern
constexpr int kChannels = 4;

// A synthesized 8-bit sample: name (up to 22 characters kept), data, volume 0..64, and its
// loop (the whole sample) or none. An odd length is padded with one zero byte when written.
struct Sample {
    std::string name;
    std::vector<int8_t> data;
    int volume = 64;
    bool looped = false;
};

// One note of one channel on one row.
struct Cell {
    int sample = 0;  // 1-based sample number, 0: none
    int note = -1;   // index into kPeriods (taken modulo 36), -1: none
    int effect = 0;
    int param = 0;
};
using Pattern = std::array<Cell, kRows * kChannels>;

// The 1084-byte header: title (up to 20 characters kept), up to 31 sample headers, an order
// list playing patterns 0 to nbPatterns - 1 once, and the "M.K." tag.
std::vector<uint8_t> makeHeader(std::string_view title, const std::vector<Sample>& samples, int nbPatterns);

// Appends the 4 bytes of a cell: sample high nibble and period, sample low nibble and effect, parameter.
void appendCell(std::vector<uint8_t>& out, const Cell& cell);

// Appends a whole pattern, row by row, channels in order.
void appendPattern(std::vector<uint8_t>& out, const Pattern& pattern);

// Appends the sample data, in the order of the sample headers (which follow the patterns).
void appendSampleData(std::vector<uint8_t>& out, const std::vector<Sample>& samples);

} // namespace ModuleWriter
