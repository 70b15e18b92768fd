#include "script/ScriptLayerManager.h"

#include "foundation/Report.h"
#include "script/RenderData.h"
#include "script/ScriptEffect.h"
#include "script/ScriptMix.h"
#include "script/ScriptTimeInputs.h"

void ScriptLayerManager::setDestination(CImage32* image)
{
    if (!image) return;
    if (m_pDestination &&
        (image->m_width != m_pDestination->m_width || image->m_height != m_pDestination->m_height)) {
        reportWarning("ScriptLayerManager :", "setDestination: different dimensions !");
        return;
    }
    m_pDestination = image;
}

void ScriptLayerManager::run(int t)
{
    for (ScriptLayerPosition& position : m_positions) {
        for (const auto& op : position.m_operations) {
            if (op->m_start <= t && t < op->m_end) {
                op->m_pDestination = m_pDestination;
                op->m_time = t;
                op->execute();
                break;
            }
        }
    }
}

void ScriptLayerOperationClear::execute()
{
    if (m_pDestination) m_pDestination->clear(m_colour);
}

void ScriptLayerOperationWrite::execute()
{
    if (!m_pRenderData) {
        reportWarning("ScriptLayerOperationWrite :", "m_pRenderData NULL");
        return;
    }
    setTimeInputs(m_pRenderData->getController(), m_time, m_end);
    m_pRenderData->m_time = m_time;
    m_pRenderData->m_localTime = m_time - m_start;
    m_pRenderData->render(m_pDestination);
}

void ScriptLayerOperationEffect::execute()
{
    if (!m_pEffect) {
        reportWarning("ScriptLayerOperationEffect :", "m_pEffect NULL");
        return;
    }
    setTimeInputs(m_pEffect->m_pController, m_time, m_end);
    m_pEffect->apply(m_pDestination);
}

void ScriptLayerOperationMix::execute()
{
    const char* const caption = "ScriptLayerOperationMix :";
    if (!m_pDestination) {
        reportWarning(caption, "no destination buffer set");
        return;
    }
    if (!m_pSource) {
        reportWarning(caption, "no src buffer set");
        return;
    }
    if (!m_pMix) {
        reportWarning(caption, "m_pMix NULL");
        return;
    }
    setTimeInputs(m_pMix->m_pController, m_time, m_end);
    m_pMix->m_time = static_cast<float>(m_time);
    m_pMix->m_endTime = static_cast<float>(m_end);
    m_pMix->apply(m_pDestination, m_pSource);
}
