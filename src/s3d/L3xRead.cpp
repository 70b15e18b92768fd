#include "s3d/L3xRead.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

int countItems(const ChunkFileReader& r, uint16_t itemId)
{
    ChunkFileReaderManager* m = r.getManager();
    if (!m) return 0;
    const uint32_t offset = m->getOffset();
    ChunkFileReader walk = r, child;
    int n = 0;
    while (walk.nextChild(child)) n += child.getIdentifier() == itemId;
    m->setOffset(offset);
    return n;
}

int clampItemCount(const ChunkFileReader& r, int64_t count, int present, const char* caption, const char* what)
{
    if (count <= 0) return 0;
    const int64_t room = r.getRemaining() / kL3xChunkHeader;
    const int64_t limit = std::min<int64_t>(room, int64_t(present) + kMaxMissingItems);
    if (count <= limit) return static_cast<int>(count);
    reportWarning(caption, (std::string(what) + ": count larger than its chunk").c_str());
    return static_cast<int>(limit);
}

std::vector<uint8_t> readPayload(const ChunkFileReader& r)
{
    const ChunkFileReaderManager* m = r.getManager();
    if (!m || r.getSize() < kL3xChunkHeader) return {};
    const uint64_t begin = static_cast<uint64_t>(r.getStart()) + kL3xChunkHeader;
    const uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(r.getStart()) + r.getSize(), m->getStreamSize());
    if (begin >= end) return {};
    return std::vector<uint8_t>(m->getStream() + begin, m->getStream() + end);
}

std::string formatText(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}
