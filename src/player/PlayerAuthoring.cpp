// The player's authoring mode (--dev): seeking, pause, the loop section, reload (by R and on
// save), saving the work image and the overlay line.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "control/LCXControllerKeyFramer.h"
#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "image/PngWriter.h"
#include "music/SoundManager.h"
#include "platform/Platform.h"
#include "player/ScriptPlayer.h"

namespace {
// The overlay's two lines in the band below the picture: the last action's note, then the status.
constexpr int kNoteLineY = 442;
constexpr int kStatusLineY = 456;

// Writes `image` as the PNG file `name` of the folder tree of `folder`: only inside that tree,
// and only over a file.
bool writeImageInsideTree(const CImage32& image, const std::string& folder, const std::string& name)
{
    namespace fs = std::filesystem;
    // Written under a temporary name beside the target (whatever the tree holds there removed
    // first) and renamed when complete, which replaces a link of that name rather than writing
    // through it.
    const std::string target = FileTools::resolveTargetInsideTree(folder.c_str(), name.c_str());
    if (target.empty()) return false;
    std::error_code ec;
    const fs::file_status existing = fs::status(target, ec);
    if (fs::exists(existing) && !fs::is_regular_file(existing)) return false;
    const std::string temporary = FileTools::temporaryPathBeside(target);
    if (!FileTools::clearForWriting(temporary)) return false;
    std::vector<uint8_t> rgb;
    if (writePngRgb(temporary.c_str(), image.m_pPixels, image.m_width, image.m_height, image.m_width, rgb)) {
        fs::rename(temporary, target, ec);
        if (!ec) return true;
    }
    fs::remove(temporary, ec);
    return false;
}
} // namespace

int Player::demoTime() const
{
    const PlayerState& s = m_s;
    return s.scriptEngine ? s.scriptEngine->getTime() : 0;
}

void Player::seekDemo(int deltaMs)
{
    PlayerState& s = m_s;
    if (!s.scriptEngine || !s.demoClock) return;
    // The demo's own time (the renderer's virtual time) does not go below its start.
    const int64_t elapsed = static_cast<int32_t>(s.demoClock->tickCount() - s.startTick);
    const int64_t target = std::max<int64_t>(0, elapsed + deltaMs);
    const int32_t delta = static_cast<int32_t>(target - elapsed);
    SoundManager* music = s.scriptEngine->getSoundManager();
    const int musicTime = music ? music->getTime() : 0;
    s.demoClock->shift(delta);
    if (music) music->seek(musicTime + delta);
    s.jumped = true;
}

void Player::pauseDemo(bool paused)
{
    PlayerState& s = m_s;
    if (!s.demoClock || paused == s.paused) return;
    s.paused = paused;
    s.demoClock->pause(paused);
    if (s.scriptEngine && s.scriptEngine->getSoundManager()) s.scriptEngine->getSoundManager()->pause(paused);
}

bool Player::reloadScript(const std::string& saved)
{
    PlayerState& s = m_s;
    if (s.scriptPath.empty()) return false;
    const StringC path(s.scriptPath.c_str());
    // A trial load first, without an audio device (the running demo holds it): the running demo
    // is replaced only by a script that loads without a single report.
    const unsigned long reportsBefore = reportCount();
    const bool fatalBefore = fatalErrorPosted();
    {
        // The trial plays the running music's decoded samples if it names the same file.
        if (s.scriptEngine && s.scriptEngine->getSoundManager()) s.scriptEngine->getSoundManager()->keepMusicForNextLoads();
        // The trial's own recording controllers hold nothing worth writing: writing them when it
        // ends would replace the maker's recordings with empty ones.
        const bool recordingsAllowed = LCXControllerRecordable::recordingsAllowed();
        LCXControllerRecordable::setRecordingsAllowed(false);
        loadInScriptDirectory(path, [&](const StringC& file) {
            ScriptEngine trial;
            trial.m_hWnd = s.window.get();
            trial.m_musicOnDevice = false;
            trial.load(file);
        });
        LCXControllerRecordable::setRecordingsAllowed(recordingsAllowed);
        SoundManager::dropKeptMusic();
    }
    const unsigned long problems = reportCount() - reportsBefore;
    if (problems > 0) {
        // The refused script's files are watched too: a fix of any of them tries again.
        if (s.saveWatch) s.saveWatch->endLoad(false);
        if (!fatalBefore) clearFatalError();  // the running demo goes on
        char text[160];
        std::snprintf(text, sizeof text, "%s%s%lu report(s), the running demo goes on", saved.empty() ? "reload" : saved.c_str(),
                      saved.empty() ? ": " : " saved: ", problems);
        s.note = text;
        return reportWarning("ScriptPlayer:", text, false);
    }
    const int keep = demoTime();
    loadScript(path);
    seekDemo(keep - demoTime());
    s.note = saved.empty() ? "reloaded" : "reloaded: " + saved + " saved";
    return true;
}

