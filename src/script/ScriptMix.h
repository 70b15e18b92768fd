// Mixes (the blit of one buffer into another) and their descriptors, the named parameter sets
// a mix operation applies.
#pragma once

#include "control/LECXTarget.h"
#include "image/CImage32.h"
#include "script/ScriptNamedEntry.h"

class LECXController;

class ScriptMix : public ScriptNamedEntry {
public:
    virtual void apply(CImage32* destination, const CImage32* source) = 0;
    StringC m_type{"NULL"};  // the type word of its MIX line
};

// Blends the source into the destination by mode, opacity and alpha map. Buffers the script
// pairs badly (other sizes, or an odd width where the blend works on pixel pairs) are reported
// once and not drawn.
class ScriptMixBlit : public ScriptMix {
public:
    void apply(CImage32* destination, const CImage32* source) override;
    float m_opacity = 255.0f;
    BlendMode m_mode = kBlendAdd;
    const CImage32* m_pAlphaMap = nullptr;

private:
    void warnOnce(const char* text);
    bool m_reported = false;
};

class ScriptMixDesc : public ScriptNamedEntry {
public:
    virtual void setController(LECXController* controller) = 0;
    virtual void setMix(ScriptMix* mix) = 0;
    virtual void apply(CImage32* destination, const CImage32* source) = 0;
    LECXController* getController() const { return m_pController; }
    LECXController* m_pController = nullptr;
    float m_timeMs = 0.0f;     // written by the mix operation: the demo time
    float m_endTime = 0.0f;  // and the end of its window
};

// Driven by a mix blit controller through "Opacity".
class ScriptMixBlitDesc : public ScriptMixDesc, public LECXTarget {
public:
    void setController(LECXController* controller) override;
    void setMix(ScriptMix* mix) override;
    void apply(CImage32* destination, const CImage32* source) override;
    float* findTargetValue(const char* name) override;
    BlendMode m_mode = kBlendAdd;
    float m_opacity = 1.0f;
    const CImage32* m_pAlphaMap = nullptr;
    ScriptMix* m_pMix = nullptr;

private:
    ScriptMixBlit* m_pBlit = nullptr;  // m_pMix when it is a blit mix
};
