// The LAYER_MANAGER section: its lines are kept while the section is read, then each screen layer
// gets its manager, with the operations of its lines at their positions. The type letter in word
// 6 picks the operation from a table; an unknown letter is the general path.
#include <algorithm>
#include <cstdio>

#include "script/ScriptEngine.h"
#include "script/ScriptEntryLine.h"

namespace {

using Words = ScriptWords;

using OperationReader = std::unique_ptr<ScriptLayerOperation> (*)(const ScriptEngine& engine, const std::string& line);

std::unique_ptr<ScriptLayerOperation> readClear(const ScriptEngine&, const std::string& line)
{
    Words w;
    int position = 0, start = 0, end = 0, r = 0, g = 0, b = 0;
    std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s %d %d %d", w.w[0], w.w[1], &position, &start, &end, w.w[5],
                &r, &g, &b);
    return std::make_unique<ScriptLayerOperationClear>(uint32_t(r) * 65536u + uint32_t(g) * 256u + uint32_t(b));
}

std::unique_ptr<ScriptLayerOperation> readWrite(const ScriptEngine& engine, const std::string& line)
{
    Words w;
    int position = 0, start = 0, end = 0;
    std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s %511s", w.w[0], w.w[1], &position, &start, &end, w.w[5],
                w.w[6]);
    auto op = std::make_unique<ScriptLayerOperationWrite>();
    op->m_pRenderData = engine.findRenderData(w[6]);
    return op;
}

std::unique_ptr<ScriptLayerOperation> readMixOperation(const ScriptEngine& engine, const std::string& line)
{
    Words w;
    int position = 0, start = 0, end = 0;
    std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s %511s %511s", w.w[0], w.w[1], &position, &start, &end,
                w.w[5], w.w[6], w.w[7]);
    auto op = std::make_unique<ScriptLayerOperationMix>();
    op->m_pMix = engine.findMixDesc(w[6]);
    op->m_pSource = engine.findImageBuffer(w[7]);
    return op;
}

std::unique_ptr<ScriptLayerOperation> readEffectOperation(const ScriptEngine& engine, const std::string& line)
{
    Words w;
    int position = 0, start = 0, end = 0;
    std::sscanf(line.c_str(), "%511s %511s %d %d %d %511s %511s", w.w[0], w.w[1], &position, &start, &end, w.w[5],
                w.w[6]);
    auto op = std::make_unique<ScriptLayerOperationEffect>();
    op->m_pEffect = engine.findEffectDesc(w[6]);
    return op;
}

const std::pair<const char*, OperationReader> kOperationKinds[] = {
    {"c", readClear},
    {"w", readWrite},
    {"m", readMixOperation},
    {"e", readEffectOperation},
};

} // namespace

void ScriptEngine::readLayerOperation(const std::string& line) { m_operationLines.push_back(line); }

void ScriptEngine::buildLayerManagers()
{
    // The lines are read once: layer name and position of each.
    struct Line {
        std::string layer;
        int position = 0;
        const std::string* text = nullptr;
    };
    std::vector<Line> lines;
    lines.reserve(m_operationLines.size());
    for (const std::string& text : m_operationLines) {
        Words w;
        Line l;
        std::sscanf(text.c_str(), "%511s %511s %d", w.w[0], w.w[1], &l.position);
        l.layer = w.w[1];
        l.text = &text;
        lines.push_back(std::move(l));
    }

    if (!lines.empty())
        for (const auto& layer : m_screenLayers) {
            auto manager = std::make_unique<ScriptLayerManager>();
            manager->setDestination(layer->getBuffer());
            // Lines below position 1 are reported (once per screen layer) and skipped; the
            // positions of this layer's lines, ascending, each once.
            std::vector<int> positions;
            for (const Line& l : lines) {
                if (l.position < 1) {
                    warnScript(withoutLineEnd(*l.text).c_str());
                    warnScript("position must be >= 1");
                } else if (layer->m_name == l.layer.c_str()) {
                    positions.push_back(l.position);
                }
            }
            std::sort(positions.begin(), positions.end());
            positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
            manager->m_positions.resize(positions.size());
            for (size_t i = 0; i < positions.size(); ++i) manager->m_positions[i].m_position = positions[i];

            // The operations, in file order within each position.
            for (const Line& l : lines) {
                if (l.position < 1 || !(layer->m_name == l.layer.c_str())) continue;
                Words w;
                int position = 0, start = 0, end = 0;
                std::sscanf(l.text->c_str(), "%511s %511s %d %d %d %511s", w.w[0], w.w[1], &position, &start, &end,
                            w.w[5]);
                std::unique_ptr<ScriptLayerOperation> op;
                if (const auto* kind = findKind(kOperationKinds, w.w[5])) {
                    op = kind->second(*this, *l.text);
                } else {
                    warnScript(withoutLineEnd(*l.text).c_str());
                    warnScript("can t find operation");
                    op = std::make_unique<ScriptLayerOperationClear>(0xFF00FFu);
                }
                op->m_start = start;
                op->m_end = end;
                const size_t index = size_t(std::lower_bound(positions.begin(), positions.end(), l.position) -
                                            positions.begin());
                manager->m_positions[index].m_operations.push_back(std::move(op));
            }
            m_layerManagers.push_back(std::move(manager));
        }
    m_operationLines.clear();
    m_operationLines.shrink_to_fit();
}
