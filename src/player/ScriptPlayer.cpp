#include "player/ScriptPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "control/LCXControllerKeyFramer.h"
#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "image/PngWriter.h"
#include "music/SoundManager.h"
#include "platform/Platform.h"

namespace {
// The one player state; reset replaces it whole.
std::unique_ptr<PlayerState> g_player = std::make_unique<PlayerState>();

Clock& playerClock() { return *platform().clock; }

// The overlay's two lines in the band below the picture: the last action's note, then the status.
constexpr int kNoteLineY = 442;
constexpr int kStatusLineY = 456;

// The script part of the command line: split at blank, comma, tab and newline, first token.
StringC firstToken(const std::string& commandLine)
{
    StringC line(commandLine.c_str());
    StringC token[1];
    if (line.tokenize(token, 1) < 1) return StringC();
    return token[0];
}
} // namespace

PlayerState& playerState() { return *g_player; }

DirectDrawScreen* playerScreen() { return g_player->screen.get(); }

const CImage32Buffered& playerWorkImage() { return g_player->workImage; }

void postClose() { g_player->closePosted = true; }

void postQuit(int code)
{
    PlayerState& s = *g_player;
    if (s.quitPosted) return;
    s.quitPosted = true;
    s.quitCode = code;
}

bool quitPosted() { return g_player->quitPosted; }

bool closePending() { return g_player->closePosted; }

void destroyMainWindow()
{
    PlayerState& s = *g_player;
    if (s.windowDestroyed) return;
    s.windowDestroyed = true;
    if (s.screen) s.screen->release();
    if (s.window) s.window->destroy();
    postQuit(0);
}

// Puts the platform clock back when the player had put its demo clock in its place.
void restorePlatformClock()
{
    PlayerState& s = *g_player;
    if (s.demoClock && platform().clock == s.demoClock) platform().clock = s.demoClock->base();
    s.demoClock.reset();
}

void playerReset()
{
    restorePlatformClock();
    g_player = std::make_unique<PlayerState>();
}

namespace {
// The beats of the first key framer that has some: what the overlay counts.
std::vector<float> findBeats(ScriptEngine& engine)
{
    ScriptControllerManager& controllers = engine.getControllerManager();
    for (int i = 0; i < controllers.getCount(); ++i)
        if (auto* k = dynamic_cast<const LCXControllerKeyFramer*>(controllers.getController(i)))
            if (k->getBeatCount() > 0) return k->getBeats();
    return {};
}
} // namespace

bool loadScript(const StringC& path)
{
    if (path.isNull() || path.length() == 0) return false;
    PlayerState& s = *g_player;
    // The old script's music stops; its decoded samples serve the new script if it plays the
    // same file (a reload, the same script dropped again).
    if (s.scriptEngine && s.scriptEngine->getSoundManager()) s.scriptEngine->getSoundManager()->keepMusicForNextLoads();
    s.scriptEngine.reset();

    StringC previousDirectory;
    FileTools::getCurrentDirectory(previousDirectory);
    StringC directory, file;
    path.splitPath(directory, file);
    const bool changeDirectory = directory.length() > 0;
    if (changeDirectory) FileTools::setCurrentDirectory(directory);

    // The files opened while the script loads are the ones whose saves reload it.
    if (s.saveWatch) s.saveWatch->beginLoad(path.getName());
    s.scriptEngine = std::make_unique<ScriptEngine>();
    s.scriptEngine->m_hWnd = s.window.get();
    s.scriptEngine->load(file);
    if (s.saveWatch) s.saveWatch->endLoad(true);

    if (changeDirectory && !previousDirectory.isNull()) FileTools::setCurrentDirectory(previousDirectory);
    SoundManager::dropKeptMusic();
    s.scriptEngine->start();
    s.startTick = playerClock().tickCount();
    s.scriptPath = path.getName();
    if (s.dev) {
        s.beats = findBeats(*s.scriptEngine);
        // A paused demo stays paused across a new script.
        if (s.paused && s.scriptEngine->getSoundManager()) s.scriptEngine->getSoundManager()->pause(true);
    }
    return true;
}

void onDropFiles(const std::string& firstPath)
{
    if (firstPath.empty()) return;
    const StringC path(firstPath.c_str());
    if (StringC(".lscx").isFoundIn(path)) {
        loadScript(path);
        return;
    }
    const StringC text = StringC("Can't load File: ") + path;
    reportMessage("ScriptPlayer:", text.getName());
}

void drawFpsText(int time)
{
    char line[64];
    std::snprintf(line, sizeof line, "fps: %d %d", static_cast<int>(g_player->fps), time);
    if (g_player->screen) g_player->screen->drawText(line, 10, 30);
}

