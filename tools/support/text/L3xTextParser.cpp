// Scene text to chunk tree for tessaline-l3x, driven by the record description of
// src/s3d/L3xFormat; and the tree written as a chunk file.
#include "L3xText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "L3xTextTokens.h"
#include "foundation/ChunkFile.h"
#include "s3d/L3xFormat.h"

using namespace l3x_text;

namespace {

// ---------------------------------------------------------------------------------------------
// Parser

class Parser {
public:
    Parser(std::vector<Token> tokens, std::string fileName) : m_t(std::move(tokens)), m_file(std::move(fileName)) {}

    bool parseTop(L3xChunk& root)
    {
        static const L3xChunkKind top = {0, "", "", &l3xRootKind(), 1, L3xTrackKind::None, 0};
        std::vector<L3xChunk> chunks;
        while (m_pos < m_t.size())
            if (!statement(top, chunks)) return false;
        if (chunks.size() != 1) return fail("the text must hold exactly one root statement (scene)");
        root = std::move(chunks[0]);
        return true;
    }

    std::string m_error;

private:
    bool fail(const std::string& message)
    {
        return failAt(m_pos < m_t.size() ? m_t[m_pos].line : (m_t.empty() ? 0 : m_t.back().line), message);
    }
    bool failAt(int line, const std::string& message)
    {
        m_error = m_file + ":" + std::to_string(line) + ": " + message;
        return false;
    }
    // The bytes a chunk takes in the file, its header and children included.
    static uint64_t treeBytes(const L3xChunk& c)
    {
        uint64_t n = 6 + c.fields.size();
        for (const L3xChunk& child : c.children) n += treeBytes(child);
        return n;
    }
    const Token* peek() const { return m_pos < m_t.size() ? &m_t[m_pos] : nullptr; }
    bool next(Token& t, const char* what)
    {
        if (m_pos >= m_t.size()) return fail(std::string("expected ") + what + " before the end");
        t = m_t[m_pos++];
        return true;
    }
    bool expect(const char* s)
    {
        Token t;
        if (!next(t, s)) return false;
        if (!t.is(s)) {
            --m_pos;
            return fail(std::string("expected ") + s + ", found " + t.text);
        }
        return true;
    }
    bool integer(long long lo, long long hi, long long& v, const char* what)
    {
        Token t;
        if (!next(t, what)) return false;
        if (t.quoted || !toInteger(t.text, lo, hi, v)) {
            --m_pos;
            return fail(std::string("expected ") + what + " (" + std::to_string(lo) + " to " + std::to_string(hi) + "), found " + t.text);
        }
        return true;
    }
    bool number(float& v)
    {
        Token t;
        if (!next(t, "a number")) return false;
        if (t.quoted || !toFloat(t.text, v)) {
            --m_pos;
            return fail("expected a number, found " + t.text);
        }
        return true;
    }
    bool peekIsValue() const
    {
        const Token* t = peek();
        return t && t->isValue();
    }

    bool hexBytes(std::vector<uint8_t>& out)
    {
        if (!expect("[")) return false;
        while (peek() && !peek()->is("]")) {
            long long v = 0;
            Token t = *peek();
            if (!toInteger("0x" + t.text, 0, 255, v)) return fail("expected a hex byte, found " + t.text);
            ++m_pos;
            out.push_back(uint8_t(v));
        }
        return expect("]");
    }

