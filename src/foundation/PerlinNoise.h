// Gradient noise in one, two and three dimensions over 512-entry lattice tables, and fractional
// Brownian motion built on the one-dimensional noise. Shared by the noise controllers, the row
// blur effect driven by noise and the noise modifier.
#pragma once

#include <array>
#include <cstddef>

class PerlinNoise {
public:
    static constexpr int kTableSize = 512;                  // lattice period B
    static constexpr int kTableEntries = 2 * kTableSize + 2; // entries 0..513 repeated at 512..1025

    // Builds the tables: seeds the process-wide generator with 548485 (tlSrand) and draws from it,
    // so the content is always the same and the generator's later sequence depends on it.
    PerlinNoise();

    float noise1(float x) const;
    float noise2(float x, float y) const;
    float noise3(float x, float y, float z) const;

    // Table access, 0 <= i < kTableEntries.
    int permutation(int i) const { return m_permutation[size_t(i)]; }
    float g1(int i) const { return m_g1[size_t(i)]; }
    const std::array<float, 2>& g2(int i) const { return m_g2[size_t(i)]; }
    std::array<float, 3> g3(int i) const { return {m_g3[size_t(i)][0], m_g3[size_t(i)][1], m_g3[size_t(i)][2]}; }
    const std::array<float, 4>& g4(int i) const { return m_g4[size_t(i)]; }
    // The raw tables for kernels that evaluate noise3 over many points: kTableEntries
    // permutation entries; kTableEntries gradients of four floats (x, y, z, 0), 16-byte aligned.
    const int* permutationTable() const { return m_permutation.data(); }
    const float* gradient3Table() const { return m_g3[0].data(); }

private:
    std::array<int, kTableEntries> m_permutation{};
    std::array<float, kTableEntries> m_g1{};
    std::array<std::array<float, 2>, kTableEntries> m_g2{};
    // Three components and a zero, so that noise3 loads a gradient as one 16-byte vector.
    alignas(16) std::array<std::array<float, 4>, kTableEntries> m_g3{};
    std::array<std::array<float, 4>, kTableEntries> m_g4{}; // drawn for the sequence, not read
};

// Fractional Brownian motion (Musgrave): a sum of octaves of noise1, octave i at frequency
// lacunarity^i weighted w[i] = (lacunarity^i)^-H, plus a partial last octave.
class FractalNoise {
public:
    // Octave counts above this are treated as this many (the weight table has a fixed size).
    static constexpr int kMaxOctave = 32;

    // Builds the noise tables (reseeding the process-wide generator) and the weights.
    FractalNoise(double H, double lacunarity, double octaves);

    // Recomputes the weights for these arguments unless H is 0 (then the last weights are kept),
    // then sums the octaves.
    double fBm(double x, double H, double lacunarity, double octaves);

    double getH() const { return m_H; }
    double weight(int i) const { return m_weights[size_t(i)]; }
    const PerlinNoise& perlin() const { return m_noise; }

private:
    void computeWeights(double H, double lacunarity, double octaves);

    PerlinNoise m_noise;
    double m_H = 0.0;
    // The arguments the weights were last computed for, to skip recomputing identical ones.
    double m_lacunarity = 0.0;
    int m_nbWeight = 0;
    std::array<double, kMaxOctave + 2> m_weights{};
};
