// .lecx controllers: the chunk tree and hostile files, inputs and their binding, evaluation
// through the time inputs, interfaces and unknown names, and the 3D scene kind's holding state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "control/LCXController.h"
#include "control/LECXControllerKinds.h"
#include "control/LECXControllerManager.h"
#include "support/ChunkBytes.h"
#include "support/TestSupport.h"

namespace {

const char* const kManagerCaption = "LECXControllerManager";

// A value source that counts its queries and answers t + offset.
class CountingController : public LCXController {
public:
    explicit CountingController(float offset = 0.0f) : LCXController(kLCXKeyFramer), m_offset(offset) {}
    void load(ChunkFileReader&) override {}
    void save(ChunkFileWriterManager&) const override {}
    float getValue(float t) override
    {
        ++queries;
        return t + m_offset;
    }
    int queries = 0;

private:
    float m_offset;
};

struct Param {
    const char* name;
    const char* expression;
    int mode;
};

void addParams(LECXController& c, std::initializer_list<Param> params)
{
    for (const Param& p : params) {
        LECXControllerParam* param = c.addParam();
        param->m_name = p.name;
        param->m_expression = p.expression;
        param->m_mode = p.mode;
    }
}

// Prepares with every input bound by name from `sources` (missing names stay unbound).
void prepareAndBind(LECXController& c, const std::vector<std::pair<std::string, LCXController*>>& sources)
{
    c.prepare();
    for (int i = 0; i < c.getNbInput(); ++i)
        for (const auto& [name, source] : sources)
            if (c.getInputName(i) == name.c_str()) c.setInputController(i, source);
    c.prepareGroups();
}

// A colour target: its values found by the colour kind's names.
struct Target : LECXTarget {
    float red = -1, green = -1, blue = -1;
    float* findTargetValue(const char* name) override
    {
        const std::string n = name;
        return n == "Red" ? &red : n == "Green" ? &green : n == "Blue" ? &blue : nullptr;
    }
};

using Bytes = ChunkBytes;

} // namespace

TEST(LECXFile, ParametersRoundTripAndTheFileIsChecked)
{
    ScratchDir dir;
    const std::string path = dir.path() + "fade.lecx";
    {
        LECXControllerManager m;
        m.create(kLECXL3X);
        addParams(*m.getController(), {{"NODE Box01 POSX", "kf * 2", 1}, {"SCENE CAMERA", "time1 / 1000", 2}});
        m.save(path.c_str());
    }
    LECXControllerManager m;
    m.load(path.c_str());
    ASSERT_NE(m.getController(), nullptr);
    const LECXController& c = *m.getController();
    EXPECT_EQ(c.getType(), kLECXL3X);
    ASSERT_EQ(c.getNbParam(), 2);
    EXPECT_TRUE(c.getParam(0)->m_name == "NODE Box01 POSX");
    EXPECT_TRUE(c.getParam(0)->m_expression == "kf * 2");
    EXPECT_EQ(c.getParam(0)->m_mode, 1);
    EXPECT_TRUE(c.getParam(1)->m_name == "SCENE CAMERA");
    EXPECT_EQ(c.getParam(1)->m_mode, 2);
    EXPECT_EQ(c.getParam(2), nullptr);

    ReportCapture capture;
    Bytes notLecx;
    notLecx.close(notLecx.open(1));
    m.load("mem", notLecx.v.data(), notLecx.v.size());
    EXPECT_TRUE(capture.has(kManagerCaption, "not a lecx file"));
    EXPECT_EQ(m.getController(), nullptr);
    m.load((dir.path() + "missing.lecx").c_str());
    EXPECT_EQ(m.getController(), nullptr);
}

