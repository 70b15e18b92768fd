// What the whole-image effects share: the dimensions they are built for, the image they filter
// and the image pixel cap on their work buffers.
#pragma once

class CImage32;

class FxEffect {
public:
    // Takes the image to filter (not owned); an image of other dimensions is reported and ignored.
    void setScreen(CImage32* screen);
    CImage32* getScreen() const { return m_pScreen; }
    // setScreen, then whether that image is the one filtered (false for none or other dimensions).
    [[nodiscard]] bool bindScreen(CImage32* screen)
    {
        if (!screen) return false;
        setScreen(screen);
        return m_pScreen == screen;
    }

protected:
    // Dimensions beyond the image pixel cap are reported once ("dimensions too large"); the
    // effect then sizes no work buffer and does nothing (usable() is false).
    FxEffect(const char* caption, int width, int height);
    ~FxEffect() = default;

    // Positive dimensions within the cap: the effect may size its buffers from them.
    bool usable() const { return m_usable; }

    const char* m_caption;
    int m_width;
    int m_height;
    CImage32* m_pScreen = nullptr;

private:
    bool m_usable;
};
