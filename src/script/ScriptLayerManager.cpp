#include "script/ScriptLayerManager.h"

#include <algorithm>
#include <climits>

#include "foundation/Report.h"
#include "script/RenderData.h"
#include "script/ScriptEffect.h"
#include "script/ScriptMix.h"
#include "script/ScriptTimeInputs.h"

void ScriptLayerManager::setDestination(CImage32* image)
{
    if (!image) return;
    if (m_pDestination &&
        (image->m_width != m_pDestination->m_width || image->m_height != m_pDestination->m_height))
        return reportWarning("ScriptLayerManager :", "setDestination: different dimensions !");
    m_pDestination = image;
}

void ScriptLayerManager::run(int demoMs)
{
    for (ScriptLayerPosition& position : m_positions) {
        for (const auto& op : position.m_operations) {
            if (op->m_start <= demoMs && demoMs < op->m_end) {
                op->m_pDestination = m_pDestination;
                op->m_timeMs = demoMs;
                if (LayerOperationObserver* observer = s_pObserver) {
                    observer->operationStarts();
                    op->execute();
                    observer->operationEnded(*this, position, *op);
                } else {
                    op->execute();
                }
                break;
            }
        }
    }
}

void ScriptLayerOperation::warnOnce(const char* caption, const char* text)
{
    if (m_reported) return;
    m_reported = true;
    reportWarning(caption, text);
}

void ScriptLayerOperationClear::execute()
{
    if (m_pDestination) m_pDestination->clear(m_colour);
}

void ScriptLayerOperationWrite::execute()
{
    if (!m_pRenderData) return warnOnce("ScriptLayerOperationWrite :", "m_pRenderData NULL");
    setTimeInputs(m_pRenderData->getController(), m_timeMs, m_end);
    m_pRenderData->m_timeMs = m_timeMs;
    // start <= time here; the difference of two script ints may still pass the int range.
    m_pRenderData->m_localTimeMs = int(std::min<int64_t>(int64_t(m_timeMs) - m_start, INT_MAX));
    m_pRenderData->render(m_pDestination);
}

void ScriptLayerOperationEffect::execute()
{
    if (!m_pEffect) return warnOnce("ScriptLayerOperationEffect :", "m_pEffect NULL");
    setTimeInputs(m_pEffect->m_pController, m_timeMs, m_end);
    m_pEffect->apply(m_pDestination);
}

void ScriptLayerOperationMix::execute()
{
    const char* const kCaption = "ScriptLayerOperationMix :";
    if (!m_pDestination) return warnOnce(kCaption, "no destination buffer set");
    if (!m_pSource) return warnOnce(kCaption, "no src buffer set");
    if (!m_pMix) return warnOnce(kCaption, "m_pMix NULL");
    setTimeInputs(m_pMix->m_pController, m_timeMs, m_end);
    m_pMix->m_timeMs = static_cast<float>(m_timeMs);
    m_pMix->m_endTime = static_cast<float>(m_end);
    m_pMix->apply(m_pDestination, m_pSource);
}
