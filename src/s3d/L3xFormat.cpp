#include "s3d/L3xFormat.h"

#include <array>
#include <cstring>
#include <iterator>

#include "s3d/S3DModifierRecord.h"

namespace {
using K = L3xChunkKind;
using T = L3xTrackKind;

#define KIDS(table) table, int(std::size(table))

constexpr K leaf(uint16_t id, const char* name, const char* fields) { return {id, name, fields, nullptr, 0, T::None, 0}; }
constexpr K raw(uint16_t id, const char* name) { return {id, name, nullptr, nullptr, 0, T::None, 0}; }
constexpr K track(uint16_t id, const char* name, T kind) { return {id, name, "", nullptr, 0, kind, 0}; }
constexpr K group(uint16_t id, const char* name, const K* children, int n) { return {id, name, "", children, n, T::None, 0}; }
constexpr K list(uint16_t id, const char* name, const char* count, uint16_t item, const K* children, int n)
{
    return {id, name, count, children, n, T::None, item};
}

// Node and header.
const K kNodeValues[] = {leaf(101, "mode", "b"), leaf(102, "pivot", "p"), leaf(103, "position", "p"),
                         leaf(104, "scale", "p"), leaf(105, "rotation", "a")};
const K kNodeTracks[] = {track(201, "position", T::Point), track(202, "scale", T::Point),
                         track(203, "rotation", T::Rotation)};
const K kNode[] = {group(100, "values", KIDS(kNodeValues)), group(200, "tracks", KIDS(kNodeTracks))};
const K kHeader[] = {leaf(1, "name", "s"), leaf(2, "parent", "s"), group(3, "node", KIDS(kNode))};

// Cameras, lights, dummies.
const K kCameraValues[] = {leaf(101, "fov", "f"), leaf(102, "roll", "f"), leaf(103, "near", "f"),
                           leaf(104, "far", "f")};
const K kCameraTracks[] = {track(201, "fov", T::Float), track(202, "roll", T::Float)};
const K kCamera[] = {group(1, "header", KIDS(kHeader)), group(2, "target", KIDS(kHeader)),
                     group(100, "values", KIDS(kCameraValues)), group(200, "tracks", KIDS(kCameraTracks))};
const K kLightValues[] = {leaf(101, "colour", "p"),  leaf(102, "intensity", "f"), leaf(103, "nearAttenuation", "f"),
                          leaf(104, "farAttenuation", "f"), leaf(105, "type", "i"), leaf(106, "falloff", "f"),
                          leaf(107, "hotspot", "f")};
const K kLightTracks[] = {track(201, "intensity", T::Float),       track(202, "colour", T::Point),
                          track(203, "nearAttenuation", T::Float), track(204, "farAttenuation", T::Float),
                          track(205, "falloff", T::Float),         track(206, "hotspot", T::Float)};
const K kLight[] = {group(1, "header", KIDS(kHeader)), group(2, "target", KIDS(kHeader)),
                    group(100, "values", KIDS(kLightValues)), group(200, "tracks", KIDS(kLightTracks))};
const K kDummy[] = {group(1, "header", KIDS(kHeader))};

// Materials.
const K kTextureValues[] = {
    leaf(10, "fileName", "s"),   leaf(11, "cropU", "f"),        leaf(12, "cropV", "f"),
    leaf(13, "cropW", "f"),      leaf(14, "cropH", "f"),        leaf(15, "offsetU", "f"),
    leaf(16, "offsetV", "f"),    leaf(17, "tileU", "f"),        leaf(18, "tileV", "f"),
    leaf(19, "angle", "f"),      leaf(20, "useTransform", "i"), leaf(21, "environmentMap", "i"),
    leaf(22, "textureMode", "i"), leaf(23, "generator", "i"),   leaf(24, "value24", "f"),
    leaf(25, "value25", "i"),    leaf(26, "value26", "f"),      leaf(27, "value27", "i"),
    leaf(28, "value28", "i"),    leaf(29, "useCrop", "i")};
const K kTextureTracks[] = {track(110, "offsetU", T::Float),    track(111, "offsetV", T::Float),
                            track(112, "tileU", T::Float),      track(113, "generator1", T::Float),
                            track(114, "tileV", T::Float),      track(115, "angle", T::Float),
                            track(116, "generator2", T::Float), track(117, "generator3", T::Float)};
const K kTextureMap[] = {group(1, "values", KIDS(kTextureValues)), group(100, "tracks", KIDS(kTextureTracks))};
const K kShadingValues[] = {
    leaf(10, "paletteEnabled", "i"), leaf(11, "twoSided", "i"), leaf(12, "opacityKind", "i"),
    leaf(13, "blendMode", "i"),      leaf(14, "opacity", "f"),  leaf(15, "bilinear", "i"),
    leaf(16, "value16", "i"),        leaf(17, "ambient", "p"),  leaf(18, "diffuse", "p"),
    leaf(19, "specular", "p"),       leaf(20, "value20", "f"),  leaf(21, "specularPower", "f"),
    group(22, "textureMap1", KIDS(kTextureMap)), group(23, "textureMap2", KIDS(kTextureMap))};
const K kShadingTracks[] = {track(110, "opacity", T::Float), track(111, "ambient", T::Point),
                            track(112, "diffuse", T::Point), track(113, "specular", T::Point)};
const K kShading[] = {group(1, "values", KIDS(kShadingValues)), group(100, "tracks", KIDS(kShadingTracks))};
const K kParams1Values[] = {leaf(10, "value10", "f"), leaf(11, "value11", "f"), leaf(12, "value12", "f"),
                            leaf(13, "value13", "f"), leaf(14, "value14", "f"), leaf(15, "value15", "f"),
                            leaf(16, "value16", "f")};
const K kParams1Tracks[] = {track(110, "value10", T::Float), track(111, "value11", T::Float),
                            track(112, "value12", T::Float), track(113, "value13", T::Float),
                            track(114, "value14", T::Float), track(115, "value15", T::Float),
                            track(116, "value16", T::Float)};
const K kParams1[] = {group(1, "values", KIDS(kParams1Values)), group(100, "tracks", KIDS(kParams1Tracks))};
const K kParams2Values[] = {leaf(10, "value10", "f"), leaf(11, "value11", "f"), leaf(12, "text", "s"),
                            leaf(13, "value13", "f"), leaf(14, "value14", "f"), leaf(15, "value15", "f"),
                            leaf(16, "value16", "f"), leaf(17, "value17", "f"), leaf(18, "value18", "f")};
const K kParams2Tracks[] = {track(110, "value10", T::Float), track(111, "value11", T::Float),
                            track(113, "value13", T::Float), track(114, "value14", T::Float),
                            track(115, "value15", T::Float), track(116, "value16", T::Float),
                            track(117, "value17", T::Float), track(118, "value18", T::Float)};
const K kParams2[] = {group(1, "values", KIDS(kParams2Values)), group(100, "tracks", KIDS(kParams2Tracks))};
const K kSubMaterial[] = {leaf(1, "name", "s"), group(2, "shading", KIDS(kShading)),
                          group(3, "params1", KIDS(kParams1)), group(4, "params2", KIDS(kParams2)),
                          group(5, "textureMap", KIDS(kTextureMap))};
const K kSubMaterials[] = {group(201, "subMaterial", KIDS(kSubMaterial))};
const K kMaterial[] = {leaf(101, "name", "s"), list(200, "subMaterials", "N", 201, KIDS(kSubMaterials))};

// Modifiers: the gizmo, then the parameter record and its tracks as the type's table has them
// (types without a table keep both as bytes); skin and morph have records of their own.
const K kGizmoValues[] = {leaf(101, "tm", "m"), leaf(102, "position", "p"), leaf(103, "offset", "p"),
                          leaf(104, "scale", "p"), leaf(105, "rotation", "a")};
const K kGizmoTracks[] = {track(202, "position", T::Point), track(203, "offset", T::Point),
                          track(204, "scale", T::Point), track(205, "rotation", T::Rotation)};
const K kGizmo[] = {group(100, "values", KIDS(kGizmoValues)), group(200, "tracks", KIDS(kGizmoTracks))};
const K kModifier[] = {group(1, "gizmo", KIDS(kGizmo)), raw(50, "parameters"), raw(201, "parameterTracks")};
const K kModifiers[] = {{2001, "modifier", "b", KIDS(kModifier), T::None, 0}};

template <size_t N>
constexpr std::array<K, N> parameterKinds(const S3DModifierField (&fields)[N])
{
    std::array<K, N> out{};
    for (size_t i = 0; i < N; ++i) out[i] = leaf(fields[i].param, fields[i].name, fields[i].fields);
    return out;
}
template <size_t N>
constexpr size_t trackCount(const S3DModifierField (&fields)[N])
{
    size_t n = 0;
    for (const S3DModifierField& f : fields) n += f.track != 0;
    return n;
}
template <size_t NT, size_t N>
constexpr std::array<K, NT> trackKinds(const S3DModifierField (&fields)[N])
{
    std::array<K, NT> out{};
    size_t n = 0;
    for (const S3DModifierField& f : fields)
        if (f.track != 0) out[n++] = track(f.track, f.name, T::Float);
    return out;
}
#define TL_MODIFIER_KIND(name)                                                                              \
    constexpr auto name##Params = parameterKinds(s3dmod::name);                                              \
    constexpr auto name##Tracks = trackKinds<trackCount(s3dmod::name)>(s3dmod::name);                        \
    const K name[] = {group(1, "gizmo", KIDS(kGizmo)),                                                      \
                      group(50, "parameters", name##Params.data(), int(name##Params.size())),               \
                      group(201, "parameterTracks", name##Tracks.data(), int(name##Tracks.size()))};
TL_MODIFIER_KIND(kBend)
TL_MODIFIER_KIND(kStretch)
TL_MODIFIER_KIND(kNoise)
TL_MODIFIER_KIND(kWave)
TL_MODIFIER_KIND(kTwist)
TL_MODIFIER_KIND(kTaper)
TL_MODIFIER_KIND(kSkew)
TL_MODIFIER_KIND(kSpherify)
TL_MODIFIER_KIND(kMelt)
TL_MODIFIER_KIND(kRipple)
#undef TL_MODIFIER_KIND

const K kSkinParams[] = {leaf(70, "skinTM", "m"), leaf(100, "bones", "B"), leaf(200, "vertices", "W")};
const K kSkin[] = {group(50, "parameters", KIDS(kSkinParams))};
const K kMorphTargetValues[] = {leaf(101, "name", "s"), leaf(102, "weight", "f")};
const K kMorphTargetTracks[] = {track(301, "weight", T::Float)};
const K kMorphTarget[] = {group(50, "values", KIDS(kMorphTargetValues)), group(250, "tracks", KIDS(kMorphTargetTracks))};
const K kMorphTargets[] = {group(101, "target", KIDS(kMorphTarget))};
const K kMorphParams[] = {list(100, "targets", "n", 101, KIDS(kMorphTargets))};
const K kMorph[] = {group(50, "parameters", KIDS(kMorphParams))};

// The modifier item's description per type byte (index = type, 1 to 12).
const K kTypedModifiers[] = {
    group(0, "modifier", KIDS(kModifier)),  group(0, "modifier", KIDS(kSkin)),    group(0, "modifier", KIDS(kMorph)),
    group(0, "modifier", KIDS(kBend)),      group(0, "modifier", KIDS(kStretch)), group(0, "modifier", KIDS(kNoise)),
    group(0, "modifier", KIDS(kWave)),      group(0, "modifier", KIDS(kTwist)),   group(0, "modifier", KIDS(kTaper)),
    group(0, "modifier", KIDS(kSkew)),      group(0, "modifier", KIDS(kSpherify)), group(0, "modifier", KIDS(kMelt)),
    group(0, "modifier", KIDS(kRipple))};

// Geometry records shared by tri objects and shapes.
const K kBinding[] = {leaf(1, "useChannel", "i"), leaf(2, "invert", "i"), leaf(3, "channel", "s")};
const K kStackEntry[] = {leaf(2012, "modifier", "s"), group(2013, "softSelection", KIDS(kBinding))};
const K kStack[] = {group(2011, "entry", KIDS(kStackEntry))};
const K kWSBinding[] = {leaf(2022, "name", "s"), group(2023, "softSelection", KIDS(kBinding))};
const K kWSBindings[] = {group(2021, "binding", KIDS(kWSBinding))};
const K kLightNames[] = {leaf(2031, "light", "s")};
const K kChannels1[] = {raw(2041, "channel")};
const K kChannels2[] = {raw(2051, "channel")};
const K kChannels3[] = {raw(2061, "channel")};
const K kValueBlock[] = {leaf(1, "value1", "f"), leaf(2, "value2", "f"), leaf(3, "text", "s")};
const K kParamBlocks[] = {group(2071, "block1", KIDS(kValueBlock)), group(2072, "block2", KIDS(kValueBlock)),
                          group(2073, "block3", KIDS(kValueBlock))};
const K kTextureLayer[] = {leaf(1, "value1", "f"), leaf(2, "value2", "f"), leaf(3, "text", "s"),
                           group(4, "textureMap", KIDS(kTextureMap))};
#define SHARED_GEOMETRY                                                                          \
    group(1, "header", KIDS(kHeader)), leaf(2, "material", "h"),                                 \
        list(2000, "modifiers", "n", 2001, KIDS(kModifiers)),                                    \
        list(2010, "stack", "n", 2011, KIDS(kStack)),                                            \
        list(2020, "wsBindings", "n", 2021, KIDS(kWSBindings)),                                  \
        list(2030, "lights", "n", 2031, KIDS(kLightNames)),                                      \
        list(2040, "channels1", "n", 2041, KIDS(kChannels1)),                                    \
        list(2050, "channels2", "n", 2051, KIDS(kChannels2)),                                    \
        list(2060, "channels3", "n", 2061, KIDS(kChannels3)), group(2070, "parameterBlocks", KIDS(kParamBlocks))

const K kTriVertices[] = {leaf(502, "positions", "P"), leaf(503, "softSelection", "F"),
                          leaf(504, "extraPoints", "Q"), leaf(505, "textureVertices", "T")};
const K kTriFaces[] = {leaf(1001, "faces", "X"), leaf(1002, "textureFaces", "Y"), leaf(1003, "subMaterials", "S"),
                       leaf(1004, "extraValues", "S")};
const K kTriObject[] = {SHARED_GEOMETRY,
                        group(501, "vertices", KIDS(kTriVertices)),
                        group(1000, "faceData", KIDS(kTriFaces)),
                        leaf(2100, "option0", "i"),
                        leaf(2101, "polygonBuilding", "i"),
                        leaf(2101, "option1", "i"),  // the option's older name, still read
                        leaf(2102, "option2", "i"),
                        leaf(2103, "option3", "i"),
                        leaf(2104, "option4", "i"),
                        leaf(2105, "option5", "i"),
                        group(2200, "textureLayer1", KIDS(kTextureLayer)),
                        group(2201, "textureLayer2", KIDS(kTextureLayer)),
                        group(2202, "textureLayer3", KIDS(kTextureLayer))};
const K kShapeVertices[] = {leaf(502, "positions", "P"), leaf(503, "softSelection", "F"),
                            leaf(504, "vertexValues", "S")};
const K kShapeCommon[] = {SHARED_GEOMETRY, group(501, "vertices", KIDS(kShapeVertices)), leaf(2100, "option", "i")};
const K kShape[] = {group(1, "common", KIDS(kShapeCommon)), raw(10, "kindData")};
const K kWSModifier[] = {group(1, "header", KIDS(kHeader)), {100, "modifier", "b", KIDS(kModifier), T::None, 0}};

// Scene lists.
const K kTriObjects[] = {group(101, "triObject", KIDS(kTriObject))};
const K kShapes[] = {{103, "shape", "b", KIDS(kShape), T::None, 0}};
const K kLights[] = {group(111, "light", KIDS(kLight))};
const K kCameras[] = {group(121, "camera", KIDS(kCamera))};
const K kMaterials[] = {group(131, "material", KIDS(kMaterial))};
const K kWSModifiers[] = {group(141, "wsModifier", KIDS(kWSModifier))};
const K kDummies[] = {group(151, "dummy", KIDS(kDummy))};
const K kScene[] = {leaf(50, "animationLength", "h"),
                    list(100, "triObjects", "n", 101, KIDS(kTriObjects)),
                    list(102, "shapes", "n", 103, KIDS(kShapes)),
                    list(110, "lights", "n", 111, KIDS(kLights)),
                    list(120, "cameras", "n", 121, KIDS(kCameras)),
                    list(130, "materials", "n", 131, KIDS(kMaterials)),
                    list(140, "wsModifiers", "n", 141, KIDS(kWSModifiers)),
                    list(150, "dummies", "n", 151, KIDS(kDummies)),
                    leaf(kL3xSceneDepthBuffer, "depthBuffer", "i"),
                    leaf(kL3xSceneDepthBuffer, "option1", "i"),  // the setting's older name, still read
                    leaf(501, "option2", "i"),
                    leaf(502, "name", "s")};
const K kRoot = group(kL3xRoot, "scene", KIDS(kScene));
} // namespace

const L3xChunkKind& l3xRootKind() { return kRoot; }

const L3xChunkKind& l3xChildrenByType(const L3xChunkKind& kind, int type)
{
    const bool modifier = &kind == &kModifiers[0] || &kind == &kWSModifier[1];
    if (!modifier || type < 1 || type >= int(std::size(kTypedModifiers))) return modifier ? kTypedModifiers[0] : kind;
    return kTypedModifiers[type];
}

const L3xChunkKind* l3xFindChild(const L3xChunkKind& parent, uint16_t id)
{
    for (int i = 0; i < parent.nbChildren; ++i)
        if (parent.children[i].id == id) return &parent.children[i];
    return nullptr;
}

const L3xChunkKind* l3xFindChild(const L3xChunkKind& parent, const char* name)
{
    for (int i = 0; i < parent.nbChildren; ++i)
        if (std::strcmp(parent.children[i].name, name) == 0) return &parent.children[i];
    return nullptr;
}
