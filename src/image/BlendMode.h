// How a drawn pixel meets the pixel below it: the one blend-mode vocabulary of the blits, the
// lines, the layer mixes and the blur effect. The numbers are the blit family's mode values;
// script words become modes where the script is read.
#pragma once

enum class BlendMode : int { Normal = 0, Add = 1, Sub = 3 };

constexpr BlendMode kBlendNormal = BlendMode::Normal;  // the source replaces (or is weighted in)
constexpr BlendMode kBlendAdd = BlendMode::Add;        // per byte min(255, d + s)
constexpr BlendMode kBlendSub = BlendMode::Sub;        // per byte max(0, d - s)
