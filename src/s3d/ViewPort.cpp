#include "s3d/ViewPort.h"

#include <algorithm>

#include "foundation/Report.h"
#include "image/CImage32.h"

namespace {
const char* const kCaption = "ViewPort Warning !";
// Larger screens than any layer could be are refused rather than allocated.
const int64_t kMaxCells = int64_t(1) << 26;
}

void ViewPort::setScreen(int width, int height)
{
    if (width <= 0) return reportWarning(kCaption, "setScreen: width <= 0");
    if (height <= 0) return reportWarning(kCaption, "setScreen: height <= 0");
    if (width == m_width && height == m_height) return;
    if (int64_t(width) * height > kMaxCells) return reportWarning(kCaption, "setScreen: too large");
    m_width = width;
    m_height = height;
    if (m_ownsZBuffer) m_zBuffer.assign(size_t(width) * size_t(height), 0u);
}

void ViewPort::setScreen(CImage32* image)
{
    if (!image) return;
    setScreen(image->getWidth(), image->getHeight());
    m_pScreen = image;
}

void ViewPort::clearZBuffer() { std::fill(m_zBuffer.begin(), m_zBuffer.end(), 0u); }

void ViewPort::releaseZBuffer()
{
    m_zBuffer.clear();
    m_zBuffer.shrink_to_fit();
}
