// LECXControllerManager: holds the one controller of a .lecx file, created by type code, and
// loads and saves it as a chunk file (root 10, chunk 12 = type code + the parameter tree).
#pragma once

#include <memory>

#include "control/LECXController.h"

class LECXControllerManager {
public:
    using Factory = std::unique_ptr<LECXController> (*)();

    LECXControllerManager() = default;
    ~LECXControllerManager();
    LECXControllerManager(const LECXControllerManager&) = delete;
    LECXControllerManager& operator=(const LECXControllerManager&) = delete;

    // Replaces how controllers of a type (1 to 4) are made; the 3D engine registers its scene
    // kind this way. Null puts the built-in kind back.
    static void registerKind(int type, Factory factory);

    // Replaces the controller by an empty one of that type; an unknown type reports and leaves
    // the manager empty.
    void create(int type);
    // Reads the file; with several chunk 12 the last one wins. A bad file leaves it empty.
    void load(const StringC& fileName);
    void load(const StringC& fileName, const uint8_t* data, size_t size);
    // Writes the controller uncompressed; nothing (with a report) while the manager is empty.
    void save(const StringC& fileName) const;

    LECXController* getController() const { return m_pController.get(); }

private:
    void read(ChunkFileReaderManager& manager);

    std::unique_ptr<LECXController> m_pController;
};
