#include "s3d/LECXControllerL3XParam.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <cstring>
#include <string>

#include "control/LECXControllerManager.h"
#include "foundation/Report.h"
#include "foundation/Saturate.h"
#include "s3d/S3DModifierKinds.h"
#include "s3d/S3DScene.h"

namespace {

const char* const kManagerCaption = "LECXControllerL3XParamManager";
const char* const kControllerCaption = "LECXControllerL3X";

const char* text(const StringC& s) { return s.getName() ? s.getName() : ""; }

// The index word of an indexed key read as "%d" reads it (an optional sign and the digits at
// its front; none gives 0), or false when that number does not fit an int.
bool readIndexWord(const char* word, int& index)
{
    index = 0;
    const char* end = word + std::strlen(word);
    const char* digits = *word == '+' ? word + 1 : word;
    int value = 0;
    const std::from_chars_result r = std::from_chars(digits, end, value);
    if (r.ec == std::errc::result_out_of_range) return false;
    if (r.ec == std::errc()) index = value;
    return true;
}

// The setter of `word` in a table of parameter words (its index), or -1.
template <size_t N>
int indexOf(const char* const (&words)[N], const char* word)
{
    for (size_t i = 0; i < N; ++i)
        if (std::strcmp(words[i], word) == 0) return int(i);
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Nodes and gizmos share their words: the animation, position, scale and Euler rotation.

enum { kMainAnim, kPosX, kPosY, kPosZ, kScale, kScaleX, kScaleY, kScaleZ, kRotX, kRotY, kRotZ };
const char* const kNodeWords[] = {"MAINANIM", "POSX", "POSY", "POSZ", "SCALE", "SCALEX",
                                  "SCALEY", "SCALEZ", "ROTX", "ROTY", "ROTZ"};

// Applies a transform word (other than MAINANIM) to copies of the three values.
template <class Combine>
void combineTransform(int setter, float value, Point3D& position, Point3D& scale, Quaternion& rotation, Combine combine)
{
    switch (setter) {
    case kPosX: position.x = combine(position.x, value); break;
    case kPosY: position.y = combine(position.y, value); break;
    case kPosZ: position.z = combine(position.z, value); break;
    case kScale: scale = {combine(scale.x, value), combine(scale.y, value), combine(scale.z, value)}; break;
    case kScaleX: scale.x = combine(scale.x, value); break;
    case kScaleY: scale.y = combine(scale.y, value); break;
    case kScaleZ: scale.z = combine(scale.z, value); break;
    default: {
        Point3D e = rotation.toEuler();
        float& angle = setter == kRotX ? e.x : setter == kRotY ? e.y : e.z;
        angle = combine(angle, value);
        rotation = Quaternion::fromEuler(e.x, e.y, e.z);
        break;
    }
    }
}

class LECXControllerL3XParamScene : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamScene() : LECXControllerL3XParam("LECXControllerL3XParamScene") {}

protected:
    bool findTarget() override { return true; }
    int paramWordIndex() const override { return 1; }
    int findSetter(const char* w) const override
    {
        static const char* const words[] = {"MAINANIM", "CAMERA"};
        return indexOf(words, w);
    }
    void set(int setter, float value) override
    {
        if (setter == 1) return m_pScene->setCamera(saturateToInt(value));
        // Mode 2 here is value - frame (the objects use frame - value).
        const float frame = m_pScene->getTime();
        float f = mode() == 1 ? value + frame : mode() == 2 ? value - frame : value;
        if (m_pScene->m_animationLength > 0) f = std::fmod(f, float(m_pScene->m_animationLength));
        m_pScene->update(f);
    }
};

class LECXControllerL3XParamNode : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamNode() : LECXControllerL3XParam("LECXControllerL3XParamNode") {}

protected:
    bool findTarget() override
    {
        // A node that is not there is silent: the parameter stays inert.
        S3DObjectHeader* h = m_pScene->findObject(text(word(1)));
        m_pNode = h ? &h->m_node : nullptr;
        return m_pNode != nullptr;
    }
    int findSetter(const char* w) const override { return indexOf(kNodeWords, w); }
    void set(int setter, float value) override
    {
        if (setter == kMainAnim) return m_pNode->update(animationFrame(value));
        Point3D position = m_pNode->getPosition(), scale = m_pNode->getScale();
        Quaternion rotation = m_pNode->getRotation();
        combineTransform(setter, value, position, scale, rotation, [this](float c, float v) { return combine(c, v); });
        if (setter <= kPosZ) m_pNode->setPosition(position);
        else if (setter <= kScaleZ) m_pNode->setScale(scale);
        else m_pNode->setRotation(rotation);
    }

private:
    S3DNode* m_pNode = nullptr;
};

