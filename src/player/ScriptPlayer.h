// The player: window, screen, script choice and loading, the message loop with its frame pacing,
// keys, dropped files, the fps line and the composition of each frame.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/StringC.h"
#include "image/CImage32.h"
#include "platform/Window.h"
#include "player/DemoClock.h"
#include "player/DirectDrawScreen.h"
#include "player/SaveWatch.h"
#include "script/ScriptEngine.h"

// Fixed configuration.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kFullScreenDepth = 32;
constexpr int kWorkWidth = 512;
constexpr int kWorkHeight = 256;
constexpr int kPlayerFps = 26;                              // at most 26 frames per second
constexpr float kPlayerFrameMs = 1000.0f / kPlayerFps;  // 38.46154 ms
constexpr int kDemoEndMs = 285000;
constexpr const char* kScriptExtension = "lscx";
constexpr const char* kWindowCaption = "Loading : 'Tessaline' - Party Version";

// The effects and mixes use the values their controllers wrote on the frame before. A frame shown
// after a jump in time (a seek, a start past 0, a listed time) is therefore preceded by an unshown
// one at floor(t - 1000 x den / num) ms, 0 at the earliest, so that it shows what a run at `num`/`den`
// frames per second shows at t. None before t = 0, a run's first frame.
std::optional<int> frameBeforeMs(int t, int fpsNum, int fpsDen);

// The player's state, owned by its Player.
// Member order is destruction order reversed: the engine goes first, the window last.
struct PlayerState {
    std::unique_ptr<PlatformWindow> window;
    std::unique_ptr<DirectDrawScreen> screen;
    CImage32Buffered workImage;    // 512x256 render target of the script engine
    CImage32External screenImage;  // 640x480 view of the locked back buffer
    std::unique_ptr<ScriptEngine> scriptEngine;
    bool active = false;           // frames are rendered only while set
    bool showFps = false;
    int frameCounter = 0;          // frames since the last fps update
    // Tick of the last fps update; none before the first frame, which therefore shows 1 at once.
    std::optional<uint32_t> lastFpsTick;
    float fps = 0.0f;              // frames counted in the last completed interval
    bool closePosted = false;      // a close request waits for the loop
    bool quitPosted = false;       // the loop ends with quitCode
    int quitCode = 0;
    bool windowDestroyed = false;

    // The authoring mode (--dev) and --start.
    std::shared_ptr<DemoClock> demoClock;  // the platform clock while set (dev mode or a start time)
    bool dev = false;
    bool paused = false;
    int loopStart = -1;                    // demo times set by [ and ], -1 while unset
    int loopEnd = -1;
    bool looping = false;
    std::string scriptPath;                // the script that runs: reloaded by R, pictures beside it
    uint32_t startTick = 0;                // demo tick when the script started
    std::vector<float> beats;              // the first key framer's beats: the overlay's beat count
    std::string note;                      // the last authoring action's outcome, on the overlay
    std::unique_ptr<SaveWatch> saveWatch;  // reload on save (dev mode, where files can be watched)
    bool jumped = false;                   // the demo time jumped: the next frame has one before it
};

// The authoring mode's rebuild of saved text sources. The text compilers come with the tools, so
// the app hands them in; without them text sources are not watched.
struct TextSourceBuilder {
    // Whether the file at this absolute path is a text source.
    std::function<bool(const std::string& path)> isSource;
    // Builds the binary of `source`: its path, or nothing, with each error appended to `errors`
    // as "FILE:LINE: message".
    std::function<std::optional<std::string>(const std::string& source, std::vector<std::string>& errors)> build;
    // Builds every out-of-date source under `dir`: the binaries built; errors appended as above.
    std::function<std::vector<std::string>(const std::string& dir, std::vector<std::string>& errors)> buildOutOfDate;
};

struct PlayerOptions {
    bool fullScreen = true;
    std::string commandLine;  // the script part of the command line, split as the player does
    std::string scriptPath;   // when set: this exact path is loaded instead (the headless renderer)
    int startMs = 0;          // music and clock start this far into the demo
    bool dev = false;         // the authoring mode's keys and overlay line
    // Asked before every frame and event: true ends the loop (a termination signal).
    std::function<bool()> stopRequested;
    TextSourceBuilder sourceBuilder;  // dev mode: saved text sources are rebuilt and reloaded
    // The script is loaded by loadStep calls and started by startDemo (a host that shows the
    // load's progress: the web page); otherwise start-up loads and starts it.
    bool loadInSteps = false;
};

