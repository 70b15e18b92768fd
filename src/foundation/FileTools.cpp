#include "foundation/FileTools.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>

#include "foundation/Report.h"

namespace {
const char* const kCaption = "FileTools:";

bool statPath(const std::string& path, struct stat& st) { return !path.empty() && ::stat(path.c_str(), &st) == 0; }

bool endsWithExtension(const std::string& name, const char* extension)
{
    const size_t n = std::strlen(extension);
    if (name.size() < n + 1) return false;
    return name[name.size() - n - 1] == '.' && compareNoCase(name.c_str() + name.size() - n, extension) == 0;
}

bool containsNoCase(const std::string& hay, const char* needle)
{
    std::string h(hay), nd(needle);
    for (char& c : h) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : nd) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return h.find(nd) != std::string::npos;
}

// Regular files of a directory named "*." + extension, in case-insensitive name order.
std::vector<std::string> matchingFiles(const char* directory, const char* extension)
{
    std::vector<std::string> names;
    if (!extension) return names;
    for (const FileTools::Entry& e : FileTools::listDirectory(directory))
        if (!e.isDirectory && endsWithExtension(e.name, extension)) names.push_back(e.name);
    return names;
}
} // namespace

int compareNoCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        const int ca = std::tolower(static_cast<unsigned char>(*a));
        const int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}

bool FileTools::currentDirectoryText(StringC& out)
{
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer)) return false;
    std::string dir(buffer);
    if (dir.empty() || dir.back() != '/') dir += '/';
    out = dir.c_str();
    return true;
}

bool FileTools::getCurrentDirectory(StringC& out)
{
    if (!currentDirectoryText(out)) return reportMessage(kCaption, "Can't getCurrentDirectory !", false);
    return true;
}

bool FileTools::setCurrentDirectory(const StringC& directory)
{
    if (directory.isNull() || ::chdir(resolvePath(directory.getName()).c_str()) != 0)
        return reportMessage(kCaption, "Can't setCurrentDirectory !", false);
    return true;
}

bool FileTools::findFirstFile(StringC& out, const StringC& extension)
{
    const std::vector<std::string> names = matchingFiles(".", extension.getName());
    if (names.empty()) return false;
    out = names.front().c_str();
    return true;
}

int FileTools::countFiles(const StringC& directory, const StringC& extension)
{
    if (directory.isNull() || extension.isNull()) return 0;
    int count = 0;
    for (const std::string& name : matchingFiles(directory.getName(), extension.getName()))
        if (containsNoCase(name, extension.getName())) ++count;
    return count;
}

StringC FileTools::getFileName(const StringC& directory, const StringC& extension, int index)
{
    if (directory.isNull() || extension.isNull()) return StringC("NULL");
    int position = 0;
    for (const std::string& name : matchingFiles(directory.getName(), extension.getName())) {
        if (!containsNoCase(name, extension.getName())) continue;
        if (position++ == index) return directory + StringC(name.c_str());
    }
    return StringC("NULL");
}

std::vector<FileTools::Entry> FileTools::listDirectory(const char* directory)
{
    std::vector<Entry> entries;
    if (!directory) return entries;
    std::string dir = resolvePath(*directory ? directory : ".");
    DIR* d = ::opendir(dir.c_str());
    if (!d) return entries;
    if (dir.back() != '/') dir += '/';
    while (const dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        struct stat st;
        const bool isDir = statPath(dir + e->d_name, st) && S_ISDIR(st.st_mode);
        entries.push_back({e->d_name, isDir});
    }
    ::closedir(d);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int c = compareNoCase(a.name.c_str(), b.name.c_str());
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return entries;
}

