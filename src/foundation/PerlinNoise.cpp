#include "foundation/PerlinNoise.h"

#include <climits>
#include <cmath>
#include <utility>

#include "foundation/Random.h"

// Precision: lattice coordinates, gradients and blends are single-precision floats, as in the
// reference gradient noise. With the offset 10000 a coordinate therefore resolves to steps of
// 1/1024 within a cell; that quantisation is part of the noise's look.

namespace {

constexpr int kPerlinSeed = 548485;
constexpr int kMask = PerlinNoise::kTableSize - 1;
constexpr float kOffset = 10000.0f;

// A gradient component: (rand() mod 1024 - 512) / 512, in [-1, 1).
float drawComponent()
{
    return float(tlRand() % (2 * PerlinNoise::kTableSize) - PerlinNoise::kTableSize) / float(PerlinNoise::kTableSize);
}

// A gradient of N components inside the unit ball (drawn again while its squared length exceeds 1),
// then normalised.
template <size_t N>
std::array<float, N> drawGradient()
{
    std::array<float, N> v{};
    float length2 = 0.0f;
    do {
        length2 = 0.0f;
        for (float& c : v) {
            c = drawComponent();
            length2 += c * c; // exact: every term is a multiple of 2^-18 below 1
        }
    } while (length2 > 1.0f);
    const float length = float(std::sqrt(double(length2)));
    for (float& c : v) c = c / length;
    return v;
}

// Lattice cell of one coordinate: indices b0, b1 = b0 + 1 (both mod 512) and the offsets from
// the two lattice points.
struct Lattice {
    int b0;
    int b1;
    float r0;
    float r1;
};

Lattice lattice(float v)
{
    const float t = v + kOffset;
    // Truncation toward zero; out of range (or NaN) gives INT_MIN as the x86 conversion does,
    // instead of undefined behaviour.
    const int i = (t > -2147483648.0f && t < 2147483648.0f) ? int(t) : INT_MIN;
    Lattice l;
    l.b0 = i & kMask;
    l.b1 = (l.b0 + 1) & kMask;
    l.r0 = t - float(i);
    l.r1 = l.r0 - 1.0f;
    return l;
}

// Hashed indices of the four corners of a 2D lattice cell: (x0, y0), (x1, y0), (x0, y1), (x1, y1).
template <class Table>
std::array<int, 4> cellCorners(const Table& p, const Lattice& lx, const Lattice& ly)
{
    const int i = p[size_t(lx.b0)];
    const int j = p[size_t(lx.b1)];
    return {p[size_t(i + ly.b0)], p[size_t(j + ly.b0)], p[size_t(i + ly.b1)], p[size_t(j + ly.b1)]};
}

// s(t) = t^2 (3 - 2t): the product t*t in single precision, the rest in double, stored as float.
float sCurve(float t)
{
    const float t2 = t * t;
    return float(double(t2) * (3.0 - 2.0 * double(t)));
}

float lerp(float t, float a, float b)
{
    return a + t * (b - a);
}

// Octave counts as the weight table holds them: NaN and counts beyond kMaxOctave are limited
// (the table holds kMaxOctave + 2 weights), as are counts below -1.
double clampOctaves(double octaves)
{
    if (!(octaves <= double(FractalNoise::kMaxOctave))) return double(FractalNoise::kMaxOctave);
    if (!(octaves >= -1.0)) return -1.0;
    return octaves;
}

} // namespace

PerlinNoise::PerlinNoise()
{
    tlSrand(kPerlinSeed);
    int i = 0;
    for (; i < kTableSize; ++i) {
        m_permutation[size_t(i)] = i;
        m_g1[size_t(i)] = drawComponent();
        m_g2[size_t(i)] = drawGradient<2>();
        m_g3[size_t(i)] = drawGradient<3>();
        m_g4[size_t(i)] = drawGradient<4>();
    }
    for (i = kTableSize - 1; i > 0; --i) {
        const int j = tlRand() % kTableSize;
        std::swap(m_permutation[size_t(i)], m_permutation[size_t(j)]);
    }
    // Entries 0..513 repeated at 512..1025, so b + 1 and permutation sums index without wrapping.
    for (i = 0; i < kTableSize + 2; ++i) {
        const size_t from = size_t(i);
        const size_t to = size_t(kTableSize + i);
        m_permutation[to] = m_permutation[from];
        m_g1[to] = m_g1[from];
        m_g2[to] = m_g2[from];
        m_g3[to] = m_g3[from];
        m_g4[to] = m_g4[from];
    }
}

