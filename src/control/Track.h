// Tracks: keyed animation curves of floats, points and rotations. This header holds the base
// class, the key-array handling every track shares (creation, index checks, chunk storage) and
// the segment search.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "foundation/ChunkFile.h"

class Track {
public:
    virtual ~Track() = default;
    // Derives tangents or quaternions from the keys; call after loading or setting all keys.
    virtual void prepare() = 0;
    // Writes chunk 1: the key count, then the keys.
    virtual void save(ChunkFileWriterManager& manager) const = 0;
    // Reads every child chunk 1 of `reader` (count, keys), then prepares.
    virtual void load(ChunkFileReader& reader) = 0;
    // Replaces the keys by nbKey keys with their defaults; nbKey <= 0 reports and keeps them.
    virtual void createKey(int nbKey) = 0;
    virtual void deleteKeys() = 0;

    int getNbKey() const { return m_nbKey; }
    int getType() const { return m_type; }

    // The ease curve of TCB keys: u remapped by ease from `a` and ease to `b`.
    static float ease(float u, float a, float b);
    // A key time as stored in files: truncated toward zero (saturated, NaN as 0).
    static int32_t fileTime(float time);

protected:
    explicit Track(int type) : m_type(type) {}

    int m_nbKey = 0;
    int m_type;
};

// Reports with the tracks' caption.
void trackReport(const char* text);

// Keys at or before the first key or after the last are handled by the callers; these find the
// segment i (0 <= i <= count - 2) for a time strictly inside the track.
// The later segment at a key time: advance while t >= the next key's time.
template <class Key>
int trackSegmentLater(const std::vector<Key>& k, float t)
{
    int i = 0;
    const int last = static_cast<int>(k.size()) - 2;
    while (i < last && t >= k[i + 1].time) ++i;
    return i;
}

// The earlier segment at a key time: stop at the first next key time >= t.
template <class Key>
int trackSegmentEarlier(const std::vector<Key>& k, float t)
{
    int i = 0;
    const int last = static_cast<int>(k.size()) - 2;
    while (i < last && k[i + 1].time < t) ++i;
    return i;
}

// One description of a key's stored fields serves both directions. A key type lists them, in
// file order, in `template <class IO, class K> static void fields(IO& io, K& key)`; with a
// TrackKeyReader the fields are filled from a chunk, with a TrackKeyWriter they are written.
class TrackKeyReader {
public:
    explicit TrackKeyReader(ChunkFileReader& r) : m_r(r) {}
    void time(float& t) { t = static_cast<float>(m_r.readInt()); }
    void field(float& v) { v = m_r.readFloat(); }
    void field(int16_t& v) { v = m_r.readShort(); }
    void field(Point3D& v) { v = m_r.readPoint3D(); }

private:
    ChunkFileReader& m_r;
};

class TrackKeyWriter {
public:
    explicit TrackKeyWriter(ChunkFileWriter& w) : m_w(w) {}
    void time(float t) { m_w.writeInt(Track::fileTime(t)); }
    void field(float v) { m_w.writeFloat(v); }
    void field(int16_t v) { m_w.writeShort(v); }
    void field(const Point3D& v) { m_w.writePoint3D(v); }

private:
    ChunkFileWriter& m_w;
};

// The TCB parameters, as every TCB key stores them after its value: bias, continuity, tension,
// ease from, ease to.
template <class IO, class K>
void tcbKeyFields(IO& io, K& key)
{
    io.field(key.bias);
    io.field(key.continuity);
    io.field(key.tension);
    io.field(key.easeFrom);
    io.field(key.easeTo);
}

// The key array every track class shares. Key is the in-memory key (its default member values
// are those createKey gives, its fields() its file layout); FileKeyBytes is the bytes one key
// takes in a file (used to refuse a count the chunk cannot hold).
template <class Base, class Key, int FileKeyBytes>
class TrackKeyed : public Base {
public:
    void createKey(int nbKey) override
    {
        if (nbKey <= 0) {
            trackReport("createKey: nbKey <= 0");
            return;
        }
        m_keys.assign(static_cast<size_t>(nbKey), Key{});
        this->m_nbKey = nbKey;
    }

    void deleteKeys() override
    {
        m_keys.clear();
        this->m_nbKey = 0;
    }

    void save(ChunkFileWriterManager& manager) const override
    {
        ChunkFileWriter w(&manager);
        w.start(1);
        w.writeInt(this->m_nbKey);
        TrackKeyWriter io(w);
        for (const Key& key : m_keys) Key::fields(io, key);
        w.close();
    }

    void load(ChunkFileReader& reader) override
    {
        ChunkFileReader child;
        while (reader.nextChild(child)) {
            if (child.getIdentifier() != 1) continue;
            const int32_t count = child.readInt();
            if (count > 0 && static_cast<uint32_t>(count) > child.getRemaining() / FileKeyBytes) {
                trackReport("load: nbKey larger than its chunk");
                continue;
            }
            createKey(count);
            if (count <= 0) continue;
            TrackKeyReader io(child);
            for (Key& key : m_keys) Key::fields(io, key);
        }
        this->prepare();
    }

    const std::vector<Key>& keys() const { return m_keys; }

protected:
    using Base::Base;

    // setKey's checks, in the order and with the texts of the messages.
    [[nodiscard]] bool checkSet(int i) const
    {
        if (i < 0) {
            trackReport("setKey: index < 0");
            return false;
        }
        if (m_keys.empty()) {
            trackReport("setKey: pKey NULL");
            return false;
        }
        if (i >= this->m_nbKey) {
            trackReport("setKey: not so much key");
            return false;
        }
        return true;
    }

    // getKey's checks (a negative index reports setKey's text, as the original does).
    [[nodiscard]] bool checkGet(int i) const
    {
        if (i < 0) {
            trackReport("setKey: index < 0");
            return false;
        }
        if (m_keys.empty()) {
            trackReport("getKey: pKey NULL");
            return false;
        }
        if (i >= this->m_nbKey) {
            trackReport("getKey: not so much key");
            return false;
        }
        return true;
    }

    std::vector<Key> m_keys;
};
