#include "DemoMusic.h"

#include "music/ModuleWriter.h"

#include <algorithm>
#include <cmath>

namespace DemoMusic {
namespace {

constexpr double kPi = 3.14159265358979323846;

using ModuleWriter::Cell;
using ModuleWriter::Pattern;
using ModuleWriter::Sample;

// Sample numbers in the module (1-based, as the pattern cells name them).
enum Instrument { kNone = 0, kLead, kBass, kKick, kSnare, kHat, kPadMinor, kPadMajor, kBell, kPluck };

int8_t toS8(double v)
{
    const long q = std::lround(v * 127.0);
    return static_cast<int8_t>(std::clamp<long>(q, -128, 127));
}

// Fixed linear congruential noise in -1..1, so every machine draws the same drums.
struct Noise {
    uint32_t state;
    double next()
    {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) & 0xFF) / 127.5 - 1.0;
    }
};

// A saw with its first few harmonics only (a soft, band-limited saw), phase in cycles.
double softSaw(double phase, int harmonics)
{
    double v = 0;
    for (int h = 1; h <= harmonics; ++h) v += std::sin(2 * kPi * h * phase) / h;
    return v * 0.55;
}

// A just-intonation triad baked into one loop: cycles 40, 48 (minor) or 50 (major), 60 per
// 2560 bytes, so one loop repeats seamlessly and the root has a 64-byte period like the bass.
std::vector<int8_t> padChord(int third)
{
    std::vector<int8_t> data;
    const int length = 2560;
    for (int i = 0; i < length; ++i) {
        const double t = double(i) / length;
        const double v = softSaw(40 * t, 4) + 0.8 * softSaw(third * t, 3) + 0.7 * softSaw(60 * t, 3);
        data.push_back(toS8(v * 0.36));
    }
    return data;
}

std::vector<Sample> makeSamples()
{
    std::vector<Sample> s(9);
    // Lead: a 25 % pulse, two 32-byte cycles, looped.
    s[0] = {"lead", {}, 34, true};
    for (int i = 0; i < 64; ++i) s[0].data.push_back(toS8((i % 32) < 8 ? 0.55 : -0.2));
    // Bass: a soft saw of 64 bytes a cycle, looped (an octave below the 32-byte instruments).
    s[1] = {"bass", {}, 52, true};
    for (int i = 0; i < 64; ++i) s[1].data.push_back(toS8(softSaw(i / 64.0, 6) * 1.1));
    // Kick: a falling sine sweep that decays.
    s[2] = {"kick", {}, 64, false};
    double phase = 0.0;
    for (int i = 0; i < 2400; ++i) {
        const double t = i / 2400.0;
        phase += 2.0 * kPi * (0.018 + 0.06 * (1.0 - t) * (1.0 - t));
        s[2].data.push_back(toS8(std::sin(phase) * (1.0 - t) * (1.0 - t) * 1.1));
    }
    // Snare: noise over a short tone, both decaying.
    s[3] = {"snare", {}, 44, false};
    Noise snareNoise{4242};
    for (int i = 0; i < 2600; ++i) {
        const double t = i / 2600.0;
        const double tone = std::sin(2 * kPi * i / 44.0) * std::pow(1.0 - t, 6.0);
        s[3].data.push_back(toS8((snareNoise.next() * 0.8 * std::pow(1.0 - t, 2.5) + tone * 0.6)));
    }
    // Hat: bright decaying noise (each value against the last: high frequencies only).
    s[4] = {"hat", {}, 22, false};
    Noise hatNoise{12345};
    double last = 0;
    for (int i = 0; i < 700; ++i) {
        const double n = hatNoise.next();
        s[4].data.push_back(toS8((n - last) * 0.5 * std::pow(1.0 - i / 700.0, 3.0)));
        last = n;
    }
    s[5] = {"pad minor", padChord(48), 26, true};
    s[6] = {"pad major", padChord(50), 26, true};
    // Bell: a 32-byte fundamental with an inharmonic partial, a long decay.
    s[7] = {"bell", {}, 40, false};
    for (int i = 0; i < 7000; ++i) {
        const double t = i / 7000.0;
        const double v = std::sin(2 * kPi * i / 32.0) + 0.5 * std::sin(2 * kPi * i * 2.76 / 32.0) * (1.0 - t);
        s[7].data.push_back(toS8(v * 0.6 * std::pow(1.0 - t, 2.0)));
    }
    // Pluck: a saw that loses its harmonics and fades (32-byte cycles).
    s[8] = {"pluck", {}, 40, false};
    for (int i = 0; i < 3200; ++i) {
        const double t = i / 3200.0;
        const int harmonics = std::max(1, int(8 * (1.0 - t) * (1.0 - t)));
        s[8].data.push_back(toS8(softSaw(i / 32.0, harmonics) * std::pow(1.0 - t, 1.5)));
    }
    return s;
}

