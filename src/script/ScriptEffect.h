// Effects (a pixel algorithm bound to a buffer size) and their descriptors (named parameter
// sets an effect operation applies). Several descriptors may share one effect: each pushes all
// of its parameters into the effect before it runs.
#pragma once

#include <memory>

#include "control/LECXTarget.h"
#include "fx2d/FxColor.h"
#include "fx2d/FxEmboss.h"
#include "fx2d/FxHVBlur.h"
#include "fx2d/FxRadial.h"
#include "fx2d/FxRowBlur.h"
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
    LECXController* getController() const { return m_pController; }

    LECXController* m_pController = nullptr;
    ScriptEffect* m_pEffect = nullptr;
};

// Script values of the DEMOSPE01 row radii: fractal noise, or a cosine wave; any other value
// blurs nothing.
enum : int { kRowBlurNoise = 0, kRowBlurWave = 1 };

// ---------------------------------------------------------------------------------------------
// Effects

// An effect built for one buffer size, kept as the layer dimension it was made with.
class ScriptEffectSized : public ScriptEffect {
public:
    ScriptLayerDimension m_dimension;

protected:
    ScriptEffectSized(const char* type, int width, int height)
    {
        m_type = type;
        m_dimension.m_width = width;
        m_dimension.m_height = height;
    }
};

class ScriptEffectHVBlur : public ScriptEffectSized {
public:
    ScriptEffectHVBlur(int width, int height);
    void apply(CImage32* destination) override;
    int m_size = 64;
    FxHVBlur::Direction m_direction = FxHVBlur::Direction::Horizontal;
    BlendMode m_drawMode = kBlendAdd;

private:
    FxHVBlur m_blur;
};

class ScriptEffectEmboss : public ScriptEffectSized {
public:
    ScriptEffectEmboss(int width, int height);
    void apply(CImage32* destination) override;
    int m_strength = 255;
    FxEmboss::Mode m_mode = FxEmboss::Mode::Emboss;

private:
    FxEmboss m_emboss;
};

class ScriptEffectRadial : public ScriptEffectSized {
public:
    ScriptEffectRadial(int width, int height);
    void apply(CImage32* destination) override;
    float m_factorA = 0.9f;
    float m_factorB = 0.08f;
    float m_centreX = 20.0f;
    float m_centreY = 20.0f;
    FxRadial::Mode m_mode = FxRadial::Mode::Fast;

private:
    FxRadial m_radial;
};

class ScriptEffectColor : public ScriptEffect {
public:
    ScriptEffectColor() { m_type = "COLOR"; }
    void apply(CImage32* destination) override;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    FxColor::Mode m_mode = FxColor::Mode::Add;
};

// Blurs every row of the image with its own radius (FxRowBlur), from fractal noise (kRowBlurNoise)
// or a cosine wave running with the tick count (kRowBlurWave).
class ScriptEffectDemoSpe01 : public ScriptEffect {
public:
    ScriptEffectDemoSpe01();
    void apply(CImage32* destination) override;
    float m_phase = 0.0f;
    float m_intensity = 1.0f;
    int m_mode = kRowBlurNoise;

private:
    FxRowBlur m_rowBlur;
};

// ---------------------------------------------------------------------------------------------
// Descriptors

class ScriptEffectHVBlurDesc : public ScriptEffectDesc {
public:
    void apply(CImage32* destination) override;
    int m_size = 64;
    FxHVBlur::Direction m_direction = FxHVBlur::Direction::Horizontal;
    BlendMode m_drawMode = kBlendAdd;
};

class ScriptEffectEmbossDesc : public ScriptEffectDesc {
public:
    void apply(CImage32* destination) override;
    FxEmboss::Mode m_mode = FxEmboss::Mode::Emboss;
    float m_strength = 1.0f;
};

class ScriptEffectRadialDesc : public ScriptEffectDesc {
public:
    void apply(CImage32* destination) override;
    FxRadial::Mode m_mode = FxRadial::Mode::Fast;
    float m_factorA = 0.9f;
    float m_factorB = 0.08f;
    float m_centreX = 20.0f;
    float m_centreY = 20.0f;
};

// Driven by a colour controller through "Red", "Green" and "Blue".
class ScriptEffectColorDesc : public ScriptEffectDesc, public LECXTarget {
public:
    void setController(LECXController* controller) override;
    void apply(CImage32* destination) override;
    float* findTargetValue(const char* name) override;
    FxColor::Mode m_mode = FxColor::Mode::Add;
    float m_red = 0.0f;  // 0..1, scaled to 0..255 when applied
    float m_green = 0.0f;
    float m_blue = 0.0f;
};

// Driven by a DEMOSPE01 controller through "Intensity" and "Phase".
class ScriptEffectDemoSpe01Desc : public ScriptEffectDesc, public LECXTarget {
public:
    void setController(LECXController* controller) override;
    void apply(CImage32* destination) override;
    float* findTargetValue(const char* name) override;
    float m_phase = 0.0f;
    float m_intensity = 1.0f;
    int m_mode = kRowBlurNoise;
};
