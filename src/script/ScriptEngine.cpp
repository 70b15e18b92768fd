#include "script/ScriptEngine.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "image/CImage32.h"
#include "music/SoundManager.h"
#include "platform/Platform.h"
#include "s3d/LECXControllerL3XParam.h"
#include "script/ScriptEntryLine.h"
#include "script/ScriptLineReader.h"

// The script's sections, in the order the file must hold them. Loading walks the table once:
// each row's section is collected, every line starting with its key is handed to its entry
// reader (a null key hands over every line), then its step runs, found or not. A new section is
// one row and one entry reader.
struct ScriptSection {
    using EntryReader = void (ScriptEngine::*)(const std::string& line);
    using Step = void (ScriptEngine::*)();

    const char* name;          // the tags are <name> and </name>
    const char* key;           // "file:" or "desc:"
    int capacity;              // the section is dropped when its entries reach it (0: no limit)
    const char* limitMessage;
    EntryReader readEntry;
    Step step;                 // null: none

    static const ScriptSection kTable[];
};

const ScriptSection ScriptSection::kTable[] = {
    {"MUSIC", nullptr, 0, "", &ScriptEngine::readMusic, &ScriptEngine::loadControllerDirectory},
    {"LAYER_DIMENSION", "desc:", kMaxLayerDim, "nb >= MAX_NB_LAYER_DIM", &ScriptEngine::readLayerDimension,
     nullptr},
    {"CONTROLLER", "file:", kMaxController, "nb >= MAX_NB_CONTROLLER", &ScriptEngine::readController, nullptr},
    {"IMAGE", "file:", kMaxImage, "nb >= MAX_NB_IMAGE", &ScriptEngine::readImage, nullptr},
    {"2D", "file:", kMaxRes2D, "nb >= MAX_NB_RES2D", &ScriptEngine::readResource2D, nullptr},
    {"3D", "file:", kMaxRes3D, "nb >= MAX_NB_RES3D", &ScriptEngine::readResource3D, nullptr},
    {"SKYBOX", "file:", kMaxSkybox, "nb >= MAX_NB_SKYBOX", &ScriptEngine::readSkyBox,
     &ScriptEngine::createImageLayers},
    {"SCREEN_LAYER", "desc:", kMaxScreenLayer, "nb >= MAX_NB_SCREEN_LAYER", &ScriptEngine::readScreenLayer,
     nullptr},
    {"2D_DESC", "desc:", kMax2DDesc, "nb >= MAX_NB_2D_DESC", &ScriptEngine::read2DDesc, nullptr},
    {"3D_DESC", "desc:", kMax3DDesc, "nb >= MAX_NB_3D_DESC", &ScriptEngine::read3DDesc, nullptr},
    {"SKYBOX_DESC", "desc:", kMaxSkyboxDesc, "nb >= MAX_NB_SKYBOX_DESC", &ScriptEngine::readSkyBoxDesc,
     nullptr},
    {"SPE_LAYER", "desc:", kMaxSpeLayer, "nb >= MAX_NB_SPE_LAYER", &ScriptEngine::readSpecialLayer, nullptr},
    {"LAYER_DEPENDENCY", "desc:", kMaxLayerDep, "nb >= MAX_NB_LAYER_DEP", &ScriptEngine::readLayerDependency,
     nullptr},
    {"MIX", "desc:", kMaxMix, "nb >= MAX_NB_MIX", &ScriptEngine::readMix, nullptr},
    {"EFFECT", "desc:", kMaxEffect, "nb >= MAX_NB_EFFECT", &ScriptEngine::readEffect, nullptr},
    {"MIX_DESC", "desc:", kMaxMixDesc, "nb >= MAX_NB_MIX_DESC", &ScriptEngine::readMixDesc, nullptr},
    {"EFFECT_DESC", "desc:", kMaxEffectDesc, "nb >= MAX_NB_EFFECT_DESC", &ScriptEngine::readEffectDesc,
     nullptr},
    {"LAYER_MANAGER", "desc:", kMaxLayerOperation, "nb >= MAX_NB_LAYER_OPERATION",
     &ScriptEngine::readLayerOperation, &ScriptEngine::buildLayerManagers},
};

