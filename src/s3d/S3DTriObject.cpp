// What a tri object does once per scene: loading its record and checking its faces, giving the
// faces their sub-materials, and the drawing set-up (per-frame arrays, draw operations,
// outlines). Each frame's work is in S3DTriObjectDraw.cpp.
#include "s3d/S3DTriObject.h"

#include <algorithm>
#include <utility>

#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"

namespace {
// Line blend of a sub-material's blend mode: 0 normal, 3 subtract, any other add.
int lineMode(int blendMode) { return blendMode == 0 ? 0 : blendMode == 3 ? 2 : 1; }
} // namespace

void S3DTriObject::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        const uint16_t id = child.getIdentifier();
        if (loadCommonChild(child)) continue;
        if (id == kL3xVertexData) loadVertexData(child);
        else if (id == kL3xFaceData) loadFaceData(child);
        else if (id >= kL3xOption0 && id < kL3xOption0 + kNbOption) m_option[id - kL3xOption0] = child.readInt();
        else if (id >= kL3xTextureLayer0 && id < kL3xTextureLayer0 + kNbTextureLayer)
            m_textureLayers[id - kL3xTextureLayer0].load(child);
    }
    checkChannels(caption().c_str());
    checkFaces();
}

void S3DTriObject::loadVertexData(ChunkFileReader& r)
{
    const std::string cap = caption();
    ChunkFileReader item;
    while (r.nextChild(item)) {
        switch (item.getIdentifier()) {
        case kL3xVertexPositions: loadPositions(item, cap.c_str()); break;
        case kL3xVertexWeights: loadWeights(item, cap.c_str()); break;
        case kL3xVertexExtra: loadExtraPoints(item, cap.c_str()); break;
        case kL3xTextureVertices: loadTextureVertices(item, cap.c_str()); break;
        default: break;
        }
    }
}

void S3DTriObject::loadFaceData(ChunkFileReader& r)
{
    ChunkFileReader item;
    while (r.nextChild(item)) {
        const uint16_t id = item.getIdentifier();
        if (id == kL3xFaces) {
            const int f = readCount16(item);
            if (!countFits(item, f, 6)) {
                warn("load: face count larger than its chunk");
                continue;
            }
            m_faces.assign(size_t(f), S3DFace{});
            m_hasTextureFaces = false;
            for (S3DFace& face : m_faces)
                for (uint16_t& v : face.vertex) v = uint16_t(item.readShort());
            continue;
        }
        if (id != kL3xTextureFaces && id != kL3xFaceSubMaterials && id != kL3xFaceExtra) continue;
        const uint32_t bytesEach = id == kL3xTextureFaces ? 6 : 2;
        if (!countFits(item, getNbFace(), bytesEach)) {
            warn("load: face record shorter than the faces");
            continue;
        }
        for (S3DFace& face : m_faces) {
            if (id == kL3xTextureFaces)
                for (uint16_t& t : face.textureVertex) t = uint16_t(item.readShort());
            else if (id == kL3xFaceSubMaterials) face.subMaterialNumber = uint16_t(item.readShort());
            else face.extra = uint16_t(item.readShort());
        }
        if (id == kL3xTextureFaces) m_hasTextureFaces = !m_faces.empty();
    }
}

void S3DTriObject::checkFaces()
{
    const int nbVertex = getNbVertex();
    const auto missing = [nbVertex](const S3DFace& f) {
        return f.vertex[0] >= nbVertex || f.vertex[1] >= nbVertex || f.vertex[2] >= nbVertex;
    };
    const size_t before = m_faces.size();
    m_faces.erase(std::remove_if(m_faces.begin(), m_faces.end(), missing), m_faces.end());
    if (m_faces.size() != before) warn("load: faces name vertices that do not exist (dropped)");

    if (!m_hasTextureFaces) return;
    const int nbTexture = static_cast<int>(m_textureVertices.size());
    for (const S3DFace& f : m_faces) {
        if (f.textureVertex[0] < nbTexture && f.textureVertex[1] < nbTexture && f.textureVertex[2] < nbTexture)
            continue;
        m_hasTextureFaces = false;
        for (S3DFace& g : m_faces) std::fill(std::begin(g.textureVertex), std::end(g.textureVertex), 0);
        return warn("load: texture faces name texture vertices that do not exist (ignored)");
    }
}

void S3DTriObject::prepareMaterial()
{
    if (!m_pMaterial) return reportWarning(caption().c_str(), "prepareMaterial: m_pMaterial NULL");
    const int count = m_pMaterial->getCount();
    for (S3DFace& f : m_faces)
        f.pSubMaterial = count == 1 ? m_pMaterial->getSubMaterial(0)
                                    : count > 1 ? m_pMaterial->getSubMaterial(f.subMaterialNumber % count) : nullptr;
}

