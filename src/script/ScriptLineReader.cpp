#include "script/ScriptLineReader.h"

#include "script/ScriptEntryLine.h"

namespace {
constexpr int kSearchLimit = 10000;  // lines a search reads before it complains
} // namespace

std::string firstWord(const std::string& line)
{
    char word[kScriptLineChars] = "";
    if (std::sscanf(line.c_str(), "%511s", word) != 1) return std::string();
    return word;
}

std::string withoutLineEnd(const std::string& line)
{
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

bool isTagLike(const std::string& word) { return word.size() >= 3 && word.front() == '<' && word.back() == '>'; }

bool ScriptLineReader::next(std::string& line)
{
    char buffer[kScriptLineChars];
    if (!std::fgets(buffer, sizeof buffer, m_file)) return false;
    line = buffer;
    // Line numbers are the file's: the rest of a long line is read in the same line.
    m_lastLine = m_lineNumber;
    m_midLine = line.back() != '\n';
    if (!m_midLine) ++m_lineNumber;
    return true;
}

void ScriptLineReader::countSearchLine(int& read) const
{
    if (++read > kSearchLimit) reportWarning("infinite loop", "searchExpression");
}

bool ScriptLineReader::findTag(const std::string& tag)
{
    std::string line;
    int read = 0;
    while (next(line)) {
        countSearchLine(read);
        const std::string word = firstWord(line);
        if (word == tag) return true;
        if (isTagLike(word) && m_passed.size() < kMaxPassedTags) m_passed.push_back({m_lastLine, word, m_search});
    }
    return false;
}

bool ScriptLineReader::collect(const char* name, const char* key, int capacity, const char* limitMessage,
                               std::vector<std::string>& lines)
{
    lines.clear();
    const std::string open = std::string("<") + name + ">";
    const std::string close = std::string("</") + name + ">";
    ++m_search;
    if (!findTag(open)) return false;
    std::string line;
    int read = 0;
    int entries = 0;
    bool dropped = false;
    while (next(line)) {
        countSearchLine(read);
        const std::string word = firstWord(line);
        if (word == close) return true;
        if (dropped) continue;
        lines.push_back(line);
        if (key && word == key && ++entries >= capacity) {
            warnScript(limitMessage);
            dropped = true;
            lines.clear();
        }
    }
    // The end of the file inside the section: what was read stays, and the author learns why the
    // sections after it are missing.
    warnScript((open + " not closed: end of file before " + close).c_str());
    m_endedInSection = true;
    return true;
}
