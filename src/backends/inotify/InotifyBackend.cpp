#include "backends/inotify/InotifyBackend.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "platform/Platform.h"

namespace {

// Files opened; written and closed, moved in, removed; the watch applies to directories only.
constexpr uint32_t kMask = IN_OPEN | IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_ONLYDIR;

class InotifyWatcher : public FileWatcher {
public:
    explicit InotifyWatcher(int fd) : m_fd(fd) {}
    ~InotifyWatcher() override { ::close(m_fd); }
    InotifyWatcher(const InotifyWatcher&) = delete;
    InotifyWatcher& operator=(const InotifyWatcher&) = delete;

    bool watchDirectory(const std::string& directory) override
    {
        const int wd = inotify_add_watch(m_fd, directory.c_str(), kMask);
        if (wd < 0) return false;
        std::string dir = directory;
        if (dir.empty() || dir.back() != '/') dir += '/';
        m_directories[wd] = std::move(dir);
        return true;
    }

    void poll(FileEvents& events) override
    {
        // Events are read whole: the buffer holds at least one of the largest.
        alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && errno == EINTR) continue;
                return;  // EAGAIN: nothing more waits
            }
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
                inotify_event e;
                std::memcpy(&e, buffer + at, sizeof e);
                const char* name = buffer + at + sizeof(inotify_event);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e.len);
                if (at > got) break;
                if (e.mask & IN_IGNORED) m_directories.erase(e.wd);
                if (e.len == 0 || (e.mask & IN_ISDIR) || name[0] == '\0') continue;
                const auto dir = m_directories.find(e.wd);
                if (dir == m_directories.end()) continue;
                std::string path = dir->second + std::string(name, strnlen(name, e.len));
                if (e.mask & IN_OPEN)
                    events.opened.push_back(std::move(path));
                else if (e.mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE))
                    events.changed.push_back(std::move(path));
            }
        }
    }

private:
    int m_fd;
    std::unordered_map<int, std::string> m_directories;  // watch descriptor -> directory with '/'
};

std::unique_ptr<FileWatcher> createInotifyWatcher()
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<InotifyWatcher>(fd);
}

} // namespace

void installInotifyBackend(Platform& platform) { platform.createFileWatcher = createInotifyWatcher; }
