// .lcx controllers: value sources that yield one float at a given time. The base keeps the
// per-frame cache (dirty flag and value); the mouse and music-level controllers can record what
// they produce and write it out as a key framer when destroyed; the noise controller plays
// fractal or plain gradient noise.
#pragma once

#include <memory>
#include <string>

#include "foundation/ChunkFile.h"
#include "foundation/PerlinNoise.h"
#include "foundation/StringC.h"

class MouseInput;
class SoundManager;

// Type codes of the .lcx controllers.
enum : int {
    kLCXMouse = 1,
    kLCXSound = 2,
    kLCXKeyFramer = 3,
    kLCXNoise = 4,
};

class LCXController {
public:
    virtual ~LCXController() = default;
    // Reads the controller's chunks from the children of `reader` (the file's chunk 2, its type
    // code already read).
    virtual void load(ChunkFileReader& reader) = 0;
    // Writes the controller's chunks at the writer's position.
    virtual void save(ChunkFileWriterManager& manager) const = 0;
    // The value at time t. Computed at most once per frame: the first query after setDirty()
    // computes it, later queries return it whatever time they pass (the music level excepted).
    virtual float getValue(float t) = 0;

    int getType() const { return m_type; }
    void setDirty() { m_dirty = true; }
    bool isDirty() const { return m_dirty; }
    const StringC& getName() const { return m_name; }
    void setName(const StringC& name) { m_name = name; }

protected:
    explicit LCXController(int type) : m_type(type) {}

    int m_type;
    bool m_dirty = true;
    StringC m_name{"NULL"};
    float m_value = 0.0f;
};

// Base of the mouse and music-level controllers: the recording settings and the samples.
// Recording keeps one slot per step from start to end; each query while recording stores its
// value (times scale) in the slot of its time, and destruction writes the slots out as a linear
// key framer .lcx file.
//
// The record file name comes from the demo's data, so the file is written only inside the demo's
// folder tree (relative names are taken from there), only under a .lcx name, and replaces an
// existing file only when that is a controller file. It is written beside its name first and
// renamed when complete.
class LCXControllerRecordable : public LCXController {
public:
    // Whether recordings are written at all, for the whole process: on by default (the player);
    // the headless renderer turns it off unless asked to record.
    static void setRecordingsAllowed(bool allowed);
    static bool recordingsAllowed();

    // Samples are dropped (with a report) beyond this count, so a file cannot ask for more.
    static constexpr int kMaxSamples = 1 << 22;
    // The value of a slot nothing was stored in.
    static constexpr float kSampleMarker = -5555555.0f;

    ~LCXControllerRecordable() override;

    void load(ChunkFileReader& reader) override;
    void save(ChunkFileWriterManager& manager) const override;

    // With record on: allocates the slots ((end - start) / step of them), all holding the marker.
    void initRecording();
    // Stores v * scale in the slot of time t (nothing outside start..end).
    void storeSample(float t, float v);
    // Fills unrecorded slots from their neighbours and saves them as a key framer to the record
    // file, then tells the user; a name the rules above refuse is reported and nothing is
    // written. Called by the destructor.
    void writeRecording();
    // The folder tree the recording stays in: the running script's directory. Without one
    // nothing is written.
    void setTreeRoot(const std::string& root) { m_treeRoot = root; }

    bool m_record = false;
    StringC m_recordFileName{"NULL"};
    int m_step = 10;
    int m_start = 0;
    int m_end = 10000;
    float m_scale = 1.0f;

    int getSampleCount() const { return m_nbSample; }
    const float* getSamples() const { return m_pSample.get(); }

protected:
    using LCXController::LCXController;
    // Chunk 10's own children (the mouse channel); nothing for the music level.
    virtual void loadChannel(ChunkFileReader& chunk10) { (void)chunk10; }
    virtual void saveChannel(ChunkFileWriterManager& manager) const { (void)manager; }

    int m_nbSample = 0;
    std::unique_ptr<float[]> m_pSample;

private:
    // The file the recording goes to, or empty (reported) when the name is refused.
    std::string recordingTarget() const;

    std::string m_treeRoot;
};

// Type 1: one channel of the mouse (x, y, z positions, buttons 0 to 2).
class LCXControllerMouse : public LCXControllerRecordable {
public:
    LCXControllerMouse() : LCXControllerRecordable(kLCXMouse) {}
    // Without a device -1; a channel outside 0..5 gives -1.
    float getValue(float t) override;
    void setMouseInput(MouseInput* mouse) { m_pMouseInput = mouse; }

    int m_channel = 0;

protected:
    void loadChannel(ChunkFileReader& chunk10) override;
    void saveChannel(ChunkFileWriterManager& manager) const override;

private:
    MouseInput* m_pMouseInput = nullptr;
    float m_channelValue[6] = {0, 0, 0, 0, 0, 0};
};

// Type 2: the music's level (VU), read at every query. It records its level like the mouse.
class LCXControllerSound : public LCXControllerRecordable {
public:
    LCXControllerSound() : LCXControllerRecordable(kLCXSound) {}
    // Without a sound manager -1.
    float getValue(float t) override;
    void setSoundManager(SoundManager* sound) { m_pSoundManager = sound; }

private:
    SoundManager* m_pSoundManager = nullptr;
    float m_level = 1.0f;
};

// Type 4: amplitude x noise of (permutation[seed & 511] + t x speed x 0.005), fractal (fBm with
// H = 1 - roughness) or plain, optionally made non-negative.
class LCXControllerNoise : public LCXController {
public:
    LCXControllerNoise();
    void load(ChunkFileReader& reader) override;
    void save(ChunkFileWriterManager& manager) const override;
    float getValue(float t) override;

    int m_seed = 0;
    bool m_fractal = false;
    bool m_absolute = false;
    float m_speed = 0.55f;
    float m_roughness = 0.125f;
    float m_amplitude = 5.0f;

private:
    FractalNoise m_noise;
};
