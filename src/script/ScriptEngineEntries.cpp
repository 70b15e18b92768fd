// The entry readers of the script's sections, one per section (LAYER_MANAGER's are in
// ScriptEngineLayers.cpp), and the tables that pick the effect, mix and descriptor a line names:
// data first, the first matching row wins, the general path (unknown word: a report and a null
// entry) last.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "control/LECXController.h"
#include "foundation/FileTools.h"
#include "music/SoundManager.h"
#include "script/ScriptEngine.h"
#include "script/ScriptEntryLine.h"
#include "script/ScriptLineReader.h"

namespace {

using Words = ScriptWords;

// Index of `word` in `words`; a word that names none is reported with the line (two messages)
// and gives the fallback.
int modeWord(const char* word, std::initializer_list<const char*> words, const char* message,
             const std::string& line, int fallback)
{
    int i = 0;
    for (const char* candidate : words) {
        if (std::strcmp(word, candidate) == 0) return i;
        ++i;
    }
    warnScript(message);
    warnScript(withoutLineEnd(line).c_str());
    return fallback;
}

// The script's blend words ("NORMAL", "TRANSADD", "TRANSSUB"); nothing for any other word.
std::optional<BlendMode> blendModeFromWord(const char* word)
{
    if (std::strcmp(word, "NORMAL") == 0) return kBlendNormal;
    if (std::strcmp(word, "TRANSADD") == 0) return kBlendAdd;
    if (std::strcmp(word, "TRANSSUB") == 0) return kBlendSub;
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// EFFECT types: the three that work on a buffer take the size of the layer dimension in word 4.

struct EffectMaker {
    bool sized;
    std::unique_ptr<ScriptEffect> (*make)(int width, int height);
};

template <class T>
std::unique_ptr<ScriptEffect> makeSized(int width, int height)
{
    return std::make_unique<T>(width, height);
}
template <class T>
std::unique_ptr<ScriptEffect> makeUnsized(int, int)
{
    return std::make_unique<T>();
}

const std::pair<const char*, EffectMaker> kEffectKinds[] = {
    {"HVBLUR", {true, makeSized<ScriptEffectHVBlur>}},
    {"EMBOSS", {true, makeSized<ScriptEffectEmboss>}},
    {"RADIAL", {true, makeSized<ScriptEffectRadial>}},
    {"COLOR", {false, makeUnsized<ScriptEffectColor>}},
    {"DEMOSPE01", {false, makeUnsized<ScriptEffectDemoSpe01>}},
};

// ---------------------------------------------------------------------------------------------
// EFFECT_DESC kinds: the type of the named effect picks the format of words 4 onward. A reader
// returns the descriptor and the name of its controller file ("NULL" for kinds without one).

using EffectDescReader = std::unique_ptr<ScriptEffectDesc> (*)(const std::string& line, StringC& controllerFile);

std::unique_ptr<ScriptEffectDesc> readHVBlurDesc(const std::string& line, StringC&)
{
    auto d = std::make_unique<ScriptEffectHVBlurDesc>();
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %511s %d", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                w.w[5], &d->m_size);
    d->m_direction = FxHVBlur::Direction(
        modeWord(w.w[4], {"HORIZONTAL", "VERTICAL"}, "hvBlur mode not found", line, 0));
    const std::optional<BlendMode> drawMode = blendModeFromWord(w.w[5]);
    if (!drawMode) {
        warnScript("hvBlur drawMode not found");
        warnScript(withoutLineEnd(line).c_str());
    }
    d->m_drawMode = drawMode.value_or(kBlendAdd);
    return d;
}

std::unique_ptr<ScriptEffectDesc> readEmbossDesc(const std::string& line, StringC&)
{
    auto d = std::make_unique<ScriptEffectEmbossDesc>();
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &d->m_strength);
    d->m_mode = FxEmboss::Mode(modeWord(w.w[4], {"EMBOSS", "SHADE"}, "emboss mode not found", line, 0));
    return d;
}

std::unique_ptr<ScriptEffectDesc> readRadialDesc(const std::string& line, StringC&)
{
    auto d = std::make_unique<ScriptEffectRadialDesc>();
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f %f %f %f", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &d->m_factorA, &d->m_factorB, &d->m_centreX, &d->m_centreY);
    d->m_mode = FxRadial::Mode(modeWord(w.w[4], {"SMOOTH", "FAST"}, "radial mode not found", line, 1));
    return d;
}

std::unique_ptr<ScriptEffectDesc> readColorDesc(const std::string& line, StringC& controllerFile)
{
    auto d = std::make_unique<ScriptEffectColorDesc>();
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f %f %f", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &d->m_red, &d->m_green, &d->m_blue);
    d->m_mode = FxColor::Mode(modeWord(w.w[4], {"ADD", "SUB", "MASK", "INVERT", "GRAY", "RED", "GREEN", "BLUE"},
                                       "color mode not found", line, int(FxColor::Mode::Invert)));
    controllerFile = w.w[3];
    return d;
}

std::unique_ptr<ScriptEffectDesc> readDemoSpe01Desc(const std::string& line, StringC& controllerFile)
{
    auto d = std::make_unique<ScriptEffectDemoSpe01Desc>();
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %d", w.w[0], w.w[1], w.w[2], w.w[3], &d->m_mode);
    controllerFile = w.w[3];
    return d;
}

const std::pair<const char*, EffectDescReader> kEffectDescKinds[] = {
    {"HVBLUR", readHVBlurDesc}, {"EMBOSS", readEmbossDesc},       {"RADIAL", readRadialDesc},
    {"COLOR", readColorDesc},   {"DEMOSPE01", readDemoSpe01Desc},
};

// ---------------------------------------------------------------------------------------------
// MIX types and MIX_DESC kinds.

template <class T>
std::unique_ptr<ScriptMix> makeMix()
{
    return std::make_unique<T>();
}

const std::pair<const char*, std::unique_ptr<ScriptMix> (*)()> kMixKinds[] = {
    {"BLIT", makeMix<ScriptMixBlit>},
};

using MixDescReader = std::unique_ptr<ScriptMixDesc> (*)(const ScriptEngine& engine, const std::string& line,
                                                         StringC& controllerFile);

std::unique_ptr<ScriptMixDesc> readBlitDesc(const ScriptEngine& engine, const std::string& line,
                                            StringC& controllerFile)
{
    auto d = std::make_unique<ScriptMixBlitDesc>();
    Words w;
    std::strcpy(w.w[6], "NULL");
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f %511s", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &d->m_opacity, w.w[6]);
    const std::optional<BlendMode> mode = blendModeFromWord(w.w[4]);
    if (!mode) warnScript("blit mode not found");
    d->m_mode = mode.value_or(kBlendAdd);
    d->m_pAlphaMap = engine.findImageBuffer(w[6]);
    controllerFile = w.w[3];
    return d;
}

const std::pair<const char*, MixDescReader> kMixDescKinds[] = {
    {"BLIT", readBlitDesc},
};

const char* typeWord(const StringC& type) { return type.getName() ? type.getName() : "NULL"; }

} // namespace