class LECXControllerL3XParamModifierGizmo : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamModifierGizmo() : LECXControllerL3XParam("LECXControllerL3XParamModifierGizmo") {}

protected:
    int paramWordIndex() const override { return 3; }
    bool findTarget() override
    {
        const StringC name = word(1), index = word(2);
        int i = 0;
        if (!readIndexWord(text(index), i)) return indexOutOfRange(index);
        m_pModifier = m_pScene->findModifierGizmo(text(name), i);
        if (!m_pModifier)
            warn(std::string("can't find modifierGizmo name: ") + text(name) + ", idx: " + text(index));
        for (S3DWSModifier& w : m_pScene->getWSModifiers())
            if (m_pModifier && w.getModifier() == m_pModifier) m_pWSModifier = &w;
        return m_pModifier != nullptr;
    }
    int findSetter(const char* w) const override { return indexOf(kNodeWords, w); }
    void set(int setter, float value) override
    {
        // A world-space gizmo sits where its object's node puts it: its offset (the node's
        // position) is its position, and its animation keeps it on the node.
        if (setter == kMainAnim) {
            if (m_pWSModifier) return m_pWSModifier->updateModifier(animationFrame(value));
            return m_pModifier->update(animationFrame(value));
        }
        Point3D& position = m_pWSModifier ? m_pModifier->m_gizmoOffset : m_pModifier->m_gizmoPosition;
        combineTransform(setter, value, position, m_pModifier->m_gizmoScale, m_pModifier->m_gizmoRotation,
                         [this](float c, float v) { return combine(c, v); });
    }

private:
    S3DModifier* m_pModifier = nullptr;
    S3DWSModifier* m_pWSModifier = nullptr;  // the world-space object holding the modifier, if any
};

class LECXControllerL3XParamTriObject : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamTriObject() : LECXControllerL3XParam("LECXControllerL3XParamTriObject") {}

protected:
    bool findTarget() override
    {
        m_pObject = m_pScene->findTriObject(text(word(1)));
        return found(m_pObject, "triObject");
    }
    int findSetter(const char* w) const override
    {
        static const char* const words[] = {"MAINANIM", "MODIFIERANIM"};
        return indexOf(words, w);
    }
    void set(int setter, float value) override
    {
        const float f = animationFrame(value);
        if (setter == 0) return m_pObject->m_header.m_node.update(f);
        for (auto& m : m_pObject->m_modifiers) m->update(f);
    }

private:
    S3DTriObject* m_pObject = nullptr;
};

class LECXControllerL3XParamShape : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamShape() : LECXControllerL3XParam("LECXControllerL3XParamShape") {}

protected:
    bool findTarget() override
    {
        m_pShape = m_pScene->findShape(text(word(1)));
        return found(m_pShape, "shape");
    }
    int findSetter(const char* w) const override
    {
        static const char* const words[] = {"MAINANIM", "SPEANIM", "MODIFIERANIM"};
        return indexOf(words, w);
    }
    void set(int setter, float value) override
    {
        const float f = animationFrame(value);
        if (setter == 0) {
            const int c = m_pScene->getCurrentCamera();
            const S3DCamera* camera = c < m_pScene->getNbCamera() ? &m_pScene->getCameras()[size_t(c)] : nullptr;
            return m_pShape->update(f, camera);
        }
        if (setter == 2) {
            for (auto& m : m_pShape->m_modifiers) m->update(f);
        }
        // SPEANIM drives the sub-elements of kind-2 shapes, which carry none yet.
    }

private:
    S3DShape* m_pShape = nullptr;
};

class LECXControllerL3XParamCamera : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamCamera() : LECXControllerL3XParam("LECXControllerL3XParamCamera") {}

protected:
    bool findTarget() override
    {
        m_pCamera = m_pScene->findCamera(text(word(1)));
        return found(m_pCamera, "camera");
    }
    int findSetter(const char* w) const override
    {
        static const char* const words[] = {"MAINANIM", "ROLL", "FOV"};
        return indexOf(words, w);
    }
    void set(int setter, float value) override
    {
        if (setter == 0) return m_pCamera->update(animationFrame(value));
        if (setter == 1) return m_pCamera->setRoll(combine(m_pCamera->getRoll(), value));
        m_pCamera->setFov(combine(m_pCamera->getFov(), value));
    }