TEST(LECXFile, HandMadeTreesCountTheParameterChunksAndTheLastTypeWins)
{
    // Chunk 12 type 9 (unknown), then chunk 12 type 3 whose 101 claims 50 parameters but holds
    // two 102 chunks (the second with only a name), an unknown child and a stray chunk.
    Bytes b;
    const size_t root = b.open(10);
    size_t c12 = b.open(12);
    b.i32(9);
    b.close(c12);
    c12 = b.open(12);
    b.i32(kLECXMixBlit);
    const size_t c100 = b.open(100);
    const size_t c101 = b.open(101);
    b.i32(50);
    size_t p = b.open(102);
    size_t f = b.open(1);
    b.str("Opacity");
    b.close(f);
    f = b.open(2);
    b.str("time1 / 100");
    b.close(f);
    f = b.open(77);
    b.i32(1);
    b.close(f);
    b.close(p);
    p = b.open(102);
    f = b.open(1);
    b.str("Other");
    b.close(f);
    b.close(p);
    b.close(b.open(103));
    b.close(c101);
    b.close(c100);
    b.close(c12);
    b.close(root);

    ReportCapture capture;
    LECXControllerManager m;
    m.load("mem", b.v.data(), b.v.size());
    EXPECT_TRUE(capture.has(kManagerCaption, "unknow controller type: 9"));
    ASSERT_NE(m.getController(), nullptr);
    EXPECT_EQ(m.getController()->getType(), kLECXMixBlit);
    ASSERT_EQ(m.getController()->getNbParam(), 2);
    EXPECT_TRUE(m.getController()->getParam(1)->m_name == "Other");
    EXPECT_TRUE(m.getController()->getParam(1)->m_expression == "NULL");  // the default
    EXPECT_EQ(m.getController()->getParam(1)->m_mode, 0);
}

TEST(LECXController, InputNamesAreDistinctInOrderOfFirstUse)
{
    LECXControllerEffectColor c;
    addParams(c, {{"Red", "bass * 2 + time1", 0}, {"Green", "( lead - bass ) * time2", 0}, {"Blue", "lead + kick", 0}});
    c.prepare();
    ASSERT_EQ(c.getNbInput(), 3);
    EXPECT_TRUE(c.getInputName(0) == "bass");
    EXPECT_TRUE(c.getInputName(1) == "lead");
    EXPECT_TRUE(c.getInputName(2) == "kick");
    EXPECT_TRUE(c.getInputName(3) == "NULL");
    EXPECT_TRUE(c.getInputName(-1) == "NULL");
    c.setInputController(7, nullptr);  // ignored
    EXPECT_EQ(c.getInputController(7), nullptr);
}

TEST(LECXController, ApplyReadsEachInputOnceAtTime1AndWritesTheTarget)
{
    ReportCapture capture;
    CountingController kf(0.5f);
    LECXControllerEffectColor c;
    addParams(c, {{"Red", "kf * kf", 0}, {"Green", "kf + ghost + 1", 0}, {"Blue", "time2 - time1", 0}});
    prepareAndBind(c, {{"kf", &kf}});
    Target target;
    c.prepareInterface();
    c.apply();  // no target yet: nothing evaluated
    EXPECT_EQ(kf.queries, 0);
    EXPECT_EQ(target.red, -1.0f);

    c.setTarget(&target);
    c.setTime1(1.5f);
    c.setTime2(10.0f);
    c.apply();
    EXPECT_EQ(kf.queries, 1);      // named three times, read once
    EXPECT_EQ(target.red, 4.0f);   // (1.5 + 0.5)^2
    EXPECT_EQ(target.green, 3.0f); // an input without controller reads 0
    EXPECT_EQ(target.blue, 8.5f);
    EXPECT_EQ(c.getValue(2), 8.5f);
    EXPECT_EQ(capture.count(), 0u);
}

