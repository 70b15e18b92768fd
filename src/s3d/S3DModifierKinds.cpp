#include "s3d/S3DModifierKinds.h"

#include <algorithm>
#include <cmath>

#include "foundation/Random.h"

namespace {

constexpr float kPi = 3.14159265358979f;

// Turns the chosen axis onto gizmo y: X by rotationZ(zAngle), Z by rotationX(xAngle), Y as it is.
void turnAxisOntoY(Matrix& m, int axis, float zAngle, float xAngle)
{
    if (axis == 0) m.rotateZ(zAngle);
    else if (axis == 2) m.rotateX(xAngle);
}

// The gradient noise tables every single-octave noise modifier reads (built at the first load).
const PerlinNoise& sharedPerlin()
{
    static const PerlinNoise noise;
    return noise;
}

} // namespace

std::unique_ptr<S3DModifier> createGizmoModifier(int type)
{
    switch (type) {
    case 3: return std::make_unique<S3DModifierBend>();
    case 4: return std::make_unique<S3DModifierStretch>();
    case 5: return std::make_unique<S3DModifierNoise>();
    case 6: return std::make_unique<S3DModifierWave>();
    case 7: return std::make_unique<S3DModifierTwist>();
    case 8: return std::make_unique<S3DModifierTaper>();
    case 9: return std::make_unique<S3DModifierSkew>();
    case 10: return std::make_unique<S3DModifierSpherify>();
    case 11: return std::make_unique<S3DModifierMelt>();
    case 12: return std::make_unique<S3DModifierRipple>();
    default: return nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Bend

S3DModifierBend::S3DModifierBend() : S3DGizmoKind(3)
{
    m_option[s3dmod::kAxis] = 1;
    m_usesBoundingBox = true;
}

void S3DModifierBend::appendAxisRotation(Matrix& toGizmo)
{
    turnAxisOntoY(toGizmo, axis(), kPi / 2, -kPi / 2);
    toGizmo.rotateY(-direction());
}

void S3DModifierBend::prepareKind()
{
    m_radius = std::fabs(angle()) < 0.0001f ? 0.0f : extent() / angle();
}

Point3D S3DModifierBend::deformPoint(const Point3D& p) const
{
    if (m_radius == 0.0f) return p;
    const Point3D g = m_toGizmo.transform(p);
    const float theta = kPi - g.y / m_radius;
    const float r = m_radius - g.x;
    return m_fromGizmo.transform({m_radius + r * std::cos(theta), r * std::sin(theta), g.z});
}

// ---------------------------------------------------------------------------------------------
// Taper

S3DModifierTaper::S3DModifierTaper() : S3DGizmoKind(8) { m_usesBoundingBox = true; }

void S3DModifierTaper::appendAxisRotation(Matrix& toGizmo) { turnAxisOntoY(toGizmo, axis(), kPi / 2, -kPi / 2); }

void S3DModifierTaper::prepareKind()
{
    m_extent = extent();
}

Point3D S3DModifierTaper::deformPoint(const Point3D& p) const
{
    if (m_extent == 0.0f) return p;
    Point3D g = m_toGizmo.transform(p);
    float t = g.y / m_extent;
    if (symmetric() && t < 0.0f) t = -t;
    const float f = 1.0f + t * (amount() + curve() * (1.0f - t));
    if (effect() != 2) g.x *= f;
    if (effect() != 0) g.z *= f;
    return m_fromGizmo.transform(g);
}

// ---------------------------------------------------------------------------------------------
// Twist

S3DModifierTwist::S3DModifierTwist() : S3DGizmoKind(7) { m_usesBoundingBox = true; }

void S3DModifierTwist::appendAxisRotation(Matrix& toGizmo) { turnAxisOntoY(toGizmo, axis(), -kPi / 2, kPi / 2); }

void S3DModifierTwist::prepareKind()
{
    m_biased = bias() != 0.0f;
    m_exponent = 1.0f;
    if (m_biased) {
        m_k = std::clamp(1.0f - (bias() + 100.0f) * 0.005f, 0.00001f, 0.99999f);
        m_exponent = std::log(m_k) / std::log(0.5f);
    }
    m_extent = extent();
    m_angle = m_extent != 0.0f ? angle() : 0.0f;
    m_anglePerUnit = m_extent != 0.0f ? angle() / m_extent : 0.0f;
}

Point3D S3DModifierTwist::deformPoint(const Point3D& p) const
{
    if (m_angle == 0.0f) return p;
    Point3D g = m_toGizmo.transform(p);
    float theta;
    if (m_biased) {
        const float t = g.y / m_extent;
        theta = std::pow(std::fabs(t), m_exponent) * m_angle;
        if (t < 0.0f) theta = -theta;
    } else {
        theta = g.y * m_anglePerUnit;
    }
    const float c = std::cos(theta), s = std::sin(theta);
    const float x = g.z * s + g.x * c;
    g.z = g.z * c - g.x * s;
    g.x = x;
    return m_fromGizmo.transform(g);
}

// ---------------------------------------------------------------------------------------------
// Skew

S3DModifierSkew::S3DModifierSkew() : S3DGizmoKind(9) { m_usesBoundingBox = true; }

void S3DModifierSkew::appendAxisRotation(Matrix& toGizmo)
{
    turnAxisOntoY(toGizmo, axis(), kPi / 2, -kPi / 2);
    toGizmo.rotateY(-direction());
}

void S3DModifierSkew::prepareKind()
{
    const float e = extent();
    m_k = amount() / (e == 0.0f ? 1e-6f : e);
}

Point3D S3DModifierSkew::deformPoint(const Point3D& p) const
{
    Point3D g = m_toGizmo.transform(p);
    g.x += m_k * g.y;
    return m_fromGizmo.transform(g);
}

// ---------------------------------------------------------------------------------------------
// Stretch (the axis turned onto gizmo y as for taper)

S3DModifierStretch::S3DModifierStretch() : S3DGizmoKind(4) { m_usesBoundingBox = true; }

void S3DModifierStretch::appendAxisRotation(Matrix& toGizmo) { turnAxisOntoY(toGizmo, axis(), kPi / 2, -kPi / 2); }

void S3DModifierStretch::prepareKind()
{
    Point3D lo, hi;
    boundsInGizmoTM(lo, hi);
    m_lo = component(lo, axis());
    m_hi = component(hi, axis());
    const float s = stretch(), a = amplify();
    if (s < 0.0f) {
        m_r = 1.0f - s * a;
        m_s = -1.0f / (s - 1.0f);
    } else {
        m_r = 1.0f / (s * a + 1.0f);
        m_s = s + 1.0f;
    }
}

Point3D S3DModifierStretch::deformPoint(const Point3D& p) const
{
    if (stretch() == 0.0f || m_hi == m_lo) return p;
    Point3D g = m_toGizmo.transform(p);
    const float t = (g.y - m_lo) / (m_hi - m_lo);
    const float f = 1.0f - 4.0f * (1.0f - m_r) * t * (1.0f - t);
    g = {f * g.x, m_s * g.y, f * g.z};
    return m_fromGizmo.transform(g);
}

// ---------------------------------------------------------------------------------------------
// Spherify

S3DModifierSpherify::S3DModifierSpherify() : S3DGizmoKind(10) { m_usesBoundingBox = true; }

void S3DModifierSpherify::prepareKind()
{
    // The box in gizmo space: its eight corners moved there.
    Point3D lo, hi;
    for (int k = 0; k < 8; ++k) {
        const Point3D corner{(k & 1 ? m_boundsMax : m_boundsMin).x, (k & 2 ? m_boundsMax : m_boundsMin).y,
                             (k & 4 ? m_boundsMax : m_boundsMin).z};
        const Point3D g = m_toGizmo.transform(corner);
        lo = k ? Point3D{std::min(lo.x, g.x), std::min(lo.y, g.y), std::min(lo.z, g.z)} : g;
        hi = k ? Point3D{std::max(hi.x, g.x), std::max(hi.y, g.y), std::max(hi.z, g.z)} : g;
    }
    m_c = (lo + hi) * 0.5f;
    m_radius = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z}) * 0.5f;
    m_p = percent() * 0.01f;
}