// ---------------------------------------------------------------------------------------------
// Shared steps

void ScriptEngine::copyLayerDimension(ScriptLayerDimension& to, const StringC& name) const
{
    if (const ScriptLayerDimension* dim = findLayerDimension(name)) {
        to.m_width = dim->m_width;
        to.m_height = dim->m_height;
    }
}

template <class T>
void ScriptEngine::attachController(T& target, const StringC& name) const
{
    const ScriptControllerFile* file = findControllerFile(name);
    LECXController* controller = file ? file->getController() : nullptr;
    if (!controller) return;
    target.setController(controller);
    if (target.getController() == controller) controller->prepareInterface();
}

// ---------------------------------------------------------------------------------------------
// Sections, in file order

void ScriptEngine::readMusic(const std::string& line)
{
    const std::string key = firstWord(line);
    Words w;
    if (key == "file:" && !m_musicFileRead) {
        m_musicFileRead = true;
        std::sscanf(line.c_str(), "%511s %511s", w.w[0], w.w[1]);
        StringC file(w.w[1]);
        if (file == "NULL") return;
        file.findFileInTree();
        // The sound manager exists even when its file fails to load: the clock then stays at 0.
        m_pSoundManager = std::make_unique<SoundManager>();
        m_pSoundManager->load(file, m_musicOnDevice);
    } else if (key == "offset:" && !m_musicOffsetRead) {
        m_musicOffsetRead = true;
        int offset = 0;
        if (std::sscanf(line.c_str(), "%511s %d", w.w[0], &offset) == 2) m_startOffset = offset;
    }
}

