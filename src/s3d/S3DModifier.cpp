#include "s3d/S3DModifier.h"

#include <algorithm>

#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"
#include "s3d/S3DModifierKinds.h"
#include "s3d/S3DMorph.h"
#include "s3d/S3DSkin.h"

S3DModifier::S3DModifier(int type) : m_pRecord(findModifierRecord(type)), m_type(type) {}

S3DModifier::~S3DModifier() = default;

void S3DModifier::load(ChunkFileReader& r)
{
    loadValuesAndTracks(
        r, kL3xModifierParams, kL3xModifierTracks, [this](ChunkFileReader& item) { loadParameter(item); },
        [this](ChunkFileReader& item) { loadParameterTrack(item); },
        [this](ChunkFileReader& child) {
            if (child.getIdentifier() == kL3xModifierGizmo) loadGizmo(child);
        });
}

void S3DModifier::loadGizmo(ChunkFileReader& r)
{
    loadValuesAndTracks(
        r, kL3xGizmoValues, kL3xGizmoTracks,
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xGizmoTM:
                m_gizmoTM = Matrix::identity();
                for (int row = 0; row < 4; ++row)
                    for (int col = 0; col < 3; ++col) m_gizmoTM.m[row][col] = item.readFloat();
                break;
            case kL3xGizmoPosition: m_gizmoPosition = item.readPoint3D(); break;
            case kL3xGizmoOffset: m_gizmoOffset = item.readPoint3D(); break;
            case kL3xGizmoScale: m_gizmoScale = item.readPoint3D(); break;
            case kL3xGizmoRotation: m_gizmoRotation = readAngleAxis(item); break;
            default: break;
            }
        },
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xGizmoPositionTrack: loadTrack(item, m_pGizmoPositionTrack); break;
            case kL3xGizmoOffsetTrack: loadTrack(item, m_pGizmoOffsetTrack); break;
            case kL3xGizmoScaleTrack: loadTrack(item, m_pGizmoScaleTrack); break;
            case kL3xGizmoRotationTrack: loadTrack(item, m_pGizmoRotationTrack); break;
            default: break;
            }
        });
}

void S3DModifier::loadParameter(ChunkFileReader& item)
{
    if (!m_pRecord) return;
    for (int k = 0; k < m_pRecord->nbField; ++k) {
        const S3DModifierField& f = m_pRecord->fields[k];
        if (f.param != item.getIdentifier()) continue;
        if (f.isOption()) {
            m_option[f.slot] = uint8_t(item.readByte());
        } else if (f.width() == 1) {
            m_value[f.slot] = item.readFloat();
        } else {
            const Point3D p = item.readPoint3D();
            m_value[f.slot] = p.x;
            m_value[f.slot + 1] = p.y;
            m_value[f.slot + 2] = p.z;
        }
        return;
    }
}

void S3DModifier::loadParameterTrack(ChunkFileReader& item)
{
    if (!m_pRecord) return;
    for (int k = 0; k < m_pRecord->nbField; ++k) {
        const S3DModifierField& f = m_pRecord->fields[k];
        if (f.track != 0 && f.track == item.getIdentifier()) return loadTrack(item, m_pTrack[f.slot]);
    }
}

void S3DModifier::update(float time)
{
    if (m_pGizmoPositionTrack) m_gizmoPosition = m_pGizmoPositionTrack->getValue(time);
    if (m_pGizmoOffsetTrack) m_gizmoOffset = m_pGizmoOffsetTrack->getValue(time);
    if (m_pGizmoScaleTrack) m_gizmoScale = m_pGizmoScaleTrack->getValue(time);
    if (m_pGizmoRotationTrack) m_gizmoRotation = m_pGizmoRotationTrack->getValue(time);
    if (!m_pRecord) return;
    for (int k = 0; k < m_pRecord->nbField; ++k) {
        const S3DModifierField& f = m_pRecord->fields[k];
        if (f.track == 0 || !m_pTrack[f.slot]) continue;
        const float v = m_pTrack[f.slot]->getValue(time);
        for (int c = 0; c < f.width(); ++c) m_value[f.slot + c] = v;
    }
}

void S3DModifier::prepare()
{
    prepareGizmo();
    appendAxisRotation(m_toGizmo);
    m_fromGizmo = m_toGizmo.inverse();
    prepareKind();
    checkUsable();
}