Point3D S3DModifierSpherify::deformPoint(const Point3D& p) const
{
    const Point3D g = m_toGizmo.transform(p);
    Point3D d = g - m_c;
    if (d.x == 0.0f && d.y == 0.0f && d.z == 0.0f) d = {1.0f, 1.0f, 1.0f};
    const float q = m_radius / d.length();
    const auto move = [this, q](float di) {
        const float sign = di > 0.0f ? 1.0f : di < 0.0f ? -1.0f : 0.0f;
        return di + (std::fabs(di * q) - std::fabs(di)) * m_p * sign;
    };
    return m_fromGizmo.transform(m_c + Point3D{move(d.x), move(d.y), move(d.z)});
}

// ---------------------------------------------------------------------------------------------
// Wave

S3DModifierWave::S3DModifierWave() : S3DGizmoKind(6) {}

Point3D S3DModifierWave::deformPoint(const Point3D& p) const
{
    const float a1 = amplitude1(), a2 = amplitude2(), phi = phase(), k = decay();
    const float length = waveLength() == 0.0f ? 1e-7f : waveLength();
    Point3D g = m_toGizmo.transform(p);
    if (form() == 0) {
        float a = a1;
        const float norm = g.length();
        if (a1 != a2 && norm != 0.0f) {
            float t = std::acos(std::clamp(g.x / norm, -1.0f, 1.0f)) / kPi;
            if (t > 0.5f) t = 1.0f - t;
            float u = std::clamp(2.0f * t, 0.0f, 1.0f);
            u = u * u * (3.0f - 2.0f * u);
            a = (1.0f - u) * a1 + u * a2;
        }
        const float rho = std::sqrt(g.x * g.x + g.z * g.z);
        g.y += a * std::exp(-k * rho) * std::sin(2.0f * kPi * (phi + rho / length));
    } else {
        const float q = g.x / length;
        const float big = q * q;
        const float a = (1.0f - big) * a1 + big * a2;
        g.y += a * std::exp(-k * std::fabs(g.z)) * std::sin(2.0f * kPi * (phi + g.z / length));
    }
    return m_fromGizmo.transform(g);
}

