#include "s3d/S3DMorph.h"

#include "s3d/L3xRead.h"

namespace {
const char* const kCaption = "S3DModifierMorph";
}

void S3DModifierMorph::load(ChunkFileReader& r)
{
    ChunkFileReader child, item;
    while (r.nextChild(child)) {
        if (child.getIdentifier() != kL3xModifierParams) continue;
        while (child.nextChild(item))
            if (item.getIdentifier() == kL3xMorphTargets) loadTargetList(item);
    }
}

void S3DModifierMorph::create(int nb)
{
    m_targets.clear();
    m_active.clear();
    if (nb <= 0) return reportWarning(kCaption, "create: nbTarget <= 0");
    m_targets.resize(size_t(nb));
    m_active.reserve(size_t(nb));
}

void S3DModifierMorph::loadTargetList(ChunkFileReader& r)
{
    const int count = readCount16(r);  // before counting the items that follow it
    const int n = clampItemCount(r, count, countItems(r, kL3xMorphTarget), kCaption, "loadTargetList");
    if (n <= 0) {
        m_targets.clear();
        return reportWarning(kCaption, "loadTargetList: m_nbTarget <= 0");
    }
    create(n);
    size_t next = 0;
    ChunkFileReader item;
    while (r.nextChild(item))
        if (item.getIdentifier() == kL3xMorphTarget && next < m_targets.size()) m_targets[next++].load(item);
}

void S3DModifierMorph::Target::load(ChunkFileReader& r)
{
    loadValuesAndTracks(
        r, kL3xMorphTargetValues, kL3xMorphTargetTracks,
        [this](ChunkFileReader& item) {
            if (item.getIdentifier() == kL3xMorphTargetName) item.readString(name);
            else if (item.getIdentifier() == kL3xMorphTargetWeight) weight = item.readFloat();
        },
        [this](ChunkFileReader& item) {
            if (item.getIdentifier() == kL3xMorphWeightTrack) loadTrack(item, pTrack);
        });
}

const char* S3DModifierMorph::getTargetName(int i) const
{
    if (i < 0 || i >= getNbTarget()) return reportWarning(kCaption, "getTargetName: not so much target", "NULL");
    const StringC& name = m_targets[size_t(i)].name;
    return name.getName() ? name.getName() : "NULL";
}

void S3DModifierMorph::setTargetVertex(int i, const Point3D* positions, int count)
{
    if (i < 0 || i >= getNbTarget()) return reportWarning(kCaption, "setTargetVertex: not so much target");
    m_targets[size_t(i)].positions = positions;
    m_targets[size_t(i)].count = positions ? count : 0;
}

void S3DModifierMorph::update(float time)
{
    for (Target& t : m_targets)
        if (t.pTrack) t.weight = t.pTrack->getValue(time);
}

void S3DModifierMorph::prepare()
{
    m_active.clear();
    for (int i = 0; i < getNbTarget(); ++i)
        if (m_targets[size_t(i)].weight > 0.01f && m_targets[size_t(i)].count > 0) m_active.push_back(i);
}

Point3D S3DModifierMorph::deformVertex(const Point3D& p, int vertexIndex) const
{
    Point3D sum = p;
    for (int t : m_active) {
        const Target& target = m_targets[size_t(t)];
        if (vertexIndex >= 0 && vertexIndex < target.count) sum += (target.positions[vertexIndex] - p) * target.weight;
    }
    return sum;
}

void S3DModifierMorph::apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert)
{
    for (int i = 0; i < count; ++i) {
        const Point3D d = deformVertex(in[i], i);
        out[i] = !weights ? d : softBlend(in[i], d, invert ? 1.0f - weights[i] : weights[i]);
    }
}
