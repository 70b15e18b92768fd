// Effects (an image operation of fx2d, bound to a buffer size where it needs one) and their
// descriptors (named parameter sets an effect operation applies). Several descriptors may share
// one effect: each pushes all of its parameters into the effect before it runs. An effect class
// declares its descriptor's values once, as its Params; its descriptor is ScriptEffectDescOf<the
// class>. The types a script may name are registered in ScriptEffectKinds.cpp.
#pragma once

#include "control/LECXTarget.h"
#include "fx2d/FxColor.h"
#include "fx2d/FxEmboss.h"
#include "fx2d/FxHVBlur.h"
#include "fx2d/FxRadial.h"
#include "fx2d/FxRowBlur.h"
#include "image/CImage32.h"
#include "script/ScriptControllerLink.h"
#include "script/ScriptNamedEntry.h"

class ScriptEffect : public ScriptNamedEntry {
public:
    virtual void apply(CImage32* destination) = 0;
    StringC m_type{"NULL"};  // the type word of its EFFECT line
};

// A descriptor is a controller's target of named values; a kind no controller drives has none.
class ScriptEffectDesc : public ScriptNamedEntry, public LECXTarget {
public:
    virtual void setController(LECXController* controller) { (void)controller; }
    virtual void setEffect(ScriptEffect* effect) { m_pEffect = effect; }
    virtual void apply(CImage32* destination) = 0;
    float* findTargetValue(const char* name) override
    {
        (void)name;
        return nullptr;
    }
    LECXController* getController() const { return m_pController; }

    LECXController* m_pController = nullptr;
    ScriptEffect* m_pEffect = nullptr;
};

// The descriptor of effect class E: E::Params (the script's values, with their defaults), pushed
// into the effect before it runs (E::setParams, which converts and limits them). A Params with a
// kController takes that controller kind, which writes the values Params::controlledValue names.
template <class E>
class ScriptEffectDescOf : public ScriptEffectDesc, public E::Params {
public:
    using Params = typename E::Params;

    void setController(LECXController* controller) override
    {
        if constexpr (kDriven) {
            const ScriptDescController& rule = Params::kController;
            acceptController(controller, rule.typeCode, rule.caption, rule.refusal, this, m_pController);
        } else {
            (void)controller;
        }
    }
    float* findTargetValue(const char* name) override
    {
        if constexpr (kDriven) return Params::controlledValue(name);
        return ScriptEffectDesc::findTargetValue(name);
    }
    // Nothing without an effect of class E.
    void apply(CImage32* destination) override
    {
        auto* effect = dynamic_cast<E*>(m_pEffect);
        if (!effect) return;
        if (kRunsFirst) applyController(m_pController);
        effect->setParams(*this);
        if (!kRunsFirst) applyController(m_pController);
        effect->apply(destination);
    }

private:
    static constexpr bool kDriven = requires { Params::kController; };
    static constexpr bool runsFirst()
    {
        if constexpr (kDriven) return Params::kController.runsFirst;
        return false;
    }
    static constexpr bool kRunsFirst = runsFirst();
};

// An effect built for one buffer size, kept as the layer dimension it was made with.
class ScriptEffectSized : public ScriptEffect {
public:
    ScriptLayerDimension m_dimension;

protected:
    ScriptEffectSized(int width, int height)
    {
        m_dimension.m_width = width;
        m_dimension.m_height = height;
    }
};

// ---------------------------------------------------------------------------------------------
// HVBLUR: a box blur along the rows or the columns of the layer.

struct ScriptHVBlurParams {
    int m_size = 64;
    FxHVBlur::Direction m_direction = FxHVBlur::Direction::Horizontal;
    BlendMode m_drawMode = kBlendAdd;
};

class ScriptEffectHVBlur : public ScriptEffectSized, public ScriptHVBlurParams {
public:
    using Params = ScriptHVBlurParams;
    ScriptEffectHVBlur(int width, int height);
    void setParams(const Params& params);  // the size limited to 0..255
    void apply(CImage32* destination) override;

private:
    FxHVBlur m_blur;
};

// ---------------------------------------------------------------------------------------------
// EMBOSS: the relief of the layer, or the layer lit by it.

struct ScriptEmbossParams {
    FxEmboss::Mode m_mode = FxEmboss::Mode::Emboss;
    float m_strength = 1.0f;  // of the full shading
};

