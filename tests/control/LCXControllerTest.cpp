// .lcx controllers: the key framer's beats and models, the per-frame cache, mouse channels and
// device failures, noise, recording and its file, and the .lcx chunk files with hostile content.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

#include "control/LCXControllerKeyFramer.h"
#include "control/LCXControllerManager.h"
#include "control/MouseInput.h"
#include "music/SoundManager.h"
#include "backends/headless/HeadlessBackend.h"
#include "support/ChunkBytes.h"
#include "support/TestSupport.h"

namespace {

const char* const kManagerCaption = "LCXControllerManager";

std::vector<LCXKeyFramerPoint> points(std::initializer_list<std::pair<float, float>> list)
{
    std::vector<LCXKeyFramerPoint> out;
    for (const auto& [time, value] : list) {
        LCXKeyFramerPoint p;
        p.time = time;
        p.value = value;
        out.push_back(p);
    }
    return out;
}

// Beats 0, 1000, 2000 and a linear model from (0, 0) to (500, 1).
void makeBeatFramer(LCXControllerKeyFramer& k)
{
    const auto beats = points({{0, 0}, {1000, 0}, {2000, 0}});
    const auto model = points({{0, 0}, {500, 1}});
    k.createBeatPosition(beats.data(), int(beats.size()));
    k.setModel(model.data(), int(model.size()), kKeyFramerLinear);
}

// A value computed afresh, as at the first query of a frame.
float fresh(LCXController& c, float t)
{
    c.setDirty();
    return c.getValue(t);
}

// Mouse input over a scripted fake device.
struct FakeMouse {
    FakeMouse()
    {
        Platform p;
        p.createMouse = [m = state] { return createHeadlessMouse(m); };
        input = std::make_unique<MouseInput>(p.createMouse());
    }
    std::shared_ptr<HeadlessMouse> state = std::make_shared<HeadlessMouse>();
    std::unique_ptr<MouseInput> input;
};

using Bytes = ChunkBytes;

void loadBytes(LCXControllerManager& m, const Bytes& b) { m.load("mem.lcx", b.v.data(), b.v.size()); }

} // namespace

TEST(LCXKeyFramer, BeatsRestartTheModelAndAccumulateAddsTheEndValue)
{
    LCXControllerKeyFramer k;
    makeBeatFramer(k);
    EXPECT_EQ(k.getEndValue(), 1.0f);
    EXPECT_FLOAT_EQ(fresh(k, 1250), 0.5f);
    EXPECT_FLOAT_EQ(fresh(k, 999), 1.0f);    // the model's last value held after its end
    EXPECT_FLOAT_EQ(fresh(k, 2000), 0.0f);   // a time on a beat belongs to that beat
    EXPECT_FLOAT_EQ(fresh(k, -300), 0.0f);   // before the first beat: the first key
    EXPECT_FLOAT_EQ(fresh(k, 5000), 1.0f);   // the last beat plays on

    k.m_accumulate = true;
    EXPECT_FLOAT_EQ(fresh(k, 1250), 1.5f);
    EXPECT_FLOAT_EQ(fresh(k, 2000), 2.0f);
    EXPECT_FLOAT_EQ(fresh(k, 999), 1.0f);    // beat 0 adds nothing
    EXPECT_FLOAT_EQ(fresh(k, -300), 0.0f);   // before the second beat the index is 0
}

TEST(LCXKeyFramer, OneValuePerFrame)
{
    LCXControllerKeyFramer k;
    makeBeatFramer(k);
    EXPECT_FLOAT_EQ(k.getValue(250), 0.5f);  // dirty from construction
    EXPECT_FLOAT_EQ(k.getValue(400), 0.5f);  // same frame, another time: the first value
    k.setDirty();
    EXPECT_FLOAT_EQ(k.getValue(400), 0.8f);
}

