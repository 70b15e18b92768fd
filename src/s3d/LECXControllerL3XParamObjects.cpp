// The parameter controllers of the scene and what it holds by name: nodes of any object, tri
// objects, shapes, cameras, lights and materials. Each class names its words in one table.
#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/Saturate.h"
#include "s3d/LECXControllerL3XParamWords.h"
#include "s3d/S3DScene.h"

namespace {

using Key = LECXControllerL3XParam::Key;

class LECXControllerL3XParamScene : public LECXControllerL3XParamWords<LECXControllerL3XParamScene> {
public:
    LECXControllerL3XParamScene() : LECXControllerL3XParamWords("LECXControllerL3XParamScene", Key::Scene) {}

    void setAnimation(float value)
    {
        // Mode 2 here is value - frame (the objects use frame - value).
        const float frame = m_pScene->getFrame();
        float f = mode() == 1 ? value + frame : mode() == 2 ? value - frame : value;
        if (m_pScene->m_animationLength > 0) f = std::fmod(f, float(m_pScene->m_animationLength));
        m_pScene->update(f);
    }
    void setCamera(float value) { m_pScene->setCamera(saturateToInt(value)); }
    static constexpr Word kWords[] = {{"MAINANIM", &LECXControllerL3XParamScene::setAnimation},
                                      {"CAMERA", &LECXControllerL3XParamScene::setCamera}};

protected:
    bool findTarget() override { return true; }
};

class LECXControllerL3XParamNode : public LECXControllerL3XParamTransform<LECXControllerL3XParamNode> {
public:
    LECXControllerL3XParamNode() : LECXControllerL3XParamTransform("LECXControllerL3XParamNode", Key::Named) {}

    void setAnimation(float value) { m_pNode->update(animationFrame(value)); }
    Point3D getPosition() const { return m_pNode->getPosition(); }
    void setPosition(const Point3D& p) { m_pNode->setPosition(p); }
    Point3D getScale() const { return m_pNode->getScale(); }
    void setScale(const Point3D& s) { m_pNode->setScale(s); }
    Quaternion getRotation() const { return m_pNode->getRotation(); }
    void setRotation(const Quaternion& r) { m_pNode->setRotation(r); }

protected:
    bool findTarget() override
    {
        // A node that is not there is silent: the parameter stays inert.
        S3DObjectHeader* h = m_pScene->findObject(name().c_str());
        m_pNode = h ? &h->m_node : nullptr;
        return m_pNode != nullptr;
    }

private:
    S3DNode* m_pNode = nullptr;
};

class LECXControllerL3XParamTriObject : public LECXControllerL3XParamWords<LECXControllerL3XParamTriObject> {
public:
    LECXControllerL3XParamTriObject() : LECXControllerL3XParamWords("LECXControllerL3XParamTriObject", Key::Named) {}

    void setAnimation(float value) { m_pObject->m_header.m_node.update(animationFrame(value)); }
    void setModifierAnimation(float value)
    {
        const float f = animationFrame(value);
        for (auto& m : m_pObject->m_modifiers) m->update(f);
    }
    static constexpr Word kWords[] = {{"MAINANIM", &LECXControllerL3XParamTriObject::setAnimation},
                                      {"MODIFIERANIM", &LECXControllerL3XParamTriObject::setModifierAnimation}};

protected:
    bool findTarget() override
    {
        m_pObject = m_pScene->findTriObject(name().c_str());
        return found(m_pObject, "triObject");
    }

private:
    S3DTriObject* m_pObject = nullptr;
};

class LECXControllerL3XParamShape : public LECXControllerL3XParamWords<LECXControllerL3XParamShape> {
public:
    LECXControllerL3XParamShape() : LECXControllerL3XParamWords("LECXControllerL3XParamShape", Key::Named) {}

    void setAnimation(float value)
    {
        const int c = m_pScene->getCurrentCamera();
        const S3DCamera* camera = c < m_pScene->getNbCamera() ? &m_pScene->getCameras()[size_t(c)] : nullptr;
        m_pShape->update(animationFrame(value), camera);
    }
    // SPEANIM drives the sub-elements of kind-2 shapes, which carry none yet.
    void setSpecialAnimation(float) {}
    void setModifierAnimation(float value)
    {
        const float f = animationFrame(value);
        for (auto& m : m_pShape->m_modifiers) m->update(f);
    }
    static constexpr Word kWords[] = {{"MAINANIM", &LECXControllerL3XParamShape::setAnimation},
                                      {"SPEANIM", &LECXControllerL3XParamShape::setSpecialAnimation},
                                      {"MODIFIERANIM", &LECXControllerL3XParamShape::setModifierAnimation}};

protected:
    bool findTarget() override
    {
        m_pShape = m_pScene->findShape(name().c_str());
        return found(m_pShape, "shape");
    }

private:
    S3DShape* m_pShape = nullptr;
};

class LECXControllerL3XParamCamera : public LECXControllerL3XParamWords<LECXControllerL3XParamCamera> {
public:
    LECXControllerL3XParamCamera() : LECXControllerL3XParamWords("LECXControllerL3XParamCamera", Key::Named) {}

