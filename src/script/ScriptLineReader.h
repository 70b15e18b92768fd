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

// A word written like a tag, "<...>".
[[nodiscard]] bool isTagLike(const std::string& word);

class ScriptLineReader {
public:
    // A tag-like line that a search read and passed over: where it stands, and which search
    // (counted from 0, one per collect) passed it.
    struct PassedTag {
        int line;
        std::string word;
        int search;
    };

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
    // that names it. False when the opening tag is not found.
    bool collect(const char* name, const char* key, int capacity, const char* limitMessage,
                 std::vector<std::string>& lines);

    // The tag-like lines the searches passed over, in file order (the first kMaxPassedTags).
    [[nodiscard]] const std::vector<PassedTag>& passedTags() const { return m_passed; }
    // The search under way or last made (0 for the first collect).
    [[nodiscard]] int searchIndex() const { return m_search; }
    // Lines read so far (a line longer than 511 characters counts once).
    [[nodiscard]] int linesRead() const { return m_lineNumber - 1 + (m_midLine ? 1 : 0); }
    // A section was cut short by the end of the file (and said so).
    [[nodiscard]] bool endedInSection() const { return m_endedInSection; }

    static constexpr size_t kMaxPassedTags = 4096;

private:
    // Counts one more line of the current search and reports it past the limit.
    void countSearchLine(int& read) const;

    FILE* m_file;
    int m_lineNumber = 1;      // the line the next read starts in
    int m_lastLine = 0;        // the line the last read was in
    bool m_midLine = false;    // the last read ended inside a long line
    int m_search = -1;
    bool m_endedInSection = false;
    std::vector<PassedTag> m_passed;
};