TEST(LECXController, InterfaceNamesAndEmptyControllers)
{
    ReportCapture capture;
    LECXControllerEffectDemoSpe01 c;
    addParams(c, {{"Phase", "2", 0}, {"Speed", "3", 0}, {"Intensity", "4", 0}});
    prepareAndBind(c, {});
    c.prepareInterface();
    EXPECT_TRUE(capture.has("LECXControllerEffectDemoSpe01", "can t find param type: Speed"));
    EXPECT_EQ(c.getNbBinding(), 3);
    struct : LECXTarget {
        float intensity = 0, phase = 0;
        float* findTargetValue(const char* name) override
        {
            return std::string(name) == "Intensity" ? &intensity : std::string(name) == "Phase" ? &phase : nullptr;
        }
    } spe;
    c.setTarget(&spe);
    c.apply();
    EXPECT_EQ(spe.intensity, 4.0f);
    EXPECT_EQ(spe.phase, 2.0f);

    // Names are exact.
    capture.clear();
    LECXControllerMixBlit blit;
    addParams(blit, {{"opacity", "1", 0}});
    blit.prepare();
    blit.prepareInterface();
    EXPECT_TRUE(capture.has("LECXControllerMixBlit", "can t find param type: opacity"));

    // No parameters: the target never changes.
    LECXControllerEffectColor empty;
    empty.prepare();
    empty.prepareGroups();
    empty.prepareInterface();
    Target target;
    empty.setTarget(&target);
    empty.apply();
    EXPECT_EQ(target.red, -1.0f);

    const char* const* names = LECXControllerEffectColor().getParamNames();
    EXPECT_STREQ(names[0], "Red");
    EXPECT_STREQ(names[2], "Blue");
}

TEST(LECXController, BrokenExpressionsYieldTheirDefinedValues)
{
    ReportCapture capture;
    LECXControllerEffectColor c;
    // A stopped preparation gives 1; a text that cannot be read gives 0.
    addParams(c, {{"Red", "( 1 + 2", 0}, {"Green", "", 0}, {"Blue", "2 * 3 + 4", 0}});
    prepareAndBind(c, {});
    c.prepareInterface();
    Target target;
    c.setTarget(&target);
    c.apply();
    EXPECT_EQ(target.red, 1.0f);
    EXPECT_EQ(target.green, 0.0f);
    EXPECT_EQ(target.blue, 14.0f);
    EXPECT_TRUE(capture.has("MathExpressionElementManager", "prepareGroup: bad order/number of '(' and ')'"));
    EXPECT_TRUE(capture.has("MathExpression", "expression len <= 0"));
}

TEST(LECXController, SceneKindHoldsItsDataUntilScenesArrive)
{
    ReportCapture capture;
    LECXControllerL3X c;
    EXPECT_EQ(c.getParamCount(), 69);
    const char* const* names = c.getParamNames();
    EXPECT_STREQ(names[0], "SCENE MAINANIM");
    EXPECT_STREQ(names[68], "MODIFIERBEND NAME DIRECTION");
    for (int i = 0; i < c.getParamCount(); ++i) ASSERT_NE(names[i], nullptr) << i;

    CountingController kf;
    addParams(c, {{"NODE Box01 POSX", "kf", 0}});
    prepareAndBind(c, {{"kf", &kf}});
    c.prepareInterface();
    EXPECT_TRUE(capture.has("LECXControllerL3X", "can t prepare controller Interface: m_pScene NULL"));
    c.apply();
    EXPECT_EQ(kf.queries, 0);
    EXPECT_EQ(c.getNbParamObject(), 0);
}

TEST(LECXController, RegisteredKindsReplaceTheBuiltInOnes)
{
    static int made = 0;
    LECXControllerManager::registerKind(kLECXL3X, []() -> std::unique_ptr<LECXController> {
        ++made;
        return std::make_unique<LECXControllerL3X>();
    });
    LECXControllerManager m;
    m.create(kLECXL3X);
    EXPECT_EQ(made, 1);
    LECXControllerManager::registerKind(kLECXL3X, nullptr);
    m.create(kLECXL3X);
    EXPECT_EQ(made, 1);
    ASSERT_NE(m.getController(), nullptr);
}