TEST(LCXKeyFramer, WithoutBeatsOrModelItAnswersZero)
{
    ReportCapture capture;
    LCXControllerKeyFramer noBeats;
    const auto model = points({{0, 3}, {10, 4}});
    noBeats.setModel(model.data(), 2, kKeyFramerLinear);
    EXPECT_EQ(fresh(noBeats, 5), 0.0f);

    LCXControllerKeyFramer noModel;
    const auto beats = points({{0, 0}, {100, 0}});
    noModel.createBeatPosition(beats.data(), 2);
    noModel.m_accumulate = true;
    EXPECT_EQ(fresh(noModel, 150), 0.0f);
    EXPECT_EQ(capture.count(), 0u);

    noModel.createBeatPosition(nullptr, 3);
    noModel.createInterpolationModelLinear(nullptr, 1);
    noModel.createInterpolationModelHermite(nullptr, 1);
    noModel.createInterpolationModelBezier(nullptr, 1);
    EXPECT_TRUE(capture.has("LCXControllerKeyFramer", "createBeatPosition: pPoint NULL"));
    EXPECT_TRUE(capture.has("LCXControllerKeyFramer", "createInterpolationModelLinear: pPoint NULL"));
    EXPECT_TRUE(capture.has("LCXControllerKeyFramer", "createInterpolationModelHermite: pPoint NULL"));
    EXPECT_TRUE(capture.has("LCXControllerKeyFramer", "createInterpolationModelBezier: pPoint NULL"));
    EXPECT_EQ(noModel.getBeatCount(), 2);  // an empty or missing list changes nothing
    noModel.createBeatPosition(beats.data(), 0);
    EXPECT_EQ(noModel.getBeatCount(), 2);
}

TEST(LCXKeyFramer, ModelKindsAndRebuilding)
{
    LCXControllerKeyFramer k;
    const auto beat = points({{0, 0}});
    k.createBeatPosition(beat.data(), 1);

    const auto two = points({{0, 0}, {1, 1}});
    k.setModel(two.data(), 2, kKeyFramerHermite);
    EXPECT_EQ(k.getModel()->getType(), kKeyFramerHermite);
    EXPECT_FLOAT_EQ(fresh(k, 0.5f), 0.5f);  // -u^3 + 1.5u^2 + 0.5u at u = 0.5

    // Any kind other than linear and bezier builds a hermite model.
    k.setModel(two.data(), 2, kKeyFramerTCB);
    EXPECT_EQ(k.getModel()->getType(), kKeyFramerHermite);

    // Bezier keys take their tangent types from the points: a step holds until the next key.
    auto stepped = points({{0, 2}, {10, 6}, {20, 9}});
    stepped[0].outType = kBezierStep;
    k.setModel(stepped.data(), 3, kKeyFramerBezier);
    EXPECT_EQ(k.getModel()->getType(), kKeyFramerBezier);
    EXPECT_EQ(k.getEndValue(), 9.0f);
    EXPECT_FLOAT_EQ(fresh(k, 9.0f), 2.0f);

    // Fewer points rebuild the track with that many keys; the end value follows.
    const auto shorter = points({{0, 5}, {4, 7}});
    k.setModel(shorter.data(), 2, kKeyFramerLinear);
    EXPECT_EQ(k.getModel()->getTrack()->getNbKey(), 2);
    EXPECT_EQ(k.getEndValue(), 7.0f);
    EXPECT_FLOAT_EQ(fresh(k, 2), 6.0f);
}

