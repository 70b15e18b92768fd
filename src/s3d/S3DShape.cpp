#include "s3d/S3DShape.h"

#include "s3d/L3xFormat.h"
#include "s3d/S3DCamera.h"
#include "s3d/L3xRead.h"

std::unique_ptr<S3DShape> S3DShape::create(int kind)
{
    if (kind < 1 || kind > 3) return nullptr;
    return std::unique_ptr<S3DShape>(new S3DShape(kind));
}

void S3DShape::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        if (child.getIdentifier() == kL3xShapeCommon) loadCommon(child);
        else if (child.getIdentifier() == kL3xShapeKindData && m_kind != 1) m_kindData = readPayload(child);
    }
    checkChannels(caption().c_str());
}

void S3DShape::loadCommon(ChunkFileReader& r)
{
    ChunkFileReader child, item;
    while (r.nextChild(child)) {
        if (loadCommonChild(child)) continue;
        if (child.getIdentifier() == kL3xOption0) {
            m_option = child.readInt();
        } else if (child.getIdentifier() == kL3xVertexData) {
            const std::string cap = caption();
            while (child.nextChild(item)) {
                switch (item.getIdentifier()) {
                case kL3xVertexPositions: loadPositions(item, cap.c_str()); break;
                case kL3xVertexWeights: loadWeights(item, cap.c_str()); break;
                case kL3xVertexExtra: loadVertexValues(item, cap.c_str()); break;
                default: break;
                }
            }
        }
    }
}

void S3DShape::update(float time, const S3DCamera* camera)
{
    (void)camera;
    m_header.m_node.update(time);
    for (auto& m : m_modifiers) m->update(time);
}

void S3DShape::prepare(const S3DCamera& camera)
{
    if (m_projected.size() != m_vertices.size()) return;
    // The modifier stack deforms the rest positions in object space.
    if (!m_stack.empty()) m_modifierStack.applyObjectSpace(*this);
    Matrix toCamera;
    Matrix::multiply(toCamera, m_header.m_node.matrix(), camera.m_viewMatrix);
    for (size_t i = 0; i < m_vertices.size(); ++i) {
        m_projected[i] = projectVertex(camera, toCamera.transform(m_vertices[i]));
        // A hidden shape keeps its points out of the picture.
        if (!m_visible) m_projected[i].clip |= S3DProjectedVertex::kClipNear;
    }
}

void S3DShape::addDepthItems(S3DDepthLists& lists)
{
    S3DSubMaterial* sub = m_pMaterial ? m_pMaterial->getSubMaterial(0) : nullptr;
    if (!sub || m_vertices.empty()) return;
    m_projected.assign(m_vertices.size(), S3DProjectedVertex{});
    for (const S3DProjectedVertex& p : m_projected) lists.m_points.push_back({&p, &sub->m_palette[255]});
}
