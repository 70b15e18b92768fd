// Modifiers: the frame every type shares (type, bounds, centre, the gizmo with its tracks and
// matrices, float values and byte options driven by tracks) and the world-space modifier
// object. A modifier deforms plain arrays of points; the kinds live in S3DModifierKinds.h,
// skin and morph in S3DSkin.h and S3DMorph.h, the stack evaluation in S3DModifierStack.h.
#pragma once

#include <cmath>
#include <initializer_list>
#include <memory>

#include "control/TrackManager.h"
#include "s3d/S3DModifierRecord.h"
#include "s3d/S3DNode.h"

class S3DModifier {
public:
    explicit S3DModifier(int type);
    virtual ~S3DModifier();

    // Reads the modifier's record (the children after its type byte): 1 the gizmo, 50 the
    // parameter record and 201 its tracks, as the type's record table describes them.
    virtual void load(ChunkFileReader& r);
    // The gizmo tracks (an empty point slot gives (0, 0, 0), an empty rotation (0, 0, 0, 1)),
    // then every parameter track (an empty slot gives 0).
    virtual void update(float time);
    // The one order every gizmo-space modifier prepares in:
    //   1. toGizmo from the gizmo (prepareGizmo);
    //   2. the kind's axis rotation appended to it (appendAxisRotation);
    //   3. fromGizmo = inverse(toGizmo);
    //   4. the kind's constants (prepareKind);
    //   5. whether the result is usable (checked and reported once).
    // Skin and morph, which have no gizmo, replace it with their own.
    virtual void prepare();
    // Deforms `count` points from `in` into `out` (they may be the same array). With `weights`
    // each point blends p' = (1 - w)·p + w·d, d the point deformed, w taken as 1 - w when
    // `invert` is set. The base leaves the points as they are.
    virtual void apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert);
    // Whether the last prepare left a deformation to apply: parameters and the constants drawn
    // from them finite, and the gizmo matrices invertible. A modifier that is not usable leaves
    // the points as they are (it is reported once).
    bool isUsable() const { return m_usable; }

    int getType() const { return m_type; }
    bool usesBoundingBox() const { return m_usesBoundingBox; }
    // Types that deform in the space of a gizmo: 3 to 9, 11 and 12.
    static bool isGizmoType(int type) { return (type >= 3 && type <= 9) || type == 11 || type == 12; }
    // The camera's view matrix, for modifiers acting in camera space.
    void setOwnerMatrix(const Matrix& m) { m_ownerMatrix = m; }
    // Sets the bounds from the points' box (left as they are when there are none).
    void setBoundsFrom(const Point3D* points, int count);

    Point3D m_boundsMin{-100.0f, -100.0f, -100.0f};
    Point3D m_boundsMax{100.0f, 100.0f, 100.0f};
    Point3D m_center;
    bool m_worldSpace = false;

    Matrix m_gizmoTM = Matrix::identity();
    Point3D m_gizmoPosition;
    Point3D m_gizmoOffset;
    Point3D m_gizmoScale{1.0f, 1.0f, 1.0f};
    Quaternion m_gizmoRotation;
    std::unique_ptr<TrackManagerPoint3D> m_pGizmoPositionTrack;
    std::unique_ptr<TrackManagerPoint3D> m_pGizmoOffsetTrack;
    std::unique_ptr<TrackManagerPoint3D> m_pGizmoScaleTrack;
    std::unique_ptr<TrackManagerRotation> m_pGizmoRotationTrack;

    Matrix m_gizmoInverse = Matrix::identity();
    Matrix m_toGizmo = Matrix::identity();
    Matrix m_fromGizmo = Matrix::identity();
    Matrix m_ownerMatrix = Matrix::identity();

    // The type's values and options (their meaning per type: S3DModifierRecord.h, named by the
    // kinds' accessors).
    float m_value[s3dmod::kMaxValue] = {};
    uint8_t m_option[s3dmod::kMaxOption] = {};

protected:
    // toGizmo: modifier space from object space, or from camera space for world-space modifiers.
    void prepareGizmo();
    // What the kind post-multiplies onto toGizmo to turn its chosen axis onto gizmo y (and any
    // turn that follows); nothing in the base.
    virtual void appendAxisRotation(Matrix& toGizmo) { (void)toGizmo; }
    // The type's constants, with both gizmo matrices final; nothing in the base.
    virtual void prepareKind() {}
    // Whether the type's constants are finite (checked after prepareKind).
    virtual bool constantsFinite() const { return true; }
    // Leaves the points as they are: `in` copied to `out`.
    static void keep(const Point3D* in, Point3D* out, int count);
    // The chosen axis: 0 X, 1 Y, 2 Z (other values act as Y).
    int axis() const { return m_option[s3dmod::kAxis] <= 2 ? m_option[s3dmod::kAxis] : 1; }
    // Bounds corners in gizmo-TM space: lo = (min + centre)·gizmoTM, hi = (max + centre)·gizmoTM.
    void boundsInGizmoTM(Point3D& lo, Point3D& hi) const;
    // hi[axis] - lo[axis].
    float extent() const;
    // Reads one child of the parameter record into its value or option; false when unknown.
    virtual void loadParameter(ChunkFileReader& item);
    virtual void loadParameterTrack(ChunkFileReader& item);

    bool m_usesBoundingBox = false;
    const S3DModifierRecord* m_pRecord = nullptr;
    std::unique_ptr<TrackManagerFloat> m_pTrack[s3dmod::kMaxValue];  // by the value slot it drives

private:
    void loadGizmo(ChunkFileReader& r);
    // Sets m_usable after prepare, reporting the first time it is not.
    void checkUsable();
    int m_type;
    bool m_usable = true;
    bool m_unusableReported = false;
};

// Whether every value is finite.
inline bool allFinite(std::initializer_list<float> values)
{
    for (float v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

// Soft selection: p' = (1 - w)·p + w·d.
inline Point3D softBlend(const Point3D& p, const Point3D& d, float w) { return p * (1.0f - w) + d * w; }

inline float component(const Point3D& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// The modifier of a type known to objects (1 to 11), or null.
std::unique_ptr<S3DModifier> createObjectModifier(int type);
// The modifier of a type that can act in world space (3, 4, 5, 7, 8, 9, 12), or null.
std::unique_ptr<S3DModifier> createWorldSpaceModifier(int type);

class S3DWSModifier {
public:
    // The item: 1 header; 100 the modifier (type byte, then its record). An unknown type is
    // reported and leaves the item without modifier; a second 100 replaces the first.
    void load(ChunkFileReader& r);
    // The node, the modifier's tracks, then the node's position, scale and rotation become the
    // gizmo's offset, scale and rotation.
    void update(float time)
    {
        m_header.m_node.update(time);
        updateModifier(time);
    }
    // The node's animation alone (the gizmo follows it).
    void updateNode(float time);
    // The modifier's animation alone (the gizmo still follows the node).
    void updateModifier(float time);
    void prepare();

    S3DModifier* getModifier() const { return m_pModifier.get(); }

    S3DObjectHeader m_header;
    std::unique_ptr<S3DModifier> m_pModifier;

private:
    // The node's position, scale and rotation become the gizmo's offset, scale and rotation.
    void followNode();
};
