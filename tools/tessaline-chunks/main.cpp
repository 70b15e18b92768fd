// tessaline-chunks FILE: prints the chunk tree of a chunk file (.lcx, .lecx, .l3x): the
// container (plain or compressed), then every chunk with its identifier, size, stream offset
// and first payload bytes. Exit status 0 for a well-formed file, 1 for a malformed one, 2 for
// bad usage.
//
// A chunk's own fields come before its children and their layout depends on the file kind, so
// the tool finds the children itself: the first payload offset from which the rest of the
// payload splits exactly into chunks of at least 6 bytes. A payload with no such offset is
// shown as fields only. In .l3x files (root 0xD0CE) each chunk is also named after its record.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/ChunkFile.h"
#include "s3d/L3xFormat.h"

namespace {
const char* const kTool = "tessaline-chunks";
const uint32_t kHexBytes = 16;
const int kMaxIndent = 32;

struct Node {
    uint32_t start;
    uint32_t depth;
    const L3xChunkKind* kind;  // the .l3x record, null when unknown
};

uint32_t readU32(const uint8_t* s, uint32_t size, uint64_t at)
{
    if (at + 4 > size) return 0;
    return uint32_t(s[at]) | uint32_t(s[at + 1]) << 8 | uint32_t(s[at + 2]) << 16 | uint32_t(s[at + 3]) << 24;
}

class TreePrinter {
public:
    explicit TreePrinter(ChunkFileReaderManager& manager) : m_manager(manager) {}

    void print()
    {
        m_manager.setOffset(0);
        const bool l3x = ChunkFileReader(&m_manager).getIdentifier() == kL3xRoot;
        std::vector<Node> stack{{0, 0, l3x ? &l3xRootKind() : nullptr}};
        while (!stack.empty()) {
            const Node node = stack.back();
            stack.pop_back();
            m_manager.setOffset(node.start);
            ChunkFileReader chunk(&m_manager);
            const uint32_t fields = childrenStart(chunk.getStart(), chunk.getSize());
            printChunk(chunk, node.depth, fields, node.kind);
            if (fields == chunk.getSize() - 6) continue;
            // The reader walks from the end of the fields; children go on the stack in reverse
            // so that they print in file order.
            m_manager.setOffset(chunk.getStart() + 6 + fields);
            std::vector<Node> children;
            ChunkFileReader child;
            while (chunk.nextChild(child))
                children.push_back({child.getStart(), node.depth + 1,
                                    node.kind ? l3xFindChild(*node.kind, child.getIdentifier()) : nullptr});
            stack.insert(stack.end(), children.rbegin(), children.rend());
        }
    }

    bool searchStopped() const { return m_budget == 0; }

private:
    // Bytes of own fields before the first child; the whole payload when it has no children.
    uint32_t childrenStart(uint32_t start, uint32_t size)
    {
        const uint32_t payload = size - 6;
        const uint64_t end = uint64_t(start) + size;
        const uint8_t* s = m_manager.getStream();
        const uint32_t streamSize = m_manager.getStreamSize();
        for (uint32_t fields = 0; fields + 6 <= payload; ++fields) {
            uint64_t at = uint64_t(start) + 6 + fields;
            while (m_budget > 0) {
                --m_budget;
                const uint32_t childSize = readU32(s, streamSize, at + 2);
                if (childSize < 6 || at + childSize > end) break;
                at += childSize;
                if (at == end) return fields;
            }
            if (m_budget == 0) break;
        }
        return payload;
    }

    void printChunk(const ChunkFileReader& chunk, uint32_t depth, uint32_t fields, const L3xChunkKind* kind)
    {
        const int indent = 2 * static_cast<int>(std::min<uint32_t>(depth, kMaxIndent));
        std::printf("%*s%s[%u] id %u%s%s size %u offset %u fields %u:", indent, "", depth > kMaxIndent ? "~" : "",
                    depth, chunk.getIdentifier(), kind ? " " : "", kind ? kind->name : "", chunk.getSize(),
                    chunk.getStart(), fields);
        const uint8_t* s = m_manager.getStream();
        const uint32_t shown = std::min(fields, kHexBytes);
        for (uint32_t i = 0; i < shown; ++i) std::printf(" %02x", s[chunk.getStart() + 6 + i]);
        if (fields > shown) std::printf(" ...");
        std::printf("\n");
    }

    ChunkFileReaderManager& m_manager;
    // Steps of the child search over the whole file, so that a hostile file cannot make the
    // search quadratic without end.
    uint64_t m_budget = 50'000'000;
};

int malformed(const char* file, const std::string& why)
{
    std::fprintf(stderr, "%s: %s: malformed chunk file: %s\n", kTool, file, why.c_str());
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: %s FILE\n  prints the chunk tree of a chunk file (.lcx, .lecx, .l3x)\n", kTool);
        return argc == 2 ? 0 : 2;
    }
    const char* file = argv[1];
    ChunkFileReaderManager manager(file);
    if (!manager.hasBuffer()) return malformed(file, "cannot be loaded (see the report above)");

    const uint32_t streamSize = manager.getStreamSize();
    std::printf("%s: %s, chunk stream of %u bytes\n", file, manager.isCompressed() ? "bzip2-compressed" : "plain",
                streamSize);
    if (streamSize < 6) return malformed(file, "the stream is shorter than a chunk header");
    const uint32_t rootSize = readU32(manager.getStream(), streamSize, 2);
    if (rootSize < 6) return malformed(file, "the root chunk's size " + std::to_string(rootSize) + " is below 6");
    if (rootSize > streamSize)
        return malformed(file, "the root chunk's size " + std::to_string(rootSize) + " passes the end of the stream");

    TreePrinter printer(manager);
    printer.print();
    if (printer.searchStopped()) std::printf("(child search stopped early: some chunks are shown as fields only)\n");
    if (rootSize < streamSize)
        return malformed(file, std::to_string(streamSize - rootSize) + " bytes follow the root chunk");
    return 0;
}
