// For fuzz targets that load through the current directory: they run in a scratch directory of
// their own, while the paths on the command line (corpus folders and files, artifact, dictionary
// and merge paths) keep meaning what the caller meant. Called from LLVMFuzzerInitialize, before
// libFuzzer reads any of them: relative paths are made absolute against the starting directory,
// and crash artifacts go there (not into the scratch directory) unless a prefix was given.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

inline std::string enterScratchDir(int* argc, char*** argv, const char* name)
{
    static std::vector<std::string> kept;
    static std::vector<char*> pointers;
    const std::string start = std::filesystem::current_path().string() + "/";
    const auto absolute = [&](const std::string& path) { return path.empty() || path[0] == '/' ? path : start + path; };
    const char* const pathFlags[] = {"-artifact_prefix=", "-exact_artifact_path=", "-dict=", "-merge_control_file=",
                                     "-features_dir=", "-mutation_graph_file="};
    bool prefixGiven = false;
    for (int i = 0; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        if (i > 0 && arg[0] != '-') {
            arg = absolute(arg);
        } else if (i > 0) {
            for (const char* flag : pathFlags) {
                const std::string f = flag;
                if (arg.compare(0, f.size(), f) != 0) continue;
                arg = f + absolute(arg.substr(f.size()));
                if (f == "-artifact_prefix=") prefixGiven = true;
            }
        }
        kept.push_back(arg);
    }
    if (!prefixGiven) kept.push_back("-artifact_prefix=" + start);
    for (std::string& s : kept) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    *argc = int(kept.size());
    *argv = pointers.data();

    std::string dir = (std::filesystem::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    if (!::mkdtemp(dir.data()) || ::chdir(dir.c_str()) != 0) std::abort();
    return dir;
}
