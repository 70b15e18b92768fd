#include "script/ScriptTimeInputs.h"

#include "control/LECXController.h"

void setTimeInputs(LECXController* controller, int time, int end)
{
    if (!controller) return;
    controller->setTime1(static_cast<float>(time));
    controller->setTime2(static_cast<float>(end));
}
