#include "s3d/S3DMaterial.h"

#include <cmath>
#include <strings.h>

#include <cstring>

#include "foundation/FileTools.h"
#include "foundation/PortableMath.h"
#include "foundation/Saturate.h"
#include "s3d/L3xFormat.h"
#include "s3d/L3xRead.h"

namespace {
const char* const kCaption = "S3DMaterial warning:";

bool endsWithAvi(const char* name)
{
    const size_t n = std::strlen(name);
    return n >= 4 && strcasecmp(name + n - 4, ".avi") == 0;
}
}

bool S3DTextureMap::hasFile() const { return !m_fileName.isNull() && !(m_fileName == "NULL"); }

void S3DTextureMap::loadTexture(const StringC& baseDirectory)
{
    m_pTexture.reset();
    m_hasUVMatrix = false;
    if (!hasFile() || m_fileName.length() == 0) return;
    StringC path = m_fileName;
    const char* name = m_fileName.getName();
    const bool absolute = name[0] == '/';
    if (!absolute && !baseDirectory.isNull() && baseDirectory.length() > 0 &&
        FileTools::exists((baseDirectory + m_fileName).getName()))
        path = baseDirectory + m_fileName;
    else if (!FileTools::exists(name))
        (void)path.findFileInTree();  // not found: the image reports the name as written
    if (endsWithAvi(name)) {
        auto video = std::make_unique<S3DTextureAvi>();
        if (video->open(path.getName())) m_pTexture = std::move(video);
        return;
    }
    auto texture = std::make_unique<S3DTexture32>();
    if (texture->load(path.getName(), m_useCrop != 0, m_cropU, m_cropV, m_cropW, m_cropH))
        m_pTexture = std::move(texture);
}

void S3DTextureMap::prepare()
{
    if (m_useTransform == 0 || !m_pTexture) return;
    // With a = -angle the rows are (tileU cos a, tileU sin a), (-tileV sin a, tileV cos a);
    // the offset moves (offsetU + 0.5, offsetV + 0.5) onto (0.5, 0.5).
    const float a = -m_angle;
    const float c = pmath::cos(a), s = pmath::sin(a);
    const float m00 = m_tileU * c, m01 = m_tileU * s, m10 = -m_tileV * s, m11 = m_tileV * c;
    const float cu = m_offsetU + 0.5f, cv = m_offsetV + 0.5f;
    m_uv[0] = m00;
    m_uv[1] = m01;
    m_uv[2] = 0.5f - m00 * cu - m01 * cv;
    m_uv[3] = m10;
    m_uv[4] = m11;
    m_uv[5] = 0.5f - m10 * cu - m11 * cv;
    m_hasUVMatrix = true;
}

void S3DTextureMap::load(ChunkFileReader& r)
{
    loadValuesAndTracks(
        r, kL3xTextureValues, kL3xTextureTracks,
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case 10: item.readString(m_fileName); break;
            case 11: m_cropU = item.readFloat(); break;
            case 12: m_cropV = item.readFloat(); break;
            case 13: m_cropW = item.readFloat(); break;
            case 14: m_cropH = item.readFloat(); break;
            case 15: m_offsetU = item.readFloat(); break;
            case 16: m_offsetV = item.readFloat(); break;
            case 17: m_tileU = item.readFloat(); break;
            case 18: m_tileV = item.readFloat(); break;
            case 19: m_angle = item.readFloat(); break;
            case 20: m_useTransform = item.readInt(); break;
            case 21: m_environmentMap = item.readInt(); break;
            case 22: m_textureMode = item.readInt(); break;
            case 23: m_generator = item.readInt(); break;
            case 24: m_value24 = item.readFloat(); break;
            case 25: m_value25 = item.readInt(); break;
            case 26: m_value26 = item.readFloat(); break;
            case 27: m_value27 = item.readInt(); break;
            case 28: m_value28 = item.readInt(); break;
            case 29: m_useCrop = item.readInt(); break;
            default: break;
            }
        },
        [this](ChunkFileReader& item) {
            const int slot = item.getIdentifier() - kL3xTextureFirstTrack;
            if (slot >= 0 && slot < kNbTrack) loadTrack(item, m_pTrack[slot]);
        });
}

