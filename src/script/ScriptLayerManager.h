// Layer managers: each screen layer's operations, ordered by position and switched by time
// windows [start, end). Every frame each position runs its first operation whose window holds
// the time: a clear, a write of render data, an effect, or a mix of another buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "image/CImage32.h"

class RenderData;
class ScriptEffectDesc;
class ScriptMixDesc;

class ScriptLayerOperation {
public:
    virtual ~ScriptLayerOperation() = default;
    virtual void execute() = 0;

    CImage32* m_pDestination = nullptr;  // set by the manager before execute
    int m_timeMs = 0;                    // likewise: the demo time
    int m_start = 0;                     // its window of demo time, ms
    int m_end = 0;

protected:
    // What the operation lacks (a buffer, a descriptor) is reported on its first run only: the
    // lack does not change from frame to frame.
    void warnOnce(const char* caption, const char* text);

private:
    bool m_reported = false;
};

class ScriptLayerOperationClear : public ScriptLayerOperation {
public:
    explicit ScriptLayerOperationClear(uint32_t colour) : m_colour(colour) {}
    void execute() override;
    uint32_t m_colour;
};

class ScriptLayerOperationWrite : public ScriptLayerOperation {
public:
    void execute() override;
    RenderData* m_pRenderData = nullptr;
};

class ScriptLayerOperationEffect : public ScriptLayerOperation {
public:
    void execute() override;
    ScriptEffectDesc* m_pEffect = nullptr;
};

class ScriptLayerOperationMix : public ScriptLayerOperation {
public:
    void execute() override;
    ScriptMixDesc* m_pMix = nullptr;
    const CImage32* m_pSource = nullptr;
};

class ScriptLayerPosition {
public:
    int m_position = 1;                                                // from 1
    std::vector<std::unique_ptr<ScriptLayerOperation>> m_operations;  // in script order
};

class ScriptLayerManager;

// Profiling hook: told around every operation that runs. Set by an app (the renderer's
// --profile); while none is set, running costs one test per operation.
class LayerOperationObserver {
public:
    virtual ~LayerOperationObserver() = default;
    virtual void operationStarts() = 0;
    virtual void operationEnded(const ScriptLayerManager& manager, const ScriptLayerPosition& position,
                                const ScriptLayerOperation& operation) = 0;
};

class ScriptLayerManager {
public:
    // The process-wide observer (null: none). The caller keeps it alive while it is set.
    static void setObserver(LayerOperationObserver* observer) { s_pObserver = observer; }

    // Accepted when there is no destination yet or the new one has the same size.
    void setDestination(CImage32* image);
    CImage32* getDestination() const { return m_pDestination; }
    // Runs, for every position in order, the first operation whose window holds the demo time.
    void run(int demoMs);

    // Only the positions that have operations, in ascending order: a position number is any
    // int of the script, so the gaps between them are never stored nor walked.
    std::vector<ScriptLayerPosition> m_positions;

private:
    CImage32* m_pDestination = nullptr;
    static inline LayerOperationObserver* s_pObserver = nullptr;
};
