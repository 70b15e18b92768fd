// Shared set-up of the music tests: a platform with the real decoders, headless audio and a
// virtual clock, and the generated module and WAV in a scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "music/MusicGenerator.h"
#include "platform/Platform.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/openmpt/OpenMptBackend.h"
#include "support/TestSupport.h"

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_clock = std::make_shared<VirtualClock>();
        m_clock->set(100000);  // far from 0, so "elapsed" cannot be mistaken for "absolute"
        Platform p;
        installHeadlessBackend(p, m_clock);
        installOpenMptBackend(p);
        installFfmpegBackend(p);
        m_previous = installPlatform(std::move(p));
    }
    void TearDown() override { installPlatform(std::move(m_previous)); }

    std::string writeModule() const { return write("song.mod", MusicGenerator::makeModule()); }
    std::string writeWav() const { return write("tones.wav", MusicGenerator::makeWav()); }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        return m_dir.write(name, std::string(bytes.begin(), bytes.end()));
    }

    ScratchDir m_dir;
    std::shared_ptr<VirtualClock> m_clock;
    Platform m_previous;
};

// Everything `decoder` gives from where it stands, up to about `maxFrames` frames, read 1000 at a
// time.
inline std::vector<float> readAll(MusicDecoder& decoder, size_t maxFrames)
{
    std::vector<float> all;
    std::vector<float> chunk(2 * 1000);
    while (all.size() / 2 < maxFrames) {
        const size_t got = decoder.read(chunk.data(), 1000);
        all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<long>(2 * got));
        if (got < 1000) break;
    }
    return all;
}

// Middle of tone `i` of the generated WAV, and middle of the silence after it, in ms.
inline int toneMiddleMs(int i)
{
    return i * (MusicGenerator::kToneMs + MusicGenerator::kGapMs) + MusicGenerator::kToneMs / 2;
}
inline int gapMiddleMs(int i)
{
    return i * (MusicGenerator::kToneMs + MusicGenerator::kGapMs) + MusicGenerator::kToneMs +
           MusicGenerator::kGapMs / 2;
}
