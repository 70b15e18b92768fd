// The gizmo modifiers: bend, stretch, noise, wave, twist, taper, skew, spherify, melt and the
// world-space ripple (type 12). Each works on g = p · toGizmo (gy along the chosen axis) and
// returns g' · fromGizmo; the loop over a point array is written once (S3DGizmoKind) with the
// soft-selection blend chosen once per call. Each kind's accessors name its values and options
// as its table in S3DModifierRecord.h does, which gives their slots.
#pragma once

#include <algorithm>
#include <memory>

#include "foundation/PerlinNoise.h"
#include "s3d/S3DNoiseRows.h"
#include "s3d/S3DModifier.h"

// The modifier of a gizmo type (3 to 12), or null.
std::unique_ptr<S3DModifier> createGizmoModifier(int type);

template <class Kind>
class S3DGizmoKind : public S3DModifier {
public:
    using S3DModifier::S3DModifier;

    // Points go through in blocks of this many: into gizmo space, the kind's formula over the
    // block (Kind::deformGizmo), back out, then the blend.
    static constexpr int kBlock = 64;

    void apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert) override
    {
        const Kind& kind = static_cast<const Kind&>(*this);
        if (!isUsable() || (!kind.moves() && !weights)) return keep(in, out, count);
        // Local copies: the stores to `out` cannot touch them, so they stay in registers.
        const Matrix to = m_toGizmo, from = m_fromGizmo;
        const bool moves = kind.moves();
        Point3D g[kBlock];
        for (int start = 0; start < count; start += kBlock) {
            const int n = std::min(kBlock, count - start);
            const Point3D* p = in + start;
            Point3D* q = out + start;
            if (moves) {
                for (int i = 0; i < n; ++i) g[i] = to.transform(p[i]);
                kind.deformGizmo(g, n);
                for (int i = 0; i < n; ++i) g[i] = from.transform(g[i]);
            } else {
                std::copy(p, p + n, g);
            }
            if (!weights) {
                std::copy(g, g + n, q);
            } else if (!invert) {
                for (int i = 0; i < n; ++i) q[i] = softBlend(p[i], g[i], weights[start + i]);
            } else {
                for (int i = 0; i < n; ++i) q[i] = softBlend(p[i], g[i], 1.0f - weights[start + i]);
            }
        }
    }
    // One point on its own (these kinds deform each point independently of the others); the
    // point as it is while the modifier is not usable.
    Point3D deform(const Point3D& p) const { return isUsable() ? deformPoint(p) : p; }
    // p · toGizmo, the kind's formula, · fromGizmo; p itself while the kind leaves points as they are.
    Point3D deformPoint(const Point3D& p) const
    {
        const Kind& kind = static_cast<const Kind&>(*this);
        if (!kind.moves()) return p;
        Point3D g = m_toGizmo.transform(p);
        kind.deformGizmo(&g, 1);
        return m_fromGizmo.transform(g);
    }
    // Whether the kind's constants of this frame move points at all (kinds hide this).
    bool moves() const { return true; }
};

