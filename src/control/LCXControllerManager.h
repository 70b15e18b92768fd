// LCXControllerManager: holds the one controller of a .lcx file, creates it by type code,
// and loads and saves it as a chunk file (root 1, chunk 2 = type code + the controller's chunks).
#pragma once

#include <memory>

#include "control/LCXController.h"

class LCXControllerManager {
public:
    LCXControllerManager() = default;
    // Destroys the controller (a recording controller writes its recording then).
    ~LCXControllerManager();
    LCXControllerManager(const LCXControllerManager&) = delete;
    LCXControllerManager& operator=(const LCXControllerManager&) = delete;

    // Replaces the controller by a fresh one of that type; an unknown type reports and leaves
    // the manager empty.
    void create(int type);
    // Reads the file; with several chunk 2 the last one wins. A bad file leaves it empty.
    void load(const StringC& fileName);
    // Reads from the bytes of a file already in memory (`fileName` names it in reports).
    void load(const StringC& fileName, const uint8_t* data, size_t size);
    // Writes the controller uncompressed; nothing (with a report) while the manager is empty.
    void save(const StringC& fileName) const;

    // Whether the file is one load() reads as a controller file (its root chunk is the .lcx
    // root). A plain check: it reads the file quietly and reports nothing.
    static bool isControllerFile(const char* fileName);

    LCXController* getController() const { return m_pController.get(); }
    // Gives the controller away (the manager is then empty).
    std::unique_ptr<LCXController> release() { return std::move(m_pController); }

private:
    void read(ChunkFileReaderManager& reader);

    std::unique_ptr<LCXController> m_pController;
};
