// Builds script files for tests: every section present, in order, with the given entry lines.
#pragma once

#include <map>
#include <string>
#include <vector>

inline const std::vector<std::string>& scriptSectionNames()
{
    static const std::vector<std::string> names = {
        "MUSIC",       "LAYER_DIMENSION", "CONTROLLER", "IMAGE",     "2D",          "3D",
        "SKYBOX",      "SCREEN_LAYER",    "2D_DESC",    "3D_DESC",   "SKYBOX_DESC", "SPE_LAYER",
        "LAYER_DEPENDENCY", "MIX",        "EFFECT",     "MIX_DESC",  "EFFECT_DESC", "LAYER_MANAGER"};
    return names;
}

// Sections not in `content` are written empty; MUSIC defaults to no music.
inline std::string makeScript(std::map<std::string, std::vector<std::string>> content)
{
    if (!content.count("MUSIC")) content["MUSIC"] = {"file: NULL", "offset: 0"};
    std::string text = "test script\n";
    for (const std::string& name : scriptSectionNames()) {
        text += "<" + name + ">\n";
        for (const std::string& line : content[name]) text += line + "\n";
        text += "</" + name + ">\n";
    }
    return text;
}
