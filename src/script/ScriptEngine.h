// ScriptEngine: reads one script file, owns everything it declares, keeps the demo clock and
// renders one frame into the player's work image on request.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/StringC.h"
#include "script/RenderData.h"
#include "script/ScriptControllerManager.h"
#include "script/ScriptEffect.h"
#include "script/ScriptLayerManager.h"
#include "script/ScriptMix.h"
#include "script/ScriptNamedEntry.h"
#include "script/ScriptResource.h"

class SoundManager;

class CImage32;

// Section capacities: a section that reaches its capacity is dropped whole.
constexpr int kMaxLayerDim = 1000;
constexpr int kMaxController = 2000;
constexpr int kMaxImage = 2000;
constexpr int kMaxRes2D = 1000;
constexpr int kMaxRes3D = 1000;
constexpr int kMaxSkybox = 1000;
constexpr int kMaxScreenLayer = 2000;
constexpr int kMax2DDesc = 2000;
constexpr int kMax3DDesc = 2000;
constexpr int kMaxSkyboxDesc = 2000;
constexpr int kMaxSpeLayer = 2000;
constexpr int kMaxLayerDep = 2000;
constexpr int kMaxMix = 2000;
constexpr int kMaxEffect = 2000;
constexpr int kMaxMixDesc = 2000;
constexpr int kMaxEffectDesc = 2000;
constexpr int kMaxLayerOperation = 2000;

class ScriptEngine {
public:
    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Reads the script at `path` (relative to the current directory). Problems are reported and
    // loading goes on; a missing file leaves the engine empty.
    void load(const StringC& path);
    // The same load in steps, for a host that shows its progress between them (the web page):
    // beginLoad opens the script (false when it cannot be opened: reported, the engine stays
    // empty); each loadStep collects the next section or reads one of its entry lines, and
    // says false once the load is complete. Reports come in the order load() gives them.
    bool beginLoad(const StringC& path);
    bool loadStep();
    // How far the load has come, 0 to 1: the script's bytes read, a section's entries counted
    // evenly over its lines.
    [[nodiscard]] double loadProgress() const;
    // Starts the music at the script's offset and takes the start tick.
    void start();
    // Demo time in ms: the music position, or the ticks since start without music.
    int getTime() const;
    // Draws the frame of demo time `demoMs` into `frame` (nothing while the script declares no
    // layer operations); without a time, the frame of getTime().
    void render(CImage32* frame, int demoMs);
    void render(CImage32* frame) { render(frame, getTime()); }

    // Lookups by name: file order, first match; "NULL" is none without a message.
    [[nodiscard]] ScriptLayerDimension* findLayerDimension(const StringC& name) const;
    [[nodiscard]] ScriptControllerFile* findControllerFile(const StringC& name) const;
    [[nodiscard]] ScriptResource2D* findResource2D(const StringC& name) const;
    [[nodiscard]] ScriptResource3D* findResource3D(const StringC& name) const;
    [[nodiscard]] ScriptResourceSkyBox* findResourceSkyBox(const StringC& name) const;
    [[nodiscard]] RenderDataScreenLayer* findScreenLayer(const StringC& name) const;
    [[nodiscard]] RenderData3DDesc* find3DDesc(const StringC& name) const;
    [[nodiscard]] RenderData* find2DOr3DDesc(const StringC& name) const;
    [[nodiscard]] CImage32* findImageBuffer(const StringC& name) const;
    [[nodiscard]] ScriptMix* findMix(const StringC& name) const;
    [[nodiscard]] ScriptMixDesc* findMixDesc(const StringC& name) const;
    [[nodiscard]] ScriptEffect* findEffect(const StringC& name) const;
    [[nodiscard]] ScriptEffectDesc* findEffectDesc(const StringC& name) const;
    [[nodiscard]] RenderData* findRenderData(const StringC& name) const;

    const std::vector<std::unique_ptr<ScriptLayerManager>>& getLayerManagers() const { return m_layerManagers; }
    int getSpecialLayerCount() const { return m_nbSpecialLayer; }
    ScriptControllerManager& getControllerManager() { return m_controllerManager; }
    SoundManager* getSoundManager() const { return m_pSoundManager.get(); }

