// File-change notification through Linux inotify.
#pragma once

struct Platform;

// Installs the inotify file watcher (the authoring mode's reload on save).
void installInotifyBackend(Platform& platform);
