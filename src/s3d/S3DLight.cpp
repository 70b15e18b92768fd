#include "s3d/S3DLight.h"

#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"
#include "s3d/S3DCamera.h"

void S3DLight::load(ChunkFileReader& r)
{
    loadTargetedRecord(
        r, m_header, m_target,
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xLightColour: m_colour = item.readPoint3D(); break;
            case kL3xLightIntensity: m_intensity = item.readFloat(); break;
            case kL3xLightNear: m_nearAttenuation = item.readFloat(); break;
            case kL3xLightFar: m_farAttenuation = item.readFloat(); break;
            case kL3xLightType: m_type = item.readInt(); break;
            case kL3xLightFalloff: m_falloff = item.readFloat(); break;
            case kL3xLightHotspot: m_hotspot = item.readFloat(); break;
            default: break;
            }
        },
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xLightIntensityTrack: loadTrack(item, m_pIntensityTrack); break;
            case kL3xLightColourTrack: loadTrack(item, m_pColourTrack); break;
            case kL3xLightNearTrack: loadTrack(item, m_pNearTrack); break;
            case kL3xLightFarTrack: loadTrack(item, m_pFarTrack); break;
            case kL3xLightFalloffTrack: loadTrack(item, m_pFalloffTrack); break;
            case kL3xLightHotspotTrack: loadTrack(item, m_pHotspotTrack); break;
            default: break;
            }
        });
}

void S3DLight::update(float time)
{
    m_header.m_node.update(time);
    if (usesTarget()) m_target.m_node.update(time);
    if (m_type == 2) {
        if (m_pFalloffTrack) m_falloff = m_pFalloffTrack->getValue(time);
        if (m_pHotspotTrack) m_hotspot = m_pHotspotTrack->getValue(time);
    }
    if (m_pIntensityTrack) {
        const float v = m_pIntensityTrack->getValue(time);
        m_intensity = v < 0.0f ? 0.0f : v;
    }
    if (m_pColourTrack) m_colour = m_pColourTrack->getValue(time);
    if (m_pNearTrack) m_nearAttenuation = m_pNearTrack->getValue(time);
    if (m_pFarTrack) m_farAttenuation = m_pFarTrack->getValue(time);
}

void S3DLight::prepare(const S3DCamera& camera)
{
    m_worldPosition = m_header.m_node.worldPosition();
    m_cameraPosition = camera.m_viewMatrix.transform(m_worldPosition);
    if (!usesTarget()) return;
    m_targetWorldPosition = m_target.m_node.worldPosition();
    m_targetCameraPosition = camera.m_viewMatrix.transform(m_targetWorldPosition);
    m_direction = Matrix::lookAt(m_cameraPosition, m_targetCameraPosition, 0.0f);
}
