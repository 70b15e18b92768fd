// The .lecx controller kinds: the three that drive a descriptor's float fields (colour effect,
// mix blit, DEMOSPE01 effect) and the 3D scene kind, whose parameter objects the 3D engine adds.
#pragma once

#include <vector>

#include "control/LECXController.h"

class S3DScene;

// A kind whose target is a descriptor: each name of its table is one float field of the target.
class LECXControllerSimple : public LECXController {
public:
    static constexpr int MAX_NB_FIELD = 3;

    // Makes `owner` the target; fields[k] is the field of table name k (getParamCount() of them).
    void setTarget(const void* owner, float* const* fields);
    const void* getTarget() const { return m_pTarget; }

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
    const void* m_pTarget = nullptr;
    float* m_field[MAX_NB_FIELD] = {nullptr, nullptr, nullptr};
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
// a subclass that overrides createParamObjects and applyParamObjects.
class LECXControllerL3X : public LECXController {
public:
    static constexpr int NB_PARAM_NAME = 69;

    LECXControllerL3X() : LECXController(kLECXL3X) {}
    void setScene(S3DScene* scene) { m_pScene = scene; }
    S3DScene* getScene() const { return m_pScene; }

    // Without a scene reports; otherwise creates the parameter objects.
    void prepareInterface() override;
    // Nothing while there are no parameter objects.
    void apply() override;
    const char* const* getParamNames() const override;
    int getParamCount() const override { return NB_PARAM_NAME; }
    int getNbParamObject() const { return m_nbParamObject; }

protected:
    // Creates the parameter objects for m_pScene and returns their count (none here).
    virtual int createParamObjects() { return 0; }
    // Writes every parameter object's value into the scene.
    virtual void applyParamObjects() {}

    S3DScene* m_pScene = nullptr;
    int m_nbParamObject = 0;
};
