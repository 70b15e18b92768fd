// Chunk files: primitive round trips, byte layouts, the child walk, and malformed input.
#include <gtest/gtest.h>

#include <bzlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "foundation/ChunkFile.h"
#include "support/TestSupport.h"

namespace {
const char* const kReaderManager = "ChunkFileReaderManager: ";
const char* const kReader = "ChunkFileReader: ";
const char* const kWriterManager = "ChunkFileWriterManager: ";

std::vector<uint8_t> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Little-endian byte builder for hand-made streams.
struct Bytes {
    std::vector<uint8_t> v;
    Bytes& u8(uint8_t b)
    {
        v.push_back(b);
        return *this;
    }
    Bytes& u16(uint16_t x) { return u8(uint8_t(x)).u8(uint8_t(x >> 8)); }
    Bytes& u32(uint32_t x) { return u16(uint16_t(x)).u16(uint16_t(x >> 16)); }
    Bytes& chunk(uint16_t id, uint32_t size) { return u16(id).u32(size); }
};

std::vector<uint8_t> floatBytes(std::initializer_list<float> fs)
{
    std::vector<uint8_t> out;
    for (float f : fs) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(u >> (8 * i)));
    }
    return out;
}

std::vector<uint8_t> bzip(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> src(data), out(data.size() + 1024);
    unsigned int len = static_cast<unsigned int>(out.size());
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &len,
                                       reinterpret_cast<char*>(src.data()), static_cast<unsigned int>(src.size()),
                                       1, 0, 30),
              BZ_OK);
    out.resize(len);
    return out;
}

ChunkFileReaderManager fromBytes(const std::vector<uint8_t>& file)
{
    return ChunkFileReaderManager("mem", file.data(), file.size());
}
} // namespace

TEST(ChunkFile, EveryPrimitiveRoundTripsPlainAndCompressed)
{
    ScratchDir dir;
    const std::string longText(255, 'x');
    Matrix m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = float(r * 4 + c + 1);  // column 3 holds garbage
    for (bool compress : {false, true}) {
        const std::string path = dir.path() + (compress ? "packed.lcx" : "plain.lcx");
        {
            ChunkFileWriterManager out(path.c_str(), compress);
            ChunkFileWriter root(&out);
            root.start(1);
            root.writeByte(200);
            root.writeShort(-12345);
            root.writeInt(-123456789);
            root.writeFloat(3.25f);
            root.writeString("hello");
            root.writeString("");
            root.writeString(longText.c_str());
            root.writePoint3D({1.5f, -2.5f, 1e-30f});
            root.writeMatrix(m);
            root.writeQuaternion({0.1f, 0.2f, 0.3f, 0.9f});
            // 256 zero bytes so that the compressed form is really smaller.
            for (int i = 0; i < 64; ++i) root.writeInt(0);
            ChunkFileWriter child(&out);
            child.start(2);
            child.writeInt(7);
            child.close();
            root.close();
            EXPECT_TRUE(std::filesystem::exists(path + "_tmp"));
        }
        EXPECT_FALSE(std::filesystem::exists(path + "_tmp")) << "temporary file removed on sealing";
        const std::vector<uint8_t> raw = readAll(path);
        ASSERT_GT(raw.size(), 5u);
        EXPECT_EQ(raw[0], compress ? 1 : 0);
        const uint32_t streamSize = 6 + 1 + 2 + 4 + 4 + 6 + 1 + 256 + 12 + 48 + 16 + 256 + 10;
        if (compress) {
            EXPECT_EQ(raw[1] | raw[2] << 8 | raw[3] << 16 | uint32_t(raw[4]) << 24, streamSize);
            EXPECT_EQ(std::string(raw.begin() + 5, raw.begin() + 8), "BZh");
            EXPECT_EQ(raw[8], '1') << "block size 1";
            EXPECT_LT(raw.size(), streamSize);
        } else {
            EXPECT_EQ(raw.size(), streamSize + 1);
        }

        ChunkFileReaderManager in(path.c_str());
        ASSERT_TRUE(in.hasBuffer());
        EXPECT_EQ(in.isCompressed(), compress);
        EXPECT_EQ(in.getStreamSize(), streamSize);
        ChunkFileReader root(&in);
        EXPECT_EQ(root.getIdentifier(), 1);
        EXPECT_EQ(root.getSize(), streamSize);
        EXPECT_EQ(root.readByte(), 200);
        EXPECT_EQ(root.readShort(), -12345);
        EXPECT_EQ(root.readInt(), -123456789);
        EXPECT_EQ(root.readFloat(), 3.25f);
        StringC s;
        root.readString(s);
        EXPECT_STREQ(s.getName(), "hello");
        root.readString(s);
        EXPECT_STREQ(s.getName(), "");
        const uint32_t before = in.getOffset();
        root.readString(s);
        EXPECT_EQ(std::string(s.getName()), longText);
        EXPECT_EQ(in.getOffset() - before, 256u) << "a 255-character string takes 256 bytes";
        EXPECT_EQ(root.readPoint3D(), Point3D(1.5f, -2.5f, 1e-30f));
        const Matrix back = root.readMatrix();
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(back.m[r][c], m.m[r][c]);
            EXPECT_EQ(back.m[r][3], r == 3 ? 1.0f : 0.0f) << "column 3 reads back as 0, 0, 0, 1";
        }
        EXPECT_EQ(root.readQuaternion(), Quaternion(0.1f, 0.2f, 0.3f, 0.9f));
        for (int i = 0; i < 64; ++i) root.readInt();
        ChunkFileReader child;
        ASSERT_TRUE(root.nextChild(child));
        EXPECT_EQ(child.getIdentifier(), 2);
        EXPECT_EQ(child.getSize(), 10u);
        EXPECT_EQ(child.readInt(), 7);
        EXPECT_FALSE(root.nextChild(child));
    }
}

