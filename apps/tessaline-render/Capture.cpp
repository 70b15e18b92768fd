#include "Capture.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "foundation/FileTools.h"
#include "platform/Platform.h"

namespace {

constexpr size_t kSliceFrames = 4096;  // sound frames read from the music at once

} // namespace

Capture::~Capture() { abandon(); }

void Capture::abandon()
{
    for (Output& o : m_outputs) {
        o.writer.reset();
        std::error_code ec;
        std::filesystem::remove(o.tempPath, ec);
    }
    m_outputs.clear();
}

bool Capture::open(const MediaSettings& settings, std::unique_ptr<MusicDecoder> music, std::string& failure,
                   std::string& note)
{
    m_settings = settings;
    m_music = std::move(music);
    m_buffer.assign(kSliceFrames * kMusicChannels, 0.0f);
    const MediaWriterOpener& openWriter = platform().openMediaWriter;
    if (!openWriter) {
        failure = "captures are not available in this build";
        return false;
    }
    // Each writer is given the settings naming its one file, under the temporary name beside it.
    auto add = [&](const std::string& path, const std::string& tempPath, const MediaSettings& file) {
        Output o{path, tempPath, openWriter(file, failure, note)};
        if (!o.writer) {
            failure = path + ": " + failure;
            std::error_code ec;
            std::filesystem::remove(o.tempPath, ec);
            return false;
        }
        m_outputs.push_back(std::move(o));
        return true;
    };
    if (!settings.videoPath.empty()) {
        MediaSettings video = settings;
        video.videoPath = FileTools::temporaryPathBeside(settings.videoPath);
        video.wavPath.clear();
        if (!add(settings.videoPath, video.videoPath, video)) return false;
        m_hasVideo = true;
    }
    if (!settings.wavPath.empty()) {
        MediaSettings wav = settings;
        wav.videoPath.clear();
        wav.wavPath = FileTools::temporaryPathBeside(settings.wavPath);
        if (!add(settings.wavPath, wav.wavPath, wav)) return false;
    }
    return true;
}

bool Capture::addFrame(const uint32_t* pixels, int pitchPixels)
{
    if (m_hasVideo && !m_outputs.front().writer->addFrame(pixels, pitchPixels)) return false;
    ++m_frames;
    // The sound of frames 0..k ends at (k + 1) / fps seconds, rounded to the nearest sample.
    const __int128 num = m_settings.fpsNum;
    const __int128 end = (__int128(m_frames) * m_settings.fpsDen * kMusicRate * 2 + num) / (2 * num);
    return addSoundUpTo(static_cast<int64_t>(end));
}

bool Capture::addSoundUpTo(int64_t soundFrames)
{
    while (m_soundFrames < soundFrames) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(soundFrames - m_soundFrames, kSliceFrames));
        // Past the end of the music (or without music) the capture goes on in silence.
        const size_t got = m_music ? m_music->read(m_buffer.data(), n) : 0;
        std::fill(m_buffer.begin() + static_cast<std::ptrdiff_t>(got * kMusicChannels),
                  m_buffer.begin() + static_cast<std::ptrdiff_t>(n * kMusicChannels), 0.0f);
        for (Output& o : m_outputs)
            if (!o.writer->addAudio(m_buffer.data(), n)) return false;
        m_soundFrames += static_cast<int64_t>(n);
    }
    return true;
}

bool Capture::finish(std::string& failure)
{
    const auto interrupted = [this] { return m_settings.cancelled && m_settings.cancelled(); };
    for (Output& o : m_outputs) {
        if (!o.writer->finish() || interrupted()) {
            failure = interrupted() ? "interrupted" : "cannot complete " + o.finalPath;
            return false;
        }
    }
    // Test hook: the suite delivers a signal here, after the last write and before the renaming.
    if (const char* signal = std::getenv("TL_CAPTURE_TEST_RAISE")) std::raise(std::atoi(signal));
    if (interrupted()) {
        failure = "interrupted";
        return false;
    }
    for (Output& o : m_outputs) {
        std::error_code ec;
        std::filesystem::rename(o.tempPath, o.finalPath, ec);
        if (ec) {
            failure = "cannot write " + o.finalPath + ": " + ec.message();
            return false;
        }
    }
    m_outputs.clear();
    return true;
}
