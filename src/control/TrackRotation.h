// Rotation tracks: linear (kind 1, absolute keys, shortest-arc slerp) and TCB (kind 3, keys
// relative to their predecessor, squad through control quaternions, whole turns supported).
#pragma once

#include "control/Track.h"
#include "foundation/AngleAxis.h"
#include "foundation/Quaternion.h"

class TrackRotation : public Track {
public:
    virtual Quaternion getValue(float time) = 0;
    // Sets a key's time, axis-angle and quaternion (prepare derives the quaternion again).
    virtual void setKey(int index, float time, const AngleAxis& rotation, const Quaternion& q) = 0;
    // The key's time and (prepared) quaternion.
    virtual void getKey(int index, float& time, Quaternion& value) const = 0;

protected:
    using Track::Track;
};

// A key's time and its rotation as authored (angle, axis x, y, z): how every rotation key starts
// in the file.
template <class IO, class K>
void rotationKeyFields(IO& io, K& key)
{
    io.time(key.time);
    io.field(key.rotation.angle);
    io.field(key.rotation.x);
    io.field(key.rotation.y);
    io.field(key.rotation.z);
}

struct TrackRotationKey {
    float time = 0.0f;
    AngleAxis rotation;
    Quaternion q;

    // Stored: time, then the rotation as authored (angle, axis x, y, z).
    template <class IO, class K>
    static void fields(IO& io, K& key)
    {
        rotationKeyFields(io, key);
    }
};

struct TrackRotationTCBKey {
    float time = 0.0f;
    // As authored (and saved); prepare derives the fields below without changing it, so that
    // preparing twice or saving a prepared track keeps the whole turns.
    AngleAxis rotation;
    Quaternion q;  // cumulative: the product of this key's and all earlier keys' rotations
    float bias = 0.0f;
    float continuity = 0.0f;
    float tension = 0.0f;
    float easeFrom = 0.0f;
    float easeTo = 0.0f;
    Quaternion outControl;
    Quaternion inControl;
    int revolutions = 0;
    // The key's own rotation with a non-negative angle below one turn.
    Point3D axis;
    float angle = 0.0f;

    // Stored: time, the rotation as authored (angle, axis), bias, continuity, tension, ease from, ease to.
    template <class IO, class K>
    static void fields(IO& io, K& key)
    {
        rotationKeyFields(io, key);
        tcbKeyFields(io, key);
    }
};

template <class Key, int FileKeyBytes>
class TrackRotationKeyed : public TrackKeyed<TrackRotation, Key, FileKeyBytes> {
public:
    void setKey(int index, float time, const AngleAxis& rotation, const Quaternion& q) override
    {
        if (!this->checkSet(index)) return;
        this->m_keys[index].time = time;
        this->m_keys[index].rotation = rotation;
        this->m_keys[index].q = q;
    }
    void setKey(int index, float time, const AngleAxis& rotation)
    {
        setKey(index, time, rotation, Quaternion::fromAngleAxis(rotation));
    }
    void getKey(int index, float& time, Quaternion& value) const override
    {
        time = 0.0f;
        value = Quaternion();
        if (!this->checkGet(index)) return;
        time = this->m_keys[index].time;
        value = this->m_keys[index].q;
    }

protected:
    using TrackKeyed<TrackRotation, Key, FileKeyBytes>::TrackKeyed;
};

class TrackRotationLinear : public TrackRotationKeyed<TrackRotationKey, 20> {
public:
    TrackRotationLinear() : TrackRotationKeyed(1) {}
    void prepare() override;
    Quaternion getValue(float time) override;

protected:
};

class TrackRotationTCB : public TrackRotationKeyed<TrackRotationTCBKey, 40> {
public:
    TrackRotationTCB() : TrackRotationKeyed(3) {}
    void prepare() override;
    Quaternion getValue(float time) override;
    // Tension, continuity, bias and eases of a key.
    void setKeyParameters(int index, float bias, float continuity, float tension, float easeFrom, float easeTo);
    // Whether no key after the first turns a whole turn or more (set by prepare).
    bool isSimple() const { return m_simple; }

protected:

private:
    Quaternion multiTurnValue(int i, float u) const;
    bool m_simple = true;
};