    // One field of the code; arrays are bracketed. Counted arrays write their count first.
    bool field(char code, std::vector<uint8_t>& b)
    {
        long long v = 0;
        float f = 0;
        const FieldShape shape = fieldShape(code);
        switch (shape.kind) {
        case FieldShape::Integer:
            if (shape.bytes == 1) return integer(0, 255, v, "a byte") && (put8(b, uint32_t(v)), true);
            if (shape.bytes == 2) return integer(-32768, 65535, v, "a 16-bit value") && (put16(b, uint32_t(v)), true);
            return integer(-2147483648LL, 4294967295LL, v, "a 32-bit integer") && (put32(b, uint32_t(v)), true);
        case FieldShape::Floats: return floats(shape.floats, b);
        case FieldShape::String: {
            Token t;
            if (!next(t, "a string")) return false;
            if (!t.quoted && !t.isValue()) return --m_pos, fail("expected a string, found " + t.text);
            if (t.text.size() > size_t(kChunkMaxString)) return fail("strings hold at most 255 characters");
            if (t.text.find('\0') != std::string::npos) return fail("strings cannot hold a zero byte");
            b.insert(b.end(), t.text.begin(), t.text.end());
            b.push_back(0);
            return true;
        }
        case FieldShape::Bones: {
            // Bones: [ "name" m00 … m32 … ]
            std::vector<uint8_t> values;
            uint32_t n = 0;
            if (!expect("[")) return false;
            while (peek() && !peek()->is("]")) {
                if (!field('s', values) || !floats(12, values)) return false;
                ++n;
            }
            if (!expect("]")) return false;
            if (n > 65535) return fail("at most 65535 bones");
            put16(b, n);
            b.insert(b.end(), values.begin(), values.end());
            return true;
        }
        case FieldShape::Weights: {
            // Skin vertices: [ n weight bone … ] per vertex.
            std::vector<uint8_t> values;
            uint32_t n = 0;
            if (!expect("[")) return false;
            while (peek() && !peek()->is("]")) {
                long long pairs = 0;
                if (!integer(0, 65535, pairs, "a bone count")) return false;
                put16(values, uint32_t(pairs));
                for (long long k = 0; k < pairs; ++k) {
                    if (!number(f)) return false;
                    putF(values, f);
                    if (!integer(-32768, 65535, v, "a bone index")) return false;
                    put16(values, uint32_t(v));
                }
                ++n;
            }
            if (!expect("]")) return false;
            put32(b, n);
            b.insert(b.end(), values.begin(), values.end());
            return true;
        }
        case FieldShape::Array: {
            const bool counted = shape.counted;
            const int group = shape.group;
            const bool shorts = shape.width == 2;
            std::vector<uint8_t> values;
            if (!expect("[")) return false;
            size_t n = 0;
            while (peek() && !peek()->is("]")) {
                if (shorts) {
                    if (!integer(-32768, 65535, v, "a 16-bit value")) return false;
                    put16(values, uint32_t(v));
                } else {
                    if (!number(f)) return false;
                    putF(values, f);
                }
                ++n;
            }
            if (!expect("]")) return false;
            if (n % size_t(group) != 0) return fail("the array needs groups of " + std::to_string(group) + " values");
            if (counted) {
                if (n / size_t(group) > 65535) return fail("at most 65535 elements");
                put16(b, uint32_t(n / size_t(group)));
            }
            b.insert(b.end(), values.begin(), values.end());
            return true;
        }
        case FieldShape::Unknown: break;
        }
        return fail(std::string("bad field code ") + code);
    }

    bool floats(int n, std::vector<uint8_t>& b)
    {
        for (int i = 0; i < n; ++i) {
            float f = 0;
            if (!number(f)) return false;
            putF(b, f);
        }
        return true;
    }

    bool trackSlot(const L3xChunkKind& kind, std::vector<L3xChunk>& out)
    {
        Token t;
        if (!next(t, "a track kind")) return false;
        int trackKind = 0;
        for (int k = 1; k <= 4; ++k)
            if (t.text == kTrackKindNames[k] || t.text == std::to_string(k)) trackKind = k;
        const char* layout = keyLayout(kind.track, trackKind);
        if (!layout) return --m_pos, fail("no track kind " + t.text + " for " + kind.name);
        if (!expect("{")) return false;
        std::vector<uint8_t> keys;
        uint32_t count = 0;
        while (peek() && peek()->is("key")) {
            ++m_pos;
            for (const char* c = layout; *c; ++c) {
                long long v = 0;
                if (*c == 't') {
                    if (!integer(-2147483648LL, 2147483647LL, v, "an integer time")) return false;
                    put32(keys, uint32_t(v));
                } else if (*c == 'y') {
                    const Token* w = peek();
                    int type = -1;
                    for (int k = 0; w && k < 6; ++k)
                        if (w->text == kTangentNames[k]) type = k;
                    if (type >= 0) {
                        ++m_pos;
                        put16(keys, uint32_t(type));
                    } else {
                        if (!integer(-32768, 65535, v, "a tangent type")) return false;
                        put16(keys, uint32_t(v));
                    }
                } else if (!field('f', keys)) {
                    return false;
                }
            }
            ++count;
        }
        if (!expect("}")) return false;
        L3xChunk inner{1, {}, {}};
        put32(inner.fields, count);
        inner.fields.insert(inner.fields.end(), keys.begin(), keys.end());
        L3xChunk track{1, {uint8_t(trackKind)}, {}};
        track.children.push_back(std::move(inner));
        L3xChunk slot{kind.id, {}, {}};
        slot.children.push_back(std::move(track));
        out.push_back(std::move(slot));
        return true;
    }

