#include "script/ScriptControllerManager.h"

#include "foundation/FileTools.h"
#include "image/CImage32.h"

ScriptControllerManager::ScriptControllerManager() = default;

ScriptControllerManager::~ScriptControllerManager() = default;

void ScriptControllerManager::loadDirectory(const StringC& directory)
{
    const StringC extension("lcx");
    const int count = FileTools::countFiles(directory, extension);
    m_files.clear();
    m_files.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        // Each file is loaded by the .lcx controller manager once controller files are read.
        m_files.push_back(FileTools::getFileName(directory, extension, i));
    }
}

LCXController* ScriptControllerManager::find(const StringC& name) const
{
    (void)name;
    return nullptr;
}

void ScriptControllerManager::beginFrame() {}

void ScriptControllerManager::drawInput(CImage32* frame) { (void)frame; }
