// The 3D parameter controllers: one parameter object per key of a type-2 .lecx controller
// ("NODE Box01 POSX"), which finds its target in the scene once and, every frame, writes the
// controller's value into it (replacing, adding to or subtracting from the animated value by
// the parameter's combine mode). The scene kind of LECXControllerL3X that creates them is
// registered with the LECX manager's factory by registerLECXControllerL3X. The classes live in
// LECXControllerL3XParamObjects.cpp (the scene, nodes, objects, cameras, lights, materials) and
// LECXControllerL3XParamModifiers.cpp (world-space modifiers, gizmos, modifier kinds).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control/LECXControllerKinds.h"

class S3DScene;

class LECXControllerL3XParam {
public:
    // How the key's words name the target and the parameter: "SCENE param", "KIND name param"
    // or, for materials and gizmos, "KIND name index param".
    enum class Key { Scene, Named, Indexed };

    LECXControllerL3XParam(const char* className, Key key) : m_className(className), m_key(key) {}
    virtual ~LECXControllerL3XParam() = default;

    // Nothing without parameter or scene; otherwise finds the target (a failed search is
    // reported under the class's name, except by nodes) and the setter of the parameter word
    // ("Can't find param: " and the word when it is unknown).
    void init(const LECXControllerParam* param, S3DScene* scene, const float* value);
    // Writes the value through the setter, when there are both.
    void apply()
    {
        if (m_pValue && m_hasSetter) set(*m_pValue);
    }

    bool hasTarget() const { return m_hasTarget; }
    bool hasSetter() const { return m_hasSetter; }
    const char* getClassName() const { return m_className; }

protected:
    // Finds the target from the key's words; false (after its report) when there is none.
    virtual bool findTarget() = 0;
    // Chooses the setter of the parameter word; false when the class has none by that word.
    virtual bool findSetter(const char* word) = 0;
    // Writes the value through the chosen setter.
    virtual void set(float value) = 0;

    // Word i of the key ("" when missing).
    std::string word(int i) const;
    // The target's name: word 1.
    std::string name() const { return word(1); }
    // The index word of an indexed key read as "%d" reads it (an optional sign and the digits
    // at its front; none gives 0); false, reported with the key, when it does not fit an int.
    bool readIndex(int& index) const;
    // Whether the search found the target; when not, reports it as the key names it:
    // "Can't find KIND: NAME", or for indexed keys "can't find KIND name: NAME, idx: INDEX".
    bool found(const void* target, const char* kind) const;
    // current by the mode: 0 (or unknown) value, 1 current + value, 2 current - value.
    float combine(float current, float value) const;
    // The frame an animation parameter asks for: value, frame + value or frame - value, wrapped
    // by the scene's animation length.
    float animationFrame(float value) const;
    int mode() const { return m_pParam ? m_pParam->m_mode : 0; }
    // Reports text under the class's name.
    void warn(const std::string& text) const;

    const LECXControllerParam* m_pParam = nullptr;
    const float* m_pValue = nullptr;
    S3DScene* m_pScene = nullptr;

private:
    const char* m_className;
    Key m_key;
    bool m_hasTarget = false;
    bool m_hasSetter = false;
};

class LECXControllerL3XParamManager {
public:
    // The class for the key's word 0, tested in the dispatch order; null for an unknown keyword.
    static std::unique_ptr<LECXControllerL3XParam> createFor(const char* keyword);

    void resize(int nb) { m_slots.resize(size_t(nb)); }
    int getNbSlot() const { return int(m_slots.size()); }
    // Replaces slot i by the object for the key's word 0, initialised; an unknown keyword is
    // reported ("create param not found: ") and leaves the slot empty.
    void create(int i, const LECXControllerParam* param, S3DScene* scene, const float* value);
    void apply(int i)
    {
        if (i >= 0 && i < getNbSlot() && m_slots[size_t(i)]) m_slots[size_t(i)]->apply();
    }
    LECXControllerL3XParam* get(int i) const { return i >= 0 && i < getNbSlot() ? m_slots[size_t(i)].get() : nullptr; }

private:
    std::vector<std::unique_ptr<LECXControllerL3XParam>> m_slots;
};

// The scene kind: the target must be a scene (getTargetKind() == 2).
class LECXControllerL3XScene : public LECXControllerL3X {
public:
    const LECXControllerL3XParamManager& getParamManager() const { return m_manager; }

protected:
    int createParamObjects() override;
    void applyParamObjects() override;

private:
    LECXControllerL3XParamManager m_manager;
};

// Makes the LECX manager create LECXControllerL3XScene for type 2; call once at start-up.
void registerLECXControllerL3X();
