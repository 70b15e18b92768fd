// The player that the player tests drive: one at a time, made anew by resetPlayer.
#pragma once

#include "player/ScriptPlayer.h"

Player& player();
// Shuts the current player down and puts a new one in its place.
void resetPlayer();
