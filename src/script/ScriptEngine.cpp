#include "script/ScriptEngine.h"

#include <cstdio>

#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "image/CImage32.h"
#include "platform/Platform.h"

namespace {
const char* const kCaption = "ScriptEngine :";
}

ScriptEngine::ScriptEngine() = default;

ScriptEngine::~ScriptEngine() = default;

void ScriptEngine::load(const StringC& path)
{
    FILE* file = FileTools::openFile(path.getName(), "rt");
    if (!file) {
        const StringC text = StringC("Can't open file : ") + path;
        reportWarning(kCaption, text.getName() ? text.getName() : "Can't open file : ");
        return;
    }
    std::fclose(file);
}

void ScriptEngine::start() { m_startTick = platform().clock->tickCount(); }

int ScriptEngine::getTime() const { return static_cast<int>(platform().clock->tickCount() - m_startTick); }

void ScriptEngine::render(CImage32* frame) { (void)frame; }
