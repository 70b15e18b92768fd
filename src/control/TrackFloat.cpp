#include "control/TrackFloat.h"

#include <algorithm>
#include <cmath>

#include "control/TrackInterpolation.h"
#include "foundation/PortableMath.h"

// --- linear and hermite ----------------------------------------------------------------------

float TrackFloatLinear::getValue(float time) { return trackinterp::linearValue<TrackFloatKey, float>(m_keys, time); }

float TrackFloatHermite::getValue(float time)
{
    return trackinterp::hermiteValue<TrackFloatKey, float>(m_keys, time);
}

// --- TCB -------------------------------------------------------------------------------------

void TrackFloatTCB::prepare() { trackinterp::tcbPrepare(m_keys); }

float TrackFloatTCB::getValue(float time) { return trackinterp::tcbValue<TrackFloatTCBKey, float>(m_keys, time); }

void TrackFloatTCB::setKey(int index, float time, float value, float bias, float continuity, float tension,
                           float easeFrom, float easeTo)
{
    if (!checkSet(index)) return;
    TrackFloatTCBKey& key = m_keys[index];
    key = TrackFloatTCBKey{time, value, bias, continuity, tension, easeFrom, easeTo, 0.0f, 0.0f};
}

// --- bezier ----------------------------------------------------------------------------------

void TrackFloatBezier::setKey(int index, float time, float value, int inType, int outType, float inTangent,
                              float inLength, float outTangent, float outLength)
{
    if (!checkSet(index)) return;
    m_keys[index] = TrackFloatBezierKey{time,      value,    static_cast<int16_t>(inType), static_cast<int16_t>(outType),
                                        inTangent, inLength, outTangent,                   outLength};
}

