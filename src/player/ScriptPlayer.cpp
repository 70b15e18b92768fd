#include "player/ScriptPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "control/LCXControllerKeyFramer.h"
#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "music/SoundManager.h"
#include "platform/Platform.h"

namespace {
Clock& playerClock() { return *platform().clock; }

// The script part of the command line: split at blank, comma, tab and newline, first token.
StringC firstToken(const std::string& commandLine)
{
    StringC line(commandLine.c_str());
    StringC token[1];
    if (line.tokenize(token, 1) < 1) return StringC();
    return token[0];
}

// The beats of the first key framer that has some: what the overlay counts.
std::vector<float> findBeats(ScriptEngine& engine)
{
    ScriptControllerManager& controllers = engine.getControllerManager();
    for (int i = 0; i < controllers.getCount(); ++i)
        if (auto* k = dynamic_cast<const LCXControllerKeyFramer*>(controllers.getController(i)))
            if (k->getBeatCount() > 0) return k->getBeats();
    return {};
}

// The 512 x 256 work image, centred on the 640 x 480 screen and scaled by 1.24 across (635
// columns) and 1.3 down (333 rows): the demo's own aspect, not the screen's, with bars.
constexpr float kWorkScaleX = 1.24f;
constexpr float kWorkScaleY = 1.3f;
} // namespace

void Player::enterScriptDirectory(const StringC& path, StringC& file)
{
    // The files opened while the script loads are the ones whose saves reload it; the watch
    // takes the script's path as the caller names it, before the directory changes.
    if (m_s.saveWatch) m_s.saveWatch->beginLoad(path.getName());
    StringC directory;
    FileTools::getCurrentDirectory(m_load.previousDirectory);
    path.splitPath(directory, file);
    m_load.changedDirectory = directory.length() > 0;
    if (m_load.changedDirectory) FileTools::setCurrentDirectory(directory);
}

void Player::leaveScriptDirectory()
{
    if (m_load.changedDirectory && !m_load.previousDirectory.isNull())
        FileTools::setCurrentDirectory(m_load.previousDirectory);
    m_load.changedDirectory = false;
}

void Player::loadInScriptDirectory(const StringC& path, const std::function<void(const StringC& file)>& load)
{
    StringC file;
    enterScriptDirectory(path, file);
    load(file);
    leaveScriptDirectory();
}

Player::~Player() { shutdown(); }

void Player::postQuit(int code)
{
    if (m_s.quitPosted) return;
    m_s.quitPosted = true;
    m_s.quitCode = code;
}

void Player::destroyMainWindow()
{
    if (m_s.windowDestroyed) return;
    m_s.windowDestroyed = true;
    if (m_s.screen) m_s.screen->release();
    if (m_s.window) m_s.window->destroy();
    postQuit(0);
}

void Player::restorePlatformClock()
{
    if (m_s.demoClock && platform().clock == m_s.demoClock) platform().clock = m_s.demoClock->base();
    m_s.demoClock.reset();
}

bool Player::beginScriptLoad(const StringC& path)
{
    if (path.isNull() || path.length() == 0) return false;
    PlayerState& s = m_s;
    // The old script's music stops; its decoded samples serve the new script if it plays the
    // same file (a reload, the same script dropped again).
    if (s.scriptEngine && s.scriptEngine->getSoundManager()) s.scriptEngine->getSoundManager()->keepMusicForNextLoads();
    s.scriptEngine.reset();
    // The directory stays entered until the last step: the engine opens the script's files
    // relative to it.
    StringC file;
    enterScriptDirectory(path, file);
    s.scriptEngine = std::make_unique<ScriptEngine>();
    s.scriptEngine->m_hWnd = s.window.get();
    s.scriptEngine->beginLoad(file);
    m_load.path = path;
    m_load.active = true;
    return true;
}

void Player::endScriptLoad()
{
    leaveScriptDirectory();
    if (m_s.saveWatch) m_s.saveWatch->endLoad(true);
    SoundManager::dropKeptMusic();
    m_load.active = false;
}

