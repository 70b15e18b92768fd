// What tessaline-web tells a demo's maker before the page meets the demo: a load of the script
// here, as the page will load it, with the reports it gives and the files it opens as video
// or streamed music, each checked against the decoders the page's FFmpeg holds.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct PageCheck {
    std::vector<std::string> reports;   // "warning: [CAPTION] TEXT", as the page's console shows them
    std::vector<std::string> undecodable;  // "FILE: CODEC", files whose codec the page lacks
};

// Loads `script` (inside `root`) with this machine's decoders. `pageDecoders` lists the FFmpeg
// decoders of the page (decoders.txt beside its engine); empty: the codecs are not checked.
PageCheck checkForPage(const std::filesystem::path& root, const std::filesystem::path& script,
                       const std::vector<std::string>& pageDecoders);
