#include "foundation/ChunkFile.h"

#include <bzlib.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/FileTools.h"
#include "foundation/Report.h"

namespace {
const char* const kWriterManagerCaption = "ChunkFileWriterManager: ";
const char* const kWriterCaption = "ChunkFileWriter: ";
const char* const kReaderManagerCaption = "ChunkFileReaderManager: ";
const char* const kReaderCaption = "ChunkFileReader: ";

void reportWithName(const char* caption, const char* text, const StringC& name)
{
    std::string t(text);
    if (name.getName()) t += name.getName();
    reportWarning(caption, t.c_str());
}

void putU32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t getU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t floatBits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}
} // namespace

uint32_t chunkUncompressedBound(uint64_t compressedBytes)
{
    const uint64_t bound = std::max<uint64_t>(kChunkMinBound, compressedBytes * kChunkMaxExpansion);
    return static_cast<uint32_t>(std::min<uint64_t>(bound, kChunkMaxStream));
}

// --- writing ---------------------------------------------------------------------------------

ChunkFileWriterManager::ChunkFileWriterManager(const StringC& fileName, bool compress)
    : m_fileName(fileName), m_compress(compress)
{
    if (!fileName.isNull()) {
        const std::string tmp = std::string(fileName.getName()) + "_tmp";
        m_pFile = FileTools::openFile(tmp.c_str(), "w+b");
    }
    if (!m_pFile) reportWithName(kWriterManagerCaption, "can't open file for writing! fileName: ", fileName);
}

ChunkFileWriterManager::~ChunkFileWriterManager()
{
    if (m_pFile) seal();
}

void ChunkFileWriterManager::writeBytes(const void* data, size_t n)
{
    if (!m_pFile) return;
    std::fwrite(data, 1, n, m_pFile);
    m_offset += static_cast<uint32_t>(n);
}

long ChunkFileWriterManager::filePosition() const { return m_pFile ? std::ftell(m_pFile) : -1; }

void ChunkFileWriterManager::patchInt(uint32_t offset, int32_t v)
{
    if (!m_pFile) return;
    const long back = std::ftell(m_pFile);
    uint8_t b[4];
    putU32(b, static_cast<uint32_t>(v));
    if (std::fseek(m_pFile, static_cast<long>(offset), SEEK_SET) == 0) std::fwrite(b, 1, 4, m_pFile);
    std::fseek(m_pFile, back, SEEK_SET);
}

// Writes the target: the flag byte, then the stream plainly, or the uncompressed length and the
// bzip2 stream. Data that bzip2 cannot fit into a buffer as large as the input, or that would
// expand beyond what the reader accepts, is written plainly with flag 0.
void ChunkFileWriterManager::seal()
{
    std::vector<uint8_t> stream;
    bool ok = std::fflush(m_pFile) == 0 && std::fseek(m_pFile, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(m_pFile) : -1;
    ok = ok && size >= 0 && std::fseek(m_pFile, 0, SEEK_SET) == 0;
    if (ok) {
        stream.resize(static_cast<size_t>(size));
        ok = stream.empty() || std::fread(stream.data(), 1, stream.size(), m_pFile) == stream.size();
    }
    std::fclose(m_pFile);
    m_pFile = nullptr;
    const std::string tmp = std::string(m_fileName.getName()) + "_tmp";
    std::remove(FileTools::resolvePath(tmp.c_str()).c_str());
    if (!ok) {
        reportWithName(kWriterManagerCaption, "can't read temporary file! fileName: ", m_fileName);
        return;
    }

    FILE* out = FileTools::openFile(m_fileName.getName(), "w+b");
    if (!out) {
        reportWithName(kWriterManagerCaption, "can't open file for writing! fileName: ", m_fileName);
        return;
    }
    const unsigned int length = static_cast<unsigned int>(stream.size());
    std::vector<uint8_t> packed;
    unsigned int packedLength = 0;
    bool compressed = false;
    if (m_compress) {
        // Output capacity equal to the input: what bzip2 cannot shrink does not fit.
        packed.resize(std::max<size_t>(stream.size(), 1));
        packedLength = length;
        const int rc = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(packed.data()), &packedLength,
                                                reinterpret_cast<char*>(stream.data()), length, 1, 0, 30);
        compressed = rc == BZ_OK && length <= chunkUncompressedBound(packedLength);
    }
    bool written;
    if (compressed) {
        uint8_t head[5] = {1, 0, 0, 0, 0};
        putU32(head + 1, length);
        written = std::fwrite(head, 1, 5, out) == 5 &&
                  std::fwrite(packed.data(), 1, packedLength, out) == packedLength;
    } else {
        const uint8_t flag = 0;
        written = std::fwrite(&flag, 1, 1, out) == 1 &&
                  (stream.empty() || std::fwrite(stream.data(), 1, stream.size(), out) == stream.size());
    }
    if (std::fclose(out) != 0 || !written)
        reportWithName(kWriterManagerCaption, "can't write file! fileName: ", m_fileName);
}

