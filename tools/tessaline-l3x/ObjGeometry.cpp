// Wavefront OBJ reading for tessaline-l3x: v, vt, f and usemtl lines; everything else is
// ignored. Indices may be negative (relative to the end), as the format allows.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "L3xText.h"

namespace {
// Index i of an OBJ face corner (1-based, or negative from the end) into 0-based, or -1.
int resolve(long i, size_t count)
{
    if (i > 0 && size_t(i) <= count) return int(i - 1);
    if (i < 0 && size_t(-i) <= count) return int(long(count) + i);
    return -1;
}
}

bool readObj(const std::string& path, ObjGeometry& out, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    out = ObjGeometry{};
    bool allUv = true;
    int material = -1;
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        const std::string where = path + ":" + std::to_string(n) + ": ";
        if (key == "v") {
            float x = 0, y = 0, z = 0;
            if (!(words >> x >> y >> z)) return error = where + "v needs three numbers", false;
            out.positions.insert(out.positions.end(), {x, y, z});
        } else if (key == "vt") {
            float u = 0, v = 0;
            if (!(words >> u >> v)) return error = where + "vt needs two numbers", false;
            out.uvs.insert(out.uvs.end(), {u, v});
        } else if (key == "usemtl") {
            ++material;
        } else if (key == "f") {
            std::vector<int> corners, uvCorners;
            for (std::string c; words >> c;) {
                char* end = nullptr;
                const long vi = std::strtol(c.c_str(), &end, 10);
                const int v = resolve(vi, out.positions.size() / 3);
                if (v < 0) return error = where + "face names a vertex that does not exist: " + c, false;
                corners.push_back(v);
                int t = -1;
                if (*end == '/' && end[1] != '/' && end[1] != 0) t = resolve(std::strtol(end + 1, nullptr, 10), out.uvs.size() / 2);
                if (t < 0) allUv = false;
                uvCorners.push_back(t);
            }
            if (corners.size() < 3) return error = where + "a face needs three corners", false;
            for (size_t k = 1; k + 1 < corners.size(); ++k) {
                out.faces.insert(out.faces.end(), {corners[0], corners[k], corners[k + 1]});
                out.uvFaces.insert(out.uvFaces.end(), {uvCorners[0], uvCorners[k], uvCorners[k + 1]});
                out.subMaterials.push_back(material < 0 ? 0 : material);
            }
        }
    }
    if (!allUv || out.uvs.empty()) out.uvFaces.clear();
    if (out.positions.size() / 3 > 65535 || out.uvs.size() / 2 > 65535 || out.faces.size() / 3 > 65535)
        return error = path + ": more than 65535 vertices, texture vertices or faces", false;
    return true;
}