float PerlinNoise::noise1(float x) const
{
    const Lattice lx = lattice(x);
    const float s = sCurve(lx.r0);
    const float u = lx.r0 * m_g1[size_t(m_permutation[size_t(lx.b0)])];
    const float v = lx.r1 * m_g1[size_t(m_permutation[size_t(lx.b1)])];
    return lerp(s, u, v);
}

float PerlinNoise::noise2(float x, float y) const
{
    const Lattice lx = lattice(x);
    const Lattice ly = lattice(y);
    const auto [b00, b10, b01, b11] = cellCorners(m_permutation, lx, ly);
    const float sx = sCurve(lx.r0);
    const float sy = sCurve(ly.r0);

    auto at = [this](int b, float rx, float ry) {
        const std::array<float, 2>& q = m_g2[size_t(b)];
        return rx * q[0] + ry * q[1];
    };
    const float a = lerp(sx, at(b00, lx.r0, ly.r0), at(b10, lx.r1, ly.r0));
    const float b = lerp(sx, at(b01, lx.r0, ly.r1), at(b11, lx.r1, ly.r1));
    return lerp(sy, a, b);
}

float PerlinNoise::noise3(float x, float y, float z) const
{
    const Lattice lx = lattice(x);
    const Lattice ly = lattice(y);
    const Lattice lz = lattice(z);
    const auto [b00, b10, b01, b11] = cellCorners(m_permutation, lx, ly);
    const float t = sCurve(lx.r0);
    const float sy = sCurve(ly.r0);
    const float sz = sCurve(lz.r0);

    auto at = [this](int b, float rx, float ry, float rz) {
        const std::array<float, 3>& q = m_g3[size_t(b)];
        return rx * q[0] + ry * q[1] + rz * q[2];
    };
    float a = lerp(t, at(b00 + lz.b0, lx.r0, ly.r0, lz.r0), at(b10 + lz.b0, lx.r1, ly.r0, lz.r0));
    float b = lerp(t, at(b01 + lz.b0, lx.r0, ly.r1, lz.r0), at(b11 + lz.b0, lx.r1, ly.r1, lz.r0));
    const float c = lerp(sy, a, b);
    a = lerp(t, at(b00 + lz.b1, lx.r0, ly.r0, lz.r1), at(b10 + lz.b1, lx.r1, ly.r0, lz.r1));
    b = lerp(t, at(b01 + lz.b1, lx.r0, ly.r1, lz.r1), at(b11 + lz.b1, lx.r1, ly.r1, lz.r1));
    const float d = lerp(sy, a, b);
    return lerp(sz, c, d);
}

FractalNoise::FractalNoise(double H, double lacunarity, double octaves)
{
    computeWeights(H, lacunarity, clampOctaves(octaves));
}

void FractalNoise::computeWeights(double H, double lacunarity, double octaves)
{
    // Weights 0..floor(octaves), plus one more for the partial octave that follows the whole ones
    // when octaves is not an integer (the loop runs ceil(octaves) times).
    const int whole = octaves > 0.0 ? int(octaves) : 0;
    const int count = whole + 2;
    if (m_nbWeight == count && m_H == H && m_lacunarity == lacunarity) return;
    double frequency = 1.0;
    for (int i = 0; i < count; ++i) {
        m_weights[size_t(i)] = std::pow(frequency, -H);
        frequency *= lacunarity;
    }
    m_H = H;
    m_lacunarity = lacunarity;
    m_nbWeight = count;
}

double FractalNoise::fBm(double x, double H, double lacunarity, double octaves)
{
    octaves = clampOctaves(octaves);
    if (H != 0.0) computeWeights(H, lacunarity, octaves);

    double value = 0.0;
    int i = 0;
    for (; i < octaves; ++i) {
        value += double(m_noise.noise1(float(x))) * m_weights[size_t(i)];
        x *= lacunarity;
    }
    const double remainder = octaves - double(int(octaves));
    if (remainder != 0.0) value += remainder * double(m_noise.noise1(float(x))) * m_weights[size_t(i)];
    return value;
}
