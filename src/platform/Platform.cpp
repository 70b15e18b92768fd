#include "platform/Platform.h"

namespace {
Platform makeDefault()
{
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    return p;
}
Platform g_platform = makeDefault();
} // namespace

Platform& platform() { return g_platform; }

Platform installPlatform(Platform p)
{
    if (!p.clock) p.clock = std::make_shared<SystemClock>();
    Platform previous = std::move(g_platform);
    g_platform = std::move(p);
    return previous;
}