// Tangents are slopes (value per time unit). An in tangent is a backward slope: it points from
// the key towards the earlier key, so a straight line has in = -out.
void TrackFloatBezier::prepare()
{
    std::vector<TrackFloatBezierKey>& k = m_keys;
    const int n = static_cast<int>(k.size());
    if (n == 0) return;
    const int last = n - 1;
    auto wrap = [n](int j) { return (j % n + n) % n; };
    // Interval from key j to key m; for m <= j the wrap-around length. A zero length counts as 1.
    auto dt = [&](int j, int m) {
        const float d = m > j ? k[m].time - k[j].time : k[last].time + (k[m].time - k[0].time) - k[j].time;
        return d == 0.0f ? 1.0f : d;
    };
    auto inPlain = [&](int i) { return (k[wrap(i - 1)].value - k[i].value) / dt(wrap(i - 1), i); };
    auto outPlain = [&](int i) { return (k[wrap(i + 1)].value - k[i].value) / dt(i, wrap(i + 1)); };
    // The end slope of the parabola through keys i-2, i-1, i (in side) or i, i+1, i+2 (out side).
    auto parabola = [](float nearSlope, float farSlope, float nearLength, float farLength) {
        const float sum = nearLength + farLength;
        if (sum == 0.0f) return nearSlope;
        const float d = farLength / sum;
        return farSlope * (d - 1.0f) + (2.0f - d) * nearSlope;
    };
    auto inFromLinear = [&](int i) {
        if (i < 2) return inPlain(i);
        const float far = dt(i - 2, i - 1), nearL = dt(i - 1, i);
        return -parabola((k[i].value - k[i - 1].value) / nearL, (k[i - 1].value - k[i - 2].value) / far, nearL, far);
    };
    auto outFromLinear = [&](int i) {
        if (i + 2 > last) return outPlain(i);
        const float far = dt(i + 1, i + 2), nearL = dt(i, i + 1);
        return parabola((k[i + 1].value - k[i].value) / nearL, (k[i + 2].value - k[i + 1].value) / far, nearL, far);
    };

    for (int i = 0; i < n; ++i) {
        TrackFloatBezierKey& key = k[i];
        const int prevOut = i > 0 ? k[i - 1].outType : 150;
        const int nextIn = i < last ? k[i + 1].inType : 150;

        switch (key.inType) {
        case kBezierLinear:
            key.inTangent = (prevOut == kBezierLinear || i == 0) ? inPlain(i) : inFromLinear(i);
            if (i == last) key.outTangent = 0.0f;
            break;
        case kBezierStep:
        case kBezierSlow: key.inTangent = 0.0f; break;
        case kBezierFast: key.inTangent = inPlain(i) * 2.0f; break;
        default: break;  // smooth below; custom and unknown types keep their handles
        }
        switch (key.outType) {
        case kBezierLinear:
            key.outTangent = (nextIn == kBezierLinear || i == last) ? outPlain(i) : outFromLinear(i);
            break;
        case kBezierStep:
        case kBezierSlow: key.outTangent = 0.0f; break;
        case kBezierFast: key.outTangent = outPlain(i) * 2.0f; break;
        default: break;
        }

        const bool smoothIn = key.inType == kBezierSmooth;
        const bool smoothOut = key.outType == kBezierSmooth;
        if (!smoothIn && !smoothOut) continue;
        if (n == 1) {
            if (smoothIn) key.inTangent = 0.0f;
            if (smoothOut) key.outTangent = 0.0f;
        } else if (i == 0) {
            if (smoothOut) key.outTangent = outFromLinear(0);
            if (smoothIn) key.inTangent = 0.0f;
        } else if (i == last) {
            if (smoothIn) key.inTangent = inFromLinear(last);
            if (smoothOut) key.outTangent = 0.0f;
        } else {
            const float left = key.time - k[i - 1].time;
            const float right = k[i + 1].time - key.time;
            if (left == 0.0f || right == 0.0f || left + right == 0.0f) {
                if (smoothIn) key.inTangent = 0.0f;
                if (smoothOut) key.outTangent = 0.0f;
            } else if (smoothIn && smoothOut) {
                const float s = left / (left + right);
                const float d = (key.value - k[i - 1].value) * (1.0f - s) / left + (k[i + 1].value - key.value) * s / right;
                key.inTangent = -d;
                key.outTangent = d;
            } else if (smoothIn) {
                key.inTangent = key.outType == kBezierStep ? 0.0f : -key.outTangent;
            } else {
                key.outTangent = key.inType == kBezierStep ? 0.0f : -key.inTangent;
            }
        }
    }
}

namespace {
// The largest root of a s^3 + b s^2 + c s + d = 0 in [0, 1] (-1 when none lies there); a single
// real root is returned as it is. Cardano's formula, the cosine form for three real roots.
double bezierRoot(double a, double b, double c, double d)
{
    auto pick = [](std::initializer_list<double> roots) {
        double best = -1.0;
        for (double r : roots)
            if (r >= 0.0 && r <= 1.0 && r > best) best = r;
        return best;
    };
    if (a == 0.0) {
        // Quadratic (the cubic coefficient vanished).
        if (b == 0.0) return c != 0.0 ? -d / c : -1.0;
        const double disc = c * c - 4.0 * b * d;
        if (disc < 0.0) return -1.0;
        const double sq = std::sqrt(disc);
        return pick({(-c + sq) / (2.0 * b), (-c - sq) / (2.0 * b)});
    }
    const double pa = b / a, pb = c / a, pc = d / a;
    const double p = pb - pa * pa / 3.0;
    const double q = 2.0 * pa * pa * pa / 27.0 - pa * pb / 3.0 + pc;
    const double disc = q * q / 4.0 + p * p * p / 27.0;
    const double shift = -pa / 3.0;
    if (disc > 1e-9) {
        const double sq = std::sqrt(disc);
        return pmath::cbrt(-q / 2.0 + sq) + pmath::cbrt(-q / 2.0 - sq) + shift;
    }
    if (p >= 0.0) return pick({shift});
    const double m = 2.0 * std::sqrt(-p / 3.0);
    const double arg = std::clamp(3.0 * q / (p * m), -1.0, 1.0);
    const double phi = pmath::acos(arg) / 3.0;
    const double third = 2.0943951023931953;  // 2 pi / 3
    return pick({m * pmath::cos(phi) + shift, m * pmath::cos(phi - third) + shift, m * pmath::cos(phi - 2.0 * third) + shift});
}
} // namespace

