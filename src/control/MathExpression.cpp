#include "control/MathExpression.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/Report.h"

namespace {
const char* const kCaption = "MathExpression";

void warn(const char* text) { reportWarning(kCaption, text); }

bool needsBlanks(char c) { return c != '\0' && std::strchr("+-*/%()", c) != nullptr; }

// Token runs of a blank-separated text; calls visit(begin, end) for each, returns the count.
template <typename Visit>
int forEachToken(const std::string& text, Visit visit)
{
    int nb = 0;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        while (i < n && text[i] == ' ') ++i;
        if (i == n) break;
        const size_t begin = i;
        while (i < n && text[i] != ' ') ++i;
        visit(begin, i);
        ++nb;
    }
    return nb;
}
} // namespace

void MathExpression::clear()
{
    m_expression.reset();
    m_elementManager.clear();
    m_nbStringElement = 0;
    m_stringElement.reset();
}

void MathExpression::setExpression(const StringC& text)
{
    clear();
    if (text.isNull()) return reportWarning(kCaption, "expression NULL");
    m_expression.emplace(text);
    const int len = text.length();
    if (len <= 0) return reportWarning(kCaption, "expression len <= 0");
    if (len > kMaxExpressionLength) return reportWarning(kCaption, "expression len > MAX_LEN_EXPRESSION");

    // Commas are reported but kept: they stay inside their token, which then reads as a label.
    const char* s = text.getName();
    for (int i = 0; i < len; ++i)
        if (s[i] == ',') {
            char message[64];
            std::snprintf(message, sizeof message, "can't use %c in expression", s[i]);
            warn(message);
        }

    // One blank on each side of every operator and parenthesis, so they become tokens of their own.
    std::string spaced;
    spaced.reserve(static_cast<size_t>(len) * 3);
    for (int i = 0; i < len; ++i) {
        if (needsBlanks(s[i])) {
            spaced += ' ';
            spaced += s[i];
            spaced += ' ';
        } else {
            spaced += s[i];
        }
    }

    // Only the blank separates tokens: tabs, commas and the like stay part of a token.
    m_nbStringElement = forEachToken(spaced, [](size_t, size_t) {});
    if (m_nbStringElement == 0) return reportWarning(kCaption, "m_nbStringElement == 0");
    m_stringElement = std::make_unique<StringC[]>(static_cast<size_t>(m_nbStringElement));
    int nb = 0;
    const int count = m_nbStringElement;
    forEachToken(spaced, [&](size_t begin, size_t end) {
        if (nb < count) m_stringElement[nb] = spaced.substr(begin, end - begin).c_str();
        ++nb;
    });
    if (nb != m_nbStringElement) {
        warn("prepareExpression02: oops nb != m_nbStringElement");
        m_nbStringElement = 0;
        m_stringElement.reset();
        return;
    }
    m_elementManager.init(m_stringElement.get(), m_nbStringElement);
}

StringC MathExpression::getLabelName(int index) const
{
    const StringC* name = m_elementManager.getLabelName(index);
    return name ? *name : StringC("NULL");
}
