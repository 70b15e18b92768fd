// AngleAxis: a rotation as an axis (x, y, z, not necessarily unit) and an angle in radians.
#pragma once

struct AngleAxis {
    float x = 1.0f;
    float y = 0.0f;
    float z = 0.0f;
    float angle = 0.0f;

    constexpr AngleAxis() = default;
    constexpr AngleAxis(float ax, float ay, float az, float a) : x(ax), y(ay), z(az), angle(a) {}
};
