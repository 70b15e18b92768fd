// What each gizmo modifier type keeps in its options and values, one table per type. A row
// gives the slot, the name the scene text uses, the child of the parameter record (chunk 50)
// that fills it, the child of the track record (chunk 201) whose float track drives it and the
// controller word that sets it. The loader, the scene text tools, the parameter controllers and
// the kinds' accessors (which find their slot by name here) all read these, so a value is
// described once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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

    constexpr bool isOption() const { return fields[0] == 'b'; }
    // The values it fills: 3 for a point, else 1.
    constexpr int width() const { return fields[0] == 'p' ? 3 : 1; }
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

inline constexpr S3DModifierField kBend[] = {{kAxis, "b", "axis", 100},
                                             {0, "f", "angle", 101, 301, "ANGLE"},
                                             {1, "f", "direction", 102, 302, "DIRECTION"}};

inline constexpr S3DModifierField kStretch[] = {{kAxis, "b", "axis", 100},
                                                {0, "f", "stretch", 101, 301, "STRETCH"},
                                                {1, "f", "amplify", 102, 302, "AMPLIFY"}};

// Noise: octaves 2 and more sum octaves with fractal weights; the roughness is their H; the
// phase factor scales the phase when the animate option is set. STRENGTH sets the three
// strengths, STRENGTHX, STRENGTHY and STRENGTHZ one each.
inline constexpr S3DModifierField kNoise[] = {{0, "b", "seed", 100},
                                              {1, "b", "octaves", 101},
                                              {2, "b", "animate", 102},
                                              {0, "f", "phaseFactor", 103},
                                              {1, "f", "roughness", 104},
                                              {2, "f", "scale", 106, 301, "SCALE"},
                                              {3, "f", "phase", 107, 302, "PHASE"},
                                              {4, "p", "strength", 108, 303, "STRENGTH"}};

// Wave: the form option is 0 for a circular wave, anything else for a linear one.
inline constexpr S3DModifierField kWave[] = {{0, "b", "form", 100},
                                             {0, "f", "amplitude1", 101, 301, "AMP1"},
                                             {1, "f", "amplitude2", 102, 302, "AMP2"},
                                             {2, "f", "waveLength", 103, 303, "WAVELEN"},
                                             {3, "f", "phase", 104, 304, "PHASE"},
                                             {4, "f", "decay", 105, 305, "DECAY"}};

inline constexpr S3DModifierField kTwist[] = {{kAxis, "b", "axis", 100},
                                              {0, "f", "angle", 101, 301, "ANGLE"},
                                              {1, "f", "bias", 102, 302, "BIAS"}};

// Taper: the effect option is 0 for x, 1 for x and z, 2 for z.
inline constexpr S3DModifierField kTaper[] = {{kAxis, "b", "axis", 100},
                                              {1, "b", "effect", 101},
                                              {2, "b", "symmetry", 102},
                                              {0, "f", "amount", 103, 301, "AMOUNT"},
                                              {1, "f", "curve", 104, 302, "CURVE"}};

inline constexpr S3DModifierField kSkew[] = {{kAxis, "b", "axis", 100},
                                             {0, "f", "amount", 101, 301, "AMOUNT"},
                                             {1, "f", "direction", 102, 302, "DIRECTION"}};

inline constexpr S3DModifierField kSpherify[] = {{0, "f", "percent", 100, 301, "PERCENT"}};

inline constexpr S3DModifierField kMelt[] = {{kAxis, "b", "axis", 100},
                                             {1, "b", "fromTop", 101},
                                             {0, "f", "amount", 102, 301, "AMOUNT"},
                                             {1, "f", "spread", 103, 302, "SPREAD"},
                                             {2, "f", "solidity", 104, 303, "SOLIDITY"}};

// The world-space ripple (type 12): values 4 … 7 are kept, two of them with tracks; no
// controller words.
inline constexpr S3DModifierField kRipple[] = {
    {0, "f", "amplitude", 100, 300}, {1, "f", "waveLength", 101, 301}, {2, "f", "phase", 102, 302},
    {3, "f", "decay", 103, 303},     {4, "f", "value4", 104, 304},     {5, "f", "value5", 105, 305},
    {6, "f", "value6", 106},         {7, "f", "value7", 107}};

#define S3DMOD_RECORD(type, name, fields) {type, name, fields, int(sizeof fields / sizeof fields[0])}
inline constexpr S3DModifierRecord kRecords[] = {
    S3DMOD_RECORD(3, "bend", kBend),         S3DMOD_RECORD(4, "stretch", kStretch),
    S3DMOD_RECORD(5, "noise", kNoise),       S3DMOD_RECORD(6, "wave", kWave),
    S3DMOD_RECORD(7, "twist", kTwist),       S3DMOD_RECORD(8, "taper", kTaper),
    S3DMOD_RECORD(9, "skew", kSkew),         S3DMOD_RECORD(10, "spherify", kSpherify),
    S3DMOD_RECORD(11, "melt", kMelt),        S3DMOD_RECORD(12, "ripple", kRipple),
};
#undef S3DMOD_RECORD

// The slot of the value or of the option called `name` in a type's table, for the kinds'
// accessors; a name the table lacks does not compile.
template <size_t N>
consteval int valueSlot(const S3DModifierField (&fields)[N], std::string_view name)
{
    for (const S3DModifierField& f : fields)
        if (!f.isOption() && name == f.name) return f.slot;
    throw "no value of that name";
}
template <size_t N>
consteval int optionSlot(const S3DModifierField (&fields)[N], std::string_view name)
{
    for (const S3DModifierField& f : fields)
        if (f.isOption() && name == f.name) return f.slot;
    throw "no option of that name";
}
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
