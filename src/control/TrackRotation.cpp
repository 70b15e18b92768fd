#include "control/TrackRotation.h"

#include <cmath>

namespace {
const float kTurn = 6.2831855f;
const float kPi = 3.1415927f;
const float kHalfPi = 1.5707964f;
// Angles above this count as a whole turn (multi-turn path).
const float kNearTurn = 6.265732f;

// A negative angle flips the sign of angle and axis.
AngleAxis nonNegative(AngleAxis a)
{
    if (a.angle < 0.0f) a = AngleAxis(-a.x, -a.y, -a.z, -a.angle);
    return a;
}

Quaternion squad(const Quaternion& p, const Quaternion& a, const Quaternion& b, const Quaternion& q, float u)
{
    const Quaternion q1 = Quaternion::slerp(p, q, u);
    const Quaternion q2 = Quaternion::slerp(a, b, u);
    return Quaternion::slerp(q1, q2, 2.0f * u * (1.0f - u));
}

Quaternion exponentialOf(const Point3D& v)
{
    Quaternion q(v.x, v.y, v.z, 0.0f);
    q.exponential();
    return q;
}
} // namespace

// --- linear ----------------------------------------------------------------------------------

void TrackRotationLinear::prepare()
{
    if (m_keys.empty()) return trackReport("prepare: no key");
    for (TrackRotationKey& key : m_keys) {
        key.rotation = nonNegative(key.rotation);
        key.q = Quaternion::fromAngleAxis(key.rotation);
    }
}

Quaternion TrackRotationLinear::getValue(float time)
{
    const int n = static_cast<int>(m_keys.size());
    if (n == 0) {
        trackReport("getValue: no key");
        return Quaternion();
    }
    if (n == 1 || time <= m_keys[0].time) return m_keys[0].q;
    if (time >= m_keys[n - 1].time) return m_keys[n - 1].q;
    const int i = trackSegmentEarlier(m_keys, time);
    float dt = m_keys[i + 1].time - m_keys[i].time;
    if (dt == 0.0f) {
        trackReport("interval equal to 0");
        dt = 1e-7f;
    }
    return Quaternion::slerpShortest(m_keys[i].q, m_keys[i + 1].q, (time - m_keys[i].time) / dt);
}

// --- TCB -------------------------------------------------------------------------------------

void TrackRotationTCB::setKeyParameters(int index, float bias, float continuity, float tension, float easeFrom,
                                        float easeTo)
{
    if (!checkSet(index)) return;
    TrackRotationTCBKey& key = m_keys[index];
    key.bias = bias;
    key.continuity = continuity;
    key.tension = tension;
    key.easeFrom = easeFrom;
    key.easeTo = easeTo;
}