TEST(LCXControllerFile, KeyFramerRoundTripsAndBadFilesAreReported)
{
    ScratchDir dir;
    const std::string path = dir.path() + "beats.lcx";
    {
        LCXControllerManager m;
        m.create(kLCXKeyFramer);
        auto* k = static_cast<LCXControllerKeyFramer*>(m.getController());
        makeBeatFramer(*k);
        k->m_accumulate = true;
        m.save(path.c_str());
    }
    LCXControllerManager back;
    back.load(path.c_str());
    ASSERT_NE(back.getController(), nullptr);
    ASSERT_EQ(back.getController()->getType(), kLCXKeyFramer);
    auto* k = static_cast<LCXControllerKeyFramer*>(back.getController());
    EXPECT_EQ(k->getBeats(), (std::vector<float>{0, 1000, 2000}));
    EXPECT_TRUE(k->m_accumulate);
    EXPECT_EQ(k->getEndValue(), 1.0f);
    EXPECT_FLOAT_EQ(k->getValue(1250), 1.5f);

    ReportCapture capture;
    Bytes wrongRoot;
    wrongRoot.close(wrongRoot.open(10));
    LCXControllerManager m;
    loadBytes(m, wrongRoot);
    EXPECT_TRUE(capture.has(kManagerCaption, "not a lcx file"));
    EXPECT_EQ(m.getController(), nullptr);

    // Type 5 is unknown; a later chunk 2 still loads (the last one wins).
    auto file = [](std::initializer_list<int> typeCodes) {
        Bytes b;
        const size_t root = b.open(1);
        for (int type : typeCodes) {
            const size_t c = b.open(2);
            b.i32(type);
            b.close(c);
        }
        b.close(root);
        return b;
    };
    loadBytes(m, file({5}));
    EXPECT_TRUE(capture.has(kManagerCaption, "unknow controller type: 5"));
    EXPECT_EQ(m.getController(), nullptr);
    loadBytes(m, file({5, kLCXNoise}));
    ASSERT_NE(m.getController(), nullptr);
    EXPECT_EQ(m.getController()->getType(), kLCXNoise);
    loadBytes(m, file({kLCXNoise, 0}));
    EXPECT_EQ(m.getController(), nullptr);

    capture.clear();
    m.save((dir.path() + "none.lcx").c_str());  // after an empty create there is nothing to save
    m.create(9);
    m.save((dir.path() + "none.lcx").c_str());
    EXPECT_TRUE(capture.has(kManagerCaption, "save: no controller"));
}

TEST(LCXControllerFile, KeyFramerChunksFromHostileFiles)
{
    // Chunk 10 with count 0 keeps the beats; a count larger than its chunk is refused.
    Bytes b;
    const size_t root = b.open(1);
    const size_t c2 = b.open(2);
    b.i32(kLCXKeyFramer);
    size_t beats = b.open(10);
    b.i32(2);
    b.f32(0);
    b.f32(100);
    b.close(beats);
    beats = b.open(10);
    b.i32(0);
    b.close(beats);
    beats = b.open(10);
    b.i32(0x7FFFFFFF);
    b.f32(5);
    b.close(beats);
    const size_t model = b.open(11);  // a model chunk without a track: no model to play
    b.close(model);
    b.close(c2);
    b.close(root);

    ReportCapture capture;
    LCXControllerManager m;
    loadBytes(m, b);
    ASSERT_NE(m.getController(), nullptr);
    auto* k = static_cast<LCXControllerKeyFramer*>(m.getController());
    EXPECT_EQ(k->getBeats(), (std::vector<float>{0, 100}));
    EXPECT_TRUE(capture.has("LCXControllerKeyFramer", "load: nbBeat larger than its chunk"));
    capture.clear();
    EXPECT_EQ(k->getValue(50), 0.0f);
    EXPECT_EQ(capture.count(), 0u);
}

