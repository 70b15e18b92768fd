#include "script/ScriptEffectKinds.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <type_traits>

#include "script/ScriptEngine.h"
#include "script/ScriptEntryLine.h"

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

// An effect class built from a width and a height is sized: its EFFECT line names the layer
// dimension it is built for.
template <class T>
std::unique_ptr<ScriptEffect> makeEffect(int width, int height)
{
    if constexpr (std::is_constructible_v<T, int, int>) {
        return std::make_unique<T>(width, height);
    } else {
        (void)width, (void)height;
        return std::make_unique<T>();
    }
}

template <class T>
constexpr ScriptEffectKind effectKind(const char* word, ScriptDescReader<ScriptEffectDesc> readDesc)
{
    return {word, std::is_constructible_v<T, int, int>, makeEffect<T>, readDesc};
}

// ---------------------------------------------------------------------------------------------
// EFFECT_DESC readers: words 2 and 3 (name, effect) are the engine's; the formats below read on.

std::unique_ptr<ScriptEffectDesc> readHVBlurDesc(const ScriptEngine&, const std::string& line, StringC&)
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

std::unique_ptr<ScriptEffectDesc> readEmbossDesc(const ScriptEngine&, const std::string& line, StringC&)
{
    auto d = std::make_unique<ScriptEffectEmbossDesc>();
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &d->m_strength);
    d->m_mode = FxEmboss::Mode(modeWord(w.w[4], {"EMBOSS", "SHADE"}, "emboss mode not found", line, 0));
    return d;
}

std::unique_ptr<ScriptEffectDesc> readRadialDesc(const ScriptEngine&, const std::string& line, StringC&)
{
    auto d = std::make_unique<ScriptEffectRadialDesc>();
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %511s %f %f %f %f", w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                &d->m_factorA, &d->m_factorB, &d->m_centreX, &d->m_centreY);
    d->m_mode = FxRadial::Mode(modeWord(w.w[4], {"SMOOTH", "FAST"}, "radial mode not found", line, 1));
    return d;
}

std::unique_ptr<ScriptEffectDesc> readColorDesc(const ScriptEngine&, const std::string& line, StringC& controllerFile)
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

std::unique_ptr<ScriptEffectDesc> readDemoSpe01Desc(const ScriptEngine&, const std::string& line,
                                                    StringC& controllerFile)
{
    auto d = std::make_unique<ScriptEffectDemoSpe01Desc>();
    Words w;
    std::sscanf(line.c_str(), "%511s %511s %511s %511s %d", w.w[0], w.w[1], w.w[2], w.w[3], &d->m_mode);
    controllerFile = w.w[3];
    return d;
}

// The EFFECT types. A new type needs, and nothing else names it:
//  - its image work as a class in src/fx2d/, unless CImage32's operations already do it;
//  - in ScriptEffect.h, its Params (the descriptor's values with their defaults, plus kController
//    and controlledValue when a .lecx controller kind drives it) and its effect class: `using
//    Params`, a (width, height) constructor when it is built for the layer's size, setParams
//    (the values into the effect's units) and apply; its descriptor is ScriptEffectDescOf<it>;
//  - here, the reader of its EFFECT_DESC format and its row.
const ScriptEffectKind kEffectKinds[] = {
    effectKind<ScriptEffectHVBlur>("HVBLUR", readHVBlurDesc),
    effectKind<ScriptEffectEmboss>("EMBOSS", readEmbossDesc),
    effectKind<ScriptEffectRadial>("RADIAL", readRadialDesc),
    effectKind<ScriptEffectColor>("COLOR", readColorDesc),
    effectKind<ScriptEffectDemoSpe01>("DEMOSPE01", readDemoSpe01Desc),
};

// ---------------------------------------------------------------------------------------------
// MIX types.

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

template <class T>
std::unique_ptr<ScriptMix> makeMix()
{
    return std::make_unique<T>();
}

const ScriptMixKind kMixKinds[] = {
    {"BLIT", makeMix<ScriptMixBlit>, readBlitDesc},
};

} // namespace

const ScriptEffectKind* findEffectKind(const char* word) { return findKind(kEffectKinds, word); }

const ScriptMixKind* findMixKind(const char* word) { return findKind(kMixKinds, word); }