// ---------------------------------------------------------------------------------------------
// Noise

S3DModifierNoise::S3DModifierNoise() : S3DGizmoKind(5)
{
    scale() = 100.0f;
}

S3DModifierNoise::~S3DModifierNoise() = default;

void S3DModifierNoise::load(ChunkFileReader& r)
{
    S3DModifier::load(r);
    // Octaves and roughness are fixed once loaded: the weights are computed here, never per frame.
    m_nbOctave = std::clamp(octaves(), 1, FractalNoise::kMaxOctave);
    if (m_nbOctave > 1) {
        const double h = std::isnan(roughness()) ? 0.0 : std::clamp(double(roughness()), 0.0, 1.0);
        m_pFractal = std::make_unique<FractalNoise>(h, 2.0, double(m_nbOctave));
        for (int i = 0; i < m_nbOctave; ++i) m_weight[i] = float(m_pFractal->weight(i));
        m_pPerlin = &m_pFractal->perlin();
    } else {
        m_pPerlin = &sharedPerlin();
    }
}

void S3DModifierNoise::prepareKind()
{
    if (!m_pPerlin) m_pPerlin = &sharedPerlin();
    m_k = scale() == 0.0f ? 0.00001f : 1.0f / scale();
    const float base = float(m_pPerlin->permutation(seed() & 511));
    m_c = animated() ? base + phaseFactor() * phase() * 0.19999999f : base;
}

