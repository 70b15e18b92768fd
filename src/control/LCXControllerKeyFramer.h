// The key framer (.lcx type 3): one float curve, its interpolation model, replayed from each
// beat position; with accumulate on, every passed beat adds the curve's end value, so a rising
// curve keeps climbing from beat to beat.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "control/LCXController.h"
#include "control/TrackManager.h"

// One point of the lists key framers are built from.
struct LCXKeyFramerPoint {
    float time = 0.0f;
    float value = 0.0f;
    uint8_t flag = 0;      // carried along, no effect
    int16_t inType = 0;    // bezier tangent types (TrackBezierType)
    int16_t outType = 0;
};

// Interpolation model kinds (track kinds): 3 (TCB) is played when loaded but not built.
enum : int {
    kKeyFramerLinear = 1,
    kKeyFramerHermite = 2,
    kKeyFramerTCB = 3,
    kKeyFramerBezier = 4,
};

class LCXControllerKeyFramer : public LCXController {
public:
    LCXControllerKeyFramer() : LCXController(kLCXKeyFramer) {}

    // Chunk 10: beat count and beats (a count of 0 or less keeps the beats); chunk 11: the model
    // (replaced, end value refreshed); chunk 12: accumulate.
    void load(ChunkFileReader& reader) override;
    void save(ChunkFileWriterManager& manager) const override;
    // model(t - beat[i]) with i the last beat at or before t (0 before the second beat),
    // plus i x end value with accumulate on. 0 without beats or model.
    float getValue(float t) override;

    // Beats at the points' times (a null list reports; an empty one changes nothing).
    void createBeatPosition(const LCXKeyFramerPoint* pPoint, int nbPoint);
    // Fills the model of `kind` from the points (1 linear, 4 bezier, anything else hermite),
    // replacing a model of another kind, and refreshes the end value.
    void setModel(const LCXKeyFramerPoint* pPoint, int nbPoint, int kind);
    void createInterpolationModelLinear(const LCXKeyFramerPoint* pPoint, int nbPoint);
    void createInterpolationModelHermite(const LCXKeyFramerPoint* pPoint, int nbPoint);
    void createInterpolationModelBezier(const LCXKeyFramerPoint* pPoint, int nbPoint);

    int getBeatCount() const { return static_cast<int>(m_beat.size()); }
    const std::vector<float>& getBeats() const { return m_beat; }
    const TrackManagerFloat* getModel() const { return m_pModel.get(); }
    float getEndValue() const { return m_endValue; }

    bool m_accumulate = false;

private:
    // Makes sure the model holds a track of `kind` with nbPoint keys; false when it cannot.
    TrackFloat* prepareTrack(int kind, int nbPoint);
    void refreshEndValue();

    std::vector<float> m_beat;
    std::unique_ptr<TrackManagerFloat> m_pModel;
    float m_endValue = 0.0f;
};
