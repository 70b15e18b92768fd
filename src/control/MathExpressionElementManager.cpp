#include "control/MathExpressionElementManager.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/PortableMath.h"
#include "foundation/Random.h"  // "rand" draws from the one process-wide generator
#include "foundation/Report.h"

namespace {
const char* const kCaption = "MathExpressionElementManager";
const char* const kGroupCaption = "MathExpressionGroup: ";

void warn(const char* text) { reportWarning(kCaption, text); }

bool isNumberText(const char* s)
{
    for (; *s; ++s)
        if (!((*s >= '0' && *s <= '9') || *s == '.')) return false;
    return true;
}

bool isOperand(MathExpressionKind kind)
{
    return kind == MathExpressionKind::Value || kind == MathExpressionKind::Label || kind == MathExpressionKind::Group;
}
} // namespace

bool MathExpressionOperation::init(const char* token)
{
    static const char* const kTexts[] = {"+", "-", "*", "/", "%"};
    for (uint8_t code = 0; code < 5; ++code)
        if (std::strcmp(token, kTexts[code]) == 0) {
            m_code = code;
            return true;
        }
    return false;
}

float MathExpressionOperation::apply(float a, float b) const
{
    switch (m_code) {
    case kAdd: return a + b;
    case kSub: return a - b;
    case kMul: return a * b;
    case kDiv: return b == 0.0f ? a : a / b;
    case kMod: return b == 0.0f ? a : std::fmod(a, b);
    default: return a;
    }
}

bool MathExpressionFunction::init(const char* token)
{
    if (std::strcmp(token, "cos") == 0) {
        m_code = kCos;
        return true;
    }
    if (std::strcmp(token, "sin") == 0) {
        m_code = kSin;
        return true;
    }
    return false;
}

float MathExpressionFunction::apply(float x) const
{
    // Computed in double and rounded once to float, as the C library's sin/cos of a float does.
    switch (m_code) {
    case kCos: return static_cast<float>(pmath::cos(static_cast<double>(x)));
    case kSin: return static_cast<float>(pmath::sin(static_cast<double>(x)));
    default: return x;
    }
}

void MathExpressionElementManager::clear()
{
    m_element.clear();
    m_group.clear();
    m_groupElement.clear();
    m_label.clear();
    m_operand.clear();
    m_state = State::Empty;
}

bool MathExpressionElementManager::init(const StringC* pStr, int nbElement)
{
    clear();
    if (!pStr) return reportWarning(kCaption, "pStr: NULL", false);
    if (nbElement <= 0) return reportWarning(kCaption, "init: nbElement <= 0", false);

    // Element 0 is the implicit outer group, the last one the closing element that ends it.
    const int last = nbElement + 1;
    m_element.resize(static_cast<size_t>(nbElement) + 2);
    for (int i = 0; i <= last; ++i) m_element[i].m_index = i;
    m_element[0].m_kind = MathExpressionKind::Group;
    m_element[0].m_text = "(";
    m_element[last].m_kind = MathExpressionKind::Closing;
    m_element[last].m_text = ")";

    for (int i = 1; i <= nbElement; ++i) {
        MathExpressionElement& e = m_element[i];
        const StringC& token = pStr[i - 1];
        // A missing or empty token stays a value of 0.
        if (token.isNull()) {
            warn("init: blem pStr[i] NULL");
            continue;
        }
        if (token.length() <= 0) {
            warn("init: len pStr[i] <= 0");
            continue;
        }
        e.m_text = token;
        const char* s = token.getName();
        if (isNumberText(s)) {
            // Digits and dots only; "%f" reads the longest number it can ("1.2.3" is 1.2, "." is 0).
            e.m_kind = MathExpressionKind::Value;
            if (std::sscanf(s, "%f", &e.m_value) != 1) e.m_value = 0.0f;
        } else if (e.m_operation.init(s)) {
            e.m_kind = MathExpressionKind::Operator;
        } else if (e.m_function.init(s)) {
            e.m_kind = MathExpressionKind::Function;
        } else if (std::strcmp(s, "(") == 0) {
            e.m_kind = MathExpressionKind::Group;
        } else if (std::strcmp(s, ")") == 0) {
            e.m_kind = MathExpressionKind::Closing;
        } else if (std::strcmp(s, "pi") == 0) {
            e.m_kind = MathExpressionKind::Value;
            e.m_value = 3.1415927f;
        } else if (std::strcmp(s, "rand") == 0) {
            // Drawn once, now: the expression yields this number at every evaluation.
            e.m_kind = MathExpressionKind::Value;
            e.m_value = static_cast<float>(tlRand());
        } else {
            e.m_kind = MathExpressionKind::Label;
        }
    }

    for (int i = 0; i <= last; ++i) {
        MathExpressionElement& e = m_element[i];
        if (e.m_kind == MathExpressionKind::Group) {
            e.m_group = static_cast<int>(m_group.size());
            m_group.emplace_back();
            m_groupElement.push_back(i);
        } else if (e.m_kind == MathExpressionKind::Label) {
            m_label.push_back(i);
        }
    }
    if (m_group.empty()) {
        warn("prepareGroupAndUnkowLabel: nbGroup <= 0");
        clear();
        return false;
    }
    // The group list is complete, so pointers to the results stay valid from here on.
    for (MathExpressionElement& e : m_element) {
        if (e.m_kind == MathExpressionKind::Value) e.m_pValue = &e.m_value;
        if (e.m_kind == MathExpressionKind::Group) e.m_pValue = &m_group[e.m_group].m_result;
    }
    m_state = State::Classified;
    return true;
}