TEST(ChunkFile, ByteExactLayout)
{
    ScratchDir dir;
    const std::string path = dir.path() + "layout.lcx";
    {
        ChunkFileWriterManager out(path.c_str(), false);
        ChunkFileWriter root(&out);
        root.start(0x0102);
        root.writeInt(0x11223344);
        root.writeQuaternion({0.1f, 0.2f, 0.3f, 0.9f});
        ChunkFileWriter empty(&out);
        empty.start(9);
        empty.close();
        root.close();
    }
    std::vector<uint8_t> expected = Bytes().u8(0).chunk(0x0102, 32).u32(0x11223344).v;
    const std::vector<uint8_t> quat = floatBytes({0.9f, 0.1f, 0.2f, 0.3f});
    expected.insert(expected.end(), quat.begin(), quat.end());
    const std::vector<uint8_t> tail = Bytes().chunk(9, 6).v;
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(readAll(path), expected);
}

TEST(ChunkFile, WriterAndReaderFailuresAreReported)
{
    ScratchDir dir;
    ReportCapture capture;
    const std::string path = dir.path() + "strings.lcx";
    {
        ChunkFileWriterManager out(path.c_str(), false);
        out.writeString(StringC());
        EXPECT_TRUE(capture.has(kWriterManager, "found NULL string"));
        out.writeString(std::string(300, 'y').c_str());
        EXPECT_TRUE(capture.has(kWriterManager, "string longer than 255 characters truncated"));
        EXPECT_EQ(out.getOffset(), 1u + 256u);
    }
    {
        ChunkFileReaderManager in(path.c_str());
        StringC s;
        in.readString(s);
        EXPECT_STREQ(s.getName(), "");
        in.readString(s);
        EXPECT_EQ(std::string(s.getName()), std::string(255, 'y'));
    }

    capture.clear();
    const std::string missingDir = dir.path() + "no/such/dir/out.lcx";
    {
        ChunkFileWriterManager out(missingDir.c_str(), true);
        EXPECT_FALSE(out.isOpen());
        out.writeInt(5);  // not attempted
        ChunkFileWriter w(&out);
        w.start(1);
        w.close();
        EXPECT_EQ(out.getOffset(), 0u);
    }
    EXPECT_TRUE(capture.has(kWriterManager, "can't open file for writing! fileName: " + missingDir));
    EXPECT_EQ(capture.count(), 1u);

    capture.clear();
    ChunkFileWriter orphan(nullptr);
    orphan.start(1);
    orphan.writeInt(1);
    orphan.close();
    EXPECT_TRUE(capture.has("ChunkFileWriter: ", "::ChunkFileWriter: pManager NULL !"));

    capture.clear();
    const std::string missing = dir.path() + "missing.lcx";
    ChunkFileReaderManager none(missing.c_str());
    EXPECT_TRUE(capture.has(kReaderManager, "can't open file for reading! fileName: " + missing));
    EXPECT_FALSE(none.hasBuffer());
    ChunkFileReader root(&none);
    EXPECT_EQ(root.readInt(), 0);
    EXPECT_EQ(root.readFloat(), 0.0f);
    ChunkFileReader child;
    EXPECT_FALSE(root.nextChild(child));
    ChunkFileReader detached;
    EXPECT_EQ(detached.readInt(), 0);
    EXPECT_FALSE(detached.nextChild(child));
}

