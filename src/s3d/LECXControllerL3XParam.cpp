#include "s3d/LECXControllerL3XParam.h"

#include <charconv>
#include <cmath>
#include <string>

#include "control/LECXControllerManager.h"
#include "foundation/Report.h"
#include "s3d/LECXControllerL3XParamWords.h"
#include "s3d/S3DScene.h"

namespace {

const char* const kManagerCaption = "LECXControllerL3XParamManager";
const char* const kControllerCaption = "LECXControllerL3X";

} // namespace

void LECXControllerL3XParam::init(const LECXControllerParam* param, S3DScene* scene, const float* value)
{
    if (!param || !scene) return;
    m_pParam = param;
    m_pScene = scene;
    m_pValue = value;
    m_hasTarget = findTarget();
    if (!m_hasTarget) return;
    const std::string w = word(m_key == Key::Scene ? 1 : m_key == Key::Named ? 2 : 3);
    m_hasSetter = findSetter(w.c_str());
    if (!m_hasSetter) warn("Can't find param: " + w);
}

std::string LECXControllerL3XParam::word(int i) const
{
    const StringC w = m_pParam->m_name.getToken(i);
    return w.getName() ? w.getName() : "";
}

bool LECXControllerL3XParam::readIndex(int& index) const
{
    const std::string w = word(2);
    index = 0;
    const char* digits = w.c_str() + (w[0] == '+' ? 1 : 0);
    int value = 0;
    const std::from_chars_result r = std::from_chars(digits, w.c_str() + w.size(), value);
    if (r.ec == std::errc::result_out_of_range) {
        const char* key = m_pParam->m_name.getName();
        warn("index out of range: " + w + ", key: " + (key ? key : ""));
        return false;
    }
    if (r.ec == std::errc()) index = value;
    return true;
}

bool LECXControllerL3XParam::found(const void* target, const char* kind) const
{
    if (target) return true;
    if (m_key == Key::Indexed) warn(std::string("can't find ") + kind + " name: " + name() + ", idx: " + word(2));
    else warn(std::string("Can't find ") + kind + ": " + name());
    return false;
}

float LECXControllerL3XParam::combine(float current, float value) const
{
    switch (mode()) {
    case 1: return current + value;
    case 2: return current - value;
    default: return value;
    }
}

float LECXControllerL3XParam::animationFrame(float value) const
{
    const float frame = m_pScene->getFrame();
    float f = mode() == 1 ? frame + value : mode() == 2 ? frame - value : value;
    if (m_pScene->m_animationLength > 0) f = std::fmod(f, float(m_pScene->m_animationLength));
    return f;
}

void LECXControllerL3XParam::warn(const std::string& message) const { reportWarning(m_className, message.c_str()); }

std::unique_ptr<LECXControllerL3XParam> LECXControllerL3XParamManager::createFor(const char* keyword)
{
    std::unique_ptr<LECXControllerL3XParam> p = createL3XObjectParam(keyword);
    return p ? std::move(p) : createL3XModifierParam(keyword);
}

void LECXControllerL3XParamManager::create(int i, const LECXControllerParam* param, S3DScene* scene, const float* value)
{
    if (i < 0 || i >= getNbSlot()) return;
    auto& slot = m_slots[size_t(i)];
    slot.reset();
    const StringC keyword = param ? param->m_name.getToken(0) : StringC("");
    const char* k = keyword.getName() ? keyword.getName() : "";
    slot = createFor(k);
    if (!slot) return reportWarning(kManagerCaption, (std::string("create param not found: ") + k).c_str());
    slot->init(param, scene, value);
}

int LECXControllerL3XScene::createParamObjects()
{
    LECXTarget* target = getTarget();
    if (!target || target->getTargetKind() != kLECXL3X)
        return reportWarning(kControllerCaption, "can t prepare controller Interface: m_pScene NULL", 0);
    // The target serves this kind: it is a scene.
    S3DScene* scene = static_cast<S3DScene*>(target);
    m_manager.resize(getNbParam());
    for (int i = 0; i < getNbParam(); ++i)
        m_manager.create(i, getParam(i), scene, size_t(i) < m_value.size() ? &m_value[size_t(i)] : nullptr);
    return getNbParam();
}

void LECXControllerL3XScene::applyParamObjects()
{
    for (int i = 0; i < m_manager.getNbSlot(); ++i) m_manager.apply(i);
}

void registerLECXControllerL3X()
{
    LECXControllerManager::registerKind(kLECXL3X, []() -> std::unique_ptr<LECXController> {
        return std::make_unique<LECXControllerL3XScene>();
    });
}