class S3DModifierBend : public S3DGizmoKind<S3DModifierBend> {
public:
    S3DModifierBend();
    float& angle() { return m_value[s3dmod::valueSlot(s3dmod::kBend, "angle")]; }
    float angle() const { return m_value[s3dmod::valueSlot(s3dmod::kBend, "angle")]; }
    float& direction() { return m_value[s3dmod::valueSlot(s3dmod::kBend, "direction")]; }
    float direction() const { return m_value[s3dmod::valueSlot(s3dmod::kBend, "direction")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
    bool moves() const { return !(m_radius == 0.0f); }
    float getRadius() const { return m_radius; }

private:
    void appendAxisRotation(Matrix& toGizmo) override;
    void prepareKind() override;
    bool constantsFinite() const override { return std::isfinite(m_radius); }
    float m_radius = 0.0f;
};

class S3DModifierTaper : public S3DGizmoKind<S3DModifierTaper> {
public:
    S3DModifierTaper();
    float& amount() { return m_value[s3dmod::valueSlot(s3dmod::kTaper, "amount")]; }
    float amount() const { return m_value[s3dmod::valueSlot(s3dmod::kTaper, "amount")]; }
    float& curve() { return m_value[s3dmod::valueSlot(s3dmod::kTaper, "curve")]; }
    float curve() const { return m_value[s3dmod::valueSlot(s3dmod::kTaper, "curve")]; }
    int effect() const { return m_option[s3dmod::optionSlot(s3dmod::kTaper, "effect")]; }
    int symmetric() const { return m_option[s3dmod::optionSlot(s3dmod::kTaper, "symmetry")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
    bool moves() const { return !(m_extent == 0.0f); }

private:
    void appendAxisRotation(Matrix& toGizmo) override;
    void prepareKind() override;
    bool constantsFinite() const override { return std::isfinite(m_extent); }
    float m_extent = 0.0f;
};

class S3DModifierTwist : public S3DGizmoKind<S3DModifierTwist> {
public:
    S3DModifierTwist();
    float& angle() { return m_value[s3dmod::valueSlot(s3dmod::kTwist, "angle")]; }
    float angle() const { return m_value[s3dmod::valueSlot(s3dmod::kTwist, "angle")]; }
    float& bias() { return m_value[s3dmod::valueSlot(s3dmod::kTwist, "bias")]; }
    float bias() const { return m_value[s3dmod::valueSlot(s3dmod::kTwist, "bias")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
    bool moves() const { return !(m_angle == 0.0f); }
    float getExponent() const { return m_exponent; }
    float getBiasK() const { return m_k; }

private:
    void appendAxisRotation(Matrix& toGizmo) override;
    void prepareKind() override;
    bool constantsFinite() const override { return allFinite({m_extent, m_anglePerUnit, m_exponent, m_k}); }
    float m_extent = 0.0f;
    float m_angle = 0.0f;
    float m_anglePerUnit = 0.0f;
    float m_exponent = 1.0f;
    float m_k = 0.5f;
    bool m_biased = false;
};

class S3DModifierSkew : public S3DGizmoKind<S3DModifierSkew> {
public:
    S3DModifierSkew();
    float& amount() { return m_value[s3dmod::valueSlot(s3dmod::kSkew, "amount")]; }
    float amount() const { return m_value[s3dmod::valueSlot(s3dmod::kSkew, "amount")]; }
    float& direction() { return m_value[s3dmod::valueSlot(s3dmod::kSkew, "direction")]; }
    float direction() const { return m_value[s3dmod::valueSlot(s3dmod::kSkew, "direction")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
    float getFactor() const { return m_k; }

private:
    void appendAxisRotation(Matrix& toGizmo) override;
    void prepareKind() override;
    bool constantsFinite() const override { return std::isfinite(m_k); }
    float m_k = 0.0f;
};

class S3DModifierStretch : public S3DGizmoKind<S3DModifierStretch> {
public:
    S3DModifierStretch();
    float& stretch() { return m_value[s3dmod::valueSlot(s3dmod::kStretch, "stretch")]; }
    float stretch() const { return m_value[s3dmod::valueSlot(s3dmod::kStretch, "stretch")]; }
    float& amplify() { return m_value[s3dmod::valueSlot(s3dmod::kStretch, "amplify")]; }
    float amplify() const { return m_value[s3dmod::valueSlot(s3dmod::kStretch, "amplify")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
    bool moves() const { return !(stretch() == 0.0f || m_hi == m_lo); }

private:
    void appendAxisRotation(Matrix& toGizmo) override;
    void prepareKind() override;
    bool constantsFinite() const override { return allFinite({m_lo, m_hi, m_r, m_s}); }
    float m_lo = 0.0f, m_hi = 0.0f;
    // The squeeze at the middle and the scale along the axis: stretch < 0: r = 1 - stretch
    // amplify, s = -1 / (stretch - 1); else r = 1 / (stretch amplify + 1), s = stretch + 1.
    float m_r = 1.0f, m_s = 1.0f;
};

class S3DModifierSpherify : public S3DGizmoKind<S3DModifierSpherify> {
public:
    S3DModifierSpherify();
    float& percent() { return m_value[s3dmod::valueSlot(s3dmod::kSpherify, "percent")]; }
    float percent() const { return m_value[s3dmod::valueSlot(s3dmod::kSpherify, "percent")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
    const Point3D& getSphereCenter() const { return m_c; }
    float getSphereRadius() const { return m_radius; }

private:
    void prepareKind() override;
    bool constantsFinite() const override { return allFinite({m_c.x, m_c.y, m_c.z, m_radius, m_p}); }
    Point3D m_c;
    float m_radius = 0.0f;
    float m_p = 0.0f;
};

class S3DModifierWave : public S3DGizmoKind<S3DModifierWave> {
public:
    S3DModifierWave();
    float& amplitude1() { return m_value[s3dmod::valueSlot(s3dmod::kWave, "amplitude1")]; }
    float amplitude1() const { return m_value[s3dmod::valueSlot(s3dmod::kWave, "amplitude1")]; }
    float& amplitude2() { return m_value[s3dmod::valueSlot(s3dmod::kWave, "amplitude2")]; }
    float amplitude2() const { return m_value[s3dmod::valueSlot(s3dmod::kWave, "amplitude2")]; }
    float& waveLength() { return m_value[s3dmod::valueSlot(s3dmod::kWave, "waveLength")]; }
    float waveLength() const { return m_value[s3dmod::valueSlot(s3dmod::kWave, "waveLength")]; }
    float& phase() { return m_value[s3dmod::valueSlot(s3dmod::kWave, "phase")]; }
    float phase() const { return m_value[s3dmod::valueSlot(s3dmod::kWave, "phase")]; }
    float& decay() { return m_value[s3dmod::valueSlot(s3dmod::kWave, "decay")]; }
    float decay() const { return m_value[s3dmod::valueSlot(s3dmod::kWave, "decay")]; }
    int form() const { return m_option[s3dmod::optionSlot(s3dmod::kWave, "form")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
};

// Noise: with two octaves or more the displacement is the sum of octaves of noise3 at doubling
// frequencies, weighted by a fractal noise's weights (roughness as its H); the seed, octaves and
// roughness from the file are clamped to what the noise tables hold.
class S3DModifierNoise : public S3DGizmoKind<S3DModifierNoise> {
public:
    S3DModifierNoise();
    ~S3DModifierNoise() override;
    void load(ChunkFileReader& r) override;
    float& phaseFactor() { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "phaseFactor")]; }
    float phaseFactor() const { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "phaseFactor")]; }
    float& roughness() { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "roughness")]; }
    float roughness() const { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "roughness")]; }
    float& scale() { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "scale")]; }
    float scale() const { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "scale")]; }
    float& phase() { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "phase")]; }
    float phase() const { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "phase")]; }
    float& strengthX() { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "strength")]; }
    float strengthX() const { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "strength")]; }
    float& strengthY() { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "strength") + 1]; }
    float strengthY() const { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "strength") + 1]; }
    float& strengthZ() { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "strength") + 2]; }
    float strengthZ() const { return m_value[s3dmod::valueSlot(s3dmod::kNoise, "strength") + 2]; }
    int seed() const { return m_option[s3dmod::optionSlot(s3dmod::kNoise, "seed")]; }
    int octaves() const { return m_option[s3dmod::optionSlot(s3dmod::kNoise, "octaves")]; }
    int animated() const { return m_option[s3dmod::optionSlot(s3dmod::kNoise, "animate")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
    int getOctaves() const { return m_nbOctave; }

private:
    void prepareKind() override;
    bool constantsFinite() const override { return allFinite({m_k, m_c}); }
    // The three noises at n points of one block (S3DNoiseRows.h): noise3 at (z, y), (x, z), (x, y) and c, or
    // the weighted sums of octaves.
    void noise(NoiseColumnsFn columns, const float* x, const float* y, const float* z, float* nx, float* ny,
               float* nz, int n) const;

    const PerlinNoise* m_pPerlin = nullptr;
    std::unique_ptr<FractalNoise> m_pFractal;
    int m_nbOctave = 1;
    float m_weight[FractalNoise::kMaxOctave] = {1.0f};
    float m_k = 1.0f;
    float m_c = 0.0f;
};

// Melt (our own): the part of the object along the axis sinks towards its floor (its lowest
// point, or its highest with option 1 set) by amount percent, and spreads sideways by spread
// percent of how far it sank, divided by solidity (values below 0.01 count as 0.01):
//   h = gy - floor, h' = h·(1 - a), a = clamp(amount/100, 0, 1);
//   r = 1 + spread/100 · (h - h')/height / solidity; gx' = r·gx, gz' = r·gz.
class S3DModifierMelt : public S3DGizmoKind<S3DModifierMelt> {
public:
    S3DModifierMelt();
    float& amount() { return m_value[s3dmod::valueSlot(s3dmod::kMelt, "amount")]; }
    float amount() const { return m_value[s3dmod::valueSlot(s3dmod::kMelt, "amount")]; }
    float& spread() { return m_value[s3dmod::valueSlot(s3dmod::kMelt, "spread")]; }
    float spread() const { return m_value[s3dmod::valueSlot(s3dmod::kMelt, "spread")]; }
    float& solidity() { return m_value[s3dmod::valueSlot(s3dmod::kMelt, "solidity")]; }
    float solidity() const { return m_value[s3dmod::valueSlot(s3dmod::kMelt, "solidity")]; }
    int fromTop() const { return m_option[s3dmod::optionSlot(s3dmod::kMelt, "fromTop")]; }
    // The formula on n gizmo-space points, in place.
    void deformGizmo(Point3D* g, int n) const;
    bool moves() const { return !(m_a == 0.0f || m_height <= 0.0f); }

private:
    void appendAxisRotation(Matrix& toGizmo) override;
    void prepareKind() override;
    bool constantsFinite() const override { return allFinite({m_floor, m_height, m_a, m_spread}); }
    float m_floor = 0.0f, m_height = 0.0f, m_a = 0.0f, m_spread = 0.0f, m_sign = 1.0f;
};

// The world-space ripple (type 12, our own): a whole-mesh operation that pushes every point
// away from the centroid of the points along the line from it, by
//   s = amplitude·e^(-decay·ρ)·sin(2π(phase + ρ/waveLength)), ρ the distance to the centroid,
// then adds a jitter of (rand() mod 10000) × 0.0002 to each coordinate (in modifier space).
class S3DModifierRipple : public S3DModifier {
public:
    S3DModifierRipple();
    float& amplitude() { return m_value[s3dmod::valueSlot(s3dmod::kRipple, "amplitude")]; }
    float amplitude() const { return m_value[s3dmod::valueSlot(s3dmod::kRipple, "amplitude")]; }
    float& waveLength() { return m_value[s3dmod::valueSlot(s3dmod::kRipple, "waveLength")]; }
    float waveLength() const { return m_value[s3dmod::valueSlot(s3dmod::kRipple, "waveLength")]; }
    float& phase() { return m_value[s3dmod::valueSlot(s3dmod::kRipple, "phase")]; }
    float phase() const { return m_value[s3dmod::valueSlot(s3dmod::kRipple, "phase")]; }
    float& decay() { return m_value[s3dmod::valueSlot(s3dmod::kRipple, "decay")]; }
    float decay() const { return m_value[s3dmod::valueSlot(s3dmod::kRipple, "decay")]; }
    void apply(const Point3D* in, Point3D* out, int count, const float* weights, bool invert) override;

private:
    Point3D ripple(const Point3D& g, const Point3D& centroid) const;
};
