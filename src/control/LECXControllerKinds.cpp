#include "control/LECXControllerKinds.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/Report.h"

namespace {

const char* const kL3XCaption = "LECXControllerL3X";
const char* const kColorNames[] = {"Red", "Green", "Blue"};
const char* const kMixBlitNames[] = {"Opacity"};
const char* const kDemoSpe01Names[] = {"Intensity", "Phase"};

// Key templates of the 3D kind: NAME stands for an object name, IDX for an index.
const char* const kL3XNames[LECXControllerL3X::kParamNameCount] = {
    "SCENE MAINANIM", "SCENE CAMERA",
    "NODE NAME MAINANIM", "NODE NAME POSX", "NODE NAME POSY", "NODE NAME POSZ", "NODE NAME SCALE",
    "NODE NAME SCALEX", "NODE NAME SCALEY", "NODE NAME SCALEZ", "NODE NAME ROTX", "NODE NAME ROTY",
    "NODE NAME ROTZ",
    "TRIOBJECT NAME MAINANIM", "TRIOBJECT NAME MODIFIERANIM",
    "SHAPE NAME MAINANIM", "SHAPE NAME SPEANIM", "SHAPE NAME MODIFIERANIM",
    "CAMERA NAME MAINANIM", "CAMERA NAME FOV", "CAMERA NAME ROLL",
    "LIGHT NAME MAINANIM", "LIGHT NAME INTENSITY", "LIGHT NAME NEARATT", "LIGHT NAME FARATT",
    "LIGHT NAME HOTSPOT", "LIGHT NAME FALLOFF",
    "MTL NAME IDX MAINANIM", "MTL NAME IDX POLYOPACITY", "MTL NAME IDX POLYPALETTESPEPARAM",
    "MTL NAME IDX LINEOPACITY",
    "WSMODIFIER NAME MAINANIM", "WSMODIFIER NAME MODIFIERANIM",
    "MODIFIERGIZMO NAME IDX MAINANIM", "MODIFIERGIZMO NAME IDX POSX", "MODIFIERGIZMO NAME IDX POSY",
    "MODIFIERGIZMO NAME IDX POSZ", "MODIFIERGIZMO NAME IDX SCALE", "MODIFIERGIZMO NAME IDX SCALEX",
    "MODIFIERGIZMO NAME IDX SCALEY", "MODIFIERGIZMO NAME IDX SCALEZ", "MODIFIERGIZMO NAME IDX ROTX",
    "MODIFIERGIZMO NAME IDX ROTY", "MODIFIERGIZMO NAME IDX ROTZ",
    "MODIFIERTAPE NAME AMOUNT", "MODIFIERTAPE NAME CURVE",
    "MODIFIERSPHERY NAME PERCENT",
    "MODIFIERSTRETCH NAME STRETCH", "MODIFIERSTRETCH NAME AMPLIFY",
    "MODIFIERWAVE NAME AMP1", "MODIFIERWAVE NAME AMP2", "MODIFIERWAVE NAME WAVELEN", "MODIFIERWAVE NAME PHASE",
    "MODIFIERWAVE NAME DECAY",
    "MODIFIERTWIST NAME ANGLE", "MODIFIERTWIST NAME BIAS",
    "MODIFIERSKEW NAME AMOUNT", "MODIFIERSKEW NAME DIRECTION",
    "MODIFIERNOISE NAME SCALE", "MODIFIERNOISE NAME PHASE", "MODIFIERNOISE NAME STRENGTH",
    "MODIFIERNOISE NAME STRENGTHX", "MODIFIERNOISE NAME STRENGTHY", "MODIFIERNOISE NAME STRENGTHZ",
    "MODIFIERMELT NAME AMOUNT", "MODIFIERMELT NAME SPREAD", "MODIFIERMELT NAME SOLIDITY",
    "MODIFIERBEND NAME ANGLE", "MODIFIERBEND NAME DIRECTION",
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Descriptor kinds

LECXControllerSimple::LECXControllerSimple(int type, const char* caption, const char* const* names, int nbName)
    : LECXController(type), m_caption(caption), m_names(names), m_nbName(std::min(nbName, kMaxFields))
{
}

void LECXControllerSimple::setTarget(LECXTarget* target)
{
    m_pTarget = target;
    for (int k = 0; k < m_nbName; ++k) m_field[k] = target ? target->findTargetValue(m_names[k]) : nullptr;
}

void LECXControllerSimple::prepareInterface()
{
    m_binding.assign(size_t(getNbParam()), Binding{});
    for (int i = 0; i < getNbParam(); ++i) {
        Binding& binding = m_binding[size_t(i)];
        // Values exist once the controller is prepared; until then the binding reads nothing.
        binding.m_pValue = size_t(i) < m_value.size() ? &m_value[size_t(i)] : nullptr;
        const StringC& name = m_param[size_t(i)]->m_name;
        for (int k = 0; k < m_nbName; ++k)
            if (name == m_names[k]) {
                binding.m_index = k;
                break;
            }
        if (binding.m_index < 0) {
            const std::string text = std::string("can t find param type: ") + (name.getName() ? name.getName() : "");
            reportWarning(m_caption, text.c_str());
        }
    }
}

void LECXControllerSimple::apply()
{
    if (!m_pTarget || m_binding.empty()) return;
    evaluate();
    for (const Binding& binding : m_binding)
        if (binding.m_index >= 0 && binding.m_pValue && m_field[binding.m_index])
            *m_field[binding.m_index] = *binding.m_pValue;
}

LECXControllerEffectColor::LECXControllerEffectColor()
    : LECXControllerSimple(kLECXEffectColor, "LECXControllerEffectColor", kColorNames, 3)
{
}

LECXControllerMixBlit::LECXControllerMixBlit()
    : LECXControllerSimple(kLECXMixBlit, "LECXControllerMixBlit", kMixBlitNames, 1)
{
}

LECXControllerEffectDemoSpe01::LECXControllerEffectDemoSpe01()
    : LECXControllerSimple(kLECXEffectDemoSpe01, "LECXControllerEffectDemoSpe01", kDemoSpe01Names, 2)
{
}

// ---------------------------------------------------------------------------------------------
// 3D scene kind

void LECXControllerL3X::prepareInterface()
{
    if (!m_pTarget) return reportWarning(kL3XCaption, "can t prepare controller Interface: m_pScene NULL");
    m_nbParamObject = createParamObjects();
}

void LECXControllerL3X::apply()
{
    if (!m_pTarget || m_nbParamObject <= 0) return;
    evaluate();
    applyParamObjects();
}

const char* const* LECXControllerL3X::getParamNames() const { return kL3XNames; }