bool Player::loadStep()
{
    if (!m_load.active) return false;
    if (m_s.scriptEngine->loadStep()) return true;
    endScriptLoad();
    return false;
}

double Player::loadProgress() const
{
    return m_load.active ? m_s.scriptEngine->loadProgress() : 1.0;
}

void Player::startScript()
{
    PlayerState& s = m_s;
    s.scriptEngine->start();
    s.startTick = playerClock().tickCount();
    s.scriptPath = m_load.path.getName();
    if (s.dev) {
        s.beats = findBeats(*s.scriptEngine);
        // A paused demo stays paused across a new script.
        if (s.paused && s.scriptEngine->getSoundManager()) s.scriptEngine->getSoundManager()->pause(true);
    }
}

void Player::startDemo()
{
    while (loadStep()) {
    }
    if (!m_s.scriptEngine) return;
    startScript();
    if (m_load.startMs > 0) seekDemo(m_load.startMs);
}

bool Player::loadScript(const StringC& path)
{
    if (!beginScriptLoad(path)) return false;
    while (loadStep()) {
    }
    startScript();
    return true;
}

void Player::onDropFiles(const std::string& firstPath)
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

void Player::drawFpsText(int demoMs)
{
    char line[64];
    std::snprintf(line, sizeof line, "fps: %d %d", static_cast<int>(m_s.fps), demoMs);
    if (m_s.screen) m_s.screen->drawText(line, 10, 30);
}

std::optional<int> frameBeforeMs(int t, int fpsNum, int fpsDen)
{
    if (t <= 0 || fpsNum <= 0 || fpsDen <= 0) return std::nullopt;
    // floor((t x num - 1000 x den) / num), exactly.
    const int64_t scaled = int64_t(t) * fpsNum - int64_t(1000) * fpsDen;
    if (scaled <= 0) return 0;
    return static_cast<int>(scaled / fpsNum);
}

void Player::renderUnshownFrame(int demoMs)
{
    if (m_s.scriptEngine) m_s.scriptEngine->render(&m_s.workImage, demoMs);
}

void Player::composeFrame()
{
    PlayerState& s = m_s;
    // The demo time is read once: the frame, its overlays and the end check see one instant.
    int demoMs = demoTime();
    // A loop section on: past its end the demo goes back to its start (setLoopEnd keeps the
    // start before the end, so the jump lands inside the section).
    if (s.looping && s.scriptEngine && s.loopStart < s.loopEnd && demoMs >= s.loopEnd) {
        seekDemo(s.loopStart - demoMs);
        demoMs = demoTime();
    }
    // After a jump the frame a run at the player's rate shows before this one comes first.
    if (s.jumped) {
        s.jumped = false;
        if (const std::optional<int> before = frameBeforeMs(demoMs, kPlayerFps, 1)) renderUnshownFrame(*before);
    }
    if (s.scriptEngine)
        s.scriptEngine->render(&s.workImage, demoMs);
    else
        s.workImage.clear(0);
    // Without a script there is no engine to ask for the time: the line shows 0.
    if (s.showFps) drawFpsText(demoMs);
    if (s.dev) drawDevOverlay(demoMs);

    s.workImage.clearTopRow();
    s.workImage.clearBottomRow();
    s.workImage.clearLeftColumn();
    s.workImage.blitScaled(&s.screenImage, 320.0f, 240.0f, kWorkScaleX, kWorkScaleY, kBlendNormal, nullptr, 1.0f, true);

    if (s.scriptEngine && demoMs > kDemoEndMs) postClose();
}

