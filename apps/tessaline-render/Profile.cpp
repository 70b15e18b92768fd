#include "Profile.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <string>

#include "script/RenderData.h"
#include "script/ScriptEffect.h"
#include "script/ScriptEngine.h"
#include "script/ScriptMix.h"

namespace {

constexpr size_t kMaxReserved = size_t(1) << 20;  // frames whose times are reserved up front
constexpr size_t kMaxListed = 25;                 // operations printed

double msBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// What an operation does, as the script line says it: "effect burst", "mix beatglow", ...
std::string describe(const ScriptLayerOperation& op)
{
    if (auto* c = dynamic_cast<const ScriptLayerOperationClear*>(&op)) {
        char text[32];
        std::snprintf(text, sizeof text, "clear %06" PRIX32, c->m_colour & 0xFFFFFFu);
        return text;
    }
    if (auto* w = dynamic_cast<const ScriptLayerOperationWrite*>(&op))
        return std::string("write ") + (w->m_pRenderData ? w->m_pRenderData->m_name.getName() : "(none)");
    if (auto* e = dynamic_cast<const ScriptLayerOperationEffect*>(&op))
        return std::string("effect ") + (e->m_pEffect ? e->m_pEffect->m_name.getName() : "(none)");
    if (auto* m = dynamic_cast<const ScriptLayerOperationMix*>(&op))
        return std::string("mix ") + (m->m_pMix ? m->m_pMix->m_name.getName() : "(none)");
    return "operation";
}

} // namespace

RenderProfile::RenderProfile(const ScriptEngine* engine, size_t expectedFrames)
{
    if (engine) {
        int layer = 0;
        for (const auto& manager : engine->getLayerManagers()) {
            ++layer;
            for (const ScriptLayerPosition& position : manager->m_positions)
                for (const auto& op : position.m_operations) {
                    m_slotOf.emplace(op.get(), m_slots.size());
                    Slot slot;
                    slot.layer = layer;
                    slot.position = position.m_position;
                    slot.operation = op.get();
                    m_slots.push_back(slot);
                }
        }
    }
    m_frameMs.reserve(std::min(expectedFrames, kMaxReserved));
    m_frameTime.reserve(std::min(expectedFrames, kMaxReserved));
    ScriptLayerManager::setObserver(this);
}

RenderProfile::~RenderProfile() { ScriptLayerManager::setObserver(nullptr); }

void RenderProfile::frameStarts(uint32_t timeMs)
{
    m_time = timeMs;
    m_frameStart = Clock::now();
}

void RenderProfile::frameEnded()
{
    m_frameMs.push_back(msBetween(m_frameStart, Clock::now()));
    m_frameTime.push_back(m_time);
}

void RenderProfile::operationStarts() { m_operationStart = Clock::now(); }

void RenderProfile::operationEnded(const ScriptLayerManager&, const ScriptLayerPosition&,
                                   const ScriptLayerOperation& operation)
{
    const double ms = msBetween(m_operationStart, Clock::now());
    const auto found = m_slotOf.find(&operation);
    if (found == m_slotOf.end()) return;
    Slot& slot = m_slots[found->second];
    slot.totalMs += ms;
    ++slot.runs;
    if (ms > slot.slowestMs) {
        slot.slowestMs = ms;
        slot.slowestAt = m_time;
    }
}

void RenderProfile::print(FILE* out) const
{
    const size_t n = m_frameMs.size();
    if (n == 0) {
        std::fprintf(out, "profile: no frame rendered\n");
        return;
    }
    std::vector<double> sorted = m_frameMs;
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank: the smallest time at or above the given share of the frames.
    auto percentile = [&](double p) {
        const size_t rank = static_cast<size_t>(std::max(1.0, std::ceil(p * double(n))));
        return sorted[std::min(rank, n) - 1];
    };
    const size_t slowest = static_cast<size_t>(std::max_element(m_frameMs.begin(), m_frameMs.end()) - m_frameMs.begin());
    double total = 0.0;
    for (double ms : m_frameMs) total += ms;
    std::fprintf(out, "profile: %zu frames, %.1f ms in all\n", n, total);
    std::fprintf(out, "frame time: median %.3f ms, 95th percentile %.3f ms, slowest %.3f ms (frame %zu at %" PRIu32 " ms)\n",
                 percentile(0.5), percentile(0.95), m_frameMs[slowest], slowest, m_frameTime[slowest]);

    std::vector<const Slot*> ran;
    for (const Slot& s : m_slots)
        if (s.runs > 0) ran.push_back(&s);
    std::stable_sort(ran.begin(), ran.end(), [](const Slot* a, const Slot* b) { return a->totalMs > b->totalMs; });
    if (ran.empty()) return;
    std::fprintf(out, "layer operations, most costly first (layer = screen layer from 1):\n");
    std::fprintf(out, "  %5s %8s %-17s %-24s %10s %6s %6s %9s %9s %9s\n", "layer", "position", "window", "operation",
                 "total ms", "share", "runs", "mean ms", "max ms", "max at");
    for (size_t i = 0; i < ran.size() && i < kMaxListed; ++i) {
        const Slot& s = *ran[i];
        char window[40];
        std::snprintf(window, sizeof window, "[%d, %d)", s.operation->m_start, s.operation->m_end);
        std::fprintf(out, "  %5d %8d %-17s %-24s %10.3f %5.1f%% %6ld %9.3f %9.3f %9" PRIu32 "\n", s.layer, s.position,
                     window, describe(*s.operation).c_str(), s.totalMs, total > 0.0 ? 100.0 * s.totalMs / total : 0.0,
                     s.runs, s.totalMs / double(s.runs), s.slowestMs, s.slowestAt);
    }
    if (ran.size() > kMaxListed) std::fprintf(out, "  ... and %zu more\n", ran.size() - kMaxListed);
}
