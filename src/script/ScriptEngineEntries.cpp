// The entry readers of the script's sections, one per section (LAYER_MANAGER's are in
// ScriptEngineLayers.cpp). The effect, mix and descriptor a line names are picked from the rows
// of ScriptEffectKinds.cpp: the first matching row wins, the general path (unknown word: a report
// and a null entry) comes last.
#include <cstdio>

#include "control/LECXController.h"
#include "foundation/FileTools.h"
#include "music/SoundManager.h"
#include "script/ScriptEffectKinds.h"
#include "script/ScriptEngine.h"
#include "script/ScriptEntryLine.h"
#include "script/ScriptLineReader.h"

namespace {

using Words = ScriptWords;

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
    if (const ScriptMixKind* kind = findMixKind(w.w[2])) {
        mix = kind->make();
        mix->m_name = w.w[1];
        mix->m_type = kind->word;
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
    if (const ScriptEffectKind* kind = findEffectKind(w.w[2])) {
        ScriptLayerDimension size;
        if (kind->sized) copyLayerDimension(size, w[3]);
        effect = kind->make(size.m_width, size.m_height);
        effect->m_name = w.w[1];
        effect->m_type = kind->word;
    } else {
        warnScript("createEffect (): can't find IdEffect : ", w[2]);
    }
    m_effects.push_back(std::move(effect));
}

namespace {
// A descriptor takes the mix or effect it drives.
void drive(ScriptMixDesc& desc, ScriptMix* mix) { desc.setMix(mix); }
void drive(ScriptEffectDesc& desc, ScriptEffect* effect) { desc.setEffect(effect); }
} // namespace

template <class Desc, class Target, class Kind>
void ScriptEngine::readDescriptor(const std::string& line, Target* (ScriptEngine::*find)(const StringC&) const,
                                  const Kind* (*kindOf)(const char*), const char* missing, bool missingShowsLine,
                                  std::vector<std::unique_ptr<Desc>>& table)
{
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
    Target* target = (this->*find)(w[2]);
    const Kind* kind = kindOf(target ? typeWord(target->m_type) : "NULL");
    if (!kind) {
        warnScript(missing, w[2]);
        if (missingShowsLine) warnScript(withoutLineEnd(line).c_str());
        return table.push_back(nullptr);
    }
    StringC controllerFile("NULL");
    std::unique_ptr<Desc> desc = kind->readDesc(*this, line, controllerFile);
    desc->m_name = w.w[1];
    drive(*desc, target);
    attachController(*desc, controllerFile);
    table.push_back(std::move(desc));
}

void ScriptEngine::readMixDesc(const std::string& line)
{
    readDescriptor(line, &ScriptEngine::findMix, findMixKind, "can't find MIX : ", false, m_mixDescs);
}

void ScriptEngine::readEffectDesc(const std::string& line)
{
    readDescriptor(line, &ScriptEngine::findEffect, findEffectKind, "can't find EFFECT : ", true, m_effectDescs);
}
