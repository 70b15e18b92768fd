// Point3D tracks: linear (kind 1), hermite (2) and TCB (3), interpolated per component.
#pragma once

#include "control/TrackValue.h"
#include "foundation/Point3D.h"

class TrackPoint3D : public TrackOf<Point3D> {
protected:
    using TrackOf::TrackOf;
};

using TrackPoint3DKey = TrackKeyOf<Point3D>;
using TrackPoint3DTCBKey = TrackTCBKeyOf<Point3D>;

template <class Key, int FileKeyBytes>
using TrackPoint3DKeyed = TrackValueKeyed<TrackPoint3D, Key, FileKeyBytes>;

class TrackPoint3DLinear : public TrackPoint3DKeyed<TrackPoint3DKey, 16> {
public:
    TrackPoint3DLinear() : TrackValueKeyed(1) {}
    void prepare() override {}
    Point3D getValue(float time) override;

protected:
    TrackPoint3DLinear(int type) : TrackValueKeyed(type) {}
};

class TrackPoint3DHermite : public TrackPoint3DLinear {
public:
    TrackPoint3DHermite() : TrackPoint3DLinear(2) {}
    Point3D getValue(float time) override;
};

class TrackPoint3DTCB : public TrackPoint3DKeyed<TrackPoint3DTCBKey, 36> {
public:
    TrackPoint3DTCB() : TrackValueKeyed(3) {}
    void prepare() override;
    Point3D getValue(float time) override;
    using TrackValueKeyed::setKey;
    // Sets every field of a key and resets both its tangents to 0.
    void setKey(int index, float time, const Point3D& value, float bias, float continuity, float tension,
                float easeFrom, float easeTo);

protected:
};
