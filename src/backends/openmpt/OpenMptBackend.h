// Tracker modules through libopenmpt.
#pragma once

struct Platform;

// Installs the module opener and chains the libopenmpt version check.
void installOpenMptBackend(Platform& platform);
