// libFuzzer target for the chunk reader: the input is a chunk file (any flag byte). A first
// byte of 0xFE instead makes the rest a chunk stream that is bzip2-compressed first, so the
// walk also runs over compressed files with valid bzip2 data. Every chunk is visited
// (iteratively), a few primitives are read from each, and the three track managers load from
// the root.
#include <bzlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "control/TrackManager.h"
#include "foundation/ChunkFile.h"
#include "foundation/Report.h"

namespace {
void walk(ChunkFileReaderManager& manager)
{
    std::vector<uint32_t> stack{0};
    size_t visited = 0;
    while (!stack.empty() && visited < 100000) {
        ++visited;
        manager.setOffset(stack.back());
        stack.pop_back();
        ChunkFileReader chunk(&manager);
        // The identifier picks what the chunk's fields are read as.
        StringC s;
        switch (chunk.getIdentifier() % 5) {
        case 0: break;
        case 1: chunk.readString(s); break;
        case 2: chunk.readMatrix(); break;
        case 3: chunk.readQuaternion(); chunk.readPoint3D(); break;
        case 4: chunk.readByte(); chunk.readShort(); chunk.readInt(); chunk.readFloat(); break;
        }
        ChunkFileReader child;
        while (chunk.nextChild(child)) stack.push_back(child.getStart());
    }
}

template <class M>
void loadTrack(ChunkFileReaderManager& manager)
{
    manager.setOffset(0);
    ChunkFileReader root(&manager);
    M m;
    m.load(root);
    for (float t : {-1.0f, 0.0f, 3.5f, 100.0f, 1e6f}) m.getValue(t);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setReportEcho(false);
    std::vector<uint8_t> file(data, data + size);
    if (size > 0 && data[0] == 0xFE) {
        std::vector<uint8_t> stream(data + 1, data + size);
        std::vector<uint8_t> packed(stream.size() + stream.size() / 100 + 700);
        unsigned int len = static_cast<unsigned int>(packed.size());
        if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(packed.data()), &len, reinterpret_cast<char*>(stream.data()),
                                     static_cast<unsigned int>(stream.size()), 1, 0, 30) != BZ_OK)
            return 0;
        const uint32_t n = static_cast<uint32_t>(stream.size());
        file = {1, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        file.insert(file.end(), packed.begin(), packed.begin() + len);
    }
    ChunkFileReaderManager manager("fuzz", file.data(), file.size());
    walk(manager);
    loadTrack<TrackManagerFloat>(manager);
    loadTrack<TrackManagerPoint3D>(manager);
    loadTrack<TrackManagerRotation>(manager);
    return 0;
}