// Chords: root (semitone above C) and third (3 minor, 4 major); four to a progression, one a bar.
struct Chord {
    int root;
    int third;
};
constexpr Chord kProgA[4] = {{9, 3}, {5, 4}, {0, 4}, {7, 4}};   // Am F C G
constexpr Chord kProgB[4] = {{5, 4}, {7, 4}, {9, 3}, {4, 3}};   // F G Am Em
constexpr Chord kProgC[4] = {{2, 3}, {10, 4}, {5, 4}, {0, 4}};  // Dm Bb F C
constexpr Chord kProgD[4] = {{4, 3}, {0, 4}, {7, 4}, {2, 4}};   // Em C G D

enum class Drums { None, Hats, Full, Drop, Syncopated, HalfTime, Roll, Sparse };
enum class Arp { None, Sparse, Eighths, Sixteenths, Bells };
enum class Top { None, Pad, LeadA, LeadB, LeadC };

struct Section {
    int patterns;
    const Chord* prog;
    Drums drums;
    int bass;  // 0 none, 1 long notes, 2 eighths, 3 sixteenth pulse, 4 octave jumps
    Arp arp;
    Top top;
};

// The fifteen sections, in order; their lengths add up to kNbPatterns. The demo's script starts
// a section of pictures with each (change together with demo/demo.lscx and docs/09-showcase-demo.md).
constexpr Section kSections[] = {
    {2, kProgA, Drums::None, 0, Arp::Sparse, Top::Pad},          // intro
    {2, kProgA, Drums::Hats, 1, Arp::Eighths, Top::Pad},         // build
    {3, kProgA, Drums::Full, 2, Arp::Eighths, Top::None},        // groove A
    {2, kProgA, Drums::Full, 2, Arp::Sparse, Top::LeadA},        // lead A
    {3, kProgB, Drums::Syncopated, 4, Arp::Bells, Top::None},    // groove B
    {2, kProgC, Drums::Sparse, 1, Arp::Bells, Top::Pad},         // break
    {3, kProgD, Drums::Drop, 3, Arp::Sixteenths, Top::None},     // drop
    {2, kProgD, Drums::Full, 2, Arp::None, Top::LeadB},          // lead B
    {3, kProgC, Drums::HalfTime, 4, Arp::Eighths, Top::Pad},     // groove C
    {2, kProgA, Drums::Full, 3, Arp::None, Top::None},           // sparse
    {3, kProgB, Drums::Full, 2, Arp::Sixteenths, Top::None},     // groove D
    {2, kProgC, Drums::None, 0, Arp::Bells, Top::Pad},           // break 2
    {3, kProgA, Drums::Roll, 1, Arp::Eighths, Top::Pad},         // finale build
    {2, kProgA, Drums::Drop, 3, Arp::Eighths, Top::LeadC},       // lead C
    {3, kProgA, Drums::None, 1, Arp::Sparse, Top::Pad},          // outro
};

constexpr int patternsOfSections()
{
    int n = 0;
    for (const Section& s : kSections) n += s.patterns;
    return n;
}
static_assert(patternsOfSections() == kNbPatterns);

// Note index of a chord tone k (0 root, 1 third, 2 fifth, 3 octave, 4 tenth ...) from a base octave.
int chordTone(const Chord& c, int k, int octave)
{
    const int steps[3] = {0, c.third, 7};
    int note = octave * 12 + c.root + steps[k % 3] + 12 * (k / 3);
    while (note > 35) note -= 12;  // kept inside the three octaves a module may use
    return note;
}