const StringC* MathExpressionElementManager::getLabelName(int index) const
{
    if (index < 0 || index >= getLabelCount()) return nullptr;
    return &m_element[m_label[index]].m_text;
}

void MathExpressionElementManager::bindLabel(int index, const float* pValue)
{
    if (index < 0 || index >= getLabelCount()) return;
    m_element[m_label[index]].m_pValue = pValue;
}

bool MathExpressionElementManager::stop()
{
    m_state = State::Stopped;
    return false;
}

bool MathExpressionElementManager::prepareGroup()
{
    if (m_state == State::Empty) return false;

    // Start again from the classified state, so a second preparation sees fresh groups.
    m_operand.clear();
    for (MathExpressionGroup& g : m_group) g = MathExpressionGroup();
    for (MathExpressionElement& e : m_element) e.m_closingIndex = -1;
    m_state = State::Classified;

    bool unbound = false;
    for (int index : m_label) {
        const MathExpressionElement& e = m_element[index];
        if (!e.m_pValue) {
            reportWarning(kCaption, (StringC("unknow label: ") + e.m_text).getName());
            unbound = true;
        }
    }
    if (unbound) return stop();

    if (!firstPass() || !buildOperandArrays() || !secondPass() || !checkChains()) return stop();
    m_state = State::Prepared;
    return true;
}

// Counts the operands of every group, records where each group closes and hands each function to
// the group that follows it. Operators play no part here.
bool MathExpressionElementManager::firstPass()
{
    const int last = static_cast<int>(m_element.size()) - 1;
    std::vector<int> stack;  // element indexes of the open groups
    stack.reserve(m_group.size());
    stack.push_back(0);
    for (int i = 1; i <= last; ++i) {
        if (stack.empty()) return reportWarning(kCaption, "prepareGroup: groupSize <= 0", false);
        MathExpressionElement& e = m_element[i];
        if (isOperand(e.m_kind)) {
            ++m_group[m_element[stack.back()].m_group].m_nbOperand;
            if (e.m_kind == MathExpressionKind::Group) stack.push_back(i);
        } else if (e.m_kind == MathExpressionKind::Closing) {
            m_element[stack.back()].m_closingIndex = i;
            stack.pop_back();
        } else if (e.m_kind == MathExpressionKind::Function) {
            // The closing element after the last token ends the outer group, so a function that
            // is the last token has nothing to apply to.
            if (i + 1 >= last) return reportWarning(kCaption, "prepareGroup: function call as last param !!!!", false);
            const MathExpressionElement& next = m_element[i + 1];
            if (next.m_kind != MathExpressionKind::Group)
                return reportWarning(kCaption, "prepareGroup: function call without '(' !!!", false);
            m_group[next.m_group].m_function = e.m_function;
        }
    }
    if (!stack.empty()) return reportWarning(kCaption, "prepareGroup: bad order/number of '(' and ')'", false);
    return true;
}

