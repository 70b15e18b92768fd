// The .lcx controllers of the data directory, loaded at start-up, found by name, marked for
// re-evaluation every frame; and the mouse input they may read.
#pragma once

#include <memory>
#include <vector>

#include "foundation/StringC.h"

class CImage32;
class LCXController;
class LCXControllerManager;
class LECXController;
class MouseInput;
class SoundManager;

class ScriptControllerManager {
public:
    ScriptControllerManager();
    // Destroys the controllers (recording ones write their recordings), then the mouse input.
    ~ScriptControllerManager();
    ScriptControllerManager(const ScriptControllerManager&) = delete;
    ScriptControllerManager& operator=(const ScriptControllerManager&) = delete;

    // Loads every file of `directory` (ending with a separator) whose extension is "lcx", in
    // name order, naming each controller after its file title; then readies them: mouse
    // controllers get the mouse input (created on first need when the platform has a mouse),
    // music-level controllers the sound manager, and both prepare their recording, which stays
    // inside the folder tree of `treeRoot` (the running script's directory).
    void loadDirectory(const StringC& directory, const StringC& treeRoot);
    // The first loaded controller with this name, or null.
    LCXController* find(const StringC& name) const;
    // Hands every input of `controller` its .lcx controller by name ("time1" and "time2" are
    // never looked up; any other name not found is reported), then prepares its expressions.
    void bind(LECXController* controller);
    // Marks every controller for re-evaluation and polls the mouse; once per frame.
    void beginFrame();
    // Draws the mouse position marker (nine 3x3 white dots, 15 pixels apart) when a mouse
    // input exists.
    void drawInput(CImage32* frame);

    // Controller slots in load order (a slot is empty when its file failed to load).
    int getCount() const { return static_cast<int>(m_controllers.size()); }
    LCXController* getController(int i) const;
    MouseInput* getMouseInput() const { return m_pMouseInput.get(); }

    void* m_hWnd = nullptr;
    SoundManager* m_pSoundManager = nullptr;

private:
    // Declared first so that the controllers that point at it go before it.
    std::unique_ptr<MouseInput> m_pMouseInput;
    std::vector<std::unique_ptr<LCXControllerManager>> m_controllers;
};