void TrackRotationTCB::prepare()
{
    const int n = static_cast<int>(m_keys.size());
    if (n == 0) return trackReport("prepare: no key");
    m_simple = true;
    for (int i = 0; i < n; ++i) {
        TrackRotationTCBKey& key = m_keys[i];
        const AngleAxis a = nonNegative(key.rotation);
        // Whole turns, bounded so that a wild angle from a file cannot overflow the count.
        const float turns = std::floor(a.angle / kTurn);
        key.revolutions = turns >= 0.0f && turns < 1e6f ? static_cast<int>(turns) : (turns >= 1e6f ? 1000000 : 0);
        key.angle = a.angle - static_cast<float>(key.revolutions) * kTurn;
        key.axis = Point3D(a.x, a.y, a.z);
        key.q = Quaternion::fromAngleAxis(a.x, a.y, a.z, key.angle);
        if (i > 0) {
            key.q = Quaternion::multiply(m_keys[i - 1].q, key.q);
            if (key.revolutions != 0 || key.angle > kNearTurn) m_simple = false;
        }
    }
    // The logarithm of a key's own rotation: half its angle about its axis, folded into
    // (-pi/2, pi/2); a key with whole turns counts as a quarter turn.
    auto logOf = [this](int i) {
        const TrackRotationTCBKey& key = m_keys[i];
        float h = key.angle / 2.0f;
        if (h >= kHalfPi) h = h - kPi;
        if (key.revolutions != 0) h = kPi / 2.0f;
        return key.axis * h;
    };
    for (int i = 0; i < n; ++i) {
        TrackRotationTCBKey& key = m_keys[i];
        const bool hasPrev = i > 0, hasNext = i < n - 1;
        Point3D lin = hasPrev ? logOf(i) : Point3D();
        Point3D lout = hasNext ? logOf(i + 1) : Point3D();
        if (!hasPrev) lin = lout;
        if (!hasNext) lout = lin;
        float adjIn = 1.0f, adjOut = 1.0f;
        const float span = hasPrev && hasNext ? m_keys[i + 1].time - m_keys[i - 1].time : 0.0f;
        if (span != 0.0f) {
            const float k = 2.0f / span;
            const float ain = k * (key.time - m_keys[i - 1].time);
            const float aout = k * (m_keys[i + 1].time - key.time);
            const float c = std::fabs(key.continuity);
            adjIn = c + ain - c * ain;
            adjOut = c + aout - c * aout;
        }
        const float T = key.tension, C = key.continuity, B = key.bias;
        const float wa = 1.0f - adjIn * (1 - T) * (1 - C) * (1 + B) / 2;
        const float wb = -adjIn * (1 - T) * (1 + C) * (1 - B) / 2;
        const float wc = adjOut * (1 - T) * (1 + C) * (1 + B) / 2;
        const float wd = adjOut * (1 - T) * (1 - C) * (1 - B) / 2 - 1.0f;
        key.outControl = Quaternion::multiply(key.q, exponentialOf((lin * wc + lout * wd) * 0.5f));
        key.inControl = Quaternion::multiply(key.q, exponentialOf((lin * wa + lout * wb) * 0.5f));
    }
}

// A segment whose end key turns a whole turn or more: a pure rotation about the end key's axis
// by the proportional share of the total angle, entered and left through half-turn squads so
// that the controls of both keys still shape the ends.
Quaternion TrackRotationTCB::multiTurnValue(int i, float u) const
{
    const TrackRotationTCBKey& a = m_keys[i];
    const TrackRotationTCBKey& b = m_keys[i + 1];
    const float total = static_cast<float>(b.revolutions) * kTurn + b.angle;
    const float part = kPi / total;
    const Point3D& axis = b.axis;
    if (u < part) {
        const Quaternion half = Quaternion::multiply(a.q, Quaternion::fromAngleAxis(axis.x, axis.y, axis.z, kPi));
        return squad(a.q, a.outControl, half, half, u / part);
    }
    if (u > 1.0f - part) {
        // Built from the end key so that its sign matches the end quaternion.
        const Quaternion half = Quaternion::multiply(b.q, Quaternion::fromAngleAxis(axis.x, axis.y, axis.z, -kPi));
        return squad(half, half, b.inControl, b.q, (u - (1.0f - part)) / part);
    }
    const float angle = std::fmod(u * total, kTurn);
    return Quaternion::multiply(a.q, Quaternion::fromAngleAxis(axis.x, axis.y, axis.z, angle));
}

Quaternion TrackRotationTCB::getValue(float time)
{
    const int n = static_cast<int>(m_keys.size());
    if (n == 0) return Quaternion();
    if (n == 1 || time <= m_keys[0].time) return m_keys[0].q;
    if (time >= m_keys[n - 1].time) return m_keys[n - 1].q;
    const int i = trackSegmentEarlier(m_keys, time);
    const TrackRotationTCBKey& a = m_keys[i];
    const TrackRotationTCBKey& b = m_keys[i + 1];
    const float dt = b.time - a.time;
    const float u = ease(dt != 0.0f ? (time - a.time) / dt : 0.0f, a.easeFrom, b.easeTo);
    if (!m_simple && (b.revolutions != 0 || b.angle > kNearTurn)) return multiTurnValue(i, u);
    return squad(a.q, a.outControl, b.inControl, b.q, u);
}
