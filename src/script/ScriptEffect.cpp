#include "script/ScriptEffect.h"

#include <algorithm>

#include "foundation/Saturate.h"
#include "platform/Platform.h"

namespace {
// A colour amount 0..1 as a byte: scaled, truncated, limited (huge, infinite and NaN amounts included).
int toByte(float value) { return std::clamp(saturateToInt(value * 255.0f), 0, 255); }
} // namespace

ScriptEffectHVBlur::ScriptEffectHVBlur(int width, int height) : ScriptEffectSized(width, height), m_blur(width, height)
{
}

void ScriptEffectHVBlur::setParams(const Params& params)
{
    Params::operator=(params);
    m_size = std::clamp(params.m_size, 0, 255);
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
    : ScriptEffectSized(width, height), m_emboss(width, height)
{
}

void ScriptEffectEmboss::setParams(const Params& params)
{
    m_strength = saturateToInt(params.m_strength * 255.0f);
    m_mode = params.m_mode;
}

void ScriptEffectEmboss::apply(CImage32* destination)
{
    if (!m_emboss.bindScreen(destination)) return;
    m_emboss.setIntensity(std::clamp(m_strength, 0, 255));
    m_emboss.setMode(m_mode);
    m_emboss.apply();
}

ScriptEffectRadial::ScriptEffectRadial(int width, int height)
    : ScriptEffectSized(width, height), m_radial(width, height)
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

void ScriptEffectColor::setParams(const Params& params)
{
    m_red = toByte(params.m_red);
    m_green = toByte(params.m_green);
    m_blue = toByte(params.m_blue);
    m_mode = params.m_mode;
}

void ScriptEffectColor::apply(CImage32* destination)
{
    const uint32_t colour = uint32_t(m_red) * 65536u + uint32_t(m_green) * 256u + uint32_t(m_blue);
    FxColor::apply(destination, m_mode, colour);
}

void ScriptEffectDemoSpe01::apply(CImage32* destination)
{
    if (!m_rowBlur.bindScreen(destination)) return;
    if (m_mode == kRowBlurNoise)
        m_rowBlur.applyNoise(m_phase, m_intensity);
    else if (m_mode == kRowBlurWave)
        m_rowBlur.applyWave(platform().clock->tickCount());
}