// Lays every group's operands side by side in one array, groups in opening order.
bool MathExpressionElementManager::buildOperandArrays()
{
    int total = 0;
    for (MathExpressionGroup& g : m_group) {
        if (g.m_nbOperand <= 0) return reportWarning(kCaption, "prepareGroup: nbElement <= 0", false);
        g.m_firstOperand = total;
        total += g.m_nbOperand;
    }
    m_operand.assign(static_cast<size_t>(total), MathExpressionOperand());
    return true;
}

// Fills each operand with its value pointer and, unless it ends its group's chain, with the
// operator right after it (after its closing parenthesis, for a group). Operators that follow no
// operand (a leading "-", a second operator in a row) are skipped.
bool MathExpressionElementManager::secondPass()
{
    const int last = static_cast<int>(m_element.size()) - 1;
    std::vector<int> filled(m_group.size(), 0);
    std::vector<int> stack;
    stack.reserve(m_group.size());
    stack.push_back(0);
    for (int i = 1; i <= last; ++i) {
        const MathExpressionElement& e = m_element[i];
        if (isOperand(e.m_kind)) {
            // The first pass walked the same elements, so the stack and the counts agree with it.
            const int g = m_element[stack.back()].m_group;
            const MathExpressionGroup& group = m_group[g];
            const int k = filled[g]++;
            MathExpressionOperand& operand = m_operand[group.m_firstOperand + k];
            operand.m_pValue = e.m_pValue;
            if (k < group.m_nbOperand - 1) {
                const int after = (e.m_kind == MathExpressionKind::Group ? e.m_closingIndex : i) + 1;
                if (m_element[after].m_kind != MathExpressionKind::Operator)
                    return reportWarning(kCaption, "prepareGroup: can't find operator", false);
                operand.m_operation = m_element[after].m_operation;
            }
            if (e.m_kind == MathExpressionKind::Group) stack.push_back(i);
        } else if (e.m_kind == MathExpressionKind::Closing) {
            stack.pop_back();
        }
    }
    if (!stack.empty()) return reportWarning(kCaption, "prepareGroup: bad order/number of '(' and ')'", false);
    return true;
}

bool MathExpressionElementManager::checkChains() const
{
    bool ok = true;
    for (const MathExpressionGroup& g : m_group)
        for (int k = 0; k < g.m_nbOperand; ++k) {
            const MathExpressionOperand& o = m_operand[g.m_firstOperand + k];
            if (!o.m_pValue) {
                reportWarning(kGroupCaption, "init: m_pValue NULL -> big blem");
                ok = false;
            }
            if (k < g.m_nbOperand - 1 && !o.m_operation.isSet()) {
                reportWarning(kGroupCaption, "init: m_pOperation NULL -> big blem");
                ok = false;
            }
        }
    return ok;
}

float MathExpressionElementManager::getValue()
{
    if (m_state != State::Prepared) return m_state == State::Stopped ? 1.0f : 0.0f;
    // Groups opened later lie inside those opened earlier, so walking backwards computes every
    // inner result before the chain that reads it. Each chain folds from the right, without
    // precedence: a op1 b op2 c = a op1 (b op2 c).
    for (size_t gi = m_group.size(); gi-- > 0;) {
        MathExpressionGroup& g = m_group[gi];
        const MathExpressionOperand* o = m_operand.data() + g.m_firstOperand;
        float acc = *o[g.m_nbOperand - 1].m_pValue;
        for (int k = g.m_nbOperand - 2; k >= 0; --k) acc = o[k].m_operation.apply(*o[k].m_pValue, acc);
        g.m_result = g.m_function.apply(acc);
    }
    return m_group[0].m_result;
}