TEST(LCXMouse, ChannelsButtonsAndTheDevice)
{
    FakeMouse mouse;
    LCXControllerMouse c;
    EXPECT_EQ(c.getValue(0), -1.0f);  // no device yet
    c.setMouseInput(mouse.input.get());

    mouse.state->next.motion[0] = 5;
    mouse.state->next.motion[1] = -3;
    mouse.state->next.motion[2] = 120;
    mouse.state->next.buttons[1] = 0x80;
    mouse.input->update();
    mouse.state->next.motion[0] = 2;
    mouse.input->update();
    EXPECT_EQ(mouse.input->getX(), 7);
    EXPECT_EQ(mouse.input->getY(), -3);

    const float expected[6] = {7, -3, 120, 0, 1, 0};
    for (int channel = 0; channel < 6; ++channel) {
        c.m_channel = channel;
        EXPECT_EQ(fresh(c, 0), expected[channel]) << channel;
    }
    c.m_channel = 4;
    mouse.state->next.buttons[1] = 0;
    mouse.input->update();
    EXPECT_EQ(c.getValue(0), 1.0f);  // same frame: cached
    EXPECT_EQ(fresh(c, 0), 0.0f);
    c.m_channel = 6;
    EXPECT_EQ(fresh(c, 0), -1.0f);
    c.m_channel = -1;
    EXPECT_EQ(fresh(c, 0), -1.0f);
}

TEST(LCXMouse, LostDeviceKeepsItsValuesAndIsAcquiredAgainBoundedly)
{
    FakeMouse mouse;
    mouse.state->next.motion[0] = 10;
    mouse.state->next.buttons[0] = 0x80;
    mouse.input->update();
    mouse.state->failReads = true;
    mouse.state->lostAnswers = 3;
    mouse.state->next.motion[0] = 50;
    mouse.input->update();
    EXPECT_EQ(mouse.input->getX(), 10);
    EXPECT_EQ(mouse.input->getButton(0), 1);
    EXPECT_EQ(mouse.state->acquireCount, 4);  // three "lost" answers, then acquired

    // A device that stays lost is not asked forever.
    mouse.state->lostAnswers = 1000000;
    mouse.input->update();
    EXPECT_EQ(mouse.state->acquireCount, 4 + MouseInput::kMaxAcquire);

    // Fewer axes: without a second axis nothing moves; buttons beyond the device read 0.
    auto small = std::make_shared<HeadlessMouse>();
    small->axes = 1;
    small->buttons = 1;
    small->next.motion[0] = 9;
    small->next.buttons[1] = 0x80;
    Platform p;
    p.createMouse = [small] { return createHeadlessMouse(small); };
    MouseInput input(p.createMouse());
    input.update();
    EXPECT_EQ(input.getX(), 0);
    EXPECT_EQ(input.getButton(1), 0);

    // Positions saturate instead of overflowing.
    mouse.state->failReads = false;
    for (int i = 0; i < 3; ++i) {
        mouse.state->next.motion[0] = 0x7FFFFFFF;
        mouse.input->update();
    }
    EXPECT_EQ(mouse.input->getX(), 0x7FFFFFFF);
}

TEST(LCXNoise, DefaultsSignAmplitudeAndCache)
{
    LCXControllerNoise n;
    EXPECT_EQ(n.m_speed, 0.55f);
    EXPECT_EQ(n.m_roughness, 0.125f);
    EXPECT_EQ(n.m_amplitude, 5.0f);

    // Plain noise against its definition at the controller's argument.
    FractalNoise reference(0.875, 2.0, 6.0);
    const float b = float(reference.perlin().permutation(7 & 511));
    n.m_seed = 7;
    EXPECT_FLOAT_EQ(fresh(n, 1234), 5.0f * reference.perlin().noise1(b + 1234 * 0.55f * 0.005f));
    n.m_fractal = true;
    n.m_roughness = 0.25f;
    EXPECT_FLOAT_EQ(fresh(n, 1234), 5.0f * float(reference.fBm(b + 1234 * 0.55f * 0.005f, 0.75, 2.0, 6.0)));
    EXPECT_EQ(n.getValue(9999), n.getValue(1234));  // cached within the frame

    bool sawNegative = false;
    for (int t = 0; t < 20000; t += 37) sawNegative |= fresh(n, float(t)) < 0.0f;
    EXPECT_TRUE(sawNegative);
    n.m_absolute = true;
    for (int t = 0; t < 20000; t += 37) EXPECT_GE(fresh(n, float(t)), 0.0f) << t;
    n.m_amplitude = 0.0f;
    for (int t = 0; t < 2000; t += 37) EXPECT_EQ(fresh(n, float(t)), 0.0f);
}

