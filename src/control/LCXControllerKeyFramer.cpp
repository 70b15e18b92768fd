#include "control/LCXControllerKeyFramer.h"

#include "foundation/Report.h"

namespace {
const char* const kCaption = "LCXControllerKeyFramer";
constexpr uint16_t kBeatChunk = 10;
constexpr uint16_t kModelChunk = 11;
constexpr uint16_t kAccumulateChunk = 12;
} // namespace

void LCXControllerKeyFramer::load(ChunkFileReader& reader)
{
    ChunkFileReader chunk;
    while (reader.nextChild(chunk)) {
        switch (chunk.getIdentifier()) {
        case kBeatChunk: {
            const int32_t count = chunk.readInt();
            if (count <= 0) break;
            // Every beat takes 4 bytes: a count the chunk cannot hold is refused.
            if (static_cast<uint32_t>(count) > chunk.getRemaining() / 4) {
                reportWarning(kCaption, "load: nbBeat larger than its chunk");
                break;
            }
            m_beat.assign(size_t(count), 0.0f);
            for (float& beat : m_beat) beat = chunk.readFloat();
            break;
        }
        case kModelChunk:
            m_pModel = std::make_unique<TrackManagerFloat>();
            m_pModel->load(chunk);
            refreshEndValue();
            break;
        case kAccumulateChunk: m_accumulate = chunk.readInt() != 0; break;
        default: break;
        }
    }
}

void LCXControllerKeyFramer::save(ChunkFileWriterManager& manager) const
{
    ChunkFileWriter beats(&manager);
    beats.start(kBeatChunk);
    beats.writeInt(static_cast<int32_t>(m_beat.size()));
    for (float beat : m_beat) beats.writeFloat(beat);
    beats.close();
    if (m_pModel) {
        ChunkFileWriter model(&manager);
        model.start(kModelChunk);
        m_pModel->save(manager);
        model.close();
    }
    ChunkFileWriter accumulate(&manager);
    accumulate.start(kAccumulateChunk);
    accumulate.writeInt(m_accumulate ? 1 : 0);
    accumulate.close();
}

float LCXControllerKeyFramer::getValue(float t)
{
    if (!m_dirty) return m_value;
    m_dirty = false;
    m_value = 0.0f;
    // A model without keys plays as no model.
    TrackFloat* track = m_pModel ? m_pModel->getTrack() : nullptr;
    if (m_beat.empty() || !track || track->getNbKey() <= 0) return m_value;
    // The last beat at or before t; 0 for any t before the second beat.
    size_t i = 0;
    while (i + 1 < m_beat.size() && t >= m_beat[i + 1]) ++i;
    m_value = track->getValue(t - m_beat[i]);
    if (m_accumulate) m_value += float(i) * m_endValue;
    return m_value;
}

void LCXControllerKeyFramer::createBeatPosition(const LCXKeyFramerPoint* pPoint, int nbPoint)
{
    if (!pPoint) return reportWarning(kCaption, "createBeatPosition: pPoint NULL");
    if (nbPoint <= 0) return;
    if (size_t(nbPoint) != m_beat.size()) m_beat.assign(size_t(nbPoint), 0.0f);
    for (int i = 0; i < nbPoint; ++i) m_beat[size_t(i)] = pPoint[i].time;
}

void LCXControllerKeyFramer::setModel(const LCXKeyFramerPoint* pPoint, int nbPoint, int kind)
{
    if (!m_pModel || m_pModel->getType() != kind) m_pModel = std::make_unique<TrackManagerFloat>();
    if (kind == kKeyFramerLinear)
        createInterpolationModelLinear(pPoint, nbPoint);
    else if (kind == kKeyFramerBezier)
        createInterpolationModelBezier(pPoint, nbPoint);
    else
        createInterpolationModelHermite(pPoint, nbPoint);
    refreshEndValue();
}

TrackFloat* LCXControllerKeyFramer::prepareTrack(int kind, int nbPoint)
{
    if (!m_pModel) m_pModel = std::make_unique<TrackManagerFloat>();
    if (m_pModel->getType() != kind) m_pModel->create(kind);
    TrackFloat* track = m_pModel->getTrack();
    if (track && track->getNbKey() != nbPoint) {
        m_pModel->create(kind);
        track = m_pModel->getTrack();
        if (track) track->createKey(nbPoint);
    }
    return track;
}

void LCXControllerKeyFramer::createInterpolationModelLinear(const LCXKeyFramerPoint* pPoint, int nbPoint)
{
    if (!pPoint) return reportWarning(kCaption, "createInterpolationModelLinear: pPoint NULL");
    if (nbPoint <= 0) return;
    TrackFloat* track = prepareTrack(kKeyFramerLinear, nbPoint);
    if (!track) return;
    for (int i = 0; i < nbPoint; ++i) track->setKey(i, pPoint[i].time, pPoint[i].value);
    track->prepare();
    refreshEndValue();
}

void LCXControllerKeyFramer::createInterpolationModelHermite(const LCXKeyFramerPoint* pPoint, int nbPoint)
{
    if (!pPoint) return reportWarning(kCaption, "createInterpolationModelHermite: pPoint NULL");
    if (nbPoint <= 0) return;
    TrackFloat* track = prepareTrack(kKeyFramerHermite, nbPoint);
    if (!track) return;
    for (int i = 0; i < nbPoint; ++i) track->setKey(i, pPoint[i].time, pPoint[i].value);
    track->prepare();
    refreshEndValue();
}

void LCXControllerKeyFramer::createInterpolationModelBezier(const LCXKeyFramerPoint* pPoint, int nbPoint)
{
    if (!pPoint) return reportWarning(kCaption, "createInterpolationModelBezier: pPoint NULL");
    if (nbPoint <= 0) return;
    auto* track = static_cast<TrackFloatBezier*>(prepareTrack(kKeyFramerBezier, nbPoint));
    if (!track) return;
    for (int i = 0; i < nbPoint; ++i)
        track->setKey(i, pPoint[i].time, pPoint[i].value, pPoint[i].inType, pPoint[i].outType, 0.0f, 0.001f, 0.0f,
                      0.001f);
    track->prepare();
    refreshEndValue();
}

void LCXControllerKeyFramer::refreshEndValue()
{
    const TrackFloat* track = m_pModel ? m_pModel->getTrack() : nullptr;
    m_endValue = 0.0f;
    if (!track || track->getNbKey() <= 0) return;
    float time = 0.0f;
    track->getKey(track->getNbKey() - 1, time, m_endValue);
}
