// The file records of the gizmo modifiers, one table per type: which child of the parameter
// record (chunk 50) and of the track record (chunk 201) fills which value. The loader and the
// scene text tools read the same tables, so a record is described once.
#pragma once

#include <cstdint>

// A value of the parameter record: `fields` is "b" (a byte into the modifier's option `slot`),
// "f" (a float into value `slot`) or "p" (a point into values slot … slot + 2).
struct S3DModifierField {
    uint16_t id;
    const char* fields;
    const char* name;
    int slot;
};

// A float track of the track record: drives value `slot` (and the `width` - 1 values after it).
struct S3DModifierTrackField {
    uint16_t id;
    const char* name;
    int slot;
    int width;
};

struct S3DModifierRecord {
    int type;
    const char* name;
    const S3DModifierField* params;
    int nbParam;
    const S3DModifierTrackField* tracks;
    int nbTrack;
};

// Value and option slots of each type (the modifier classes name them).
namespace s3dmod {
inline constexpr int kMaxValue = 8, kMaxOption = 4;

inline constexpr S3DModifierField kBendParams[] = {{100, "b", "axis", 0}, {101, "f", "angle", 0}, {102, "f", "direction", 1}};
inline constexpr S3DModifierTrackField kBendTracks[] = {{301, "angle", 0, 1}, {302, "direction", 1, 1}};
inline constexpr S3DModifierField kStretchParams[] = {{100, "b", "axis", 0}, {101, "f", "stretch", 0}, {102, "f", "amplify", 1}};
inline constexpr S3DModifierTrackField kStretchTracks[] = {{301, "stretch", 0, 1}, {302, "amplify", 1, 1}};
// Noise values: 0 phase factor, 1 roughness, 2 scale, 3 phase, 4 … 6 strength; options: 0 seed,
// 1 octaves (2 and more sum octaves with fractal weights), 2 phase flag.
inline constexpr S3DModifierField kNoiseParams[] = {
    {100, "b", "seed", 0},       {101, "b", "octaves", 1}, {102, "b", "animate", 2},  {103, "f", "phaseFactor", 0},
    {104, "f", "roughness", 1}, {106, "f", "scale", 2},   {107, "f", "phase", 3},    {108, "p", "strength", 4}};
inline constexpr S3DModifierTrackField kNoiseTracks[] = {{301, "scale", 2, 1}, {302, "phase", 3, 1}, {303, "strength", 4, 3}};
inline constexpr S3DModifierField kWaveParams[] = {{100, "b", "form", 0},      {101, "f", "amplitude1", 0},
                                                   {102, "f", "amplitude2", 1}, {103, "f", "waveLength", 2},
                                                   {104, "f", "phase", 3},      {105, "f", "decay", 4}};
inline constexpr S3DModifierTrackField kWaveTracks[] = {{301, "amplitude1", 0, 1}, {302, "amplitude2", 1, 1},
                                                        {303, "waveLength", 2, 1}, {304, "phase", 3, 1},
                                                        {305, "decay", 4, 1}};
inline constexpr S3DModifierField kTwistParams[] = {{100, "b", "axis", 0}, {101, "f", "angle", 0}, {102, "f", "bias", 1}};
inline constexpr S3DModifierTrackField kTwistTracks[] = {{301, "angle", 0, 1}, {302, "bias", 1, 1}};
inline constexpr S3DModifierField kTaperParams[] = {{100, "b", "axis", 0},     {101, "b", "effect", 1},
                                                    {102, "b", "symmetry", 2}, {103, "f", "amount", 0},
                                                    {104, "f", "curve", 1}};
inline constexpr S3DModifierTrackField kTaperTracks[] = {{301, "amount", 0, 1}, {302, "curve", 1, 1}};
inline constexpr S3DModifierField kSkewParams[] = {{100, "b", "axis", 0}, {101, "f", "amount", 0}, {102, "f", "direction", 1}};
inline constexpr S3DModifierTrackField kSkewTracks[] = {{301, "amount", 0, 1}, {302, "direction", 1, 1}};
inline constexpr S3DModifierField kSpherifyParams[] = {{100, "f", "percent", 0}};
inline constexpr S3DModifierTrackField kSpherifyTracks[] = {{301, "percent", 0, 1}};
inline constexpr S3DModifierField kMeltParams[] = {{100, "b", "axis", 0},    {101, "b", "fromTop", 1},
                                                   {102, "f", "amount", 0}, {103, "f", "spread", 1},
                                                   {104, "f", "solidity", 2}};
inline constexpr S3DModifierTrackField kMeltTracks[] = {{301, "amount", 0, 1}, {302, "spread", 1, 1}, {303, "solidity", 2, 1}};
// The world-space ripple (type 12): 0 amplitude, 1 wave length, 2 phase, 3 decay, 4 … 7 kept.
inline constexpr S3DModifierField kRippleParams[] = {
    {100, "f", "amplitude", 0}, {101, "f", "waveLength", 1}, {102, "f", "phase", 2}, {103, "f", "decay", 3},
    {104, "f", "value4", 4},    {105, "f", "value5", 5},     {106, "f", "value6", 6}, {107, "f", "value7", 7}};
inline constexpr S3DModifierTrackField kRippleTracks[] = {{300, "amplitude", 0, 1}, {301, "waveLength", 1, 1},
                                                          {302, "phase", 2, 1},     {303, "decay", 3, 1},
                                                          {304, "value4", 4, 1},    {305, "value5", 5, 1}};

#define S3DMOD_RECORD(type, name, p, t) {type, name, p, int(sizeof p / sizeof p[0]), t, int(sizeof t / sizeof t[0])}
inline constexpr S3DModifierRecord kRecords[] = {
    S3DMOD_RECORD(3, "bend", kBendParams, kBendTracks),
    S3DMOD_RECORD(4, "stretch", kStretchParams, kStretchTracks),
    S3DMOD_RECORD(5, "noise", kNoiseParams, kNoiseTracks),
    S3DMOD_RECORD(6, "wave", kWaveParams, kWaveTracks),
    S3DMOD_RECORD(7, "twist", kTwistParams, kTwistTracks),
    S3DMOD_RECORD(8, "taper", kTaperParams, kTaperTracks),
    S3DMOD_RECORD(9, "skew", kSkewParams, kSkewTracks),
    S3DMOD_RECORD(10, "spherify", kSpherifyParams, kSpherifyTracks),
    S3DMOD_RECORD(11, "melt", kMeltParams, kMeltTracks),
    S3DMOD_RECORD(12, "ripple", kRippleParams, kRippleTracks),
};
#undef S3DMOD_RECORD
} // namespace s3dmod

