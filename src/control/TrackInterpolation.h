// The interpolation shared by float and Point3D tracks: linear, hermite (uniform Catmull-Rom)
// and TCB (Kochanek-Bartels with ease). Written once over the value type V (float or Point3D,
// both with +, - and scaling by a float); keys carry `time` and `value`, TCB keys also their
// parameters and the two tangents.
#pragma once

#include <algorithm>
#include <vector>

#include "control/Track.h"

namespace trackinterp {

// Clamps to the end keys, finds the segment and its parameter u for the linear and hermite
// tracks (later segment at a key time; a zero-length segment reports and uses 1e-7). Returns
// false with `out` set when the answer is a key value (or no key).
template <class Key, class V>
[[nodiscard]] bool linearSegment(const std::vector<Key>& k, float t, int& i, float& u, V& out)
{
    const int n = static_cast<int>(k.size());
    if (n == 0) {
        trackReport("getValue: no key");
        out = V{};
        return false;
    }
    if (n == 1 || t <= k[0].time) {
        out = k[0].value;
        return false;
    }
    if (t >= k[n - 1].time) {
        out = k[n - 1].value;
        return false;
    }
    i = trackSegmentLater(k, t);
    float dt = k[i + 1].time - k[i].time;
    if (dt == 0.0f) {
        trackReport("interval equal to 0");
        dt = 1e-7f;
    }
    u = (t - k[i].time) / dt;
    return true;
}

// The value at t: a key value where linearSegment gives one, else onSegment(i, u).
template <class V, class Key, class OnSegment>
V segmentValue(const std::vector<Key>& k, float t, OnSegment onSegment)
{
    int i = 0;
    float u = 0.0f;
    V out{};
    return linearSegment(k, t, i, u, out) ? V(onSegment(i, u)) : out;
}

// value = (1 - u) · key[i] + u · key[i+1]
template <class Key, class V>
V linearValue(const std::vector<Key>& k, float t)
{
    return segmentValue<V>(k, t, [&k](int i, float u) { return k[i].value * (1.0f - u) + k[i + 1].value * u; });
}

// Uniform Catmull-Rom: tangents are half the difference of the neighbours, key times do not
// scale them.
template <class Key, class V>
V hermiteValue(const std::vector<Key>& k, float t)
{
    return segmentValue<V>(k, t, [&k](int i, float u) {
        const int n = static_cast<int>(k.size());
        const V& p0 = k[i].value;
        const V& p1 = k[i + 1].value;
        const V& pm = k[std::max(i - 1, 0)].value;
        const V& pp = k[std::min(i + 2, n - 1)].value;
        const V m0 = (p1 - pm) * 0.5f;
        const V m1 = (pp - p0) * 0.5f;
        const float u2 = u * u;
        const float u3 = u2 * u;
        return p0 * (2.0f * u3 - 3.0f * u2 + 1.0f) + p1 * (3.0f * u2 - 2.0f * u3) + m0 * (u3 - 2.0f * u2 + u) +
               m1 * (u3 - u2);
    });
}

// Tangents of the TCB keys. Middle keys get both tangents from their tension, continuity and
// bias, scaled for unequal intervals. The end rule writes the first key's incoming and the last
// key's outgoing tangent, which evaluation does not read: the curve starts and ends with a zero
// tangent (two keys give key0 + (key1 - key0)(3u^2 - 2u^3)).
template <class Key>
void tcbPrepare(std::vector<Key>& k)
{
    const int n = static_cast<int>(k.size());
    for (int i = 1; i < n - 1; ++i) {
        Key& key = k[i];
        const auto dp = key.value - k[i - 1].value;
        const auto dn = k[i + 1].value - key.value;
        const float T = key.tension, C = key.continuity, B = key.bias;
        const float span = k[i + 1].time - k[i - 1].time;
        // Coinciding neighbours leave the tangents unscaled instead of dividing by zero.
        float ain = 1.0f, aout = 1.0f;
        if (span != 0.0f) {
            const float f = 2.0f / span;
            ain = f * (key.time - k[i - 1].time);
            aout = f * (k[i + 1].time - key.time);
        }
        const float c = std::fabs(C);
        ain = ain + c - ain * c;
        aout = aout + c - aout * c;
        key.inTangent = (dp * ((1 - T) * (1 - C) * (1 + B) / 2) + dn * ((1 - T) * (1 + C) * (1 - B) / 2)) * ain;
        key.outTangent = (dp * ((1 - T) * (1 + C) * (1 + B) / 2) + dn * ((1 - T) * (1 - C) * (1 - B) / 2)) * aout;
    }
    if (n >= 3) {
        auto endRule = [](const Key& a, const Key& b, const Key& c, float tension) {
            const auto d = c.value - a.value;
            const float span = c.time - a.time;
            const float r = span != 0.0f ? (b.time - a.time) / (2.0f * span) : 0.0f;
            return (d * (0.25f - r + 0.5f) + (b.value - a.value - d * 0.5f) * 1.5f) * (1.0f - tension);
        };
        k[0].inTangent = endRule(k[0], k[1], k[2], k[0].tension);
        // The mirror over the last key and its two predecessors.
        k[n - 1].outTangent = endRule(k[n - 1], k[n - 2], k[n - 3], k[n - 1].tension) * -1.0f;
    } else if (n == 2) {
        k[0].inTangent = (k[1].value - k[0].value) * (1.0f - k[0].tension);
        k[1].outTangent = (k[1].value - k[0].value) * (1.0f - k[1].tension);
    }
}

// TCB evaluation; the earlier segment at a key time. No key gives the zero value (no message),
// a zero-length segment gives its first key.
template <class Key, class V>
V tcbValue(const std::vector<Key>& k, float t)
{
    const int n = static_cast<int>(k.size());
    if (n == 0) return V{};
    if (n == 1 || t <= k[0].time) return k[0].value;
    if (t >= k[n - 1].time) return k[n - 1].value;
    const int i = trackSegmentEarlier(k, t);
    const float dt = k[i + 1].time - k[i].time;
    const float u = Track::ease(dt != 0.0f ? (t - k[i].time) / dt : 0.0f, k[i].easeFrom, k[i + 1].easeTo);
    const float u2 = u * u;
    const float u3 = u2 * u;
    return k[i].value * (2.0f * u3 - 3.0f * u2 + 1.0f) + k[i + 1].value * (3.0f * u2 - 2.0f * u3) +
           k[i].outTangent * (u3 - 2.0f * u2 + u) + k[i + 1].inTangent * (u3 - u2);
}

} // namespace trackinterp