private:
    S3DCamera* m_pCamera = nullptr;
};

class LECXControllerL3XParamLight : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamLight() : LECXControllerL3XParam("LECXControllerL3XParamLight") {}

protected:
    bool findTarget() override
    {
        m_pLight = m_pScene->findLight(text(word(1)));
        return found(m_pLight, "light");
    }
    int findSetter(const char* w) const override
    {
        static const char* const words[] = {"MAINANIM", "INTENSITY", "NEARATT", "FARATT", "HOTSPOT", "FALLOFF"};
        return indexOf(words, w);
    }
    void set(int setter, float value) override
    {
        S3DLight& l = *m_pLight;
        switch (setter) {
        case 0: l.update(animationFrame(value)); break;
        case 1: l.m_intensity = std::max(0.0f, combine(l.m_intensity, value)); break;
        case 2: l.m_nearAttenuation = combine(l.m_nearAttenuation, value); break;
        case 3: l.m_farAttenuation = combine(l.m_farAttenuation, value); break;
        case 4: l.m_hotspot = combine(l.m_hotspot, value); break;
        default: l.m_falloff = combine(l.m_falloff, value); break;
        }
    }

private:
    S3DLight* m_pLight = nullptr;
};

class LECXControllerL3XParamMaterial : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamMaterial() : LECXControllerL3XParam("LECXControllerL3XParamMaterial") {}

protected:
    int paramWordIndex() const override { return 3; }
    bool findTarget() override
    {
        const StringC name = word(1), index = word(2);
        int i = 0;
        if (!readIndexWord(text(index), i)) return indexOutOfRange(index);
        m_pSub = m_pScene->findMaterial(text(name), i);
        if (!m_pSub) return warn(std::string("can't find material name: ") + text(name) + ", idx: " + text(index)), false;
        m_lineColour = m_pSub->m_lineColour;
        return true;
    }
    int findSetter(const char* w) const override
    {
        static const char* const words[] = {"MAINANIM", "POLYOPACITY", "POLYPALETTESPEPARAM", "LINEOPACITY"};
        return indexOf(words, w);
    }
    void set(int setter, float value) override
    {
        S3DSubMaterial& s = *m_pSub;
        switch (setter) {
        case 0: s.update(animationFrame(value)); break;
        case 1: s.setOpacity(combine(s.m_opacity, value)); break;
        case 2:
            s.m_paletteSpecialParam = combine(s.m_paletteSpecialParam, value);
            s.m_paletteSpecialParamSet = 1;
            break;
        default: {
            // The line colour kept at creation, each byte scaled by b/256 (at most 255).
            const float o = mode() == 1 ? value + 1.0f : mode() == 2 ? 1.0f - value : value;
            const int64_t b = std::max(0, saturateToInt(double(o) * 255.0));
            uint32_t colour = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                colour |= uint32_t(std::min<int64_t>(255, ((m_lineColour >> shift) & 0xFF) * b >> 8)) << shift;
            s.m_lineColour = colour;
            break;
        }
        }
    }

private:
    S3DSubMaterial* m_pSub = nullptr;
    uint32_t m_lineColour = 0;
};

class LECXControllerL3XParamWSModifier : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamWSModifier() : LECXControllerL3XParam("LECXControllerL3XParamWSModifier") {}

protected:
    bool findTarget() override
    {
        const StringC word1 = word(1);
        const char* name = text(word1);
        m_pWS = m_pScene->findWSModifier(name);
        if (!m_pWS) {
            reportWarning("S3DScene warning:", (std::string("Warning can't find WSModifier: ") + name).c_str());
            warn(std::string("Can't find wsModifier: ") + name);
        }
        return m_pWS != nullptr;
    }
    int findSetter(const char* w) const override
    {
        static const char* const words[] = {"MAINANIM", "MODIFIERANIM"};
        return indexOf(words, w);
    }
    void set(int setter, float value) override
    {
        const float f = animationFrame(value);
        if (setter == 0) return m_pWS->updateNode(f);
        m_pWS->updateModifier(f);
    }

private:
    S3DWSModifier* m_pWS = nullptr;
};

// A modifier of one type on the object named by word 1; each word drives one of its values.
struct ModifierWord {
    const char* word;
    int slot;  // the value; -1: the three strength values, set without the combine mode
};