    bool objGeometry(bool triObject, std::vector<L3xChunk>& out)
    {
        Token t;
        if (!next(t, "an OBJ file name")) return false;
        std::string path = t.text;
        const size_t slash = m_file.find_last_of('/');
        if (!path.empty() && path[0] != '/' && slash != std::string::npos) path = m_file.substr(0, slash + 1) + path;
        ObjGeometry g;
        std::string error;
        if (!readObj(path, g, error)) return fail(error);
        L3xChunk vertices{kL3xVertexData, {}, {}};
        L3xChunk positions{kL3xVertexPositions, {}, {}};
        put16(positions.fields, uint32_t(g.positions.size() / 3));
        for (float f : g.positions) putF(positions.fields, f);
        vertices.children.push_back(std::move(positions));
        if (triObject && !g.uvs.empty()) {
            L3xChunk uvs{kL3xTextureVertices, {}, {}};
            put16(uvs.fields, uint32_t(g.uvs.size() / 2));
            for (float f : g.uvs) putF(uvs.fields, f);
            vertices.children.push_back(std::move(uvs));
        }
        out.push_back(std::move(vertices));
        if (!triObject) return true;
        L3xChunk faceData{kL3xFaceData, {}, {}};
        L3xChunk faces{kL3xFaces, {}, {}}, uvFaces{kL3xTextureFaces, {}, {}}, subs{kL3xFaceSubMaterials, {}, {}};
        put16(faces.fields, uint32_t(g.faces.size() / 3));
        for (int i : g.faces) put16(faces.fields, uint32_t(i));
        for (int i : g.uvFaces) put16(uvFaces.fields, uint32_t(i));
        for (int i : g.subMaterials) put16(subs.fields, uint32_t(i));
        faceData.children.push_back(std::move(faces));
        if (!g.uvFaces.empty()) faceData.children.push_back(std::move(uvFaces));
        faceData.children.push_back(std::move(subs));
        out.push_back(std::move(faceData));
        return true;
    }

    bool block(const L3xChunkKind& parent, std::vector<L3xChunk>& out)
    {
        if (!expect("{")) return false;
        while (peek() && !peek()->is("}"))
            if (!statement(parent, out)) return false;
        return expect("}");
    }

    // One statement, and the size of the file so far: a scene file holds at most kChunkMaxStream
    // bytes, so the statement that passes it is refused.
    bool statement(const L3xChunkKind& parent, std::vector<L3xChunk>& out)
    {
        const int line = peek() ? peek()->line : 0;
        const uint64_t before = m_bytes;
        const size_t first = out.size();
        if (!record(parent, out)) return false;
        // The nested statements counted themselves; what this one made holds them.
        m_bytes = before;
        for (size_t i = first; i < out.size(); ++i) m_bytes += treeBytes(out[i]);
        if (m_bytes > kChunkMaxStream)
            return failAt(line, "the scene passes " + std::to_string(kChunkMaxStream >> 20) + " MiB, more than a scene file may hold");
        return true;
    }