namespace {

// Lookup in one table: file order, first equal name, null entries skipped.
template <class T>
T* findIn(const std::vector<std::unique_ptr<T>>& table, const StringC& name)
{
    for (const auto& entry : table)
        if (entry && entry->m_name == name) return entry.get();
    return nullptr;
}

// Every lookup: the tables searched in order, the first equal name wins; "NULL" is none without
// a message; a miss is reported, except in a lone table that is empty.
template <class R, class... T>
R* lookup(const StringC& name, const char* message, const std::vector<std::unique_ptr<T>>&... tables)
{
    if (isNullName(name)) return nullptr;
    R* found = nullptr;
    ((found = found ? found : findIn(tables, name)), ...);
    if (found) return found;
    if (sizeof...(T) == 1 && (tables.empty() && ...)) return nullptr;
    warnScript(message, name);
    return nullptr;
}

// The section of order `k` was not found: its search, and every one after it, read to the end of
// the file. Told once, with the order it must come in and the tag-like line that best shows what
// stood in its way: its own opening tag passed over by an earlier search (it stands before a
// section that must come first), else the first tag-like line its own search read that is no
// tag of a later section (misspelt, unknown, its closing tag alone, an earlier section's again).
void reportMissingSection(const ScriptLineReader& reader, size_t k)
{
    const auto tag = [](size_t i) { return std::string("<") + ScriptSection::kTable[i].name + ">"; };
    const auto laterSectionTag = [k](const std::string& word) {
        for (size_t i = k + 1; i < std::size(ScriptSection::kTable); ++i) {
            const std::string name = ScriptSection::kTable[i].name;
            if (word == "<" + name + ">" || word == "</" + name + ">") return true;
        }
        return false;
    };
    std::string text = "section " + tag(k) + " not found: ";
    text += k == 0 ? tag(k) + " must come first" : tag(k - 1) + " ... " + tag(k) + " must come in this order";
    const ScriptLineReader::PassedTag* standing = nullptr;
    for (const ScriptLineReader::PassedTag& passed : reader.passedTags())
        if (passed.search < reader.searchIndex() && passed.word == tag(k)) {
            standing = &passed;
            break;
        }
    for (const ScriptLineReader::PassedTag& passed : reader.passedTags()) {
        if (standing) break;
        if (passed.search == reader.searchIndex() && !laterSectionTag(passed.word)) standing = &passed;
    }
    if (standing) text += "; line " + std::to_string(standing->line) + " holds " + standing->word;
    warnScript(text.c_str());
}

} // namespace

// The 3D scene controllers (type 2) come from the scene engine, which registers its kind with
// the controller factory before any .lecx file of the script is read.
ScriptEngine::ScriptEngine() { registerLECXControllerL3X(); }

ScriptEngine::~ScriptEngine()
{
    // The music goes first, then the tables in reverse dependency order; the controller
    // manager (first member) goes last.
    m_pSoundManager.reset();
    m_layerManagers.clear();
    m_effectDescs.clear();
    m_mixDescs.clear();
    m_effects.clear();
    m_mixes.clear();
    m_imageLayers.clear();
    m_skyBoxDescs.clear();
    m_3DDescs.clear();
    m_2DDescs.clear();
    m_screenLayers.clear();
    m_skyBoxes.clear();
    m_resources3D.clear();
    m_resources2D.clear();
    m_images.clear();
    m_controllerFiles.clear();
    m_layerDims.clear();
}

// A load under way: the script's file, the section reached and the entry lines collected of it.
struct ScriptEngine::LoadState {
    struct Closer {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<FILE, Closer> file;
    ScriptLineReader reader;
    long size = 0;
    size_t section = 0;
    bool collected = false;  // the section's lines are in `lines`
    std::vector<std::string> lines;
    size_t nextLine = 0;
    long sectionStart = 0, sectionEnd = 0;  // file offsets around the section's lines
    bool missingTold = false;

