#include "platform/openmpt/OpenMptBackend.h"

#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_version.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/Platform.h"

namespace {

// Larger files are not taken for modules (the largest real ones are a few tens of MB).
constexpr long kMaxModuleBytes = 64L << 20;

class OpenMptDecoder : public MusicDecoder {
public:
    explicit OpenMptDecoder(openmpt_module* module) : m_module(module)
    {
        // Seeks restore the samples that are playing, not only the notes' parameters.
        openmpt_module_ctl_set_boolean(m_module, "seek.sync_samples", 1);
    }
    ~OpenMptDecoder() override { openmpt_module_destroy(m_module); }
    OpenMptDecoder(const OpenMptDecoder&) = delete;
    OpenMptDecoder& operator=(const OpenMptDecoder&) = delete;

    size_t read(float* interleaved, size_t frames) override
    {
        size_t done = 0;
        // libopenmpt renders less than asked only at the end of the song.
        while (done < frames) {
            const size_t got = openmpt_module_read_interleaved_float_stereo(m_module, kMusicRate, frames - done,
                                                                            interleaved + 2 * done);
            if (got == 0) break;
            done += got;
        }
        return done;
    }

    bool seekFrame(int64_t frame) override
    {
        // The library lands on the first row starting at or after the time it is given, with the
        // channels as a run from the start has them there (playing samples re-synced by
        // seek.sync_samples). The first milliseconds after a landing still differ from such a
        // run while the mixer's volume ramps settle, so we land on a row that starts at least
        // kSettleSeconds before the frame (stepping back, further each time, until one does)
        // and render forward from it, discarding everything before the frame.
        const double wanted = static_cast<double>(std::max<int64_t>(frame, 0)) / kMusicRate;
        const double limit = std::max(0.0, wanted - kSettleSeconds) + 1e-9;
        double ask = limit;
        double landed = openmpt_module_set_position_seconds(m_module, ask);
        for (double step = kSettleSeconds; !(landed <= limit) && ask > 0.0; step *= 2.0) {
            ask = std::max(0.0, ask - step);
            landed = openmpt_module_set_position_seconds(m_module, ask);
        }
        if (!(landed >= 0.0 && landed <= limit)) landed = openmpt_module_set_position_seconds(m_module, 0.0);
        int64_t skip = std::max<int64_t>(frame, 0) - std::llround(std::max(landed, 0.0) * kMusicRate);
        // Past the end the reads stop early: the decoder is at its end, as a run would be there.
        while (skip > 0) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(skip, kScratchFrames));
            const size_t got = read(m_scratch.data(), n);
            if (got < n) break;
            skip -= static_cast<int64_t>(got);
        }
        return true;
    }

private:
    // How far before a seek target the rendering starts at least: the volume ramps of the mixer
    // settle within about 30 ms of a landing.
    static constexpr double kSettleSeconds = 0.1;
    static constexpr size_t kScratchFrames = 4096;

    openmpt_module* m_module;
    std::vector<float> m_scratch = std::vector<float>(2 * kScratchFrames);
};

bool readWholeFile(const std::string& path, std::vector<unsigned char>& data)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size > 0 && size <= kMaxModuleBytes && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        data.resize(static_cast<size_t>(size));
        ok = std::fread(data.data(), 1, data.size(), f) == data.size();
    }
    std::fclose(f);
    return ok;
}

std::unique_ptr<MusicDecoder> openModule(const std::string& path)
{
    std::vector<unsigned char> data;
    if (!readWholeFile(path, data)) return nullptr;
    // The C interface: nothing is thrown, logging is silenced, errors are return values.
    int error = 0;
    const char* message = nullptr;
    openmpt_module* module = openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent,
                                                                nullptr, openmpt_error_func_ignore, nullptr,
                                                                &error, &message, nullptr);
    if (message) openmpt_free_string(message);
    if (!module) return nullptr;
    return std::make_unique<OpenMptDecoder>(module);
}

// The run-time library must be the major version we built against, at least its minor.
bool libraryUsable()
{
    const uint32_t v = openmpt_get_library_version();
    return (v >> 24) == OPENMPT_API_VERSION_MAJOR && ((v >> 16) & 0xFF) >= OPENMPT_API_VERSION_MINOR;
}

} // namespace

void installOpenMptBackend(Platform& platform)
{
    platform.openModule = openModule;
    auto previous = platform.musicLibrariesUsable;
    platform.musicLibrariesUsable = [previous] { return (!previous || previous()) && libraryUsable(); };
}