void Player::reloadOnSave()
{
    PlayerState& s = m_s;
    if (!s.saveWatch) return;
    const uint32_t now = s.demoClock ? s.demoClock->timeMs() : platform().clock->timeMs();
    const std::vector<std::string> saved = s.saveWatch->poll(now);
    if (saved.empty()) return;
    // Saved text sources are built first; an error keeps the running demo and is shown with
    // its file (relative to the script's directory) and line.
    std::vector<std::string> rebuilt, errors;
    for (const std::string& name : saved) {
        if (!s.saveWatch->isSource(name)) continue;
        if (std::optional<std::string> target = m_sourceBuilder.build(s.saveWatch->pathOf(name), errors))
            rebuilt.push_back(*target);
    }
    s.saveWatch->forgetSaves(rebuilt);
    if (!errors.empty()) return showBuildErrors(std::move(errors), s.saveWatch->root());
    std::string names = saved.front();
    if (saved.size() > 1) names += " and " + std::to_string(saved.size() - 1) + " more";
    reloadScript(names);
}

void Player::showBuildErrors(std::vector<std::string> errors, const std::string& root)
{
    if (errors.empty()) return;
    for (std::string& e : errors) {
        if (!root.empty() && e.compare(0, root.size(), root) == 0) e.erase(0, root.size());
        std::fprintf(stderr, "tessaline: %s\n", e.c_str());
    }
    m_s.note = errors.front() + (errors.size() > 1 ? " (" + std::to_string(errors.size() - 1) + " more)" : "");
}

void Player::setLoopEnd(bool start, int ms)
{
    PlayerState& s = m_s;
    (start ? s.loopStart : s.loopEnd) = ms;
    if (s.loopStart < 0 || s.loopEnd < 0) return;
    if (s.loopStart > s.loopEnd) {
        // The two marks were set the other way round: they still name one section.
        std::swap(s.loopStart, s.loopEnd);
        s.note = "loop start after its end: swapped";
    } else if (s.loopStart == s.loopEnd) {
        // Nothing to loop over: the loop would jump back on every frame.
        s.looping = false;
        s.note = "loop start = end: loop off";
    }
}

std::string Player::saveWorkImage()
{
    PlayerState& s = m_s;
    if (s.scriptPath.empty()) return {};
    // The script path may use either separator.
    std::string script = s.scriptPath;
    std::replace(script.begin(), script.end(), '\\', '/');
    const std::filesystem::path p(script);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "-%06d.png", std::max(demoTime(), 0));
    std::filesystem::path out = p.parent_path() / p.stem();
    out += suffix;
    const std::string name = out.filename().string();
    if (!writeImageInsideTree(s.workImage, p.has_parent_path() ? p.parent_path().string() : ".", name)) {
        s.note = "cannot write " + name;
        return {};
    }
    s.note = "saved " + name;
    std::fprintf(stderr, "tessaline: saved %s\n", out.string().c_str());
    return out.string();
}

void Player::drawDevOverlay(int demoMs)
{
    PlayerState& s = m_s;
    if (!s.screen) return;
    const int t = demoMs;
    char beat[24] = "-";
    if (!s.beats.empty()) {
        // Beats at or before the time, so the first beat counts 1 from its own time on.
        const size_t passed = std::upper_bound(s.beats.begin(), s.beats.end(), static_cast<float>(t)) - s.beats.begin();
        std::snprintf(beat, sizeof beat, "%zu/%zu", passed, s.beats.size());
    }
    char loop[48] = "loop -";
    if (s.loopStart >= 0 || s.loopEnd >= 0)
        std::snprintf(loop, sizeof loop, "loop %s %.3f-%.3f", s.looping ? "on" : "off", s.loopStart / 1000.0,
                      s.loopEnd / 1000.0);
    char line[160];
    std::snprintf(line, sizeof line, "%s %9.3f s  beat %-9s %3d fps  %s", s.paused ? "||" : "> ", t / 1000.0, beat,
                  static_cast<int>(s.fps), loop);
    // Lines of constant length, so a shorter one leaves nothing of the last behind. The note
    // of the last action has the line above to itself.
    char padded[96];
    std::snprintf(padded, sizeof padded, "%-88.88s", s.note.c_str());
    s.screen->drawText(padded, 10, kNoteLineY);
    std::snprintf(padded, sizeof padded, "%-88.88s", line);
    s.screen->drawText(padded, 10, kStatusLineY);
}

void Player::devKey(const WindowEvent& event)
{
    PlayerState& s = m_s;
    const int step = event.shift ? 10000 : 1000;
    switch (event.key) {
    case kKeySpace: pauseDemo(!s.paused); break;
    case kKeyLeft: seekDemo(-step); break;
    case kKeyRight: seekDemo(step); break;
    case kKeyOpenBracket: setLoopEnd(true, demoTime()); break;
    case kKeyCloseBracket: setLoopEnd(false, demoTime()); break;
    case kKeyL:
        if (s.loopStart >= 0 && s.loopStart < s.loopEnd)
            s.looping = !s.looping;
        else
            s.note = "set [ before ] first";
        break;
    case kKeyR: reloadScript(); break;
    case kKeyS: saveWorkImage(); break;
    default: break;
    }
}
