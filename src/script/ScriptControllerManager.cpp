#include "script/ScriptControllerManager.h"

#include <algorithm>
#include <string>

#include "control/LCXControllerManager.h"
#include "control/LECXController.h"
#include "control/MouseInput.h"
#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "image/CImage32.h"
#include "platform/Platform.h"

namespace {
const char* const kCaption = "ScriptControllerManager: ";
} // namespace

ScriptControllerManager::ScriptControllerManager() = default;

ScriptControllerManager::~ScriptControllerManager()
{
    m_controllers.clear();
    m_pMouseInput.reset();
}

void ScriptControllerManager::loadDirectory(const StringC& directory, const StringC& treeRoot)
{
    const StringC extension("lcx");
    const int count = FileTools::countFiles(directory, extension);
    m_controllers.reserve(m_controllers.size() + size_t(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        const StringC fileName = FileTools::getFileName(directory, extension, i);
        auto manager = std::make_unique<LCXControllerManager>();
        manager->load(fileName);
        if (LCXController* controller = manager->getController()) {
            StringC title = fileName;
            title.keepFileTitle();
            controller->setName(title);
        }
        m_controllers.push_back(std::move(manager));
    }

    const std::string root = treeRoot.getName() ? treeRoot.getName() : "";
    for (const auto& manager : m_controllers) {
        LCXController* controller = manager->getController();
        if (!controller) continue;
        if (auto* recordable = dynamic_cast<LCXControllerRecordable*>(controller)) recordable->setTreeRoot(root);
        if (controller->getType() == kLCXMouse) {
            // One mouse input for all mouse controllers, made from the platform's mouse.
            if (!m_pMouseInput && platform().createMouse)
                m_pMouseInput = std::make_unique<MouseInput>(platform().createMouse());
            auto* mouse = static_cast<LCXControllerMouse*>(controller);
            mouse->setMouseInput(m_pMouseInput.get());
            mouse->initRecording();
        } else if (controller->getType() == kLCXSound) {
            auto* sound = static_cast<LCXControllerSound*>(controller);
            sound->setSoundManager(m_pSoundManager);
            sound->initRecording();
        }
    }
}

LCXController* ScriptControllerManager::find(const StringC& name) const
{
    for (const auto& manager : m_controllers) {
        LCXController* controller = manager->getController();
        if (controller && controller->getName() == name) return controller;
    }
    return nullptr;
}

LCXController* ScriptControllerManager::getController(int i) const
{
    return i >= 0 && i < getCount() ? m_controllers[size_t(i)]->getController() : nullptr;
}

void ScriptControllerManager::bind(LECXController* controller)
{
    if (!controller) return;
    for (int i = 0; i < controller->getNbInput(); ++i) {
        const StringC name = controller->getInputName(i);
        if (LCXController* found = find(name)) {
            controller->setInputController(i, found);
        } else if (!(name == "time1") && !(name == "time2")) {
            const std::string text = std::string("cant find LCX controller: ") + (name.getName() ? name.getName() : "");
            reportWarning(kCaption, text.c_str());
        }
    }
    controller->prepareGroups();
}

void ScriptControllerManager::beginFrame()
{
    for (const auto& manager : m_controllers)
        if (LCXController* controller = manager->getController()) controller->setDirty();
    if (m_pMouseInput) m_pMouseInput->update();
}

void ScriptControllerManager::drawInput(CImage32* frame)
{
    if (!m_pMouseInput || !frame) return;
    // Far-off positions are drawn off the image anyway; the clamp keeps the sums in range.
    const int x = std::clamp(m_pMouseInput->getX(), -100000, 100000);
    const int y = std::clamp(m_pMouseInput->getY(), -100000, 100000);
    for (int dy = -15; dy <= 15; dy += 15)
        for (int dx = -15; dx <= 15; dx += 15)
            for (int py = -1; py <= 1; ++py)
                for (int px = -1; px <= 1; ++px) frame->setPixel(x + dx + px, y + dy + py, 0xFFFFFF);
}
