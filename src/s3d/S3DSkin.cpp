#include "s3d/S3DSkin.h"

#include <algorithm>

#include "s3d/L3xRead.h"

namespace {
const char* const kCaption = "S3DModifierSkin warning:";
}

void S3DModifierSkin::load(ChunkFileReader& r)
{
    ChunkFileReader child, item;
    while (r.nextChild(child)) {
        if (child.getIdentifier() != kL3xModifierParams) continue;
        while (child.nextChild(item)) {
            switch (item.getIdentifier()) {
            case kL3xSkinTM:
                for (int row = 0; row < 4; ++row)
                    for (int col = 0; col < 3; ++col) m_skinTM.m[row][col] = item.readFloat();
                break;
            case kL3xSkinBones: loadBoneList(item); break;
            case kL3xSkinVertices: loadVertexList(item); break;
            default: break;
            }
        }
    }
    m_skinTMInverse = m_skinTM.inverse();
    for (Bone& b : m_bones) Matrix::multiply(b.offset, m_skinTM, b.initTM.inverse());
    m_boneMatrix.assign(m_bones.size() + 1, Matrix::identity());
    // Bone indices past the bones read the last matrix, which stays the identity.
    for (uint16_t& bone : m_bone)
        if (bone >= m_bones.size()) bone = uint16_t(m_bones.size());
}

void S3DModifierSkin::loadBoneList(ChunkFileReader& r)
{
    const int n = readCount16(r);
    m_bones.clear();
    if (n <= 0) return reportWarning(kCaption, "loadBoneList: m_nbBone <= 0");
    // A bone needs at least its name's zero byte and its matrix.
    if (!countFits(r, n, 1 + 48)) return reportWarning(kCaption, "loadBoneList: bone count larger than its chunk");
    m_bones.resize(size_t(n));
    for (Bone& b : m_bones) {
        r.readString(b.name);
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 3; ++col) b.initTM.m[row][col] = r.readFloat();
    }
}

void S3DModifierSkin::loadVertexList(ChunkFileReader& r)
{
    const int64_t n = r.readInt();
    m_vertexStart.clear();
    m_vertexCount.clear();
    m_weight.clear();
    m_bone.clear();
    if (n <= 0) return reportWarning(kCaption, "loadVertexList: m_nbBone <= 0");
    if (!countFits(r, n, 2)) return reportWarning(kCaption, "loadVertexList: vertex count larger than its chunk");
    m_vertexStart.reserve(size_t(n));
    m_vertexCount.reserve(size_t(n));
    for (int64_t v = 0; v < n; ++v) {
        const int pairs = static_cast<uint16_t>(r.readShort());
        if (!countFits(r, pairs, 6)) {
            reportWarning(kCaption, "loadVertexList: vertex entry larger than its chunk");
            break;
        }
        m_vertexStart.push_back(uint32_t(m_weight.size()));
        m_vertexCount.push_back(uint16_t(pairs));
        for (int k = 0; k < pairs; ++k) {
            m_weight.push_back(r.readFloat());
            m_bone.push_back(uint16_t(r.readShort()));
        }
    }
}

const char* S3DModifierSkin::getBoneName(int i) const
{
    if (m_bones.empty()) return reportWarning(kCaption, "getBoneName: no bone", "NULL");
    if (i < 0 || i >= getNbBone()) return reportWarning(kCaption, "getBoneName: not so much bone", "NULL");
    return m_bones[size_t(i)].name.getName() ? m_bones[size_t(i)].name.getName() : "NULL";
}

void S3DModifierSkin::setBoneMatrix(const Matrix* worldMatrix, int i)
{
    if (m_bones.empty()) return reportWarning(kCaption, "setBoneMatrix: no bone");
    if (i < 0 || i >= getNbBone()) return reportWarning(kCaption, "setBoneMatrix: not so much bone");
    m_bones[size_t(i)].pWorld = worldMatrix;
}

const Matrix* S3DModifierSkin::getBoneMatrix(int i) const
{
    if (i < 0 || i >= getNbBone())
        return reportWarning(kCaption, "getBoneMatrix: not so much bone", static_cast<const Matrix*>(nullptr));
    return &m_boneMatrix[size_t(i)];
}

void S3DModifierSkin::prepare()
{
    for (size_t b = 0; b < m_bones.size(); ++b) {
        const Bone& bone = m_bones[b];
        if (!bone.pWorld) continue;
        Matrix& m = m_boneMatrix[b];
        Matrix::multiply(m, bone.offset, *bone.pWorld);
        m.multiply(m_skinTMInverse);
    }
}

Point3D S3DModifierSkin::deformVertex(const Point3D& p, int vertexIndex) const
{
    if (vertexIndex < 0 || vertexIndex >= getNbVertex()) return p;
    const int n = m_vertexCount[size_t(vertexIndex)];
    const size_t start = m_vertexStart[size_t(vertexIndex)];
    if (n == 0) return p;
    if (n == 1) return p + (m_boneMatrix[m_bone[start]].transform(p) - p) * m_weight[start];
    Point3D sum;
    for (size_t k = start; k < start + size_t(n); ++k) sum += m_boneMatrix[m_bone[k]].transform(p) * m_weight[k];
    return sum;
}

void S3DModifierSkin::apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert)
{
    // deformVertex over the array, with the entries' arrays read through local pointers (the stores to
    // `out` would otherwise make them reload every vertex).
    const int withEntry = std::min(count, getNbVertex());
    const uint32_t* const start = m_vertexStart.data();
    const uint16_t* const nbPair = m_vertexCount.data();
    const float* const weight = m_weight.data();
    const uint16_t* const bone = m_bone.data();
    const Matrix* const matrix = m_boneMatrix.data();
    for (int i = 0; i < count; ++i) {
        const Point3D p = in[i];
        Point3D d = p;
        if (i < withEntry && nbPair[i] != 0) {
            const size_t k0 = start[i], n = nbPair[i];
            if (n == 1) {
                d = p + (matrix[bone[k0]].transform(p) - p) * weight[k0];
            } else {
                d = Point3D{};
                for (size_t k = k0; k < k0 + n; ++k) d += matrix[bone[k]].transform(p) * weight[k];
            }
        }
        out[i] = !weights ? d : softBlend(p, d, invert ? 1.0f - weights[i] : weights[i]);
    }
}
