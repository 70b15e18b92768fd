// A triangle-mesh object: the shared geometry records plus texture vertices, a second point
// per vertex, faces with their texture faces, sub-material numbers and extra values, the six
// option values (2100 … 2105) and three texture layers. After loading, faces naming vertices
// that do not exist are dropped, so every face the scene keeps indexes its arrays safely.
#pragma once

#include "s3d/S3DGeometryObject.h"

class S3DCamera;

struct S3DTextureVertex {
    float u = 0.0f;
    float v = 0.0f;
};

struct S3DFace {
    uint16_t vertex[3] = {0, 0, 0};
    uint16_t textureVertex[3] = {0, 0, 0};
    uint16_t subMaterialNumber = 0;
    uint16_t extra = 0;
    S3DSubMaterial* pSubMaterial = nullptr;  // resolved by prepareMaterial
};

class S3DTriObject : public S3DGeometryObject {
public:
    enum { kNbOption = 6, kNbTextureLayer = 3 };

    S3DTriObject() : S3DGeometryObject("S3DTriObject") {}

    // The tri object item (chunk 101).
    void load(ChunkFileReader& r);
    // The node, then the modifiers' animation.
    void update(float time);
    void prepare(const S3DCamera& camera);
    // Gives every face its sub-material: the only one, or number modulo the count.
    void prepareMaterial();

    int getNbFace() const { return static_cast<int>(m_faces.size()); }
    bool isDepthSorted() const { return m_option[5] != 0; }

    std::vector<S3DTextureVertex> m_textureVertices;
    std::vector<Point3D> m_extraPoints;  // chunk 504, empty when absent
    std::vector<S3DFace> m_faces;
    bool m_hasTextureFaces = false;
    int32_t m_option[kNbOption] = {0, 0, 0, 1, 0, 0};
    S3DValueBlock m_textureLayers[kNbTextureLayer];
    bool m_hasMaterial = true;

private:
    void loadVertexData(ChunkFileReader& r);
    void loadFaceData(ChunkFileReader& r);
    // Drops faces whose vertices do not exist and texture faces naming missing texture vertices.
    void checkFaces();
};