std::string FileTools::resolvePath(const char* path)
{
    if (!path) return std::string();
    std::string p(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    struct stat st;
    if (p.empty() || statPath(p, st)) return p;

    // Walk the parts; where one does not exist as written, take the first entry of its
    // directory (case-insensitive order) whose name matches ignoring case.
    std::string resolved = p[0] == '/' ? "/" : "";
    size_t i = resolved.size();
    while (i < p.size()) {
        size_t j = p.find('/', i);
        const bool last = j == std::string::npos;
        if (last) j = p.size();
        const std::string part = p.substr(i, j - i);
        i = j + 1;
        if (part.empty()) continue;
        std::string candidate = resolved + part;
        if (part != "." && part != ".." && !statPath(candidate, st)) {
            const std::string dir = resolved.empty() ? "." : resolved;
            bool found = false;
            for (const Entry& e : listDirectory(dir.c_str())) {
                if (compareNoCase(e.name.c_str(), part.c_str()) == 0) {
                    candidate = resolved + e.name;
                    found = true;
                    break;
                }
            }
            if (!found) return p;  // nothing matches: the caller fails on the path as written
        }
        resolved = candidate;
        if (!last) resolved += '/';
    }
    return resolved;
}

bool FileTools::exists(const char* path)
{
    struct stat st;
    return statPath(resolvePath(path), st);
}

bool FileTools::isDirectory(const char* path)
{
    struct stat st;
    return statPath(resolvePath(path), st) && S_ISDIR(st.st_mode);
}

std::string FileTools::resolveWritePath(const char* path)
{
    if (!path) return std::string();
    if (exists(path)) return resolvePath(path);
    // Resolve only the directory part; the file itself is new.
    std::string p(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : resolvePath(p.substr(0, slash + 1).c_str()) + p.substr(slash + 1);
}

std::string FileTools::resolveInsideTree(const char* root, const char* name)
{
    namespace fs = std::filesystem;
    if (!root || !*root || !name || !*name) return std::string();
    std::error_code ec;
    const fs::path base = fs::canonical(resolvePath(root), ec);
    if (ec || !fs::is_directory(base, ec)) return std::string();
    std::string p(name);
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p[0] != '/') p = base.string() + '/' + p;
    // Links are followed as far as the path exists; what is left is folded as written.
    const fs::path target = fs::weakly_canonical(resolveWritePath(p.c_str()), ec);
    if (ec) return std::string();
    // Both are absolute and folded, so a path below base is one whose relative form neither
    // climbs out nor is base itself.
    const fs::path relative = target.lexically_relative(base);
    if (relative.empty() || relative == "." || *relative.begin() == "..") return std::string();
    return target.string();
}

std::string FileTools::resolveTargetInsideTree(const char* root, const char* name)
{
    namespace fs = std::filesystem;
    // What the name leads to, links followed, lies below root (this also checks both arguments)...
    if (resolveInsideTree(root, name).empty()) return std::string();
    // ...and so does the folder where the name itself is.
    std::error_code ec;
    const fs::path base = fs::canonical(resolvePath(root), ec);
    if (ec) return std::string();
    std::string p(name);
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p[0] != '/') p = base.string() + '/' + p;
    const fs::path written(resolveWritePath(p.c_str()));
    const fs::path leaf = written.filename();
    if (leaf.empty() || leaf == "." || leaf == "..") return std::string();
    const fs::path folder = fs::weakly_canonical(written.parent_path(), ec);
    if (ec) return std::string();
    const fs::path relative = folder.lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..") return std::string();
    return (folder / leaf).string();
}

std::string FileTools::temporaryPathBeside(const std::string& finalPath)
{
    const std::filesystem::path p(finalPath);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%ld.part", static_cast<long>(::getpid()));
    std::filesystem::path name(".");
    name += p.filename();
    name += suffix;
    return (p.parent_path() / name).string();
}

bool FileTools::clearForWriting(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::remove(path, ec);
    return !fs::exists(fs::symlink_status(path, ec)) && resolvePath(path.c_str()) == path;
}

bool FileTools::hasExtension(const char* path, const char* extension)
{
    return path && extension && endsWithExtension(path, extension);
}

FILE* FileTools::openFile(const char* path, const char* mode)
{
    if (!path || !mode) return nullptr;
    const bool writing = std::strpbrk(mode, "wa") != nullptr;
    const std::string target = writing ? resolveWritePath(path) : resolvePath(path);
    struct stat st;
    if (!writing && statPath(target, st) && S_ISDIR(st.st_mode)) return nullptr;
    // Text mode and binary mode are the same here; drop the 't' the original accepted.
    std::string m;
    for (const char* c = mode; *c; ++c)
        if (*c != 't') m += *c;
    return std::fopen(target.c_str(), m.c_str());
}

bool FileTools::readFile(const char* path, std::vector<unsigned char>& data, size_t maxBytes)
{
    data.clear();
    FILE* f = openFile(path, "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && static_cast<unsigned long>(size) <= maxBytes && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        data.resize(static_cast<size_t>(size));
        ok = data.empty() || std::fread(data.data(), 1, data.size(), f) == data.size();
    }
    std::fclose(f);
    if (!ok) data.clear();
    return ok;
}
