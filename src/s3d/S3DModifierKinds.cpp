#include "s3d/S3DModifierKinds.h"

#include <algorithm>
#include <cmath>

#include "foundation/PortableMath.h"
#include "foundation/Random.h"
#include "s3d/S3DNoiseRows.h"

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

void S3DModifierBend::deformGizmo(Point3D* g, int n) const
{
    const float radius = m_radius;
    for (int i = 0; i < n; ++i) {
        const float theta = kPi - g[i].y / radius;
        const float r = radius - g[i].x;
        g[i] = {radius + r * pmath::cos(theta), r * pmath::sin(theta), g[i].z};
    }
}

// ---------------------------------------------------------------------------------------------
// Taper

S3DModifierTaper::S3DModifierTaper() : S3DGizmoKind(8) { m_usesBoundingBox = true; }

void S3DModifierTaper::appendAxisRotation(Matrix& toGizmo) { turnAxisOntoY(toGizmo, axis(), kPi / 2, -kPi / 2); }

void S3DModifierTaper::prepareKind()
{
    m_extent = extent();
}

void S3DModifierTaper::deformGizmo(Point3D* g, int n) const
{
    const float extent = m_extent, a = amount(), c = curve();
    const bool sym = symmetric() != 0, alongX = effect() != 2, alongZ = effect() != 0;
    for (int i = 0; i < n; ++i) {
        float t = g[i].y / extent;
        if (sym && t < 0.0f) t = -t;
        const float f = 1.0f + t * (a + c * (1.0f - t));
        if (alongX) g[i].x *= f;
        if (alongZ) g[i].z *= f;
    }
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
        m_exponent = pmath::log(m_k) / pmath::log(0.5f);
    }
    m_extent = extent();
    m_angle = m_extent != 0.0f ? angle() : 0.0f;
    m_anglePerUnit = m_extent != 0.0f ? angle() / m_extent : 0.0f;
}

