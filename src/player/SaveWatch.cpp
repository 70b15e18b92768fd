#include "player/SaveWatch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {
// An absolute path with its dots resolved, so that paths compare as strings.
std::string normalPath(const fs::path& p)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(p, ec);
    if (ec) absolute = p;
    return absolute.lexically_normal().string();
}
} // namespace

void SaveWatch::beginLoad(const std::string& scriptPath)
{
    std::string script = scriptPath;
    std::replace(script.begin(), script.end(), '\\', '/');
    fs::path root = fs::path(normalPath(script)).parent_path();
    m_root = root.string();
    if (m_root.empty() || m_root.back() != '/') m_root += '/';
    // What happened before the load is taken first: those opens are not the load's.
    take();
    m_watcher->watchDirectory(root.string());
    std::error_code ec;
    size_t count = 1;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end && count < kMaxDirectories; it.increment(ec)) {
        if (!it->is_directory(ec)) continue;
        if (it->path().filename().string().rfind('.', 0) == 0) {
            it.disable_recursion_pending();  // hidden: version control, editors' own files
            continue;
        }
        if (m_watcher->watchDirectory(normalPath(it->path()))) ++count;
    }
    m_recorded.clear();
    m_recording = true;
}

void SaveWatch::endLoad(bool replace)
{
    take();
    m_recording = false;
    if (replace)
        m_files = std::move(m_recorded);
    else
        m_files.insert(m_recorded.begin(), m_recorded.end());
    m_recorded.clear();
}

void SaveWatch::take()
{
    m_events.opened.clear();
    m_events.changed.clear();
    m_watcher->poll(m_events);
    if (m_recording)
        for (std::string& path : m_events.opened) m_recorded.insert(normalPath(path));
    // Saves made while a load reads the files count too: the load may have read the old text.
    for (const std::string& changed : m_events.changed) {
        const std::string path = normalPath(changed);
        if (!m_files.count(path) && !m_sources.count(path)) {
            if (!m_isSource || path.compare(0, m_root.size(), m_root) != 0 || !m_isSource(path)) continue;
            m_sources.insert(path);
        }
        std::string name = path.compare(0, m_root.size(), m_root) == 0 ? path.substr(m_root.size()) : path;
        if (std::find(m_saved.begin(), m_saved.end(), name) == m_saved.end()) m_saved.push_back(std::move(name));
        m_saveSeen = true;
    }
}

std::vector<std::string> SaveWatch::poll(uint32_t nowMs)
{
    take();
    if (std::exchange(m_saveSeen, false)) {
        if (!m_firstSave) m_firstSave = nowMs;
        m_lastSave = nowMs;
    }
    if (!m_firstSave || (nowMs - m_lastSave < kQuietMs && nowMs - *m_firstSave < kMaxWaitMs)) return {};
    m_firstSave.reset();
    return std::exchange(m_saved, {});
}

std::string SaveWatch::pathOf(const std::string& name) const
{
    return name.empty() || name[0] == '/' ? name : m_root + name;
}

void SaveWatch::forgetSaves(const std::vector<std::string>& paths)
{
    take();
    for (const std::string& path : paths) {
        const std::string normal = normalPath(path);
        m_saved.erase(std::remove_if(m_saved.begin(), m_saved.end(), [&](const std::string& name) { return pathOf(name) == normal; }),
                      m_saved.end());
    }
    if (m_saved.empty()) {
        m_saveSeen = false;
        m_firstSave.reset();
    }
}
