// .lecx controllers: named parameters, each computed every frame by a math expression over the
// time inputs "time1" and "time2" and the values of named .lcx controllers, then written into one
// target. This header holds the parameter record and the base every kind shares: the chunk
// storage, the expressions and their inputs, and the evaluation.
#pragma once

#include <memory>
#include <vector>

#include "control/MathExpression.h"
#include "foundation/ChunkFile.h"
#include "foundation/StringC.h"

class LCXController;
class LECXTarget;

// Type codes of the .lecx controller kinds.
enum : int {
    kLECXEffectColor = 1,
    kLECXL3X = 2,
    kLECXMixBlit = 3,
    kLECXEffectDemoSpe01 = 4,
};

// One parameter as stored in the file: its key, its expression and, for the 3D kind, whether the
// value replaces (0), is added to (1) or subtracted from (2) the scene's own value.
struct LECXControllerParam {
    StringC m_name{"NULL"};
    StringC m_expression{"NULL"};
    int m_mode = 0;
};

class LECXController {
public:
    // The parameter array grows by this many slots at a time.
    static constexpr int kParamCapacityStep = 40;
    // Parameters beyond this count are dropped on reading (with a report).
    static constexpr int kMaxParams = 10000;

    virtual ~LECXController();
    // Reads the parameters from the children 100 / 101 / 102 of the file's chunk 12.
    virtual void read(ChunkFileReader& chunk12);
    // Writes chunk 100: one 101 (the parameter count) holding one 102 per parameter.
    virtual void write(ChunkFileWriterManager& manager) const;
    // Evaluates the inputs and expressions and writes the values into the target; nothing
    // without a target or bindings.
    virtual void apply() = 0;
    // The kind's parameter names in table order (getParamCount() of them).
    virtual const char* const* getParamNames() const = 0;
    virtual int getParamCount() const = 0;
    // Ties every parameter to its place in the target; called once a descriptor accepted it.
    virtual void prepareInterface() = 0;
    // Makes `target` what apply writes into (null: none). A later call re-targets the controller.
    virtual void setTarget(LECXTarget* target) { m_pTarget = target; }
    LECXTarget* getTarget() const { return m_pTarget; }

    int getType() const { return m_type; }
    const StringC& getName() const { return m_name; }
    void setName(const StringC& name) { m_name = name; }

    int getNbParam() const { return static_cast<int>(m_param.size()); }
    LECXControllerParam* getParam(int i) const;
    // Appends a parameter ("NULL", "NULL", 0) and returns it; null at kMaxParams.
    [[nodiscard]] LECXControllerParam* addParam();

    // Builds one expression per parameter, binds "time1" and "time2", and lists the other
    // labels as inputs (distinct names, in order of first appearance).
    void prepare();
    int getNbInput() const { return static_cast<int>(m_inputName.size()); }
    // "NULL" out of range.
    StringC getInputName(int i) const;
    // Ignored out of range. An input left without controller reads 0.
    void setInputController(int i, LCXController* controller);
    LCXController* getInputController(int i) const;
    // Prepares every expression; called once after the inputs are bound.
    void prepareGroups();

    // Set by the layer operations before each use.
    void setTime1(float t) { m_time1 = t; }
    void setTime2(float t) { m_time2 = t; }
    float getTime1() const { return m_time1; }
    float getTime2() const { return m_time2; }
    // The value of parameter i at the last evaluation (0 out of range).
    float getValue(int i) const;

protected:
    explicit LECXController(int type) : m_type(type) {}
    // Reads every input controller at time1, then every expression.
    void evaluate();

    StringC m_name{"NULL"};
    int m_type;
    LECXTarget* m_pTarget = nullptr;  // not owned
    std::vector<std::unique_ptr<LECXControllerParam>> m_param;
    std::unique_ptr<MathExpression[]> m_pExpression;  // one per parameter once prepared
    std::vector<float> m_value;                        // sized once by prepare, never resized
    std::vector<StringC> m_inputName;
    std::vector<LCXController*> m_inputController;
    std::vector<float> m_inputValue;                   // bound into the expressions: never resized
    float m_time1 = 0.0f;
    float m_time2 = 0.0f;
};
