#include "script/ScriptEngine.h"

#include <cstdio>
#include <cstring>

#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "image/CImage32.h"
#include "control/LECXController.h"
#include "music/SoundManager.h"
#include "platform/Platform.h"

namespace {

const char* const kCaption = "ScriptEngine :";
constexpr int kLineChars = 512;       // a line holds at most 511 characters
constexpr int kSearchLimit = 10000;   // lines a tag search reads before it complains

void warn(const char* text) { reportWarning(kCaption, text); }

void warn(const char* prefix, const StringC& name)
{
    const std::string text = std::string(prefix) + (name.getName() ? name.getName() : "");
    warn(text.c_str());
}

// First word of a line, or "" for a blank line.
std::string firstWord(const char* line)
{
    char word[kLineChars] = "";
    if (std::sscanf(line, "%511s", word) != 1) return std::string();
    return word;
}

bool isNullName(const StringC& name) { return name.isNull() || name == "NULL"; }

// Lookup in one table: file order, first equal name, null entries skipped.
template <class T>
T* findIn(const std::vector<std::unique_ptr<T>>& table, const StringC& name)
{
    for (const auto& entry : table)
        if (entry && entry->m_name == name) return entry.get();
    return nullptr;
}

// The common shape of most lookups: "NULL" is none, a miss is reported unless the table is empty.
template <class T>
T* lookup(const std::vector<std::unique_ptr<T>>& table, const StringC& name, const char* message)
{
    if (isNullName(name) || table.empty()) return nullptr;
    if (T* found = findIn(table, name)) return found;
    warn(message, name);
    return nullptr;
}

// The words of an entry line after its key, read with a scanf format of string fields.
struct Words {
    char w[10][kLineChars] = {};
    StringC operator[](int i) const { return StringC(w[i]); }
};

std::string trimmed(const std::string& line)
{
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

} // namespace

// Reads the script line by line, forward only: finds a section's opening tag and collects its
// lines up to the closing tag.
class ScriptReader {
public:
    explicit ScriptReader(FILE* f) : m_file(f) {}

    // Reads the next line (at most 511 characters; a longer line continues as the next one).
    bool next(std::string& line)
    {
        char buffer[kLineChars];
        if (!std::fgets(buffer, sizeof buffer, m_file)) {
            m_atEnd = true;
            return false;
        }
        line = buffer;
        return true;
    }

    // Searches forward for the line whose first word is `tag`. False at end of file.
    bool findTag(const char* tag)
    {
        std::string line;
        int read = 0;
        while (!m_atEnd && next(line)) {
            if (++read > kSearchLimit) reportWarning("infinite loop", "searchExpression");
            if (firstWord(line.c_str()) == tag) return true;
        }
        return false;
    }

