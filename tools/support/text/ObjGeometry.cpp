// Wavefront OBJ reading for tessaline-l3x: v, vt, f and usemtl lines; everything else (vn
// included: the engine computes its own normals) is ignored. Indices may be negative (relative
// to the end), as the format allows.
//
// OBJ files are right-handed (x right, y up, z towards the viewer) with faces counter-clockwise
// seen from outside. Scenes are left-handed: the camera looks along +z, and a face shows when its
// (B - A) x (C - A) points into the object. Negating z turns the one into the other: the model
// keeps its shape as the modeller saw it from the front (no mirror image), and the same corner
// order now winds the way the engine draws outsides. Texture coordinates stay as they are.
#include <charconv>
#include <cstdint>
#include <fstream>
#include <sstream>

#include "L3xText.h"
#include "TextFiles.h"

namespace {
// Index i of an OBJ face corner (1-based, or negative from the end) into 0-based, or -1.
int resolve(int64_t i, size_t count)
{
    if (i > 0 && uint64_t(i) <= count) return int(i - 1);
    if (i < 0 && uint64_t(-(i + 1)) < count) return int(int64_t(count) + i);
    return -1;
}

// The integer at the front of [s, end) (an optional sign, then digits) into `value`, moving `s`
// past it. False when there is none or it does not fit 64 bits (`outOfRange` tells which).
bool readIndex(const char*& s, const char* end, int64_t& value, bool& outOfRange)
{
    outOfRange = false;
    const char* digits = s < end && *s == '+' ? s + 1 : s;
    const std::from_chars_result r = std::from_chars(digits, end, value);
    if (r.ec == std::errc::result_out_of_range) outOfRange = true;
    if (r.ec != std::errc()) return false;
    s = r.ptr;
    return true;
}
}

bool readObj(const std::string& path, ObjGeometry& out, std::string& error)
{
    std::ifstream in;
    if (!openTextFile(path, in, error)) return false;
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
            // 0 - z rather than -z: a zero stays +0, whichever sign the file wrote it with.
            out.positions.insert(out.positions.end(), {x, y, 0.0f - z});
        } else if (key == "vt") {
            float u = 0, v = 0;
            if (!(words >> u >> v)) return error = where + "vt needs two numbers", false;
            out.uvs.insert(out.uvs.end(), {u, v});
        } else if (key == "usemtl") {
            ++material;
        } else if (key == "f") {
            std::vector<int> corners, uvCorners;
            for (std::string c; words >> c;) {
                // v, v/t, v//n or v/t/n: the vertex index, and the texture index when present.
                const char* p = c.c_str();
                const char* end = p + c.size();
                int64_t vi = 0;
                bool outOfRange = false;
                if (!readIndex(p, end, vi, outOfRange) && outOfRange)
                    return error = where + "face index out of range: " + c, false;
                const int v = resolve(vi, out.positions.size() / 3);
                if (v < 0) return error = where + "face names a vertex that does not exist: " + c, false;
                corners.push_back(v);
                int t = -1;
                if (p < end && *p == '/' && p + 1 < end && p[1] != '/') {
                    ++p;
                    int64_t ti = 0;
                    if (readIndex(p, end, ti, outOfRange)) t = resolve(ti, out.uvs.size() / 2);
                    else if (outOfRange) return error = where + "face index out of range: " + c, false;
                }
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
