// The 32-bit image classes every renderer, effect and mix reads and writes: pixels 0x00RRGGBB
// (byte 0 blue, 1 green, 2 red, 3 the top byte), rows top first, stride = width.
#pragma once

#include <cstdint>
#include <memory>

#include "image/BlendMode.h"

class CImage32 {
public:
    CImage32() = default;
    CImage32(const CImage32&) = delete;
    CImage32& operator=(const CImage32&) = delete;
    virtual ~CImage32() = default;

    // Fatal: message box with the class name, then exit code 1 at the next turn of the loop.
    virtual void error(const char* text);
    // Warning box with the class name; processing continues.
    virtual void warning(const char* text);
    // The failure idiom through these slots: `return warning("text", false);` reports, then hands
    // back the neutral result.
    template <typename T>
    T error(const char* text, T neutral)
    {
        error(text);
        return neutral;
    }
    template <typename T>
    T warning(const char* text, T neutral)
    {
        warning(text);
        return neutral;
    }
    virtual const char* className() const = 0;
    // Whether the pixels sit in an owned allocation with two zero rows above and below the image
    // (PixelAllocation). The blits read the bilinear neighbours there without bounds tests; images
    // without them (foreign memory) are read through bounds-checked fetches instead.
    virtual bool hasGuardRows() const { return false; }

    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    uint32_t* getPixels() const { return m_pPixels; }
    // Pixel count, 0 while the image has no pixels.
    int64_t pixelCount() const { return m_pPixels ? int64_t(m_width) * m_height : 0; }

    // --- whole-image operations (exact byte arithmetic, all four bytes alike) ---
    void clear(uint32_t value);
    void toGrey();       // g = (5 b + 16 g + 11 r) >> 5 into every byte
    void toGreyRed();    // g into the red byte only
    void toGreyGreen();  // g into the green byte only
    void toGreyBlue();   // g into the blue byte only
    void invert();       // 255 - b; width must be even
    void doubleIntensity();
    void addColor(uint32_t value);  // per byte min(255, b + v)
    void subColor(uint32_t value);  // per byte max(0, b - v)
    void maskPixel(uint32_t mask);  // AND; width must be even
    void setPixel(int x, int y, uint32_t value);
    // Fills this image from the source window whose top-left is (x, y); the window must fit.
    void copyRegion(const CImage32& source, int x, int y);
    void clearTopRow();
    void clearBottomRow();
    void clearLeftColumn();
    // Fills this 256x256 image with the source scaled to 256x256, stored in 8-pixel-wide strips.
    void init256x256Tiled(const CImage32* source);

    // --- blits onto a destination (BlendMode) ---
    void blitScaled(CImage32* dest, float centreX, float centreY, float scaleX, float scaleY, BlendMode mode,
                    const CImage32* alphaMap, float opacity, bool filter) const;
    void blitScaledAnchored(CImage32* dest, float anchorX, float anchorY, float posX, float posY, float scaleX,
                            float scaleY, BlendMode mode, const CImage32* alphaMap, float opacity, bool filter) const;
    void blitRotation(CImage32* dest, float angle, float centreX, float centreY, float scaleX, float scaleY,
                      BlendMode mode, const CImage32* alphaMap, float opacity, bool filter) const;
    void blitRotationAnchored(CImage32* dest, float angle, float anchorX, float anchorY, float posX, float posY,
                              float scaleX, float scaleY, BlendMode mode, const CImage32* alphaMap,
                              float opacity, bool filter) const;
    // Same-size blits: source and destination of equal dimensions.
    void blit(CImage32* dest) const;
    void blitTransDiv(CImage32* dest) const;
    void blitAlpha(CImage32* dest, float opacity) const;
    void blitAlpha(CImage32* dest) const;
    void blitAlpha(CImage32* dest, const CImage32* alphaMap) const;
    void blitTransAdd(CImage32* dest) const;
    void blitTransSub(CImage32* dest) const;
    void blitAlphaTransAdd(CImage32* dest, float opacity) const;
    void blitAlphaTransAdd(CImage32* dest, const CImage32* alphaMap) const;
    void blitAlphaTransSub(CImage32* dest, float opacity) const;
    void blitAlphaTransSub(CImage32* dest, const CImage32* alphaMap) const;

    int m_width = 0;
    int m_height = 0;
    int m_hasAlpha = 0;              // top bytes carry opacity
    uint32_t* m_pPixels = nullptr;   // row 0, or null while the image has no pixels
};

// The image pixel cap: no image, loaded file or effect work buffer is sized beyond this many
// pixels (256 MiB of pixels, far beyond any real layer, texture or picture).
constexpr int64_t kMaxImagePixels = int64_t(1) << 26;
// The one check against the cap: both sides positive and at most 32 bits wide (so the product
// cannot wrap), and width x height pixels within the cap. The guard rows of owned images are
// not counted against it.
constexpr bool withinPixelCap(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && width <= 0xFFFFFFFF && height <= 0xFFFFFFFF &&
           uint64_t(width) * uint64_t(height) <= uint64_t(kMaxImagePixels);
}

// Owned pixel memory: width x (height + 4) zero pixels, the image starting two rows in, so two
// zero guard rows lie above and below it. Null when the size is not positive or above the cap.
struct PixelAllocation {
    std::unique_ptr<uint32_t[]> memory;
    uint32_t* pixels = nullptr;
    static PixelAllocation make(int width, int height);
};

class CImage32Buffered : public CImage32 {
public:
    CImage32Buffered() = default;
    CImage32Buffered(int width, int height);
    const char* className() const override { return "CImage32Buffered"; }
    bool hasGuardRows() const override { return m_pAllocation != nullptr; }

    // Releases any previous pixels and makes a zero-filled image of this size.
    void create(int width, int height);
    // create without a report: false, the image unchanged, when the size is not positive or its
    // memory cannot be had (for owners that report such a failure their own way).
    [[nodiscard]] bool tryCreate(int width, int height);
    // create(256, 256), then the source scaled onto it (bilinear).
    void createScaled256(const CImage32* source);
    // create at the source's size, then a copy of it.
    void createCopy(const CImage32* source);

private:
    std::unique_ptr<uint32_t[]> m_pAllocation;
};

class CImage32External : public CImage32 {
public:
    const char* className() const override { return "CImage32External"; }
    // Views foreign memory (the locked screen); owns nothing.
    void setData(int width, int height, uint32_t* pixels);
};