    // Finds the section and collects its lines. False when the section is absent (end of file
    // before its opening or closing tag) or dropped because it reached its capacity.
    bool section(const char* open, const char* close, const char* key, int capacity, const char* limitMessage,
                 std::vector<std::string>& lines)
    {
        lines.clear();
        if (!findTag(open)) return false;
        std::string line;
        int read = 0;
        int entries = 0;
        bool dropped = false;
        while (next(line)) {
            if (++read > kSearchLimit) reportWarning("infinite loop", "searchExpression");
            const std::string word = firstWord(line.c_str());
            if (word == close) {
                if (dropped) lines.clear();
                return !dropped;
            }
            if (dropped) continue;
            lines.push_back(line);
            if (key && word == key && ++entries >= capacity) {
                warn(limitMessage);
                dropped = true;
                lines.clear();
            }
        }
        lines.clear();  // end of file inside the section: it counts as absent
        return false;
    }

private:
    FILE* m_file;
    bool m_atEnd = false;
};

ScriptEngine::ScriptEngine() = default;

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

void ScriptEngine::load(const StringC& path)
{
    FILE* file = FileTools::openFile(path.getName(), "rt");
    if (!file) {
        warn("Can't open file : ", path);
        return;
    }
    ScriptReader reader(file);
    std::vector<std::string> lines;

    readMusic(reader);

    m_controllerManager.m_hWnd = m_hWnd;
    m_controllerManager.m_pSoundManager = m_pSoundManager.get();
    StringC directory;
    if (FileTools::currentDirectoryText(directory)) m_controllerManager.loadDirectory(directory + "data/lcx/");

    if (reader.section("<LAYER_DIMENSION>", "</LAYER_DIMENSION>", "desc:", MAX_NB_LAYER_DIM, "nb >= MAX_NB_LAYER_DIM", lines))
        readLayerDimensions(lines);
    if (reader.section("<CONTROLLER>", "</CONTROLLER>", "file:", MAX_NB_CONTROLLER, "nb >= MAX_NB_CONTROLLER", lines))
        readControllers(lines);
    if (reader.section("<IMAGE>", "</IMAGE>", "file:", MAX_NB_IMAGE, "nb >= MAX_NB_IMAGE", lines))
        readImages(lines);
    if (reader.section("<2D>", "</2D>", "file:", MAX_NB_RES2D, "nb >= MAX_NB_RES2D", lines))
        readResources2D(lines);
    if (reader.section("<3D>", "</3D>", "file:", MAX_NB_RES3D, "nb >= MAX_NB_RES3D", lines))
        readResources3D(lines);
    if (reader.section("<SKYBOX>", "</SKYBOX>", "file:", MAX_NB_SKYBOX, "nb >= MAX_NB_SKYBOX", lines))
        readSkyBoxes(lines);
    createImageLayers();
    if (reader.section("<SCREEN_LAYER>", "</SCREEN_LAYER>", "desc:", MAX_NB_SCREEN_LAYER, "nb >= MAX_NB_SCREEN_LAYER", lines))
        readScreenLayers(lines);
    if (reader.section("<2D_DESC>", "</2D_DESC>", "desc:", MAX_NB_2D_DESC, "nb >= MAX_NB_2D_DESC", lines))
        read2DDescs(lines);
    if (reader.section("<3D_DESC>", "</3D_DESC>", "desc:", MAX_NB_3D_DESC, "nb >= MAX_NB_3D_DESC", lines))
        read3DDescs(lines);
    if (reader.section("<SKYBOX_DESC>", "</SKYBOX_DESC>", "desc:", MAX_NB_SKYBOX_DESC, "nb >= MAX_NB_SKYBOX_DESC", lines))
        readSkyBoxDescs(lines);
    if (reader.section("<SPE_LAYER>", "</SPE_LAYER>", "desc:", MAX_NB_SPE_LAYER, "nb >= MAX_NB_SPE_LAYER", lines)) {
        for (const std::string& line : lines)
            if (firstWord(line.c_str()) == "desc:") ++m_nbSpecialLayer;
    }
    if (reader.section("<LAYER_DEPENDENCY>", "</LAYER_DEPENDENCY>", "desc:", MAX_NB_LAYER_DEP, "nb >= MAX_NB_LAYER_DEP", lines))
        readLayerDependencies(lines);
    if (reader.section("<MIX>", "</MIX>", "desc:", MAX_NB_MIX, "nb >= MAX_NB_MIX", lines))
        readMixes(lines);
    if (reader.section("<EFFECT>", "</EFFECT>", "desc:", MAX_NB_EFFECT, "nb >= MAX_NB_EFFECT", lines))
        readEffects(lines);
    if (reader.section("<MIX_DESC>", "</MIX_DESC>", "desc:", MAX_NB_MIX_DESC, "nb >= MAX_NB_MIX_DESC", lines))
        readMixDescs(lines);
    if (reader.section("<EFFECT_DESC>", "</EFFECT_DESC>", "desc:", MAX_NB_EFFECT_DESC, "nb >= MAX_NB_EFFECT_DESC", lines))
        readEffectDescs(lines);
    if (reader.section("<LAYER_MANAGER>", "</LAYER_MANAGER>", "desc:", MAX_NB_LAYER_OPERATION,
                       "nb >= MAX_NB_LAYER_OPERATION", lines))
        buildLayerManagers(lines);
    std::fclose(file);
}

void ScriptEngine::readMusic(ScriptReader& reader)
{
    std::vector<std::string> lines;
    if (!reader.section("<MUSIC>", "</MUSIC>", nullptr, 0, "", lines)) return;
    bool haveFile = false, haveOffset = false;
    for (const std::string& line : lines) {
        const std::string key = firstWord(line.c_str());
        Words w;
        if (key == "file:" && !haveFile) {
            haveFile = true;
            std::sscanf(line.c_str(), "%511s %511s", w.w[0], w.w[1]);
            StringC file(w.w[1]);
            if (!(file == "NULL")) {
                file.findFileInTree();
                // The sound manager exists even when its file fails to load: the clock then stays at 0.
                m_pSoundManager = std::make_unique<SoundManager>();
                m_pSoundManager->load(file);
            }
        } else if (key == "offset:" && !haveOffset) {
            haveOffset = true;
            int offset = 0;
            if (std::sscanf(line.c_str(), "%511s %d", w.w[0], &offset) == 2) m_startOffset = offset;
        }
    }
}

void ScriptEngine::readLayerDimensions(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        auto dim = std::make_unique<ScriptLayerDimension>();
        std::sscanf(line.c_str(), "%511s %511s %d %d", w.w[0], w.w[1], &dim->m_width, &dim->m_height);
        dim->m_name = w.w[1];
        m_layerDims.push_back(std::move(dim));
    }
}