ChunkFileWriter::ChunkFileWriter(ChunkFileWriterManager* pManager) : m_pManager(pManager)
{
    if (!pManager) reportWarning(kWriterCaption, "::ChunkFileWriter: pManager NULL !");
}

void ChunkFileWriter::start(uint16_t identifier)
{
    if (!m_pManager) return;
    m_identifier = identifier;
    m_start = m_pManager->getOffset();
    m_pManager->writeShort(static_cast<int16_t>(identifier));
    m_pManager->writeInt(2);  // placeholder, patched by close()
}

void ChunkFileWriter::close()
{
    if (!m_pManager || !m_pManager->isOpen()) return;
    m_size = m_pManager->getOffset() - m_start;
    if (m_pManager->filePosition() != static_cast<long>(m_pManager->getOffset()))
        reportWarning(kWriterCaption, "blem ftell & manager offset");
    m_pManager->patchInt(m_start + 2, static_cast<int32_t>(m_size));
}

// The typed writes, for both sinks.

template <class Sink>
void ChunkValueWriter<Sink>::writeByte(uint8_t v) { sink().writeBytes(&v, 1); }

template <class Sink>
void ChunkValueWriter<Sink>::writeShort(int16_t v)
{
    const uint16_t u = static_cast<uint16_t>(v);
    const uint8_t b[2] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)};
    sink().writeBytes(b, 2);
}

template <class Sink>
void ChunkValueWriter<Sink>::writeInt(int32_t v)
{
    uint8_t b[4];
    putU32(b, static_cast<uint32_t>(v));
    sink().writeBytes(b, 4);
}

template <class Sink>
void ChunkValueWriter<Sink>::writeFloat(float v) { writeInt(static_cast<int32_t>(floatBits(v))); }

template <class Sink>
void ChunkValueWriter<Sink>::writeString(const StringC& s)
{
    if (!sink().takesWrites()) return;
    if (s.isNull()) {
        reportWarning(kWriterManagerCaption, "found NULL string");
        writeByte(0);
        return;
    }
    size_t n = std::strlen(s.getName());
    if (n > static_cast<size_t>(kChunkMaxString)) {
        reportWarning(kWriterManagerCaption, "string longer than 255 characters truncated");
        n = kChunkMaxString;
    }
    sink().writeBytes(s.getName(), n);
    writeByte(0);
}

template <class Sink>
void ChunkValueWriter<Sink>::writePoint3D(const Point3D& p)
{
    writeFloat(p.x);
    writeFloat(p.y);
    writeFloat(p.z);
}

template <class Sink>
void ChunkValueWriter<Sink>::writeMatrix(const Matrix& m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) writeFloat(m.m[r][c]);
}

template <class Sink>
void ChunkValueWriter<Sink>::writeQuaternion(const Quaternion& q)
{
    writeFloat(q.w);
    writeFloat(q.x);
    writeFloat(q.y);
    writeFloat(q.z);
}

template class ChunkValueWriter<ChunkFileWriterManager>;
template class ChunkValueWriter<ChunkFileWriter>;

// --- reading ---------------------------------------------------------------------------------

ChunkFileReaderManager::ChunkFileReaderManager(const StringC& fileName) : m_fileName(fileName)
{
    std::vector<uint8_t> file;
    // A plain stream is at most kChunkMaxStream bytes after its flag byte.
    if (fileName.isNull() || !FileTools::readFile(fileName.getName(), file, size_t(kChunkMaxStream) + 1)) {
        reportWithName(kReaderManagerCaption, "can't open file for reading! fileName: ", fileName);
        return;
    }
    load(file.data(), file.size());
}

ChunkFileReaderManager::ChunkFileReaderManager(const StringC& fileName, const uint8_t* data, size_t size)
    : m_fileName(fileName)
{
    load(data, size);
}

void ChunkFileReaderManager::load(const uint8_t* data, size_t size)
{
    if (size < 1 || !data) {
        reportWithName(kReaderManagerCaption, "empty file! fileName: ", m_fileName);
        return;
    }
    if (data[0] == 0) {
        if (size - 1 > kChunkMaxStream) {
            reportWithName(kReaderManagerCaption, "file too large! fileName: ", m_fileName);
            return;
        }
        m_buffer.assign(data + 1, data + size);
        m_loaded = true;
        return;
    }
    m_compressed = true;
    if (size < 5) {
        reportWithName(kReaderManagerCaption, "truncated compressed header! fileName: ", m_fileName);
        return;
    }
    const uint32_t length = getU32(data + 1);
    const size_t packedLength = size - 5;
    if (length > chunkUncompressedBound(packedLength)) {
        reportWithName(kReaderManagerCaption, "uncompressed length out of bounds! fileName: ", m_fileName);
        return;
    }
    // One spare byte: a stream that decompresses to more than `length` fills it and is refused.
    std::vector<uint8_t> out(size_t(length) + 1);
    unsigned int outLength = length + 1;
    // bzip2 takes a non-const source; it does not write to it.
    std::vector<uint8_t> packed(data + 5, data + size);
    const int rc = BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.data()), &outLength,
                                              reinterpret_cast<char*>(packed.data()),
                                              static_cast<unsigned int>(packedLength), 0, 0);
    if (rc != BZ_OK || outLength != length) {
        reportWithName(kReaderManagerCaption, "compressed data does not match its length! fileName: ", m_fileName);
        return;
    }
    out.resize(length);
    m_buffer = std::move(out);
    m_loaded = true;
}

