#include "script/ScriptControllerLink.h"

void acceptController(LECXController* controller, int typeCode, const char* caption, const char* format,
                      void* target, LECXController*& slot)
{
    // No .lecx controller kinds are loaded yet: nothing to accept.
    (void)controller, (void)typeCode, (void)caption, (void)format, (void)target, (void)slot;
}

void applyController(LECXController* controller) { (void)controller; }
