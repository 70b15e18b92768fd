#include "script/ScriptControllerLink.h"

#include <cstdio>
#include <cstring>

#include "foundation/Report.h"

void acceptController(LECXController* controller, int typeCode, const char* caption, const char* format,
                      LECXTarget* target, LECXController*& slot)
{
    if (!controller) return;
    if (controller->getType() != typeCode) {
        char text[256];
        std::snprintf(text, sizeof text, format, controller->getType());
        return reportWarning(caption, text);
    }
    slot = controller;
    controller->setTarget(target);
}

float* findNamedValue(const char* name, std::initializer_list<std::pair<const char*, float*>> values)
{
    for (const auto& [candidate, value] : values)
        if (name && std::strcmp(name, candidate) == 0) return value;
    return nullptr;
}