// A segment with a custom handle: a 2D cubic in (time, value), solved for the curve parameter
// whose time is t.
float TrackFloatBezier::customValue(int i, float t, float u)
{
    TrackFloatBezierKey& a = m_keys[i];
    TrackFloatBezierKey& b = m_keys[i + 1];
    const float dt = b.time - a.time;
    const float dv = b.value - a.value;
    float x1, y1, x2, y2;
    if (a.outType == kBezierCustom) {
        float len = a.outLength;
        if (len < 0.0f) {
            a.outLength = 0.3333f;
            len = 1.0f / 3.0f;
        }
        x1 = a.time + dt * len;
        y1 = a.value + dt * len * a.outTangent;
    } else if (a.outType == kBezierLinear) {
        x1 = a.time + dt / 3.0f;
        y1 = a.value + dv / 3.0f;
    } else {
        x1 = a.time + dt / 3.0f;
        y1 = a.value + dt / 3.0f * a.outTangent;
    }
    if (b.inType == kBezierCustom) {
        float len = b.inLength;
        if (len < 0.0f) {
            b.inLength = 0.3333f;
            len = 1.0f / 3.0f;
        }
        x2 = b.time - dt * len;
        y2 = b.value + dt * len * b.inTangent;
    } else if (b.inType == kBezierLinear) {
        x2 = b.time - dt / 3.0f;
        y2 = b.value - dv / 3.0f;
    } else {
        x2 = b.time - dt / 3.0f;
        y2 = b.value + dt / 3.0f * b.inTangent;
    }
    const double x0 = a.time, x3 = b.time;
    const double ca = -x0 + 3.0 * x1 - 3.0 * x2 + x3;
    const double cb = 3.0 * x0 - 6.0 * x1 + 3.0 * x2;
    const double cc = 3.0 * (x1 - x0);
    double s;
    if (ca == 0.0 && cb == 0.0) s = u;
    else if (t == a.time) s = 0.0;
    else if (t == b.time) s = 1.0;
    else s = bezierRoot(ca, cb, cc, x0 - t);
    const double r = 1.0 - s;
    return static_cast<float>(r * r * r * a.value + 3.0 * s * r * r * y1 + 3.0 * s * s * r * y2 + s * s * s * b.value);
}

float TrackFloatBezier::getValue(float time)
{
    const std::vector<TrackFloatBezierKey>& k = m_keys;
    const int n = static_cast<int>(k.size());
    if (n == 0) return 0.0f;
    if (n == 1 || time <= k[0].time) return k[0].value;
    if (time >= k[n - 1].time) return k[n - 1].value;
    const int i = trackSegmentEarlier(k, time);
    const float dt = k[i + 1].time - k[i].time;
    const float u = dt != 0.0f ? (time - k[i].time) / dt : 0.0f;
    if (k[i].outType == kBezierStep || k[i + 1].inType == kBezierStep) return u == 1.0f ? k[i + 1].value : k[i].value;
    if (k[i].outType == kBezierCustom || k[i + 1].inType == kBezierCustom) return customValue(i, time, u);
    const float dt3 = dt / 3.0f;
    const float p1 = k[i].value + dt3 * k[i].outTangent;
    const float p2 = k[i + 1].value + dt3 * k[i + 1].inTangent;
    const float r = 1.0f - u;
    return r * r * r * k[i].value + 3.0f * u * r * r * p1 + 3.0f * u * u * r * p2 + u * u * u * k[i + 1].value;
}
