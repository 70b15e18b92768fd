// A scene camera: the eye and target headers, field of view, roll and clip distances with
// their tracks, the screen set-up (centre, scales, frustum) and the view matrices built in
// prepare. Camera space looks along +z.
#pragma once

#include <memory>

#include "control/TrackManager.h"
#include "s3d/S3DNode.h"

// A plane n · p = d in camera space.
struct S3DPlane {
    Point3D normal;
    float d = 0.0f;
};

class S3DCamera {
public:
    enum { kLeft, kRight, kTop, kBottom, kNear, kFar, kNbPlane };

    S3DCamera();

    // The camera item: 1 header, 2 target header, 100 values, 200 tracks; then the screen is
    // set up for 512 × 256.
    void load(ChunkFileReader& r);

    // The fov and roll tracks (an empty track gives 0), then the eye and target nodes.
    void update(float time);
    void setFov(float fov);
    void setRoll(float roll) { m_roll = roll; }
    // Distances below 1 become 1.
    void setNear(float near);
    void setFar(float far) { m_far = far; }
    void setScreen(float width, float height);
    // Rebuilds the projection when the fov changed, then the view from the nodes' world
    // positions (call after the hierarchy is composed).
    void prepare();

    float getFov() const { return m_fov; }
    float getRoll() const { return m_roll; }
    float getNear() const { return m_near; }
    float getFar() const { return m_far; }

    S3DObjectHeader m_header;
    S3DObjectHeader m_target;
    std::unique_ptr<TrackManagerFloat> m_pFovTrack;
    std::unique_ptr<TrackManagerFloat> m_pRollTrack;

    float m_screenWidth = 512.0f;
    float m_screenHeight = 256.0f;
    float m_centerX = 0.0f;
    float m_centerY = 0.0f;
    float m_scaleX = 0.0f;
    float m_scaleY = 0.0f;
    S3DPlane m_frustum[kNbPlane];
    Matrix m_viewMatrix;
    Matrix m_viewRotation;
    float m_fovChanged = 0.0f;

private:
    void setupProjection();

    float m_fov = 1.5707964f;
    float m_roll = 0.0f;
    float m_near = 10.0f;
    float m_far = 100000.0f;
};
