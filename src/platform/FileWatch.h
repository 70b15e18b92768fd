// Notices of files opened and changed in watched directories (the authoring mode's reload on
// save): a plain interface over the system's file-change notification, no system header.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What happened in the watched directories since the last poll, as full paths (the watched
// directory joined with the file's name), in the order it happened.
struct FileEvents {
    std::vector<std::string> opened;   // files opened by anyone (a load in progress reads them)
    std::vector<std::string> changed;  // files written and closed, moved in (a save by rename) or removed
};

class FileWatcher {
public:
    virtual ~FileWatcher() = default;
    // Watches the files directly inside `directory` (an absolute path, not its subdirectories).
    // Watching a directory again is harmless. False when it cannot be watched.
    virtual bool watchDirectory(const std::string& directory) = 0;
    // Appends what has happened since the last call, without waiting.
    virtual void poll(FileEvents& events) = 0;
};

// Creates a watcher; null when the system cannot notify.
using FileWatcherCreator = std::function<std::unique_ptr<FileWatcher>()>;
