// tessaline-lcx's text input: words, line-numbered reading errors and the writers and printers of
// the two file kinds.
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

class LCXController;
class LECXController;

namespace lcxtool {

std::string lower(std::string s);
// Whether `s` ends with `end` (given in lower case), letter case ignored.
bool endsWith(const std::string& s, const std::string& end);
std::string trim(const std::string& s);
std::vector<std::string> words(const std::string& line);

// Reading errors carry the input's name and line: "NAME:LINE: text", appended to `messages`.
class Input {
public:
    Input(std::string name, std::vector<std::string>& messages) : m_name(std::move(name)), m_messages(messages) {}
    bool fail(int line, const std::string& text)
    {
        m_messages.push_back(m_name + ":" + std::to_string(line) + ": " + text);
        m_failed = true;
        return false;
    }
    bool failed() const { return m_failed; }

    bool number(int line, const std::string& word, float& out)
    {
        char* end = nullptr;
        errno = 0;
        const float v = std::strtof(word.c_str(), &end);
        if (word.empty() || *end || errno == ERANGE || !std::isfinite(v)) return fail(line, "not a number: " + word);
        out = v;
        return true;
    }
    bool integer(int line, const std::string& word, int& out)
    {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(word.c_str(), &end, 10);
        if (word.empty() || *end || errno == ERANGE || v < -2147483647L - 1 || v > 2147483647L)
            return fail(line, "not an integer: " + word);
        out = int(v);
        return true;
    }
    bool onOff(int line, const std::string& word, bool& out)
    {
        const std::string w = lower(word);
        if (w == "on" || w == "1" || w == "yes") out = true;
        else if (w == "off" || w == "0" || w == "no") out = false;
        else return fail(line, "expected on or off: " + word);
        return true;
    }
    // A word from `names` (its index) or an integer from 0 to names.size() - 1.
    bool choice(int line, const std::string& word, const std::vector<const char*>& names, int& out)
    {
        const std::string w = lower(word);
        for (size_t i = 0; i < names.size(); ++i)
            if (w == names[i]) {
                out = int(i);
                return true;
            }
        int v = -1;
        char* end = nullptr;
        v = int(std::strtol(word.c_str(), &end, 10));
        if (!word.empty() && !*end && v >= 0 && v < int(names.size())) {
            out = v;
            return true;
        }
        std::string list;
        for (const char* n : names) list += std::string(list.empty() ? "" : ", ") + n;
        return fail(line, "unknown word " + word + " (expected one of " + list + ")");
    }

private:
    std::string m_name;
    std::vector<std::string>& m_messages;
    bool m_failed = false;
};

// The lines of a text file without comments, numbered from 1 ("cannot read PATH" when it cannot
// be read).
bool readLines(const std::string& path, std::vector<std::pair<int, std::string>>& lines, std::vector<std::string>& messages);

// TEXT to a .lcx or .lecx file: the exit status (0 written, 1 an input error); each error is
// appended to `messages` as "TEXT:LINE: message".
int writeLcx(const std::string& textPath, const std::string& outPath, std::vector<std::string>& messages);
int writeLecx(const std::string& textPath, const std::string& outPath, std::vector<std::string>& messages);
// A controller as text that the writers read back.
void printLcx(const LCXController& c);
void printLecx(const LECXController& c);

} // namespace lcxtool
