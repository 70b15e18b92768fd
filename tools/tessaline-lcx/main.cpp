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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "control/LCXControllerManager.h"
#include "control/LECXControllerManager.h"
#include "text/LcxTool.h"

using namespace lcxtool;

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
    if (!endsWith(b, ".lecx") && !endsWith(b, ".lcx")) return usage();
    std::vector<std::string> messages;
    const int status = endsWith(b, ".lecx") ? writeLecx(a, b, messages) : writeLcx(a, b, messages);
    for (const std::string& m : messages) std::fprintf(stderr, "tessaline-lcx: %s\n", m.c_str());
    return status;
}

