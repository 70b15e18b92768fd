#include "control/TrackManager.h"

#include "foundation/Report.h"

template <class T>
void TrackManager<T>::create(int kind)
{
    m_pTrack = makeTrack(kind);
    if (!m_pTrack) reportWarning(m_caption, "unknow type");
}

template <class T>
void TrackManager<T>::load(ChunkFileReader& reader)
{
    ChunkFileReader child;
    while (reader.nextChild(child)) {
        if (child.getIdentifier() != 1) continue;
        create(child.readByte());
        if (m_pTrack) m_pTrack->load(child);
    }
}

template <class T>
void TrackManager<T>::save(ChunkFileWriterManager& manager) const
{
    if (!m_pTrack) return;
    ChunkFileWriter w(&manager);
    w.start(1);
    w.writeByte(static_cast<uint8_t>(m_pTrack->getType()));
    m_pTrack->save(manager);
    w.close();
}

template class TrackManager<TrackFloat>;
template class TrackManager<TrackPoint3D>;
template class TrackManager<TrackRotation>;

std::unique_ptr<TrackFloat> TrackManagerFloat::makeTrack(int kind) const
{
    switch (kind) {
    case 1: return std::make_unique<TrackFloatLinear>();
    case 2: return std::make_unique<TrackFloatHermite>();
    case 3: return std::make_unique<TrackFloatTCB>();
    case 4: return std::make_unique<TrackFloatBezier>();
    default: return nullptr;
    }
}

std::unique_ptr<TrackPoint3D> TrackManagerPoint3D::makeTrack(int kind) const
{
    switch (kind) {
    case 1: return std::make_unique<TrackPoint3DLinear>();
    case 2: return std::make_unique<TrackPoint3DHermite>();
    case 3: return std::make_unique<TrackPoint3DTCB>();
    default: return nullptr;
    }
}

std::unique_ptr<TrackRotation> TrackManagerRotation::makeTrack(int kind) const
{
    switch (kind) {
    case 1: return std::make_unique<TrackRotationLinear>();
    case 3: return std::make_unique<TrackRotationTCB>();
    default: return nullptr;
    }
}