void Player::renderFrame()
{
    DirectDrawScreen* screen = m_s.screen.get();
    if (!screen) return;
    uint32_t* memory = screen->lock();
    if (!memory) {
        screen->restore();
        return;
    }
    PlayerState& s = m_s;
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

void Player::wndProc(const WindowEvent& event)
{
    PlayerState& s = m_s;
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

bool Player::startup(const PlayerOptions& options)
{
    PlayerState& s = m_s;
    s.dev = options.dev;
    m_stopRequested = options.stopRequested;
    if (options.dev) m_sourceBuilder = options.sourceBuilder;
    if (options.dev && platform().createFileWatcher) {
        if (auto watcher = platform().createFileWatcher()) s.saveWatch = std::make_unique<SaveWatch>(std::move(watcher));
        if (s.saveWatch && m_sourceBuilder.isSource && m_sourceBuilder.build) s.saveWatch->watchSources(m_sourceBuilder.isSource);
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
    // A screen that fails for good ends the player as a closed window does.
    s.screen->setFailureHandler([this] { destroyMainWindow(); });
    s.screen->init(s.window.get(), kScreenWidth, kScreenHeight, kFullScreenDepth, desktopDepth, options.fullScreen);
    s.window->showCursor(false);
    s.workImage.create(kWorkWidth, kWorkHeight);

    StringC path = options.scriptPath.empty() ? firstToken(options.commandLine) : StringC(options.scriptPath.c_str());
    if (path.isNull()) {
        StringC found;
        if (FileTools::findFirstFile(found, StringC(kScriptExtension))) path = found;
    }
    // The authoring mode builds what is out of date first, as tessaline-build does.
    if (!path.isNull() && options.dev && m_sourceBuilder.buildOutOfDate) {
        std::string script = path.getName();
        std::replace(script.begin(), script.end(), '\\', '/');
        std::error_code ec;
        std::filesystem::path dir = std::filesystem::absolute(std::filesystem::path(script), ec).parent_path();
        std::vector<std::string> errors;
        for (const std::string& built : m_sourceBuilder.buildOutOfDate(dir.string(), errors))
            std::fprintf(stderr, "tessaline: built %s\n", std::filesystem::path(built).lexically_relative(dir).string().c_str());
        std::string root = dir.string();
        if (!root.empty() && root.back() != '/') root += '/';
        showBuildErrors(std::move(errors), root);
    }
    if (options.loadInSteps) {
        m_load.startMs = options.startMs;
        beginScriptLoad(path);
        return true;
    }
    if (!path.isNull()) loadScript(path);
    if (options.startMs > 0) seekDemo(options.startMs);
    return true;
}

bool Player::handleMessages()
{
    PlayerState& s = m_s;
    WindowEvent event;
    for (;;) {
        // Posted messages and all waiting window events come before any frame.
        if (fatalErrorPosted()) {
            s.quitPosted = true;
            s.quitCode = 1;
        }
        if (m_stopRequested && m_stopRequested()) return false;
        if (s.quitPosted) return false;
        if (s.closePosted) {
            s.closePosted = false;
            wndProc(WindowEvent{WindowEventType::Close, 0, {}});
            continue;
        }
        if (s.window && !s.windowDestroyed && s.window->pollEvent(event)) {
            wndProc(event);
            continue;
        }
        return true;
    }
}

int Player::run()
{
    PlayerState& s = m_s;
    while (handleMessages()) {
        if (!s.active) {
            if (s.window) s.window->waitEvent(10);
            continue;
        }
        reloadOnSave();
        // One frame, then wait until the frame period has passed since it began.
        const uint32_t frameStart = playerClock().timeMs();
        renderFrame();
        for (;;) {
            const float elapsed = static_cast<float>(playerClock().timeMs() - frameStart);
            if (elapsed >= kPlayerFrameMs) break;
            playerClock().sleepMs(static_cast<uint32_t>(std::ceil(kPlayerFrameMs - elapsed)));
        }
    }
    return s.quitCode;
}

void Player::shutdown()
{
    PlayerState& s = m_s;
    s.scriptEngine.reset();
    if (s.screen) s.screen->release();
    s.screen.reset();
    s.window.reset();
    restorePlatformClock();
}
