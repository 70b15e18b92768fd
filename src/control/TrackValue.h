// What the float and Point3D tracks share, written once over the value type: the value interface,
// the plain and TCB key layouts, and the key access every layout of a value track uses.
#pragma once

#include "control/Track.h"

template <class V>
class TrackOf : public Track {
public:
    using Value = V;
    virtual V getValue(float time) = 0;
    // Sets a key's time and value (a TCB or bezier key keeps its other fields).
    virtual void setKey(int index, float time, const V& value) = 0;
    // The key's time and value; zeros (and a report) for a bad index.
    virtual void getKey(int index, float& time, V& value) const = 0;

protected:
    using Track::Track;
};

template <class V>
struct TrackKeyOf {
    float time = 0.0f;
    V value{};

    // Stored: time, value.
    template <class IO, class K>
    static void fields(IO& io, K& key)
    {
        io.time(key.time);
        io.field(key.value);
    }
};

template <class V>
struct TrackTCBKeyOf {
    float time = 0.0f;
    V value{};
    float bias = 0.0f;
    float continuity = 0.0f;
    float tension = 0.0f;
    float easeFrom = 0.0f;
    float easeTo = 0.0f;
    V outTangent{};
    V inTangent{};

    // Stored: time, value, bias, continuity, tension, ease from, ease to.
    template <class IO, class K>
    static void fields(IO& io, K& key)
    {
        io.time(key.time);
        io.field(key.value);
        tcbKeyFields(io, key);
    }
};

// Key access of a value track (time and value of any key layout).
template <class Base, class Key, int FileKeyBytes>
class TrackValueKeyed : public TrackKeyed<Base, Key, FileKeyBytes> {
public:
    using V = typename Base::Value;
    void setKey(int index, float time, const V& value) override
    {
        if (!this->checkSet(index)) return;
        this->m_keys[index].time = time;
        this->m_keys[index].value = value;
    }
    void getKey(int index, float& time, V& value) const override
    {
        time = 0.0f;
        value = V();
        if (!this->checkGet(index)) return;
        time = this->m_keys[index].time;
        value = this->m_keys[index].value;
    }

protected:
    using TrackKeyed<Base, Key, FileKeyBytes>::TrackKeyed;
};
