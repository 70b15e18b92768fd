// --profile: the time of every frame and of every layer operation, and the table printed after
// the run (which position of which layer costs what).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "script/ScriptLayerManager.h"

class ScriptEngine;

class RenderProfile : private LayerOperationObserver {
public:
    // Lists the operations of `engine` (null: none) and starts observing the layer managers.
    RenderProfile(const ScriptEngine* engine, size_t expectedFrames);
    ~RenderProfile() override;
    RenderProfile(const RenderProfile&) = delete;
    RenderProfile& operator=(const RenderProfile&) = delete;

    void frameStarts(uint32_t timeMs);
    void frameEnded();
    // The summary: frame times (median, 95th percentile, slowest with its time), then the
    // operations from the most costly down.
    void print(FILE* out) const;

private:
    using Clock = std::chrono::steady_clock;
    struct Slot {
        int layer = 0;     // screen layer, from 1
        int position = 0;  // position number of the script
        const ScriptLayerOperation* operation = nullptr;
        double totalMs = 0.0;
        double slowestMs = 0.0;
        uint32_t slowestAt = 0;
        long runs = 0;
    };

    void operationStarts() override;
    void operationEnded(const ScriptLayerManager& manager, const ScriptLayerPosition& position,
                        const ScriptLayerOperation& operation) override;

    std::vector<Slot> m_slots;  // in layer and position order
    std::unordered_map<const ScriptLayerOperation*, size_t> m_slotOf;
    std::vector<double> m_frameMs;
    std::vector<uint32_t> m_frameTime;
    Clock::time_point m_frameStart;
    Clock::time_point m_operationStart;
    uint32_t m_time = 0;
};
