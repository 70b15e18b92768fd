// The script file read forward only, line by line: a line holds at most 511 characters (a longer
// one goes on as the next line), a section is found by its opening tag and collected up to its
// closing tag. The reader never rewinds, so a section out of order is not found.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

constexpr int kScriptLineChars = 512;  // buffer of one line: 511 characters and the terminator

// First word of a line, or "" for a blank line.
[[nodiscard]] std::string firstWord(const std::string& line);
// The line without its line end.
[[nodiscard]] std::string withoutLineEnd(const std::string& line);

class ScriptLineReader {
public:
    explicit ScriptLineReader(FILE* file) : m_file(file) {}

    // Reads the next line; false at end of file.
    [[nodiscard]] bool next(std::string& line);
    // Searches forward for the line whose first word is `tag`; false at end of file. Every line
    // read past the first 10000 of one search is reported ("infinite loop", "searchExpression").
    [[nodiscard]] bool findTag(const std::string& tag);
    // Finds "<name>" and collects the lines up to "</name>" into `lines`. Lines whose first word
    // is `key` (null: none) are entries; when their count reaches `capacity` the limit message is
    // reported and the whole section is dropped. `lines` ends empty when the section is absent
    // or dropped. A section cut short by the end of the file keeps the lines read, with a warning
    // that names it.
    void collect(const char* name, const char* key, int capacity, const char* limitMessage,
                 std::vector<std::string>& lines);

private:
    // Counts one more line of the current search and reports it past the limit.
    void countSearchLine(int& read) const;

    FILE* m_file;
};
