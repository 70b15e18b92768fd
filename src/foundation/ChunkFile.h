// Chunk files: the container of every binary data file. A file is a flag byte (0 plain,
// anything else bzip2-compressed behind a 4-byte uncompressed length) and a chunk stream of
// one root chunk; a chunk is a 16-bit identifier, a 32-bit size covering the whole chunk, its
// own fields, then its children back to back. All values are little-endian.
//
// Writing builds the stream in "<name>_tmp" and seals the target when the writer manager goes
// away. Reading loads the whole stream into memory; every read stays inside it and yields
// zeros past its end, so no file can make a reader leave its buffer or walk forever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "foundation/Point3D.h"
#include "foundation/Quaternion.h"
#include "foundation/Matrix.h"
#include "foundation/StringC.h"

// Limits shared by the writer and the reader (change together): a compressed stream may expand
// to at most kChunkMaxExpansion times its compressed size (but always to kChunkMinBound bytes)
// and never beyond kChunkMaxStream bytes. The writer stores a stream plainly when it would break
// these limits, so that everything it writes can be read back.
inline constexpr uint32_t kChunkMaxStream = 256u << 20;
inline constexpr uint64_t kChunkMaxExpansion = 256;
inline constexpr uint32_t kChunkMinBound = 1u << 20;
// The longest string the encoding holds (the reader consumes at most 256 bytes).
inline constexpr int kChunkMaxString = 255;

// The largest uncompressed length accepted for a compressed stream of `compressedBytes` bytes.
uint32_t chunkUncompressedBound(uint64_t compressedBytes);

// The typed writes of the encoding, one interface for the writer manager and the chunk writer.
// `Sink` supplies writeBytes(data, n) and takesWrites() (false: every write is dropped, its
// reports too); the values go out little-endian.
template <class Sink>
class ChunkValueWriter {
public:
    void writeByte(uint8_t v);
    void writeShort(int16_t v);
    void writeInt(int32_t v);
    void writeFloat(float v);
    // The characters and a 0 byte; a null string reports and writes the 0 byte alone, a string
    // longer than 255 characters is truncated to its first 255 (with a report).
    void writeString(const StringC& s);
    void writePoint3D(const Point3D& p);
    // Rows 0-3, first three columns each (twelve floats).
    void writeMatrix(const Matrix& m);
    // w, x, y, z.
    void writeQuaternion(const Quaternion& q);

private:
    Sink& sink() { return static_cast<Sink&>(*this); }
};

class ChunkFileWriterManager : public ChunkValueWriter<ChunkFileWriterManager> {
public:
    ChunkFileWriterManager(const StringC& fileName, bool compress);
    ~ChunkFileWriterManager();
    ChunkFileWriterManager(const ChunkFileWriterManager&) = delete;
    ChunkFileWriterManager& operator=(const ChunkFileWriterManager&) = delete;

    bool isOpen() const { return m_pFile != nullptr; }
    uint32_t getOffset() const { return m_offset; }

    // Used by ChunkFileWriter::close: the temporary file's real position, and patching a 32-bit
    // value at a stream offset without moving the write position.
    long filePosition() const;
    void patchInt(uint32_t offset, int32_t v);

private:
    friend class ChunkValueWriter<ChunkFileWriterManager>;
    friend class ChunkFileWriter;
    bool takesWrites() const { return true; }
    void writeBytes(const void* data, size_t n);
    void seal();

    StringC m_fileName;
    bool m_compress;
    FILE* m_pFile = nullptr;
    uint32_t m_offset = 0;
};

// One open chunk while writing; a short-lived local of the routine that writes the chunk. Its
// writes go to the manager (none without one).
class ChunkFileWriter : public ChunkValueWriter<ChunkFileWriter> {
public:
    explicit ChunkFileWriter(ChunkFileWriterManager* pManager);

    // Begins the chunk at the manager's write offset (identifier and a placeholder size).
    void start(uint16_t identifier);
    // Patches the chunk's size; call after its fields and all its children are written.
    void close();

private:
    friend class ChunkValueWriter<ChunkFileWriter>;
    bool takesWrites() const { return m_pManager != nullptr; }
    void writeBytes(const void* data, size_t n)
    {
        if (m_pManager) m_pManager->writeBytes(data, n);
    }

    ChunkFileWriterManager* m_pManager;
    uint16_t m_identifier = 0;
    uint32_t m_size = 0;
    uint32_t m_start = 0;
};

