#include "script/ScriptTimeInputs.h"

void setTimeInputs(LECXController* controller, int time, int end)
{
    // No .lecx controller kinds are loaded yet; they take their time inputs here.
    (void)controller;
    (void)time;
    (void)end;
}
