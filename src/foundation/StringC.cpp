#include "foundation/StringC.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <new>
#include <set>
#include <utility>
#include <string>

#include "foundation/FileTools.h"
#include "foundation/Report.h"

namespace {
const char* const kCaption = "StringC";

void warn(const char* text) { reportWarning(kCaption, text); }

std::unique_ptr<char[]> allocate(size_t length) { return std::unique_ptr<char[]>(new (std::nothrow) char[length + 1]); }

bool isSeparator(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\n'; }
bool isPathSeparator(char c) { return c == '/' || c == '\\'; }

// Offsets of the parts of a path, as the platform's _splitpath cuts them: the directory runs
// to the last separator (inclusive), the extension from the last dot of the file part.
struct PathParts {
    size_t fileStart;
    size_t extStart;
};

PathParts cutPath(const char* p)
{
    const size_t n = std::strlen(p);
    size_t fileStart = 0;
    for (size_t i = 0; i < n; ++i)
        if (isPathSeparator(p[i]) || (i == 1 && p[i] == ':')) fileStart = i + 1;
    size_t extStart = n;
    for (size_t i = n; i > fileStart; --i)
        if (p[i - 1] == '.') {
            extStart = i - 1;
            break;
        }
    return {fileStart, extStart};
}

// A search enters at most this many directories: a name whose directory part is the file
// system's root ("\\data\\x.tga" from data authored elsewhere) must not walk the whole disk.
constexpr size_t kMaxSearchDirectories = 4096;

// One level of findFileInTree: the file in `dir` itself, then each subdirectory depth first in
// name order. Every real directory is entered once (device and inode), so directory links
// that lead back to an ancestor cannot make the search loop.
bool searchTree(const StringC& dir, const StringC& name, std::set<std::pair<dev_t, ino_t>>& visited, StringC& found)
{
    if (visited.size() >= kMaxSearchDirectories) return false;
    struct stat st;
    const std::string real = FileTools::resolvePath(dir.getName());
    if (::stat(real.empty() ? "." : real.c_str(), &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second)
        return false;
    const StringC full = dir + name;
    if (FileTools::exists(full.getName()) && !FileTools::isDirectory(full.getName())) {
        found = full;
        return true;
    }
    for (const FileTools::Entry& e : FileTools::listDirectory(dir.getName()))
        if (e.isDirectory && searchTree(dir + StringC(e.name.c_str()) + "/", name, visited, found)) return true;
    return false;
}
} // namespace

StringC::StringC() = default;

StringC::StringC(const char* text) { *this = text; }

StringC::StringC(const StringC& other) { *this = other; }

StringC::~StringC() = default;

StringC& StringC::operator=(const char* text)
{
    if (!text) {
        warn("=: name NULL");
        return *this;
    }
    if (text == m_pName.get()) return *this;
    const size_t n = std::strlen(text);
    auto buffer = allocate(n);
    if (!buffer) {
        m_pName.reset();
        warn("= (char): can t allocate mem");
        return *this;
    }
    std::memcpy(buffer.get(), text, n + 1);
    m_pName = std::move(buffer);
    return *this;
}

StringC& StringC::operator=(const StringC& other)
{
    if (&other == this) return *this;
    if (!other.m_pName) {
        warn("making NULL copy");
        return *this;
    }
    const size_t n = std::strlen(other.m_pName.get());
    auto buffer = allocate(n);
    if (!buffer) {
        m_pName.reset();
        warn("= (StringC): can t allocate mem");
        return *this;
    }
    std::memcpy(buffer.get(), other.m_pName.get(), n + 1);
    m_pName = std::move(buffer);
    m_caseSensitive = other.m_caseSensitive;
    return *this;
}

int StringC::length() const { return m_pName ? static_cast<int>(std::strlen(m_pName.get())) : 0; }

StringC operator+(const StringC& a, const StringC& b)
{
    StringC result;
    if (!a.m_pName) {
        warn("+: src1 name NULL");
        return result;
    }
    if (!b.m_pName) {
        warn("+: src2 name NULL");
        return result;
    }
    const size_t na = std::strlen(a.m_pName.get());
    const size_t nb = std::strlen(b.m_pName.get());
    auto buffer = allocate(na + nb);
    if (!buffer) {
        warn("= (char): can t allocate mem");
        return result;
    }
    std::memcpy(buffer.get(), a.m_pName.get(), na);
    std::memcpy(buffer.get() + na, b.m_pName.get(), nb + 1);
    result.m_pName = std::move(buffer);
    return result;
}

StringC& StringC::operator+=(const StringC& other)
{
    *this = *this + other;
    return *this;
}

StringC& StringC::operator+=(const char* text) { return *this += StringC(text); }

bool StringC::operator==(const StringC& other) const
{
    if (!m_pName) return reportWarning(kCaption, "==: src1 name NULL", false);
    if (!other.m_pName) return reportWarning(kCaption, "==: src2 name NULL", false);
    if (m_caseSensitive) return std::strcmp(m_pName.get(), other.m_pName.get()) == 0;
    return compareNoCase(m_pName.get(), other.m_pName.get()) == 0;
}

bool StringC::operator==(const char* text) const { return *this == StringC(text); }

bool StringC::isFoundIn(const StringC& other) const
{
    if (!m_pName || !other.m_pName) return false;
    if (m_caseSensitive) return std::strstr(other.m_pName.get(), m_pName.get()) != nullptr;
    std::string needle(m_pName.get()), hay(other.m_pName.get());
    for (char& c : needle) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : hay) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hay.find(needle) != std::string::npos;
}

void StringC::toLowerCase()
{
    if (!m_pName) return;
    for (char* p = m_pName.get(); *p; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
}

void StringC::showMessage() const { reportMessage("StringC:", m_pName ? m_pName.get() : ""); }

int StringC::tokenize(StringC* tokens, int maxCount) const
{
    if (!m_pName || !tokens) return 0;
    const char* p = m_pName.get();
    int count = 0;
    while (count < maxCount) {
        while (*p && isSeparator(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && !isSeparator(*p)) ++p;
        tokens[count++] = std::string(start, p).c_str();
    }
    return count;
}

StringC StringC::getToken(int index) const
{
    if (index < 0) return StringC("NULL");
    // Walk to the token directly rather than filling an array of index + 1 strings.
    StringC token;
    if (!m_pName) return token;
    const char* p = m_pName.get();
    for (int i = 0;; ++i) {
        while (*p && isSeparator(*p)) ++p;
        if (!*p) return token;
        const char* start = p;
        while (*p && !isSeparator(*p)) ++p;
        if (i == index) {
            token = std::string(start, p).c_str();
            return token;
        }
    }
}

void StringC::splitPath(StringC& directory, StringC& file) const
{
    if (!m_pName) {
        directory = "";
        file = "";
        return;
    }
    const char* p = m_pName.get();
    const PathParts parts = cutPath(p);
    directory = std::string(p, parts.fileStart).c_str();
    file = p + parts.fileStart;
}

void StringC::keepFileTitle()
{
    if (!m_pName) return;
    const char* p = m_pName.get();
    const PathParts parts = cutPath(p);
    *this = std::string(p + parts.fileStart, p + parts.extStart).c_str();
}

bool StringC::getCurrentDirectory()
{
    StringC dir;
    if (!FileTools::currentDirectoryText(dir)) return reportWarning(kCaption, "can t getCurrentDirectory !", false);
    *this = dir;
    return true;
}

bool StringC::findFileInTree()
{
    if (!m_pName) return false;
    StringC dir, name;
    splitPath(dir, name);
    if (name.length() == 0) return false;  // no file to look for: not found, without a search
    if (dir.length() == 0) {
        if (!dir.getCurrentDirectory()) return false;
    }
    std::set<std::pair<dev_t, ino_t>> visited;
    if (searchTree(dir, name, visited, *this)) return true;
    if (visited.size() >= kMaxSearchDirectories) {
        const StringC text = StringC("findFileInTree: search stopped after 4096 directories: ") + *this;
        reportWarning(kCaption, text.getName());
    }
    return false;
}
