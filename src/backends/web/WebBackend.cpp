#include "backends/web/WebBackend.h"

#include <emscripten.h>

#include "backends/web/WebParts.h"

namespace {

EM_JS(void, tl_web_report, (int kind, const char* caption, const char* text), {
    if (typeof tlPage !== "undefined" && tlPage.report) tlPage.report(kind, UTF8ToString(caption), UTF8ToString(text));
});

class WebMessageBoxSink : public MessageBoxSink {
public:
    void show(ReportKind kind, const char* caption, const char* text) override
    {
        tl_web_report(kind == ReportKind::Error ? 1 : kind == ReportKind::Warning ? 0 : 2, caption ? caption : "",
                      text ? text : "");
    }
};

} // namespace

uint32_t WebClock::tickCount() { return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now())); }

uint32_t WebClock::timeMs() { return tickCount(); }

void installWebBackend(Platform& platform)
{
    platform.clock = std::make_shared<WebClock>();
    platform.createWindow = createWebWindow;
    platform.createAudioOutput = createWebAudioOutput;
    platform.createMouse = createWebMouse;
}

std::shared_ptr<MessageBoxSink> makeWebMessageBoxSink() { return std::make_shared<WebMessageBoxSink>(); }
