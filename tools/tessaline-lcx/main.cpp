// tessaline-lcx: writes .lcx controller files and .lecx expression controller files from text,
// and prints existing ones back in that text.
//
//   tessaline-lcx TEXT OUTPUT    OUTPUT ending in .lcx or .lecx (letter case ignored) says which
//   tessaline-lcx --print FILE   prints a .lcx or .lecx file as text the first form reads back
//
// Text input, both kinds: one directive a line, words separated by blanks or tabs; "#" starts a
// comment that runs to the end of the line; blank lines are ignored; times are milliseconds.
//
// .lcx (one controller; "type" first, key framer when absent):
//   type keyframer|mouse|sound|noise      (or the type code 1 to 4)
//   key framer:
//     model linear|hermite|bezier         the curve's interpolation (default linear)
//     accumulate on|off                   add the curve's end value once per passed beat (off)
//     beats T1 T2 ...                     beat positions; lines add to the list (sorted on write)
//     beats-every STEP FROM TO            beats FROM, FROM + STEP, ... up to TO included
//     key TIME VALUE [IN OUT]             a curve key, TIME from its beat; IN and OUT are the
//                                         bezier tangent types: smooth linear step fast slow
//                                         custom (or 0 to 5; default smooth)
//   noise:  seed N | fractal on|off | absolute on|off | speed F | roughness F | amplitude F
//   mouse:  channel x|y|wheel|left|right|middle   (or 0 to 5)
//   mouse and sound (recording, written as a key framer .lcx when the player ends):
//           record FILE | step N | start N | end N | scale F
//
// .lecx (one expression controller):
//   type color|l3x|blit|demospe01         (or the type code 1 to 4); required, before the params
//   NAME | EXPRESSION [| MODE]            one parameter a line: the target's parameter name
//                                         (Red Green Blue; Opacity; Intensity Phase; the 3D keys
//                                         such as "NODE Box01 POSX"), the expression over time1,
//                                         time2 and .lcx controller names, and for 3D keys how the
//                                         value meets the scene's: replace, add, sub (or 0 to 2;
//                                         default replace)
//
// Exit status: 0 written or printed, 1 for an input error (reported with its line), 2 for bad usage.
#include <algorithm>
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
#include "control/LECXControllerKinds.h"
#include "control/LECXControllerManager.h"
#include "control/MathExpression.h"
#include "foundation/Report.h"

