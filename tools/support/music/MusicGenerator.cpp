#include "music/MusicGenerator.h"

#include <cmath>
#include <cstdio>
#include <string_view>
#include <algorithm>

#include "foundation/FileTools.h"
#include "music/ModuleWriter.h"

namespace MusicGenerator {
namespace {

constexpr double kPi = 3.14159265358979323846;

void appendLE(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

using ModuleWriter::Cell;
using ModuleWriter::Sample;

int8_t toS8(double v)
{
    const long q = std::lround(v * 127.0);
    return static_cast<int8_t>(q < -128 ? -128 : (q > 127 ? 127 : q));
}

std::vector<Sample> makeSamples()
{
    std::vector<Sample> samples;
    // 1: lead, a square wave with a softened edge (two 32-byte cycles, looped).
    Sample lead{"lead", {}, 40, true};
    for (int i = 0; i < 64; ++i) lead.data.push_back(toS8((i % 32) < 16 ? 0.6 : -0.6));
    samples.push_back(lead);
    // 2: bass, a triangle (two 32-byte cycles, looped).
    Sample bass{"bass", {}, 60, true};
    for (int i = 0; i < 64; ++i) {
        const int k = i % 32;
        bass.data.push_back(toS8(k < 16 ? -1.0 + k / 8.0 : 3.0 - k / 8.0));
    }
    samples.push_back(bass);
    // 3: kick, a falling sine sweep that decays.
    Sample kick{"kick", {}, 64, false};
    double phase = 0.0;
    for (int i = 0; i < 2400; ++i) {
        const double t = i / 2400.0;
        phase += 2.0 * kPi * (0.02 + 0.05 * (1.0 - t));
        kick.data.push_back(toS8(std::sin(phase) * (1.0 - t) * (1.0 - t)));
    }
    samples.push_back(kick);
    // 4: hat, decaying noise from a fixed linear congruential generator.
    Sample hat{"hat", {}, 32, false};
    uint32_t state = 12345;
    for (int i = 0; i < 1200; ++i) {
        state = state * 1103515245u + 12345u;
        const double noise = static_cast<int>((state >> 16) & 0xFF) / 127.5 - 1.0;
        hat.data.push_back(toS8(noise * std::pow(1.0 - i / 1200.0, 3.0)));
    }
    samples.push_back(hat);
    return samples;
}

// One pattern of 64 rows x 4 channels: bass, drums, an arpeggio (from the second pattern on)
// and its quieter octave below (in the third).
ModuleWriter::Pattern makePattern(int pattern)
{
    ModuleWriter::Pattern rows{};
    // A minor, F, C, G: chord roots and arpeggio notes, one chord a bar of 16 rows.
    constexpr int kRoots[4] = {9, 5, 0, 7};          // A, F, C, G in octave 1
    constexpr int kThirds[4] = {3, 4, 4, 4};         // minor or major third above the root
    for (int row = 0; row < 64; ++row) {
        const int bar = row / 16;
        const int step = row % 16;
        Cell* cells = &rows[row * 4];
        if (step % 8 == 0) cells[0] = {2, kRoots[bar], 0, 0};
        if (step % 8 == 0) cells[1] = {3, 12, 0, 0};
        else if (step % 4 == 2) cells[1] = {4, 24, 0, 0};
        if (pattern > 0 && step % 2 == 0) {
            const int chord[4] = {0, kThirds[bar], 7, 12};
            int note = 12 + kRoots[bar] + chord[(step / 2 + pattern) % 4];
            if (note > 35) note -= 12;
            cells[2] = {1, note, 0xA, 0x02};           // volume slides down: a plucked note
            if (pattern == 2) cells[3] = {1, note > 23 ? note - 12 : note, 0xC, 20};
        }
    }
    rows[1].effect = 0xF;  // speed 6 on the first row (125 BPM is the default tempo)
    rows[1].param = 6;
    return rows;
}

} // namespace

std::vector<uint8_t> makeModule()
{
    constexpr int kNbPatterns = 3;
    const std::vector<Sample> samples = makeSamples();
    std::vector<uint8_t> out = ModuleWriter::makeHeader("tessaline test", samples, kNbPatterns);
    for (int p = 0; p < kNbPatterns; ++p) ModuleWriter::appendPattern(out, makePattern(p));
    ModuleWriter::appendSampleData(out, samples);
    return out;
}

std::vector<uint8_t> makeWav()
{
    constexpr int kRate = 44100;
    constexpr int kToneFrames = kRate * kToneMs / 1000;
    constexpr int kGapFrames = kRate * kGapMs / 1000;
    constexpr int kRampFrames = kRate * 5 / 1000;  // 5 ms in and out, so tones do not click
    constexpr uint32_t kFrames = static_cast<uint32_t>(kWavTones) * (kToneFrames + kGapFrames);
    constexpr uint32_t kDataBytes = kFrames * 4;
    // A pentatonic walk, in Hz.
    constexpr double kTones[10] = {220.0, 261.63, 293.66, 329.63, 392.0, 440.0, 392.0, 329.63, 293.66, 261.63};

    std::vector<uint8_t> out;
    out.reserve(44 + kDataBytes);
    for (char c : std::string_view("RIFF")) out.push_back(static_cast<uint8_t>(c));
    appendLE(out, 36 + kDataBytes, 4);
    for (char c : std::string_view("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
    appendLE(out, 16, 4);          // fmt chunk size
    appendLE(out, 1, 2);           // PCM
    appendLE(out, 2, 2);           // channels
    appendLE(out, kRate, 4);
    appendLE(out, kRate * 4, 4);   // bytes a second
    appendLE(out, 4, 2);           // bytes a frame
    appendLE(out, 16, 2);          // bits a sample
    for (char c : std::string_view("data")) out.push_back(static_cast<uint8_t>(c));
    appendLE(out, kDataBytes, 4);

    for (int tone = 0; tone < kWavTones; ++tone) {
        const double hz = kTones[tone % 10];
        for (int i = 0; i < kToneFrames; ++i) {
            const int edge = std::min(i, kToneFrames - 1 - i);
            const double ramp = edge < kRampFrames ? static_cast<double>(edge) / kRampFrames : 1.0;
            const double v = kToneAmplitude * ramp * std::sin(2.0 * kPi * hz * i / kRate);
            appendLE(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767.0))), 2);
            appendLE(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(0.8 * v * 32767.0))), 2);
        }
        for (int i = 0; i < kGapFrames; ++i) appendLE(out, 0, 4);
    }
    return out;
}

bool writeFile(const char* path, const std::vector<uint8_t>& bytes)
{
    FILE* f = FileTools::openFile(path, "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

} // namespace MusicGenerator
