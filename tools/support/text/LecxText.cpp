// tessaline-lcx: .lecx expression controller files from text and back.
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

#include "control/LECXControllerKinds.h"
#include "control/LECXControllerManager.h"
#include "control/MathExpression.h"
#include "foundation/Report.h"
#include "LcxTool.h"

namespace lcxtool {
namespace {

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

} // namespace

int writeLecx(const std::string& textPath, const std::string& outPath, std::vector<std::string>& messages)
{
    std::vector<std::pair<int, std::string>> lines;
    if (!readLines(textPath, lines, messages)) return 1;
    Input in(textPath, messages);
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
} // namespace lcxtool
