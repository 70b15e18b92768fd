// The 2D scene file: one little-endian byte stream (u16 counts and key times, f32 values,
// NUL-terminated strings). Shared by the scene loader and the tool that writes scene files.
//
//   u16 frame count; u16 sprite node count N; N x u16 sprite index
//   u16 camera count C; C x (field-of-view float track, roll float track)
//   u16 sprite count S; S x (string name, u8 blend, string image file, u8 filter flag,
//                            string alpha-map file, u8 unused, opacity float track)
//   optional transform block: the tag "XFRM", then
//     N x (string name, string parent name, position, scale: point tracks; rotation track)
//     C x (string name, string target name, position, target position: point tracks)
//
// Float track: u8 kind (1 linear, 2 hermite, 3 TCB, 4 bezier), u16 key count, then per key u16
// time and the value; TCB keys add bias, tension, continuity, ease from, ease to; bezier keys add
// in tangent (x 160 when read), in length, u16 in type, out tangent (x 160), out length, u16 out
// type. Point track: u8 kind (0 none, 1 linear, 2 hermite), u16 key count, per key u16 time and
// x, y, z. Rotation track: u8 kind (0 none, 1 linear), u16 key count, per key u16 time, angle
// (radians) and axis x, y, z; each key absolute.
#pragma once

#include <cstdint>

constexpr char kS2DTransformTag[4] = {'X', 'F', 'R', 'M'};
// Strings take at most this many bytes of the stream, their NUL included.
constexpr int kS2DMaxString = 256;
// Bezier tangents are stored divided by this.
constexpr float kS2DTangentScale = 160.0f;
// Blend bytes of the stream and the blend modes they select (anything else: normal).
constexpr uint8_t kS2DBlendAdd = 1;   // blend mode 1
constexpr uint8_t kS2DBlendSub = 2;   // blend mode 3