void S3DTextureMap::update(float time)
{
    float* const target[kNbTrack] = {&m_offsetU, &m_offsetV, &m_tileU, &m_generatorValue[0],
                                     &m_tileV, &m_angle, &m_generatorValue[1], &m_generatorValue[2]};
    for (int i = 0; i < kNbTrack; ++i) {
        const bool generatorSlot = i == 3 || i == 6 || i == 7;
        if (m_pTrack[i] && (!generatorSlot || m_generator != 0)) *target[i] = m_pTrack[i]->getValue(time);
    }
    if (m_pTexture) m_pTexture->showTime(time);
}

void S3DParamBlock::load(ChunkFileReader& r)
{
    loadValuesAndTracks(
        r, kL3xParamValues, kL3xParamTracks,
        [this](ChunkFileReader& item) {
            const int slot = item.getIdentifier() - kL3xParamFirst;
            if (slot < 0 || slot >= m_nbValue) return;
            if (m_textAt12 && item.getIdentifier() == kL3xParams2Text) item.readString(m_text);
            else m_value[slot] = item.readFloat();
        },
        [this](ChunkFileReader& item) {
            const int slot = item.getIdentifier() - kL3xParamFirst - 100;
            if (slot >= 0 && slot < m_nbValue) loadTrack(item, m_pTrack[slot]);
        });
}

void S3DParamBlock::update(float time)
{
    for (int i = 0; i < m_nbValue; ++i)
        if (m_pTrack[i]) m_value[i] = m_pTrack[i]->getValue(time);
}

void S3DSubMaterial::loadShading(ChunkFileReader& r)
{
    loadValuesAndTracks(
        r, kL3xShadingValues, kL3xShadingTracks,
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xShadingPaletteEnabled: m_paletteEnabled = item.readInt(); break;
            case kL3xShadingTwoSided: m_twoSided = item.readInt(); break;
            case kL3xShadingOpacityKind: m_opacityKind = item.readInt(); break;
            case kL3xShadingBlendMode: m_blendMode = item.readInt(); break;
            case kL3xShadingOpacity: m_opacity = item.readFloat(); break;
            case kL3xShadingBilinear: m_bilinear = item.readInt(); break;
            case kL3xShadingValue16: m_value16 = item.readInt(); break;
            case kL3xShadingAmbient: m_ambient = item.readPoint3D(); break;
            case kL3xShadingDiffuse: m_diffuse = item.readPoint3D(); break;
            case kL3xShadingSpecular: m_specular = item.readPoint3D(); break;
            case kL3xShadingValue20: m_value20 = item.readFloat(); break;
            case kL3xShadingSpecularPower: m_specularPower = item.readFloat(); break;
            case kL3xShadingTexture1: m_texture1.load(item); break;
            case kL3xShadingTexture2: m_texture2.load(item); break;
            default: break;
            }
        },
        [this](ChunkFileReader& item) {
            switch (item.getIdentifier()) {
            case kL3xShadingOpacityTrack: loadTrack(item, m_pOpacityTrack); break;
            case kL3xShadingAmbientTrack: loadTrack(item, m_pAmbientTrack); break;
            case kL3xShadingDiffuseTrack: loadTrack(item, m_pDiffuseTrack); break;
            case kL3xShadingSpecularTrack: loadTrack(item, m_pSpecularTrack); break;
            default: break;
            }
        });
    m_paletteDirty = 1;
    // Lines start in the fully lit colour of the shading as loaded (palette entry 255 before any
    // track or controller changes it); the line opacity controller scales them from there.
    m_lineColour = shade(1.0f, 1.0f);
}

void S3DSubMaterial::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        switch (child.getIdentifier()) {
        case kL3xSubName: child.readString(m_name); break;
        case kL3xSubShading: loadShading(child); break;
        case kL3xSubParams1: m_params1.load(child); break;
        case kL3xSubParams2: m_params2.load(child); break;
        case kL3xSubTexture: m_texture3.load(child); break;
        default: break;
        }
    }
}

