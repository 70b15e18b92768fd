#include "s3d/S3DNode.h"

#include <cstring>

#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"

S3DNode::S3DNode() : m_matrix(Matrix::identity()), m_rotationMatrix(Matrix::identity()) {}

void S3DNode::load(ChunkFileReader& r)
{
    loadValuesAndTracks(
        r, kL3xNodeValues, kL3xNodeTracks,
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xNodeMode: m_mode = item.readByte(); break;
            case kL3xNodePivot: m_pivot = item.readPoint3D(); break;
            case kL3xNodePosition: m_position = item.readPoint3D(); break;
            case kL3xNodeScale: m_scale = item.readPoint3D(); break;
            case kL3xNodeRotation: m_rotation = readAngleAxis(item); break;
            default: break;
            }
        },
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xNodePositionTrack: loadTrack(item, m_pPositionTrack); break;
            case kL3xNodeScaleTrack: loadTrack(item, m_pScaleTrack); break;
            case kL3xNodeRotationTrack: loadTrack(item, m_pRotationTrack); break;
            default: break;
            }
        });
    m_dirty = true;
}

void S3DNode::update(float time)
{
    if (m_pPositionTrack) setPosition(m_pPositionTrack->getValue(time));
    if (m_pScaleTrack) setScale(m_pScaleTrack->getValue(time));
    if (m_pRotationTrack) setRotation(m_pRotationTrack->getValue(time));
}

const Matrix& S3DNode::getMatrix()
{
    if (m_dirty) refresh();
    return m_matrix;
}

void S3DNode::refresh()
{
    if (m_mode == 0) {
        m_matrix = Matrix::translation(m_position.x, m_position.y, m_position.z);
        // Reset each time so that composing with a parent never accumulates over frames.
        m_rotationMatrix = Matrix::identity();
    } else {
        m_rotationMatrix = m_rotation.toTransposedMatrix();
        m_matrix = Matrix::scaling(m_scale.x, m_scale.y, m_scale.z);
        m_matrix.multiply(m_rotationMatrix);
        m_matrix.translate(m_position.x, m_position.y, m_position.z);
    }
    m_dirty = false;
}

void S3DNode::compose(const S3DNode& parent)
{
    m_matrix.multiply(parent.m_matrix);
    m_rotationMatrix.multiply(parent.m_rotationMatrix);
}

void S3DObjectHeader::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        switch (child.getIdentifier()) {
        case kL3xHeaderName: child.readString(m_name); break;
        case kL3xHeaderParent: child.readString(m_parentName); break;
        case kL3xHeaderNode: m_node.load(child); break;
        default: break;
        }
    }
}

bool isNoneName(const char* name) { return !name || !*name || std::strcmp(name, "NULL") == 0; }
bool isNoneName(const StringC& name) { return isNoneName(name.getName()); }

bool S3DObjectHeader::hasParentName() const { return !isNoneName(m_parentName); }

void S3DDummy::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child))
        if (child.getIdentifier() == kL3xItemHeader) m_header.load(child);
}
