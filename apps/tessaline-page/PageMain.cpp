// The engine in a web page: the page (index.html) loads the demo's files into the page's file
// system, then plays the demo (tl_page_play) or renders listed times as tessaline-render does
// (tl_page_render, the test hook and the frame-cost bench).
#include <emscripten.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "RenderApp.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/openmpt/OpenMptBackend.h"
#include "backends/web/WebBackend.h"
#include "control/LCXController.h"
#include "foundation/Report.h"
#include "platform/Platform.h"
#include "player/ScriptPlayer.h"

namespace {

std::unique_ptr<Player> g_player;
double g_nextFrameMs = 0.0;  // when the next frame is due, on the page's clock
bool g_framesShown = false;  // a frame of this play has been shown

EM_JS(void, tl_page_first_frame, (), {
    if (typeof tlPage !== "undefined" && tlPage.firstFrame) tlPage.firstFrame();
});

EM_JS(void, tl_page_ended, (int code), {
    if (typeof tlPage !== "undefined" && tlPage.ended) tlPage.ended(code);
});

// Runs `work`; memory that cannot be had where the engine has no report of its own for it gives
// a fatal report and false, so that the page ends the demo and says why, never a dead page.
template <class Work>
bool guarded(Work&& work)
{
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
        reportError("Tessaline", "out of memory");
        return false;
    }
}

void endPlay(int code)
{
    emscripten_cancel_main_loop();
    g_player->shutdown();
    g_player.reset();
    setMessageBoxSink(nullptr);
    tl_page_ended(code);
}

// One animation frame of the browser: the waiting events, then the frame that is due, if one
// is. Frames are due every 38.46 ms, so the demo runs at the player's 26 frames per second
// whatever the display's rate; a page that fell behind (a hidden tab) starts counting anew.
void animationFrame()
{
    bool more = true;
    const bool fine = guarded([&] {
        if (!(more = g_player->handleMessages())) return;
        if (!g_player->state().active) return;
        const double now = emscripten_get_now();
        if (now < g_nextFrameMs) return;
        g_nextFrameMs = now - g_nextFrameMs > kPlayerFrameMs ? now + kPlayerFrameMs : g_nextFrameMs + kPlayerFrameMs;
        g_player->renderFrame();
        if (!g_framesShown) tl_page_first_frame();
        g_framesShown = true;
    });
    if (!fine || !more) endPlay(fine ? g_player->quitCode() : 1);
}

} // namespace

// Loads `script` (a path in the page's file system, relative to the current directory) to be
// played from `startMs`: the load itself is left to tl_page_load_step, so that the page can
// show its progress; tl_page_start then plays it, and the page's tlPage.ended(code) is called
// when the demo ends or is closed.
extern "C" EMSCRIPTEN_KEEPALIVE int tl_page_load(const char* script, int startMs)
{
    if (g_player) return 0;
    Platform p;
    installWebBackend(p);
    installOpenMptBackend(p);
    installFfmpegBackend(p);
    installPlatform(std::move(p));
    setMessageBoxSink(makeWebMessageBoxSink());
    // The page's files live in memory and go with it: a recording would be lost, so none is made.
    LCXControllerRecordable::setRecordingsAllowed(false);

    PlayerOptions options;
    options.fullScreen = false;
    options.commandLine = script;
    options.startMs = startMs < 0 ? 0 : startMs;
    options.loadInSteps = true;
    return guarded([&] {
        g_player = std::make_unique<Player>();
        if (!g_player->startup(options)) g_player.reset();
    }) && g_player;
}

// Loads for about `budgetMs`, a step at a time; the load's progress in thousandths, 1000 once the
// script is loaded (or when there is nothing to load). -1 when the load ended the demo, as a
// fatal report ends the desktop player after its load: tlPage.ended(1) has been called.
extern "C" EMSCRIPTEN_KEEPALIVE int tl_page_load_step(double budgetMs)
{
    if (!g_player) return -1;
    const double until = emscripten_get_now() + budgetMs;
    bool more = true;
    const bool fine = guarded([&] {
        while ((more = g_player->loadStep()) && emscripten_get_now() < until) {
        }
    });
    if (!fine || (!more && fatalErrorPosted())) {
        endPlay(1);
        return -1;
    }
    return more ? static_cast<int>(g_player->loadProgress() * 999.0) : 1000;
}

// Plays the loaded demo: its music and clock start now, its frames come with the browser's.
// 0 when no demo is loaded; a start that fails ends the demo (tlPage.ended(1)).
extern "C" EMSCRIPTEN_KEEPALIVE int tl_page_start()
{
    if (!g_player) return 0;
    if (!guarded([] { g_player->startDemo(); })) {
        endPlay(1);
        return 1;
    }
    g_nextFrameMs = 0.0;
    g_framesShown = false;
    emscripten_set_main_loop(animationFrame, 0, 0);
    return 1;
}

// Runs tessaline-render with the arguments given one per line; its exit status.
extern "C" EMSCRIPTEN_KEEPALIVE int tl_page_render(const char* lines)
{
    std::vector<std::string> args{"tessaline-render"};
    std::string text = lines ? lines : "";
    for (size_t at = 0; at <= text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        if (end > at) args.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int status = 1;
    guarded([&] { status = runRenderer(static_cast<int>(args.size()), argv.data()); });
    return status;
}

int main() { return 0; }
