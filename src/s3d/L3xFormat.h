// The .l3x scene file: its chunk identifiers (read by the scene loader) and a description of
// every record's layout (names and field types) that the authoring and inspection tools use
// to write, print and name chunks. Identifiers repeat at different depths; each constant
// says whose child it is.
#pragma once

#include <cstdint>

// Root and its children.
inline constexpr uint16_t kL3xRoot = 0xD0CE;
inline constexpr uint16_t kL3xAnimationLength = 50;
inline constexpr uint16_t kL3xTriObjectList = 100, kL3xTriObjectItem = 101;
inline constexpr uint16_t kL3xShapeList = 102, kL3xShapeItem = 103;
inline constexpr uint16_t kL3xLightList = 110, kL3xLightItem = 111;
inline constexpr uint16_t kL3xCameraList = 120, kL3xCameraItem = 121;
inline constexpr uint16_t kL3xMaterialList = 130, kL3xMaterialItem = 131;
inline constexpr uint16_t kL3xWSModifierList = 140, kL3xWSModifierItem = 141;
inline constexpr uint16_t kL3xDummyList = 150, kL3xDummyItem = 151;
inline constexpr uint16_t kL3xSceneDepthBuffer = 500, kL3xSceneOption2 = 501, kL3xSceneName = 502;

// Object items: child 1 the header, child 2 the target header (cameras, lights).
inline constexpr uint16_t kL3xItemHeader = 1, kL3xItemTarget = 2;
// Header: name, parent name, node.
inline constexpr uint16_t kL3xHeaderName = 1, kL3xHeaderParent = 2, kL3xHeaderNode = 3;
// Node: values and tracks.
inline constexpr uint16_t kL3xNodeValues = 100, kL3xNodeTracks = 200;
inline constexpr uint16_t kL3xNodeMode = 101, kL3xNodePivot = 102, kL3xNodePosition = 103, kL3xNodeScale = 104,
                          kL3xNodeRotation = 105;
inline constexpr uint16_t kL3xNodePositionTrack = 201, kL3xNodeScaleTrack = 202, kL3xNodeRotationTrack = 203;

// Cameras and lights: values (100) and tracks (200) beside the two headers.
inline constexpr uint16_t kL3xValues = 100, kL3xTracks = 200;
inline constexpr uint16_t kL3xCameraFov = 101, kL3xCameraRoll = 102, kL3xCameraNear = 103, kL3xCameraFar = 104;
inline constexpr uint16_t kL3xCameraFovTrack = 201, kL3xCameraRollTrack = 202;
inline constexpr uint16_t kL3xLightColour = 101, kL3xLightIntensity = 102, kL3xLightNear = 103, kL3xLightFar = 104,
                          kL3xLightType = 105, kL3xLightFalloff = 106, kL3xLightHotspot = 107;
inline constexpr uint16_t kL3xLightIntensityTrack = 201, kL3xLightColourTrack = 202, kL3xLightNearTrack = 203,
                          kL3xLightFarTrack = 204, kL3xLightFalloffTrack = 205, kL3xLightHotspotTrack = 206;

// Tri objects (and the common data of shapes).
inline constexpr uint16_t kL3xMaterialIndex = 2;
inline constexpr uint16_t kL3xVertexData = 501, kL3xVertexPositions = 502, kL3xVertexWeights = 503,
                          kL3xVertexExtra = 504, kL3xTextureVertices = 505;
inline constexpr uint16_t kL3xFaceData = 1000, kL3xFaces = 1001, kL3xTextureFaces = 1002, kL3xFaceSubMaterials = 1003,
                          kL3xFaceExtra = 1004;
inline constexpr uint16_t kL3xModifierStack = 2000, kL3xModifierItem = 2001;
inline constexpr uint16_t kL3xStackOrder = 2010, kL3xStackEntry = 2011, kL3xStackIndex = 2012, kL3xStackBinding = 2013;
inline constexpr uint16_t kL3xWSBindings = 2020, kL3xWSBinding = 2021, kL3xWSBindingName = 2022,
                          kL3xWSBindingSoft = 2023;
inline constexpr uint16_t kL3xBindingUseChannel = 1, kL3xBindingInvert = 2, kL3xBindingChannel = 3;
inline constexpr uint16_t kL3xLightNames = 2030, kL3xLightName = 2031;
inline constexpr uint16_t kL3xChannelList1 = 2040, kL3xChannelItem1 = 2041, kL3xChannelList2 = 2050,
                          kL3xChannelItem2 = 2051, kL3xChannelList3 = 2060, kL3xChannelItem3 = 2061;
