// The bundled demo's generated geometry: Wavefront OBJ meshes (positions, texture vertices,
// faces) and the jellyfish scene text, whose skin weights follow its tentacle mesh vertex by
// vertex. Everything is printed with three decimals, so every run writes the same text.
#pragma once

#include <string>
#include <vector>

namespace DemoMeshes {

struct TextFile {
    std::string name;  // relative to the demo's scenes folder
    std::string text;
};

// Every mesh and generated scene text the demo's scenes name.
std::vector<TextFile> makeAll();

} // namespace DemoMeshes
