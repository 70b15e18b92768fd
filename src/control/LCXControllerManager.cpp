#include "control/LCXControllerManager.h"

#include <string>

#include "control/LCXControllerKeyFramer.h"
#include "control/ControllerFile.h"
#include "foundation/Report.h"

namespace {
const char* const kCaption = "LCXControllerManager";
constexpr uint16_t kRootChunk = 1;
constexpr uint16_t kControllerChunk = 2;
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
    m_pController.reset();
    const bool ok = readControllerChunks(manager, kRootChunk, kControllerChunk, [this](int type, ChunkFileReader& chunk) {
        create(type);
        if (m_pController) m_pController->load(chunk);
    });
    if (!ok) reportWarning(kCaption, "not a lcx file");
}

void LCXControllerManager::save(const StringC& fileName) const
{
    if (!m_pController) return reportWarning(kCaption, "save: no controller");
    writeControllerFile(fileName, kRootChunk, kControllerChunk, m_pController->getType(),
                        [this](ChunkFileWriterManager& manager) { m_pController->save(manager); });
}
