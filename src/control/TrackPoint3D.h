// Point3D tracks: linear (kind 1), hermite (2) and TCB (3), interpolated per component.
#pragma once

#include "control/Track.h"
#include "foundation/Point3D.h"

class TrackPoint3D : public Track {
public:
    virtual Point3D getValue(float time) = 0;
    virtual void setKey(int index, float time, const Point3D& value) = 0;
    virtual void getKey(int index, float& time, Point3D& value) const = 0;

protected:
    using Track::Track;
};

struct TrackPoint3DKey {
    float time = 0.0f;
    Point3D value;

    // Stored: time, value.
    template <class IO, class K>
    static void fields(IO& io, K& key)
    {
        io.time(key.time);
        io.field(key.value);
    }
};

struct TrackPoint3DTCBKey {
    float time = 0.0f;
    Point3D value;
    float bias = 0.0f;
    float continuity = 0.0f;
    float tension = 0.0f;
    float easeFrom = 0.0f;
    float easeTo = 0.0f;
    Point3D outTangent;
    Point3D inTangent;

    // Stored: time, value, bias, continuity, tension, ease from, ease to.
    template <class IO, class K>
    static void fields(IO& io, K& key)
    {
        io.time(key.time);
        io.field(key.value);
        io.field(key.bias);
        io.field(key.continuity);
        io.field(key.tension);
        io.field(key.easeFrom);
        io.field(key.easeTo);
    }
};

template <class Key, int FileKeyBytes>
class TrackPoint3DKeyed : public TrackKeyed<TrackPoint3D, Key, FileKeyBytes> {
public:
    void setKey(int index, float time, const Point3D& value) override
    {
        if (!this->checkSet(index)) return;
        this->m_keys[index].time = time;
        this->m_keys[index].value = value;
    }
    void getKey(int index, float& time, Point3D& value) const override
    {
        time = 0.0f;
        value = Point3D();
        if (!this->checkGet(index)) return;
        time = this->m_keys[index].time;
        value = this->m_keys[index].value;
    }

protected:
    using TrackKeyed<TrackPoint3D, Key, FileKeyBytes>::TrackKeyed;
};

class TrackPoint3DLinear : public TrackPoint3DKeyed<TrackPoint3DKey, 16> {
public:
    TrackPoint3DLinear() : TrackPoint3DKeyed(1) {}
    void prepare() override {}
    Point3D getValue(float time) override;

protected:
    TrackPoint3DLinear(int type) : TrackPoint3DKeyed(type) {}
};

class TrackPoint3DHermite : public TrackPoint3DLinear {
public:
    TrackPoint3DHermite() : TrackPoint3DLinear(2) {}
    Point3D getValue(float time) override;
};

class TrackPoint3DTCB : public TrackPoint3DKeyed<TrackPoint3DTCBKey, 36> {
public:
    TrackPoint3DTCB() : TrackPoint3DKeyed(3) {}
    void prepare() override;
    Point3D getValue(float time) override;
    using TrackPoint3DKeyed::setKey;
    // Sets every field of a key and resets both its tangents to 0.
    void setKey(int index, float time, const Point3D& value, float bias, float continuity, float tension,
                float easeFrom, float easeTo);

protected:
};