    void* m_hWnd = nullptr;  // the player's window, handed to the mouse input
    // False: the music is decoded without opening the audio device (a trial load beside a
    // running demo, which holds the device).
    bool m_musicOnDevice = true;

private:
    friend struct ScriptSection;
    struct LoadState;

    // Entry readers, one per section (ScriptEngineEntries.cpp): each reads one entry line.
    void readMusic(const std::string& line);
    void readLayerDimension(const std::string& line);
    void readController(const std::string& line);
    void readImage(const std::string& line);
    void readResource2D(const std::string& line);
    void readResource3D(const std::string& line);
    void readSkyBox(const std::string& line);
    void readScreenLayer(const std::string& line);
    void read2DDesc(const std::string& line);
    void read3DDesc(const std::string& line);
    void readSkyBoxDesc(const std::string& line);
    void readSpecialLayer(const std::string& line);
    void readLayerDependency(const std::string& line);
    void readMix(const std::string& line);
    void readEffect(const std::string& line);
    void readMixDesc(const std::string& line);
    void readEffectDesc(const std::string& line);
    void readLayerOperation(const std::string& line);
    // Steps that follow a section, whether it was found or not.
    void loadControllerDirectory();
    void createImageLayers();
    void buildLayerManagers();

    // The size of the layer dimension `name` (0 x 0 when it is not found).
    void copyLayerDimension(ScriptLayerDimension& to, const StringC& name) const;
    // Hands the controller of the controller file `name`, when there is one, to `target` (a
    // descriptor or scene description); a controller it accepts prepares its interface.
    template <class T>
    void attachController(T& target, const StringC& name) const;
    // A MIX_DESC or EFFECT_DESC line: word 2 names the descriptor, word 3 the mix or effect it
    // drives (`find`), whose type word picks the row (`kindOf`) that reads the rest ("NULL" when
    // word 3 names none). No row: `missing` and word 3 are reported (then the line itself when
    // `missingShowsLine`) and the entry is null.
    template <class Desc, class Target, class Kind>
    void readDescriptor(const std::string& line, Target* (ScriptEngine::*find)(const StringC&) const,
                        const Kind* (*kindOf)(const char*), const char* missing, bool missingShowsLine,
                        std::vector<std::unique_ptr<Desc>>& table);

    // Declared first so that it goes last: everything else may point into its controllers.
    ScriptControllerManager m_controllerManager;
    std::unique_ptr<LoadState> m_load;  // a load under way in steps

    int m_startOffset = 0;
    std::unique_ptr<SoundManager> m_pSoundManager;  // null when the script names no music
    uint32_t m_startTick = 0;
    bool m_musicFileRead = false;    // MUSIC takes the first "file:" and "offset:" lines
    bool m_musicOffsetRead = false;

    std::vector<std::unique_ptr<ScriptLayerDimension>> m_layerDims;
    std::vector<std::unique_ptr<ScriptControllerFile>> m_controllerFiles;
    std::vector<std::unique_ptr<ScriptResourceImage>> m_images;
    std::vector<std::unique_ptr<ScriptResource2D>> m_resources2D;
    std::vector<std::unique_ptr<ScriptResource3D>> m_resources3D;
    std::vector<std::unique_ptr<ScriptResourceSkyBox>> m_skyBoxes;
    std::vector<std::unique_ptr<RenderDataScreenLayer>> m_screenLayers;
    std::vector<std::unique_ptr<RenderData2DDesc>> m_2DDescs;
    std::vector<std::unique_ptr<RenderData3DDesc>> m_3DDescs;
    std::vector<std::unique_ptr<RenderDataSkyBoxDesc>> m_skyBoxDescs;
    int m_nbSpecialLayer = 0;
    std::vector<std::unique_ptr<RenderDataImage>> m_imageLayers;
    std::vector<std::unique_ptr<ScriptMix>> m_mixes;             // null for an unknown type
    std::vector<std::unique_ptr<ScriptMixDesc>> m_mixDescs;      // null for a failed line
    std::vector<std::unique_ptr<ScriptEffect>> m_effects;        // null for an unknown type
    std::vector<std::unique_ptr<ScriptEffectDesc>> m_effectDescs;  // null for a failed line
    std::vector<std::unique_ptr<ScriptLayerManager>> m_layerManagers;
    std::vector<std::string> m_operationLines;  // LAYER_MANAGER lines, while the script is read
};