    explicit LoadState(FILE* f) : file(f), reader(f)
    {
        if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
        std::rewind(f);
    }
};

void ScriptEngine::load(const StringC& path)
{
    if (beginLoad(path))
        while (loadStep()) {
        }
}

bool ScriptEngine::beginLoad(const StringC& path)
{
    m_load.reset();
    FILE* file = FileTools::openFile(path.getName(), "rt");
    if (!file) {
        warnScript("Can't open file : ", path);
        return false;
    }
    m_load = std::make_unique<LoadState>(file);
    return true;
}

bool ScriptEngine::loadStep()
{
    if (!m_load) return false;
    LoadState& l = *m_load;
    const ScriptSection& section = ScriptSection::kTable[l.section];
    if (!l.collected) {
        l.sectionStart = std::ftell(l.file.get());
        const bool found =
            l.reader.collect(section.name, section.key, section.capacity, section.limitMessage, l.lines);
        // The first section not found is told; those after it are lost with it. An empty file
        // is the empty script (black frames) and a section cut short has been told already.
        if (!found && !l.missingTold && l.reader.linesRead() > 0 && !l.reader.endedInSection()) {
            reportMissingSection(l.reader, l.section);
            l.missingTold = true;
        }
        l.sectionEnd = std::ftell(l.file.get());
        l.nextLine = 0;
        l.collected = true;
        return true;
    }
    while (l.nextLine < l.lines.size()) {
        const std::string& line = l.lines[l.nextLine++];
        if (!section.key || firstWord(line) == section.key) {
            (this->*section.readEntry)(line);
            return true;
        }
    }
    if (section.step) (this->*section.step)();
    l.collected = false;
    l.sectionStart = l.sectionEnd;
    if (++l.section < std::size(ScriptSection::kTable)) return true;
    m_load.reset();
    return false;
}

double ScriptEngine::loadProgress() const
{
    if (!m_load) return 1.0;
    const LoadState& l = *m_load;
    if (l.size <= 0) return 0.0;
    double at = double(l.sectionStart);
    if (l.collected && !l.lines.empty())
        at += double(l.sectionEnd - l.sectionStart) * double(l.nextLine) / double(l.lines.size());
    // 1 only once the load is complete.
    return std::min(0.999, std::max(0.0, at / double(l.size)));
}

void ScriptEngine::start()
{
    if (m_pSoundManager) {
        m_pSoundManager->setTime(m_startOffset);
        m_pSoundManager->play();
    }
    m_startTick = platform().clock->tickCount();
}

int ScriptEngine::getTime() const
{
    if (m_pSoundManager) return m_pSoundManager->getTime();
    return static_cast<int>(platform().clock->tickCount() - m_startTick);
}

void ScriptEngine::render(CImage32* frame, int demoMs)
{
    if (m_layerManagers.empty()) return;
    m_controllerManager.beginFrame();
    m_layerManagers.back()->setDestination(frame);
    for (const auto& manager : m_layerManagers) manager->run(demoMs);
    m_controllerManager.drawInput(frame);
}

// ---------------------------------------------------------------------------------------------
// Lookups

ScriptLayerDimension* ScriptEngine::findLayerDimension(const StringC& name) const
{
    return lookup<ScriptLayerDimension>(name, "Can't find layerDim: ", m_layerDims);
}

ScriptControllerFile* ScriptEngine::findControllerFile(const StringC& name) const
{
    return lookup<ScriptControllerFile>(name, "Can't find controller: ", m_controllerFiles);
}

ScriptResource2D* ScriptEngine::findResource2D(const StringC& name) const
{
    return lookup<ScriptResource2D>(name, "Can't find ressource2D: ", m_resources2D);
}

ScriptResource3D* ScriptEngine::findResource3D(const StringC& name) const
{
    return lookup<ScriptResource3D>(name, "Can't find ressource3D: ", m_resources3D);
}

ScriptResourceSkyBox* ScriptEngine::findResourceSkyBox(const StringC& name) const
{
    return lookup<ScriptResourceSkyBox>(name, "Can't find ressourceSkyBox: ", m_skyBoxes);
}

RenderDataScreenLayer* ScriptEngine::findScreenLayer(const StringC& name) const
{
    return lookup<RenderDataScreenLayer>(name, "Can't find SCREEN_LAYER: ", m_screenLayers);
}

RenderData3DDesc* ScriptEngine::find3DDesc(const StringC& name) const
{
    return lookup<RenderData3DDesc>(name, "Can't find 3D_DESC: ", m_3DDescs);
}

RenderData* ScriptEngine::find2DOr3DDesc(const StringC& name) const
{
    return lookup<RenderData>(name, "Can't find 2D_DESC/3D_DESC: ", m_2DDescs, m_3DDescs);
}

CImage32* ScriptEngine::findImageBuffer(const StringC& name) const
{
    const RenderDataBuffer* layer =
        lookup<RenderDataBuffer>(name, "Can't find IMAGE/SCREEN_LAYER Ptr: ", m_imageLayers, m_screenLayers);
    return layer ? layer->getBuffer() : nullptr;
}

ScriptMix* ScriptEngine::findMix(const StringC& name) const
{
    return lookup<ScriptMix>(name, "Can't find Mix: ", m_mixes);
}

ScriptMixDesc* ScriptEngine::findMixDesc(const StringC& name) const
{
    return lookup<ScriptMixDesc>(name, "Can't find MixDesc: ", m_mixDescs);
}

ScriptEffect* ScriptEngine::findEffect(const StringC& name) const
{
    return lookup<ScriptEffect>(name, "Can't find Effect: ", m_effects);
}

ScriptEffectDesc* ScriptEngine::findEffectDesc(const StringC& name) const
{
    return lookup<ScriptEffectDesc>(name, "Can't find EffectDesc: ", m_effectDescs);
}

RenderData* ScriptEngine::findRenderData(const StringC& name) const
{
    // Special layers hold no objects and never match.
    return lookup<RenderData>(name, "Can't find SCREEN_LAYER/SPE_LAYER/IMAGE/2D_DESC/3D_DESC/SKYBOX_DESC: ",
                              m_screenLayers, m_imageLayers, m_2DDescs, m_3DDescs, m_skyBoxDescs);
}