float S3DModifierNoise::noise(float x, float y) const
{
    if (m_nbOctave == 1) return m_pPerlin->noise3(x, y, m_c);
    float sum = 0.0f, f = 1.0f;
    for (int i = 0; i < m_nbOctave; ++i, f *= 2.0f) sum += m_weight[i] * m_pPerlin->noise3(x * f, y * f, m_c);
    return sum;
}

Point3D S3DModifierNoise::deformPoint(const Point3D& p) const
{
    Point3D g = m_toGizmo.transform(p);
    const Point3D s = g * m_k;
    g.x += strengthX() * noise(s.z + 0.5f, s.y + 0.5f);
    g.y += strengthY() * noise(s.x + 0.5f, s.z + 0.5f);
    g.z += strengthZ() * noise(s.x + 0.5f, s.y + 0.5f);
    return m_fromGizmo.transform(g);
}

// ---------------------------------------------------------------------------------------------
// Melt

S3DModifierMelt::S3DModifierMelt() : S3DGizmoKind(11)
{
    m_option[s3dmod::kAxis] = 2;
    solidity() = 1.0f;
    m_usesBoundingBox = true;
}

void S3DModifierMelt::appendAxisRotation(Matrix& toGizmo) { turnAxisOntoY(toGizmo, axis(), kPi / 2, -kPi / 2); }

void S3DModifierMelt::prepareKind()
{
    Point3D lo, hi;
    boundsInGizmoTM(lo, hi);
    const float a = component(lo, axis()), b = component(hi, axis());
    m_sign = fromTop() ? -1.0f : 1.0f;
    m_floor = fromTop() ? std::max(a, b) : std::min(a, b);
    m_height = std::fabs(b - a);
    m_a = std::isnan(amount()) ? 0.0f : std::clamp(amount() * 0.01f, 0.0f, 1.0f);
    m_spread = spread() * 0.01f / std::max(solidity(), 0.01f);
}

Point3D S3DModifierMelt::deformPoint(const Point3D& p) const
{
    if (m_a == 0.0f || m_height <= 0.0f) return p;
    Point3D g = m_toGizmo.transform(p);
    const float h = (g.y - m_floor) * m_sign;
    const float sunk = h * m_a;
    const float r = 1.0f + m_spread * std::fabs(sunk) / m_height;
    g = {g.x * r, m_floor + (h - sunk) * m_sign, g.z * r};
    return m_fromGizmo.transform(g);
}

// ---------------------------------------------------------------------------------------------
// World-space ripple

S3DModifierRipple::S3DModifierRipple() : S3DModifier(12) { waveLength() = 100.0f; }

Point3D S3DModifierRipple::ripple(const Point3D& g, const Point3D& centroid) const
{
    const float length = waveLength() == 0.0f ? 1e-7f : waveLength();
    const Point3D d = g - centroid;
    const float rho = d.length();
    Point3D out = g;
    if (rho > 0.0f) {
        const float s = amplitude() * std::exp(-decay() * rho) * std::sin(2.0f * kPi * (phase() + rho / length));
        out += d * (s / rho);
    }
    const auto jitter = [] { return float(tlRand() % 10000) * 0.0002f; };
    out.x += jitter();
    out.y += jitter();
    out.z += jitter();
    return out;
}

void S3DModifierRipple::apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert)
{
    if (count <= 0) return;
    if (!isUsable()) return keep(in, out, count);
    Point3D centroid;
    for (int i = 0; i < count; ++i) centroid += m_toGizmo.transform(in[i]);
    centroid *= 1.0f / float(count);
    for (int i = 0; i < count; ++i) {
        const Point3D d = m_fromGizmo.transform(ripple(m_toGizmo.transform(in[i]), centroid));
        const float w = !weights ? 1.0f : invert ? 1.0f - weights[i] : weights[i];
        out[i] = softBlend(in[i], d, w);
    }
}