void composeFrame()
{
    PlayerState& s = *g_player;
    // A loop section on: past its end the demo goes back to its start (setLoopEnd keeps the
    // start before the end, so the jump lands inside the section).
    if (s.looping && s.scriptEngine && s.loopStart < s.loopEnd && demoTime() >= s.loopEnd)
        seekDemo(s.loopStart - demoTime());
    if (s.scriptEngine)
        s.scriptEngine->render(&s.workImage);
    else
        s.workImage.clear(0);
    // Without a script there is no engine to ask for the time: the line shows 0.
    if (s.showFps) drawFpsText(s.scriptEngine ? s.scriptEngine->getTime() : 0);
    if (s.dev) drawDevOverlay();

    s.workImage.clearTopRow();
    s.workImage.clearBottomRow();
    s.workImage.clearLeftColumn();
    // The 512 x 256 work image, centred on the 640 x 480 screen and scaled by 1.24 across (635
    // columns) and 1.3 down (333 rows): the demo's own aspect, not the screen's, with bars.
    s.workImage.blitScaled(&s.screenImage, 320.0f, 240.0f, 1.24f, 1.3f, kBlendNormal, nullptr, 1.0f, true);

    if (s.scriptEngine && s.scriptEngine->getTime() > kDemoEndMs) postClose();
}

void renderFrame(DirectDrawScreen* screen)
{
    if (!screen) return;
    uint32_t* memory = screen->lock();
    if (!memory) {
        screen->restore();
        return;
    }
    PlayerState& s = *g_player;
    s.screenImage.setData(kScreenWidth, kScreenHeight, memory);

    // The fps value is the plain count of frames in the last interval of more than 1000 ms.
    // The first frame closes an interval at once, so the line reads 1 from the start. It counts
    // on the system's ticks, which a paused demo clock does not hold.
    const uint32_t now = s.demoClock ? s.demoClock->base()->tickCount() : playerClock().tickCount();
    ++s.frameCounter;
    if (!s.lastFpsTick || now - *s.lastFpsTick > 1000) {
        s.lastFpsTick = now;
        s.fps = static_cast<float>(s.frameCounter);
        s.frameCounter = 0;
    }

    composeFrame();
    screen->unlock();
    screen->present();
}

void playerWndProc(const WindowEvent& event)
{
    PlayerState& s = *g_player;
    switch (event.type) {
    case WindowEventType::Close:
    case WindowEventType::Quit:
        // Default processing of a close destroys the window, which releases the screen and quits.
        destroyMainWindow();
        break;
    case WindowEventType::Minimized:
        s.active = false;
        break;
    case WindowEventType::Restored:
        s.active = true;
        break;
    case WindowEventType::KeyDown:
        switch (event.key) {
        case kKeyEscape: postClose(); break;
        case kKeyI:
        case kKeyF9: s.showFps = !s.showFps; break;
        case kKeyF12:
            if (s.screen) s.screen->toggleFullScreen();
            break;
        default:
            if (s.dev) devKey(event);
            break;
        }
        break;
    case WindowEventType::DropFile:
        onDropFiles(event.path);
        break;
    }
}

bool playerStartup(const PlayerOptions& options)
{
    PlayerState& s = *g_player;
    s.dev = options.dev;
    if (options.dev && platform().createFileWatcher) {
        if (auto watcher = platform().createFileWatcher()) s.saveWatch = std::make_unique<SaveWatch>(std::move(watcher));
    }
    if (options.dev || options.startMs > 0) {
        // The demo clock stands in for the platform's until shutdown.
        s.demoClock = std::make_shared<DemoClock>(platform().clock);
        platform().clock = s.demoClock;
    }
    auto& createWindow = platform().createWindow;
    s.window = createWindow ? createWindow(kWindowCaption, kScreenWidth, kScreenHeight, options.fullScreen) : nullptr;
    if (!s.window) return false;
    const int desktopDepth = s.window->desktopBitDepth();

    s.screen = std::make_unique<DirectDrawScreen>();
    s.screen->init(s.window.get(), kScreenWidth, kScreenHeight, kFullScreenDepth, desktopDepth, options.fullScreen);
    s.window->showCursor(false);
    s.workImage.create(kWorkWidth, kWorkHeight);

    StringC path = options.scriptPath.empty() ? firstToken(options.commandLine) : StringC(options.scriptPath.c_str());
    if (path.isNull()) {
        StringC found;
        if (FileTools::findFirstFile(found, StringC(kScriptExtension))) path = found;
    }
    if (!path.isNull()) loadScript(path);
    if (options.startMs > 0) seekDemo(options.startMs);
    return true;
}

int playerRun()
{
    WindowEvent event;
    for (;;) {
        PlayerState& s = *g_player;
        // Posted messages and all waiting window events come before any frame.
        if (fatalErrorPosted()) {
            s.quitPosted = true;
            s.quitCode = 1;
        }
        if (s.quitPosted) break;
        if (s.closePosted) {
            s.closePosted = false;
            playerWndProc(WindowEvent{WindowEventType::Close, 0, {}});
            continue;
        }
        if (s.window && !s.windowDestroyed && s.window->pollEvent(event)) {
            playerWndProc(event);
            continue;
        }
        if (!s.active) {
            if (s.window) s.window->waitEvent(10);
            continue;
        }
        reloadOnSave();
        // One frame, then wait until the frame period has passed since it began.
        const uint32_t frameStart = playerClock().timeMs();
        renderFrame(s.screen.get());
        for (;;) {
            const float elapsed = static_cast<float>(playerClock().timeMs() - frameStart);
            if (elapsed >= kPlayerFrameMs) break;
            playerClock().sleepMs(static_cast<uint32_t>(std::ceil(kPlayerFrameMs - elapsed)));
        }
    }
    return g_player->quitCode;
}

