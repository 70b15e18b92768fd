// A triangle-mesh object: the shared geometry records plus texture vertices, a second point
// per vertex, faces with their texture faces, sub-material numbers and extra values, the six
// option values (2100 … 2105) and three texture layers. After loading, faces naming vertices
// that do not exist are dropped and channels of another length than the vertices are not used
// (S3DVertexData), so every face the scene keeps indexes its arrays safely.
// For drawing, each frame's per-vertex work (camera space, normals, projection, light values)
// goes into flat arrays sized once at set-up; faces are grouped into draw operations per
// sub-material and pass.
#pragma once

#include "s3d/S3DDrawManager.h"
#include "s3d/S3DGeometryObject.h"

class S3DCamera;
class S3DDrawManager;
class S3DDepthLists;

struct S3DFace {
    uint16_t vertex[3] = {0, 0, 0};
    uint16_t textureVertex[3] = {0, 0, 0};
    uint16_t subMaterialNumber = 0;
    uint16_t extra = 0;
    S3DSubMaterial* pSubMaterial = nullptr;  // resolved by prepareMaterial
};

// What is drawn of one or two faces: a triangle, or the quad of a face pair; the face whose
// facing flag decides; the edges drawn as outlines (bit k: corner k to corner k + 1).
struct S3DPolygon {
    uint8_t n = 3;
    uint8_t edges = 0;
    uint16_t face = 0;
    uint16_t vertex[4] = {};
    uint16_t textureVertex[4] = {};
};

// The polygons of one sub-material in one pass and how they are drawn.
struct S3DDrawOp {
    S3DSubMaterial* pSubMaterial = nullptr;
    int kind = kDrawGouraud;
    bool secondPass = false;
    // Kind 2: the second value per vertex (or per texture vertex), inverted to 1 - value.
    const float* pSecondValue = nullptr;
    bool secondPerTextureVertex = false;
    bool invertSecond = false;
    std::vector<S3DPolygon> polygons;
};

class S3DTriObject : public S3DGeometryObject {
public:
    enum { kNbOption = 6, kNbTextureLayer = 3 };

    S3DTriObject() : S3DGeometryObject("S3DTriObject") {}

    // The tri object item (chunk 101).
    void load(ChunkFileReader& r);
    // The node, then the modifiers' animation.
    void update(float time);
    // Channels, modifier stack, camera space, normals, projection, light values and the
    // back-face test for this frame (visible objects with a material only).
    void prepare(const S3DCamera& camera);
    // Gives every face its sub-material: the only one, or number modulo the count.
    void prepareMaterial();
    // Sizes the per-frame arrays, computes the rest normals and builds the draw operations and
    // outline lines (once, after the materials are linked).
    void setupDrawing();

    // Opaque operations; then the transparent ones (skipped when depth-sorted); then the
    // object's outline lines (held by the depth-ordered lists when depth-sorted).
    void drawFirstPass(S3DDrawManager& manager);
    void drawSecondPass(S3DDrawManager& manager);
    void drawOwnLists(S3DDrawManager& manager);
    // One polygon of one draw operation (the depth-ordered lists draw items this way). In a
    // list that mixes triangles with points or lines, the two-value kind is drawn smoothly
    // shaded, without its second value.
    void drawPolygonItem(S3DDrawManager& manager, int operation, int polygon, bool mixedList = false);
    // The transparent polygons and the outlines of a depth-sorted object, as depth-ordered items.
    void addDepthItems(S3DDepthLists& lists);

    // A vertex channel by name: "lightning", "softSelection", "opacityMap" (per texture vertex)
    // or a named channel; "NULL" gives none silently, others not found are reported.
    const float* findVertexChannel(const char* name, bool& perTextureVertex);

    int getNbFace() const { return static_cast<int>(m_faces.size()); }
    bool isDepthSorted() const { return m_option[5] != 0; }

    std::vector<S3DFace> m_faces;
    bool m_hasTextureFaces = false;
    int32_t m_option[kNbOption] = {0, 0, 0, 1, 0, 0};
    S3DValueBlock m_textureLayers[kNbTextureLayer];
    bool m_hasMaterial = true;

    // Per frame, recomputed by prepare.
    std::vector<Point3D> m_normals;         // object space, from the current positions
    std::vector<Point3D> m_cameraVertices;
    std::vector<Point3D> m_cameraNormals;
    std::vector<S3DProjectedVertex> m_projected;
    std::vector<float> m_lightning;         // the "lightning" channel: light value 0 .. 1 per vertex
    std::vector<float> m_opacityMap;        // the "opacityMap" channel, per texture vertex
    std::vector<uint8_t> m_facingAway;      // per face, set by the back-face test
    std::vector<S3DDrawOp> m_drawOps;
    std::vector<S3DLineItem> m_lines;

private:
    // Hooks for the deformations, called by prepare in their places. Each returns whether it
    // moved vertices (then normals are recomputed from the moved positions).
    // Skin and morph, then the modifier stack, in object space: m_restVertices -> m_vertices.
    bool applyModifierStack();
    // The world-space modifier bindings, on the camera-space positions.
    bool applyWorldSpaceBindings(const S3DCamera& camera);

    void computeNormals(const std::vector<Point3D>& positions, std::vector<Point3D>& normals) const;
    void computeLightValues();
    void computeOpacityMap();
    void buildDrawOperations();
    void drawOperation(S3DDrawManager& manager, int operation);
    // The polygon drawn as drawing kind `kind` (the operation's own, or the one it stands in for).
    void drawPolygon(S3DDrawManager& manager, PolyFiller& filler, const S3DDrawOp& op, const S3DPolygon& polygon,
                     int kind);
    bool m_opacityMapWanted = false;

    void loadVertexData(ChunkFileReader& r);
    void loadFaceData(ChunkFileReader& r);
    // Drops faces whose vertices do not exist and texture faces naming missing texture vertices.
    void checkFaces();
};