void ScriptEngine::readControllers(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "file:") continue;
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
        auto file = std::make_unique<ScriptControllerFile>();
        file->m_name = w.w[1];
        file->m_fileName = w.w[2];
        file->load();
        if (file->getController()) m_controllerManager.bind(file->getController());
        m_controllerFiles.push_back(std::move(file));
    }
}

// IMAGE, 2D and 3D lines: name and file; each resource is loaded at once.
template <class T>
void readResources(const std::vector<std::string>& lines, std::vector<std::unique_ptr<T>>& table)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "file:") continue;
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
        auto resource = std::make_unique<T>();
        resource->m_name = w.w[1];
        resource->m_fileName = w.w[2];
        resource->load();
        table.push_back(std::move(resource));
    }
}

void ScriptEngine::readImages(const std::vector<std::string>& lines) { readResources(lines, m_images); }

void ScriptEngine::readResources2D(const std::vector<std::string>& lines) { readResources(lines, m_resources2D); }

void ScriptEngine::readResources3D(const std::vector<std::string>& lines) { readResources(lines, m_resources3D); }

void ScriptEngine::readSkyBoxes(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "file:") continue;
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s %511s", w.w[0], w.w[1], w.w[2], w.w[3]);
        auto box = std::make_unique<ScriptResourceSkyBox>();
        box->m_name = w.w[1];
        box->m_fileName = w.w[2];
        box->m_fileName2 = w.w[3];
        box->load();
        m_skyBoxes.push_back(std::move(box));
    }
}

void ScriptEngine::createImageLayers()
{
    for (const auto& image : m_images) {
        auto layer = std::make_unique<RenderDataImage>();
        layer->m_name = image->m_name;
        layer->m_pBuffer = image->getImage();
        m_imageLayers.push_back(std::move(layer));
    }
}

void ScriptEngine::readScreenLayers(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
        auto layer = std::make_unique<RenderDataScreenLayer>();
        layer->m_name = w.w[1];
        if (const ScriptLayerDimension* dim = findLayerDimension(w[2])) {
            layer->m_dimension.m_width = dim->m_width;
            layer->m_dimension.m_height = dim->m_height;
        }
        layer->createBuffer();
        m_screenLayers.push_back(std::move(layer));
    }
}

void ScriptEngine::read2DDescs(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        auto desc = std::make_unique<RenderData2DDesc>();
        std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %d %d", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                    &desc->m_timeOffset, &desc->m_camera);
        desc->m_name = w.w[1];
        desc->m_pResource = findResource2D(w[2]);
        if (const ScriptLayerDimension* dim = findLayerDimension(w[3])) {
            desc->m_dimension.m_width = dim->m_width;
            desc->m_dimension.m_height = dim->m_height;
        }
        m_2DDescs.push_back(std::move(desc));
    }
}