inline constexpr uint16_t kL3xParamBlocks = 2070, kL3xParamBlock1 = 2071;  // 2071 … 2073
inline constexpr uint16_t kL3xOption0 = 2100;                                // 2100 … 2105
inline constexpr uint16_t kL3xTextureLayer0 = 2200;                          // 2200 … 2202
// Parameter blocks and texture layers: 1 and 2 four-byte values, 3 a string, 4 a texture map.
inline constexpr uint16_t kL3xBlockValue1 = 1, kL3xBlockValue2 = 2, kL3xBlockText = 3, kL3xBlockTexture = 4;
// Shapes: 1 the common data, 10 the kind's own data.
inline constexpr uint16_t kL3xShapeCommon = 1, kL3xShapeKindData = 10;
// World-space modifier items: child 100 the modifier (type byte, then its record).
inline constexpr uint16_t kL3xWSModifierRecord = 100;

// Materials.
inline constexpr uint16_t kL3xMaterialName = 101, kL3xSubMaterialList = 200, kL3xSubMaterialItem = 201;
inline constexpr uint16_t kL3xSubName = 1, kL3xSubShading = 2, kL3xSubParams1 = 3, kL3xSubParams2 = 4,
                          kL3xSubTexture = 5;
// Shading block: values (1) and tracks (100).
inline constexpr uint16_t kL3xShadingValues = 1, kL3xShadingTracks = 100;
inline constexpr uint16_t kL3xShadingPaletteEnabled = 10, kL3xShadingTwoSided = 11, kL3xShadingOpacityKind = 12,
                          kL3xShadingBlendMode = 13, kL3xShadingOpacity = 14, kL3xShadingBilinear = 15,
                          kL3xShadingValue16 = 16, kL3xShadingAmbient = 17, kL3xShadingDiffuse = 18,
                          kL3xShadingSpecular = 19, kL3xShadingValue20 = 20, kL3xShadingSpecularPower = 21,
                          kL3xShadingTexture1 = 22, kL3xShadingTexture2 = 23;
inline constexpr uint16_t kL3xShadingOpacityTrack = 110, kL3xShadingAmbientTrack = 111,
                          kL3xShadingDiffuseTrack = 112, kL3xShadingSpecularTrack = 113;
// Texture map: values (1: 10 … 29) and tracks (100: 110 … 117).
inline constexpr uint16_t kL3xTextureValues = 1, kL3xTextureTracks = 100;
inline constexpr uint16_t kL3xTextureFileName = 10, kL3xTextureFirstValue = 11, kL3xTextureLastValue = 29;
inline constexpr uint16_t kL3xTextureFirstTrack = 110, kL3xTextureLastTrack = 117;
// Parameter blocks of a sub-material: values (1: from 10) and their tracks (100: value id + 100).
inline constexpr uint16_t kL3xParamValues = 1, kL3xParamTracks = 100, kL3xParamFirst = 10;
inline constexpr uint16_t kL3xParams2Text = 12;

// The record description used by the tools. A chunk kind has a name, the layout of its own
// fields and the kinds of its children. Field codes:
//   b u8, h i16, i i32, f float, s string, p point, a angle-axis (angle, x, y, z), m matrix;
//   n an i16 count and N an i32 count of the children that are the list's items (listItem);
//   P an i16 count then that many points; T an i16 count then (u, v) pairs;
//   X an i16 count then triples of i16; F, Q, S, Y: floats, points, i16 values or i16 triples
//   filling the rest of the chunk (their count comes from an earlier record);
//   B an i16 count then per bone a string and a matrix; W an i32 count then per vertex an i16 n
//   and n pairs (float weight, i16 bone index).
// Track slots (float, point or rotation track records) have the track kind set instead.
enum class L3xTrackKind : uint8_t { None, Float, Point, Rotation };

struct L3xChunkKind {
    uint16_t id;
    const char* name;
    const char* fields;
    const L3xChunkKind* children;  // null: the children are not described (kept as raw bytes)
    int nbChildren;
    L3xTrackKind track;
    uint16_t listItem;  // for n and N: the id of the items counted
};

// The root chunk's description.
const L3xChunkKind& l3xRootKind();
// The kind whose children describe a chunk of `kind` whose first byte is `type`: for modifier
// items, the record of that modifier type; for every other kind, the kind itself.
const L3xChunkKind& l3xChildrenByType(const L3xChunkKind& kind, int type);
// The child kind of `parent` with that id, or null.
const L3xChunkKind* l3xFindChild(const L3xChunkKind& parent, uint16_t id);
// The child kind of `parent` with that name, or null.
const L3xChunkKind* l3xFindChild(const L3xChunkKind& parent, const char* name);
