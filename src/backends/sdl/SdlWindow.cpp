#include "backends/sdl/SdlParts.h"

#include "backends/sdl/SdlBackend.h"

#include <SDL.h>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <utility>

#include "foundation/Report.h"

namespace {

const char* const kCaption = "SdlWindow";
SDL_Window* g_messageParent = nullptr;

// Virtual key codes of the original platform for the keys SDL reports.
int virtualKey(SDL_Keycode k)
{
    switch (k) {
    case SDLK_ESCAPE: return 27;
    case SDLK_F9: return 120;
    case SDLK_F12: return 123;
    case SDLK_SPACE: return 32;
    case SDLK_LEFT: return 37;
    case SDLK_RIGHT: return 39;
    case SDLK_LEFTBRACKET: return 219;
    case SDLK_RIGHTBRACKET: return 221;
    default: break;
    }
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return 112 + (k - SDLK_F1);
    return 0;
}

class SdlDisplaySurface : public DisplaySurface {
public:
    explicit SdlDisplaySurface(SDL_Window* window) : m_window(window) {}
    ~SdlDisplaySurface() override { releaseSurfaces(); }

    bool createSurfaces(bool fullScreen, std::string& failure) override
    {
        releaseSurfaces();
        if (fullScreen) {
            // Cover the display first, so that the window fills it even where no window manager
            // carries out the full-screen request.
            SDL_Rect bounds;
            if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(m_window), &bounds) == 0) {
                SDL_SetWindowPosition(m_window, bounds.x, bounds.y);
                SDL_SetWindowSize(m_window, bounds.w, bounds.h);
            }
            if (SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
                failure = "SetDisplayMode FAILED";
                return false;
            }
        } else {
            SDL_SetWindowFullscreen(m_window, 0);
            SDL_SetWindowSize(m_window, 640, 480);
            SDL_SetWindowPosition(m_window, 100, 100);
            SDL_ShowWindow(m_window);
        }
        m_renderer = SDL_CreateRenderer(m_window, -1, SDL_RENDERER_ACCELERATED);
        if (!m_renderer) m_renderer = SDL_CreateRenderer(m_window, -1, SDL_RENDERER_SOFTWARE);
        if (!m_renderer) {
            failure = "Create PrimarySurface FAILED";
            return false;
        }
        // The 640x480 image keeps its 4:3 shape: scaled to fit, black bars around it.
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        SDL_RenderSetLogicalSize(m_renderer, 640, 480);
        m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, 640, 480);
        if (!m_texture) {
            failure = "Create BufferSurface";
            return false;
        }
        return true;
    }

    void releaseSurfaces() override
    {
        if (m_texture) SDL_DestroyTexture(m_texture);
        if (m_renderer) SDL_DestroyRenderer(m_renderer);
        m_texture = nullptr;
        m_renderer = nullptr;
    }

    void present(const uint32_t* pixels, int width, int height, int pitchBytes) override
    {
        if (!m_texture || width != 640 || height != 480) return;
        SDL_UpdateTexture(m_texture, nullptr, pixels, pitchBytes);
        SDL_SetRenderDrawColor(m_renderer, 0, 0, 0, 255);
        SDL_RenderClear(m_renderer);
        SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
        SDL_RenderPresent(m_renderer);
    }

    void restore() override
    {
        if (!m_texture) {
            std::string failure;
            createSurfaces((SDL_GetWindowFlags(m_window) & SDL_WINDOW_FULLSCREEN) != 0, failure);
        }
    }

    bool hasSurfaces() const override { return m_texture != nullptr; }

private:
    SDL_Window* m_window;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
};

class SdlPlayerWindow : public PlatformWindow {
public:
    explicit SdlPlayerWindow(SDL_Window* w) : m_window(w) { g_messageParent = w; }
    ~SdlPlayerWindow() override { destroy(); }

