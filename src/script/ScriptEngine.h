// ScriptEngine: reads one script file, owns everything it declares, keeps the demo clock and
// renders one frame into the player's work image on request.
#pragma once

#include <cstdint>

#include "foundation/StringC.h"

class CImage32;

class ScriptEngine {
public:
    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Reads the script at `path` (relative to the current directory). Problems are reported and
    // loading goes on; a missing file leaves the engine empty.
    void load(const StringC& path);
    // Starts the music at the script's offset and takes the start tick.
    void start();
    // Demo time in ms: the music position, or the ticks since start without music.
    int getTime() const;
    // Draws one frame into `frame` (nothing while the script declares no screen layers).
    void render(CImage32* frame);

    void* m_hWnd = nullptr;  // the player's window, handed to the mouse input

private:
    uint32_t m_startTick = 0;
};
