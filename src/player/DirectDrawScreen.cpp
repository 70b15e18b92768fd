#include "player/DirectDrawScreen.h"

#include <string>

#include "foundation/Report.h"
#include "player/BitmapFont.h"

DirectDrawScreen::DirectDrawScreen() = default;

DirectDrawScreen::~DirectDrawScreen() { release(); }

void DirectDrawScreen::init(PlatformWindow* window, int width, int height, int fullScreenDepth, int desktopDepth,
                            bool fullScreen)
{
    m_hWnd = window;
    m_width = width;
    m_height = height;
    m_fullScreenDepth = fullScreenDepth;
    m_desktopDepth = desktopDepth;
    m_fullScreen = fullScreen;
    m_pDirectDraw = window ? window->createDisplaySurface() : nullptr;
    if (!m_pDirectDraw) {
        directDrawError("DirectDrawCreateEx FAILED");
        return;
    }
    if (m_fullScreen)
        initFullScreen();
    else
        initWindowed();
}

void DirectDrawScreen::createSurfaces(bool fullScreen)
{
    std::string failure;
    if (!m_pDirectDraw->createSurfaces(fullScreen, failure)) {
        directDrawError(failure.empty() ? "Create PrimarySurface FAILED" : failure.c_str());
        return;
    }
    // A fresh back buffer with each set of surfaces, black like a new surface.
    m_backBuffer.assign(size_t(m_width) * m_height, 0);
}

// The display surface takes 32-bit pixels in every mode and converts them for the desktop
// itself, so the pixel mode in use is always 32 bits.
void DirectDrawScreen::initFullScreen()
{
    createSurfaces(true);
    m_pixelMode = m_fullScreenDepth;
}

void DirectDrawScreen::initWindowed()
{
    createSurfaces(false);
    m_pixelMode = 32;
}

uint32_t* DirectDrawScreen::lock()
{
    if (!m_pDirectDraw || !m_pDirectDraw->hasSurfaces() || m_backBuffer.empty()) return nullptr;
    m_locked = true;
    return m_backBuffer.data();
}

void DirectDrawScreen::unlock()
{
    if (!m_locked) {
        directDrawError("unlock");
        return;
    }
    m_locked = false;
}

void DirectDrawScreen::present()
{
    if (m_pDirectDraw && m_pDirectDraw->hasSurfaces() && !m_backBuffer.empty())
        m_pDirectDraw->present(m_backBuffer.data(), m_width, m_height, m_width * 4);
}

void DirectDrawScreen::restore()
{
    if (!m_pDirectDraw) return;
    m_pDirectDraw->restore();
    if (m_backBuffer.empty() && m_pDirectDraw->hasSurfaces()) m_backBuffer.assign(size_t(m_width) * m_height, 0);
}

void DirectDrawScreen::drawText(const char* text, int x, int y)
{
    if (m_backBuffer.empty()) return;
    drawBitmapText(m_backBuffer.data(), m_width, m_height, m_width, x, y, text);
}

void DirectDrawScreen::toggleFullScreen()
{
    if (m_pDirectDraw) m_pDirectDraw->releaseSurfaces();
    if (m_fullScreen) {
        m_fullScreen = false;
        if (m_pDirectDraw) initWindowed();
    } else {
        m_fullScreen = true;
        if (m_pDirectDraw) initFullScreen();
    }
}

void DirectDrawScreen::release()
{
    if (!m_pDirectDraw) return;
    m_pDirectDraw->releaseSurfaces();
    m_pDirectDraw.reset();
}

void DirectDrawScreen::directDrawError(const char* text)
{
    reportMessage("directDrawError", text);
    if (m_onFailure) m_onFailure();
}
