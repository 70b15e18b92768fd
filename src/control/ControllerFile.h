// The container shape shared by .lcx and .lecx files: a root chunk holding controller chunks,
// each starting with the controller's type code followed by the controller's own data. Both
// controller managers load and save through the routines here.
#pragma once

#include <memory>

#include "foundation/ChunkFile.h"
#include "foundation/Report.h"
#include "foundation/StringC.h"

// A controller file kind: its root and controller chunk identifiers, the caption of its
// reports and the text reported for a file whose root chunk is another one.
struct ControllerFileKind {
    int rootId;
    int controllerId;
    const char* caption;
    const char* notThisKind;
};

// The loading loop of a controller manager: empties `slot`, then for each controller chunk under
// the root `create(type)` refills it (leaving it empty for an unknown type) and `read(*slot,
// chunk)` reads the controller's data; with several chunks the last one wins. A root of another
// kind is reported and leaves `slot` empty.
template <class Controller, class Create, class Read>
void readControllerFile(ChunkFileReaderManager& manager, const ControllerFileKind& kind,
                        std::unique_ptr<Controller>& slot, Create create, Read read)
{
    slot.reset();
    ChunkFileReader root(&manager);
    if (root.getIdentifier() != kind.rootId) return reportWarning(kind.caption, kind.notThisKind);
    ChunkFileReader child;
    while (root.nextChild(child)) {
        if (child.getIdentifier() != kind.controllerId) continue;
        create(child.readInt());
        if (slot) read(*slot, child);
    }
}

// Writes an uncompressed file holding `controller` (its type code, then `write(*controller,
// manager)` writes its data); without a controller it reports and writes nothing.
template <class Controller, class Write>
void saveControllerFile(const StringC& fileName, const ControllerFileKind& kind, const Controller* controller,
                        Write write)
{
    if (!controller) return reportWarning(kind.caption, "save: no controller");
    ChunkFileWriterManager manager(fileName, false);
    if (!manager.isOpen()) return;
    ChunkFileWriter root(&manager);
    root.start(kind.rootId);
    ChunkFileWriter chunk(&manager);
    chunk.start(kind.controllerId);
    chunk.writeInt(controller->getType());
    write(*controller, manager);
    chunk.close();
    root.close();
}
