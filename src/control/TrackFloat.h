// Float tracks: linear (kind 1), hermite (2), TCB (3) and bezier (4).
#pragma once

#include "control/TrackValue.h"

class TrackFloat : public TrackOf<float> {
protected:
    using TrackOf::TrackOf;
};

using TrackFloatKey = TrackKeyOf<float>;
using TrackFloatTCBKey = TrackTCBKeyOf<float>;

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

template <class Key, int FileKeyBytes>
using TrackFloatKeyed = TrackValueKeyed<TrackFloat, Key, FileKeyBytes>;

class TrackFloatLinear : public TrackFloatKeyed<TrackFloatKey, 8> {
public:
    TrackFloatLinear() : TrackValueKeyed(1) {}
    void prepare() override {}
    float getValue(float time) override;

protected:
    TrackFloatLinear(int type) : TrackValueKeyed(type) {}
};

class TrackFloatHermite : public TrackFloatLinear {
public:
    TrackFloatHermite() : TrackFloatLinear(2) {}
    float getValue(float time) override;
};

class TrackFloatTCB : public TrackFloatKeyed<TrackFloatTCBKey, 28> {
public:
    TrackFloatTCB() : TrackValueKeyed(3) {}
    void prepare() override;
    float getValue(float time) override;
    using TrackValueKeyed::setKey;
    // Sets every field of a key and resets both its tangents to 0.
    void setKey(int index, float time, float value, float bias, float continuity, float tension, float easeFrom,
                float easeTo);

protected:
};

class TrackFloatBezier : public TrackFloatKeyed<TrackFloatBezierKey, 28> {
public:
    TrackFloatBezier() : TrackValueKeyed(4) {}
    void prepare() override;
    float getValue(float time) override;
    using TrackValueKeyed::setKey;
    void setKey(int index, float time, float value, int inType, int outType, float inTangent, float inLength,
                float outTangent, float outLength);

protected:

private:
    float customValue(int i, float t, float u);
};
