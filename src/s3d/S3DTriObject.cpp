#include "s3d/S3DTriObject.h"

#include <algorithm>

#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"

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

void S3DTriObject::update(float time)
{
    m_header.m_node.update(time);
    for (auto& m : m_modifiers) m->update(time);
}

void S3DTriObject::prepareMaterial()
{
    if (!m_pMaterial) return reportWarning(caption().c_str(), "prepareMaterial: m_pMaterial NULL");
    const int count = m_pMaterial->getCount();
    for (S3DFace& f : m_faces)
        f.pSubMaterial = count == 1 ? m_pMaterial->getSubMaterial(0)
                                    : count > 1 ? m_pMaterial->getSubMaterial(f.subMaterialNumber % count) : nullptr;
}
