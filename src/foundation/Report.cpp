#include "foundation/Report.h"

#include <cstdio>
#include <cstring>

namespace {
std::shared_ptr<MessageBoxSink> g_box;
ReportObserver g_observer;
bool g_echo = true;
bool g_fatal = false;
unsigned long g_count = 0;

const char* kindWord(ReportKind kind)
{
    switch (kind) {
    case ReportKind::Warning: return "warning";
    case ReportKind::Error: return "error";
    case ReportKind::Message: return "message";
    }
    return "message";
}
} // namespace

std::string reportLine(ReportKind kind, const char* caption, const char* text)
{
    if (!caption) caption = "";
    size_t n = std::strlen(caption);
    while (n > 0 && (caption[n - 1] == ' ' || caption[n - 1] == '\t')) --n;
    std::string line = kindWord(kind);
    line.append(": [").append(caption, n).append("] ").append(text ? text : "");
    return line;
}

void report(ReportKind kind, const char* caption, const char* text)
{
    if (!caption) caption = "";
    if (!text) text = "";
    ++g_count;
    if (kind == ReportKind::Error) g_fatal = true;
    if (g_echo) {
        std::fprintf(stderr, "%s\n", reportLine(kind, caption, text).c_str());
        std::fflush(stderr);
    }
    if (g_observer) g_observer(kind, caption, text);
    if (g_box) g_box->show(kind, caption, text);
}

void setMessageBoxSink(std::shared_ptr<MessageBoxSink> sink) { g_box = std::move(sink); }
void setReportObserver(ReportObserver observer) { g_observer = std::move(observer); }
void setReportEcho(bool on) { g_echo = on; }
unsigned long reportCount() { return g_count; }
bool fatalErrorPosted() { return g_fatal; }
void clearFatalError() { g_fatal = false; }