// Lead melodies: per bar, eight (row, chord tone) pairs; tone -1 holds, -2 rests.
struct Phrase {
    int row[8];
    int tone[8];
};
constexpr Phrase kLeadA[4] = {
    {{0, 3, 6, 8, 10, 12, 14, 15}, {2, 3, 2, 1, 0, 1, 2, -2}},
    {{0, 2, 4, 8, 10, 12, 14, 15}, {3, 2, 1, 2, -1, 1, 0, -2}},
    {{0, 3, 6, 8, 10, 12, 13, 14}, {4, 3, 2, 3, 2, 1, 2, 3}},
    {{0, 4, 6, 8, 12, 13, 14, 15}, {2, 1, 2, 0, 1, -1, -1, -2}},
};
constexpr Phrase kLeadB[4] = {
    {{0, 2, 4, 6, 8, 11, 12, 14}, {0, 1, 2, 3, 4, 3, 2, 1}},
    {{0, 2, 4, 6, 8, 11, 12, 14}, {4, 3, 2, 1, 2, 3, 4, -2}},
    {{0, 2, 4, 6, 8, 10, 12, 14}, {0, 2, 1, 3, 2, 4, 3, 5}},
    {{0, 4, 8, 10, 12, 13, 14, 15}, {4, 2, 3, 1, 2, -1, -1, -2}},
};
constexpr Phrase kLeadC[4] = {
    {{0, 1, 2, 4, 6, 8, 12, 14}, {3, 4, 5, 4, 3, 2, 3, -2}},
    {{0, 2, 3, 4, 8, 10, 12, 14}, {5, 4, 3, 2, 3, 4, 3, 2}},
    {{0, 2, 4, 6, 8, 10, 12, 14}, {2, 3, 4, 5, 4, 3, 2, 1}},
    {{0, 2, 4, 8, 10, 12, 14, 15}, {3, 2, 1, 0, -1, -1, -1, -2}},
};

