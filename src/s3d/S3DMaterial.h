// Materials as the scene file carries them: a material is a named list of sub-materials; a
// sub-material holds its shading block (flags, colours, opacity, two texture maps, tracks),
// two parameter blocks and a third texture map. A sub-material's 256-entry palette (ambient,
// diffuse and specular over the light index) and its texture maps' UV transforms are rebuilt
// by prepare; the filler reads them through the sub-material's RasterMaterial.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "control/TrackManager.h"
#include "foundation/ChunkFile.h"
#include "foundation/Point3D.h"
#include "foundation/StringC.h"
#include "raster/RasterTypes.h"
#include "s3d/S3DTexture.h"

class S3DTextureMap {
public:
    enum { kNbTrack = 8 };  // tracks 110 … 117

    // Child 1 values (10 file name, 11 … 29), child 100 tracks (110 … 117).
    void load(ChunkFileReader& r);
    // Offsets, tiles and angle from their tracks (an empty track gives 0), the generator
    // values only while the generator flag is set; a video texture shows the frame of `time`.
    void update(float time);
    bool hasFile() const;
    // Loads the texture named by the file name (nothing for "NULL"): a name ending in ".avi"
    // opens a video texture, any other an image file, cropped when useCrop is set. A relative
    // name is looked for in `baseDirectory` (the scene file's), then in the tree below the
    // current directory.
    void loadTexture(const StringC& baseDirectory);
    // The UV matrix from offsets, tiles and angle, when useTransform is set and there is a
    // texture: (offsetU + 0.5, offsetV + 0.5) maps to (0.5, 0.5).
    void prepare();
    // u' = u a + v b + c, v' = u d + v e + f (the identity until prepare computes one).
    void transformUV(float u, float v, float& uo, float& vo) const
    {
        uo = u * m_uv[0] + v * m_uv[1] + m_uv[2];
        vo = u * m_uv[3] + v * m_uv[4] + m_uv[5];
    }
    const S3DTexture32* getTexture() const { return m_pTexture.get(); }
    bool hasUVMatrix() const { return m_hasUVMatrix; }

    StringC m_fileName = "NULL";
    float m_cropU = 0.0f, m_cropV = 0.0f, m_cropW = 1.0f, m_cropH = 1.0f;
    float m_offsetU = 0.0f, m_offsetV = 0.0f;
    float m_tileU = 1.0f, m_tileV = 1.0f;
    float m_angle = 0.0f;
    int32_t m_useTransform = 0;
    int32_t m_environmentMap = 0;
    int32_t m_textureMode = 0;
    int32_t m_generator = 0;
    // Values 24 … 28, stored as read.
    float m_value24 = 1.0f;
    int32_t m_value25 = 1;
    float m_value26 = 1.0f;
    int32_t m_value27 = 0;
    int32_t m_value28 = 0;
    int32_t m_useCrop = 0;
    // Driven by tracks 113, 116 and 117 while the generator flag is set.
    float m_generatorValue[3] = {0.0f, 0.0f, 0.0f};
    std::unique_ptr<TrackManagerFloat> m_pTrack[kNbTrack];
    std::unique_ptr<S3DTexture32> m_pTexture;  // S3DTextureAvi for ".avi" names
    float m_uv[6] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};
    bool m_hasUVMatrix = false;
};

// A parameter block of a sub-material: float values from id 10 (one of them, id 12 of the
// second block, a string instead) with a float track each at id + 100.
class S3DParamBlock {
public:
    enum { kMaxValue = 9 };
    S3DParamBlock(int nbValue, bool textAt12) : m_nbValue(nbValue), m_textAt12(textAt12) {}

    void load(ChunkFileReader& r);
    void update(float time);

    int m_nbValue;
    bool m_textAt12;
    float m_value[kMaxValue] = {};
    StringC m_text = "NULL";
    std::unique_ptr<TrackManagerFloat> m_pTrack[kMaxValue];
};