    void setAnimation(float value) { m_pCamera->update(animationFrame(value)); }
    void setRoll(float value) { m_pCamera->setRoll(combine(m_pCamera->getRoll(), value)); }
    void setFov(float value) { m_pCamera->setFov(combine(m_pCamera->getFov(), value)); }
    static constexpr Word kWords[] = {{"MAINANIM", &LECXControllerL3XParamCamera::setAnimation},
                                      {"ROLL", &LECXControllerL3XParamCamera::setRoll},
                                      {"FOV", &LECXControllerL3XParamCamera::setFov}};

protected:
    bool findTarget() override
    {
        m_pCamera = m_pScene->findCamera(name().c_str());
        return found(m_pCamera, "camera");
    }

private:
    S3DCamera* m_pCamera = nullptr;
};

class LECXControllerL3XParamLight : public LECXControllerL3XParamWords<LECXControllerL3XParamLight> {
public:
    LECXControllerL3XParamLight() : LECXControllerL3XParamWords("LECXControllerL3XParamLight", Key::Named) {}

    void setAnimation(float value) { m_pLight->update(animationFrame(value)); }
    void setIntensity(float value) { m_pLight->m_intensity = std::max(0.0f, combine(m_pLight->m_intensity, value)); }
    void setNear(float value) { combineInto(m_pLight->m_nearAttenuation, value); }
    void setFar(float value) { combineInto(m_pLight->m_farAttenuation, value); }
    void setHotspot(float value) { combineInto(m_pLight->m_hotspot, value); }
    void setFalloff(float value) { combineInto(m_pLight->m_falloff, value); }
    static constexpr Word kWords[] = {{"MAINANIM", &LECXControllerL3XParamLight::setAnimation},
                                      {"INTENSITY", &LECXControllerL3XParamLight::setIntensity},
                                      {"NEARATT", &LECXControllerL3XParamLight::setNear},
                                      {"FARATT", &LECXControllerL3XParamLight::setFar},
                                      {"HOTSPOT", &LECXControllerL3XParamLight::setHotspot},
                                      {"FALLOFF", &LECXControllerL3XParamLight::setFalloff}};

protected:
    bool findTarget() override
    {
        m_pLight = m_pScene->findLight(name().c_str());
        return found(m_pLight, "light");
    }

private:
    void combineInto(float& field, float value) const { field = combine(field, value); }
    S3DLight* m_pLight = nullptr;
};

class LECXControllerL3XParamMaterial : public LECXControllerL3XParamWords<LECXControllerL3XParamMaterial> {
public:
    LECXControllerL3XParamMaterial() : LECXControllerL3XParamWords("LECXControllerL3XParamMaterial", Key::Indexed) {}

    void setAnimation(float value) { m_pSub->update(animationFrame(value)); }
    void setOpacity(float value) { m_pSub->setOpacity(combine(m_pSub->m_opacity, value)); }
    void setPaletteSpecialParam(float value)
    {
        m_pSub->m_paletteSpecialParam = combine(m_pSub->m_paletteSpecialParam, value);
        m_pSub->m_paletteSpecialParamSet = 1;
    }
    // The line colour kept at creation, each byte scaled by b/256 (at most 255).
    void setLineOpacity(float value)
    {
        const float o = mode() == 1 ? value + 1.0f : mode() == 2 ? 1.0f - value : value;
        const int64_t b = std::max(0, saturateToInt(double(o) * 255.0));
        uint32_t colour = 0;
        for (int shift = 0; shift <= 16; shift += 8)
            colour |= uint32_t(std::min<int64_t>(255, ((m_lineColour >> shift) & 0xFF) * b >> 8)) << shift;
        m_pSub->m_lineColour = colour;
    }
    static constexpr Word kWords[] = {{"MAINANIM", &LECXControllerL3XParamMaterial::setAnimation},
                                      {"POLYOPACITY", &LECXControllerL3XParamMaterial::setOpacity},
                                      {"POLYPALETTESPEPARAM", &LECXControllerL3XParamMaterial::setPaletteSpecialParam},
                                      {"LINEOPACITY", &LECXControllerL3XParamMaterial::setLineOpacity}};

protected:
    bool findTarget() override
    {
        int index = 0;
        if (!readIndex(index)) return false;
        m_pSub = m_pScene->findMaterial(name().c_str(), index);
        if (!found(m_pSub, "material")) return false;
        m_lineColour = m_pSub->m_lineColour;
        return true;
    }

private:
    S3DSubMaterial* m_pSub = nullptr;
    uint32_t m_lineColour = 0;
};

// The keywords of this file, in the order they are tested (before the modifiers').
const LECXControllerL3XParamKeyword kKeywords[] = {
    {"SCENE", makeL3XParam<LECXControllerL3XParamScene>},
    {"NODE", makeL3XParam<LECXControllerL3XParamNode>},
    {"TRIOBJECT", makeL3XParam<LECXControllerL3XParamTriObject>},
    {"SHAPE", makeL3XParam<LECXControllerL3XParamShape>},
    {"CAMERA", makeL3XParam<LECXControllerL3XParamCamera>},
    {"LIGHT", makeL3XParam<LECXControllerL3XParamLight>},
    {"MTL", makeL3XParam<LECXControllerL3XParamMaterial>},
};

} // namespace

std::unique_ptr<LECXControllerL3XParam> createL3XObjectParam(const char* keyword)
{
    return createFromKeywords(kKeywords, keyword);
}