// --- drawing set-up ------------------------------------------------------------------------------

void S3DTriObject::setupDrawing()
{
    const size_t n = size_t(getNbVertex());
    m_normals.assign(n, Point3D{});
    m_cameraVertices.assign(n, Point3D{});
    m_cameraNormals.assign(n, Point3D{});
    m_projected.assign(n, S3DProjectedVertex{});
    sizeLightValues();
    m_facingAway.assign(m_faces.size(), 0);
    computeNormals(m_vertices, m_normals);
    buildDrawOperations();
}

void S3DTriObject::buildDrawOperations()
{
    m_drawOps.clear();
    m_lines.clear();
    if (!m_pMaterial) return;
    for (int s = 0; s < m_pMaterial->getCount(); ++s) {
        S3DSubMaterial* sub = m_pMaterial->getSubMaterial(s);
        if (sub->m_paletteEnabled == 0) continue;
        S3DDrawOp op;
        op.pSubMaterial = sub;
        op.kind = drawKindFor(hasWeightLink(), hasImageLink(), sub->m_opacityKind);
        op.secondPass = !(sub->m_opacityKind != 20 && sub->m_blendMode == 0 && sub->m_opacity == 1.0f);
        if ((sub->m_opacityKind == 1 || sub->m_opacityKind == 101) && op.kind != kDrawTwoValue &&
            op.kind != kDrawLinkedImage && sub->m_texture1.m_textureMode == 0) {
            // A texel darkens the lit colour through an inverted palette.
            sub->m_negative = 1;
            sub->m_paletteDirty = 1;
        }
        if (op.kind == kDrawTwoValue) {
            op.pWeight = findVertexChannel(weightLink().text.getName(), op.weightPerTextureVertex);
            op.invertWeight = weightLink().value2 != 0;
        }
        buildPolygons(sub, op.polygons);
        if (op.polygons.empty()) continue;
        for (const S3DPolygon& p : op.polygons)
            for (int k = 0; k < p.n; ++k)
                if (p.edges & (1 << k)) {
                    S3DLineItem line;
                    line.vertex[0] = &m_projected[p.vertex[k]];
                    line.vertex[1] = &m_projected[p.vertex[(k + 1) % p.n]];
                    line.colour = &sub->m_lineColour;
                    line.mode = lineMode(sub->m_blendMode);
                    m_lines.push_back(line);
                }
        m_drawOps.push_back(std::move(op));
    }
}

void S3DTriObject::buildPolygons(const S3DSubMaterial* sub, std::vector<S3DPolygon>& polygons) const
{
    const int32_t building = polygonBuilding();
    const auto triangle = [](const S3DFace& face, size_t f) {
        S3DPolygon p;
        p.face = uint16_t(f);
        for (int k = 0; k < 3; ++k) {
            p.vertex[k] = face.vertex[k];
            p.textureVertex[k] = face.textureVertex[k];
        }
        return p;
    };
    for (size_t f = 0; f < m_faces.size(); ++f) {
        const S3DFace& face = m_faces[f];
        if (face.pSubMaterial != sub) continue;
        S3DPolygon p = triangle(face, f);
        if (building == kPolygonsPaired && f % 2 == 1 && m_faces[f - 1].pSubMaterial == sub) continue;  // merged below
        if (building == kPolygonsPaired && f % 2 == 0 && f + 1 < m_faces.size() && m_faces[f + 1].pSubMaterial == sub) {
            // The pair's quad: the second face's far corner goes in at the edge they share.
            const S3DFace& g = m_faces[f + 1];
            bool merged = false;
            for (int k = 0; k < 3 && !merged; ++k) {
                const uint16_t a = face.vertex[k], b = face.vertex[(k + 1) % 3];
                for (int j = 0; j < 3 && !merged; ++j) {
                    if (g.vertex[j] != b || g.vertex[(j + 1) % 3] != a) continue;
                    const int far = (j + 2) % 3;
                    int c = 0;
                    for (int i = 0; i < 3; ++i) {
                        p.vertex[c] = face.vertex[i];
                        p.textureVertex[c++] = face.textureVertex[i];
                        if (i == k) {
                            p.vertex[c] = g.vertex[far];
                            p.textureVertex[c++] = g.textureVertex[far];
                        }
                    }
                    p.n = 4;
                    merged = true;
                }
            }
            if (!merged) {
                // Faces of a pair without a common edge stay two triangles.
                polygons.push_back(p);
                polygons.push_back(triangle(g, f + 1));
                continue;
            }
        }
        // Outlines: every edge, or the first two (the closing edge of a fan-split quad stays
        // unmarked).
        if (building == kPolygonsOutlined) p.edges = 0x7;
        else if (building == kPolygonsOutlinedOpen) p.edges = 0x3;
        polygons.push_back(p);
    }
}
