#include "music/ModuleWriter.h"

#include <algorithm>
#include <cstring>

namespace ModuleWriter {
namespace {

constexpr size_t kHeaderBytes = 1084;
constexpr size_t kMaxSamples = 31;

void putBE16(std::vector<uint8_t>& out, size_t at, unsigned v)
{
    out[at] = static_cast<uint8_t>(v >> 8);
    out[at + 1] = static_cast<uint8_t>(v);
}

// Lengths in the header count 16-bit words; an odd sample gets a zero byte at its end.
unsigned wordsOf(const Sample& s)
{
    return static_cast<unsigned>((s.data.size() + 1) / 2);
}

} // namespace

std::vector<uint8_t> makeHeader(std::string_view title, const std::vector<Sample>& samples, int nbPatterns)
{
    std::vector<uint8_t> out(kHeaderBytes, 0);
    std::memcpy(out.data(), title.data(), std::min<size_t>(20, title.size()));
    const size_t nbSamples = std::min(kMaxSamples, samples.size());
    for (size_t i = 0; i < nbSamples; ++i) {
        const size_t at = 20 + 30 * i;
        std::memcpy(&out[at], samples[i].name.data(), std::min<size_t>(22, samples[i].name.size()));
        const unsigned words = wordsOf(samples[i]);
        putBE16(out, at + 22, words);
        out[at + 24] = 0;  // finetune
        out[at + 25] = static_cast<uint8_t>(std::clamp(samples[i].volume, 0, 64));
        putBE16(out, at + 26, 0);  // loop start
        putBE16(out, at + 28, samples[i].looped ? words : 1);
    }
    const int length = std::clamp(nbPatterns, 0, 128);
    out[950] = static_cast<uint8_t>(length);  // song length
    out[951] = 127;
    for (int i = 0; i < length; ++i) out[952 + size_t(i)] = static_cast<uint8_t>(i);
    std::memcpy(&out[1080], "M.K.", 4);
    return out;
}

void appendCell(std::vector<uint8_t>& out, const Cell& c)
{
    const unsigned period = c.note >= 0 ? kPeriods[static_cast<size_t>(c.note % 36)] : 0;
    out.push_back(static_cast<uint8_t>((c.sample & 0xF0) | ((period >> 8) & 0x0F)));
    out.push_back(static_cast<uint8_t>(period & 0xFF));
    out.push_back(static_cast<uint8_t>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F)));
    out.push_back(static_cast<uint8_t>(c.param));
}

void appendPattern(std::vector<uint8_t>& out, const Pattern& pattern)
{
    for (const Cell& c : pattern) appendCell(out, c);
}

void appendSampleData(std::vector<uint8_t>& out, const std::vector<Sample>& samples)
{
    const size_t nbSamples = std::min(kMaxSamples, samples.size());
    for (size_t i = 0; i < nbSamples; ++i) {
        for (int8_t v : samples[i].data) out.push_back(static_cast<uint8_t>(v));
        if (samples[i].data.size() % 2) out.push_back(0);
    }
}

} // namespace ModuleWriter
