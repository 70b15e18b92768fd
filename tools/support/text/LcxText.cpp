// tessaline-lcx: .lcx controller files from text and back.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "control/LCXControllerKeyFramer.h"
#include "control/LCXControllerManager.h"
#include "foundation/Report.h"
#include "LcxTool.h"

namespace lcxtool {
namespace {

const std::vector<const char*> kLcxTypes = {"", "mouse", "sound", "keyframer", "noise"};
const std::vector<const char*> kModels = {"", "linear", "hermite", "tcb", "bezier"};
const std::vector<const char*> kTangents = {"smooth", "linear", "step", "fast", "slow", "custom"};
const std::vector<const char*> kChannels = {"x", "y", "wheel", "left", "right", "middle"};

} // namespace

int writeLcx(const std::string& textPath, const std::string& outPath, std::vector<std::string>& messages)
{
    std::vector<std::pair<int, std::string>> lines;
    if (!readLines(textPath, lines, messages)) return 1;
    Input in(textPath, messages);

    int type = kLCXKeyFramer;
    size_t first = 0;
    if (!lines.empty() && lower(words(lines[0].second)[0]) == "type") {
        const auto w = words(lines[0].second);
        if (w.size() != 2 || !in.choice(lines[0].first, w[1], kLcxTypes, type) || type == 0) {
            if (!in.failed()) in.fail(lines[0].first, "type takes one of keyframer, mouse, sound, noise");
            return 1;
        }
        first = 1;
    }
    LCXControllerManager manager;
    manager.create(type);
    LCXController* controller = manager.getController();

    int model = kKeyFramerLinear;
    bool accumulate = false;
    int recordLine = 0;  // the last line of the recording settings
    std::vector<float> beats;
    std::vector<LCXKeyFramerPoint> keys;

    for (size_t i = first; i < lines.size(); ++i) {
        const int n = lines[i].first;
        const std::vector<std::string> w = words(lines[i].second);
        const std::string key = lower(w[0]);
        const size_t args = w.size() - 1;
        auto arity = [&](size_t lo, size_t hi) {
            return (args >= lo && args <= hi) || in.fail(n, key + ": wrong number of words");
        };
        auto only = [&](int wanted) {
            return type == wanted || in.fail(n, key + " does not apply to a " + kLcxTypes[size_t(type)] + " controller");
        };
        auto recordable = [&]() {
            return type == kLCXMouse || type == kLCXSound || in.fail(n, key + " applies to mouse and sound controllers");
        };

        if (key == "type") {
            in.fail(n, "type must be the first directive");
        } else if (key == "model") {
            if (only(kLCXKeyFramer) && arity(1, 1) && in.choice(n, w[1], kModels, model) &&
                (model == 0 || model == kKeyFramerTCB))
                in.fail(n, "model takes linear, hermite or bezier");
        } else if (key == "accumulate") {
            if (only(kLCXKeyFramer) && arity(1, 1)) in.onOff(n, w[1], accumulate);
        } else if (key == "beats") {
            if (!only(kLCXKeyFramer)) continue;
            if (args == 0) in.fail(n, "beats: no time");
            for (size_t k = 1; k < w.size(); ++k) {
                float t = 0;
                if (in.number(n, w[k], t)) beats.push_back(t);
            }
        } else if (key == "beats-every") {
            float step = 0, from = 0, to = 0;
            if (!only(kLCXKeyFramer) || !arity(3, 3) || !in.number(n, w[1], step) || !in.number(n, w[2], from) ||
                !in.number(n, w[3], to))
                continue;
            if (step <= 0.0f || to < from || (to - from) / step > 1e6f) {
                in.fail(n, "beats-every: needs STEP > 0, FROM <= TO and at most a million beats");
                continue;
            }
            for (double t = from; t <= double(to) + 1e-3; t += step) beats.push_back(float(t));
        } else if (key == "key") {
            LCXKeyFramerPoint p;
            int inType = 0, outType = 0;
            if (!only(kLCXKeyFramer) || !arity(2, 4) || !in.number(n, w[1], p.time) || !in.number(n, w[2], p.value))
                continue;
            if (args == 3) {
                in.fail(n, "key: give both tangent types or none");
                continue;
            }
            if (args == 4 && (!in.choice(n, w[3], kTangents, inType) || !in.choice(n, w[4], kTangents, outType)))
                continue;
            p.inType = int16_t(inType);
            p.outType = int16_t(outType);
            keys.push_back(p);
        } else if (key == "seed" || key == "fractal" || key == "absolute" || key == "speed" || key == "roughness" ||
                   key == "amplitude") {
            if (!only(kLCXNoise) || !arity(1, 1)) continue;
            auto* noise = static_cast<LCXControllerNoise*>(controller);
            if (key == "seed") in.integer(n, w[1], noise->m_seed);
            else if (key == "fractal") in.onOff(n, w[1], noise->m_fractal);
            else if (key == "absolute") in.onOff(n, w[1], noise->m_absolute);
            else if (key == "speed") in.number(n, w[1], noise->m_speed);
            else if (key == "roughness") in.number(n, w[1], noise->m_roughness);
            else in.number(n, w[1], noise->m_amplitude);
        } else if (key == "channel") {
            if (only(kLCXMouse) && arity(1, 1))
                in.choice(n, w[1], kChannels, static_cast<LCXControllerMouse*>(controller)->m_channel);
        } else if (key == "record" || key == "step" || key == "start" || key == "end" || key == "scale") {
            if (!recordable() || !arity(1, 1)) continue;
            auto* rec = static_cast<LCXControllerRecordable*>(controller);
            recordLine = n;
            if (key == "record") {
                if (w[1].size() > size_t(kChunkMaxString)) {
                    in.fail(n, "record: file name longer than 255 characters");
                    continue;
                }
                rec->m_record = true;
                rec->m_recordFileName = w[1].c_str();
            } else if (key == "step") {
                if (in.integer(n, w[1], rec->m_step) && rec->m_step <= 0) in.fail(n, "step must be above 0");
            } else if (key == "start") {
                in.integer(n, w[1], rec->m_start);
            } else if (key == "end") {
                in.integer(n, w[1], rec->m_end);
            } else {
                in.number(n, w[1], rec->m_scale);
            }
        } else {
            in.fail(n, "unknown directive: " + w[0]);
        }
    }
    // The player keeps (end - start) / step samples of a recording, and refuses more than
    // kMaxSamples; a span without a sample would record nothing.
    if (!in.failed() && (type == kLCXMouse || type == kLCXSound)) {
        const auto* rec = static_cast<const LCXControllerRecordable*>(controller);
        const int64_t samples = (int64_t(rec->m_end) - int64_t(rec->m_start)) / rec->m_step;
        if (rec->m_record && samples > LCXControllerRecordable::kMaxSamples)
            in.fail(recordLine, "record: (end - start) / step gives " + std::to_string(samples) + " samples, more than the " +
                                    std::to_string(LCXControllerRecordable::kMaxSamples) + " a recording holds");
        else if (rec->m_record && samples <= 0)
            in.fail(recordLine, "record: end must lie at least one step after start");
    }
    if (in.failed()) return 1;

    if (type == kLCXKeyFramer) {
        if (beats.empty() || keys.empty()) {
            in.fail(lines.empty() ? 0 : lines.back().first, "a key framer needs at least one beat and one key");
            return 1;
        }
        std::sort(beats.begin(), beats.end());
        std::stable_sort(keys.begin(), keys.end(),
                         [](const LCXKeyFramerPoint& a, const LCXKeyFramerPoint& b) { return a.time < b.time; });
        std::vector<LCXKeyFramerPoint> beatPoints(beats.size());
        for (size_t i = 0; i < beats.size(); ++i) beatPoints[i].time = beats[i];
        auto* framer = static_cast<LCXControllerKeyFramer*>(controller);
        framer->createBeatPosition(beatPoints.data(), int(beatPoints.size()));
        framer->setModel(keys.data(), int(keys.size()), model);
        framer->m_accumulate = accumulate;
    }
    manager.save(outPath.c_str());
    return 0;
}

void printLcx(const LCXController& c)
{
    std::printf("type %s\n", kLcxTypes[size_t(c.getType())]);
    if (c.getType() == kLCXKeyFramer) {
        const auto& k = static_cast<const LCXControllerKeyFramer&>(c);
        const TrackManagerFloat* model = k.getModel();
        const int kind = model ? model->getType() : 0;
        if (kind > 0 && kind < int(kModels.size())) std::printf("model %s\n", kModels[size_t(kind)]);
        std::printf("accumulate %s\n", k.m_accumulate ? "on" : "off");
        std::printf("beats");
        for (float b : k.getBeats()) std::printf(" %.9g", b);
        std::printf("\n");
        const TrackFloat* track = model ? model->getTrack() : nullptr;
        const auto* bezier = dynamic_cast<const TrackFloatBezier*>(track);
        for (int i = 0; track && i < track->getNbKey(); ++i) {
            float time = 0, value = 0;
            track->getKey(i, time, value);
            std::printf("key %.9g %.9g", time, value);
            if (bezier) {
                const TrackFloatBezierKey& key = bezier->keys()[size_t(i)];
                auto name = [](int t) { return t >= 0 && t < int(kTangents.size()) ? kTangents[size_t(t)] : "smooth"; };
                std::printf(" %s %s", name(key.inType), name(key.outType));
            }
            std::printf("\n");
        }
    } else if (c.getType() == kLCXNoise) {
        const auto& n = static_cast<const LCXControllerNoise&>(c);
        std::printf("seed %d\nfractal %s\nabsolute %s\nspeed %.9g\nroughness %.9g\namplitude %.9g\n", n.m_seed,
                    n.m_fractal ? "on" : "off", n.m_absolute ? "on" : "off", n.m_speed, n.m_roughness, n.m_amplitude);
    } else {
        if (c.getType() == kLCXMouse) {
            const int channel = static_cast<const LCXControllerMouse&>(c).m_channel;
            if (channel >= 0 && channel < int(kChannels.size())) std::printf("channel %s\n", kChannels[size_t(channel)]);
            else std::printf("# channel %d (reads -1)\n", channel);
        }
        const auto& r = static_cast<const LCXControllerRecordable&>(c);
        if (r.m_record) std::printf("record %s\n", r.m_recordFileName.getName() ? r.m_recordFileName.getName() : "NULL");
        std::printf("step %d\nstart %d\nend %d\nscale %.9g\n", r.m_step, r.m_start, r.m_end, r.m_scale);
    }
}
} // namespace lcxtool
