// Reading the 2D scene stream: the byte stream cursor and the one track reader of its float,
// point and rotation tracks (the layouts of S2DFormat.h). Internal to the scene loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "control/TrackManager.h"
#include "foundation/Report.h"
#include "foundation/StringC.h"
#include "fx2d/S2DFormat.h"

namespace s2d {

inline constexpr const char* kSceneCaption = "S2DScene :";

// Reads the stream's little-endian values in order. Past the end every read gives 0 and the
// stream is marked overrun; the loader checks it before it trusts what it read.
class ByteStream {
public:
    ByteStream(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    size_t remaining() const { return m_size - m_at; }
    bool overrun() const { return m_overrun; }
    void fail() { m_overrun = true; }

    uint8_t u8() { return take(1) ? m_data[m_at - 1] : 0; }
    uint16_t u16() { return take(2) ? uint16_t(m_data[m_at - 2] | m_data[m_at - 1] << 8) : 0; }
    float f32()
    {
        if (!take(4)) return 0.0f;
        const uint32_t bits = uint32_t(m_data[m_at - 4]) | uint32_t(m_data[m_at - 3]) << 8 |
                              uint32_t(m_data[m_at - 2]) << 16 | uint32_t(m_data[m_at - 1]) << 24;
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    // A NUL-terminated string of at most kS2DMaxString bytes, its NUL included.
    StringC str()
    {
        char text[kS2DMaxString + 1] = {};
        for (int i = 0; i < kS2DMaxString; ++i) {
            if (!take(1)) break;
            text[i] = static_cast<char>(m_data[m_at - 1]);
            if (!text[i]) break;
        }
        return StringC(text);
    }
    // Consumes the tag when the stream continues with it.
    bool tag(const char (&t)[4])
    {
        if (remaining() < 4 || std::memcmp(m_data + m_at, t, 4) != 0) return false;
        m_at += 4;
        return true;
    }
    // Whether `count` items of at least `bytes` bytes each can still be in the stream.
    bool fits(size_t count, size_t bytes)
    {
        if (count * bytes <= remaining()) return true;
        m_overrun = true;
        return false;
    }

private:
    bool take(size_t n)
    {
        if (m_overrun || remaining() < n) {
            m_overrun = true;
            return false;
        }
        m_at += n;
        return true;
    }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_overrun = false;
};

// The track types of the stream, each a form for readTrack: where the track is held, whether it
// is made before its keys are counted, the last kind the stream may name (beyond it the header is
// bad, reported with `kBadText` when set), the bytes of one key, how the track is made and how one
// key is read.
struct FloatTrackForm {
    using Slot = TrackManagerFloat;
    using Track = TrackFloat;
    static constexpr bool kMadeFirst = true;
    static constexpr int kMaxKind = 255;  // the manager judges the kind ("unknow type")
    static constexpr const char* kBadText = nullptr;
    static size_t keyBytes(int kind)
    {
        static constexpr size_t kKeyBytes[5] = {0, 6, 6, 26, 26};
        return kKeyBytes[kind];
    }
    static TrackFloat* make(Slot& slot, int kind)
    {
        slot.create(kind);
        return slot.getTrack();
    }
    static void readKey(ByteStream& s, TrackFloat& track, int kind, int i)
    {
        const float time = s.u16();
        const float value = s.f32();
        if (kind == 3) {
            const float bias = s.f32(), tension = s.f32(), continuity = s.f32();
            const float easeFrom = s.f32(), easeTo = s.f32();
            static_cast<TrackFloatTCB&>(track).setKey(i, time, value, bias, continuity, tension, easeFrom, easeTo);
        } else if (kind == 4) {
            const float inTangent = s.f32() * kS2DTangentScale, inLength = s.f32();
            const int inType = int16_t(s.u16());
            const float outTangent = s.f32() * kS2DTangentScale, outLength = s.f32();
            const int outType = int16_t(s.u16());
            static_cast<TrackFloatBezier&>(track).setKey(i, time, value, inType, outType, inTangent, inLength,
                                                         outTangent, outLength);
        } else {
            track.setKey(i, time, value);
        }
    }
};

// Point tracks of the transform block (kinds 0 none, 1 linear, 2 hermite); kept only with keys.
struct PointTrackForm {
    using Slot = std::unique_ptr<TrackManagerPoint3D>;
    using Track = TrackPoint3D;
    static constexpr bool kMadeFirst = false;
    static constexpr int kMaxKind = 2;
    static constexpr const char* kBadText = "load: bad point track";
    static size_t keyBytes(int) { return 14; }
    static TrackPoint3D* make(Slot& slot, int kind)
    {
        slot = std::make_unique<TrackManagerPoint3D>();
        slot->create(kind);
        return slot->getTrack();
    }
    static void readKey(ByteStream& s, TrackPoint3D& track, int, int i)
    {
        const float time = s.u16();
        const float x = s.f32(), y = s.f32(), z = s.f32();
        track.setKey(i, time, Point3D{x, y, z});
    }
};

// Rotation tracks of the transform block (kinds 0 none, 1 linear); kept only with keys.
struct RotationTrackForm {
    using Slot = std::unique_ptr<TrackManagerRotation>;
    using Track = TrackRotationLinear;
    static constexpr bool kMadeFirst = false;
    static constexpr int kMaxKind = 1;
    static constexpr const char* kBadText = "load: bad rotation track";
    static size_t keyBytes(int) { return 18; }
    static TrackRotationLinear* make(Slot& slot, int kind)
    {
        slot = std::make_unique<TrackManagerRotation>();
        slot->create(kind);
        return static_cast<TrackRotationLinear*>(slot->getTrack());
    }
    static void readKey(ByteStream& s, TrackRotationLinear& track, int, int i)
    {
        const float time = s.u16();
        const float angle = s.f32();
        const float x = s.f32(), y = s.f32(), z = s.f32();
        track.setKey(i, time, AngleAxis{x, y, z, angle});
    }
};

// A track in stream form (u8 kind, u16 key count, the keys); false when the stream cannot go on
// (bad or unknown kind, too short).
template <class Form>
bool readTrack(ByteStream& s, typename Form::Slot& slot)
{
    const int kind = s.u8();
    const int count = s.u16();
    if (s.overrun() || kind > Form::kMaxKind)
        return Form::kBadText ? reportWarning(kSceneCaption, Form::kBadText, false) : false;
    typename Form::Track* track = nullptr;
    if constexpr (Form::kMadeFirst) {
        track = Form::make(slot, kind);
        if (!track) return false;
    }
    if (!s.fits(size_t(count), Form::keyBytes(kind))) return false;
    if (kind == 0 || count == 0) return true;
    if constexpr (!Form::kMadeFirst) track = Form::make(slot, kind);
    track->createKey(count);
    for (int i = 0; i < count; ++i) Form::readKey(s, *track, kind, i);
    track->prepare();
    return true;
}

inline bool readFloatTrack(ByteStream& s, TrackManagerFloat& slot) { return readTrack<FloatTrackForm>(s, slot); }
inline bool readPointTrack(ByteStream& s, std::unique_ptr<TrackManagerPoint3D>& slot)
{
    return readTrack<PointTrackForm>(s, slot);
}
inline bool readRotationTrack(ByteStream& s, std::unique_ptr<TrackManagerRotation>& slot)
{
    return readTrack<RotationTrackForm>(s, slot);
}

} // namespace s2d
