// A scene light of type 1 (omni), 2 (spot: uses its target, hotspot and falloff) or
// 3 (directional: uses its target): colour, intensity and attenuation with their tracks, and
// the positions and direction prepare derives for the current camera.
#pragma once

#include <memory>

#include "control/TrackManager.h"
#include "s3d/S3DNode.h"

class S3DCamera;

class S3DLight {
public:
    // The light item: 1 header, 2 target header, 100 values, 200 tracks.
    void load(ChunkFileReader& r);

    // The light node; the target node for types 2 and 3; falloff and hotspot for type 2;
    // intensity (negative gives 0), colour and attenuations from their tracks.
    void update(float time);
    // World and camera-space positions; for types 2 and 3 the target's too and the direction
    // matrix looking from the light at its target in camera space.
    void prepare(const S3DCamera& camera);

    bool usesTarget() const { return m_type == 2 || m_type == 3; }

    S3DObjectHeader m_header;
    S3DObjectHeader m_target;
    int m_type = 1;
    Point3D m_colour{1.0f, 1.0f, 1.0f};
    float m_intensity = 1.0f;
    float m_nearAttenuation = 400.0f;
    float m_farAttenuation = 200.0f;
    float m_hotspot = 1.2f;
    float m_falloff = 1.6f;

    std::unique_ptr<TrackManagerFloat> m_pIntensityTrack;
    std::unique_ptr<TrackManagerPoint3D> m_pColourTrack;
    std::unique_ptr<TrackManagerFloat> m_pNearTrack;
    std::unique_ptr<TrackManagerFloat> m_pFarTrack;
    std::unique_ptr<TrackManagerFloat> m_pFalloffTrack;
    std::unique_ptr<TrackManagerFloat> m_pHotspotTrack;

    // Derived by prepare.
    Point3D m_worldPosition;
    Point3D m_cameraPosition;
    Point3D m_targetWorldPosition;
    Point3D m_targetCameraPosition;
    Matrix m_direction = Matrix::identity();
};
