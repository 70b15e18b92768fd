// The container shape shared by .lcx and .lecx files: a root chunk holding controller chunks,
// each starting with the controller's type code followed by the controller's own data.
#pragma once

#include "foundation/ChunkFile.h"
#include "foundation/StringC.h"

// Walks the controller chunks under the root; `each(type, chunk)` makes and reads each one.
// False when the root chunk is not `rootId`.
template <class Each>
[[nodiscard]] bool readControllerChunks(ChunkFileReaderManager& manager, int rootId, int controllerId, Each each)
{
    ChunkFileReader root(&manager);
    if (root.getIdentifier() != rootId) return false;
    ChunkFileReader child;
    while (root.nextChild(child)) {
        if (child.getIdentifier() != controllerId) continue;
        const int type = child.readInt();
        each(type, child);
    }
    return true;
}

// Writes a file holding one controller of `type`; `body(manager)` writes the controller's data.
template <class Body>
void writeControllerFile(const StringC& fileName, int rootId, int controllerId, int type, Body body)
{
    ChunkFileWriterManager manager(fileName, false);
    if (!manager.isOpen()) return;
    ChunkFileWriter root(&manager);
    root.start(rootId);
    ChunkFileWriter chunk(&manager);
    chunk.start(controllerId);
    chunk.writeInt(type);
    body(manager);
    chunk.close();
    root.close();
}
