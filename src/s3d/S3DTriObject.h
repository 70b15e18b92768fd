// A triangle-mesh object: the shared geometry records plus texture vertices, a second point
// per vertex, faces with their texture faces, sub-material numbers and extra values, the six
// option values (2100 … 2105) and three texture layers. After loading, faces naming vertices
// that do not exist are dropped and channels of another length than the vertices are not used
// (S3DVertexData), so every face the scene keeps indexes its arrays safely.
// For drawing, each frame's per-vertex work (camera space, normals, projection, light values)
// goes into flat arrays sized once at set-up; faces are grouped into draw operations per
// sub-material and pass.
// The code is split by when it runs: S3DTriObject.cpp what is done once per scene (loading,
// sub-materials, drawing set-up: arrays, draw operations, outlines); S3DTriObjectDraw.cpp what
// is done every frame (update, prepare, drawing).
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
    // Kind 2: the channel of the weight (0 .. 1, per vertex or per texture vertex), inverted to
    // 1 - value; without one the weight is 1.
    const float* pWeight = nullptr;
    bool weightPerTextureVertex = false;
    bool invertWeight = false;
    std::vector<S3DPolygon> polygons;
};

// How faces become polygons (option 2101); any other value gives one triangle per face.
enum S3DPolygonBuilding : int32_t {
    kPolygonsPaired = 1,        // consecutive faces paired into one quad
    kPolygonsOutlined = 2,      // one per face, every edge outlined
    kPolygonsOutlinedOpen = 3,  // one per face, its first two edges outlined
};

class S3DTriObject : public S3DGeometryObject {
public:
    // The options are kept as read, chunk 2100 + index; 2101 and 2105 act (accessors below).
    enum { kNbOption = 6, kNbTextureLayer = 3 };
    enum { kOptionPolygonBuilding = 1, kOptionDepthSorted = 5 };

    S3DTriObject() : S3DGeometryObject("S3DTriObject") {}

    // Once per scene (S3DTriObject.cpp).
    // The tri object item (chunk 101).
    void load(ChunkFileReader& r);
    // Gives every face its sub-material: the only one, or number modulo the count.
    void prepareMaterial();
    // Sizes the per-frame arrays, computes the rest normals and builds the draw operations and
    // outline lines (after the materials are linked).
    void setupDrawing();

    // Every frame (S3DTriObjectDraw.cpp).
    // The node, then the modifiers' animation.
    void update(float time);
    // Channels, modifier stack, camera space, normals, projection, light values and the
    // back-face test for this frame (visible objects with a material only).
    void prepare(const S3DCamera& camera);
    // Opaque operations; then the transparent ones (skipped when depth-sorted); then the
    // object's outline lines (held by the depth-ordered lists when depth-sorted).
    void drawFirstPass(S3DDrawManager& manager);
    void drawSecondPass(S3DDrawManager& manager);
    void drawOwnLists(S3DDrawManager& manager);
    // One polygon of one draw operation (the depth-ordered lists draw items this way). In a
    // list that mixes triangles with points or lines, the two-value kind is drawn smoothly
    // shaded, without its weight.
    void drawPolygonItem(S3DDrawManager& manager, int operation, int polygon, bool mixedList = false);
    // The transparent polygons and the outlines of a depth-sorted object, as depth-ordered items.
    void addDepthItems(S3DDepthLists& lists);

    // A vertex channel by name (S3DVertexData::findChannel), reported under this object.
    const float* findVertexChannel(const char* name, bool& perTextureVertex)
    {
        return findChannel(name, perTextureVertex, caption().c_str());
    }

    int getNbFace() const { return static_cast<int>(m_faces.size()); }
    // Option 2101: how faces become polygons (S3DPolygonBuilding).
    int32_t polygonBuilding() const { return m_option[kOptionPolygonBuilding]; }
    // Option 2105: the object's second-pass polygons and outlines go through the depth-ordered lists.
    bool isDepthSorted() const { return m_option[kOptionDepthSorted] != 0; }
    // The shading block's two links, which choose drawing kinds 2 and 4 over the opacity kind.
    // The weight link is the first parameter block: value1 enables it, value2 inverts the
    // weight, its text names the vertex channel the weight comes from (kind 2). The image link
    // is the first texture layer: value1 enables it, and it holds the linked image (kind 4).
    const S3DValueBlock& weightLink() const { return m_paramBlocks[0]; }
    bool hasWeightLink() const { return weightLink().value1 != 0; }
    bool hasImageLink() const { return m_textureLayers[0].value1 != 0; }

    std::vector<S3DFace> m_faces;
    bool m_hasTextureFaces = false;
    int32_t m_option[kNbOption] = {0, 0, 0, 1, 0, 0};
    S3DValueBlock m_textureLayers[kNbTextureLayer];
    bool m_hasMaterial = true;

    // Per frame, recomputed by prepare.
    std::vector<Point3D> m_normals;         // object space, from the current positions
    std::vector<Point3D> m_cameraVertices;
    std::vector<Point3D> m_cameraNormals;   // made only for objects with an environment map
    std::vector<S3DProjectedVertex> m_projected;
    std::vector<uint8_t> m_facingAway;      // per face, set by the back-face test
    std::vector<S3DDrawOp> m_drawOps;
    std::vector<S3DLineItem> m_lines;

private:
    // Once per scene (S3DTriObject.cpp).
    void loadVertexData(ChunkFileReader& r);
    void loadFaceData(ChunkFileReader& r);
    // Drops faces whose vertices do not exist and texture faces naming missing texture vertices.
    void checkFaces();
    void buildDrawOperations();
    // The polygons of one sub-material by the polygon building option, with their outline edges.
    void buildPolygons(const S3DSubMaterial* sub, std::vector<S3DPolygon>& polygons) const;

    // Every frame (S3DTriObjectDraw.cpp).
    // Hooks for the deformations, called by prepare in their places. Each returns whether it
    // moved vertices (then normals are recomputed from the moved positions).
    // Skin and morph, then the modifier stack, in object space: m_restVertices -> m_vertices.
    bool applyModifierStack();
    // The world-space modifier bindings, on the camera-space positions.
    bool applyWorldSpaceBindings(const S3DCamera& camera);
    void computeNormals(const std::vector<Point3D>& positions, std::vector<Point3D>& normals) const;
    // Whether a draw operation maps its texture from the camera-space normals (environment map).
    bool readsCameraNormals() const;
    void computeLightValues();
    void computeOpacityMap();
    void drawOperation(S3DDrawManager& manager, int operation);
    // The polygon drawn as drawing kind `kind` (the operation's own, or the one it stands in for).
    void drawPolygon(S3DDrawManager& manager, PolyFiller& filler, const S3DDrawOp& op, const S3DPolygon& polygon,
                     int kind);
};