namespace {

const char* const kUsage =
    "usage: tessaline-lcx TEXT OUTPUT.lcx|OUTPUT.lecx\n"
    "       tessaline-lcx --print FILE.lcx|FILE.lecx\n"
    "\n"
    "Writes a controller file from text, or prints one as text. One directive a line, words\n"
    "separated by blanks; '#' starts a comment; times in ms.\n"
    "\n"
    ".lcx:  type keyframer|mouse|sound|noise          (default keyframer)\n"
    "  key framer: model linear|hermite|bezier         accumulate on|off\n"
    "              beats T1 T2 ...                     beats-every STEP FROM TO\n"
    "              key TIME VALUE [IN OUT]             (IN, OUT: smooth linear step fast slow custom)\n"
    "  noise:      seed N  fractal on|off  absolute on|off  speed F  roughness F  amplitude F\n"
    "  mouse:      channel x|y|wheel|left|right|middle\n"
    "  recording (mouse, sound): record FILE  step N  start N  end N  scale F\n"
    "\n"
    ".lecx: type color|l3x|blit|demospe01             (required, first)\n"
    "       NAME | EXPRESSION [| replace|add|sub]      one parameter a line\n"
    "  names: color Red Green Blue; blit Opacity; demospe01 Intensity Phase; l3x keys\n"
    "  such as NODE Box01 POSX. Expressions read time1, time2 and .lcx controller names.\n"
    "\n"
    "Example (.lcx):  model linear\n"
    "                 beats-every 480 0 23040\n"
    "                 key 0 1\n"
    "                 key 240 0\n"
    "Example (.lecx): type blit\n"
    "                 Opacity | pulse * 0.5 + 0.25\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

std::string lower(std::string s)
{
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool endsWith(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && lower(s.substr(s.size() - end.size())) == end;
}

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return std::string();
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// Reading errors carry the input's name and line.
class Input {
public:
    Input(std::string name) : m_name(std::move(name)) {}
    bool fail(int line, const std::string& text)
    {
        std::fprintf(stderr, "tessaline-lcx: %s:%d: %s\n", m_name.c_str(), line, text.c_str());
        m_failed = true;
        return false;
    }
    bool failed() const { return m_failed; }

    bool number(int line, const std::string& word, float& out)
    {
        char* end = nullptr;
        errno = 0;
        const float v = std::strtof(word.c_str(), &end);
        if (word.empty() || *end || errno == ERANGE || !std::isfinite(v)) return fail(line, "not a number: " + word);
        out = v;
        return true;
    }
    bool integer(int line, const std::string& word, int& out)
    {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(word.c_str(), &end, 10);
        if (word.empty() || *end || errno == ERANGE || v < -2147483647L - 1 || v > 2147483647L)
            return fail(line, "not an integer: " + word);
        out = int(v);
        return true;
    }
    bool onOff(int line, const std::string& word, bool& out)
    {
        const std::string w = lower(word);
        if (w == "on" || w == "1" || w == "yes") out = true;
        else if (w == "off" || w == "0" || w == "no") out = false;
        else return fail(line, "expected on or off: " + word);
        return true;
    }
    // A word from `names` (its index) or an integer from 0 to names.size() - 1.
    bool choice(int line, const std::string& word, const std::vector<const char*>& names, int& out)
    {
        const std::string w = lower(word);
        for (size_t i = 0; i < names.size(); ++i)
            if (w == names[i]) {
                out = int(i);
                return true;
            }
        int v = -1;
        char* end = nullptr;
        v = int(std::strtol(word.c_str(), &end, 10));
        if (!word.empty() && !*end && v >= 0 && v < int(names.size())) {
            out = v;
            return true;
        }
        std::string list;
        for (const char* n : names) list += std::string(list.empty() ? "" : ", ") + n;
        return fail(line, "unknown word " + word + " (expected one of " + list + ")");
    }

private:
    std::string m_name;
    bool m_failed = false;
};

// The lines of a text file without comments, numbered from 1.
bool readLines(const std::string& path, std::vector<std::pair<int, std::string>>& lines)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "tessaline-lcx: cannot read %s\n", path.c_str());
        return false;
    }
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        line = trim(line);
        if (!line.empty()) lines.emplace_back(n, line);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// .lcx

const std::vector<const char*> kLcxTypes = {"", "mouse", "sound", "keyframer", "noise"};
const std::vector<const char*> kModels = {"", "linear", "hermite", "tcb", "bezier"};
const std::vector<const char*> kTangents = {"smooth", "linear", "step", "fast", "slow", "custom"};
const std::vector<const char*> kChannels = {"x", "y", "wheel", "left", "right", "middle"};

