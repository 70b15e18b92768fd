#include "script/ScriptMix.h"

#include <algorithm>

#include "foundation/Report.h"
#include "script/ScriptControllerLink.h"

namespace {
const char* const kCaption = "ScriptMixBlit :";
} // namespace

void ScriptMixBlit::warnOnce(const char* text)
{
    if (m_reported) return;
    m_reported = true;
    reportWarning(kCaption, text);
}

void ScriptMixBlit::apply(CImage32* destination, const CImage32* source)
{
    if (m_opacity == 0.0f || !destination || !source) return;
    if (!(m_opacity > 0.0f || m_pAlphaMap || source->m_hasAlpha)) return;
    // Only the normal mode draws a source carrying its own alpha.
    if (source->m_hasAlpha && m_mode != kBlendNormal) return;
    // The same-size blits stop the program on these mismatches; here they come from the script.
    if (source->m_width != destination->m_width || source->m_height != destination->m_height)
        return warnOnce("apply: source and destination of different dimensions");
    const bool anyWidth = source->m_hasAlpha || (m_mode == kBlendNormal && !m_pAlphaMap && m_opacity == 1.0f);
    if (!anyWidth && (source->m_width & 1)) return warnOnce("apply: width must be even");
    if (source->m_hasAlpha) return source->blitAlpha(destination);
    switch (m_mode) {
    case kBlendNormal:
        if (m_pAlphaMap)
            source->blitAlpha(destination, m_pAlphaMap);
        else if (m_opacity == 0.5f)
            source->blitTransDiv(destination);
        else if (m_opacity == 1.0f)
            source->blit(destination);
        else
            source->blitAlpha(destination, m_opacity);
        break;
    case kBlendSub:
        if (m_pAlphaMap)
            source->blitAlphaTransSub(destination, m_pAlphaMap);
        else if (m_opacity == 1.0f)
            source->blitTransSub(destination);
        else
            source->blitAlphaTransSub(destination, m_opacity);
        break;
    default:
        if (m_pAlphaMap)
            source->blitAlphaTransAdd(destination, m_pAlphaMap);
        else if (m_opacity == 1.0f)
            source->blitTransAdd(destination);
        else
            source->blitAlphaTransAdd(destination, m_opacity);
        break;
    }
}

void ScriptMixBlitDesc::setController(LECXController* controller)
{
    acceptController(controller, kLECXMixBlit, "ScriptMixBlitDesc :",
                     "can t set pController with id: %d to MixBlitDesc", this, m_pController);
}

float* ScriptMixBlitDesc::findTargetValue(const char* name) { return findNamedValue(name, {{"Opacity", &m_opacity}}); }

void ScriptMixBlitDesc::setMix(ScriptMix* mix)
{
    m_pMix = mix;
    m_pBlit = dynamic_cast<ScriptMixBlit*>(mix);
}

void ScriptMixBlitDesc::apply(CImage32* destination, const CImage32* source)
{
    ScriptMixBlit* blit = m_pBlit;
    if (!blit) return;
    blit->m_mode = m_mode;
    blit->m_pAlphaMap = m_pAlphaMap;
    blit->m_opacity = std::clamp(m_opacity, 0.0f, 1.0f);
    // The opacity the controller writes now reaches the mix on the next frame.
    applyController(m_pController);
    blit->apply(destination, source);
}
