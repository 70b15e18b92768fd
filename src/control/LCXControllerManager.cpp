#include "control/LCXControllerManager.h"

#include <string>

#include "control/LCXControllerKeyFramer.h"
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
    ChunkFileReader root(&manager);
    if (root.getIdentifier() != kRootChunk) {
        reportWarning(kCaption, "not a lcx file");
        return;
    }
    ChunkFileReader child;
    while (root.nextChild(child)) {
        if (child.getIdentifier() != kControllerChunk) continue;
        create(child.readInt());
        if (m_pController) m_pController->load(child);
    }
}

void LCXControllerManager::save(const StringC& fileName) const
{
    if (!m_pController) {
        reportWarning(kCaption, "save: no controller");
        return;
    }
    ChunkFileWriterManager manager(fileName, false);
    if (!manager.isOpen()) return;
    ChunkFileWriter root(&manager);
    root.start(kRootChunk);
    ChunkFileWriter chunk(&manager);
    chunk.start(kControllerChunk);
    chunk.writeInt(m_pController->getType());
    m_pController->save(manager);
    chunk.close();
    root.close();
}