TEST(LCXControllerFile, NoiseAndMouseSettingsRoundTrip)
{
    ScratchDir dir;
    {
        LCXControllerManager m;
        m.create(kLCXNoise);
        auto* n = static_cast<LCXControllerNoise*>(m.getController());
        n->m_seed = -3;
        n->m_fractal = true;
        n->m_absolute = true;
        n->m_speed = 2.5f;
        n->m_roughness = 0.5f;
        n->m_amplitude = -1.25f;
        m.save((dir.path() + "n.lcx").c_str());
        m.create(kLCXMouse);
        auto* mouse = static_cast<LCXControllerMouse*>(m.getController());
        mouse->m_channel = 4;
        mouse->m_recordFileName = "rec.lcx";
        mouse->m_step = 20;
        mouse->m_start = 100;
        mouse->m_end = 900;
        mouse->m_scale = 0.5f;
        m.save((dir.path() + "m.lcx").c_str());  // record stays off: nothing written later
    }
    LCXControllerManager m;
    m.load((dir.path() + "n.lcx").c_str());
    auto* n = dynamic_cast<LCXControllerNoise*>(m.getController());
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->m_seed, -3);
    EXPECT_TRUE(n->m_fractal);
    EXPECT_TRUE(n->m_absolute);
    EXPECT_EQ(n->m_speed, 2.5f);
    EXPECT_EQ(n->m_roughness, 0.5f);
    EXPECT_EQ(n->m_amplitude, -1.25f);

    m.load((dir.path() + "m.lcx").c_str());
    auto* mouse = dynamic_cast<LCXControllerMouse*>(m.getController());
    ASSERT_NE(mouse, nullptr);
    EXPECT_EQ(mouse->m_channel, 4);
    EXPECT_FALSE(mouse->m_record);
    EXPECT_TRUE(mouse->m_recordFileName == "rec.lcx");
    EXPECT_EQ(mouse->m_step, 20);
    EXPECT_EQ(mouse->m_start, 100);
    EXPECT_EQ(mouse->m_end, 900);
    EXPECT_EQ(mouse->m_scale, 0.5f);
}

TEST(LCXRecording, SlotsFillingAndTheKeyFramerFile)
{
    ScratchDir dir;
    const std::string file = dir.path() + "recorded.lcx";
    FakeMouse mouse;
    ReportCapture capture;
    {
        LCXControllerMouse c;
        c.setMouseInput(mouse.input.get());
        c.m_record = true;
        c.m_recordFileName = file.c_str();
        c.setTreeRoot(dir.path());
        c.m_scale = 2.0f;
        c.initRecording();  // start 0, end 10000, step 10 by default
        EXPECT_EQ(c.getSampleCount(), 1000);
        c.m_end = 1000;
        c.initRecording();
        ASSERT_EQ(c.getSampleCount(), 100);
        EXPECT_EQ(c.getSamples()[0], LCXControllerRecordable::kSampleMarker);

        // Samples: x at 3 at time 35 (slot 3); at 995 (last slot) 4; beyond 1000 ignored.
        mouse.state->next.motion[0] = 3;
        mouse.input->update();
        EXPECT_EQ(fresh(c, 35.7f), 3.0f);
        EXPECT_EQ(c.getSamples()[3], 6.0f);  // times the scale
        mouse.state->next.motion[0] = 1;
        mouse.input->update();
        fresh(c, 995);
        fresh(c, 1001);
        fresh(c, -1);
        EXPECT_EQ(c.getSamples()[99], 8.0f);
        EXPECT_EQ(capture.count(), 0u);
    }
    EXPECT_TRUE(capture.has("StringC:", "recording: " + file));
    EXPECT_EQ(capture.reports().back().kind, ReportKind::Message);

    LCXControllerManager back;
    back.load(file.c_str());
    auto* k = dynamic_cast<LCXControllerKeyFramer*>(back.getController());
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->getBeats(), std::vector<float>{0.0f});
    ASSERT_NE(k->getModel(), nullptr);
    EXPECT_EQ(k->getModel()->getType(), kKeyFramerLinear);
    const TrackFloat* track = k->getModel()->getTrack();
    ASSERT_EQ(track->getNbKey(), 100);
    for (int i = 0; i < 100; ++i) {
        float time = 0, value = 0;
        track->getKey(i, time, value);
        EXPECT_EQ(time, float(i * 10));
        // Slots 0-2 take slot 3's value (nothing before them), 4-98 the nearest earlier one.
        EXPECT_EQ(value, i == 99 ? 8.0f : 6.0f) << i;
    }
}

