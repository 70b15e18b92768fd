// The skin modifier (type 1): every vertex follows a weighted set of bone objects. Bones are
// named in the file and resolved to the bone objects' world matrices when the scene links.
#pragma once

#include <cstdint>
#include <vector>

#include "s3d/S3DModifier.h"

class S3DModifierSkin : public S3DModifier {
public:
    S3DModifierSkin() : S3DModifier(1) {}

    // Child 50: 70 skinTM; 100 the bone list (i16 count, then per bone a name and initTM);
    // 200 the vertex list (i32 count, then per vertex an i16 n and n pairs of weight and i16
    // bone index). A bone index past the bones acts as a bone that does not move.
    void load(ChunkFileReader& r) override;
    void update(float time) override { (void)time; }
    // boneMatrix = offset · bone world matrix · skinTMInverse for every bone (a bone not linked
    // stays at its reference pose: identity).
    void prepare() override;
    // Vertex i of `in` by entry i: no bone unchanged; one bone p + w(p·B - p); several Σ w(p·B).
    // Vertices without an entry are unchanged.
    void apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert) override;
    Point3D deformVertex(const Point3D& p, int vertexIndex) const;

    int getNbBone() const { return int(m_bones.size()); }
    int getNbVertex() const { return int(m_vertexStart.size()); }
    // "NULL" (with a report) when there is no such bone.
    const char* getBoneName(int i) const;
    // Stores the pointer to bone i's world matrix.
    void setBoneMatrix(const Matrix* worldMatrix, int i);
    const Matrix* getBoneMatrix(int i) const;
    void setObjectMatrix(const Matrix* worldMatrix) { m_pObjectMatrix = worldMatrix; }

    Matrix m_skinTM = Matrix::identity();
    Matrix m_skinTMInverse = Matrix::identity();

private:
    struct Bone {
        StringC name = "NULL";
        Matrix initTM = Matrix::identity();
        Matrix offset = Matrix::identity();
        const Matrix* pWorld = nullptr;
    };
    void loadBoneList(ChunkFileReader& r);
    void loadVertexList(ChunkFileReader& r);

    std::vector<Bone> m_bones;
    std::vector<Matrix> m_boneMatrix;  // one per bone, plus the identity for indices out of range
    // Entries: vertex v has m_vertexCount[v] pairs from m_vertexStart[v].
    std::vector<uint32_t> m_vertexStart;
    std::vector<uint16_t> m_vertexCount;
    std::vector<float> m_weight;
    std::vector<uint16_t> m_bone;
    const Matrix* m_pObjectMatrix = nullptr;
};
