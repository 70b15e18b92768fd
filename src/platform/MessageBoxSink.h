// A modal message box, shown by the player for every report when dialogs are on.
#pragma once

enum class ReportKind { Warning, Error, Message };

class MessageBoxSink {
public:
    virtual ~MessageBoxSink() = default;
    // Blocks until the user closes the box.
    virtual void show(ReportKind kind, const char* caption, const char* text) = 0;
};
