#include "script/ScriptControllerLink.h"

#include <cstdio>

#include "control/LECXControllerKinds.h"
#include "foundation/Report.h"
#include "script/RenderData.h"
#include "script/ScriptEffect.h"
#include "script/ScriptMix.h"

namespace {

// Points the controller at the fields of its target, in the order of its kind's name table.
void setTarget(LECXController* controller, int typeCode, void* target)
{
    if (typeCode == kControllerL3X) {
        // The 3D description's scene: none until 3D scenes load, so the interface then reports
        // that it has no scene to drive.
        if (auto* l3x = dynamic_cast<LECXControllerL3X*>(controller)) l3x->setScene(nullptr);
        return;
    }
    auto* simple = dynamic_cast<LECXControllerSimple*>(controller);
    if (!simple) return;
    switch (typeCode) {
    case kControllerEffectColor: {
        auto* desc = static_cast<ScriptEffectColorDesc*>(target);
        float* const fields[] = {&desc->m_red, &desc->m_green, &desc->m_blue};
        simple->setTarget(desc, fields);
        break;
    }
    case kControllerMixBlit: {
        auto* desc = static_cast<ScriptMixBlitDesc*>(target);
        float* const fields[] = {&desc->m_opacity};
        simple->setTarget(desc, fields);
        break;
    }
    case kControllerEffectDemoSpe01: {
        auto* desc = static_cast<ScriptEffectDemoSpe01Desc*>(target);
        float* const fields[] = {&desc->m_intensity, &desc->m_phase};
        simple->setTarget(desc, fields);
        break;
    }
    default: break;
    }
}

} // namespace

void acceptController(LECXController* controller, int typeCode, const char* caption, const char* format,
                      void* target, LECXController*& slot)
{
    if (!controller) return;
    if (controller->getType() != typeCode) {
        char text[256];
        std::snprintf(text, sizeof text, format, controller->getType());
        reportWarning(caption, text);
        return;
    }
    slot = controller;
    setTarget(controller, typeCode, target);
}

void applyController(LECXController* controller)
{
    if (controller) controller->apply();
}
