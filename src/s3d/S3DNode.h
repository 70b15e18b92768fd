// The transform node every scene object carries, the common object header (name, parent name,
// node, resolved parent) and the dummy, which is a header alone.
#pragma once

#include <memory>

#include "control/TrackManager.h"
#include "foundation/ChunkFile.h"
#include "foundation/Matrix.h"
#include "foundation/Quaternion.h"
#include "foundation/StringC.h"

class S3DNode {
public:
    S3DNode();

    // The node record: child 100 values (101 mode, 102 pivot, 103 position, 104 scale,
    // 105 angle-axis rotation), child 200 tracks (201 position, 202 scale, 203 rotation).
    void load(ChunkFileReader& r);

    void setPosition(const Point3D& p)
    {
        m_position = p;
        m_dirty = true;
    }
    void setScale(const Point3D& s)
    {
        m_scale = s;
        m_dirty = true;
    }
    void setRotation(const Quaternion& q)
    {
        m_rotation = q;
        m_dirty = true;
    }
    // The pivot does not move the node itself (modifiers take it as their centre).
    void setPivot(const Point3D& p) { m_pivot = p; }
    void setMode(int mode)
    {
        m_mode = mode;
        m_dirty = true;
    }

    // Present tracks replace position, scale and rotation with their value at `time`.
    void update(float time);
    // The cached matrix, recomputed first when dirty.
    const Matrix& getMatrix();
    // Recomputes the local matrices: mode 0 translation only, otherwise
    // scaling · rotation · translation (scale first, then rotate, then move).
    void refresh();
    // Turns the local matrices into world matrices: local · parent world.
    void compose(const S3DNode& parent);

    const Point3D& getPosition() const { return m_position; }
    const Point3D& getScale() const { return m_scale; }
    const Quaternion& getRotation() const { return m_rotation; }
    const Point3D& getPivot() const { return m_pivot; }
    int getMode() const { return m_mode; }
    const Matrix& matrix() const { return m_matrix; }
    const Matrix& rotationMatrix() const { return m_rotationMatrix; }
    // The translation row of the cached matrix (the world position once composed).
    Point3D worldPosition() const { return {m_matrix.m[3][0], m_matrix.m[3][1], m_matrix.m[3][2]}; }

    std::unique_ptr<TrackManagerPoint3D> m_pPositionTrack;
    std::unique_ptr<TrackManagerPoint3D> m_pScaleTrack;
    std::unique_ptr<TrackManagerRotation> m_pRotationTrack;

private:
    Point3D m_pivot;
    Quaternion m_rotation;
    Point3D m_position;
    Point3D m_scale{1.0f, 1.0f, 1.0f};
    Matrix m_matrix;
    Matrix m_rotationMatrix;
    int m_mode = 0;
    bool m_dirty = true;
};

struct S3DObjectHeader {
    StringC m_name = "NULL";
    StringC m_parentName = "NULL";
    S3DNode m_node;
    S3DObjectHeader* m_pParent = nullptr;

    // The header record: 1 name, 2 parent name, 3 node.
    void load(ChunkFileReader& r);
    // Whether the parent name names an object ("NULL" and the empty name do not).
    bool hasParentName() const;
};

// Whether a lookup name means "none": null, empty or "NULL".
bool isNoneName(const StringC& name);
bool isNoneName(const char* name);

struct S3DDummy {
    S3DObjectHeader m_header;
    // The dummy item: child 1 header.
    void load(ChunkFileReader& r);
};
