// The process-wide registry of platform back ends. The app installs it once at start-up
// (SDL back ends in the player, headless ones in the renderer, fakes in tests); engine code
// reaches the platform only through it.
//
// A new back end is a folder src/backends/NAME/ with one function, installNAMEBackend(Platform&),
// in NAMEBackend.cpp (declared in NAMEBackend.h), that fills the fields below it provides and
// leaves the others alone, and a tl_backend_NAME library in src/CMakeLists.txt linking the
// system library it wraps; only the apps link it. A complete one provides a clock, createWindow,
// the music openers (or leaves them to the FFmpeg and libopenmpt back ends), createAudioOutput
// (null: music runs silently on the clock), and optionally createMouse, createFileWatcher,
// openVideo and openMediaWriter. backends/headless/ is the one to copy.
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
    // Opens the audio device. Null (the headless back end): music is decoded but not played,
    // and its position follows `clock`.
    AudioOutputCreator createAudioOutput;

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
