// What the script engine's entry readers share: its reports ("ScriptEngine :"), reference names,
// the words of an entry line, and the lookup in a table of kinds picked by a word.
#pragma once

#include <cstring>
#include <string>
#include <utility>

#include "foundation/Report.h"
#include "foundation/StringC.h"
#include "script/ScriptLineReader.h"

inline const char* const kScriptEngineCaption = "ScriptEngine :";

inline void warnScript(const char* text) { reportWarning(kScriptEngineCaption, text); }

// The message followed by the name.
inline void warnScript(const char* prefix, const StringC& name)
{
    warnScript((std::string(prefix) + (name.getName() ? name.getName() : "")).c_str());
}

// "NULL" in a reference position names nothing.
[[nodiscard]] inline bool isNullName(const StringC& name) { return name.isNull() || name == "NULL"; }

// The words of an entry line, read with a scanf format of string fields into w[0], w[1], ...
struct ScriptWords {
    char w[10][kScriptLineChars] = {};
    StringC operator[](int i) const { return StringC(w[i]); }
};

// A kind table's rows are {word, how to make or read that kind} (a pair, or a struct whose first
// field is `word`), searched in order; the first row whose word matches wins, and the caller's
// general path handles a word of no row.
template <class Row, size_t N>
const Row* findKind(const Row (&table)[N], const char* word)
{
    for (const Row& row : table) {
        const char* rowWord;
        if constexpr (requires(const Row& r) { r.word; })
            rowWord = row.word;
        else
            rowWord = row.first;
        if (std::strcmp(rowWord, word) == 0) return &row;
    }
    return nullptr;
}
