#include "s3d/S3DCamera.h"

#include <cmath>

#include "foundation/PortableMath.h"
#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"

S3DCamera::S3DCamera() : m_viewMatrix(Matrix::identity()), m_viewRotation(Matrix::identity())
{
    m_target.m_node.setPosition({0.00001f, 0.00001f, -100.0f});
    setScreen(512.0f, 256.0f);
}

void S3DCamera::load(ChunkFileReader& r)
{
    loadTargetedRecord(
        r, m_header, m_target,
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xCameraFov: setFov(item.readFloat()); break;
            case kL3xCameraRoll: setRoll(item.readFloat()); break;
            case kL3xCameraNear: setNear(item.readFloat()); break;
            case kL3xCameraFar: setFar(item.readFloat()); break;
            default: break;
            }
        },
        [this](ChunkFileReader& item) {
            if (item.getIdentifier() == kL3xCameraFovTrack) loadTrack(item, m_pFovTrack);
            else if (item.getIdentifier() == kL3xCameraRollTrack) loadTrack(item, m_pRollTrack);
        });
    setScreen(512.0f, 256.0f);
}

void S3DCamera::update(float time)
{
    if (m_pFovTrack) setFov(m_pFovTrack->getValue(time));
    if (m_pRollTrack) m_roll = m_pRollTrack->getValue(time);
    m_header.m_node.update(time);
    m_target.m_node.update(time);
}

void S3DCamera::setFov(float fov)
{
    if (fov == m_fov) return;
    m_fov = fov;
    m_fovChanged = 1.0f;
}

void S3DCamera::setNear(float near) { m_near = near < 1.0f ? 1.0f : near; }

void S3DCamera::setScreen(float width, float height)
{
    m_screenWidth = width;
    m_screenHeight = height;
    m_centerX = width * 0.5f;
    m_centerY = height * 0.5f;
    setupProjection();
}

// Scales from the fov (x over half the width, y over the whole height, so that pixels are
// square on the 2:1 layer) and the frustum planes through the eye, nudged inwards a little.
void S3DCamera::setupProjection()
{
    const float cot = 1.0f / pmath::tan(m_fov * 0.5f);
    m_scaleX = cot * m_screenWidth * 0.5f;
    m_scaleY = cot * m_screenHeight;
    const float hx = pmath::atan2(m_screenWidth * 0.5f, m_scaleX) - 0.0001f;
    const float hy = pmath::atan2(m_screenHeight * 0.5f, m_scaleY) - 0.0001f;
    m_frustum[kLeft] = {{pmath::cos(hx), 0.0f, pmath::sin(hx)}, 0.0f};
    m_frustum[kRight] = {{-pmath::cos(hx), 0.0f, pmath::sin(hx)}, 0.0f};
    m_frustum[kTop] = {{0.0f, pmath::cos(hy), pmath::sin(hy)}, 0.0f};
    m_frustum[kBottom] = {{0.0f, -pmath::cos(hy), pmath::sin(hy)}, 0.0f};
    m_frustum[kNear] = {{0.0f, 0.0f, 1.0f}, m_near};
    m_frustum[kFar] = {{0.0f, 0.0f, -1.0f}, m_far};
}

void S3DCamera::prepare()
{
    if (m_fovChanged != 0.0f) {
        m_fovChanged = 0.0f;
        setupProjection();
    }
    // Near and far follow their setters at once.
    m_frustum[kNear].d = m_near;
    m_frustum[kFar].d = m_far;
    const Point3D eye = m_header.m_node.worldPosition();
    const Point3D target = m_target.m_node.worldPosition();
    // lookAt with the eye at the origin gives the rotation part alone.
    m_viewRotation = Matrix::lookAt(Point3D(), target - eye, m_roll);
    m_viewMatrix = Matrix::lookAt(eye, target, m_roll);
}
