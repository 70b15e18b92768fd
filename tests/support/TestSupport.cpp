// The test helpers of TestSupport.h: the capturing report sink and the scratch directory.
#include "support/TestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

ReportCapture::ReportCapture()
{
    clearFatalError();
    setReportEcho(false);
    setReportObserver([this](ReportKind kind, const char* caption, const char* text) {
        m_reports.push_back({kind, caption, text});
    });
}

ReportCapture::~ReportCapture()
{
    setReportObserver(nullptr);
    setReportEcho(true);
    clearFatalError();
}

bool ReportCapture::has(const std::string& caption, const std::string& text) const
{
    for (const CapturedReport& r : m_reports)
        if (r.caption == caption && r.text == text) return true;
    return false;
}

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaline-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    m_path = pattern + "/";
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string ScratchDir::write(const std::string& relative, const std::string& content) const
{
    const std::filesystem::path full = std::filesystem::path(m_path) / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << content;
    return full.string();
}

void ScratchDir::makeDir(const std::string& relative) const
{
    std::filesystem::create_directories(std::filesystem::path(m_path) / relative);
}

CurrentDirGuard::CurrentDirGuard(const std::string& dir)
{
    m_previous = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
}

CurrentDirGuard::~CurrentDirGuard()
{
    std::error_code ec;
    std::filesystem::current_path(m_previous, ec);
}