// Pattern `index` of its section (0-based), `fade` in 0..64: the volume all notes are scaled by.
Pattern makePattern(const Section& s, int index, int fade, bool first, bool last)
{
    Pattern rows{};
    auto volume = [&](int v) { return std::clamp(v * fade / 64, 0, 64); };
    for (int row = 0; row < 64; ++row) {
        const int bar = row / 16, step = row % 16;
        const Chord& chord = s.prog[bar];
        Cell* cells = &rows[size_t(row) * 4];

        // Channel 0: bass.
        switch (s.bass) {
        case 1:
            if (step == 0) cells[0] = {kBass, chord.root, 0xC, volume(56)};
            else if (step == 12) cells[0] = {kNone, -1, 0xA, 0x04};
            break;
        case 2:
            if (step % 2 == 0) cells[0] = {kBass, chord.root, 0xC, volume(step % 4 == 0 ? 60 : 40)};
            break;
        case 3:
            cells[0] = {kBass, chord.root + (step % 4 == 2 ? 12 : 0), 0xC, volume(step % 4 == 0 ? 60 : 34)};
            break;
        case 4:
            if (step % 2 == 0) cells[0] = {kBass, chord.root + (step % 4 == 2 ? 12 : 0), 0xC, volume(54)};
            break;
        default: break;
        }

        // Channel 1: drums, one sound a row.
        int drum = kNone, drumVolume = 64;
        const int beatRow = step % 4;
        switch (s.drums) {
        case Drums::Hats:
            if (beatRow == 2) drum = kHat;
            break;
        case Drums::Full:
            if (step == 0 || step == 8 || step == 10) drum = kKick;
            else if (step == 4 || step == 12) drum = kSnare;
            else if (beatRow == 2) drum = kHat;
            break;
        case Drums::Drop:
            if (beatRow == 0) drum = (step == 4 || step == 12) && bar % 2 == 1 ? kSnare : kKick;
            else if (beatRow == 2) drum = kHat;
            else drumVolume = 32, drum = step == 15 && bar == 3 ? kSnare : kNone;
            break;
        case Drums::Syncopated:
            if (step == 0 || step == 6 || step == 10) drum = kKick;
            else if (step == 4 || step == 12) drum = kSnare;
            else if (step % 2 == 0) drum = kHat;
            break;
        case Drums::HalfTime:
            if (step == 0) drum = kKick;
            else if (step == 8) drum = kSnare;
            else if (step % 2 == 0) drum = kHat;
            break;
        case Drums::Sparse:
            if (step == 0 && bar % 2 == 0) drum = kKick;
            else if (step == 8) drum = kHat;
            break;
        case Drums::Roll: {
            // The snare comes closer every pattern: every 4 rows, then 2, then each row.
            const int every = index == 0 ? 4 : index == 1 ? 2 : 1;
            if (step == 0 && (index < 2 || bar < 2)) drum = kKick;
            else if (row % every == 0) drum = kSnare, drumVolume = 24 + row * 40 / 64;
            break;
        }
        default: break;
        }
        if (drum != kNone) cells[1] = {drum, drum == kHat ? 30 : drum == kSnare ? 19 : 12, 0xC, volume(drumVolume)};

        // Channel 2: arpeggio, bells or plucks over the chord.
        const int arpTone = (step / 2 + bar) % 4;
        switch (s.arp) {
        case Arp::Sparse:
            if (step % 4 == 0) cells[2] = {kPluck, chordTone(chord, (step / 4 + index) % 4, 1), 0xC, volume(30)};
            break;
        case Arp::Eighths:
            if (step % 2 == 0) cells[2] = {kPluck, chordTone(chord, arpTone, 1), 0xC, volume(step % 4 == 0 ? 40 : 28)};
            break;
        case Arp::Sixteenths:
            cells[2] = {kPluck, chordTone(chord, (step + bar) % 5, 1), 0xC, volume(step % 4 == 0 ? 38 : 22)};
            break;
        case Arp::Bells:
            if (step % 4 == 0 || step == 6 || step == 14)
                cells[2] = {kBell, chordTone(chord, (step / 2 + index) % 5, 1), 0xC, volume(36)};
            break;
        default: break;
        }

        // Channel 3: a pad chord a bar, or a lead melody.
        if (s.top == Top::Pad && step == 0) {
            cells[3] = {chord.third == 3 ? kPadMinor : kPadMajor, chord.root + 12, 0xC, volume(first && index == 0 && bar == 0 ? 12 : 30)};
        } else if (s.top == Top::Pad && step == 1 && first && index == 0 && bar == 0) {
            cells[3] = {kNone, -1, 0xA, 0x20};  // the very first chord swells in
        } else if (s.top == Top::LeadA || s.top == Top::LeadB || s.top == Top::LeadC) {
            const Phrase* phrases = s.top == Top::LeadA ? kLeadA : s.top == Top::LeadB ? kLeadB : kLeadC;
            const Phrase& p = phrases[(bar + index) % 4];
            for (int k = 0; k < 8; ++k) {
                if (p.row[k] != step) continue;
                if (p.tone[k] == -2) cells[3] = {kNone, -1, 0xC, 0};
                else if (p.tone[k] == -1) cells[3] = {kNone, -1, 0x4, 0x46};  // held: vibrato
                else cells[3] = {kLead, chordTone(chord, p.tone[k], 1), 0xC, volume(40)};
            }
        }
    }
    if (first) {
        // Speed 6 on the first row of the song (125 BPM is the default tempo).
        rows[1 * 4 + 1].effect = 0xF;
        rows[1 * 4 + 1].param = 6;
    }
    if (last) {
        // The last chord rings on: the pad slides out over the final bars.
        for (int row = 49; row < 64; ++row) rows[size_t(row) * 4 + 3] = {kNone, -1, 0xA, 0x01};
    }
    return rows;
}

} // namespace

std::vector<uint8_t> makeModule()
{
    const std::vector<Sample> samples = makeSamples();
    std::vector<uint8_t> out = ModuleWriter::makeHeader("tessaline showcase", samples, kNbPatterns);

    const int nbSections = int(std::size(kSections));
    int pattern = 0;
    for (int si = 0; si < nbSections; ++si) {
        const Section& s = kSections[si];
        for (int k = 0; k < s.patterns; ++k, ++pattern) {
            // The outro fades: full, three quarters, half.
            const int fade = si == nbSections - 1 ? 64 - k * 16 : 64;
            const bool last = si == nbSections - 1 && k == s.patterns - 1;
            ModuleWriter::appendPattern(out, makePattern(s, k, fade, pattern == 0, last));
        }
    }
    ModuleWriter::appendSampleData(out, samples);
    return out;
}

} // namespace DemoMusic
