#include "control/LCXController.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include "control/LCXControllerKeyFramer.h"
#include "control/LCXControllerManager.h"
#include "control/MouseInput.h"
#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "music/SoundManager.h"

namespace {

const char* const kCaption = "LCXControllerManager";

// Chunks of the recordable controllers (inside chunk 2).
constexpr uint16_t kRecordChunk = 1000;
constexpr uint16_t kRecordOn = 1101;
constexpr uint16_t kRecordFileName = 1102;
constexpr uint16_t kRecordStep = 1103;
constexpr uint16_t kRecordStart = 1104;
constexpr uint16_t kRecordEnd = 1105;
constexpr uint16_t kRecordScale = 1106;
constexpr uint16_t kChannelChunk = 10;
constexpr uint16_t kMouseChannel = 11;

// Chunks of the noise controller (children of its chunk 10).
constexpr uint16_t kNoiseChunk = 10;
constexpr uint16_t kNoiseSeed = 100;
constexpr uint16_t kNoiseFractal = 101;
constexpr uint16_t kNoiseAbsolute = 102;
constexpr uint16_t kNoiseSpeed = 103;
constexpr uint16_t kNoiseRoughness = 104;
constexpr uint16_t kNoiseAmplitude = 105;

// The fractal noise of every noise controller: H 0.875, lacunarity 2, six octaves.
constexpr double kNoiseH = 0.875;
constexpr double kNoiseLacunarity = 2.0;
constexpr double kNoiseOctaves = 6.0;

// Whether destruction writes recordings (LCXControllerRecordable::setRecordingsAllowed).
bool g_recordingsAllowed = true;

// A one-field chunk.
template <class F>
void writeField(ChunkFileWriterManager& manager, uint16_t id, F write)
{
    ChunkFileWriter w(&manager);
    w.start(id);
    write(w);
    w.close();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Recording

LCXControllerRecordable::~LCXControllerRecordable()
{
    if (m_record && m_nbSample > 0) writeRecording();
}

void LCXControllerRecordable::load(ChunkFileReader& reader)
{
    ChunkFileReader chunk;
    while (reader.nextChild(chunk)) {
        ChunkFileReader field;
        if (chunk.getIdentifier() == kRecordChunk) {
            while (chunk.nextChild(field)) {
                switch (field.getIdentifier()) {
                case kRecordOn: m_record = field.readByte() != 0; break;
                case kRecordFileName: field.readString(m_recordFileName); break;
                case kRecordStep: m_step = field.readInt(); break;
                case kRecordStart: m_start = field.readInt(); break;
                case kRecordEnd: m_end = field.readInt(); break;
                case kRecordScale: m_scale = field.readFloat(); break;
                default: break;
                }
            }
        } else if (chunk.getIdentifier() == kChannelChunk) {
            loadChannel(chunk);
        }
    }
}

void LCXControllerRecordable::save(ChunkFileWriterManager& manager) const
{
    ChunkFileWriter record(&manager);
    record.start(kRecordChunk);
    writeField(manager, kRecordOn, [&](ChunkFileWriter& w) { w.writeByte(m_record ? 1 : 0); });
    writeField(manager, kRecordFileName, [&](ChunkFileWriter& w) { w.writeString(m_recordFileName); });
    writeField(manager, kRecordStep, [&](ChunkFileWriter& w) { w.writeInt(m_step); });
    writeField(manager, kRecordStart, [&](ChunkFileWriter& w) { w.writeInt(m_start); });
    writeField(manager, kRecordEnd, [&](ChunkFileWriter& w) { w.writeInt(m_end); });
    writeField(manager, kRecordScale, [&](ChunkFileWriter& w) { w.writeFloat(m_scale); });
    record.close();
    ChunkFileWriter channel(&manager);
    channel.start(kChannelChunk);
    saveChannel(manager);
    channel.close();
}

void LCXControllerRecordable::initRecording()
{
    m_nbSample = 0;
    m_pSample.reset();
    if (!m_record) return;
    // 64-bit arithmetic: start and end come from the file and may be anything. A step of 0 or
    // less has no slots.
    if (m_step <= 0) return;
    const int64_t count = (int64_t(m_end) - int64_t(m_start)) / m_step;
    if (count <= 0) return;
    if (count > kMaxSamples) {
        const std::string text = "record: too many samples: " + std::to_string(count);
        return reportWarning(kCaption, text.c_str());
    }
    m_nbSample = static_cast<int>(count);
    m_pSample = std::make_unique<float[]>(size_t(m_nbSample));
    for (int i = 0; i < m_nbSample; ++i) m_pSample[i] = kSampleMarker;
}

void LCXControllerRecordable::storeSample(float t, float v)
{
    if (m_nbSample <= 0) return;
    // The integer part of t, compared in double so that any float (NaN included) is safe.
    const double i = std::trunc(double(t));
    if (!(i >= double(m_start) && i <= double(m_end))) return;
    int64_t slot = (int64_t(i) - m_start) / m_step;
    if (slot < 0) slot = 0;
    if (slot > m_nbSample - 1) slot = m_nbSample - 1;
    m_pSample[size_t(slot)] = v * m_scale;
}

void LCXControllerRecordable::setRecordingsAllowed(bool allowed) { g_recordingsAllowed = allowed; }

bool LCXControllerRecordable::recordingsAllowed() { return g_recordingsAllowed; }

std::string LCXControllerRecordable::recordingTarget() const
{
    const char* name = m_recordFileName.getName() ? m_recordFileName.getName() : "";
    auto refuse = [name](const char* why) {
        reportWarning(kCaption, (std::string("recording refused, ") + why + ": " + name).c_str());
        return std::string();
    };
    // Both the name as the demo gives it and the file it lands on (links followed) must end in
    // .lcx, in any letter case, as the controller directory counts them.
    if (!FileTools::hasExtension(name, "lcx")) return refuse("not a .lcx name");
    const std::string target = FileTools::resolveInsideTree(m_treeRoot.c_str(), name);
    if (target.empty()) return refuse("outside the demo's folder");
    if (!FileTools::hasExtension(target.c_str(), "lcx")) return refuse("not a .lcx name");
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::symlink_status(target, ec);
    if (std::filesystem::exists(status) &&
        (!std::filesystem::is_regular_file(status) || !LCXControllerManager::isControllerFile(target.c_str())))
        return refuse("not a controller file (left as it is)");
    return target;
}

void LCXControllerRecordable::writeRecording()
{
    if (m_nbSample <= 0 || !g_recordingsAllowed) return;
    const std::string target = recordingTarget();
    if (target.empty()) return;
    const std::string name = m_recordFileName.getName();  // not null: the target was found
    const auto notWritten = [&name] { reportWarning(kCaption, ("recording not written: " + name).c_str()); };

    // Missing folders on the way are made; they lie inside the tree, which is checked again
    // once they exist.
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::path(target).parent_path();
    if (!fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        if (!fs::is_directory(folder, ec) || FileTools::resolveInsideTree(m_treeRoot.c_str(), name.c_str()) != target)
            return notWritten();
    }

    float* s = m_pSample.get();
    // An unrecorded slot takes the nearest recorded slot before it, else the first one after it
    // (slots before the first recorded one). One pass each way, so any slot count stays linear.
    int first = 0;
    while (first < m_nbSample && s[first] == kSampleMarker) ++first;
    if (first < m_nbSample) {
        for (int i = 0; i < first; ++i) s[i] = s[first];
        for (int i = first + 1; i < m_nbSample; ++i)
            if (s[i] == kSampleMarker) s[i] = s[i - 1];
    }

    // One beat at the start; key i at i x step carries slot i.
    std::vector<LCXKeyFramerPoint> points(static_cast<size_t>(m_nbSample));
    for (int i = 0; i < m_nbSample; ++i) {
        points[size_t(i)].time = float(int64_t(i) * m_step);
        points[size_t(i)].value = s[i];
    }
    LCXKeyFramerPoint beat;
    beat.time = float(m_start);

    LCXControllerManager manager;
    manager.create(kLCXKeyFramer);
    auto* keyFramer = static_cast<LCXControllerKeyFramer*>(manager.getController());
    keyFramer->createBeatPosition(&beat, 1);
    keyFramer->setModel(points.data(), m_nbSample, kKeyFramerLinear);

    // Written under a temporary name, which takes the final one only when the writer said
    // nothing (every failure of the writer is a report). The writer opens that name and its own
    // "_tmp" beside it, following links: whatever the tree already holds there is removed first
    // (a link itself, not what it points to), so a planted link cannot lead the write out.
    const std::string temporary = FileTools::temporaryPathBeside(target);
    for (const std::string& path : {temporary, temporary + "_tmp"})
        if (!FileTools::clearForWriting(path)) return notWritten();
    const unsigned long reportsBefore = reportCount();
    manager.save(temporary.c_str());
    std::error_code renamed;
    if (reportCount() == reportsBefore) fs::rename(temporary, target, renamed);
    if (reportCount() != reportsBefore || renamed) {
        fs::remove(temporary, ec);
        return notWritten();
    }
    reportMessage("StringC:", ("recording: " + name).c_str());
}

// ---------------------------------------------------------------------------------------------
// Mouse

void LCXControllerMouse::loadChannel(ChunkFileReader& chunk10)
{
    ChunkFileReader field;
    while (chunk10.nextChild(field))
        if (field.getIdentifier() == kMouseChannel) m_channel = field.readShort();
}

void LCXControllerMouse::saveChannel(ChunkFileWriterManager& manager) const
{
    writeField(manager, kMouseChannel, [&](ChunkFileWriter& w) { w.writeShort(static_cast<int16_t>(m_channel)); });
}

float LCXControllerMouse::getValue(float t)
{
    if (!m_pMouseInput) return -1.0f;
    if (m_dirty) {
        m_dirty = false;
        m_channelValue[0] = float(m_pMouseInput->getX());
        m_channelValue[1] = float(m_pMouseInput->getY());
        m_channelValue[2] = float(m_pMouseInput->getZ());
        for (int i = 0; i < 3; ++i) m_channelValue[3 + i] = float(m_pMouseInput->getButton(i));
    }
    const float result = m_channel >= 0 && m_channel < 6 ? m_channelValue[m_channel] : -1.0f;
    if (m_record) storeSample(t, result);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Music level

float LCXControllerSound::getValue(float t)
{
    if (!m_pSoundManager) return -1.0f;
    // Read at every query: the dirty flag is left set.
    if (m_dirty) m_level = m_pSoundManager->getVU();
    if (m_record) storeSample(t, m_level);
    return m_level;
}

// ---------------------------------------------------------------------------------------------
// Noise

LCXControllerNoise::LCXControllerNoise()
    : LCXController(kLCXNoise), m_noise(kNoiseH, kNoiseLacunarity, kNoiseOctaves)
{
}

void LCXControllerNoise::load(ChunkFileReader& reader)
{
    ChunkFileReader chunk;
    while (reader.nextChild(chunk)) {
        if (chunk.getIdentifier() != kNoiseChunk) continue;
        ChunkFileReader field;
        while (chunk.nextChild(field)) {
            switch (field.getIdentifier()) {
            case kNoiseSeed: m_seed = field.readInt(); break;
            case kNoiseFractal: m_fractal = field.readByte() != 0; break;
            case kNoiseAbsolute: m_absolute = field.readByte() != 0; break;
            case kNoiseSpeed: m_speed = field.readFloat(); break;
            case kNoiseRoughness: m_roughness = field.readFloat(); break;
            case kNoiseAmplitude: m_amplitude = field.readFloat(); break;
            default: break;
            }
        }
    }
}

void LCXControllerNoise::save(ChunkFileWriterManager& manager) const
{
    ChunkFileWriter chunk(&manager);
    chunk.start(kNoiseChunk);
    writeField(manager, kNoiseSeed, [&](ChunkFileWriter& w) { w.writeInt(m_seed); });
    writeField(manager, kNoiseFractal, [&](ChunkFileWriter& w) { w.writeByte(m_fractal ? 1 : 0); });
    writeField(manager, kNoiseAbsolute, [&](ChunkFileWriter& w) { w.writeByte(m_absolute ? 1 : 0); });
    writeField(manager, kNoiseSpeed, [&](ChunkFileWriter& w) { w.writeFloat(m_speed); });
    writeField(manager, kNoiseRoughness, [&](ChunkFileWriter& w) { w.writeFloat(m_roughness); });
    writeField(manager, kNoiseAmplitude, [&](ChunkFileWriter& w) { w.writeFloat(m_amplitude); });
    chunk.close();
}

float LCXControllerNoise::getValue(float t)
{
    if (!m_dirty) return m_value;
    m_dirty = false;
    const float b = float(m_noise.perlin().permutation(m_seed & (PerlinNoise::kTableSize - 1)));
    const float x = b + t * m_speed * 0.005f;
    float n = m_fractal ? float(m_noise.fBm(x, 1.0 - double(m_roughness), kNoiseLacunarity, kNoiseOctaves))
                        : m_noise.perlin().noise1(x);
    if (m_absolute && n < 0.0f) n = -n;
    m_value = m_amplitude * n;
    return m_value;
}