class ScriptEffectEmboss : public ScriptEffectSized {
public:
    using Params = ScriptEmbossParams;
    ScriptEffectEmboss(int width, int height);
    void setParams(const Params& params);  // strength * 255, truncated
    void apply(CImage32* destination) override;
    int m_strength = 255;  // limited to 0..255 when applied
    FxEmboss::Mode m_mode = FxEmboss::Mode::Emboss;

private:
    FxEmboss m_emboss;
};

// ---------------------------------------------------------------------------------------------
// RADIAL: rays smeared away from a centre.

struct ScriptRadialParams {
    FxRadial::Mode m_mode = FxRadial::Mode::Fast;
    float m_factorA = 0.9f;
    float m_factorB = 0.08f;
    float m_centreX = 20.0f;
    float m_centreY = 20.0f;
};

class ScriptEffectRadial : public ScriptEffectSized, public ScriptRadialParams {
public:
    using Params = ScriptRadialParams;
    ScriptEffectRadial(int width, int height);
    void setParams(const Params& params) { Params::operator=(params); }
    void apply(CImage32* destination) override;

private:
    FxRadial m_radial;
};

// ---------------------------------------------------------------------------------------------
// COLOR: the colour operations, driven by a colour controller through "Red", "Green" and "Blue".

struct ScriptColorParams {
    FxColor::Mode m_mode = FxColor::Mode::Add;
    float m_red = 0.0f;  // 0..1, scaled to 0..255 when they reach the effect
    float m_green = 0.0f;
    float m_blue = 0.0f;

    static constexpr ScriptDescController kController{.typeCode = kLECXEffectColor,
                                                      .caption = "ScriptEffectColorDesc: ",
                                                      .refusal = "can t set pController with id: %d to EffectColorDesc",
                                                      .runsFirst = true};
    float* controlledValue(const char* name)
    {
        return findNamedValue(name, {{"Red", &m_red}, {"Green", &m_green}, {"Blue", &m_blue}});
    }
};

class ScriptEffectColor : public ScriptEffect {
public:
    using Params = ScriptColorParams;
    void setParams(const Params& params);  // each amount * 255, truncated, limited to 0..255
    void apply(CImage32* destination) override;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    FxColor::Mode m_mode = FxColor::Mode::Add;
};

// ---------------------------------------------------------------------------------------------
// DEMOSPE01: every row blurred with its own radius (FxRowBlur), driven by a DEMOSPE01 controller
// through "Intensity" and "Phase".

// Script values of the row radii: fractal noise, or a cosine wave; any other value blurs nothing.
enum : int { kRowBlurNoise = 0, kRowBlurWave = 1 };

struct ScriptDemoSpe01Params {
    float m_phase = 0.0f;
    float m_intensity = 1.0f;
    int m_mode = kRowBlurNoise;

    static constexpr ScriptDescController kController{.typeCode = kLECXEffectDemoSpe01,
                                                      .caption = "ScriptEffectDemoSpe01Desc: ",
                                                      .refusal = "can t set pController with id: %d to EffectDemoSpe01Desc",
                                                      .runsFirst = false};
    float* controlledValue(const char* name)
    {
        return findNamedValue(name, {{"Intensity", &m_intensity}, {"Phase", &m_phase}});
    }
};

class ScriptEffectDemoSpe01 : public ScriptEffect, public ScriptDemoSpe01Params {
public:
    using Params = ScriptDemoSpe01Params;
    ScriptEffectDemoSpe01() : m_rowBlur(512, 256) {}
    void setParams(const Params& params) { Params::operator=(params); }
    void apply(CImage32* destination) override;  // the wave reads the tick count once

private:
    FxRowBlur m_rowBlur;
};

// ---------------------------------------------------------------------------------------------
// The descriptors, by the names scripts know them by.

using ScriptEffectHVBlurDesc = ScriptEffectDescOf<ScriptEffectHVBlur>;
using ScriptEffectEmbossDesc = ScriptEffectDescOf<ScriptEffectEmboss>;
using ScriptEffectRadialDesc = ScriptEffectDescOf<ScriptEffectRadial>;
using ScriptEffectColorDesc = ScriptEffectDescOf<ScriptEffectColor>;
using ScriptEffectDemoSpe01Desc = ScriptEffectDescOf<ScriptEffectDemoSpe01>;
