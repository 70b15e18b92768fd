#include "control/LECXController.h"

#include <string>
#include <unordered_map>

#include "control/LCXController.h"
#include "foundation/Report.h"

namespace {
const char* const kCaption = "LECXControllerManager";
constexpr uint16_t kParamsChunk = 100;
constexpr uint16_t kParamListChunk = 101;
constexpr uint16_t kParamChunk = 102;
constexpr uint16_t kParamName = 1;
constexpr uint16_t kParamExpression = 2;
constexpr uint16_t kParamMode = 3;
} // namespace

LECXController::~LECXController() = default;

LECXControllerParam* LECXController::getParam(int i) const
{
    return i >= 0 && i < getNbParam() ? m_param[size_t(i)].get() : nullptr;
}

LECXControllerParam* LECXController::addParam()
{
    if (getNbParam() >= kMaxParams) return nullptr;
    if (m_param.size() == m_param.capacity()) m_param.reserve(m_param.size() + kParamCapacityStep);
    m_param.push_back(std::make_unique<LECXControllerParam>());
    return m_param.back().get();
}

void LECXController::read(ChunkFileReader& chunk12)
{
    ChunkFileReader params;
    while (chunk12.nextChild(params)) {
        if (params.getIdentifier() != kParamsChunk) continue;
        ChunkFileReader list;
        while (params.nextChild(list)) {
            if (list.getIdentifier() != kParamListChunk) continue;
            list.readInt();  // the written count: the 102 chunks are what counts
            ChunkFileReader chunk;
            while (list.nextChild(chunk)) {
                if (chunk.getIdentifier() != kParamChunk) continue;
                LECXControllerParam* param = addParam();
                if (!param) return reportWarning(kCaption, "read: too many parameters");
                ChunkFileReader field;
                while (chunk.nextChild(field)) {
                    switch (field.getIdentifier()) {
                    case kParamName: field.readString(param->m_name); break;
                    case kParamExpression: field.readString(param->m_expression); break;
                    case kParamMode: param->m_mode = field.readInt(); break;
                    default: break;
                    }
                }
            }
        }
    }
}

void LECXController::write(ChunkFileWriterManager& manager) const
{
    ChunkFileWriter params(&manager);
    params.start(kParamsChunk);
    ChunkFileWriter list(&manager);
    list.start(kParamListChunk);
    list.writeInt(getNbParam());
    for (const auto& param : m_param) {
        ChunkFileWriter chunk(&manager);
        chunk.start(kParamChunk);
        ChunkFileWriter field(&manager);
        field.start(kParamName);
        field.writeString(param->m_name);
        field.close();
        field.start(kParamExpression);
        field.writeString(param->m_expression);
        field.close();
        field.start(kParamMode);
        field.writeInt(param->m_mode);
        field.close();
        chunk.close();
    }
    list.close();
    params.close();
}

void LECXController::prepare()
{
    const int n = getNbParam();
    m_pExpression.reset();
    m_value.clear();
    m_inputName.clear();
    m_inputController.clear();
    m_inputValue.clear();
    if (n == 0) return;

    m_pExpression = std::make_unique<MathExpression[]>(size_t(n));
    m_value.assign(size_t(n), 0.0f);
    // Input names: every label other than the two times, once, in order of first appearance.
    std::unordered_map<std::string, int> inputIndex;
    for (int i = 0; i < n; ++i) {
        MathExpression& expression = m_pExpression[size_t(i)];
        expression.setExpression(m_param[size_t(i)]->m_expression);
        for (int l = 0; l < expression.getLabelCount(); ++l) {
            const StringC label = expression.getLabelName(l);
            if (label == "time1" || label == "time2") continue;
            const std::string key = label.getName() ? label.getName() : "";
            if (inputIndex.emplace(key, getNbInput()).second) m_inputName.push_back(label);
        }
    }
    m_inputController.assign(m_inputName.size(), nullptr);
    m_inputValue.assign(m_inputName.size(), 0.0f);

    // Every label reads its variable: the two times or its input's value.
    for (int i = 0; i < n; ++i) {
        MathExpression& expression = m_pExpression[size_t(i)];
        for (int l = 0; l < expression.getLabelCount(); ++l) {
            const StringC label = expression.getLabelName(l);
            if (label == "time1") {
                expression.bindLabel(l, &m_time1);
            } else if (label == "time2") {
                expression.bindLabel(l, &m_time2);
            } else {
                const auto found = inputIndex.find(label.getName() ? label.getName() : "");
                if (found != inputIndex.end()) expression.bindLabel(l, &m_inputValue[size_t(found->second)]);
            }
        }
    }
}

StringC LECXController::getInputName(int i) const
{
    return i >= 0 && i < getNbInput() ? m_inputName[size_t(i)] : StringC("NULL");
}

void LECXController::setInputController(int i, LCXController* controller)
{
    if (i >= 0 && i < getNbInput()) m_inputController[size_t(i)] = controller;
}

LCXController* LECXController::getInputController(int i) const
{
    return i >= 0 && i < getNbInput() ? m_inputController[size_t(i)] : nullptr;
}

void LECXController::prepareGroups()
{
    if (!m_pExpression) return;
    for (size_t i = 0; i < m_value.size(); ++i) m_pExpression[i].prepare();
}

float LECXController::getValue(int i) const
{
    return i >= 0 && size_t(i) < m_value.size() ? m_value[size_t(i)] : 0.0f;
}

void LECXController::evaluate()
{
    for (size_t j = 0; j < m_inputValue.size(); ++j)
        m_inputValue[j] = m_inputController[j] ? m_inputController[j]->getValue(m_time1) : 0.0f;
    if (!m_pExpression) return;
    for (size_t i = 0; i < m_value.size(); ++i) m_value[i] = m_pExpression[i].getValue();
}
