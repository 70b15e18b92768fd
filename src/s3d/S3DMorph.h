// The morph modifier (type 2): every vertex moves towards the same vertex of other meshes, the
// morph targets, by animated weights. Targets are named in the file and resolved to the rest
// positions of the scene's tri objects when the scene links.
#pragma once

#include <vector>

#include "s3d/S3DModifier.h"

class S3DModifierMorph : public S3DModifier {
public:
    S3DModifierMorph() : S3DModifier(2) {}

    // Child 50 with child 100: i16 count, then children 101, each with 50 (101 name, 102 weight)
    // and 250 (301 the weight track).
    void load(ChunkFileReader& r) override;
    // Each weight from its track (an empty track slot gives 0).
    void update(float time) override;
    // Rebuilds the active list: targets with a weight above 0.01 and positions to read.
    void prepare() override;
    // p' = p + Σ active w_t·(target_t[i] - p); a target shorter than the mesh leaves the vertices
    // it lacks alone.
    void apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert) override;
    Point3D deformVertex(const Point3D& p, int vertexIndex) const;

    // Makes nb targets (reported when nb <= 0).
    void create(int nb);
    int getNbTarget() const { return int(m_targets.size()); }
    const char* getTargetName(int i) const;
    void setTargetVertex(int i, const Point3D* positions, int count);
    float* targetWeight(int i) { return i >= 0 && i < getNbTarget() ? &m_targets[size_t(i)].weight : nullptr; }
    int getNbActive() const { return int(m_active.size()); }

private:
    struct Target {
        StringC name = "NULL";
        float weight = 0.0f;
        std::unique_ptr<TrackManagerFloat> pTrack;
        const Point3D* positions = nullptr;
        int count = 0;
        void load(ChunkFileReader& r);
    };
    void loadTargetList(ChunkFileReader& r);

    std::vector<Target> m_targets;
    std::vector<int> m_active;  // capacity kept for every target: no allocation per frame
};
