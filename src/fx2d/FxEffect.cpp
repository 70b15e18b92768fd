#include "fx2d/FxEffect.h"

#include <cstdint>

#include "foundation/Report.h"
#include "image/CImage32.h"

namespace {
bool withinCap(const char* caption, int width, int height)
{
    if (width <= 0 || height <= 0) return false;
    if (!withinPixelCap(width, height)) return reportWarning(caption, "dimensions too large", false);
    return true;
}
} // namespace

FxEffect::FxEffect(const char* caption, int width, int height)
    : m_caption(caption), m_width(width), m_height(height), m_usable(withinCap(caption, width, height))
{
}

void FxEffect::setScreen(CImage32* screen)
{
    if (screen && (screen->m_width != m_width || screen->m_height != m_height))
        return reportWarning(m_caption, "setScreen: not same dimensions as the constructor one");
    m_pScreen = screen;
}
