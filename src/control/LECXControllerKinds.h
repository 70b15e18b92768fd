// The .lecx controller kinds: the three that drive a descriptor's float fields (colour effect,
// mix blit, DEMOSPE01 effect) and the 3D scene kind, whose parameter objects the 3D engine adds.
#pragma once

#include <vector>

#include "control/LECXController.h"
#include "control/LECXTarget.h"

// A kind whose target is a descriptor: each name of its table is one float value of the target.
class LECXControllerSimple : public LECXController {
public:
    static constexpr int kMaxFields = 3;

    // Makes `target` the target and finds its value for every name of the table.
    void setTarget(LECXTarget* target) override;

    // One binding per parameter: its value and the index of its name in the table (a name not
    // in the table is reported and drives nothing).
    void prepareInterface() override;
    void apply() override;
    const char* const* getParamNames() const override { return m_names; }
    int getParamCount() const override { return m_nbName; }
    int getNbBinding() const { return static_cast<int>(m_binding.size()); }

protected:
    LECXControllerSimple(int type, const char* caption, const char* const* names, int nbName);

private:
    struct Binding {
        const float* m_pValue = nullptr;
        int m_index = -1;
    };
    const char* m_caption;
    const char* const* m_names;
    int m_nbName;
    float* m_field[kMaxFields] = {nullptr, nullptr, nullptr};  // the target's value of name k
    std::vector<Binding> m_binding;
};

// Type 1: "Red", "Green", "Blue" of a colour effect descriptor.
class LECXControllerEffectColor : public LECXControllerSimple {
public:
    LECXControllerEffectColor();
};

// Type 3: "Opacity" of a mix blit descriptor.
class LECXControllerMixBlit : public LECXControllerSimple {
public:
    LECXControllerMixBlit();
};

// Type 4: "Intensity", "Phase" of a DEMOSPE01 effect descriptor.
class LECXControllerEffectDemoSpe01 : public LECXControllerSimple {
public:
    LECXControllerEffectDemoSpe01();
};

// Type 2: drives a 3D scene through one parameter object per parameter. The parameters are
// loaded, bound and evaluated here; the 3D engine supplies the parameter objects by registering
// a subclass that overrides createParamObjects and applyParamObjects, and its scene is the
// target, reached by parameter name like every other target.
class LECXControllerL3X : public LECXController {
public:
    static constexpr int kParamNameCount = 69;

    LECXControllerL3X() : LECXController(kLECXL3X) {}

    // Without a target scene reports; otherwise creates the parameter objects.
    void prepareInterface() override;
    // Nothing while there are no parameter objects.
    void apply() override;
    const char* const* getParamNames() const override;
    int getParamCount() const override { return kParamNameCount; }
    int getNbParamObject() const { return m_nbParamObject; }

protected:
    // Creates the parameter objects for the target scene and returns their count (none here).
    virtual int createParamObjects() { return 0; }
    // Writes every parameter object's value into the scene.
    virtual void applyParamObjects() {}

    int m_nbParamObject = 0;
};
