// The process-wide registry of platform back ends. The app installs it once at start-up
// (SDL back ends in the player, headless ones in the renderer, fakes in tests); engine code
// reaches the platform only through it.
#pragma once

#include <functional>
#include <memory>

#include "platform/Audio.h"
#include "platform/Clock.h"
#include "platform/FileWatch.h"
#include "platform/Mouse.h"
#include "platform/MediaWriter.h"
#include "platform/Video.h"
#include "platform/Window.h"

struct Platform {
    // The clock every engine part reads. Never null once installed (a SystemClock by default).
    std::shared_ptr<Clock> clock;
    // Creates the main window: caption, width, height, full screen. Null when no display exists.
    std::function<std::unique_ptr<PlatformWindow>(const char*, int, int, bool)> createWindow;

    // --- music (platform/Audio.h) ---
    // Openers of tracker modules and of streams; music cannot start when neither is installed.
    MusicDecoderOpener openModule;
    MusicDecoderOpener openStream;
    // Whether the music libraries found at run time are at least those built against (back
    // ends chain their checks). Null: nothing to check.
    std::function<bool()> musicLibrariesUsable;
    // Opens the audio device. Null, or `headless` set: music is decoded but not played, and
    // its position follows `clock`.
    AudioOutputCreator createAudioOutput;
    bool headless = false;

    // --- captures (platform/MediaWriter.h) ---
    // Opens a video or sound file for writing. Null: captures are not available.
    MediaWriterOpener openMediaWriter;

    // --- mouse (platform/Mouse.h) ---
    // Creates the system mouse for mouse controllers. Null (the default): there is no mouse,
    // mouse controllers read -1 and no position marker is drawn.
    MouseDeviceCreator createMouse;

    // --- file changes (platform/FileWatch.h) ---
    // Creates a watcher of file changes for the authoring mode's reload on save. Null (the
    // default): no reload on save.
    FileWatcherCreator createFileWatcher;

    // --- video (platform/Video.h) ---
    // Opens the video stream of a file for CAvi. Null: no video can be opened.
    VideoDecoderOpener openVideo;
};

// The installed registry (a system clock and no window until something else is installed).
Platform& platform();
// Replaces the registry; returns the previous one so tests can put it back.
Platform installPlatform(Platform p);