int writeLcx(const std::string& textPath, const std::string& outPath)
{
    std::vector<std::pair<int, std::string>> lines;
    if (!readLines(textPath, lines)) return 1;
    Input in(textPath);

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

// ---------------------------------------------------------------------------------------------
// .lecx

const std::vector<const char*> kLecxTypes = {"", "color", "l3x", "blit", "demospe01"};
const std::vector<const char*> kModes = {"replace", "add", "sub"};

// Parses the expression as the player will, with every label bound, so that its warnings show
// now; false when it would not evaluate.
bool checkExpression(const std::string& text)
{
    MathExpression expression;
    expression.setExpression(text.c_str());
    static const float dummy = 0.0f;
    for (int i = 0; i < expression.getLabelCount(); ++i) expression.bindLabel(i, &dummy);
    return expression.prepare();
}

int writeLecx(const std::string& textPath, const std::string& outPath)
{
    std::vector<std::pair<int, std::string>> lines;
    if (!readLines(textPath, lines)) return 1;
    Input in(textPath);
    LECXControllerManager manager;
    for (const auto& [n, line] : lines) {
        const size_t bar = line.find('|');
        if (bar == std::string::npos) {
            const std::vector<std::string> w = words(line);
            int type = 0;
            if (lower(w[0]) != "type") {
                in.fail(n, "expected type or NAME | EXPRESSION [| MODE]: " + line);
            } else if (manager.getController()) {
                in.fail(n, "type given twice");
            } else if (w.size() != 2 || !in.choice(n, w[1], kLecxTypes, type) || type == 0) {
                if (!in.failed()) in.fail(n, "type takes one of color, l3x, blit, demospe01");
            } else {
                manager.create(type);
            }
            continue;
        }
        LECXController* controller = manager.getController();
        if (!controller) {
            in.fail(n, "the type must come before the parameters");
            return 1;
        }
        const std::string name = trim(line.substr(0, bar));
        std::string expression = trim(line.substr(bar + 1));
        int mode = 0;
        const size_t bar2 = expression.find('|');
        if (bar2 != std::string::npos) {
            const std::string modeWord = trim(expression.substr(bar2 + 1));
            expression = trim(expression.substr(0, bar2));
            if (!in.choice(n, modeWord, kModes, mode)) continue;
        }
        if (name.empty() || expression.empty()) {
            in.fail(n, "a parameter needs a name and an expression");
            continue;
        }
        if (name.size() > size_t(kChunkMaxString) || expression.size() > size_t(kChunkMaxString)) {
            in.fail(n, "names and expressions hold at most 255 characters");
            continue;
        }
        if (!checkExpression(expression)) {
            in.fail(n, "the expression does not evaluate: " + expression);
            continue;
        }
        // Names of the descriptor kinds are checked here; 3D keys are matched against the scene.
        if (controller->getType() != kLECXL3X) {
            bool known = false;
            for (int k = 0; k < controller->getParamCount(); ++k) known |= name == controller->getParamNames()[k];
            if (!known) {
                std::string list;
                for (int k = 0; k < controller->getParamCount(); ++k)
                    list += std::string(k ? ", " : "") + controller->getParamNames()[k];
                in.fail(n, "unknown parameter " + name + " (expected one of " + list + ")");
                continue;
            }
        }
        LECXControllerParam* param = controller->addParam();
        if (!param) {
            in.fail(n, "too many parameters");
            return 1;
        }
        param->m_name = name.c_str();
        param->m_expression = expression.c_str();
        param->m_mode = mode;
    }
    if (!in.failed() && !manager.getController()) in.fail(lines.empty() ? 0 : lines.back().first, "no type given");
    if (in.failed()) return 1;
    manager.save(outPath.c_str());
    return 0;
}

void printLecx(const LECXController& c)
{
    std::printf("type %s\n", kLecxTypes[size_t(c.getType())]);
    for (int i = 0; i < c.getNbParam(); ++i) {
        const LECXControllerParam& p = *c.getParam(i);
        std::printf("%s | %s", p.m_name.getName() ? p.m_name.getName() : "NULL",
                    p.m_expression.getName() ? p.m_expression.getName() : "NULL");
        if (p.m_mode != 0) {
            if (p.m_mode > 0 && p.m_mode < int(kModes.size())) std::printf(" | %s", kModes[size_t(p.m_mode)]);
            else std::printf(" | %d", p.m_mode);
        }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3) return usage();
    const std::string a = argv[1], b = argv[2];
    if (a == "--print") {
        if (endsWith(b, ".lecx")) {
            LECXControllerManager m;
            m.load(b.c_str());
            if (!m.getController()) return 1;
            printLecx(*m.getController());
            return 0;
        }
        if (endsWith(b, ".lcx")) {
            LCXControllerManager m;
            m.load(b.c_str());
            if (!m.getController()) return 1;
            printLcx(*m.getController());  // no recording buffer is made, so none is written
            return 0;
        }
        return usage();
    }
    if (!a.empty() && a[0] == '-') return usage();
    if (endsWith(b, ".lecx")) return writeLecx(a, b);
    if (endsWith(b, ".lcx")) return writeLcx(a, b);
    return usage();
}
