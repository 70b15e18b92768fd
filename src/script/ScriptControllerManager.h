// The .lcx controllers of the data directory, loaded at start-up, found by name, marked for
// re-evaluation every frame; and the mouse input they may read.
#pragma once

#include <memory>
#include <vector>

#include "foundation/StringC.h"

class CImage32;
class LCXController;
class SoundManager;

class ScriptControllerManager {
public:
    ScriptControllerManager();
    ~ScriptControllerManager();

    // Loads every file of `directory` (ending with a separator) whose extension is "lcx", in
    // name order, naming each controller after its file title.
    void loadDirectory(const StringC& directory);
    // The first loaded controller with this name, or null.
    LCXController* find(const StringC& name) const;
    // Marks every controller for re-evaluation and polls the mouse.
    void beginFrame();
    // Draws the mouse position marker when a mouse input exists.
    void drawInput(CImage32* frame);

    int getCount() const { return static_cast<int>(m_files.size()); }
    const std::vector<StringC>& getFileNames() const { return m_files; }

    void* m_hWnd = nullptr;
    SoundManager* m_pSoundManager = nullptr;

private:
    std::vector<StringC> m_files;  // the files found, in load order
};
