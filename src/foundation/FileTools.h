// Directory and file helpers. Paths may use '\' or '/'; a path that does not exist as written
// is resolved part by part ignoring letter case, and directories are listed in
// case-insensitive name order so that every run sees the same order.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/StringC.h"

class FileTools {
public:
    static bool getCurrentDirectory(StringC& out);
    // The current directory with a trailing '/', without any message on failure.
    static bool currentDirectoryText(StringC& out);
    static bool setCurrentDirectory(const StringC& directory);
    // First file of the current directory named "*." + extension (bare name); false if none.
    static bool findFirstFile(StringC& out, const StringC& extension);
    // Files of `directory` (ending with a separator) named "*." + extension.
    [[nodiscard]] static int countFiles(const StringC& directory, const StringC& extension);
    // directory + name of the index-th such file, or "NULL".
    [[nodiscard]] static StringC getFileName(const StringC& directory, const StringC& extension, int index);

    // --- the one file-lookup routine every loader uses ---
    // The path with '\' turned into '/', then resolved ignoring case where it does not exist as
    // written. Returns the best path to try (the converted one when nothing matches).
    [[nodiscard]] static std::string resolvePath(const char* path);
    // Whether the (resolved) path names an existing entry.
    static bool exists(const char* path);
    static bool isDirectory(const char* path);
    // The path to write: the resolved path when the file exists, otherwise the resolved
    // directory part followed by the new file's name as written.
    [[nodiscard]] static std::string resolveWritePath(const char* path);
    // fopen of the resolved path (for writing, the directory part is resolved).
    [[nodiscard]] static FILE* openFile(const char* path, const char* mode);
    // The file `name` names inside the folder tree of `root`, for writing: taken relative to
    // root unless absolute, resolved as above, symbolic links followed and "." and ".." folded
    // (parts that do not exist yet are folded as written). Empty when that file would not lie
    // below root, or root does not exist.
    [[nodiscard]] static std::string resolveInsideTree(const char* root, const char* name);
    // Where a finished file takes the name `name` inside the folder tree of `root` (by renaming
    // it there): the folder resolved as above, the name itself kept, so that a link of that name
    // is replaced, never written through. Empty when the folder, or what a link of that name
    // leads to, would not lie below root.
    [[nodiscard]] static std::string resolveTargetInsideTree(const char* root, const char* name);
    // Beside `finalPath`, hidden, named after it and this process: where a file is written
    // before it takes its final name, so an interrupted write leaves the old file whole.
    [[nodiscard]] static std::string temporaryPathBeside(const std::string& finalPath);
    // Makes way for a new file at `path` that the writers (openFile, which also matches names
    // ignoring case) open as it is: removes whatever is there, a link itself and never what it
    // points to. False when something is still there, or another entry's name differs from it
    // only in letter case.
    [[nodiscard]] static bool clearForWriting(const std::string& path);
    // Whether the path's name ends in "." + extension, ignoring letter case.
    static bool hasExtension(const char* path, const char* extension);
    // Reads a whole file; false when it cannot be opened or read, or is larger than maxBytes.
    static bool readFile(const char* path, std::vector<unsigned char>& data,
                         size_t maxBytes = size_t(1) << 30);
    // Names of a directory's entries in case-insensitive order ("." and ".." left out).
    struct Entry {
        std::string name;
        bool isDirectory;
    };
    [[nodiscard]] static std::vector<Entry> listDirectory(const char* directory);
};

// Case-insensitive byte comparison (ASCII letters), like the original platform's _stricmp.
int compareNoCase(const char* a, const char* b);