// The record of a gizmo modifier type (3 to 12), or null.
constexpr const S3DModifierRecord* findModifierRecord(int type)
{
    for (const S3DModifierRecord& r : s3dmod::kRecords)
        if (r.type == type) return &r;
    return nullptr;
}

// Skin and morph records (types 1 and 2).
inline constexpr uint16_t kL3xModifierGizmo = 1, kL3xModifierParams = 50, kL3xModifierTracks = 201;
inline constexpr uint16_t kL3xGizmoValues = 100, kL3xGizmoTracks = 200;
inline constexpr uint16_t kL3xGizmoTM = 101, kL3xGizmoPosition = 102, kL3xGizmoOffset = 103, kL3xGizmoScale = 104,
                          kL3xGizmoRotation = 105;
inline constexpr uint16_t kL3xGizmoPositionTrack = 202, kL3xGizmoOffsetTrack = 203, kL3xGizmoScaleTrack = 204,
                          kL3xGizmoRotationTrack = 205;
inline constexpr uint16_t kL3xSkinTM = 70, kL3xSkinBones = 100, kL3xSkinVertices = 200;
inline constexpr uint16_t kL3xMorphTargets = 100, kL3xMorphTarget = 101, kL3xMorphTargetValues = 50,
                          kL3xMorphTargetName = 101, kL3xMorphTargetWeight = 102, kL3xMorphTargetTracks = 250,
                          kL3xMorphWeightTrack = 301;
