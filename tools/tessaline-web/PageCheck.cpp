#include "PageCheck.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/openmpt/OpenMptBackend.h"
#include "control/LCXController.h"
#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "platform/Platform.h"
#include "script/ScriptEngine.h"

namespace fs = std::filesystem;

namespace {

// The path as the engine opened it (relative to the directory of the script), made absolute
// while that directory is current.
std::string absolute(const std::string& path)
{
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

struct Opened {
    std::string path;
    std::string codec;
};

} // namespace

PageCheck checkForPage(const fs::path& root, const fs::path& script, const std::vector<std::string>& pageDecoders)
{
    PageCheck check;
    auto opened = std::make_shared<std::vector<Opened>>();
    Platform p;
    installHeadlessBackend(p, std::make_shared<VirtualClock>());
    installOpenMptBackend(p);
    installFfmpegBackend(p);
    // The files the engine opens as video or as a stream, with their codecs: the modules'
    // library is the page's own, FFmpeg's decoders are not all there.
    p.openVideo = [inner = p.openVideo, opened](const std::string& path) {
        auto decoder = inner ? inner(path) : nullptr;
        if (decoder) opened->push_back({absolute(path), decoder->codecName()});
        return decoder;
    };
    p.openStream = [inner = p.openStream, opened](const std::string& path) {
        auto decoder = inner ? inner(path) : nullptr;
        if (decoder) opened->push_back({absolute(path), decoder->codecName()});
        return decoder;
    };
    Platform previous = installPlatform(std::move(p));

    setReportEcho(false);
    setReportObserver([&](ReportKind kind, const char* caption, const char* text) {
        check.reports.push_back(reportLine(kind, caption, text));
    });
    const bool recordings = LCXControllerRecordable::recordingsAllowed();
    LCXControllerRecordable::setRecordingsAllowed(false);  // the page writes none
    StringC before;
    FileTools::getCurrentDirectory(before);
    FileTools::setCurrentDirectory(StringC(script.parent_path().string().c_str()));
    {
        ScriptEngine engine;
        engine.m_musicOnDevice = false;
        engine.load(StringC(script.filename().string().c_str()));
    }
    if (!before.isNull()) FileTools::setCurrentDirectory(before);
    LCXControllerRecordable::setRecordingsAllowed(recordings);
    setReportObserver(nullptr);
    setReportEcho(true);
    clearFatalError();
    installPlatform(std::move(previous));

    if (pageDecoders.empty()) return check;
    std::set<std::string> codecs;
    for (const std::string& d : pageDecoders) codecs.insert(ffmpegCodecOfDecoder(d));
    std::set<std::string> told;
    for (const Opened& o : *opened) {
        if (o.codec.empty() || codecs.count(o.codec)) continue;
        std::error_code ec;
        std::string name = fs::relative(o.path, root, ec).generic_string();
        if (ec || name.empty()) name = o.path;
        if (told.insert(name).second) check.undecodable.push_back(name + ": " + o.codec);
    }
    return check;
}
