// Track managers: each owns one track of its value type, made from a kind code, and stores it
// in a chunk file as chunk 1 (the kind byte, then the track's own chunk 1).
#pragma once

#include <memory>

#include "control/TrackFloat.h"
#include "control/TrackPoint3D.h"
#include "control/TrackRotation.h"

template <class T>
class TrackManager {
public:
    virtual ~TrackManager() = default;

    // Replaces the held track by an empty one of that kind; an unknown kind reports and leaves
    // the manager empty.
    void create(int kind);
    // For every child chunk 1 of `reader`: the kind byte, then the track loads from that chunk.
    void load(ChunkFileReader& reader);
    // Writes nothing while the manager is empty.
    void save(ChunkFileWriterManager& manager) const;

    T* getTrack() const { return m_pTrack.get(); }
    // The held track's kind, 0 when empty.
    int getType() const { return m_pTrack ? m_pTrack->getType() : 0; }

protected:
    explicit TrackManager(const char* caption) : m_caption(caption) {}
    virtual std::unique_ptr<T> makeTrack(int kind) const = 0;

    std::unique_ptr<T> m_pTrack;

private:
    const char* m_caption;
};

class TrackManagerFloat : public TrackManager<TrackFloat> {
public:
    TrackManagerFloat() : TrackManager("TrackManagerFloat :") {}
    // The track's value, 0 when empty.
    float getValue(float time) const { return m_pTrack ? m_pTrack->getValue(time) : 0.0f; }

protected:
    std::unique_ptr<TrackFloat> makeTrack(int kind) const override;
};

class TrackManagerPoint3D : public TrackManager<TrackPoint3D> {
public:
    TrackManagerPoint3D() : TrackManager("TrackManagerPoint3D :") {}
    Point3D getValue(float time) const { return m_pTrack ? m_pTrack->getValue(time) : Point3D(); }

protected:
    std::unique_ptr<TrackPoint3D> makeTrack(int kind) const override;
};

class TrackManagerRotation : public TrackManager<TrackRotation> {
public:
    TrackManagerRotation() : TrackManager("TrackManagerRotation :") {}
    Quaternion getValue(float time) const { return m_pTrack ? m_pTrack->getValue(time) : Quaternion(); }

protected:
    std::unique_ptr<TrackRotation> makeTrack(int kind) const override;
};
