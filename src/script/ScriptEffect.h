// Effects (a pixel algorithm bound to a buffer size) and their descriptors (named parameter
// sets an effect operation applies). Several descriptors may share one effect.
#pragma once

#include "image/CImage32.h"
#include "script/ScriptNamedEntry.h"

class LECXController;

class ScriptEffect : public ScriptNamedEntry {
public:
    virtual void apply(CImage32* destination) = 0;
    StringC m_type{"NULL"};
};

class ScriptEffectDesc : public ScriptNamedEntry {
public:
    virtual void setController(LECXController* controller) { (void)controller; }
    virtual void setEffect(ScriptEffect* effect) { m_pEffect = effect; }
    virtual void apply(CImage32* destination) = 0;

    LECXController* m_pController = nullptr;
    ScriptEffect* m_pEffect = nullptr;
};
