#include "RenderOptions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "image/SimdLevel.h"

namespace {

// Capture picture sizes: even sides (4:2:0 video needs them) within these bounds.
constexpr long long kMinPictureSide = 16;
constexpr long long kMaxPictureWidth = 7680;
constexpr long long kMaxPictureHeight = 4320;

// Frame rates are kept as fractions, so 30000/1001 times its frames exactly.
constexpr long long kMaxFpsTerm = 1000000;

long long gcd(long long a, long long b) { return b == 0 ? a : gcd(b, a % b); }

// "N", "N/D" or a decimal "I.F" (up to six decimals): a positive fraction of bounded terms.
bool parseFps(const char* text, int& fpsNum, int& fpsDen)
{
    const std::string s(text ? text : "");
    const size_t slash = s.find('/');
    auto digits = [](const std::string& d) {
        return !d.empty() && d.size() <= 9 && std::all_of(d.begin(), d.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    long long num = 0, den = 1;
    if (slash != std::string::npos) {
        const std::string a = s.substr(0, slash), b = s.substr(slash + 1);
        if (!digits(a) || !digits(b)) return false;
        num = std::stoll(a);
        den = std::stoll(b);
    } else {
        const size_t dot = s.find('.');
        const std::string whole = s.substr(0, dot);
        const std::string fraction = dot == std::string::npos ? "" : s.substr(dot + 1);
        if (!digits(whole.empty() ? "0" : whole) || (dot != std::string::npos && !digits(fraction)) || fraction.size() > 6)
            return false;
        for (size_t i = 0; i < fraction.size(); ++i) den *= 10;
        num = (whole.empty() ? 0 : std::stoll(whole)) * den + (fraction.empty() ? 0 : std::stoll(fraction));
    }
    if (num <= 0 || den <= 0) return false;
    const long long g = gcd(num, den);
    num /= g;
    den /= g;
    if (num > kMaxFpsTerm || den > kMaxFpsTerm) return false;
    fpsNum = int(num);
    fpsDen = int(den);
    return true;
}

bool parseInt(const char* text, long long& out)
{
    if (!text || !*text) return false;
    char* endp = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &endp, 10);
    if (errno != 0 || *endp != '\0' || v < 0 || v > 0xFFFFFFFFLL) return false;
    out = v;
    return true;
}

// "WxH" with even sides within the picture bounds.
bool parseSize(const char* text, int& width, int& height)
{
    const std::string s(text ? text : "");
    const size_t x = s.find('x');
    if (x == std::string::npos) return false;
    long long w = 0, h = 0;
    if (!parseInt(s.substr(0, x).c_str(), w) || !parseInt(s.substr(x + 1).c_str(), h)) return false;
    if (w < kMinPictureSide || h < kMinPictureSide || w > kMaxPictureWidth || h > kMaxPictureHeight || w % 2 || h % 2)
        return false;
    width = int(w);
    height = int(h);
    return true;
}

// Appends the listed times (a repeated --times lists more).
bool parseTimes(const char* text, std::vector<long long>& out)
{
    std::string s(text ? text : "");
    if (s.empty()) return false;
    size_t i = 0;
    while (i <= s.size()) {
        size_t j = s.find(',', i);
        if (j == std::string::npos) j = s.size();
        long long v = 0;
        if (!parseInt(s.substr(i, j - i).c_str(), v)) return false;
        out.push_back(v);
        i = j + 1;
    }
    return true;
}

// The rate factors of the encoders' tuning: "0 to 51 for H.264 (default 18), 0 to 63 for ...".
std::string crfRanges(bool withDefaults)
{
    std::string text;
    for (const VideoTuning& t : kVideoTunings) {
        text += (text.empty() ? "0 to " : ", 0 to ") + std::to_string(t.maxCrf) + " for " + t.codec;
        if (withDefaults) text += " (default " + std::to_string(t.defaultCrf) + ")";
    }
    return text;
}

int maxCrf()
{
    int most = 0;
    for (const VideoTuning& t : kVideoTunings) most = std::max(most, t.maxCrf);
    return most;
}

std::string presetNames(const VideoTuning& t, const char* separator)
{
    std::string names;
    for (const char* name : t.presets) names += (names.empty() ? "" : separator) + std::string(name);
    return names;
}

// "H.264: ultrafast ... (default medium); VP9: ...".
std::string presetLists()
{
    std::string text;
    for (const VideoTuning& t : kVideoTunings)
        text += (text.empty() ? "" : "; ") + std::string(t.codec) + ": " + presetNames(t, " ") + " (default " +
                t.defaultPreset + ")";
    return text;
}

// One option of the command line; the parser, the synopsis and --help all read the table below.
struct RenderOption {
    const char* word = nullptr;           // "--fps"
    const char* shortWord = nullptr;      // "-o"; null: none
    const char* argument = nullptr;       // its name in --help; null: a switch
    const char* usageArgument = nullptr;  // its name in the synopsis when that differs
    const char* byDefault = nullptr;      // read before the command line: the value when the option is absent
    bool ofVideo = false;                 // a setting of --video: inside its brackets in the synopsis
    const char* heading = nullptr;        // a line --help prints before this option's
    // --help's text, wrapped; each {} shows the default of one option of the line, in order.
    // Empty: the option shares the line of the one above.
    std::string meaning = {};
    std::string failure = {};  // the usage error when the argument is missing or fails the check
    // The check: stores the argument (null for a switch) into the settings; false when it is bad.
    bool (*read)(const char* argument, RenderSettings& settings) = nullptr;
};

// The options, in the order of the synopsis and --help. A new option is one row here, plus its
// field in RenderSettings, or in MediaSettings (platform/MediaWriter.h) when it is a capture
// setting; a rule tying it to other options goes into checkCombination below.
const RenderOption kOptions[] = {
    {.word = "--out", .shortWord = "-o", .argument = "DIR", .byDefault = "frames",
     .meaning = "directory for the frames as NNNNNN.png (default {})", .failure = "-o needs a directory",
     .read = [](const char* v, RenderSettings& s) { s.outDir = v; return *v != '\0'; }},
    {.word = "--fps", .argument = "F|N/D", .byDefault = "26", .meaning = "frames per second (default {})",
     .failure = "--fps needs a positive number or N/D (at most 1000000 each)",
     .read = [](const char* v, RenderSettings& s) { return parseFps(v, s.capture.fpsNum, s.capture.fpsDen); }},
    {.word = "--start", .argument = "MS", .byDefault = "0",
     .meaning = "first time and last time (inclusive; default {} and {})", .failure = "--start needs milliseconds",
     .read = [](const char* v, RenderSettings& s) { return parseInt(v, s.start); }},
    {.word = "--end", .argument = "MS", .byDefault = "285000", .failure = "--end needs milliseconds",
     .read = [](const char* v, RenderSettings& s) { return parseInt(v, s.end); }},
    {.word = "--times", .argument = "T1,T2,...", .meaning = "exactly these times instead",
     .failure = "--times needs a list of milliseconds",
     .read = [](const char* v, RenderSettings& s) { return parseTimes(v, s.times); }},
    {.word = "--image", .argument = "screen|work", .byDefault = "screen",
     .meaning = "the 640x480 screen or the 512x256 work image (default {})", .failure = "--image needs screen or work",
     .read = [](const char* v, RenderSettings& s) {
         s.workImage = std::strcmp(v, "work") == 0;
         return s.workImage || std::strcmp(v, "screen") == 0;
     }},
    {.word = "--quiet", .meaning = "no progress line",
     .read = [](const char*, RenderSettings& s) { s.quiet = true; return true; }},
    {.word = "--profile", .meaning = "print frame times and the cost of each layer operation",
     .read = [](const char*, RenderSettings& s) { s.profile = true; return true; }},
    {.word = "--record", .meaning = "write the recordings the demo's controllers ask for (none without it)",
     .read = [](const char*, RenderSettings& s) { s.record = true; return true; }},
    {.word = "--video", .argument = "FILE", .usageArgument = "FILE.mp4|.mkv|.webm",
     .heading = "Captures take the span [start, end) (it must not be empty):",
     .meaning = ".mp4 or .mkv (H.264 and AAC), .webm (VP9 and Vorbis)", .failure = "--video needs a file",
     .read = [](const char* v, RenderSettings& s) { s.capture.videoPath = v; return *v != '\0'; }},
    {.word = "--lossless", .ofVideo = true, .meaning = "with a .mkv: FFV1 and FLAC, every pixel and sample kept",
     .read = [](const char*, RenderSettings& s) { s.capture.lossless = true; return true; }},
    {.word = "--size", .argument = "WxH", .ofVideo = true,
     .meaning = "the video's picture, even sides from 16x16 to 7680x4320: the 640x480 frame scaled to fit with 4:3 "
                "kept, black bars beside or above and below",
     .failure = "--size needs WxH with even sides from 16x16 to 7680x4320",
     .read = [](const char* v, RenderSettings& s) { return parseSize(v, s.capture.outWidth, s.capture.outHeight); }},
    {.word = "--scale", .argument = "nearest|smooth", .ofVideo = true,
     .meaning = "nearest neighbour (crisp pixels, default) or a Lanczos filter", .failure = "--scale needs nearest or smooth",
     .read = [](const char* v, RenderSettings& s) {
         const bool smooth = std::strcmp(v, "smooth") == 0;
         s.capture.scale = smooth ? MediaScale::Smooth : MediaScale::Nearest;
         return smooth || std::strcmp(v, "nearest") == 0;
     }},
    {.word = "--crf", .argument = "N", .ofVideo = true, .meaning = "rate factor: " + crfRanges(true),
     .failure = "--crf needs a rate factor (" + crfRanges(false) + ")",
     .read = [](const char* v, RenderSettings& s) {
         // Any encoder's range here; the chosen encoder's once the video's type is known.
         long long crf = 0;
         if (!parseInt(v, crf) || crf > maxCrf()) return false;
         s.capture.crf = int(crf);
         return true;
     }},
    {.word = "--preset", .argument = "NAME", .ofVideo = true, .meaning = presetLists(), .failure = "--preset needs a name",
     .read = [](const char* v, RenderSettings& s) { s.capture.preset = v; return *v != '\0'; }},
    {.word = "--wav", .argument = "FILE", .meaning = "the music alone, as 16-bit WAV", .failure = "--wav needs a file",
     .read = [](const char* v, RenderSettings& s) { s.capture.wavPath = v; return *v != '\0'; }},
    {.word = "--force",
     .meaning = "overwrite an existing video or WAV file; write frames into a DIR that holds more frames than the "
                "run writes (they are left as they are)",
     .read = [](const char*, RenderSettings& s) { s.force = true; return true; }},
};

constexpr size_t kSynopsisWidth = 103;  // the synopsis' longest line
constexpr size_t kHelpColumn = 25;      // where --help's meanings start
constexpr size_t kHelpWidth = 98;       // --help's longest line

// The synopsis: each option in brackets (--video's settings inside its own), wrapped.
std::string synopsis()
{
    std::string text, line = "usage: tessaline-render";
    const size_t indent = line.size() + 1;
    auto add = [&](const std::string& item, size_t depth) {
        if (line.size() + 1 + item.size() > kSynopsisWidth) {
            text += line + "\n";
            line.assign(indent + depth, ' ');
        } else {
            line += ' ';
        }
        line += item;
    };
    const size_t count = std::size(kOptions);
    for (size_t i = 0; i < count; ++i) {
        const RenderOption& o = kOptions[i];
        const bool settingsFollow = i + 1 < count && kOptions[i + 1].ofVideo;
        std::string item = std::string("[") + (o.shortWord ? o.shortWord : o.word);
        if (o.argument) item += std::string(" ") + (o.usageArgument ? o.usageArgument : o.argument);
        // --video's bracket stays open for the settings that follow it.
        if (o.ofVideo || !settingsFollow) item += o.ofVideo && !settingsFollow ? "]]" : "]";
        add(item, o.ofVideo ? 1 : 0);
    }
    add("SCRIPT", 0);
    return text + line + "\n       tessaline-render --help | --version\n";
}

// Appends `label` and `meaning` as --help lines: the meaning from kHelpColumn, wrapped at word
// boundaries.
void appendHelpLine(std::string& text, const std::string& label, const std::string& meaning)
{
    std::string line = "  " + label;
    line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
    size_t start = line.size();
    size_t at = 0;
    while (at < meaning.size()) {
        size_t end = meaning.find(' ', at);
        if (end == std::string::npos) end = meaning.size();
        const std::string word = meaning.substr(at, end - at);
        at = end + 1;
        if (line.size() > start && line.size() + 1 + word.size() > kHelpWidth) {
            text += line + "\n";
            line.assign(kHelpColumn, ' ');
            start = line.size();
        }
        if (line.size() > start) line += ' ';
        line += word;
    }
    text += line + "\n";
}

std::string help()
{
    std::string text = "\nRenders SCRIPT headless: frame k at start + floor(k x 1000 / fps) ms, or at the k-th listed time.\n";
    const size_t count = std::size(kOptions);
    for (size_t i = 0; i < count; ++i) {
        if (kOptions[i].meaning.empty()) continue;  // on the line of the option above
        if (kOptions[i].heading) text += std::string(kOptions[i].heading) + "\n";
        // This option and those sharing its line: their names, and their defaults in the meaning.
        std::string label, meaning = kOptions[i].meaning;
        for (size_t j = i; j < count && (j == i || kOptions[j].meaning.empty()); ++j) {
            const RenderOption& o = kOptions[j];
            if (j > i) label += ", ";
            if (o.shortWord) label += std::string(o.shortWord) + ", ";
            label += o.word;
            if (o.argument) label += std::string(" ") + o.argument;
            const size_t slot = meaning.find("{}");
            if (o.byDefault && slot != std::string::npos) meaning.replace(slot, 2, o.byDefault);
        }
        appendHelpLine(text, label, meaning);
    }
    return text + "Exit status: 0 done, 1 after a fatal error, an interrupt, a script that cannot be opened\n"
                  "or a refused file or folder, 2 for bad usage.\n";
}

int bad(const std::string& what)
{
    std::fprintf(stderr, "tessaline-render: %s\n%s", what.c_str(), synopsis().c_str());
    return 2;
}

std::string lowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The rules between options, once the whole command line is read (in this order, so that the
// first broken rule is the one reported).
std::optional<int> checkCombination(RenderSettings& s)
{
    MediaSettings& c = s.capture;
    const bool video = !c.videoPath.empty();
    const bool capture = video || !c.wavPath.empty();
    if (s.script.empty()) return bad("no script given");
    if (s.times.empty() && s.end < s.start) return bad("--end lies before --start");
    if (video) {
        const std::string ext = lowerExtension(c.videoPath);
        if (ext == ".mp4")
            c.container = MediaContainer::Mp4;
        else if (ext == ".mkv")
            c.container = MediaContainer::Matroska;
        else if (ext == ".webm")
            c.container = MediaContainer::WebM;
        else
            return bad("--video needs a .mp4, .mkv or .webm file");
    }
    if (c.lossless && (!video || c.container != MediaContainer::Matroska))
        return bad("--lossless needs --video with a .mkv file");
    if (capture && !s.times.empty()) return bad("--video and --wav take a span, not --times");
    if (video && c.videoPath == c.wavPath) return bad("--video and --wav name the same file");
    const bool tuned = s.given.contains("--crf") || s.given.contains("--preset");
    if ((s.given.contains("--size") || s.given.contains("--scale") || tuned) && !video)
        return bad("--size, --scale, --crf and --preset need --video");
    if (s.given.contains("--scale") && !s.given.contains("--size")) return bad("--scale needs --size");
    if (tuned && c.lossless) return bad("--crf and --preset do not apply to --lossless");
    const VideoTuning& tuning = videoTuning(c.container);
    if (c.crf > tuning.maxCrf)
        return bad("--crf for " + std::string(tuning.codec) + " lies from 0 to " + std::to_string(tuning.maxCrf));
    if (!c.preset.empty() && std::find(tuning.presets.begin(), tuning.presets.end(), c.preset) == tuning.presets.end())
        return bad("--preset for " + std::string(tuning.codec) + " is one of " + presetNames(tuning, ", "));
    // A capture's span [start, end) must hold a frame.
    if (capture && s.end <= s.start) return bad("a capture needs --end after --start");
    return std::nullopt;
}

} // namespace

std::optional<int> readCommandLine(int argc, char** argv, RenderSettings& s)
{
    for (const RenderOption& o : kOptions)
        if (o.byDefault) o.read(o.byDefault, s);  // the defaults pass their own checks
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const auto o = std::find_if(std::begin(kOptions), std::end(kOptions), [a](const RenderOption& o) {
            return std::strcmp(a, o.word) == 0 || (o.shortWord && std::strcmp(a, o.shortWord) == 0);
        });
        if (o != std::end(kOptions)) {
            const char* v = nullptr;
            if (o->argument) {
                if (i + 1 >= argc) return bad(o->failure);
                v = argv[++i];
            }
            if (!o->read(v, s)) return bad(o->failure);
            s.given.insert(o->word);
        } else if (std::strcmp(a, "--help") == 0) {
            std::fputs((synopsis() + help()).c_str(), stdout);
            return 0;
        } else if (std::strcmp(a, "--version") == 0) {
            std::printf("tessaline-render %s (SIMD: %s)\n", TL_VERSION, simdLevelName(simdLevel()));
            return 0;
        } else if (a[0] == '-' && a[1] != '\0') {
            return bad(std::string("unknown option ") + a);
        } else if (s.script.empty()) {
            s.script = a;
        } else {
            return bad("only one script");
        }
    }
    return checkCombination(s);
}