class LECXControllerL3XParamModifierKind : public LECXControllerL3XParam {
public:
    template <size_t N>
    LECXControllerL3XParamModifierKind(const char* className, int type, const char* what, const ModifierWord (&words)[N])
        : LECXControllerL3XParam(className), m_type(type), m_what(what), m_words(words), m_nbWord(int(N))
    {
    }

protected:
    bool findTarget() override
    {
        m_pModifier = m_pScene->findModifier(text(word(1)), m_type);
        if (!m_pModifier) warn(std::string("Can't find ") + m_what + " from object: " + text(word(1)));
        return m_pModifier != nullptr;
    }
    int findSetter(const char* w) const override
    {
        for (int i = 0; i < m_nbWord; ++i)
            if (std::strcmp(m_words[i].word, w) == 0) return i;
        return -1;
    }
    void set(int setter, float value) override
    {
        const int slot = m_words[setter].slot;
        if (slot < 0) {
            std::fill(m_pModifier->m_value + 4, m_pModifier->m_value + 7, value);
            return;
        }
        m_pModifier->m_value[slot] = combine(m_pModifier->m_value[slot], value);
    }

private:
    S3DModifier* m_pModifier = nullptr;
    int m_type;
    const char* m_what;
    const ModifierWord* m_words;
    int m_nbWord;
};

// The words of each kind and the values they drive (slots: S3DModifierRecord.h).
const ModifierWord kTapeWords[] = {{"AMOUNT", 0}, {"CURVE", 1}};
const ModifierWord kSpheryWords[] = {{"PERCENT", 0}};
const ModifierWord kStretchWords[] = {{"STRETCH", 0}, {"AMPLIFY", 1}};
const ModifierWord kWaveWords[] = {{"AMP1", 0}, {"AMP2", 1}, {"WAVELEN", 2}, {"PHASE", 3}, {"DECAY", 4}};
const ModifierWord kTwistWords[] = {{"ANGLE", 0}, {"BIAS", 1}};
const ModifierWord kSkewWords[] = {{"AMOUNT", 0}, {"DIRECTION", 1}};
const ModifierWord kNoiseWords[] = {{"SCALE", 2},     {"PHASE", 3},     {"STRENGTH", -1},
                                    {"STRENGTHX", 4}, {"STRENGTHY", 5}, {"STRENGTHZ", 6}};
const ModifierWord kMeltWords[] = {{"AMOUNT", 0}, {"SPREAD", 1}, {"SOLIDITY", 2}};
const ModifierWord kBendWords[] = {{"ANGLE", 0}, {"DIRECTION", 1}};

#define TL_MODIFIER_PARAM(Class, type, what, words)                                                 \
    class Class : public LECXControllerL3XParamModifierKind {                                       \
    public:                                                                                         \
        Class() : LECXControllerL3XParamModifierKind(#Class, type, what, words) {}                  \
    };
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierTape, 8, "modifierTape", kTapeWords)
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierSphery, 10, "modifierSphery", kSpheryWords)
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierStretch, 4, "modifierStretch", kStretchWords)
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierWave, 6, "modifierWave", kWaveWords)
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierTwist, 7, "modifierTwist", kTwistWords)
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierSkew, 9, "modifierSkew", kSkewWords)
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierNoise, 5, "modifierNoise", kNoiseWords)
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierMelt, 11, "modifierMelt", kMeltWords)
TL_MODIFIER_PARAM(LECXControllerL3XParamModifierBend, 3, "modifierBend", kBendWords)
#undef TL_MODIFIER_PARAM

template <class T>
std::unique_ptr<LECXControllerL3XParam> make()
{
    return std::make_unique<T>();
}