void ScriptEngine::read3DDescs(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        auto desc = std::make_unique<RenderData3DDesc>();
        std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %d %d", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                    &desc->m_timeOffset, &desc->m_camera);
        desc->m_name = w.w[1];
        if (const ScriptLayerDimension* dim = findLayerDimension(w[3])) {
            desc->m_dimension.m_width = dim->m_width;
            desc->m_dimension.m_height = dim->m_height;
        }
        desc->m_pResource = findResource3D(w[2]);
        if (const ScriptControllerFile* file = findControllerFile(w[4])) {
            if (LECXController* controller = file->getController()) {
                desc->setController(controller);
                if (desc->getController() == controller) controller->prepareInterface();
            }
        }
        m_3DDescs.push_back(std::move(desc));
    }
}

void ScriptEngine::readSkyBoxDescs(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        auto desc = std::make_unique<RenderDataSkyBoxDesc>();
        std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %d", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                    &desc->m_timeOffset);
        desc->m_name = w.w[1];
        // The sky box and the 3D description are looked up (and reported) but not kept.
        findResourceSkyBox(w[2]);
        if (const ScriptLayerDimension* dim = findLayerDimension(w[3])) {
            desc->m_dimension.m_width = dim->m_width;
            desc->m_dimension.m_height = dim->m_height;
        }
        find3DDesc(w[4]);
        m_skyBoxDescs.push_back(std::move(desc));
    }
}

void ScriptEngine::readLayerDependencies(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s %511s", w.w[0], w.w[1], w.w[2], w.w[3]);
        RenderData* desc = find2DOr3DDesc(w[3]);
        if (!desc) continue;
        RenderData* layer = findScreenLayer(w[1]);
        // Dependencies have no effect for any kind of render data.
        if (auto* d2 = dynamic_cast<RenderData2DDesc*>(desc)) d2->addDependency(w[2], layer);
        if (auto* d3 = dynamic_cast<RenderData3DDesc*>(desc)) d3->addDependency(w[2], layer);
    }
}

void ScriptEngine::readMixes(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
        std::unique_ptr<ScriptMix> mix;
        if (std::strcmp(w.w[2], "BLIT") == 0) {
            mix = std::make_unique<ScriptMixBlit>();
            mix->m_name = w.w[1];
        } else {
            warn("createMix (): can't find iDMix : ", w[2]);
        }
        m_mixes.push_back(std::move(mix));
    }
}

void ScriptEngine::readEffects(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s %511s", w.w[0], w.w[1], w.w[2], w.w[3]);
        const std::string type = w.w[2];
        // The effects working on a buffer take the size of the layer dimension in word 4.
        auto size = [&](int& width, int& height) {
            width = height = 0;
            if (const ScriptLayerDimension* dim = findLayerDimension(w[3])) {
                width = dim->m_width;
                height = dim->m_height;
            }
        };
        std::unique_ptr<ScriptEffect> effect;
        int width = 0, height = 0;
        if (type == "HVBLUR") {
            size(width, height);
            effect = std::make_unique<ScriptEffectHVBlur>(width, height);
        } else if (type == "EMBOSS") {
            size(width, height);
            effect = std::make_unique<ScriptEffectEmboss>(width, height);
        } else if (type == "RADIAL") {
            size(width, height);
            effect = std::make_unique<ScriptEffectRadial>(width, height);
        } else if (type == "COLOR") {
            effect = std::make_unique<ScriptEffectColor>();
        } else if (type == "DEMOSPE01") {
            effect = std::make_unique<ScriptEffectDemoSpe01>();
        } else {
            warn("createEffect (): can't find IdEffect : ", w[2]);
        }
        if (effect) effect->m_name = w.w[1];
        m_effects.push_back(std::move(effect));
    }
}

