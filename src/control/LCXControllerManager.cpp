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
    return fileName && FileTools::readFile(fileName, data, size_t(kChunkMaxStream) + 1) &&
           quietChunkRoot(data) == kFile.rootId;
}

void LCXControllerManager::save(const StringC& fileName) const
{
    saveControllerFile(fileName, kFile, m_pController.get(),
                       [](const LCXController& controller, ChunkFileWriterManager& manager) { controller.save(manager); });
}
