#include "backends/openmpt/OpenMptBackend.h"

#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_version.h>

#include <cstdio>
#include <vector>

#include "platform/Platform.h"

namespace {

// Larger files are not taken for modules (the largest real ones are a few tens of MB).
constexpr long kMaxModuleBytes = 64L << 20;

class OpenMptDecoder : public MusicDecoder {
public:
    explicit OpenMptDecoder(openmpt_module* module) : m_module(module) {}
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

private:
    openmpt_module* m_module;
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
