// The one reporting function of the system: every warning, fatal error and message goes
// through report(), which writes one stderr line and shows a message box when one is installed.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/MessageBoxSink.h"

// Writes "warning: [CAPTION] TEXT" (or error:, message:) to stderr, CAPTION without its trailing
// blanks, passes the report to the installed sink and box, and for errors records the fatal exit
// code 1 that the main loop picks up.
void report(ReportKind kind, const char* caption, const char* text);
// The stderr line of a report, without its line end: "warning: [CAPTION] TEXT".
std::string reportLine(ReportKind kind, const char* caption, const char* text);

inline void reportWarning(const char* caption, const char* text) { report(ReportKind::Warning, caption, text); }
inline void reportError(const char* caption, const char* text) { report(ReportKind::Error, caption, text); }
inline void reportMessage(const char* caption, const char* text) { report(ReportKind::Message, caption, text); }

// The failure idiom: report, then hand back the neutral result in one statement.
//   if (!pData) return reportWarning(kCaption, "load: pData NULL", false);
// In a void function `return reportWarning(kCaption, "...");` does the same.
template <typename T>
T reportWarning(const char* caption, const char* text, T neutral)
{
    report(ReportKind::Warning, caption, text);
    return neutral;
}
template <typename T>
T reportError(const char* caption, const char* text, T neutral)
{
    report(ReportKind::Error, caption, text);
    return neutral;
}
template <typename T>
T reportMessage(const char* caption, const char* text, T neutral)
{
    report(ReportKind::Message, caption, text);
    return neutral;
}

// Message boxes: shown for every report while installed (the player with dialogs on).
void setMessageBoxSink(std::shared_ptr<MessageBoxSink> sink);

// Observers (tests): called for every report with the caption and text exactly as given.
using ReportObserver = std::function<void(ReportKind, const char*, const char*)>;
void setReportObserver(ReportObserver observer);
// Whether the stderr line is written (tests may silence it; on by default).
void setReportEcho(bool on);

// Reports made so far in this process (the player's reload tells a clean load by it).
unsigned long reportCount();

// Fatal errors post exit code 1; the main loop ends the program when it sees it.
[[nodiscard]] bool fatalErrorPosted();
void clearFatalError();