void S3DModifierTwist::deformGizmo(Point3D* g, int n) const
{
    const float extent = m_extent, exponent = m_exponent, angle = m_angle, perUnit = m_anglePerUnit;
    const bool biased = m_biased;
    for (int i = 0; i < n; ++i) {
        float theta;
        if (biased) {
            const float t = g[i].y / extent;
            theta = pmath::pow(std::fabs(t), exponent) * angle;
            if (t < 0.0f) theta = -theta;
        } else {
            theta = g[i].y * perUnit;
        }
        const float c = pmath::cos(theta), s = pmath::sin(theta);
        const float x = g[i].z * s + g[i].x * c;
        g[i].z = g[i].z * c - g[i].x * s;
        g[i].x = x;
    }
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

void S3DModifierSkew::deformGizmo(Point3D* g, int n) const
{
    const float k = m_k;
    for (int i = 0; i < n; ++i) g[i].x += k * g[i].y;
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

void S3DModifierStretch::deformGizmo(Point3D* g, int n) const
{
    const float lo = m_lo, hi = m_hi, r = m_r, s = m_s;
    for (int i = 0; i < n; ++i) {
        const float t = (g[i].y - lo) / (hi - lo);
        const float f = 1.0f - 4.0f * (1.0f - r) * t * (1.0f - t);
        g[i] = {f * g[i].x, s * g[i].y, f * g[i].z};
    }
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

void S3DModifierSpherify::deformGizmo(Point3D* g, int n) const
{
    for (int i = 0; i < n; ++i) {
        Point3D d = g[i] - m_c;
        if (d.x == 0.0f && d.y == 0.0f && d.z == 0.0f) d = {1.0f, 1.0f, 1.0f};
        const float q = m_radius / d.length();
        const auto move = [this, q](float di) {
            const float sign = di > 0.0f ? 1.0f : di < 0.0f ? -1.0f : 0.0f;
            return di + (std::fabs(di * q) - std::fabs(di)) * m_p * sign;
        };
        g[i] = m_c + Point3D{move(d.x), move(d.y), move(d.z)};
    }
}

// ---------------------------------------------------------------------------------------------
// Wave

S3DModifierWave::S3DModifierWave() : S3DGizmoKind(6) {}

void S3DModifierWave::deformGizmo(Point3D* points, int n) const
{
    const float a1 = amplitude1(), a2 = amplitude2(), phi = phase(), k = decay();
    const float length = waveLength() == 0.0f ? 1e-7f : waveLength();
    for (int i = 0; i < n; ++i) {
        Point3D& g = points[i];
        if (form() == 0) {
            float a = a1;
            const float norm = g.length();
            if (a1 != a2 && norm != 0.0f) {
                float t = pmath::acos(std::clamp(g.x / norm, -1.0f, 1.0f)) / kPi;
                if (t > 0.5f) t = 1.0f - t;
                float u = std::clamp(2.0f * t, 0.0f, 1.0f);
                u = u * u * (3.0f - 2.0f * u);
                a = (1.0f - u) * a1 + u * a2;
            }
            const float rho = std::sqrt(g.x * g.x + g.z * g.z);
            g.y += a * pmath::exp(-k * rho) * pmath::sin(2.0f * kPi * (phi + rho / length));
        } else {
            const float q = g.x / length;
            const float big = q * q;
            const float a = (1.0f - big) * a1 + big * a2;
            g.y += a * pmath::exp(-k * std::fabs(g.z)) * pmath::sin(2.0f * kPi * (phi + g.z / length));
        }
    }
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

void S3DModifierNoise::noise(NoiseColumnsFn columns, const float* x, const float* y, const float* z, float* nx,
                             float* ny, float* nz, int n) const
{
    // One octave: noise3 at (z, y), (x, z), (x, y) and c. Several: each sum += w[i] noise3(.. f, .. f, c) from
    // sum = 0, f = 1, 2, 4 ...
    if (m_nbOctave == 1) return columns(*m_pPerlin, x, y, z, m_c, nx, ny, nz, n);
    float fx[kBlock], fy[kBlock], fz[kBlock], ox[kBlock], oy[kBlock], oz[kBlock];
    std::fill(nx, nx + n, 0.0f);
    std::fill(ny, ny + n, 0.0f);
    std::fill(nz, nz + n, 0.0f);
    float f = 1.0f;
    for (int o = 0; o < m_nbOctave; ++o, f *= 2.0f) {
        for (int i = 0; i < n; ++i) {
            fx[i] = x[i] * f;
            fy[i] = y[i] * f;
            fz[i] = z[i] * f;
        }
        columns(*m_pPerlin, fx, fy, fz, m_c, ox, oy, oz, n);
        for (int i = 0; i < n; ++i) {
            nx[i] += m_weight[o] * ox[i];
            ny[i] += m_weight[o] * oy[i];
            nz[i] += m_weight[o] * oz[i];
        }
    }
}

void S3DModifierNoise::deformGizmo(Point3D* g, int n) const
{
    // Per point s = g k + 0.5 per coordinate, then g.x += strength.x noise(sz, sy), g.y +=
    // strength.y noise(sx, sz), g.z += strength.z noise(sx, sy), the noise over whole columns.
    const NoiseColumnsFn columns = selectNoiseColumns(simdLevel());
    float sx[kBlock], sy[kBlock], sz[kBlock], nx[kBlock], ny[kBlock], nz[kBlock];
    for (int start = 0; start < n; start += kBlock) {
        const int m = std::min(kBlock, n - start);
        Point3D* q = g + start;
        const float k = m_k;
        for (int i = 0; i < m; ++i) {
            const Point3D s = q[i] * k;
            sx[i] = s.x + 0.5f;
            sy[i] = s.y + 0.5f;
            sz[i] = s.z + 0.5f;
        }
        noise(columns, sx, sy, sz, nx, ny, nz, m);
        const float strengthX = this->strengthX(), strengthY = this->strengthY(), strengthZ = this->strengthZ();
        for (int i = 0; i < m; ++i) {
            q[i].x += strengthX * nx[i];
            q[i].y += strengthY * ny[i];
            q[i].z += strengthZ * nz[i];
        }
    }
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

void S3DModifierMelt::deformGizmo(Point3D* g, int n) const
{
    const float floor = m_floor, sign = m_sign, a = m_a, spread = m_spread, height = m_height;
    for (int i = 0; i < n; ++i) {
        const float h = (g[i].y - floor) * sign;
        const float sunk = h * a;
        const float r = 1.0f + spread * std::fabs(sunk) / height;
        g[i] = {g[i].x * r, floor + (h - sunk) * sign, g[i].z * r};
    }
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
        const float s = amplitude() * pmath::exp(-decay() * rho) * pmath::sin(2.0f * kPi * (phase() + rho / length));
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
