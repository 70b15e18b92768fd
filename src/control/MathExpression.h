// MathExpression: a text formula over numbers, "pi", "rand", "sin", "cos", parentheses, the
// operators + - * / % and labels bound to float variables. Parsed and prepared once; getValue()
// then re-evaluates it through the bound variables every frame without allocating.
#pragma once

#include <memory>
#include <optional>

#include "control/MathExpressionElementManager.h"
#include "foundation/StringC.h"

class MathExpression {
public:
    // Longest text accepted: longer ones are refused with a warning, which bounds the token count,
    // the nesting depth and the memory of one expression.
    static constexpr int kMaxExpressionLength = 4096;

    // Checks and tokenises the text and classifies its tokens; labels can be bound afterwards.
    // A text that cannot be read is reported and leaves an expression whose value is 0.
    void setExpression(const StringC& text);
    // The text last given; null when it was null or none was given.
    const StringC* getExpression() const { return m_expression ? &*m_expression : nullptr; }

    // Labels in text order (a name used twice is two labels).
    int getLabelCount() const { return m_elementManager.getLabelCount(); }
    // "NULL" for an index out of range.
    StringC getLabelName(int index) const;
    // Label `index` reads *pValue at every evaluation; the variable must outlive the expression.
    // Indexes out of range are ignored. Bind before prepare().
    void bindLabel(int index, const float* pValue) { m_elementManager.bindLabel(index, pValue); }

    // Builds the evaluation structure; reports and stops on unbound labels or a malformed text,
    // after which getValue() yields 1.0.
    bool prepare() { return m_elementManager.prepareGroup(); }
    bool isPrepared() const { return m_elementManager.isPrepared(); }

    // The value now; 0 when nothing was prepared, 1.0 when the preparation stopped.
    float getValue() { return m_elementManager.getValue(); }

private:
    void clear();

    std::optional<StringC> m_expression;  // empty when the text given was null
    MathExpressionElementManager m_elementManager;
    int m_nbStringElement = 0;
    std::unique_ptr<StringC[]> m_stringElement;
};
