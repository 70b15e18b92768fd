// The authoring mode's reload on save: the files the running demo loaded, learnt from the files
// opened while it loaded, and when saves of them call for a reload.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/FileWatch.h"

class SaveWatch {
public:
    // A burst of saves ends when none has come for kQuietMs, or kMaxWaitMs after its first: the
    // reload comes well within half a second of a save, and once for the whole burst.
    static constexpr uint32_t kQuietMs = 100;
    static constexpr uint32_t kMaxWaitMs = 300;
    // Directories watched at most (the script's directory and those under it).
    static constexpr size_t kMaxDirectories = 256;

    explicit SaveWatch(std::unique_ptr<FileWatcher> watcher) : m_watcher(std::move(watcher)) {}

    // Before a load of `scriptPath`: watches its directory and those under it (hidden ones
    // left out) and records the files opened from now on.
    void beginLoad(const std::string& scriptPath);
    // After the load: the files opened since beginLoad become the demo's files (`replace`), or
    // join them (a trial load that was refused: its files are watched too, so that a fix of any
    // of them tries again).
    void endLoad(bool replace);
    // Takes the file events at `nowMs` (a millisecond timer). When a burst of saves of the
    // demo's files has ended, returns their names (relative to the script's directory, each
    // once, in the order first saved) and starts over; empty otherwise.
    std::vector<std::string> poll(uint32_t nowMs);

    const std::set<std::string>& files() const { return m_files; }

    // Text sources: saves of any file under the script's directory that `isSource` accepts
    // (an absolute path) count as saves too, whether the demo loaded it or not.
    void watchSources(std::function<bool(const std::string&)> isSource) { m_isSource = std::move(isSource); }
    // Whether a name that poll returned is a text source, and its absolute path.
    bool isSource(const std::string& name) const { return m_sources.count(pathOf(name)) > 0; }
    std::string pathOf(const std::string& name) const;
    // The script's directory, absolute, ending in '/'.
    const std::string& root() const { return m_root; }
    // Takes the events so far and drops the saves of `paths` (absolute): files the player wrote
    // itself (a rebuilt binary) do not call for another reload.
    void forgetSaves(const std::vector<std::string>& paths);

private:
    void take();

    std::unique_ptr<FileWatcher> m_watcher;
    std::string m_root;                  // the script's directory, absolute, with '/'
    std::set<std::string> m_files;       // the demo's files, absolute
    std::set<std::string> m_recorded;    // opened during the load in progress
    std::function<bool(const std::string&)> m_isSource;
    std::set<std::string> m_sources;     // text sources seen saved, absolute
    bool m_recording = false;
    std::vector<std::string> m_saved;    // saves of the demo's files in the burst
    bool m_saveSeen = false;             // a save came in since the last poll
    std::optional<uint32_t> m_firstSave; // when the burst began
    uint32_t m_lastSave = 0;
    FileEvents m_events;
};
