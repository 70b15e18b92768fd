// What a tri object does every frame: update (node and modifiers), prepare (deformation hooks,
// camera space, normals, projection, light values, back-face test) and drawing (draw operations
// per sub-material and pass, polygons through the clipper when a corner needs it, outline
// lines). What is done once per scene is in S3DTriObject.cpp.
#include <algorithm>
#include <cmath>
#include <utility>

#include "foundation/Report.h"
#include "foundation/Saturate.h"
#include "s3d/S3DCamera.h"
#include "s3d/S3DDrawManager.h"
#include "s3d/S3DLight.h"
#include "s3d/S3DTriObject.h"
#include "s3d/S3DVertexBulk.h"

namespace {

Point3D cross(const Point3D& a, const Point3D& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

} // namespace

// --- update and deformation hooks ----------------------------------------------------------------

void S3DTriObject::update(float time)
{
    m_header.m_node.update(time);
    for (auto& m : m_modifiers) m->update(time);
}

bool S3DTriObject::applyModifierStack()
{
    // Skin and morph deformation and the modifier stack (in its stack order, with the soft
    // selection bindings) turn m_restVertices into m_vertices.
    m_modifierStack.applyObjectSpace(*this);
    return true;
}

bool S3DTriObject::applyWorldSpaceBindings(const S3DCamera& camera)
{
    // The world-space modifier bindings deform the camera-space points in place.
    m_modifierStack.applyWorldSpace(camera.m_viewMatrix, m_cameraVertices.data(), int(m_cameraVertices.size()));
    return true;
}

// --- prepare ------------------------------------------------------------------------------------

bool S3DTriObject::readsCameraNormals() const
{
    for (const S3DDrawOp& op : m_drawOps)
        if (op.pSubMaterial && op.pSubMaterial->m_texture1.m_environmentMap != 0) return true;
    return false;
}

void S3DTriObject::computeNormals(const std::vector<Point3D>& positions, std::vector<Point3D>& normals) const
{
    Point3D* const out = normals.data();
    const Point3D* const p = positions.data();
    std::fill(normals.begin(), normals.end(), Point3D{});
    // Area-weighted face normals (B - A) x (C - A) summed per vertex, in face order.
    for (const S3DFace& f : m_faces) {
        const Point3D& a = p[f.vertex[0]];
        const Point3D n = cross(p[f.vertex[1]] - a, p[f.vertex[2]] - a);
        for (uint16_t v : f.vertex) out[v] = out[v] + n;
    }
    selectNormalize(simdLevel())(out, normals.size());
}

void S3DTriObject::computeOpacityMap()
{
    float* const opacity = opacityMap();
    const S3DSubMaterial* sub = m_pMaterial->getSubMaterial(0);
    const S3DTextureMap& map = sub->m_texture3;
    const S3DTexture32* texture = map.getTexture();
    if (!texture || !texture->isPowerOfTwo()) return;
    const RasterTexture& t = texture->raster();
    for (size_t i = 0; i < m_textureVertices.size(); ++i) {
        float u = m_textureVertices[i].u, v = m_textureVertices[i].v;
        if (map.hasUVMatrix()) map.transformUV(u, v, u, v);
        const uint32_t x = uint32_t(saturateToInt(std::floor(u * float(t.width)))) & t.maskU;
        const uint32_t y = uint32_t(saturateToInt(std::floor((1.0f - v) * float(t.height)))) & t.maskV;
        const uint32_t c = t.pixels[(y << t.shiftU) + x];
        // 0.0013071896 = 1 / 765: the texel's mean of red, green and blue as 0 ... 1.
        opacity[i] = float((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) * 0.0013071896f;
    }
}

void S3DTriObject::computeLightValues()
{
    float* const lightning = lightValues();
    if (!lightning) return;
    // Lights in the object's own space: positions through the inverse world matrix.
    const Matrix inverse = m_header.m_node.matrix().inverse();
    const S3DLightRowFn lightRow = selectLightRow(simdLevel());
    bool first = true;
    for (const S3DLight* light : m_lights) {
        if (!light) continue;
        S3DObjectLight o;
        o.type = light->m_type;
        o.nearAttenuation = light->m_nearAttenuation;
        o.farAttenuation = light->m_farAttenuation;
        o.intensity = light->m_intensity;
        o.hotspot = light->m_hotspot;
        o.falloff = light->m_falloff;
        o.position = inverse.transform(light->m_worldPosition);
        if (light->usesTarget()) {
            const Point3D target = inverse.transform(light->m_targetWorldPosition);
            o.direction = normalizedOrZero(target - o.position);
            if (light->m_type == 3) o.depthAlong = Matrix::lookAt(o.position, target, 0.0f);
        }
        // The first light writes (held to at most 1; a directional one to 0.001 .. 1), every
        // further one adds and the sum is held to 0.001 .. 1.
        const S3DLightCombine combine = !first ? S3DLightCombine::Add
                                        : o.type == 3 ? S3DLightCombine::FirstDirectional
                                                      : S3DLightCombine::First;
        lightRow(o, m_vertices.data(), m_normals.data(), lightning, m_vertices.size(), combine);
        first = false;
    }
}

void S3DTriObject::prepare(const S3DCamera& camera)
{
    m_hasMaterial = m_pMaterial && m_pMaterial->getCount() > 0;
    if (!m_visible || !m_hasMaterial || m_projected.size() != m_vertices.size()) return;

    // 1. Channels that come from textures (the opacity map, once asked for).
    if (opacityMap()) computeOpacityMap();
    // 2. Skin, morph and the modifier stack, in object space.
    const bool stackMoved = !m_stack.empty() && applyModifierStack();
    // 3. Camera space: p' = p (world view).
    Matrix toCamera;
    Matrix::multiply(toCamera, m_header.m_node.matrix(), camera.m_viewMatrix);
    const size_t nbVertex = m_vertices.size();
    {
        const Point3D* const in = m_vertices.data();
        Point3D* const out = m_cameraVertices.data();
        for (size_t i = 0; i < nbVertex; ++i) out[i] = toCamera.transform(in[i]);
    }
    // 4. World-space modifiers, in camera space.
    const bool wsMoved = !m_wsBindings.empty() && applyWorldSpaceBindings(camera);
    // 5. Normals: from the moved positions, or turned with the rotation part. Camera-space
    // normals only feed environment maps, so they are made only for an object that has one.
    if (stackMoved) computeNormals(m_vertices, m_normals);
    if (readsCameraNormals()) {
        if (wsMoved) {
            computeNormals(m_cameraVertices, m_cameraNormals);
        } else {
            const Point3D* const in = m_normals.data();
            Point3D* const out = m_cameraNormals.data();
            for (size_t i = 0; i < m_normals.size(); ++i) out[i] = toCamera.transformVector(in[i]);
            selectNormalize(simdLevel())(out, m_normals.size());
        }
    }

    // 6. Projection, with a one-pixel guard band (stored field by field: a whole-struct copy of
    // the returned value goes through overlapping stack loads).
    for (size_t i = 0; i < nbVertex; ++i) {
        const S3DProjectedVertex p = projectVertex(camera, m_cameraVertices[i]);
        S3DProjectedVertex& q = m_projected[i];
        q.x = p.x;
        q.y = p.y;
        q.w = p.w;
        q.clip = p.clip;
    }

    // 7. Light values.
    computeLightValues();

    // 8. Back-face test. A face whose (B - A) x (C - A) points towards the eye (N . A < 0) faces
    // away: those are the faces whose corners run clockwise on the screen, which the filler's
    // span rule does not fill.
    selectFacing(simdLevel())(m_cameraVertices.data(), m_faces.data(), m_faces.size(), m_facingAway.data());
    // 9. The texture layers (chunks 2200 … 2202) carry no per-frame work of their own.
}

// --- drawing ------------------------------------------------------------------------------------

void S3DTriObject::drawPolygon(S3DDrawManager& manager, PolyFiller& filler, const S3DDrawOp& op,
                               const S3DPolygon& polygon, int kind)
{
    const float* const lightning = lightValues();
    const bool away = m_facingAway[polygon.face];
    if (!lightning || (away && op.pSubMaterial->m_twoSided == 0)) return;
    // A face drawn from behind takes its first and third corners exchanged, which reverses its
    // winding (for a quad too: a b c d becomes c b a d).
    int order[4] = {0, 1, 2, 3};
    if (away) std::swap(order[0], order[2]);
    const int n = polygon.n;
    uint16_t vertex[4];
    uint8_t clip = 0;
    for (int c = 0; c < n; ++c) {
        vertex[c] = polygon.vertex[order[c]];
        clip |= m_projected[vertex[c]].clip;
    }

    // Left uninitialised: every corner drawn is written first.
    union Corners {
        Corners() {}
        RasterVertex out[S3DClipper::kMaxWork];
        S3DClipVertex in[S3DClipper::kMaxIn];
    };
    Corners screen, camera;
    RasterVertex* const out = screen.out;
    // Corners inside the guard band go to the filler as projected, positions first: a polygon
    // that fills no pixel (most of a dense mesh's) is passed over before its values are worked out.
    if (clip == 0) {
        for (int c = 0; c < n; ++c) {
            const S3DProjectedVertex& p = m_projected[vertex[c]];
            out[c].x = p.x;
            out[c].y = p.y;
            out[c].w = p.w;
        }
        if (!filler.beginPolygon(out, n)) return;
    }

    // Every corner carries the values of its vertex; each filler kind reads the ones it draws with.
    const bool textured = kindUsesTexture(kind);
    const S3DTextureMap& map = op.pSubMaterial->m_texture1;
    const S3DTexture32* texture = map.getTexture();
    const float texW = texture ? texture->getWidth() : 0.0f, texH = texture ? texture->getHeight() : 0.0f;
    for (int c = 0; c < n; ++c) {
        const int k = order[c];
        const uint16_t v = vertex[c];
        RasterValues& values = clip == 0 ? out[c].values : camera.in[c].values;
        values.light = lightning[v] * 255.0f;
        const float weight = op.pWeight ? op.pWeight[op.weightPerTextureVertex ? polygon.textureVertex[k] : v] : 1.0f;
        values.weight = op.invertWeight ? 255.0f - weight * 255.0f : weight * 255.0f;
        float u = 0.0f, t = 0.0f;
        if (textured) {
            if (map.m_environmentMap != 0) {
                u = (m_cameraNormals[v].x + 1.0f) * 0.5f;
                t = (m_cameraNormals[v].y + 1.0f) * 0.5f;
            } else if (m_hasTextureFaces) {
                const S3DTextureVertex& tv = m_textureVertices[polygon.textureVertex[k]];
                u = tv.u;
                t = tv.v;
            }
            if (map.hasUVMatrix()) map.transformUV(u, t, u, t);
            if (map.m_generator != 0) {
                u += map.m_generatorValue[0];
                t += map.m_generatorValue[1];
            }
            values.u = u * texW;
            values.v = (1.0f - t) * texH;
        } else {
            values.u = 0.0f;
            values.v = 0.0f;
        }
        if (clip != 0) camera.in[c].p = m_cameraVertices[v];
    }
    // The flat kinds: one index per face from its three light values: their mean light index
    // (sum × 255 / 3), with the factor a hair under 85 (84.9915) as the scenes were lit with; three
    // fully lit corners still give 254.97, index 255.
    const int flatIndex = !filler.usesFlatIndex()
                              ? 0
                              : int(std::lround((lightning[polygon.vertex[0]] + lightning[polygon.vertex[1]] +
                                                 lightning[polygon.vertex[2]]) *
                                                84.9915f));
    if (clip == 0) return filler.finishPolygon(out, flatIndex);
    const int m = manager.clipper().clip(camera.in, n, out);
    if (m > 0) filler.drawPolygon(out, m, flatIndex);
}

void S3DTriObject::drawOperation(S3DDrawManager& manager, int operation)
{
    const S3DDrawOp& op = m_drawOps[size_t(operation)];
    PolyFiller* filler = manager.filler(op.kind, op.pSubMaterial->raster());
    if (!filler) return;
    for (const S3DPolygon& p : op.polygons) drawPolygon(manager, *filler, op, p, op.kind);
}

void S3DTriObject::drawPolygonItem(S3DDrawManager& manager, int operation, int polygon, bool mixedList)
{
    if (!m_visible || !m_hasMaterial || operation < 0 || operation >= int(m_drawOps.size())) return;
    const S3DDrawOp& op = m_drawOps[size_t(operation)];
    if (polygon < 0 || polygon >= int(op.polygons.size())) return;
    const int kind = mixedList && op.kind == kDrawTwoValue ? int(kDrawGouraud) : op.kind;
    PolyFiller* filler = manager.filler(kind, op.pSubMaterial->raster());
    if (filler) drawPolygon(manager, *filler, op, op.polygons[size_t(polygon)], kind);
}

void S3DTriObject::drawFirstPass(S3DDrawManager& manager)
{
    if (!m_visible || !m_hasMaterial) return;
    for (size_t i = 0; i < m_drawOps.size(); ++i)
        if (!m_drawOps[i].secondPass) drawOperation(manager, int(i));
}

void S3DTriObject::drawSecondPass(S3DDrawManager& manager)
{
    if (!m_visible || !m_hasMaterial || isDepthSorted()) return;
    for (size_t i = 0; i < m_drawOps.size(); ++i)
        if (m_drawOps[i].secondPass) drawOperation(manager, int(i));
}

void S3DTriObject::drawOwnLists(S3DDrawManager& manager)
{
    if (!m_visible || !m_hasMaterial || isDepthSorted()) return;
    for (const S3DLineItem& l : m_lines) manager.drawLine(*l.vertex[0], *l.vertex[1], *l.colour, l.mode);
}

void S3DTriObject::addDepthItems(S3DDepthLists& lists)
{
    for (size_t i = 0; i < m_drawOps.size(); ++i) {
        const S3DDrawOp& op = m_drawOps[i];
        if (!op.secondPass) continue;
        for (size_t p = 0; p < op.polygons.size(); ++p) {
            S3DTriangleItem item;
            item.object = this;
            item.operation = int(i);
            item.polygon = int(p);
            for (int k = 0; k < 3; ++k) item.vertex[k] = &m_projected[op.polygons[p].vertex[k]];
            lists.m_triangles.push_back(item);
        }
    }
    lists.m_lines.insert(lists.m_lines.end(), m_lines.begin(), m_lines.end());
}
