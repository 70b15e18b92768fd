// Opening a text the compilers read: only a regular file, and not a larger one than any demo's
// text (a device or a huge file named by a hostile text would never end or fill the memory).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

constexpr std::uintmax_t kMaxTextFileBytes = std::uintmax_t(64) << 20;

// Opens `path` into `in`; false with "cannot read PATH" or "PATH: larger than 64 MiB" in `error`.
inline bool openTextFile(const std::string& path, std::ifstream& in, std::string& error)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read " + path;
        return false;
    }
    if (std::filesystem::file_size(path, ec) > kMaxTextFileBytes || ec) {
        error = path + ": larger than 64 MiB";
        return false;
    }
    in.open(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}