void ScriptEngine::loadControllerDirectory()
{
    m_controllerManager.m_hWnd = m_hWnd;
    m_controllerManager.m_pSoundManager = m_pSoundManager.get();
    StringC directory;
    // The script's directory is current while it loads: the controllers live below it, and it
    // is the tree their recordings stay in.
    if (FileTools::currentDirectoryText(directory)) m_controllerManager.loadDirectory(directory + "data/lcx/", directory);
}

void ScriptEngine::readLayerDimension(const std::string& line)
{
    Words w;
    auto dim = std::make_unique<ScriptLayerDimension>();
    std::sscanf(line.c_str(), "%511s %511s %d %d", w.w[0], w.w[1], &dim->m_width, &dim->m_height);
    dim->m_name = w.w[1];
    m_layerDims.push_back(std::move(dim));
}

void ScriptEngine::readController(const std::string& line)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
    auto file = std::make_unique<ScriptControllerFile>();
    file->m_name = w.w[1];
    file->m_fileName = w.w[2];
    file->load();
    if (file->getController()) m_controllerManager.bind(file->getController());
    m_controllerFiles.push_back(std::move(file));
}

namespace {
// IMAGE, 2D and 3D lines: name and file; the resource is loaded at once.
template <class T>
void readResource(const std::string& line, std::vector<std::unique_ptr<T>>& table)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
    auto resource = std::make_unique<T>();
    resource->m_name = w.w[1];
    resource->m_fileName = w.w[2];
    resource->load();
    table.push_back(std::move(resource));
}
} // namespace

void ScriptEngine::readImage(const std::string& line) { readResource(line, m_images); }

void ScriptEngine::readResource2D(const std::string& line) { readResource(line, m_resources2D); }

void ScriptEngine::readResource3D(const std::string& line) { readResource(line, m_resources3D); }

void ScriptEngine::readSkyBox(const std::string& line)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s", w.w[0], w.w[1], w.w[2], w.w[3]);
    auto box = std::make_unique<ScriptResourceSkyBox>();
    box->m_name = w.w[1];
    box->m_fileName = w.w[2];
    box->m_fileName2 = w.w[3];
    box->load();
    m_skyBoxes.push_back(std::move(box));
}

void ScriptEngine::createImageLayers()
{
    for (const auto& image : m_images) {
        auto layer = std::make_unique<RenderDataImage>();
        layer->m_name = image->m_name;
        // A picture without pixels (its file missing or undecodable, already reported) is a
        // missing buffer: writes and mixes of it draw nothing.
        CImage32* picture = image->getImage();
        layer->m_pBuffer = picture && picture->pixelCount() > 0 ? picture : nullptr;
        m_imageLayers.push_back(std::move(layer));
    }
}

void ScriptEngine::readScreenLayer(const std::string& line)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
    auto layer = std::make_unique<RenderDataScreenLayer>();
    layer->m_name = w.w[1];
    copyLayerDimension(layer->m_dimension, w[2]);
    layer->createBuffer();
    m_screenLayers.push_back(std::move(layer));
}

void ScriptEngine::read2DDesc(const std::string& line)
{
    Words w;
    auto desc = std::make_unique<RenderData2DDesc>();
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %d %d", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &desc->m_timeOffset, &desc->m_camera);
    desc->m_name = w.w[1];
    desc->m_pResource = findResource2D(w[2]);
    copyLayerDimension(desc->m_dimension, w[3]);
    m_2DDescs.push_back(std::move(desc));
}

