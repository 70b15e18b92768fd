// Test helpers: a capturing report sink and a scratch directory.
#pragma once

#include <string>
#include <vector>

#include "foundation/Report.h"

struct CapturedReport {
    ReportKind kind;
    std::string caption;
    std::string text;
};

// Captures every report while alive (and silences the stderr line); restores on destruction.
class ReportCapture {
public:
    ReportCapture();
    ~ReportCapture();
    const std::vector<CapturedReport>& reports() const { return m_reports; }
    // Whether a report with exactly this caption and text was made.
    bool has(const std::string& caption, const std::string& text) const;
    size_t count() const { return m_reports.size(); }
    void clear() { m_reports.clear(); }

private:
    std::vector<CapturedReport> m_reports;
};

// A fresh empty directory under the system's temporary directory, removed with its contents on
// destruction. path() ends with '/'.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return m_path; }
    // Writes a file (creating subdirectories) and returns its full path.
    std::string write(const std::string& relative, const std::string& content) const;
    void makeDir(const std::string& relative) const;

private:
    std::string m_path;
};

// Changes the current directory for a scope.
class CurrentDirGuard {
public:
    explicit CurrentDirGuard(const std::string& dir);
    ~CurrentDirGuard();

private:
    std::string m_previous;
};