TEST(ChunkFile, IncompressibleDataIsWrittenPlainly)
{
    ScratchDir dir;
    const std::string path = dir.path() + "noise.lcx";
    std::mt19937 rng(12345);
    std::vector<int32_t> values(4000);
    for (int32_t& v : values) v = static_cast<int32_t>(rng());
    {
        ChunkFileWriterManager out(path.c_str(), true);
        ChunkFileWriter root(&out);
        root.start(1);
        for (int32_t v : values) root.writeInt(v);
        root.close();
    }
    const std::vector<uint8_t> raw = readAll(path);
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ(raw[0], 0) << "flag 0: bzip2 could not shrink the stream";
    EXPECT_EQ(raw.size(), 1u + 6u + 4u * values.size());
    ChunkFileReaderManager in(path.c_str());
    ChunkFileReader root(&in);
    for (int32_t v : values) ASSERT_EQ(root.readInt(), v);
}

TEST(ChunkFile, ChildWalk)
{
    // Root 1 with an int field, then: an empty child (size 6), a child of two ints of which only
    // one is read, and two children with the same identifier 5.
    const std::vector<uint8_t> file = Bytes()
                                          .u8(0)
                                          .chunk(1, 6 + 4 + 6 + 14 + 10 + 10)
                                          .u32(42)
                                          .chunk(3, 6)
                                          .chunk(4, 14)
                                          .u32(100)
                                          .u32(200)
                                          .chunk(5, 10)
                                          .u32(1)
                                          .chunk(5, 10)
                                          .u32(2)
                                          .v;
    ChunkFileReaderManager in = fromBytes(file);
    ChunkFileReader root(&in);
    EXPECT_EQ(root.readInt(), 42);
    ChunkFileReader child;
    ASSERT_TRUE(root.nextChild(child));
    EXPECT_EQ(child.getIdentifier(), 3);
    EXPECT_EQ(child.getSize(), 6u);
    ChunkFileReader grandChild;
    EXPECT_FALSE(child.nextChild(grandChild)) << "a size-6 chunk has no children";
    ASSERT_TRUE(root.nextChild(child));
    EXPECT_EQ(child.getIdentifier(), 4);
    EXPECT_EQ(child.readInt(), 100);  // the second int stays unread
    std::vector<int32_t> fives;
    while (root.nextChild(child)) {
        EXPECT_EQ(child.getIdentifier(), 5);
        fives.push_back(child.readInt());
    }
    EXPECT_EQ(fives, (std::vector<int32_t>{1, 2}));
    EXPECT_FALSE(root.nextChild(child)) << "the walk stays ended";

    // Any non-zero flag means compressed.
    std::vector<uint8_t> stream(file.begin() + 1, file.end());
    std::vector<uint8_t> packed = Bytes().u8(7).u32(static_cast<uint32_t>(stream.size())).v;
    const std::vector<uint8_t> z = bzip(stream);
    packed.insert(packed.end(), z.begin(), z.end());
    ChunkFileReaderManager in7 = fromBytes(packed);
    ASSERT_TRUE(in7.hasBuffer());
    EXPECT_EQ(std::vector<uint8_t>(in7.getStream(), in7.getStream() + in7.getStreamSize()), stream);
}

