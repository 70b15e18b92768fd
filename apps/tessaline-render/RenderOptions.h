// tessaline-render's command line: the settings of a run, read through one table of options
// that also writes the usage and --help.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/MediaWriter.h"

struct RenderSettings {
    std::string script;
    std::string outDir;            // the image sequence's directory
    long long start = 0;           // the span, in ms (inclusive for images, [start, end) for captures)
    long long end = 0;
    std::vector<long long> times;  // listed times instead of the span
    bool workImage = false;        // the 512x256 work image instead of the screen
    bool quiet = false;
    bool profile = false;
    bool record = false;
    bool force = false;            // overwrite an existing video or WAV file, leave older frames in DIR
    // The capture, handed whole to it; its frame rate is the run's, captured or not.
    MediaSettings capture;
    std::set<std::string> given;   // the options the command line named, by their long word
};

// Reads the command line into `settings`, starting from the options' defaults. An exit status
// when the run ends here: 0 after --help or --version, 2 (after the usage) for bad usage.
std::optional<int> readCommandLine(int argc, char** argv, RenderSettings& settings);
