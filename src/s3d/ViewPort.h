// The image a 3D scene draws into and its 1/z depth buffer, resized with the image.
#pragma once

#include <cstdint>
#include <vector>

class CImage32;

class ViewPort {
public:
    // Stores a new size; with ownsZBuffer the depth buffer becomes a zero-filled one of that
    // size. Sizes of 0 or less are refused (reported); the same size changes nothing.
    void setScreen(int width, int height);
    // The image's size, then the image as the screen.
    void setScreen(CImage32* image);
    void clearZBuffer();
    // Drops the depth buffer (a scene that draws without one).
    void releaseZBuffer();

    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    CImage32* getScreen() const { return m_pScreen; }
    // Null until the first setScreen (and after releaseZBuffer).
    uint32_t* getZBuffer() { return m_zBuffer.empty() ? nullptr : m_zBuffer.data(); }

    bool m_ownsZBuffer = true;

private:
    int m_width = 0;
    int m_height = 0;
    CImage32* m_pScreen = nullptr;
    std::vector<uint32_t> m_zBuffer;
};
