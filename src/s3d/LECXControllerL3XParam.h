// The 3D parameter controllers: one parameter object per key of a type-2 .lecx controller
// ("NODE Box01 POSX"), which finds its target in the scene once and, every frame, writes the
// controller's value into it (replacing, adding to or subtracting from the animated value by
// the parameter's combine mode). The scene kind of LECXControllerL3X that creates them is
// registered with the LECX manager's factory by registerLECXControllerL3X.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control/LECXControllerKinds.h"
#include "foundation/StringC.h"

class S3DScene;
class S3DNode;
class S3DModifier;

class LECXControllerL3XParam {
public:
    explicit LECXControllerL3XParam(const char* className) : m_className(className) {}
    virtual ~LECXControllerL3XParam() = default;

    // Nothing without parameter or scene; otherwise finds the target (a failed search is
    // reported under the class's name, except by nodes) and the setter of the parameter word
    // ("Can't find param: " and the word when it is unknown).
    void init(const LECXControllerParam* param, S3DScene* scene, const float* value);
    // Writes the value through the setter, when there are both.
    void apply()
    {
        if (m_pValue && m_setter >= 0) set(m_setter, *m_pValue);
    }

    bool hasTarget() const { return m_hasTarget; }
    int getSetter() const { return m_setter; }
    const char* getClassName() const { return m_className; }

protected:
    // Finds the target from the key's words; false (after its report) when there is none.
    virtual bool findTarget() = 0;
    // The setter of the parameter word, or -1.
    virtual int findSetter(const char* word) const = 0;
    virtual void set(int setter, float value) = 0;
    // The word that names the parameter: word 2, or 3 for the indexed kinds.
    virtual int paramWordIndex() const { return 2; }

    // Word i of the key ("" when missing).
    StringC word(int i) const;
    // current by the mode: 0 (or unknown) value, 1 current + value, 2 current - value.
    float combine(float current, float value) const;
    // The frame an animation parameter asks for: value, frame + value or frame - value, wrapped
    // by the scene's animation length.
    float animationFrame(float value) const;
    int mode() const { return m_pParam ? m_pParam->m_mode : 0; }
    // Reports text under the class's name.
    void warn(const std::string& text) const;
    // Reports an index word too large for an int (with the key) and gives false: no target.
    bool indexOutOfRange(const StringC& index) const;
    // Whether the target named by the key's second word was found; reports "Can't find KIND: NAME" if not.
    bool found(const void* target, const char* kind) const;

    const LECXControllerParam* m_pParam = nullptr;
    const float* m_pValue = nullptr;
    S3DScene* m_pScene = nullptr;
    const char* m_className;
    int m_setter = -1;
    bool m_hasTarget = false;
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
