#include "image/CImage32FromData.h"

#include <cstring>
#include <filesystem>
#include <vector>

#include "foundation/FileTools.h"
#include "image/ImageFileLoader.h"

CImage32FromData::CImage32FromData(const char* fileName) { (void)load(fileName); }

void CImage32FromData::setName(const char* text)
{
    if (!text) return error("setName: NULL");
    const size_t length = std::strlen(text) + 1;
    m_pFileName = std::make_unique<char[]>(length);
    std::memcpy(m_pFileName.get(), text, length);
}

void CImage32FromData::releasePixels()
{
    m_pAllocation.reset();
    m_pPixels = nullptr;
    m_width = 0;
    m_height = 0;
    m_hasAlpha = 0;
}

bool CImage32FromData::load(const char* fileName)
{
    if (!fileName) return error("load: NULL name", false);
    setName(fileName);
    const ImageFileType type = imageFileTypeFromName(fileName);
    if (type == ImageFileType::Unknown)
        return error(formatFileMessage("file %s: extension not supported", fileName).c_str(), false);
    releasePixels();

    std::vector<unsigned char> data;
    if (!FileTools::readFile(fileName, data, kMaxImageFileBytes)) {
        // Tell an oversized file apart from one that is missing or unreadable.
        std::error_code ec;
        const std::string path = FileTools::resolvePath(fileName);
        const bool tooLarge = std::filesystem::is_regular_file(path, ec) &&
                              std::filesystem::file_size(path, ec) > kMaxImageFileBytes && !ec;
        const char* format = tooLarge ? "file %s: too large" : "cant load file %s";
        return warning(formatFileMessage(format, fileName).c_str(), false);
    }

    DecodedImage decoded;
    const bool complete = decodeImageData(type, data.data(), data.size(), fileName, *this, decoded);
    if (decoded.allocation.pixels) {
        m_pAllocation = std::move(decoded.allocation.memory);
        m_pPixels = decoded.allocation.pixels;
        m_width = decoded.width;
        m_height = decoded.height;
    }
    return complete;
}