// The player: one object owns the window, the screen, the engine and the authoring state. The
// app makes one, starts it, runs its loop and shuts it down.
class Player {
public:
    Player() = default;
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Start-up: window, screen, cursor, work image, script choice and load. False when no
    // window could be created.
    bool startup(const PlayerOptions& options);
    // The message loop; returns the exit code of the quit message.
    int run();
    // Takes the posted messages and the waiting window events (the loop's part before a frame);
    // false when the loop ends (quit posted, a fatal error, a stop request). A host that drives
    // the frames itself (the browser's animation frames) calls it, then renderFrame.
    bool handleMessages();
    // The exit code of the quit message.
    int quitCode() const { return m_s.quitCode; }
    // Ends the script engine, frees the screen and window and gives the platform its clock back.
    void shutdown();

    PlayerState& state() { return m_s; }
    // What the headless renderer saves: the screen (null before start-up) and the work image.
    DirectDrawScreen* screen() { return m_s.screen.get(); }
    const CImage32Buffered& workImage() const { return m_s.workImage; }

    bool loadScript(const StringC& path);
    // The load that start-up began with PlayerOptions::loadInSteps: one step of it (a section
    // collected or an entry read); false once the script is loaded. Its progress, 0 to 1.
    bool loadStep();
    [[nodiscard]] double loadProgress() const;
    // Starts the script loaded in steps: the music and the clock, at the start-up's start time.
    void startDemo();
    // Handles a drop: only the first file of a drop reaches here.
    void onDropFiles(const std::string& firstPath);
    // One frame onto the screen: the fps count, the composition, the present.
    void renderFrame();
    // The work image of the demo time, the overlays, the scaled copy onto the locked screen.
    void composeFrame();
    // Renders the demo at `demoMs` into the work image without showing it (the frame before a
    // jump's first).
    void renderUnshownFrame(int demoMs);
    // The window procedure: one event.
    void wndProc(const WindowEvent& event);

    // Posted messages: a close request (as Escape and the demo end post it) and the quit code.
    void postClose() { m_s.closePosted = true; }
    void postQuit(int code);
    bool quitPosted() const { return m_s.quitPosted; }
    bool closePending() const { return m_s.closePosted; }
    // Destroys the window: releases the screen and posts quit code 0.
    void destroyMainWindow();

    // The authoring mode. The demo's time in ms: the script engine's, 0 without one.
    int demoTime() const;
    // Moves the demo (music and clock) by `deltaMs`, not before its start.
    void seekDemo(int deltaMs);
    void pauseDemo(bool paused);
    // Loads the running script anew; when the new load reports anything the running demo goes
    // on (the reports say why) and false comes back. The demo time and pause are kept. `saved`
    // names what was saved when a save asked for it (for the overlay's note).
    bool reloadScript(const std::string& saved = {});
    // Reload on save: takes the file events and reloads once a burst of saves of the demo's
    // files has ended. Called by the loop before every frame.
    void reloadOnSave();
    // Sets a loop end ([ or ]) at `ms` and keeps the section in order: a start after its end
    // swaps the two, an empty section switches the loop off; the overlay's note says so.
    void setLoopEnd(bool start, int ms);
    // Writes the work image as SCRIPTTITLE-TIME.png beside the script; the path, or empty on
    // failure.
    std::string saveWorkImage();

private:
    void drawFpsText(int demoMs);
    // The overlay line: time, beat and fps, pause and loop state, the last note.
    void drawDevOverlay(int demoMs);
    // A key of the authoring mode.
    void devKey(const WindowEvent& event);
    // Dev mode: shows build errors (their paths relative to the script's directory `root`) on
    // stderr and the overlay's note line.
    void showBuildErrors(std::vector<std::string> errors, const std::string& root);
    // Puts the platform clock back when the player had put its demo clock in its place.
    void restorePlatformClock();
    // Runs `load` with the script's file name in the script's directory, the files it opens
    // watched for reload on save (begun, not ended: the caller says whether they replace the
    // watched ones), and the current directory put back after.
    void loadInScriptDirectory(const StringC& path, const std::function<void(const StringC& file)>& load);
    // The parts of loadInScriptDirectory around its load: the watch begun and the directory
    // entered (the script's file name in `file`), then the directory put back.
    void enterScriptDirectory(const StringC& path, StringC& file);
    void leaveScriptDirectory();
    // A load's first and last parts around the engine's steps: the old engine gone, the watch
    // begun and the script's directory entered; then the directory left and the watch ended.
    bool beginScriptLoad(const StringC& path);
    void endScriptLoad();
    // Starts the loaded script's music and clock.
    void startScript();

    // The load under way (begun, not ended) and what start-up left for startDemo.
    struct ScriptLoad {
        bool active = false;
        StringC path;
        StringC previousDirectory;
        bool changedDirectory = false;
        int startMs = 0;
    };
    ScriptLoad m_load;

    PlayerState m_s;
    std::function<bool()> m_stopRequested;
    TextSourceBuilder m_sourceBuilder;
};