void ScriptEngine::readMixDescs(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
        ScriptMix* mix = findMix(w[2]);
        const std::string kind = mix && mix->m_type.getName() ? mix->m_type.getName() : "NULL";
        if (kind != "BLIT") {
            warn("can't find MIX : ", w[2]);
            m_mixDescs.push_back(nullptr);
            continue;
        }
        auto desc = std::make_unique<ScriptMixBlitDesc>();
        float opacity = 1.0f;
        std::strcpy(w.w[4], "");
        std::strcpy(w.w[6], "NULL");
        std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f %511s", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                    &opacity, w.w[6]);
        desc->m_name = w.w[1];
        desc->setMix(mix);
        if (std::strcmp(w.w[4], "NORMAL") == 0) {
            desc->m_mode = kMixBlitNormal;
        } else if (std::strcmp(w.w[4], "TRANSADD") == 0) {
            desc->m_mode = kMixBlitTransAdd;
        } else if (std::strcmp(w.w[4], "TRANSSUB") == 0) {
            desc->m_mode = kMixBlitTransSub;
        } else {
            warn("blit mode not found");
            desc->m_mode = kMixBlitTransAdd;
        }
        desc->m_opacity = opacity;
        desc->m_pAlphaMap = findImageBuffer(w[6]);
        if (const ScriptControllerFile* file = findControllerFile(w[3])) {
            if (LECXController* controller = file->getController()) {
                desc->setController(controller);
                if (desc->m_pController == controller) controller->prepareInterface();
            }
        }
        m_mixDescs.push_back(std::move(desc));
    }
}

namespace {
// Index of `word` in `words`, or -1.
int wordIndex(const char* word, std::initializer_list<const char*> words)
{
    int i = 0;
    for (const char* candidate : words) {
        if (std::strcmp(word, candidate) == 0) return i;
        ++i;
    }
    return -1;
}
} // namespace

void ScriptEngine::readEffectDescs(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (firstWord(line.c_str()) != "desc:") continue;
        const std::string text = trimmed(line);
        Words w;
        std::sscanf(line.c_str(), "%511s %511s %511s", w.w[0], w.w[1], w.w[2]);
        ScriptEffect* effect = findEffect(w[2]);
        const std::string kind = effect && effect->m_type.getName() ? effect->m_type.getName() : "NULL";
        // A word that names no mode: two messages, then the fallback mode.
        auto mode = [&](const char* word, std::initializer_list<const char*> words, const char* message,
                        int fallback) {
            const int i = wordIndex(word, words);
            if (i >= 0) return i;
            warn(message);
            warn(text.c_str());
            return fallback;
        };
        std::unique_ptr<ScriptEffectDesc> desc;
        StringC controllerFile("NULL");
        if (kind == "HVBLUR") {
            auto d = std::make_unique<ScriptEffectHVBlurDesc>();
            std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %511s %d", w.w[0], w.w[1], w.w[2], w.w[3],
                        w.w[4], w.w[5], &d->m_size);
            d->m_direction = mode(w.w[4], {"HORIZONTAL", "VERTICAL"}, "hvBlur mode not found", kHVBlurHorizontal);
            d->m_drawMode =
                mode(w.w[5], {"NORMAL", "TRANSADD", "TRANSSUB"}, "hvBlur drawMode not found", kDrawTransAdd);
            desc = std::move(d);
        } else if (kind == "EMBOSS") {
            auto d = std::make_unique<ScriptEffectEmbossDesc>();
            std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                        &d->m_strength);
            d->m_mode = mode(w.w[4], {"EMBOSS", "SHADE"}, "emboss mode not found", kEmbossRelief);
            desc = std::move(d);
        } else if (kind == "RADIAL") {
            auto d = std::make_unique<ScriptEffectRadialDesc>();
            std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f %f %f %f", w.w[0], w.w[1], w.w[2], w.w[3],
                        w.w[4], &d->m_factorA, &d->m_factorB, &d->m_centreX, &d->m_centreY);
            d->m_mode = mode(w.w[4], {"SMOOTH", "FAST"}, "radial mode not found", kRadialFast);
            desc = std::move(d);
        } else if (kind == "COLOR") {
            auto d = std::make_unique<ScriptEffectColorDesc>();
            std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f %f %f", w.w[0], w.w[1], w.w[2], w.w[3],
                        w.w[4], &d->m_red, &d->m_green, &d->m_blue);
            d->m_mode = mode(w.w[4], {"ADD", "SUB", "MASK", "INVERT", "GRAY", "RED", "GREEN", "BLUE"},
                             "color mode not found", kColorInvert);
            controllerFile = w.w[3];
            desc = std::move(d);
        } else if (kind == "DEMOSPE01") {
            auto d = std::make_unique<ScriptEffectDemoSpe01Desc>();
            std::sscanf(line.c_str(), "%511s %511s %511s %511s %d", w.w[0], w.w[1], w.w[2], w.w[3], &d->m_mode);
            controllerFile = w.w[3];
            desc = std::move(d);
        } else {
            warn("can't find EFFECT : ", w[2]);
            warn(text.c_str());
            m_effectDescs.push_back(nullptr);
            continue;
        }
        desc->m_name = w.w[1];
        desc->setEffect(effect);
        if (const ScriptControllerFile* file = findControllerFile(controllerFile)) {
            if (LECXController* controller = file->getController()) {
                desc->setController(controller);
                if (desc->m_pController == controller) controller->prepareInterface();
            }
        }
        m_effectDescs.push_back(std::move(desc));
    }
}

