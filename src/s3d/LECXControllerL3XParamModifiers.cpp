// The parameter controllers of modifiers: world-space modifiers, the gizmo of an object's
// modifier and the values of each modifier kind, whose words come from the kind's description
// (S3DModifierRecord.h).
#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/Report.h"
#include "s3d/LECXControllerL3XParamWords.h"
#include "s3d/S3DModifier.h"
#include "s3d/S3DScene.h"

namespace {

using Key = LECXControllerL3XParam::Key;

// 0, 1 or 2 when `word` is `stem` followed by X, Y or Z; else -1.
int axisOf(const char* stem, const char* word)
{
    const size_t n = std::strlen(stem);
    if (std::strncmp(stem, word, n) != 0 || word[n] == '\0' || word[n + 1] != '\0') return -1;
    for (int c = 0; c < 3; ++c)
        if (word[n] == "XYZ"[c]) return c;
    return -1;
}

class LECXControllerL3XParamWSModifier : public LECXControllerL3XParamWords<LECXControllerL3XParamWSModifier> {
public:
    LECXControllerL3XParamWSModifier() : LECXControllerL3XParamWords("LECXControllerL3XParamWSModifier", Key::Named) {}

    void setAnimation(float value) { m_pWS->updateNode(animationFrame(value)); }
    void setModifierAnimation(float value) { m_pWS->updateModifier(animationFrame(value)); }
    static constexpr Word kWords[] = {{"MAINANIM", &LECXControllerL3XParamWSModifier::setAnimation},
                                      {"MODIFIERANIM", &LECXControllerL3XParamWSModifier::setModifierAnimation}};

protected:
    bool findTarget() override
    {
        m_pWS = m_pScene->findWSModifier(name().c_str());
        // The scene's search is silent: its warning is given here, before the class's own.
        if (!m_pWS) reportWarning("S3DScene warning:", ("Warning can't find WSModifier: " + name()).c_str());
        return found(m_pWS, "wsModifier");
    }

private:
    S3DWSModifier* m_pWS = nullptr;
};

// A world-space gizmo sits where its object's node puts it: its offset (the node's position) is
// its position, and its animation keeps it on the node.
class LECXControllerL3XParamModifierGizmo
    : public LECXControllerL3XParamTransform<LECXControllerL3XParamModifierGizmo> {
public:
    LECXControllerL3XParamModifierGizmo()
        : LECXControllerL3XParamTransform("LECXControllerL3XParamModifierGizmo", Key::Indexed)
    {
    }

    void setAnimation(float value)
    {
        if (m_pWSModifier) return m_pWSModifier->updateModifier(animationFrame(value));
        m_pModifier->update(animationFrame(value));
    }
    Point3D getPosition() const { return position(); }
    void setPosition(const Point3D& p) { position() = p; }
    Point3D getScale() const { return m_pModifier->m_gizmoScale; }
    void setScale(const Point3D& s) { m_pModifier->m_gizmoScale = s; }
    Quaternion getRotation() const { return m_pModifier->m_gizmoRotation; }
    void setRotation(const Quaternion& r) { m_pModifier->m_gizmoRotation = r; }

protected:
    bool findTarget() override
    {
        int index = 0;
        if (!readIndex(index)) return false;
        m_pModifier = m_pScene->findModifierGizmo(name().c_str(), index);
        if (!found(m_pModifier, "modifierGizmo")) return false;
        for (S3DWSModifier& w : m_pScene->getWSModifiers())
            if (w.getModifier() == m_pModifier) m_pWSModifier = &w;
        return true;
    }

private:
    Point3D& position() const { return m_pWSModifier ? m_pModifier->m_gizmoOffset : m_pModifier->m_gizmoPosition; }
    S3DModifier* m_pModifier = nullptr;
    S3DWSModifier* m_pWSModifier = nullptr;  // the world-space object holding the modifier, if any
};

// A modifier of one type on the object named by word 1. Its words are those of the type's
// description: a word sets its value combined by the mode; a point's word sets its three values
// to the controller's value (no mode), its word followed by X, Y or Z one of them, combined.
class LECXControllerL3XParamModifierKind : public LECXControllerL3XParam {
public:
    LECXControllerL3XParamModifierKind(const char* className, int type, const char* what)
        : LECXControllerL3XParam(className, Key::Named), m_type(type), m_what(what)
    {
    }

protected:
    bool findTarget() override
    {
        m_pModifier = m_pScene->findModifier(name().c_str(), m_type);
        return found(m_pModifier, m_what);
    }
    bool findSetter(const char* word) override
    {
        const S3DModifierRecord* record = findModifierRecord(m_type);
        for (int k = 0; record && k < record->nbField; ++k) {
            const S3DModifierField& f = record->fields[k];
            if (!f.word) continue;
            if (std::strcmp(f.word, word) == 0) {
                m_slot = f.slot;
                m_whole = f.width() > 1;
                return true;
            }
            const int c = f.width() > 1 ? axisOf(f.word, word) : -1;
            if (c >= 0) {
                m_slot = f.slot + c;
                return true;
            }
        }
        return false;
    }
    void set(float value) override
    {
        float* v = m_pModifier->m_value + m_slot;
        if (m_whole) std::fill(v, v + 3, value);
        else *v = combine(*v, value);
    }

private:
    S3DModifier* m_pModifier = nullptr;
    int m_type;
    const char* m_what;
    int m_slot = 0;
    bool m_whole = false;  // all three values of a point
};

// The kinds' keywords in the order they are tested, the report caption and the type they drive;
// a missing modifier is reported as "Can't find " + what + ": " + the object's name.
struct ModifierKind {
    const char* keyword;
    const char* className;
    int type;
    const char* what;
};
const ModifierKind kModifierKinds[] = {
    {"MODIFIERTAPE", "LECXControllerL3XParamModifierTape", 8, "modifierTape from object"},
    {"MODIFIERSPHERY", "LECXControllerL3XParamModifierSphery", 10, "modifierSphery from object"},
    {"MODIFIERSTRETCH", "LECXControllerL3XParamModifierStretch", 4, "modifierStretch from object"},
    {"MODIFIERWAVE", "LECXControllerL3XParamModifierWave", 6, "modifierWave from object"},
    {"MODIFIERTWIST", "LECXControllerL3XParamModifierTwist", 7, "modifierTwist from object"},
    {"MODIFIERTSKEW", "LECXControllerL3XParamModifierSkew", 9, "modifierSkew from object"},
    {"MODIFIERTNOISE", "LECXControllerL3XParamModifierNoise", 5, "modifierNoise from object"},
    {"MODIFIERTMELT", "LECXControllerL3XParamModifierMelt", 11, "modifierMelt from object"},
    {"MODIFIERTBEND", "LECXControllerL3XParamModifierBend", 3, "modifierBend from object"},
};

// The keywords of this file, in the order they are tested (after the objects'), the kinds last.
const LECXControllerL3XParamKeyword kKeywords[] = {
    {"WSMODIFIER", makeL3XParam<LECXControllerL3XParamWSModifier>},
    {"MODIFIERGIZMO", makeL3XParam<LECXControllerL3XParamModifierGizmo>},
};

} // namespace

std::unique_ptr<LECXControllerL3XParam> createL3XModifierParam(const char* keyword)
{
    if (std::unique_ptr<LECXControllerL3XParam> p = createFromKeywords(kKeywords, keyword)) return p;
    for (const ModifierKind& k : kModifierKinds)
        if (std::strcmp(k.keyword, keyword) == 0)
            return std::make_unique<LECXControllerL3XParamModifierKind>(k.className, k.type, k.what);
    return nullptr;
}