void S3DSubMaterial::update(float time)
{
    if (m_pOpacityTrack) setOpacity(m_pOpacityTrack->getValue(time));
    if (m_pAmbientTrack) setAmbient(m_pAmbientTrack->getValue(time));
    if (m_pDiffuseTrack) setDiffuse(m_pDiffuseTrack->getValue(time));
    if (m_pSpecularTrack) setSpecular(m_pSpecularTrack->getValue(time));
    m_texture1.update(time);
    m_params1.update(time);
    m_params2.update(time);
    m_texture3.update(time);
}

uint32_t S3DSubMaterial::shade(float b, float s) const
{
    const float c = 255.0f * m_opacity;
    const float ambient[3] = {m_ambient.x, m_ambient.y, m_ambient.z};
    const float diffuse[3] = {m_diffuse.x, m_diffuse.y, m_diffuse.z};
    const float specular[3] = {m_specular.x, m_specular.y, m_specular.z};
    uint32_t entry = 0;
    for (int k = 0; k < 3; ++k) {
        const int v = saturateToInt(c * ambient[k] + c * diffuse[k] * b + c * specular[k] * s);
        entry = entry << 8 | uint32_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    return entry;
}

void S3DSubMaterial::buildPalette()
{
    for (int n = 0; n < 256; ++n) {
        const float b = pmath::cos(float(n) * 0.0061359233f);  // n pi / 512
        const uint32_t entry = shade(b, pmath::pow(b, m_specularPower));
        m_palette[255 - n] = m_negative ? 0xFFFFFFu - entry : entry;
    }
    m_paletteDirty = 0;
}

void S3DSubMaterial::prepare()
{
    if (m_paletteEnabled != 0 && m_paletteDirty != 0) buildPalette();
    m_texture1.prepare();
    m_texture3.prepare();
    m_raster.palette = m_palette;
    m_raster.blendMode = m_blendMode;
    m_raster.opacity = m_opacity;
    m_raster.opacityKind = m_opacityKind;
    m_raster.textureMode = m_texture1.m_textureMode;
    m_raster.bilinear = m_bilinear != 0;
    m_raster.texture = m_texture1.getTexture() ? m_texture1.getTexture()->raster() : RasterTexture{};
}

void S3DSubMaterial::loadTextures(const StringC& baseDirectory)
{
    m_texture1.loadTexture(baseDirectory);
    m_texture2.loadTexture(baseDirectory);
    m_texture3.loadTexture(baseDirectory);
}

void S3DSubMaterial::setOpacity(float v)
{
    if (v == m_opacity) return;
    m_opacity = v;
    m_paletteDirty = 1;
}

void S3DSubMaterial::setAmbient(const Point3D& c)
{
    if (c == m_ambient) return;
    m_ambient = c;
    m_paletteDirty = 1;
}

void S3DSubMaterial::setDiffuse(const Point3D& c)
{
    if (c == m_diffuse) return;
    m_diffuse = c;
    m_paletteDirty = 1;
}

void S3DSubMaterial::setSpecular(const Point3D& c)
{
    if (c == m_specular) return;
    m_specular = c;
    m_paletteDirty = 1;
}

void S3DMaterial::load(ChunkFileReader& r)
{
    ChunkFileReader child;
    while (r.nextChild(child)) {
        if (child.getIdentifier() == kL3xMaterialName) {
            child.readString(m_name);
        } else if (child.getIdentifier() == kL3xSubMaterialList) {
            const int32_t count = child.readInt();
            const int n = clampItemCount(child, count, countItems(child, kL3xSubMaterialItem), kCaption,
                                         "load: sub-material list");
            loadListItems(child, n, kL3xSubMaterialItem, m_subMaterials, kCaption, nullptr,
                          [](S3DSubMaterial& s, ChunkFileReader& item) { s.load(item); });
        }
    }
}

void S3DMaterial::update(float time)
{
    for (S3DSubMaterial& s : m_subMaterials) s.update(time);
}

void S3DMaterial::prepare()
{
    for (S3DSubMaterial& s : m_subMaterials) s.prepare();
}

void S3DMaterial::loadTextures(const StringC& baseDirectory)
{
    for (S3DSubMaterial& s : m_subMaterials) s.loadTextures(baseDirectory);
}
