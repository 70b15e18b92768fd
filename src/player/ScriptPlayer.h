// The player: window, screen, script choice and loading, the message loop with its frame pacing,
// keys, dropped files, the fps line and the composition of each frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/StringC.h"
#include "image/CImage32.h"
#include "platform/Window.h"
#include "player/DirectDrawScreen.h"
#include "script/ScriptEngine.h"

// Fixed configuration.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kFullScreenDepth = 32;
constexpr int kWorkWidth = 512;
constexpr int kWorkHeight = 256;
constexpr float kPlayerFrameMs = 1000.0f / 26.0f;  // 38.46154 ms: at most 26 frames per second
constexpr int kDemoEndMs = 285000;
constexpr const char* kScriptExtension = "lscx";
constexpr const char* kWindowCaption = "Loading : 'Tessaline' - Party Version";

// Player state, one instance each for the process.
extern CImage32Buffered g_workImage;    // 512x256 render target of the script engine
extern CImage32External g_screenImage;  // 640x480 view of the locked back buffer
extern std::unique_ptr<ScriptEngine> g_scriptEngine;
extern std::unique_ptr<DirectDrawScreen> g_screen;
extern std::unique_ptr<PlatformWindow> g_window;
extern bool g_active;
extern bool g_showFps;
extern int g_frameCounter;
extern uint32_t g_lastFpsTick;
extern float g_fps;

struct PlayerOptions {
    bool fullScreen = true;
    std::string commandLine;  // the script part of the command line, split as the player does
    std::string scriptPath;   // when set: this exact path is loaded instead (the headless renderer)
};

// Start-up: window, screen, cursor, work image, script choice and load. False when no window
// could be created.
bool playerStartup(const PlayerOptions& options);
// The message loop; returns the exit code of the quit message.
int playerRun();
// Ends the script engine and frees the screen and window.
void playerShutdown();
// Everything back to its initial state (tests).
void playerReset();

bool loadScript(const StringC& path);
// Handles a drop: only the first file of a drop reaches here.
void onDropFiles(const std::string& firstPath);
void renderFrame(DirectDrawScreen* screen);
void composeFrame();
void drawFpsText(int time);
// The window procedure: one event.
void playerWndProc(const WindowEvent& event);

// Posted messages: a close request (as Escape and the demo end post it) and the quit code.
void postClose();
void postQuit(int code);
bool quitPosted();
bool closePending();
// Destroys the window: releases the screen and posts quit code 0.
void destroyMainWindow();
