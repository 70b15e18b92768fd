// Float tracks: linear (kind 1), hermite (2), TCB (3) and bezier (4).
#pragma once

#include "control/Track.h"

class TrackFloat : public Track {
public:
    virtual float getValue(float time) = 0;
    // Sets a key's time and value (a TCB or bezier key keeps its other fields).
    virtual void setKey(int index, float time, float value) = 0;
    // The key's time and value; zeros (and a report) for a bad index.
    virtual void getKey(int index, float& time, float& value) const = 0;

protected:
    using Track::Track;
};

struct TrackFloatKey {
    float time = 0.0f;
    float value = 0.0f;

    // Stored: time, value.
    template <class IO, class K>
    static void fields(IO& io, K& key)
    {
        io.time(key.time);
        io.field(key.value);
    }
};

struct TrackFloatTCBKey {
    float time = 0.0f;
    float value = 0.0f;
    float bias = 0.0f;
    float continuity = 0.0f;
    float tension = 0.0f;
    float easeFrom = 0.0f;
    float easeTo = 0.0f;
    float outTangent = 0.0f;
    float inTangent = 0.0f;

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

// Bezier tangent types of a key's in and out side.
enum TrackBezierType : int16_t {
    kBezierSmooth = 0,
    kBezierLinear = 1,
    kBezierStep = 2,
    kBezierFast = 3,
    kBezierSlow = 4,
    kBezierCustom = 5,
};

struct TrackFloatBezierKey {
    float time = 0.0f;
    float value = 0.0f;
    int16_t inType = kBezierSmooth;
    int16_t outType = kBezierSmooth;
    float inTangent = 0.0f;
    float inLength = 0.001f;
    float outTangent = 0.0f;
    float outLength = 0.001f;

    // Stored: time, value, then the in side (tangent, length, type) and the out side.
    template <class IO, class K>
    static void fields(IO& io, K& key)
    {
        io.time(key.time);
        io.field(key.value);
        io.field(key.inTangent);
        io.field(key.inLength);
        io.field(key.inType);
        io.field(key.outTangent);
        io.field(key.outLength);
        io.field(key.outType);
    }
};

// Shared key access of the float tracks (time and value of any key layout).
template <class Key, int FileKeyBytes>
class TrackFloatKeyed : public TrackKeyed<TrackFloat, Key, FileKeyBytes> {
public:
    void setKey(int index, float time, float value) override
    {
        if (!this->checkSet(index)) return;
        this->m_keys[index].time = time;
        this->m_keys[index].value = value;
    }
    void getKey(int index, float& time, float& value) const override
    {
        time = value = 0.0f;
        if (!this->checkGet(index)) return;
        time = this->m_keys[index].time;
        value = this->m_keys[index].value;
    }

protected:
    using TrackKeyed<TrackFloat, Key, FileKeyBytes>::TrackKeyed;
};

class TrackFloatLinear : public TrackFloatKeyed<TrackFloatKey, 8> {
public:
    TrackFloatLinear() : TrackFloatKeyed(1) {}
    void prepare() override {}
    float getValue(float time) override;

protected:
    TrackFloatLinear(int type) : TrackFloatKeyed(type) {}
};

class TrackFloatHermite : public TrackFloatLinear {
public:
    TrackFloatHermite() : TrackFloatLinear(2) {}
    float getValue(float time) override;
};

class TrackFloatTCB : public TrackFloatKeyed<TrackFloatTCBKey, 28> {
public:
    TrackFloatTCB() : TrackFloatKeyed(3) {}
    void prepare() override;
    float getValue(float time) override;
    using TrackFloatKeyed::setKey;
    // Sets every field of a key and resets both its tangents to 0.
    void setKey(int index, float time, float value, float bias, float continuity, float tension, float easeFrom,
                float easeTo);

protected:
};

class TrackFloatBezier : public TrackFloatKeyed<TrackFloatBezierKey, 28> {
public:
    TrackFloatBezier() : TrackFloatKeyed(4) {}
    void prepare() override;
    float getValue(float time) override;
    using TrackFloatKeyed::setKey;
    void setKey(int index, float time, float value, int inType, int outType, float inTangent, float inLength,
                float outTangent, float outLength);

protected:

private:
    float customValue(int i, float t, float u);
};
