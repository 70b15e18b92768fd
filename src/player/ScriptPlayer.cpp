#include "player/ScriptPlayer.h"

#include <cmath>
#include <cstdio>

#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "platform/Platform.h"

namespace {
// The one player state; reset replaces it whole.
std::unique_ptr<PlayerState> g_player = std::make_unique<PlayerState>();

Clock& playerClock() { return *platform().clock; }

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

void playerReset() { g_player = std::make_unique<PlayerState>(); }

bool loadScript(const StringC& path)
{
    if (path.isNull() || path.length() == 0) return false;
    PlayerState& s = *g_player;
    s.scriptEngine.reset();  // stops the old script's music

    StringC previousDirectory;
    FileTools::getCurrentDirectory(previousDirectory);
    StringC directory, file;
    path.splitPath(directory, file);
    const bool changeDirectory = directory.length() > 0;
    if (changeDirectory) FileTools::setCurrentDirectory(directory);

    s.scriptEngine = std::make_unique<ScriptEngine>();
    s.scriptEngine->m_hWnd = s.window.get();
    s.scriptEngine->load(file);

    if (changeDirectory && !previousDirectory.isNull()) FileTools::setCurrentDirectory(previousDirectory);
    s.scriptEngine->start();
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
    if (s.scriptEngine)
        s.scriptEngine->render(&s.workImage);
    else
        s.workImage.clear(0);
    // Without a script there is no engine to ask for the time: the line shows 0.
    if (s.showFps) drawFpsText(s.scriptEngine ? s.scriptEngine->getTime() : 0);

    s.workImage.clearTopRow();
    s.workImage.clearBottomRow();
    s.workImage.clearLeftColumn();
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
    // The first frame closes an interval at once, so the line reads 1 from the start.
    const uint32_t now = playerClock().tickCount();
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
        default: break;
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
}