class S3DSubMaterial {
public:
    // 1 name, 2 shading block, 3 and 4 parameter blocks, 5 texture map.
    void load(ChunkFileReader& r);
    // The shading tracks, the first texture map's, the parameter blocks' and the third map's.
    void update(float time);
    // Rebuilds the palette when it is enabled and dirty, the UV matrices of the first shading
    // texture map and the third map, and the filler's view of this sub-material.
    void prepare();
    // The 256 entries: for n = 0 .. 255, b = cos(n pi / 512), s = b^specularPower, each channel
    // 255 opacity (ambient + diffuse b + specular s) truncated and held to 0 .. 255, inverted
    // when negative, stored at 255 - n (index 255 fully lit). Clears paletteDirty.
    void buildPalette();
    // Texture maps 22, 23 and 5.
    void loadTextures(const StringC& baseDirectory);
    const RasterMaterial& raster() const { return m_raster; }

    // Setters that mark the palette for rebuilding when the value changes.
    void setOpacity(float v);
    void setAmbient(const Point3D& c);
    void setDiffuse(const Point3D& c);
    void setSpecular(const Point3D& c);

    StringC m_name = "NULL";
    int32_t m_paletteDirty = 1;
    int32_t m_negative = 0;
    int32_t m_paletteEnabled = 0;
    int32_t m_twoSided = 0;
    int32_t m_opacityKind = 0;
    int32_t m_blendMode = 0;
    float m_opacity = 1.0f;
    int32_t m_bilinear = 0;
    int32_t m_value16 = 0;
    Point3D m_ambient;
    Point3D m_diffuse{1.0f, 1.0f, 1.0f};
    Point3D m_specular;
    float m_value20 = 0.8f;
    float m_specularPower = 20.0f;
    S3DTextureMap m_texture1;  // chunk 22
    S3DTextureMap m_texture2;  // chunk 23
    std::unique_ptr<TrackManagerFloat> m_pOpacityTrack;
    std::unique_ptr<TrackManagerPoint3D> m_pAmbientTrack;
    std::unique_ptr<TrackManagerPoint3D> m_pDiffuseTrack;
    std::unique_ptr<TrackManagerPoint3D> m_pSpecularTrack;
    S3DParamBlock m_params1{7, false};
    S3DParamBlock m_params2{9, true};
    S3DTextureMap m_texture3;  // chunk 5
    uint32_t m_palette[256] = {};
    // The colour of the outlines drawn with this sub-material (0x00RRGGBB): the fully lit colour
    // of the shading as loaded, then what the line opacity controller makes of it. The special
    // palette parameter with its flag (set once a controller wrote it).
    uint32_t m_lineColour = 0x00FFFFFF;
    float m_paletteSpecialParam = 0.0f;
    int32_t m_paletteSpecialParamSet = 0;

private:
    RasterMaterial m_raster;
    void loadShading(ChunkFileReader& r);
    // One colour of the palette: each channel 255 opacity (ambient + diffuse b + specular s),
    // truncated and held to 0 .. 255.
    uint32_t shade(float b, float s) const;
};

class S3DMaterial {
public:
    S3DMaterial() = default;
    // Move-only, so that the material array never tries to copy sub-materials.
    S3DMaterial(S3DMaterial&&) = default;
    S3DMaterial& operator=(S3DMaterial&&) = default;

    // 101 name; 200 the sub-material list (i32 count, items 201; extra items ignored).
    void load(ChunkFileReader& r);
    void update(float time);
    void prepare();
    void loadTextures(const StringC& baseDirectory);

    int getCount() const { return static_cast<int>(m_subMaterials.size()); }
    S3DSubMaterial* getSubMaterial(int i) { return i >= 0 && i < getCount() ? &m_subMaterials[size_t(i)] : nullptr; }

    StringC m_name = "NULL";
    std::vector<S3DSubMaterial> m_subMaterials;
};