// The keyword dispatch, in the order the keywords are tested.
struct Dispatch {
    const char* keyword;
    std::unique_ptr<LECXControllerL3XParam> (*create)();
};
const Dispatch kDispatch[] = {
    {"SCENE", make<LECXControllerL3XParamScene>},
    {"NODE", make<LECXControllerL3XParamNode>},
    {"TRIOBJECT", make<LECXControllerL3XParamTriObject>},
    {"SHAPE", make<LECXControllerL3XParamShape>},
    {"CAMERA", make<LECXControllerL3XParamCamera>},
    {"LIGHT", make<LECXControllerL3XParamLight>},
    {"MTL", make<LECXControllerL3XParamMaterial>},
    {"WSMODIFIER", make<LECXControllerL3XParamWSModifier>},
    {"MODIFIERGIZMO", make<LECXControllerL3XParamModifierGizmo>},
    {"MODIFIERTAPE", make<LECXControllerL3XParamModifierTape>},
    {"MODIFIERSPHERY", make<LECXControllerL3XParamModifierSphery>},
    {"MODIFIERSTRETCH", make<LECXControllerL3XParamModifierStretch>},
    {"MODIFIERWAVE", make<LECXControllerL3XParamModifierWave>},
    {"MODIFIERTWIST", make<LECXControllerL3XParamModifierTwist>},
    {"MODIFIERTSKEW", make<LECXControllerL3XParamModifierSkew>},
    {"MODIFIERTNOISE", make<LECXControllerL3XParamModifierNoise>},
    {"MODIFIERTMELT", make<LECXControllerL3XParamModifierMelt>},
    {"MODIFIERTBEND", make<LECXControllerL3XParamModifierBend>},
};

} // namespace

// ---------------------------------------------------------------------------------------------

void LECXControllerL3XParam::init(const LECXControllerParam* param, S3DScene* scene, const float* value)
{
    if (!param || !scene) return;
    m_pParam = param;
    m_pScene = scene;
    m_pValue = value;
    m_hasTarget = findTarget();
    if (!m_hasTarget) return;
    const StringC w = word(paramWordIndex());
    m_setter = findSetter(text(w));
    if (m_setter < 0) warn(std::string("Can't find param: ") + text(w));
}

StringC LECXControllerL3XParam::word(int i) const
{
    const StringC w = m_pParam->m_name.getToken(i);
    return w.getName() ? w : StringC("");
}

float LECXControllerL3XParam::combine(float current, float value) const
{
    switch (mode()) {
    case 1: return current + value;
    case 2: return current - value;
    default: return value;
    }
}

float LECXControllerL3XParam::animationFrame(float value) const
{
    const float frame = m_pScene->getTime();
    float f = mode() == 1 ? frame + value : mode() == 2 ? frame - value : value;
    if (m_pScene->m_animationLength > 0) f = std::fmod(f, float(m_pScene->m_animationLength));
    return f;
}

bool LECXControllerL3XParam::found(const void* target, const char* kind) const
{
    if (!target) warn(std::string("Can't find ") + kind + ": " + text(word(1)));
    return target != nullptr;
}

void LECXControllerL3XParam::warn(const std::string& message) const { reportWarning(m_className, message.c_str()); }

bool LECXControllerL3XParam::indexOutOfRange(const StringC& index) const
{
    warn(std::string("index out of range: ") + text(index) + ", key: " + text(m_pParam->m_name));
    return false;
}

std::unique_ptr<LECXControllerL3XParam> LECXControllerL3XParamManager::createFor(const char* keyword)
{
    for (const Dispatch& d : kDispatch)
        if (std::strcmp(d.keyword, keyword) == 0) return d.create();
    return nullptr;
}

void LECXControllerL3XParamManager::create(int i, const LECXControllerParam* param, S3DScene* scene, const float* value)
{
    if (i < 0 || i >= getNbSlot()) return;
    auto& slot = m_slots[size_t(i)];
    slot.reset();
    const StringC keyword = param ? param->m_name.getToken(0) : StringC("");
    const char* k = keyword.getName() ? keyword.getName() : "";
    slot = createFor(k);
    if (!slot) return reportWarning(kManagerCaption, (std::string("create param not found: ") + k).c_str());
    slot->init(param, scene, value);
}

int LECXControllerL3XScene::createParamObjects()
{
    LECXTarget* target = getTarget();
    if (!target || target->getTargetKind() != kLECXL3X)
        return reportWarning(kControllerCaption, "can t prepare controller Interface: m_pScene NULL", 0);
    // The target serves this kind: it is a scene.
    S3DScene* scene = static_cast<S3DScene*>(target);
    m_manager.resize(getNbParam());
    for (int i = 0; i < getNbParam(); ++i)
        m_manager.create(i, getParam(i), scene, size_t(i) < m_value.size() ? &m_value[size_t(i)] : nullptr);
    return getNbParam();
}

void LECXControllerL3XScene::applyParamObjects()
{
    for (int i = 0; i < m_manager.getNbSlot(); ++i) m_manager.apply(i);
}

void registerLECXControllerL3X()
{
    LECXControllerManager::registerKind(kLECXL3X, []() -> std::unique_ptr<LECXController> {
        return std::make_unique<LECXControllerL3XScene>();
    });
}
