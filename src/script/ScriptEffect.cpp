#include "script/ScriptEffect.h"

#include <algorithm>

#include "foundation/Saturate.h"
#include "platform/Platform.h"
#include "script/ScriptControllerLink.h"

namespace {
// The effect a descriptor drives, when it is of the descriptor's kind.
template <class T>
T* effectAs(ScriptEffect* effect)
{
    return dynamic_cast<T*>(effect);
}

// A colour amount 0..1 as a byte: scaled, truncated, limited (huge, infinite and NaN amounts included).
int toByte(float value) { return std::clamp(saturateToInt(value * 255.0f), 0, 255); }
} // namespace

// ---------------------------------------------------------------------------------------------
// Effects

ScriptEffectHVBlur::ScriptEffectHVBlur(int width, int height)
    : ScriptEffectSized("HVBLUR", width, height), m_blur(width, height)
{
}

void ScriptEffectHVBlur::apply(CImage32* destination)
{
    if (!m_blur.bindScreen(destination)) return;  // none, or refused: other dimensions
    m_blur.setSize(m_size);
    m_blur.setDirection(m_direction);
    m_blur.setMode(m_drawMode);
    m_blur.apply();
}

ScriptEffectEmboss::ScriptEffectEmboss(int width, int height)
    : ScriptEffectSized("EMBOSS", width, height), m_emboss(width, height)
{
}

void ScriptEffectEmboss::apply(CImage32* destination)
{
    if (!m_emboss.bindScreen(destination)) return;
    m_emboss.setIntensity(std::clamp(m_strength, 0, 255));
    m_emboss.setMode(m_mode);
    m_emboss.apply();
}

ScriptEffectRadial::ScriptEffectRadial(int width, int height)
    : ScriptEffectSized("RADIAL", width, height), m_radial(width, height)
{
}

void ScriptEffectRadial::apply(CImage32* destination)
{
    if (!m_radial.bindScreen(destination)) return;
    m_radial.setStrength(m_factorA);
    m_radial.setBoost(m_factorB);
    m_radial.setCentre(m_centreX, m_centreY);
    m_radial.setMode(m_mode);
    m_radial.apply();
}

void ScriptEffectColor::apply(CImage32* destination)
{
    const uint32_t colour = uint32_t(m_red) * 65536u + uint32_t(m_green) * 256u + uint32_t(m_blue);
    FxColor::apply(destination, m_mode, colour);
}

ScriptEffectDemoSpe01::ScriptEffectDemoSpe01() : m_rowBlur(512, 256) { m_type = "DEMOSPE01"; }

void ScriptEffectDemoSpe01::apply(CImage32* destination)
{
    if (!m_rowBlur.bindScreen(destination)) return;
    if (m_mode == kRowBlurNoise)
        m_rowBlur.applyNoise(m_phase, m_intensity);
    else if (m_mode == kRowBlurWave)
        m_rowBlur.applyWave(platform().clock->tickCount());
}

// ---------------------------------------------------------------------------------------------
// Descriptors

void ScriptEffectHVBlurDesc::apply(CImage32* destination)
{
    auto* effect = effectAs<ScriptEffectHVBlur>(m_pEffect);
    if (!effect) return;
    effect->m_size = std::clamp(m_size, 0, 255);
    effect->m_direction = m_direction;
    effect->m_drawMode = m_drawMode;
    effect->apply(destination);
}

void ScriptEffectEmbossDesc::apply(CImage32* destination)
{
    auto* effect = effectAs<ScriptEffectEmboss>(m_pEffect);
    if (!effect) return;
    effect->m_strength = saturateToInt(m_strength * 255.0f);
    effect->m_mode = m_mode;
    effect->apply(destination);
}

void ScriptEffectRadialDesc::apply(CImage32* destination)
{
    auto* effect = effectAs<ScriptEffectRadial>(m_pEffect);
    if (!effect) return;
    effect->m_factorA = m_factorA;
    effect->m_factorB = m_factorB;
    effect->m_centreX = m_centreX;
    effect->m_centreY = m_centreY;
    effect->m_mode = m_mode;
    effect->apply(destination);
}

void ScriptEffectColorDesc::setController(LECXController* controller)
{
    acceptController(controller, kLECXEffectColor, "ScriptEffectColorDesc: ",
                     "can t set pController with id: %d to EffectColorDesc", this, m_pController);
}

float* ScriptEffectColorDesc::findTargetValue(const char* name)
{
    return findNamedValue(name, {{"Red", &m_red}, {"Green", &m_green}, {"Blue", &m_blue}});
}

void ScriptEffectColorDesc::apply(CImage32* destination)
{
    auto* effect = effectAs<ScriptEffectColor>(m_pEffect);
    if (!effect) return;
    applyController(m_pController);  // refreshes red, green and blue
    effect->m_red = toByte(m_red);
    effect->m_green = toByte(m_green);
    effect->m_blue = toByte(m_blue);
    effect->m_mode = m_mode;
    effect->apply(destination);
}

void ScriptEffectDemoSpe01Desc::setController(LECXController* controller)
{
    acceptController(controller, kLECXEffectDemoSpe01, "ScriptEffectDemoSpe01Desc: ",
                     "can t set pController with id: %d to EffectDemoSpe01Desc", this, m_pController);
}

float* ScriptEffectDemoSpe01Desc::findTargetValue(const char* name)
{
    return findNamedValue(name, {{"Intensity", &m_intensity}, {"Phase", &m_phase}});
}

void ScriptEffectDemoSpe01Desc::apply(CImage32* destination)
{
    auto* effect = effectAs<ScriptEffectDemoSpe01>(m_pEffect);
    if (!effect) return;
    effect->m_mode = m_mode;
    effect->m_phase = m_phase;
    effect->m_intensity = m_intensity;
    // The controller's values reach the effect on the next frame.
    applyController(m_pController);
    effect->apply(destination);
}