void ScriptEngine::buildLayerManagers(const std::vector<std::string>& lines)
{
    bool anyLine = false;
    for (const std::string& line : lines) anyLine |= firstWord(line.c_str()) == "desc:";
    if (!anyLine || m_screenLayers.empty()) return;

    for (const auto& layer : m_screenLayers) {
        auto manager = std::make_unique<ScriptLayerManager>();
        manager->setDestination(layer->getBuffer());

        // Positions: the largest position among this layer's lines. Lines below 1 are reported
        // (once per screen layer) and skipped.
        int count = 0;
        for (const std::string& line : lines) {
            if (firstWord(line.c_str()) != "desc:") continue;
            Words w;
            int position = 0;
            std::sscanf(line.c_str(), "%511s %511s %d", w.w[0], w.w[1], &position);
            if (position < 1) {
                warn(trimmed(line).c_str());
                warn("position must be >= 1");
                continue;
            }
            if (layer->m_name == w[1] && position > count) count = position;
        }
        manager->m_positions.resize(static_cast<size_t>(count));

        for (const std::string& line : lines) {
            if (firstWord(line.c_str()) != "desc:") continue;
            Words w;
            int position = 0, start = 0, end = 0;
            std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s", w.w[0], w.w[1], &position, &start, &end, w.w[5]);
            if (position < 1 || !(layer->m_name == w[1])) continue;

            std::unique_ptr<ScriptLayerOperation> op;
            const std::string type = w.w[5];
            if (type == "c") {
                int r = 0, g = 0, b = 0;
                std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s %d %d %d", w.w[0], w.w[1], &position, &start,
                            &end, w.w[5], &r, &g, &b);
                op = std::make_unique<ScriptLayerOperationClear>(
                    static_cast<uint32_t>(r) * 65536u + static_cast<uint32_t>(g) * 256u + static_cast<uint32_t>(b));
            } else if (type == "w") {
                std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s %511s", w.w[0], w.w[1], &position, &start, &end,
                            w.w[5], w.w[6]);
                auto write = std::make_unique<ScriptLayerOperationWrite>();
                write->m_pRenderData = findRenderData(w[6]);
                op = std::move(write);
            } else if (type == "m") {
                std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s %511s %511s", w.w[0], w.w[1], &position, &start,
                            &end, w.w[5], w.w[6], w.w[7]);
                auto mix = std::make_unique<ScriptLayerOperationMix>();
                mix->m_pMix = findMixDesc(w[6]);
                mix->m_pSource = findImageBuffer(w[7]);
                op = std::move(mix);
            } else if (type == "e") {
                std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s %511s", w.w[0], w.w[1], &position, &start, &end,
                            w.w[5], w.w[6]);
                auto effect = std::make_unique<ScriptLayerOperationEffect>();
                effect->m_pEffect = findEffectDesc(w[6]);
                op = std::move(effect);
            } else {
                warn(trimmed(line).c_str());
                warn("can t find operation");
                op = std::make_unique<ScriptLayerOperationClear>(0xFF00FFu);
            }
            op->m_start = start;
            op->m_end = end;
            manager->m_positions[static_cast<size_t>(position - 1)].m_operations.push_back(std::move(op));
        }
        m_layerManagers.push_back(std::move(manager));
    }
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