TEST(LCXRecording, MusicLevelRecordsToo)
{
    ScratchDir dir;
    const std::string file = dir.path() + "level.lcx";
    ReportCapture capture;
    {
        LCXControllerSound c;
        c.m_record = true;
        c.m_recordFileName = file.c_str();
        c.setTreeRoot(dir.path());
        c.m_step = 100;
        c.m_end = 300;
        c.initRecording();
        EXPECT_EQ(c.getValue(0), -1.0f);  // no sound manager: nothing stored
        EXPECT_EQ(c.getSamples()[0], LCXControllerRecordable::kSampleMarker);
        SoundManager silent;  // no music: level 0
        c.setSoundManager(&silent);
        EXPECT_EQ(c.getValue(150), 0.0f);
        EXPECT_EQ(c.getSamples()[1], 0.0f);
    }
    LCXControllerManager back;
    back.load(file.c_str());
    auto* k = dynamic_cast<LCXControllerKeyFramer*>(back.getController());
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->getModel()->getTrack()->getNbKey(), 3);
    EXPECT_EQ(k->getValue(250), 0.0f);  // filled from slot 1, not the marker
}

TEST(LCXRecording, SettingsThatGiveNoBufferWriteNothing)
{
    ScratchDir dir;
    ReportCapture capture;
    for (const auto& [step, start, end] : std::vector<std::tuple<int, int, int>>{
             {0, 0, 1000}, {-5, 0, 1000}, {10, 500, 500}, {10, 900, 100}, {1, -2147483647 - 1, 2147483647}}) {
        LCXControllerMouse c;
        c.m_record = true;
        c.m_recordFileName = (dir.path() + "never.lcx").c_str();
        c.m_step = step;
        c.m_start = start;
        c.m_end = end;
        c.initRecording();
        EXPECT_EQ(c.getSampleCount(), 0) << step << " " << start << " " << end;
        c.storeSample(600, 1.0f);
    }
    EXPECT_TRUE(capture.has(kManagerCaption, "record: too many samples: 4294967295"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "never.lcx"));
    EXPECT_EQ(capture.count(), 1u);
}

TEST(LCXRecording, OnlyTheLastSlotRecordedFillsEverySlotInOnePass)
{
    // Filling slot by slot with searches both ways would take quadratic time here.
    ScratchDir dir;
    const std::string file = dir.path() + "late.lcx";
    ReportCapture capture;
    {
        LCXControllerSound c;
        c.m_record = true;
        c.m_recordFileName = file.c_str();
        c.setTreeRoot(dir.path());
        c.m_step = 1;
        c.m_end = 300000;
        c.initRecording();
        ASSERT_EQ(c.getSampleCount(), 300000);
        c.storeSample(299999.5f, 0.75f);
    }
    LCXControllerManager back;
    back.load(file.c_str());
    auto* k = dynamic_cast<LCXControllerKeyFramer*>(back.getController());
    ASSERT_NE(k, nullptr);
    const TrackFloat* track = k->getModel()->getTrack();
    ASSERT_EQ(track->getNbKey(), 300000);
    for (int i : {0, 150000, 299999}) {
        float time = 0, value = 0;
        track->getKey(i, time, value);
        EXPECT_EQ(value, 0.75f) << i;
    }
}
