#include "player/ScriptPlayer.h"

#include <cmath>
#include <cstdio>

#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "platform/Platform.h"

CImage32Buffered g_workImage;
CImage32External g_screenImage;
std::unique_ptr<ScriptEngine> g_scriptEngine;
std::unique_ptr<DirectDrawScreen> g_screen;
std::unique_ptr<PlatformWindow> g_window;
bool g_active = false;
bool g_showFps = false;
int g_frameCounter = 0;
uint32_t g_lastFpsTick = 0;
float g_fps = 0.0f;

namespace {
bool g_closePosted = false;
bool g_quitPosted = false;
int g_quitCode = 0;
bool g_windowDestroyed = false;

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

void postClose() { g_closePosted = true; }

void postQuit(int code)
{
    if (g_quitPosted) return;
    g_quitPosted = true;
    g_quitCode = code;
}

bool quitPosted() { return g_quitPosted; }

bool closePending() { return g_closePosted; }

void destroyMainWindow()
{
    if (g_windowDestroyed) return;
    g_windowDestroyed = true;
    if (g_screen) g_screen->release();
    if (g_window) g_window->destroy();
    postQuit(0);
}

void playerReset()
{
    g_scriptEngine.reset();
    g_screen.reset();
    g_window.reset();
    g_active = false;
    g_showFps = false;
    g_frameCounter = 0;
    g_lastFpsTick = 0;
    g_fps = 0.0f;
    g_closePosted = false;
    g_quitPosted = false;
    g_quitCode = 0;
    g_windowDestroyed = false;
}

bool loadScript(const StringC& path)
{
    if (path.isNull() || path.length() == 0) return false;
    g_scriptEngine.reset();  // stops the old script's music

    StringC previousDirectory;
    FileTools::getCurrentDirectory(previousDirectory);
    StringC directory, file;
    path.splitPath(directory, file);
    const bool changeDirectory = directory.length() > 0;
    if (changeDirectory) FileTools::setCurrentDirectory(directory);

    g_scriptEngine = std::make_unique<ScriptEngine>();
    g_scriptEngine->m_hWnd = g_window.get();
    g_scriptEngine->load(file);

    if (changeDirectory && !previousDirectory.isNull()) FileTools::setCurrentDirectory(previousDirectory);
    g_scriptEngine->start();
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
    std::snprintf(line, sizeof line, "fps: %d %d", static_cast<int>(g_fps), time);
    if (g_screen) g_screen->drawText(line, 10, 30);
}

void composeFrame()
{
    if (g_scriptEngine)
        g_scriptEngine->render(&g_workImage);
    else
        g_workImage.clear(0);
    // Without a script there is no engine to ask for the time: the line shows 0.
    if (g_showFps) drawFpsText(g_scriptEngine ? g_scriptEngine->getTime() : 0);

    g_workImage.clearTopRow();
    g_workImage.clearBottomRow();
    g_workImage.clearLeftColumn();
    g_workImage.blitScaled(&g_screenImage, 320.0f, 240.0f, 1.24f, 1.3f, 0, nullptr, 1.0f, true);

    if (g_scriptEngine && g_scriptEngine->getTime() > kDemoEndMs) postClose();
}

void renderFrame(DirectDrawScreen* screen)
{
    if (!screen) return;
    uint32_t* memory = screen->lock();
    if (!memory) {
        screen->restore();
        return;
    }
    g_screenImage.setData(kScreenWidth, kScreenHeight, memory);

    // The fps value is the plain count of frames in the last interval of more than 1000 ms.
    const uint32_t now = playerClock().tickCount();
    ++g_frameCounter;
    if (now - g_lastFpsTick > 1000) {
        g_lastFpsTick = now;
        g_fps = static_cast<float>(g_frameCounter);
        g_frameCounter = 0;
    }

    composeFrame();
    screen->unlock();
    screen->present();
}

void playerWndProc(const WindowEvent& event)
{
    switch (event.type) {
    case WindowEventType::Close:
    case WindowEventType::Quit:
        // Default processing of a close destroys the window, which releases the screen and quits.
        destroyMainWindow();
        break;
    case WindowEventType::Minimized:
        g_active = false;
        break;
    case WindowEventType::Restored:
        g_active = true;
        break;
    case WindowEventType::KeyDown:
        switch (event.key) {
        case kKeyEscape: postClose(); break;
        case kKeyI:
        case kKeyF9: g_showFps = !g_showFps; break;
        case kKeyF12:
            if (g_screen) g_screen->toggleFullScreen();
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
    auto& createWindow = platform().createWindow;
    g_window = createWindow ? createWindow(kWindowCaption, kScreenWidth, kScreenHeight, options.fullScreen) : nullptr;
    if (!g_window) return false;
    const int desktopDepth = g_window->desktopBitDepth();

    g_screen = std::make_unique<DirectDrawScreen>();
    g_screen->init(g_window.get(), kScreenWidth, kScreenHeight, kFullScreenDepth, desktopDepth, options.fullScreen);
    g_window->showCursor(false);
    g_workImage.create(kWorkWidth, kWorkHeight);

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
        // Posted messages and all waiting window events come before any frame.
        if (fatalErrorPosted()) {
            g_quitPosted = true;
            g_quitCode = 1;
        }
        if (g_quitPosted) break;
        if (g_closePosted) {
            g_closePosted = false;
            playerWndProc(WindowEvent{WindowEventType::Close, 0, {}});
            continue;
        }
        if (g_window && !g_windowDestroyed && g_window->pollEvent(event)) {
            playerWndProc(event);
            continue;
        }
        if (!g_active) {
            if (g_window) g_window->waitEvent(10);
            continue;
        }
        // One frame, then wait until the frame period has passed since it began.
        const uint32_t frameStart = playerClock().timeMs();
        renderFrame(g_screen.get());
        for (;;) {
            const float elapsed = static_cast<float>(playerClock().timeMs() - frameStart);
            if (elapsed >= kPlayerFrameMs) break;
            playerClock().sleepMs(static_cast<uint32_t>(std::ceil(kPlayerFrameMs - elapsed)));
        }
    }
    return g_quitCode;
}

void playerShutdown()
{
    g_scriptEngine.reset();
    if (g_screen) g_screen->release();
    g_screen.reset();
    g_window.reset();
}
