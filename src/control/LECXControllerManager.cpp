#include "control/LECXControllerManager.h"

#include <string>

#include "control/LECXControllerKinds.h"
#include "control/ControllerFile.h"
#include "foundation/Report.h"

namespace {

const char* const kCaption = "LECXControllerManager";
const ControllerFileKind kFile = {10, 12, kCaption, "not a lecx file"};
constexpr int kNbKind = 4;

LECXControllerManager::Factory g_factory[kNbKind + 1] = {};

std::unique_ptr<LECXController> makeBuiltIn(int type)
{
    switch (type) {
    case kLECXEffectColor: return std::make_unique<LECXControllerEffectColor>();
    case kLECXL3X: return std::make_unique<LECXControllerL3X>();
    case kLECXMixBlit: return std::make_unique<LECXControllerMixBlit>();
    case kLECXEffectDemoSpe01: return std::make_unique<LECXControllerEffectDemoSpe01>();
    default: return nullptr;
    }
}

} // namespace

LECXControllerManager::~LECXControllerManager() = default;

void LECXControllerManager::registerKind(int type, Factory factory)
{
    if (type >= 1 && type <= kNbKind) g_factory[type] = factory;
}

void LECXControllerManager::create(int type)
{
    m_pController.reset();
    if (type >= 1 && type <= kNbKind && g_factory[type])
        m_pController = g_factory[type]();
    else
        m_pController = makeBuiltIn(type);
    if (!m_pController) {
        const std::string text = "unknow controller type: " + std::to_string(type);
        reportWarning(kCaption, text.c_str());
    }
}

void LECXControllerManager::load(const StringC& fileName)
{
    ChunkFileReaderManager manager(fileName);
    read(manager);
}

void LECXControllerManager::load(const StringC& fileName, const uint8_t* data, size_t size)
{
    ChunkFileReaderManager manager(fileName, data, size);
    read(manager);
}

void LECXControllerManager::read(ChunkFileReaderManager& manager)
{
    readControllerFile(
        manager, kFile, m_pController, [this](int type) { create(type); },
        [](LECXController& controller, ChunkFileReader& chunk) { controller.read(chunk); });
}

void LECXControllerManager::save(const StringC& fileName) const
{
    saveControllerFile(fileName, kFile, m_pController.get(),
                       [](const LECXController& controller, ChunkFileWriterManager& manager) { controller.write(manager); });
}