    bool record(const L3xChunkKind& parent, std::vector<L3xChunk>& out)
    {
        const int line = peek() ? peek()->line : 0;
        Token name;
        if (!next(name, "a record name")) return false;
        if (name.quoted) return --m_pos, fail("expected a record name, found \"" + name.text + "\"");
        if (name.text == "chunk") {
            long long id = 0;
            L3xChunk c;
            if (!integer(0, 65535, id, "a chunk id") || !expect("bytes") || !hexBytes(c.fields)) return false;
            c.id = uint16_t(id);
            out.push_back(std::move(c));
            return true;
        }
        const bool triObject = parent.id == kL3xTriObjectItem && std::strcmp(parent.name, "triObject") == 0;
        const bool shape = parent.id == kL3xShapeCommon && std::strcmp(parent.name, "common") == 0;
        if (name.text == "obj" && (triObject || shape)) return objGeometry(triObject, out);

        const L3xChunkKind* kind = l3xFindChild(parent, name.text.c_str());
        if (!kind) return --m_pos, fail("unknown record " + name.text + (parent.name[0] ? " in " + std::string(parent.name) : ""));
        if (peek() && peek()->is("bytes")) {
            ++m_pos;
            L3xChunk c{kind->id, {}, {}};
            if (!hexBytes(c.fields)) return false;
            out.push_back(std::move(c));
            return true;
        }
        if (kind->track != L3xTrackKind::None) return trackSlot(*kind, out);
        if (!kind->fields) return fail(std::string(kind->name) + " takes bytes [ ... ]");

        L3xChunk c{kind->id, {}, {}};
        long long count = 0;
        size_t countAt = 0;
        bool count32 = false, autoCount = false;
        for (const char* code = kind->fields; *code; ++code) {
            if (*code == 'n' || *code == 'N') {
                // Given as a number, or counted from the items when left out.
                count32 = *code == 'N';
                countAt = c.fields.size();
                autoCount = !peekIsValue();
                if (!autoCount && !integer(count32 ? -2147483648LL : 0, count32 ? 2147483647LL : 65535, count, "a count"))
                    return false;
                (count32 ? put32 : put16)(c.fields, uint32_t(count));
                continue;
            }
            if (!field(*code, c.fields)) return false;
        }
        if (peek() && peek()->is("{")) {
            if (!kind->children) return fail(std::string(kind->name) + " has no records inside");
            if (!block(l3xChildrenByType(*kind, c.fields.empty() ? 0 : c.fields[0]), c.children)) return false;
        }
        if (autoCount) {
            uint64_t n = 0;
            for (const L3xChunk& child : c.children) n += child.id == kind->listItem;
            // The loader takes the count as written: more items than it holds would be cut.
            if (n > (count32 ? 2147483647u : 65535u))
                return failAt(line, std::string(kind->name) + " holds " + std::to_string(n) + " items, more than its count (at most " +
                                        (count32 ? "2147483647" : "65535") + ") can say");
            std::vector<uint8_t> patch;
            (count32 ? put32 : put16)(patch, uint32_t(n));
            std::copy(patch.begin(), patch.end(), c.fields.begin() + long(countAt));
        }
        out.push_back(std::move(c));
        return true;
    }

    std::vector<Token> m_t;
    std::string m_file;
    size_t m_pos = 0;
    uint64_t m_bytes = 0;  // the file's stream so far
};

void writeChunk(ChunkFileWriterManager& m, const L3xChunk& c)
{
    ChunkFileWriter w(&m);
    w.start(c.id);
    for (uint8_t b : c.fields) w.writeByte(b);
    for (const L3xChunk& child : c.children) writeChunk(m, child);
    w.close();
}

} // namespace

bool parseL3xText(const std::string& text, const std::string& fileName, L3xChunk& root, std::string& error)
{
    std::vector<Token> tokens;
    if (!tokenize(text, tokens, error)) {
        error = fileName + ":" + error;
        return false;
    }
    Parser parser(std::move(tokens), fileName);
    if (parser.parseTop(root)) return true;
    error = parser.m_error;
    return false;
}

bool writeL3xFile(const L3xChunk& root, const std::string& path, bool compress)
{
    ChunkFileWriterManager manager(path.c_str(), compress);
    if (!manager.isOpen()) return false;
    writeChunk(manager, root);
    return true;
}
