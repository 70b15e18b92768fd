// How descriptors and scene descriptions take a .lecx controller: each accepts one kind only,
// identified by the controller's type code, and runs it before drawing.
#pragma once

class LECXController;

// Type codes of the .lecx controller kinds.
enum : int {
    kControllerEffectColor = 1,
    kControllerL3X = 2,
    kControllerMixBlit = 3,
    kControllerEffectDemoSpe01 = 4,
};

// Stores the controller in `slot` and makes `target` its target when its type code is
// `typeCode`; otherwise reports `format` (with the type code for %d) under `caption` and leaves
// the slot as it was. A null controller is ignored. `target` is the accepting object:
// ScriptEffectColorDesc (1), RenderData3DDesc (2), ScriptMixBlitDesc (3) or
// ScriptEffectDemoSpe01Desc (4).
void acceptController(LECXController* controller, int typeCode, const char* caption, const char* format,
                      void* target, LECXController*& slot);
// Lets the controller compute its values and write them into its target; nothing for null.
void applyController(LECXController* controller);