void playerShutdown()
{
    PlayerState& s = *g_player;
    s.scriptEngine.reset();
    if (s.screen) s.screen->release();
    s.screen.reset();
    s.window.reset();
    restorePlatformClock();
}

// ---------------------------------------------------------------------------------------------
// The authoring mode

int demoTime()
{
    const PlayerState& s = *g_player;
    return s.scriptEngine ? s.scriptEngine->getTime() : 0;
}

void seekDemo(int deltaMs)
{
    PlayerState& s = *g_player;
    if (!s.scriptEngine || !s.demoClock) return;
    // The demo's own time (the renderer's virtual time) does not go below its start.
    const int64_t elapsed = static_cast<int32_t>(s.demoClock->tickCount() - s.startTick);
    const int64_t target = std::max<int64_t>(0, elapsed + deltaMs);
    const int32_t delta = static_cast<int32_t>(target - elapsed);
    SoundManager* music = s.scriptEngine->getSoundManager();
    const int musicTime = music ? music->getTime() : 0;
    s.demoClock->shift(delta);
    if (music) music->seek(musicTime + delta);
}

void pauseDemo(bool paused)
{
    PlayerState& s = *g_player;
    if (!s.demoClock || paused == s.paused) return;
    s.paused = paused;
    s.demoClock->pause(paused);
    if (s.scriptEngine && s.scriptEngine->getSoundManager()) s.scriptEngine->getSoundManager()->pause(paused);
}

bool reloadScript(const std::string& saved)
{
    PlayerState& s = *g_player;
    if (s.scriptPath.empty()) return false;
    const StringC path(s.scriptPath.c_str());
    // A trial load first, without an audio device (the running demo holds it): the running demo
    // is replaced only by a script that loads without a single report.
    const unsigned long reportsBefore = reportCount();
    const bool fatalBefore = fatalErrorPosted();
    {
        // The trial plays the running music's decoded samples if it names the same file.
        if (s.scriptEngine && s.scriptEngine->getSoundManager()) s.scriptEngine->getSoundManager()->keepMusicForNextLoads();
        StringC previousDirectory, directory, file;
        FileTools::getCurrentDirectory(previousDirectory);
        path.splitPath(directory, file);
        if (s.saveWatch) s.saveWatch->beginLoad(path.getName());
        if (directory.length() > 0) FileTools::setCurrentDirectory(directory);
        // The trial's own recording controllers hold nothing worth writing: writing them when it
        // ends would replace the maker's recordings with empty ones.
        const bool recordingsAllowed = LCXControllerRecordable::recordingsAllowed();
        LCXControllerRecordable::setRecordingsAllowed(false);
        {
            ScriptEngine trial;
            trial.m_hWnd = s.window.get();
            trial.m_musicOnDevice = false;
            trial.load(file);
        }
        LCXControllerRecordable::setRecordingsAllowed(recordingsAllowed);
        if (directory.length() > 0 && !previousDirectory.isNull()) FileTools::setCurrentDirectory(previousDirectory);
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

void reloadOnSave()
{
    PlayerState& s = *g_player;
    if (!s.saveWatch) return;
    const uint32_t now = s.demoClock ? s.demoClock->timeMs() : playerClock().timeMs();
    const std::vector<std::string> saved = s.saveWatch->poll(now);
    if (saved.empty()) return;
    std::string names = saved.front();
    if (saved.size() > 1) names += " and " + std::to_string(saved.size() - 1) + " more";
    reloadScript(names);
}

void setLoopEnd(bool start, int ms)
{
    PlayerState& s = *g_player;
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

std::string saveWorkImage()
{
    PlayerState& s = *g_player;
    if (s.scriptPath.empty()) return {};
    // The script path may use either separator.
    std::string script = s.scriptPath;
    std::replace(script.begin(), script.end(), '\\', '/');
    const std::filesystem::path p(script);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "-%06d.png", std::max(demoTime(), 0));
    std::filesystem::path out = p.parent_path() / p.stem();
    out += suffix;
    std::vector<uint8_t> rgb;
    if (!writePngRgb(out.string().c_str(), s.workImage.m_pPixels, s.workImage.m_width, s.workImage.m_height,
                     s.workImage.m_width, rgb)) {
        s.note = "cannot write " + out.filename().string();
        return {};
    }
    s.note = "saved " + out.filename().string();
    std::fprintf(stderr, "tessaline: saved %s\n", out.string().c_str());
    return out.string();
}

void drawDevOverlay()
{
    PlayerState& s = *g_player;
    if (!s.screen) return;
    const int t = demoTime();
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

void devKey(const WindowEvent& event)
{
    PlayerState& s = *g_player;
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
