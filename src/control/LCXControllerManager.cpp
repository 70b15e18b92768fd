#include "control/LCXControllerManager.h"

#include <string>
#include <vector>

#include "control/LCXControllerKeyFramer.h"
#include "control/ControllerFile.h"
#include "foundation/FileTools.h"
#include "foundation/Report.h"

namespace {
const char* const kCaption = "LCXControllerManager";
const ControllerFileKind kFile = {1, 2, kCaption, "not a lcx file"};

// Whether the chunk reader takes these bytes without a report: the conditions of its own
// checks on the flag byte and the compressed header (change together with
// ChunkFileReaderManager's loading). A compressed stream must also open as bzip2 data ("BZh"),
// so that only a damaged chunk file can still make the reader speak.
bool readsQuietly(const std::vector<unsigned char>& data)
{
    if (data.empty()) return false;
    if (data[0] == 0) return data.size() - 1 <= kChunkMaxStream;
    if (data.size() < 8) return false;
    const uint32_t length = uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16 | uint32_t(data[4]) << 24;
    return length <= chunkUncompressedBound(data.size() - 5) && data[5] == 'B' && data[6] == 'Z' && data[7] == 'h';
}
} // namespace

LCXControllerManager::~LCXControllerManager() = default;

void LCXControllerManager::create(int type)
{
    m_pController.reset();
    switch (type) {
    case kLCXMouse: m_pController = std::make_unique<LCXControllerMouse>(); break;
    case kLCXSound: m_pController = std::make_unique<LCXControllerSound>(); break;
    case kLCXKeyFramer: m_pController = std::make_unique<LCXControllerKeyFramer>(); break;
    case kLCXNoise: m_pController = std::make_unique<LCXControllerNoise>(); break;
    default: {
        const std::string text = "unknow controller type: " + std::to_string(type);
        reportWarning(kCaption, text.c_str());
        break;
    }
    }
}

void LCXControllerManager::load(const StringC& fileName)
{
    ChunkFileReaderManager reader(fileName);
    read(reader);
}

void LCXControllerManager::load(const StringC& fileName, const uint8_t* data, size_t size)
{
    ChunkFileReaderManager reader(fileName, data, size);
    read(reader);
}

void LCXControllerManager::read(ChunkFileReaderManager& manager)
{
    readControllerFile(
        manager, kFile, m_pController, [this](int type) { create(type); },
        [](LCXController& controller, ChunkFileReader& chunk) { controller.load(chunk); });
}

bool LCXControllerManager::isControllerFile(const char* fileName)
{
    std::vector<unsigned char> data;
    if (!fileName || !FileTools::readFile(fileName, data, size_t(kChunkMaxStream) + 1) || !readsQuietly(data))
        return false;
    ChunkFileReaderManager reader(fileName, data.data(), data.size());
    if (!reader.hasBuffer()) return false;
    const ChunkFileReader root(&reader);
    return root.getIdentifier() == kFile.rootId;
}

void LCXControllerManager::save(const StringC& fileName) const
{
    saveControllerFile(fileName, kFile, m_pController.get(),
                       [](const LCXController& controller, ChunkFileWriterManager& manager) { controller.save(manager); });
}