    bool pollEvent(WindowEvent& event) override
    {
        if (m_announceShown) {
            // Showing the window makes the player active, whether or not SDL reports it.
            m_announceShown = false;
            event = WindowEvent{WindowEventType::Restored, 0, {}};
            return true;
        }
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (translate(e, event)) return true;
        }
        return false;
    }

    void waitEvent(int timeoutMs) override { SDL_WaitEventTimeout(nullptr, timeoutMs); }

    void destroy() override
    {
        if (!m_window) return;
        if (g_messageParent == m_window) g_messageParent = nullptr;
        SDL_DestroyWindow(m_window);
        m_window = nullptr;
    }

    void showCursor(bool show) override { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

    int desktopBitDepth() override
    {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 32;
        const int bits = SDL_BITSPERPIXEL(mode.format);
        return bits == 24 ? 32 : bits;
    }

    std::unique_ptr<DisplaySurface> createDisplaySurface() override
    {
        if (!m_window) return nullptr;
        return std::make_unique<SdlDisplaySurface>(m_window);
    }

private:
    bool minimized() const { return m_window && (SDL_GetWindowFlags(m_window) & SDL_WINDOW_MINIMIZED) != 0; }

    bool translate(const SDL_Event& e, WindowEvent& out)
    {
        out.path.clear();
        out.key = 0;
        out.shift = false;
        switch (e.type) {
        case SDL_QUIT:
            out.type = WindowEventType::Close;
            return true;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE: out.type = WindowEventType::Close; return true;
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_HIDDEN: out.type = WindowEventType::Minimized; return true;
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED: out.type = WindowEventType::Restored; return true;
            // Activation follows the minimized state only, not the focus itself.
            case SDL_WINDOWEVENT_FOCUS_GAINED:
            case SDL_WINDOWEVENT_FOCUS_LOST:
                out.type = minimized() ? WindowEventType::Minimized : WindowEventType::Restored;
                return true;
            default: return false;
            }
        case SDL_KEYDOWN:  // auto-repeat included
            out.type = WindowEventType::KeyDown;
            out.key = virtualKey(e.key.keysym.sym);
            out.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
            return true;
        case SDL_DROPBEGIN:
            m_dropTaken = false;
            return false;
        case SDL_DROPCOMPLETE:
            m_dropTaken = false;
            return false;
        case SDL_DROPFILE: {
            // Only the first file of a drop counts.
            const bool first = !m_dropTaken;
            m_dropTaken = true;
            if (first && e.drop.file) out.path = e.drop.file;
            SDL_free(e.drop.file);
            if (!first) return false;
            out.type = WindowEventType::DropFile;
            return true;
        }
        default: return false;
        }
    }

    SDL_Window* m_window;
    bool m_dropTaken = false;
    bool m_announceShown = true;
};

bool startVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return reportError(kCaption, (std::string("cannot start the display: ") + SDL_GetError()).c_str(), false);
    return true;
}

class SdlMessageBoxSink : public MessageBoxSink {
public:
    explicit SdlMessageBoxSink(std::function<bool()> stopRequested) : m_stopRequested(std::move(stopRequested)) {}

    void show(ReportKind kind, const char* caption, const char* text) override
    {
        Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
        if (kind == ReportKind::Warning) flags = SDL_MESSAGEBOX_WARNING;
        if (kind == ReportKind::Error) flags = SDL_MESSAGEBOX_ERROR;
        if (!m_stopRequested) {
            SDL_ShowSimpleMessageBox(flags, caption, text, g_messageParent);
            return;
        }
        if (m_stopRequested()) return;
        // The desktop's box program (what SDL itself runs for a box here) as a child of our own,
        // which a stop can end; where it cannot be started, SDL's box.
        const char* const kindOption = kind == ReportKind::Error     ? "--error"
                                       : kind == ReportKind::Warning ? "--warning"
                                                                     : "--info";
        const pid_t child = fork();
        if (child == 0) {
            setpgid(0, 0);  // a group of its own: a stop ends whatever the program starts too
            execlp("zenity", "zenity", kindOption, "--no-markup", "--title", caption, "--text", text,
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        // Polled rather than waited for, so a signal between the check and the wait is not lost.
        while (child > 0) {
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child && WIFEXITED(status) && WEXITSTATUS(status) == 127) break;
            if (done == child || (done < 0 && errno != EINTR)) return;
            if (m_stopRequested()) {
                kill(-child, SIGTERM);
                kill(child, SIGTERM);
                while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
                }
                return;
            }
            SDL_Delay(20);
        }
        SDL_ShowSimpleMessageBox(flags, caption, text, g_messageParent);
    }

private:
    std::function<bool()> m_stopRequested;
};

} // namespace

std::unique_ptr<PlatformWindow> createSdlWindow(const char* caption, int width, int height, bool fullScreen)
{
    if (!startVideo()) return nullptr;
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    // The screen switches it to full screen when it makes its surfaces; a full-screen window
    // starts out covering the display already.
    const Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
    SDL_Rect place{100, 100, width, height};
    if (fullScreen && SDL_GetDisplayBounds(0, &place) != 0) place = SDL_Rect{100, 100, width, height};
    SDL_Window* w = SDL_CreateWindow(caption, place.x, place.y, place.w, place.h, flags);
    if (!w) return reportError(kCaption, (std::string("cannot create the window: ") + SDL_GetError()).c_str(), nullptr);
    return std::make_unique<SdlPlayerWindow>(w);
}

std::shared_ptr<MessageBoxSink> makeSdlMessageBoxSink(std::function<bool()> stopRequested)
{
    return std::make_shared<SdlMessageBoxSink>(std::move(stopRequested));
}
