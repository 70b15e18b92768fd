// The vertices of a tri object or shape and what it holds per vertex: current and rest
// positions, texture vertices and the per-vertex channels (soft-selection weights, a tri
// object's second point, a shape's value, and the two channels a tri object's frame computes:
// light values and the opacity map). The one rule for channels lives here: a channel holds
// exactly one value per vertex (the opacity map one per texture vertex). One loaded with
// another length (a later positions record changed the count) is reported once when its object
// finishes loading and is never used. Modifiers and drawing find channels through this class
// only: the modifier stack the stored ones (findStoredChannel), drawing all (findChannel).
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ChunkFile.h"
#include "foundation/Point3D.h"

struct S3DTextureVertex {
    float u = 0.0f;
    float v = 0.0f;
};

class S3DVertexData {
public:
    int getNbVertex() const { return static_cast<int>(m_vertices.size()); }

    // The "softSelection" weights; null when the object has none.
    const float* softSelection() const { return perVertex(m_softSelection); }
    // A tri object's second point per vertex (chunk 504); null when absent.
    const Point3D* extraPoints() const { return perVertex(m_extraPoints); }
    // A shape's value per vertex (chunk 504); null when absent.
    const int16_t* vertexValues() const { return perVertex(m_vertexValues); }
    // A stored per-vertex float channel by name ("softSelection"), one value per vertex; null
    // for any other name or a channel the object does not have. Silent: callers report.
    const float* findStoredChannel(const char* name) const;
    // Any float channel by name: "NULL" gives none silently; "lightning" (per vertex), a stored
    // one, or "opacityMap" (per texture vertex, which from then on is computed each frame; none
    // without texture vertices). Others are reported under `caption` as not found.
    const float* findChannel(const char* name, bool& perTextureVertex, const char* caption);
    // The light values, one per vertex once sized (a tri object's drawing set-up), written each frame.
    float* lightValues() { return m_lightning.size() == m_vertices.size() ? m_lightning.data() : nullptr; }
    const float* lightValues() const { return m_lightning.size() == m_vertices.size() ? m_lightning.data() : nullptr; }
    void sizeLightValues() { m_lightning.assign(m_vertices.size(), 1.0f); }
    // The opacity map, one value per texture vertex, once asked for by name; null before.
    float* opacityMap() { return m_opacityMap.empty() ? nullptr : m_opacityMap.data(); }

    std::vector<Point3D> m_vertices;      // current positions
    std::vector<Point3D> m_restVertices;  // the modifiers' input
    std::vector<S3DTextureVertex> m_textureVertices;  // indexed by texture faces, not by vertex
    Point3D m_boundsMin{-100.0f, -100.0f, -100.0f};
    Point3D m_boundsMax{100.0f, 100.0f, 100.0f};

protected:
    // The records of the vertex data chunk (501); each report goes under `caption`.
    // 502: an i16 count, then the positions (also the rest positions; the box follows them).
    void loadPositions(ChunkFileReader& r, const char* caption);
    // 503: one weight for each vertex loaded so far (nothing without vertices).
    void loadWeights(ChunkFileReader& r, const char* caption);
    // 504 of a tri object: one point per vertex loaded so far.
    void loadExtraPoints(ChunkFileReader& r, const char* caption);
    // 504 of a shape: one i16 per vertex loaded so far.
    void loadVertexValues(ChunkFileReader& r, const char* caption);
    // 505: an i16 count, then (u, v) pairs.
    void loadTextureVertices(ChunkFileReader& r, const char* caption);
    // Once the object's record is read: drops every channel whose length is not the vertex
    // count, with one report each.
    void checkChannels(const char* caption);

private:
    template <class T>
    const T* perVertex(const std::vector<T>& channel) const
    {
        return !channel.empty() && channel.size() == m_vertices.size() ? channel.data() : nullptr;
    }

    std::vector<float> m_softSelection;
    std::vector<Point3D> m_extraPoints;
    std::vector<int16_t> m_vertexValues;
    std::vector<float> m_lightning;   // the "lightning" channel: light value 0 .. 1 per vertex
    std::vector<float> m_opacityMap;  // the "opacityMap" channel, per texture vertex
};
