// Radial smear of the render image away from a centre point, in place: each pixel blends itself
// with its neighbours one step closer to the centre, visited from the centre outwards, so bright
// pixels stretch into rays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fx2d/FxEffect.h"

class FxRadial : public FxEffect {
public:
    // Smooth: 14-bit factors, 32-bit sums; fast: 8-bit factors, 16-bit lanes (the script's word
    // order: SMOOTH, FAST).
    enum class Mode : int { Smooth = 0, Fast = 1 };

    // Builds the angular weight table for every offset 0 <= dx < width, 0 <= dy < height; none
    // beyond the image pixel cap (reported; the filter then does nothing).
    FxRadial(int width, int height);

    // Share taken from the neighbours, limited to 0..1.
    void setStrength(float strength);
    float getStrength() const { return m_strength; }
    // Extra gain on the neighbours' share, limited to 0..1.
    void setBoost(float boost);
    float getBoost() const { return m_boost; }
    // Truncated to integers, then limited to the image.
    void setCentre(float x, float y);
    int getCentreX() const { return m_centreX; }
    int getCentreY() const { return m_centreY; }
    void setMode(Mode mode) { m_mode = mode; }
    Mode getMode() const { return m_mode; }

    // Weight of the neighbour along the dominant axis for offset (dx, dy) from the centre: 256 on
    // the axes, 0 on the diagonals. 0 <= dx < width, 0 <= dy < height.
    int weight(int dx, int dy) const { return m_weights[size_t(dy) * size_t(m_width) + size_t(dx)]; }

    // Filters the screen; nothing without one.
    void apply();

private:
    Mode m_mode = Mode::Fast;
    float m_strength = 0.9f;
    float m_boost = 0.08f;
    int m_centreX;
    int m_centreY;
    std::vector<int16_t> m_weights; // width x height, row dy holds dx = 0 .. width-1
    // The same weights column by column (row dx holds dy = 0 .. height-1), padded for the packed
    // loops' bands, which read a column's weights for several rows at once.
    std::vector<int16_t> m_weightsByColumn;
    // Takes the rows of a band beyond the image's last row.
    std::vector<uint32_t> m_spareRow;
};