void S3DModifier::checkUsable()
{
    const auto finiteMatrix = [](const Matrix& m) {
        for (const auto& row : m.m)
            for (float v : row)
                if (!std::isfinite(v)) return false;
        return true;
    };
    bool parameters = finiteMatrix(m_gizmoTM) && constantsFinite() &&
                      allFinite({m_gizmoPosition.x, m_gizmoPosition.y, m_gizmoPosition.z, m_gizmoOffset.x,
                                 m_gizmoOffset.y, m_gizmoOffset.z, m_gizmoScale.x, m_gizmoScale.y, m_gizmoScale.z,
                                 m_gizmoRotation.x, m_gizmoRotation.y, m_gizmoRotation.z, m_gizmoRotation.w});
    for (float v : m_value) parameters = parameters && std::isfinite(v);
    // A matrix that cannot be inverted gives infinities or NaNs in its inverse.
    const bool matrices = finiteMatrix(m_toGizmo) && finiteMatrix(m_fromGizmo);
    m_usable = parameters && matrices;
    if (m_usable || m_unusableReported) return;
    m_unusableReported = true;
    reportWarning("S3DModifier warning:",
                  formatText(parameters ? "prepare: matrix can't be inverted, type %d" : "prepare: parameter not finite, type %d",
                             m_type)
                      .c_str());
}

void S3DModifier::keep(const Point3D* in, Point3D* out, int count)
{
    if (in != out) std::copy(in, in + std::max(count, 0), out);
}

void S3DModifier::prepareGizmo()
{
    const auto inverseScale = [](float s) { return s != 0.0f ? 1.0f / s : 1.0f; };  // a flat gizmo keeps its size
    if (m_worldSpace) {
        // F = scaling · rotation · translation of the world-space object's node; camera space in.
        Matrix f = Matrix::scaling(m_gizmoScale.x, m_gizmoScale.y, m_gizmoScale.z);
        f.multiply(m_gizmoRotation.toTransposedMatrix());
        f.translate(m_gizmoOffset.x, m_gizmoOffset.y, m_gizmoOffset.z);
        Matrix::multiply(m_toGizmo, m_ownerMatrix.inverse(), f.inverse());
        return;
    }
    m_gizmoInverse = Matrix::translation(-m_gizmoOffset.x, -m_gizmoOffset.y, -m_gizmoOffset.z);
    m_gizmoInverse.multiply(
        Matrix::scaling(inverseScale(m_gizmoScale.x), inverseScale(m_gizmoScale.y), inverseScale(m_gizmoScale.z)));
    m_gizmoInverse.multiply(m_gizmoRotation.toMatrix());
    m_gizmoInverse.translate(-m_gizmoPosition.x, -m_gizmoPosition.y, -m_gizmoPosition.z);
    m_toGizmo = Matrix::translation(m_center.x, m_center.y, m_center.z);
    m_toGizmo.multiply(m_gizmoTM);
    m_toGizmo.multiply(m_gizmoInverse);
}

void S3DModifier::boundsInGizmoTM(Point3D& lo, Point3D& hi) const
{
    lo = m_gizmoTM.transform(m_boundsMin + m_center);
    hi = m_gizmoTM.transform(m_boundsMax + m_center);
}

float S3DModifier::extent() const
{
    Point3D lo, hi;
    boundsInGizmoTM(lo, hi);
    return component(hi, axis()) - component(lo, axis());
}

void S3DModifier::setBoundsFrom(const Point3D* points, int count)
{
    if (count <= 0) return;
    Point3D lo = points[0], hi = points[0];
    for (int i = 1; i < count; ++i) {
        const Point3D& p = points[i];
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    m_boundsMin = lo;
    m_boundsMax = hi;
}

void S3DModifier::apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert)
{
    (void)weights;
    (void)invert;
    keep(in, out, count);
}

std::unique_ptr<S3DModifier> createObjectModifier(int type)
{
    switch (type) {
    case 1: return std::make_unique<S3DModifierSkin>();
    case 2: return std::make_unique<S3DModifierMorph>();
    case 12: return nullptr;  // world space only
    default: return createGizmoModifier(type);
    }
}

std::unique_ptr<S3DModifier> createWorldSpaceModifier(int type)
{
    switch (type) {
    case 3: case 4: case 5: case 7: case 8: case 9: case 12: return createGizmoModifier(type);
    default: return nullptr;
    }
}

void S3DWSModifier::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        if (child.getIdentifier() == kL3xItemHeader) {
            m_header.load(child);
        } else if (child.getIdentifier() == kL3xWSModifierRecord) {
            const int type = child.readByte();
            m_pModifier = createWorldSpaceModifier(type);
            if (!m_pModifier) {
                reportWarning("WSModifier: ", formatText("can t find modifier with id: %d", type).c_str());
                continue;
            }
            m_pModifier->load(child);
        }
    }
    if (m_pModifier) m_pModifier->m_worldSpace = true;
}

void S3DWSModifier::updateNode(float time)
{
    m_header.m_node.update(time);
    followNode();
}

void S3DWSModifier::updateModifier(float time)
{
    if (m_pModifier) m_pModifier->update(time);
    followNode();
}

void S3DWSModifier::followNode()
{
    if (!m_pModifier) return;
    const S3DNode& node = m_header.m_node;
    m_pModifier->m_gizmoOffset = node.getPosition();
    m_pModifier->m_gizmoScale = node.getScale();
    m_pModifier->m_gizmoRotation = node.getRotation();
}

void S3DWSModifier::prepare()
{
    if (m_pModifier) m_pModifier->prepare();
}
