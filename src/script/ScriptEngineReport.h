// The script engine's reports ("ScriptEngine :") and its reading of reference names, shared by
// the engine and its entry readers.
#pragma once

#include <string>

#include "foundation/Report.h"
#include "foundation/StringC.h"

inline const char* const kScriptEngineCaption = "ScriptEngine :";

inline void warnScript(const char* text) { reportWarning(kScriptEngineCaption, text); }

// The message followed by the name.
inline void warnScript(const char* prefix, const StringC& name)
{
    warnScript((std::string(prefix) + (name.getName() ? name.getName() : "")).c_str());
}

// "NULL" in a reference position names nothing.
[[nodiscard]] inline bool isNullName(const StringC& name) { return name.isNull() || name == "NULL"; }