class ChunkFileReaderManager {
public:
    // Loads the whole file; on any failure it reports and holds no buffer.
    explicit ChunkFileReaderManager(const StringC& fileName);
    // Loads from the bytes of a file already in memory (`fileName` names it in reports).
    ChunkFileReaderManager(const StringC& fileName, const uint8_t* data, size_t size);
    ChunkFileReaderManager(const ChunkFileReaderManager&) = delete;
    ChunkFileReaderManager& operator=(const ChunkFileReaderManager&) = delete;

    bool hasBuffer() const { return m_loaded; }
    bool isCompressed() const { return m_compressed; }
    // Bytes of the chunk stream in memory (0 without a buffer).
    uint32_t getStreamSize() const { return static_cast<uint32_t>(m_buffer.size()); }
    const uint8_t* getStream() const { return m_buffer.data(); }

    uint32_t getOffset() const { return m_offset; }
    void setOffset(uint32_t offset) { m_offset = offset; }

    // Each decodes at the read offset and advances it by the width; bytes past the end of the
    // stream read as 0. The fixed-width reads are inline: meshes read them by the hundred thousand.
    uint8_t readByte() { return static_cast<uint8_t>(readLittle<1>()); }
    int16_t readShort() { return static_cast<int16_t>(readLittle<2>()); }
    int32_t readInt() { return static_cast<int32_t>(readLittle<4>()); }
    float readFloat()
    {
        const uint32_t u = readLittle<4>();
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    void readString(StringC& s);
    Point3D readPoint3D()
    {
        Point3D p;
        p.x = readFloat();
        p.y = readFloat();
        p.z = readFloat();
        return p;
    }
    Matrix readMatrix();
    Quaternion readQuaternion();

private:
    void load(const uint8_t* data, size_t size);
    void readBytes(void* out, uint32_t n);
    // N little-endian bytes at the read offset: straight from the buffer when they are all
    // inside it, else through readBytes (zeros past the end).
    template <int N>
    uint32_t readLittle()
    {
        uint8_t b[N];
        const uint8_t* p = b;
        if (size_t(m_offset) + N <= m_buffer.size()) {
            p = m_buffer.data() + m_offset;
            m_offset += N;
        } else {
            readBytes(b, N);
        }
        uint32_t v = 0;
        for (int i = 0; i < N; ++i) v |= uint32_t(p[i]) << (8 * i);
        return v;
    }

    StringC m_fileName;
    std::vector<uint8_t> m_buffer;
    bool m_loaded = false;
    bool m_compressed = false;
    uint32_t m_offset = 0;
};

// One chunk while reading. Constructing it on a manager reads the header at the manager's read
// offset; nextChild walks the children once the chunk's own fields have been read.
class ChunkFileReader {
public:
    ChunkFileReader() = default;
    explicit ChunkFileReader(ChunkFileReaderManager* pManager);

    uint16_t getIdentifier() const { return m_identifier; }
    uint32_t getSize() const { return m_size; }
    uint32_t getStart() const { return m_start; }
    ChunkFileReaderManager* getManager() const { return m_pManager; }
    // Bytes left between the read offset and the chunk's end (clamped to the stream), for
    // loaders that check a count against the room it needs.
    uint32_t getRemaining() const;

    uint8_t readByte() { return m_pManager ? m_pManager->readByte() : 0; }
    int16_t readShort() { return m_pManager ? m_pManager->readShort() : 0; }
    int32_t readInt() { return m_pManager ? m_pManager->readInt() : 0; }
    float readFloat() { return m_pManager ? m_pManager->readFloat() : 0.0f; }
    void readString(StringC& s);
    Point3D readPoint3D() { return m_pManager ? m_pManager->readPoint3D() : Point3D(); }
    Matrix readMatrix();
    Quaternion readQuaternion();

    // Makes `child` the next child chunk and returns true, or returns false when there is none.
    // A child smaller than its header or reaching past this chunk ends the walk (reported).
    [[nodiscard]] bool nextChild(ChunkFileReader& child);

private:
    ChunkFileReaderManager* m_pManager = nullptr;
    uint16_t m_identifier = 0;
    uint32_t m_size = 0;
    uint32_t m_start = 0;
    uint32_t m_cursor = 0;
    bool m_walkEnded = false;
};

// The root identifier of chunk-file bytes that the reader takes without a report: the conditions
// of its own checks on the flag byte and the compressed header, and a compressed stream must open
// as bzip2 data ("BZh"), so that only a damaged file can still make the reader speak. None for
// any other bytes. (Whether a file at a name may be replaced by a chunk file of that kind.)
std::optional<uint16_t> quietChunkRoot(const std::vector<unsigned char>& data);
