// StringC: the system's owning string with a per-string case-sensitivity flag, tokenizing and
// path helpers. Misuse never throws: it warns (caption "StringC") and leaves a defined result.
#pragma once

#include <memory>

class StringC {
public:
    StringC();
    StringC(const char* text);  // NOLINT: implicit, as names are built from literals everywhere
    StringC(const StringC& other);
    ~StringC();

    StringC& operator=(const char* text);
    StringC& operator=(const StringC& other);

    // The characters, or null when the string has no text (which differs from "").
    const char* getName() const { return m_pName.get(); }
    bool isNull() const { return !m_pName; }
    int length() const;

    bool isCaseSensitive() const { return m_caseSensitive; }
    void setCaseSensitive(bool on) { m_caseSensitive = on; }

    friend StringC operator+(const StringC& a, const StringC& b);
    StringC& operator+=(const StringC& other);
    StringC& operator+=(const char* text);

    // Compares by the left operand's case flag; a null operand warns and gives false.
    bool operator==(const StringC& other) const;
    bool operator==(const char* text) const;

    // True when this string occurs in `other` (ignoring case when this string's flag is clear).
    bool isFoundIn(const StringC& other) const;
    void toLowerCase();
    void showMessage() const;

    // Splits at blank, comma, tab and newline into at most maxCount tokens; returns the count.
    int tokenize(StringC* tokens, int maxCount) const;
    // Token `index`; "NULL" for a negative index, a null string when there are fewer tokens.
    StringC getToken(int index) const;

    // Directory (with its trailing separator, "" for a bare name) and file name with extension.
    void splitPath(StringC& directory, StringC& file) const;
    // Keeps only the file name, without directory or extension.
    void keepFileTitle();
    // The current directory followed by '/'; false and a warning when it cannot be read.
    [[nodiscard]] bool getCurrentDirectory();
    // Finds this path's file in its directory or any subdirectory (depth first, the directory
    // itself first); on success the text becomes the path found.
    bool findFileInTree();  // a miss leaves the text as it was, which callers may keep

private:
    std::unique_ptr<char[]> m_pName;
    bool m_caseSensitive = true;
};
