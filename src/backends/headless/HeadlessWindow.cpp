#include "backends/headless/HeadlessWindow.h"

#include <cstring>


namespace {
HeadlessWindow* g_lastWindow = nullptr;
}

bool MemoryDisplaySurface::createSurfaces(bool full, std::string& failure)
{
    ++createCount;
    fullScreen = full;
    if (!failWith.empty()) {
        failure = failWith;
        failWith.clear();
        m_hasSurfaces = false;
        return false;
    }
    m_hasSurfaces = true;
    return true;
}

void MemoryDisplaySurface::releaseSurfaces() { m_hasSurfaces = false; }

void MemoryDisplaySurface::present(const uint32_t* pixels, int w, int h, int pitchBytes)
{
    if (!m_hasSurfaces || loseSurfaces || !pixels || w <= 0 || h <= 0) return;
    ++presentCount;
    if (w != width || h != height) {
        width = w;
        height = h;
        frame.assign(size_t(w) * h, 0);
    }
    for (int y = 0; y < h; ++y)
        std::memcpy(frame.data() + size_t(y) * w, reinterpret_cast<const uint8_t*>(pixels) + size_t(y) * pitchBytes,
                    size_t(w) * 4);
}

void MemoryDisplaySurface::restore()
{
    ++restoreCount;
    loseSurfaces = false;
}

bool HeadlessWindow::pollEvent(WindowEvent& event)
{
    if (events.empty()) return false;
    event = std::move(events.front());
    events.pop_front();
    return true;
}

void HeadlessWindow::waitEvent(int timeoutMs)
{
    // Nothing arrives on its own: let the (possibly virtual) clock move on.
    (void)timeoutMs;
}

std::unique_ptr<DisplaySurface> HeadlessWindow::createDisplaySurface()
{
    if (failDisplay) return nullptr;
    auto s = std::make_unique<MemoryDisplaySurface>();
    surface = s.get();
    return s;
}

std::unique_ptr<PlatformWindow> createHeadlessWindow(const char*, int, int, bool)
{
    auto w = std::make_unique<HeadlessWindow>();
    // Showing the window makes it active.
    w->push(WindowEvent{WindowEventType::Restored, 0, {}});
    g_lastWindow = w.get();
    return w;
}

HeadlessWindow* lastHeadlessWindow() { return g_lastWindow; }