void ScriptEngine::render(CImage32* frame)
{
    if (m_layerManagers.empty()) return;
    m_controllerManager.beginFrame();
    m_layerManagers.back()->setDestination(frame);
    const int t = getTime();
    for (const auto& manager : m_layerManagers) manager->run(t);
    m_controllerManager.drawInput(frame);
}

// ---------------------------------------------------------------------------------------------
// Lookups

ScriptLayerDimension* ScriptEngine::findLayerDimension(const StringC& name) const
{
    return lookup(m_layerDims, name, "Can't find layerDim: ");
}

ScriptControllerFile* ScriptEngine::findControllerFile(const StringC& name) const
{
    return lookup(m_controllerFiles, name, "Can't find controller: ");
}

ScriptResource2D* ScriptEngine::findResource2D(const StringC& name) const
{
    return lookup(m_resources2D, name, "Can't find ressource2D: ");
}

ScriptResource3D* ScriptEngine::findResource3D(const StringC& name) const
{
    return lookup(m_resources3D, name, "Can't find ressource3D: ");
}

ScriptResourceSkyBox* ScriptEngine::findResourceSkyBox(const StringC& name) const
{
    return lookup(m_skyBoxes, name, "Can't find ressourceSkyBox: ");
}

RenderDataScreenLayer* ScriptEngine::findScreenLayer(const StringC& name) const
{
    return lookup(m_screenLayers, name, "Can't find SCREEN_LAYER: ");
}

RenderData3DDesc* ScriptEngine::find3DDesc(const StringC& name) const
{
    return lookup(m_3DDescs, name, "Can't find 3D_DESC: ");
}

RenderData* ScriptEngine::find2DOr3DDesc(const StringC& name) const
{
    if (isNullName(name)) return nullptr;
    if (RenderData* d = findIn(m_2DDescs, name)) return d;
    if (RenderData* d = findIn(m_3DDescs, name)) return d;
    warn("Can't find 2D_DESC/3D_DESC: ", name);
    return nullptr;
}

CImage32* ScriptEngine::findImageBuffer(const StringC& name) const
{
    if (isNullName(name)) return nullptr;
    if (RenderDataImage* d = findIn(m_imageLayers, name)) return d->getBuffer();
    if (RenderDataScreenLayer* d = findIn(m_screenLayers, name)) return d->getBuffer();
    warn("Can't find IMAGE/SCREEN_LAYER Ptr: ", name);
    return nullptr;
}

ScriptMix* ScriptEngine::findMix(const StringC& name) const { return lookup(m_mixes, name, "Can't find Mix: "); }

ScriptMixDesc* ScriptEngine::findMixDesc(const StringC& name) const
{
    return lookup(m_mixDescs, name, "Can't find MixDesc: ");
}

ScriptEffect* ScriptEngine::findEffect(const StringC& name) const
{
    return lookup(m_effects, name, "Can't find Effect: ");
}

ScriptEffectDesc* ScriptEngine::findEffectDesc(const StringC& name) const
{
    return lookup(m_effectDescs, name, "Can't find EffectDesc: ");
}

RenderData* ScriptEngine::findRenderData(const StringC& name) const
{
    if (isNullName(name)) return nullptr;
    if (RenderData* d = findIn(m_screenLayers, name)) return d;
    if (RenderData* d = findIn(m_imageLayers, name)) return d;
    if (RenderData* d = findIn(m_2DDescs, name)) return d;
    if (RenderData* d = findIn(m_3DDescs, name)) return d;
    if (RenderData* d = findIn(m_skyBoxDescs, name)) return d;
    warn("Can't find SCREEN_LAYER/SPE_LAYER/IMAGE/2D_DESC/3D_DESC/SKYBOX_DESC: ", name);
    return nullptr;
}
