// An image filled from an image file (BMP, TGA, JPG, PNG) by load(); owns its pixels and a copy
// of the file name.
#pragma once

#include <memory>

#include "image/CImage32.h"

class CImage32FromData : public CImage32 {
public:
    CImage32FromData() = default;
    // Loads the file; the result of load() is not kept (an image without pixels means failure).
    explicit CImage32FromData(const char* fileName);
    const char* className() const override { return "CImage32FromData"; }
    bool hasGuardRows() const override { return m_pAllocation != nullptr; }

    // Keeps an owned copy of the name; null is a fatal error.
    void setName(const char* text);
    // The name given to setName() or load(), or null.
    const char* getName() const { return m_pFileName.get(); }

    // Fills the image from the file, chosen by the last three letters of its name (BMP, TGA,
    // JPG, PNG, any case). True when the whole image was read. Unreadable or damaged files are
    // warnings and leave the image without pixels, or with the part that could be decoded.
    [[nodiscard]] bool load(const char* fileName);

private:
    void releasePixels();

    std::unique_ptr<uint32_t[]> m_pAllocation;
    std::unique_ptr<char[]> m_pFileName;
};
