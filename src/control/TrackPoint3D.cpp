#include "control/TrackPoint3D.h"

#include "control/TrackInterpolation.h"

Point3D TrackPoint3DLinear::getValue(float time)
{
    return trackinterp::linearValue<TrackPoint3DKey, Point3D>(m_keys, time);
}

Point3D TrackPoint3DHermite::getValue(float time)
{
    return trackinterp::hermiteValue<TrackPoint3DKey, Point3D>(m_keys, time);
}

void TrackPoint3DLinear::readKey(ChunkFileReader& r, TrackPoint3DKey& key)
{
    key.time = static_cast<float>(r.readInt());
    key.value = r.readPoint3D();
}

void TrackPoint3DLinear::writeKey(ChunkFileWriter& w, const TrackPoint3DKey& key) const
{
    w.writeInt(fileTime(key.time));
    w.writePoint3D(key.value);
}

void TrackPoint3DTCB::prepare() { trackinterp::tcbPrepare(m_keys); }

Point3D TrackPoint3DTCB::getValue(float time)
{
    return trackinterp::tcbValue<TrackPoint3DTCBKey, Point3D>(m_keys, time);
}

void TrackPoint3DTCB::setKey(int index, float time, const Point3D& value, float bias, float continuity,
                             float tension, float easeFrom, float easeTo)
{
    if (!checkSet(index)) return;
    m_keys[index] = TrackPoint3DTCBKey{time, value, bias, continuity, tension, easeFrom, easeTo, {}, {}};
}

void TrackPoint3DTCB::readKey(ChunkFileReader& r, TrackPoint3DTCBKey& key)
{
    key.time = static_cast<float>(r.readInt());
    key.value = r.readPoint3D();
    key.bias = r.readFloat();
    key.continuity = r.readFloat();
    key.tension = r.readFloat();
    key.easeFrom = r.readFloat();
    key.easeTo = r.readFloat();
}

void TrackPoint3DTCB::writeKey(ChunkFileWriter& w, const TrackPoint3DTCBKey& key) const
{
    w.writeInt(fileTime(key.time));
    w.writePoint3D(key.value);
    w.writeFloat(key.bias);
    w.writeFloat(key.continuity);
    w.writeFloat(key.tension);
    w.writeFloat(key.easeFrom);
    w.writeFloat(key.easeTo);
}
