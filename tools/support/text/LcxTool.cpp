#include "LcxTool.h"
#include "TextFiles.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace lcxtool {

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

bool readLines(const std::string& path, std::vector<std::pair<int, std::string>>& lines, std::vector<std::string>& messages)
{
    std::ifstream in;
    std::string error;
    if (!openTextFile(path, in, error)) {
        messages.push_back(error);
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
} // namespace lcxtool
