#include "script/RenderData.h"

#include <cmath>
#include <string>

#include "foundation/Report.h"
#include "fx2d/S2DScene.h"
#include "image/ImageFileLoader.h"
#include "script/ScriptControllerLink.h"
#include "s3d/S3DScene.h"
#include "s3d/ViewPort.h"
#include "script/ScriptResource.h"

void RenderData::warn(const char* kind, const char* text) const
{
    const std::string caption = std::string(kind) + (m_name.getName() ? m_name.getName() : "") + " :";
    reportWarning(caption.c_str(), text);
}

float sceneFrame(int timeOffset, int localTime, float frameCount)
{
    if (!(frameCount > 0.0f)) return 0.0f;  // no frames to loop over (fmod would give NaN)
    // Double arithmetic, as the constants' literals imply; the frame itself is a float. The
    // remainder lies strictly inside the count, but rounding it to float can reach the count
    // itself, which is frame 0 again.
    const float frame =
        static_cast<float>(std::fmod((double(timeOffset) + localTime) * 0.001 * 30.0, double(frameCount)));
    return std::fabs(frame) < frameCount ? frame : 0.0f;
}

void RenderData2DDesc::render(CImage32* destination)
{
    S2DScene* scene = m_pResource ? m_pResource->getScene() : nullptr;
    if (!scene || !destination || scene->getNbCamera() == 0) return;  // reported when loaded
    if (!scene->setCamera(m_camera)) {
        if (!m_cameraReported) warn("2D_DESC ", "setCamera: camera index out of range");
        m_cameraReported = true;
        return;
    }
    scene->update(sceneFrame(m_timeOffset, m_localTimeMs, static_cast<float>(scene->getNbFrame())));
    scene->render(destination);
}

RenderData3DDesc::RenderData3DDesc() = default;

RenderData3DDesc::~RenderData3DDesc() = default;

void RenderData3DDesc::createViewPort()
{
    m_pViewPort = std::make_unique<ViewPort>();
    m_pViewPort->setScreen(m_dimension.m_width, m_dimension.m_height);
}

void RenderData3DDesc::setResource(ScriptResource3D* resource)
{
    m_pResource = resource;
    m_pScene = resource ? resource->getScene() : nullptr;
    if (!m_pScene || !m_pViewPort) return;
    m_pViewPort->m_ownsZBuffer = m_pScene->m_depthBuffer != 0;
    if (!m_pViewPort->m_ownsZBuffer) m_pViewPort->releaseZBuffer();
}

void RenderData3DDesc::render(CImage32* destination)
{
    if (!m_pScene || !m_pViewPort || !destination) return;
    m_pViewPort->clearZBuffer();
    m_pViewPort->setScreen(destination);
    m_pScene->setViewPort(m_pViewPort.get());
    m_pScene->setCamera(m_camera);
    m_pScene->update(sceneFrame(m_timeOffset, m_localTimeMs, float(m_pScene->m_animationLength)));
    applyController(m_pController);
    m_pScene->prepare();
    m_pScene->render();
}

void RenderData3DDesc::setController(LECXController* controller)
{
    const std::string caption = std::string("3D_DESC ") + (m_name.getName() ? m_name.getName() : "") + " :";
    acceptController(controller, kLECXL3X, caption.c_str(), "can t set pController with id: %d to RenderData3DDesc",
                     m_pScene, m_pController);
}

void RenderDataScreenLayer::createBuffer()
{
    // A negative size is as unusable as 0, and a size beyond the image pixel cap cannot be
    // allocated: both are reported rather than ending the program.
    const int width = m_dimension.m_width;
    const int height = m_dimension.m_height;
    if (!withinPixelCap(width, height))
        return warn(kKind, "bad dimensions for creating buffer");
    m_pBuffer = std::make_unique<CImage32Buffered>(width, height);
}

void RenderDataBuffer::warnOnce(const char* text)
{
    if (m_reported) return;
    m_reported = true;
    warn(m_kind, text);
}

void RenderDataBuffer::render(CImage32* destination)
{
    const CImage32* buffer = getBuffer();
    if (!buffer) return warnOnce(m_missingText);
    if (!destination) return;
    // Sizes come from the script: a mismatch is the script's mistake, reported, not fatal.
    if (destination->m_width != buffer->m_width || destination->m_height != buffer->m_height)
        return warnOnce("blit: must be same dimensions");
    buffer->blit(destination);
}