void ChunkFileReaderManager::readBytes(void* out, uint32_t n)
{
    uint8_t* dst = static_cast<uint8_t*>(out);
    const uint64_t size = m_buffer.size();
    const uint64_t at = m_offset;
    const uint64_t avail = at < size ? std::min<uint64_t>(n, size - at) : 0;
    if (avail) std::memcpy(dst, m_buffer.data() + at, static_cast<size_t>(avail));
    std::memset(dst + avail, 0, static_cast<size_t>(n - avail));
    m_offset = static_cast<uint32_t>(std::min<uint64_t>(at + n, UINT32_MAX));
}

void ChunkFileReaderManager::readString(StringC& s)
{
    // Up to 256 bytes including the terminating 0; the buffer keeps a final 0 in any case.
    char text[kChunkMaxString + 2] = {};
    for (int i = 0; i <= kChunkMaxString; ++i) {
        text[i] = static_cast<char>(readByte());
        if (text[i] == 0) break;
    }
    s = text;
}

Matrix ChunkFileReaderManager::readMatrix()
{
    Matrix m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) m.m[r][c] = readFloat();
    m.m[3][3] = 1.0f;
    return m;
}

Quaternion ChunkFileReaderManager::readQuaternion()
{
    Quaternion q;
    q.w = readFloat();
    q.x = readFloat();
    q.y = readFloat();
    q.z = readFloat();
    return q;
}

ChunkFileReader::ChunkFileReader(ChunkFileReaderManager* pManager) : m_pManager(pManager)
{
    if (!pManager) return;
    m_start = pManager->getOffset();
    m_identifier = static_cast<uint16_t>(pManager->readShort());
    m_size = static_cast<uint32_t>(pManager->readInt());
}

uint32_t ChunkFileReader::getRemaining() const
{
    if (!m_pManager) return 0;
    const uint64_t end = std::min<uint64_t>(uint64_t(m_start) + m_size, m_pManager->getStreamSize());
    const uint64_t at = m_pManager->getOffset();
    return at < end ? static_cast<uint32_t>(end - at) : 0;
}

void ChunkFileReader::readString(StringC& s)
{
    if (m_pManager) m_pManager->readString(s);
}
Matrix ChunkFileReader::readMatrix()
{
    if (m_pManager) return m_pManager->readMatrix();
    Matrix m;
    m.m[3][3] = 1.0f;
    return m;
}
Quaternion ChunkFileReader::readQuaternion()
{
    return m_pManager ? m_pManager->readQuaternion() : Quaternion(0.0f, 0.0f, 0.0f, 0.0f);
}

bool ChunkFileReader::nextChild(ChunkFileReader& child)
{
    if (!m_pManager || !m_pManager->hasBuffer() || m_walkEnded) return false;
    // The cursor skips whatever part of the previous child its reader left unread.
    if (m_cursor != 0) m_pManager->setOffset(m_cursor);
    const uint32_t p = m_pManager->getOffset();
    if (p - m_start >= m_size) return false;
    child = ChunkFileReader(m_pManager);
    // Every step moves the cursor forward by at least 6 bytes and stays inside this chunk and
    // the stream, so a walk ends on any data.
    const uint64_t childEnd = uint64_t(p) + child.m_size;
    if (child.m_size < 6) {
        reportWarning(kReaderCaption, "nextChild: chunk size below 6");
    } else if (childEnd > uint64_t(m_start) + m_size || childEnd > m_pManager->getStreamSize()) {
        reportWarning(kReaderCaption, "nextChild: chunk reaches past its parent");
    } else {
        m_cursor = static_cast<uint32_t>(childEnd);
        return true;
    }
    m_walkEnded = true;
    child = ChunkFileReader();
    return false;
}

std::optional<uint16_t> quietChunkRoot(const std::vector<unsigned char>& data)
{
    if (data.empty()) return std::nullopt;
    if (data[0] == 0) {
        if (data.size() - 1 > kChunkMaxStream) return std::nullopt;
    } else {
        if (data.size() < 8) return std::nullopt;
        const uint32_t length =
            uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16 | uint32_t(data[4]) << 24;
        if (length > chunkUncompressedBound(data.size() - 5) || data[5] != 'B' || data[6] != 'Z' || data[7] != 'h')
            return std::nullopt;
    }
    ChunkFileReaderManager reader("", data.data(), data.size());
    if (!reader.hasBuffer()) return std::nullopt;
    return ChunkFileReader(&reader).getIdentifier();
}
