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
