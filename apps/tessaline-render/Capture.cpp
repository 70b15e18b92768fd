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

bool Capture::open(const CaptureRequest& request, std::unique_ptr<MusicDecoder> music, std::string& failure,
                   std::string& note)
{
    m_request = request;
    m_music = std::move(music);
    m_buffer.assign(kSliceFrames * kMusicChannels, 0.0f);
    const MediaWriterOpener& openWriter = platform().openMediaWriter;
    if (!openWriter) {
        failure = "captures are not available in this build";
        return false;
    }
    auto add = [&](const std::string& path, MediaSettings settings) {
        settings.path = FileTools::temporaryPathBeside(path);
        Output o{path, settings.path, openWriter(settings, failure, note)};
        if (!o.writer) {
            failure = path + ": " + failure;
            std::error_code ec;
            std::filesystem::remove(o.tempPath, ec);
            return false;
        }
        m_outputs.push_back(std::move(o));
        return true;
    };
    MediaSettings s;
    s.width = request.width;
    s.height = request.height;
    s.fpsNum = request.fpsNum;
    s.fpsDen = request.fpsDen;
    s.cancelled = request.interrupted;
    if (!request.videoPath.empty()) {
        s.container = request.container;
        s.lossless = request.lossless;
        s.outWidth = request.outWidth;
        s.outHeight = request.outHeight;
        s.scale = request.scale;
        s.crf = request.crf;
        s.preset = request.preset;
        if (!add(request.videoPath, s)) return false;
        m_hasVideo = true;
    }
    if (!request.wavPath.empty()) {
        MediaSettings w = s;
        w.container = MediaContainer::Wav;
        w.lossless = false;
        w.video = false;
        if (!add(request.wavPath, w)) return false;
    }
    return true;
}

bool Capture::addFrame(const uint32_t* pixels, int pitchPixels)
{
    if (m_hasVideo && !m_outputs.front().writer->addFrame(pixels, pitchPixels)) return false;
    ++m_frames;
    // The sound of frames 0..k ends at (k + 1) / fps seconds, rounded to the nearest sample.
    const __int128 num = m_request.fpsNum;
    const __int128 end = (__int128(m_frames) * m_request.fpsDen * kMusicRate * 2 + num) / (2 * num);
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
    const auto interrupted = [this] { return m_request.interrupted && m_request.interrupted(); };
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
