// Hands an operation's time and window end to the .lecx controller of what it drives, as its
// "time1" and "time2" inputs.
#pragma once

class LECXController;

void setTimeInputs(LECXController* controller, int time, int end);
