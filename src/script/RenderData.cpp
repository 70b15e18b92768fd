#include "script/RenderData.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "foundation/Report.h"
#include "script/ScriptControllerLink.h"
#include "script/ScriptResource.h"

void RenderData::warn(const char* kind, const char* text) const
{
    const std::string caption = std::string(kind) + (m_name.getName() ? m_name.getName() : "") + " :";
    reportWarning(caption.c_str(), text);
}

float sceneFrame(int timeOffset, int localTime, float frameCount)
{
    // Double arithmetic, as the constants' literals imply; the frame itself is a float.
    return static_cast<float>(std::fmod((timeOffset + localTime) * 0.001 * 30.0, double(frameCount)));
}

void RenderData2DDesc::render(CImage32* destination)
{
    // The 2D scene engine draws here once 2D scenes load.
    (void)destination;
}

void RenderData3DDesc::render(CImage32* destination)
{
    // The 3D scene engine draws here once 3D scenes load.
    (void)destination;
}

void RenderData3DDesc::setController(LECXController* controller)
{
    const std::string caption = std::string("3D_DESC ") + (m_name.getName() ? m_name.getName() : "") + " :";
    acceptController(controller, kControllerL3X, caption.c_str(), "can t set pController with id: %d to RenderData3DDesc",
                     this, m_pController);
}

void RenderDataScreenLayer::createBuffer()
{
    // A negative size is as unusable as 0: report it rather than end the program.
    if (m_dimension.m_width <= 0 || m_dimension.m_height <= 0) {
        warn("SCREEN_LAYER ", "bad dimensions for creating buffer");
        return;
    }
    m_pBuffer = std::make_unique<CImage32Buffered>(m_dimension.m_width, m_dimension.m_height);
}

void RenderDataScreenLayer::render(CImage32* destination)
{
    if (!m_pBuffer) {
        warn("SCREEN_LAYER ", "m_pBuffer NULL");
        return;
    }
    m_pBuffer->blit(destination);
}

void RenderDataImage::render(CImage32* destination)
{
    if (!m_pBuffer) {
        warn("IMAGE ", "render using m_pBuffer NULL");
        return;
    }
    m_pBuffer->blit(destination);
}
