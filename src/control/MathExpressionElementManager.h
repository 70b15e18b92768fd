// The prepared form of a math expression: one element per token, the groups (the implicit outer
// group and every parenthesis) with their operand chains, and the labels. Built once from the
// tokens; evaluation then walks flat arrays through value pointers and never allocates.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/StringC.h"

// A binary operator: "+" 0, "-" 1, "*" 2, "/" 3, "%" 4; 255 while unset.
struct MathExpressionOperation {
    static constexpr uint8_t kAdd = 0;
    static constexpr uint8_t kSub = 1;
    static constexpr uint8_t kMul = 2;
    static constexpr uint8_t kDiv = 3;
    static constexpr uint8_t kMod = 4;
    static constexpr uint8_t kUnset = 255;

    uint8_t m_code = kUnset;

    bool isSet() const { return m_code != kUnset; }
    // Sets the code from an operator token; false when the token is not an operator.
    [[nodiscard]] bool init(const char* token);
    // a op b in floats. Division and remainder by 0 give a; an unset code gives a.
    float apply(float a, float b) const;
};

// A function applied to a group's result: "cos" 0, "sin" 1 (radians); 255 while unset.
struct MathExpressionFunction {
    static constexpr uint8_t kCos = 0;
    static constexpr uint8_t kSin = 1;
    static constexpr uint8_t kUnset = 255;

    uint8_t m_code = kUnset;

    bool isSet() const { return m_code != kUnset; }
    [[nodiscard]] bool init(const char* token);
    // function(x); an unset code gives x.
    float apply(float x) const;
};

// One link of a group's chain: where its value is read and the operation joining it to the rest.
// A group's operands lie side by side in the manager's operand array, so the next operand of a
// chain is simply the following entry.
struct MathExpressionOperand {
    const float* m_pValue = nullptr;
    MathExpressionOperation m_operation;
};

// A parenthesised run of operands (or the whole text, for the outer group).
struct MathExpressionGroup {
    int m_nbOperand = 0;
    int m_firstOperand = 0;            // index of its first operand in the manager's operand array
    MathExpressionFunction m_function;  // applied to the chain's value; unset when none
    float m_result = 1.0f;
};

enum class MathExpressionKind : uint8_t {
    Value = 0,
    Label = 2,
    Function = 3,
    Operator = 4,
    Group = 5,    // an opening parenthesis
    Closing = 6,  // a closing parenthesis
};

struct MathExpressionElement {
    StringC m_text;
    MathExpressionKind m_kind = MathExpressionKind::Value;
    float m_value = 0.0f;
    const float* m_pValue = nullptr;  // own value, bound variable, or the group's result
    int m_group = -1;                 // index in the manager's group list (kind Group)
    MathExpressionFunction m_function;
    MathExpressionOperation m_operation;
    int m_index = 0;
    int m_closingIndex = -1;  // kind Group: position of its closing parenthesis
};

class MathExpressionElementManager {
public:
    // Classifies the tokens into elements (a leading opening group, one element per token, a
    // closing element) and lists the groups and labels. Warns and keeps nothing when there is no
    // token; "rand" draws its number here, once.
    bool init(const StringC* pStr, int nbElement);
    void clear();

    int getLabelCount() const { return static_cast<int>(m_label.size()); }
    // Name of label `index`; null when out of range.
    const StringC* getLabelName(int index) const;
    // Label `index` reads *pValue at every evaluation (indexes out of range are ignored).
    void bindLabel(int index, const float* pValue);

    // Checks the labels and builds every group's operand chain. On any failure it warns, stops,
    // and the expression then evaluates to 1.0 (the outer group's initial result).
    [[nodiscard]] bool prepareGroup();
    bool isPrepared() const { return m_state == State::Prepared; }

    // Inner groups first, then the groups containing them; the outer group's result. 0 when
    // nothing was prepared, 1.0 when the preparation stopped.
    float getValue();

private:
    enum class State { Empty, Classified, Prepared, Stopped };

    [[nodiscard]] bool firstPass();
    [[nodiscard]] bool buildOperandArrays();
    [[nodiscard]] bool secondPass();
    bool checkChains() const;
    [[nodiscard]] bool stop();

    std::vector<MathExpressionElement> m_element;
    std::vector<MathExpressionGroup> m_group;  // in order of their opening parenthesis, outer first
    std::vector<int> m_groupElement;           // element index of each group
    std::vector<int> m_label;                  // element indexes of the labels, in text order
    std::vector<MathExpressionOperand> m_operand;
    State m_state = State::Empty;
};
