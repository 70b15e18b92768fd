// The effect and mix types scripts name: one registration row per type, read by the EFFECT, MIX,
// EFFECT_DESC and MIX_DESC entry readers. The rows and their descriptor readers are in
// ScriptEffectKinds.cpp.
#pragma once

#include <memory>
#include <string>

#include "foundation/StringC.h"
#include "script/ScriptEffect.h"
#include "script/ScriptMix.h"

class ScriptEngine;

// Reads the words of a MIX_DESC or EFFECT_DESC line from word 4 on, by its type's format, into a
// new descriptor, and names its controller file ("NULL" for types without one). The engine
// resolves the other names the line refers to.
template <class Desc>
using ScriptDescReader = std::unique_ptr<Desc> (*)(const ScriptEngine& engine, const std::string& line,
                                                   StringC& controllerFile);

struct ScriptEffectKind {
    const char* word;  // the EFFECT line's type word, kept as the effect's m_type
    bool sized;        // built for the size of the layer dimension named in word 4
    std::unique_ptr<ScriptEffect> (*make)(int width, int height);
    ScriptDescReader<ScriptEffectDesc> readDesc;
};

struct ScriptMixKind {
    const char* word;  // the MIX line's type word, kept as the mix's m_type
    std::unique_ptr<ScriptMix> (*make)();
    ScriptDescReader<ScriptMixDesc> readDesc;
};

// The row of a type word; null for a word of no row.
[[nodiscard]] const ScriptEffectKind* findEffectKind(const char* word);
[[nodiscard]] const ScriptMixKind* findMixKind(const char* word);
