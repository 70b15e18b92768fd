// What each gizmo modifier type keeps in its options and values, one table per type. A row
// gives the slot, the name the scene text uses, the child of the parameter record (chunk 50)
// that fills it, the child of the track record (chunk 201) whose float track drives it and the
// controller word that sets it. The loader, the scene text tools, the parameter controllers and
// the kinds' named accessors (through the slot constants) all read these, so a value is
// described once.
#pragma once

#include <cstdint>

// One option or value of a type. `fields` is "b" (a byte into option `slot`), "f" (a float into
// value `slot`) or "p" (a point into values slot … slot + 2). A point's track sets its three
// values; its controller word sets the three to the value without the combine mode, and the word
// followed by X, Y or Z sets one, combined like any other value. Options have neither.
struct S3DModifierField {
    int slot;
    const char* fields;
    const char* name;
    uint16_t param;
    uint16_t track = 0;          // 0: no track
    const char* word = nullptr;  // null: no controller word

    bool isOption() const { return fields[0] == 'b'; }
    // The values it fills: 3 for a point, else 1.
    int width() const { return fields[0] == 'p' ? 3 : 1; }
};

struct S3DModifierRecord {
    int type;
    const char* name;
    const S3DModifierField* fields;
    int nbField;
};

namespace s3dmod {
inline constexpr int kMaxValue = 8, kMaxOption = 4;

// Option 0 of the types that have an axis: 0 X, 1 Y, 2 Z.
inline constexpr int kAxis = 0;

inline constexpr int kBendAngle = 0, kBendDirection = 1;
inline constexpr S3DModifierField kBend[] = {{kAxis, "b", "axis", 100},
                                             {kBendAngle, "f", "angle", 101, 301, "ANGLE"},
                                             {kBendDirection, "f", "direction", 102, 302, "DIRECTION"}};

inline constexpr int kStretchStretch = 0, kStretchAmplify = 1;
inline constexpr S3DModifierField kStretch[] = {{kAxis, "b", "axis", 100},
                                                {kStretchStretch, "f", "stretch", 101, 301, "STRETCH"},
                                                {kStretchAmplify, "f", "amplify", 102, 302, "AMPLIFY"}};

// Noise: octaves 2 and more sum octaves with fractal weights; the roughness is their H; the
// phase factor scales the phase when the animate option is set. STRENGTH sets the three
// strengths, STRENGTHX, STRENGTHY and STRENGTHZ one each.
inline constexpr int kNoiseSeed = 0, kNoiseOctaves = 1, kNoiseAnimate = 2;
inline constexpr int kNoisePhaseFactor = 0, kNoiseRoughness = 1, kNoiseScale = 2, kNoisePhase = 3,
                     kNoiseStrength = 4;  // 4 … 6: x, y, z
inline constexpr S3DModifierField kNoise[] = {{kNoiseSeed, "b", "seed", 100},
                                              {kNoiseOctaves, "b", "octaves", 101},
                                              {kNoiseAnimate, "b", "animate", 102},
                                              {kNoisePhaseFactor, "f", "phaseFactor", 103},
                                              {kNoiseRoughness, "f", "roughness", 104},
                                              {kNoiseScale, "f", "scale", 106, 301, "SCALE"},
                                              {kNoisePhase, "f", "phase", 107, 302, "PHASE"},
                                              {kNoiseStrength, "p", "strength", 108, 303, "STRENGTH"}};

// Wave: the form option is 0 for a circular wave, anything else for a linear one.
inline constexpr int kWaveForm = 0;
inline constexpr int kWaveAmplitude1 = 0, kWaveAmplitude2 = 1, kWaveLength = 2, kWavePhase = 3, kWaveDecay = 4;
inline constexpr S3DModifierField kWave[] = {{kWaveForm, "b", "form", 100},
                                             {kWaveAmplitude1, "f", "amplitude1", 101, 301, "AMP1"},
                                             {kWaveAmplitude2, "f", "amplitude2", 102, 302, "AMP2"},
                                             {kWaveLength, "f", "waveLength", 103, 303, "WAVELEN"},
                                             {kWavePhase, "f", "phase", 104, 304, "PHASE"},
                                             {kWaveDecay, "f", "decay", 105, 305, "DECAY"}};

inline constexpr int kTwistAngle = 0, kTwistBias = 1;
inline constexpr S3DModifierField kTwist[] = {{kAxis, "b", "axis", 100},
                                              {kTwistAngle, "f", "angle", 101, 301, "ANGLE"},
                                              {kTwistBias, "f", "bias", 102, 302, "BIAS"}};

// Taper: the effect option is 0 for x, 1 for x and z, 2 for z.
inline constexpr int kTaperEffect = 1, kTaperSymmetry = 2;
inline constexpr int kTaperAmount = 0, kTaperCurve = 1;
inline constexpr S3DModifierField kTaper[] = {{kAxis, "b", "axis", 100},
                                              {kTaperEffect, "b", "effect", 101},
                                              {kTaperSymmetry, "b", "symmetry", 102},
                                              {kTaperAmount, "f", "amount", 103, 301, "AMOUNT"},
                                              {kTaperCurve, "f", "curve", 104, 302, "CURVE"}};

inline constexpr int kSkewAmount = 0, kSkewDirection = 1;
inline constexpr S3DModifierField kSkew[] = {{kAxis, "b", "axis", 100},
                                             {kSkewAmount, "f", "amount", 101, 301, "AMOUNT"},
                                             {kSkewDirection, "f", "direction", 102, 302, "DIRECTION"}};

inline constexpr int kSpherifyPercent = 0;
inline constexpr S3DModifierField kSpherify[] = {{kSpherifyPercent, "f", "percent", 100, 301, "PERCENT"}};

inline constexpr int kMeltFromTop = 1;
inline constexpr int kMeltAmount = 0, kMeltSpread = 1, kMeltSolidity = 2;
inline constexpr S3DModifierField kMelt[] = {{kAxis, "b", "axis", 100},
                                             {kMeltFromTop, "b", "fromTop", 101},
                                             {kMeltAmount, "f", "amount", 102, 301, "AMOUNT"},
                                             {kMeltSpread, "f", "spread", 103, 302, "SPREAD"},
                                             {kMeltSolidity, "f", "solidity", 104, 303, "SOLIDITY"}};

// The world-space ripple (type 12): values 4 … 7 are kept, two of them with tracks; no
// controller words.
inline constexpr int kRippleAmplitude = 0, kRippleWaveLength = 1, kRipplePhase = 2, kRippleDecay = 3;
inline constexpr S3DModifierField kRipple[] = {
    {kRippleAmplitude, "f", "amplitude", 100, 300}, {kRippleWaveLength, "f", "waveLength", 101, 301},
    {kRipplePhase, "f", "phase", 102, 302},         {kRippleDecay, "f", "decay", 103, 303},
    {4, "f", "value4", 104, 304},                   {5, "f", "value5", 105, 305},
    {6, "f", "value6", 106},                        {7, "f", "value7", 107}};

#define S3DMOD_RECORD(type, name, fields) {type, name, fields, int(sizeof fields / sizeof fields[0])}
inline constexpr S3DModifierRecord kRecords[] = {
    S3DMOD_RECORD(3, "bend", kBend),         S3DMOD_RECORD(4, "stretch", kStretch),
    S3DMOD_RECORD(5, "noise", kNoise),       S3DMOD_RECORD(6, "wave", kWave),
    S3DMOD_RECORD(7, "twist", kTwist),       S3DMOD_RECORD(8, "taper", kTaper),
    S3DMOD_RECORD(9, "skew", kSkew),         S3DMOD_RECORD(10, "spherify", kSpherify),
    S3DMOD_RECORD(11, "melt", kMelt),        S3DMOD_RECORD(12, "ripple", kRipple),
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
