#include "s3d/S3DVertexData.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/Report.h"
#include "s3d/L3xRead.h"
#include "s3d/S3DNode.h"

namespace {
// Drops `channel` when it is not one value per vertex, saying so once.
template <class T>
void dropUnlessPerVertex(std::vector<T>& channel, size_t nbVertex, const char* what, const char* caption)
{
    if (channel.empty() || channel.size() == nbVertex) return;
    reportWarning(caption, formatText("load: %zu %s for %zu vertices (not used)", channel.size(), what, nbVertex).c_str());
    channel.clear();
    channel.shrink_to_fit();
}
}

const float* S3DVertexData::findStoredChannel(const char* name) const
{
    if (name && std::strcmp(name, "softSelection") == 0) return softSelection();
    return nullptr;
}

const float* S3DVertexData::findChannel(const char* name, bool& perTextureVertex, const char* caption)
{
    perTextureVertex = false;
    if (isNoneName(name)) return nullptr;
    if (std::strcmp(name, "lightning") == 0) return lightValues();
    if (const float* stored = findStoredChannel(name)) return stored;
    if (std::strcmp(name, "opacityMap") == 0) {
        if (m_textureVertices.empty()) {
            reportWarning(caption, "vertexChannelOpacityMap needs mapping UV");
            return nullptr;
        }
        m_opacityMap.assign(m_textureVertices.size(), 0.0f);
        perTextureVertex = true;
        return m_opacityMap.data();
    }
    // The named channel records are kept as read; no named channel is found among them yet.
    return reportWarning(caption, (std::string("Can t find valid vertex channel: ") + name).c_str(),
                         static_cast<const float*>(nullptr));
}

void S3DVertexData::loadPositions(ChunkFileReader& r, const char* caption)
{
    const int n = readCount16(r);
    if (!countFits(r, n, 12)) return reportWarning(caption, "load: vertex count larger than its chunk");
    m_vertices.resize(size_t(n));
    for (Point3D& p : m_vertices) p = r.readPoint3D();
    m_restVertices = m_vertices;
    if (n == 0) return;
    m_boundsMin = m_boundsMax = m_vertices[0];
    for (const Point3D& p : m_vertices) {
        m_boundsMin = {std::min(m_boundsMin.x, p.x), std::min(m_boundsMin.y, p.y), std::min(m_boundsMin.z, p.z)};
        m_boundsMax = {std::max(m_boundsMax.x, p.x), std::max(m_boundsMax.y, p.y), std::max(m_boundsMax.z, p.z)};
    }
}

void S3DVertexData::loadWeights(ChunkFileReader& r, const char* caption)
{
    const int n = getNbVertex();
    if (n == 0) return;
    if (!countFits(r, n, 4)) return reportWarning(caption, "load: fewer weights than vertices");
    m_softSelection.resize(size_t(n));
    for (float& w : m_softSelection) w = r.readFloat();
}

void S3DVertexData::loadExtraPoints(ChunkFileReader& r, const char* caption)
{
    const int n = getNbVertex();
    if (n == 0) return;
    if (!countFits(r, n, 12)) return reportWarning(caption, "load: fewer extra points than vertices");
    m_extraPoints.resize(size_t(n));
    for (Point3D& p : m_extraPoints) p = r.readPoint3D();
}

void S3DVertexData::loadVertexValues(ChunkFileReader& r, const char* caption)
{
    const int n = getNbVertex();
    if (n == 0) return;
    if (!countFits(r, n, 2)) return reportWarning(caption, "load: fewer vertex values than vertices");
    m_vertexValues.resize(size_t(n));
    for (int16_t& v : m_vertexValues) v = r.readShort();
}

void S3DVertexData::loadTextureVertices(ChunkFileReader& r, const char* caption)
{
    const int m = readCount16(r);
    if (!countFits(r, m, 8)) return reportWarning(caption, "load: texture vertex count larger than its chunk");
    m_textureVertices.resize(size_t(m));
    for (S3DTextureVertex& t : m_textureVertices) {
        t.u = r.readFloat();
        t.v = r.readFloat();
    }
}

void S3DVertexData::checkChannels(const char* caption)
{
    const size_t n = m_vertices.size();
    dropUnlessPerVertex(m_softSelection, n, "softSelection weights", caption);
    dropUnlessPerVertex(m_extraPoints, n, "extra points", caption);
    dropUnlessPerVertex(m_vertexValues, n, "vertex values", caption);
}