TEST(ChunkFile, MalformedStreamsEndTheWalk)
{
    ReportCapture capture;
    // Truncated header: reads past the end yield zeros, the root has no children.
    {
        const std::vector<uint8_t> file = Bytes().u8(0).u16(1).u8(9).v;
        ChunkFileReaderManager in = fromBytes(file);
        ChunkFileReader root(&in);
        EXPECT_EQ(root.getIdentifier(), 1);
        EXPECT_EQ(root.getSize(), 9u);
        EXPECT_EQ(root.readInt(), 0);
        EXPECT_EQ(root.readQuaternion(), Quaternion(0, 0, 0, 0));
        ChunkFileReader child;
        EXPECT_FALSE(root.nextChild(child));
    }
    // Children of size 0 and 5, and one reaching past its parent or past the stream.
    struct Case {
        std::vector<uint8_t> file;
        const char* text;
    };
    const Case cases[] = {
        {Bytes().u8(0).chunk(1, 18).chunk(2, 0).u32(0).u16(0).v, "nextChild: chunk size below 6"},
        {Bytes().u8(0).chunk(1, 18).chunk(2, 5).u32(0).u16(0).v, "nextChild: chunk size below 6"},
        {Bytes().u8(0).chunk(1, 18).chunk(2, 13).u32(0).u16(0).v, "nextChild: chunk reaches past its parent"},
        // Past its parent's end (12) but inside the stream (20 bytes).
        {Bytes().u8(0).chunk(1, 12).chunk(2, 10).u32(0).u32(0).v, "nextChild: chunk reaches past its parent"},
        {Bytes().u8(0).chunk(1, 1000).chunk(2, 500).v, "nextChild: chunk reaches past its parent"},
        {Bytes().u8(0).chunk(1, 0xFFFFFFFF).chunk(2, 0xFFFFFFF0).v, "nextChild: chunk reaches past its parent"},
    };
    for (const Case& c : cases) {
        capture.clear();
        ChunkFileReaderManager in = fromBytes(c.file);
        ChunkFileReader root(&in);
        ChunkFileReader child;
        EXPECT_FALSE(root.nextChild(child));
        EXPECT_FALSE(root.nextChild(child));
        EXPECT_TRUE(capture.has(kReader, c.text)) << c.text;
        EXPECT_EQ(capture.count(), 1u) << "reported once";
    }
    // Nesting 5000 deep: every level is reached and the walk ends.
    {
        const int depth = 5000;
        Bytes b;
        b.u8(0);
        for (int i = 0; i < depth; ++i) b.chunk(uint16_t(i), uint32_t(6 * (depth - i)));
        ChunkFileReaderManager in = fromBytes(b.v);
        ChunkFileReader chunk(&in);
        int levels = 1;
        ChunkFileReader next;
        while (chunk.nextChild(next)) {
            chunk = next;
            ++levels;
        }
        EXPECT_EQ(levels, depth);
    }
}

TEST(ChunkFile, MalformedContainersLeaveNoBuffer)
{
    ReportCapture capture;
    const std::vector<uint8_t> stream = Bytes().chunk(1, 10).u32(77).v;
    const std::vector<uint8_t> z = bzip(stream);
    auto packed = [&](uint32_t length, const std::vector<uint8_t>& body) {
        std::vector<uint8_t> f = Bytes().u8(1).u32(length).v;
        f.insert(f.end(), body.begin(), body.end());
        return f;
    };
    std::vector<uint8_t> garbage(200);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37 + 11);
    std::vector<uint8_t> truncatedBz(z.begin(), z.begin() + static_cast<long>(z.size() / 2));
    struct Case {
        std::vector<uint8_t> file;
        const char* text;
    };
    const Case cases[] = {
        {{}, "empty file! fileName: mem"},
        {{1, 10, 0}, "truncated compressed header! fileName: mem"},
        {packed(10, garbage), "compressed data does not match its length! fileName: mem"},
        {packed(9, z), "compressed data does not match its length! fileName: mem"},
        {packed(11, z), "compressed data does not match its length! fileName: mem"},
        {packed(10, truncatedBz), "compressed data does not match its length! fileName: mem"},
        {packed(0xFFFFFFFF, z), "uncompressed length out of bounds! fileName: mem"},
        {packed(kChunkMinBound + 1, garbage), "uncompressed length out of bounds! fileName: mem"},
    };
    for (const Case& c : cases) {
        capture.clear();
        ChunkFileReaderManager in = fromBytes(c.file);
        EXPECT_FALSE(in.hasBuffer()) << c.text;
        EXPECT_TRUE(capture.has(kReaderManager, c.text)) << c.text;
        ChunkFileReader root(&in);
        ChunkFileReader child;
        EXPECT_EQ(root.readInt(), 0);
        EXPECT_FALSE(root.nextChild(child));
    }
    capture.clear();
    ChunkFileReaderManager good = fromBytes(packed(10, z));
    EXPECT_TRUE(good.hasBuffer());
    EXPECT_EQ(capture.count(), 0u);
    // The bound grows with the compressed size and stops at 256 MiB.
    EXPECT_EQ(chunkUncompressedBound(10), kChunkMinBound);
    EXPECT_EQ(chunkUncompressedBound(100000), 256u * 100000u);
    EXPECT_EQ(chunkUncompressedBound(10'000'000), kChunkMaxStream);
}
