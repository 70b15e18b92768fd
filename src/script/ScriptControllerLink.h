// How descriptors and scene descriptions take a .lecx controller: each accepts one kind only,
// identified by the controller's type code, becomes its target and runs it before drawing.
#pragma once

#include <initializer_list>
#include <utility>

#include "control/LECXController.h"
#include "control/LECXTarget.h"

// Stores the controller in `slot` and makes `target` its target when its type code is
// `typeCode`; otherwise reports `format` (with the type code for %d) under `caption` and leaves
// the slot as it was. A null controller is ignored.
void acceptController(LECXController* controller, int typeCode, const char* caption, const char* format,
                      LECXTarget* target, LECXController*& slot);
// The controller a descriptor kind takes: its one accepted type code, the refusal of any other
// (`refusal`, %d the code, under `caption`), and whether it runs before the descriptor's values
// reach the effect or after them (its values then reach the effect on the next frame).
struct ScriptDescController {
    int typeCode;
    const char* caption;
    const char* refusal;
    bool runsFirst;
};
// Lets the controller compute its values and write them into its target; nothing for null.
inline void applyController(LECXController* controller)
{
    if (controller) controller->apply();
}
// A target's lookup of its values: the value listed under `name`, or null.
[[nodiscard]] float* findNamedValue(const char* name, std::initializer_list<std::pair<const char*, float*>> values);
