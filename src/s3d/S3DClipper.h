// Cuts a camera-space polygon against the camera's near, right, top, bottom and left planes
// (not the far one) and projects what is left for the filler.
#pragma once

#include "foundation/Point3D.h"
#include "raster/RasterTypes.h"

class S3DCamera;

// A polygon corner before projection: camera-space position and the filler's values.
struct S3DClipVertex {
    Point3D p;
    RasterValues values;
};

class S3DClipper {
public:
    // Most corners a polygon grows to: four corners and one more per plane.
    static constexpr int kMaxIn = 4;
    static constexpr int kMaxWork = kMaxIn + 5;

    // Takes the camera's screen values and frustum planes (a copy, valid until the next call).
    void setup(const S3DCamera& camera);

    // Clips n (<= kMaxIn) corners and projects the result into `out` (kMaxWork entries): w = 1/z,
    // sx = w x scaleX + centerX, sy = centerY - w y scaleY; a cut corner's values are those of
    // its edge at the same fraction. Corners are held inside the screen (the planes leave them
    // there but for rounding). Returns the corner count, 0 when two or fewer remain or a corner
    // lies behind the near plane.
    int clip(const S3DClipVertex* in, int n, RasterVertex* out) const;

private:
    struct Plane {
        float nx, ny, nz, d;
    };
    Plane m_planes[5] = {};  // near, right, top, bottom, left: the order of the passes
    float m_near = 1.0f;
    float m_scaleX = 0, m_scaleY = 0, m_centerX = 0, m_centerY = 0, m_width = 0, m_height = 0;
};