void ScriptEngine::read3DDesc(const std::string& line)
{
    Words w;
    auto desc = std::make_unique<RenderData3DDesc>();
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %d %d", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &desc->m_timeOffset, &desc->m_camera);
    desc->m_name = w.w[1];
    copyLayerDimension(desc->m_dimension, w[3]);
    desc->createViewPort();
    desc->setResource(findResource3D(w[2]));
    attachController(*desc, w[4]);
    m_3DDescs.push_back(std::move(desc));
}

void ScriptEngine::readSkyBoxDesc(const std::string& line)
{
    Words w;
    auto desc = std::make_unique<RenderDataSkyBoxDesc>();
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %d", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &desc->m_timeOffset);
    desc->m_name = w.w[1];
    // The sky box and the 3D description are looked up (and reported) but not kept.
    (void)findResourceSkyBox(w[2]);
    copyLayerDimension(desc->m_dimension, w[3]);
    (void)find3DDesc(w[4]);
    m_skyBoxDescs.push_back(std::move(desc));
}

void ScriptEngine::readSpecialLayer(const std::string&) { ++m_nbSpecialLayer; }

void ScriptEngine::readLayerDependency(const std::string& line)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s", w.w[0], w.w[1], w.w[2], w.w[3]);
    RenderData* desc = find2DOr3DDesc(w[3]);
    if (desc) desc->addDependency(w[2], findScreenLayer(w[1]));
}

void ScriptEngine::readMix(const std::string& line)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
    std::unique_ptr<ScriptMix> mix;
    if (const auto* kind = findKind(kMixKinds, w.w[2])) {
        mix = kind->second();
        mix->m_name = w.w[1];
    } else {
        warnScript("createMix (): can't find iDMix : ", w[2]);
    }
    m_mixes.push_back(std::move(mix));
}

void ScriptEngine::readEffect(const std::string& line)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s", w.w[0], w.w[1], w.w[2], w.w[3]);
    std::unique_ptr<ScriptEffect> effect;
    if (const auto* kind = findKind(kEffectKinds, w.w[2])) {
        ScriptLayerDimension size;
        if (kind->second.sized) copyLayerDimension(size, w[3]);
        effect = kind->second.make(size.m_width, size.m_height);
        effect->m_name = w.w[1];
    } else {
        warnScript("createEffect (): can't find IdEffect : ", w[2]);
    }
    m_effects.push_back(std::move(effect));
}

void ScriptEngine::readMixDesc(const std::string& line)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
    ScriptMix* mix = findMix(w[2]);
    const auto* kind = findKind(kMixDescKinds, mix ? typeWord(mix->m_type) : "NULL");
    if (!kind) {
        warnScript("can't find MIX : ", w[2]);
        return m_mixDescs.push_back(nullptr);
    }
    StringC controllerFile("NULL");
    std::unique_ptr<ScriptMixDesc> desc = kind->second(*this, line, controllerFile);
    desc->m_name = w.w[1];
    desc->setMix(mix);
    attachController(*desc, controllerFile);
    m_mixDescs.push_back(std::move(desc));
}

void ScriptEngine::readEffectDesc(const std::string& line)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
    ScriptEffect* effect = findEffect(w[2]);
    const auto* kind = findKind(kEffectDescKinds, effect ? typeWord(effect->m_type) : "NULL");
    if (!kind) {
        warnScript("can't find EFFECT : ", w[2]);
        warnScript(withoutLineEnd(line).c_str());
        return m_effectDescs.push_back(nullptr);
    }
    StringC controllerFile("NULL");
    std::unique_ptr<ScriptEffectDesc> desc = kind->second(line, controllerFile);
    desc->m_name = w.w[1];
    desc->setEffect(effect);
    attachController(*desc, controllerFile);
    m_effectDescs.push_back(std::move(desc));
}
