// The system mouse over SDL: relative motion and buttons from SDL's mouse state, the wheel as
// the third axis, read once per frame by the mouse controllers' MouseInput.
#pragma once

struct Platform;

// Installs the mouse creator: the device starts SDL video if needed and takes the mouse in
// relative mode (captured while the player window has the focus).
void installSdlMouse(Platform& platform);
