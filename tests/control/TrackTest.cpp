// Tracks: the interpolation numbers, key access messages, chunk storage and hostile files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "control/TrackManager.h"
#include "support/TestSupport.h"

namespace {
const float kPi = 3.14159265f;

// Saves a manager inside a root chunk 100 and loads it back into `out`.
template <class M>
void roundTrip(const M& in, M& out, bool compress = false)
{
    ScratchDir dir;
    const std::string path = dir.path() + "track.lcx";
    {
        ChunkFileWriterManager w(path.c_str(), compress);
        ChunkFileWriter root(&w);
        root.start(100);
        in.save(w);
        root.close();
    }
    ChunkFileReaderManager r(path.c_str());
    ChunkFileReader root(&r);
    out.load(root);
}

// Loads a manager from a hand-made plain stream.
template <class M>
void loadBytes(M& m, const std::vector<uint8_t>& stream)
{
    std::vector<uint8_t> file{0};
    file.insert(file.end(), stream.begin(), stream.end());
    ChunkFileReaderManager r("mem", file.data(), file.size());
    ChunkFileReader root(&r);
    m.load(root);
}

void put32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// The angle of a rotation about +z, as the matrix shows it (sign of the quaternion aside).
float angleAboutZ(const Quaternion& q)
{
    const Matrix m = q.toMatrix();
    EXPECT_NEAR(m.m[2][2], 1.0f, 1e-5f) << "rotation about z";
    return std::atan2(m.m[0][1], m.m[0][0]);
}
} // namespace

TEST(Track, LinearAndHermiteNumbers)
{
    ReportCapture capture;
    TrackFloatLinear linear;
    linear.createKey(2);
    linear.setKey(0, 0, 0);
    linear.setKey(1, 100, 10);
    EXPECT_EQ(linear.getValue(50), 5.0f);
    EXPECT_EQ(linear.getValue(25), 2.5f);
    EXPECT_EQ(linear.getValue(0), 0.0f);
    EXPECT_EQ(linear.getValue(-30), 0.0f);
    EXPECT_EQ(linear.getValue(100), 10.0f);
    EXPECT_EQ(linear.getValue(1e9f), 10.0f);

    // Two keys 0 and 1: both tangents are half the difference, -u^3 + 1.5u^2 + 0.5u.
    TrackFloatHermite hermite;
    hermite.createKey(2);
    hermite.setKey(0, 0, 0);
    hermite.setKey(1, 10, 1);
    EXPECT_FLOAT_EQ(hermite.getValue(5), 0.5f);
    for (float u : {0.1f, 0.25f, 0.8f}) EXPECT_FLOAT_EQ(hermite.getValue(10 * u), -u * u * u + 1.5f * u * u + 0.5f * u);
    // Four keys: the tangents use the neighbours, not the key times.
    hermite.createKey(4);
    const float times[] = {0, 10, 40, 50}, values[] = {0, 2, 4, 10};
    for (int i = 0; i < 4; ++i) hermite.setKey(i, times[i], values[i]);
    const float u = 0.5f, m0 = (4 - 0) / 2.0f, m1 = (10 - 2) / 2.0f;
    EXPECT_FLOAT_EQ(hermite.getValue(25),
                    0.5f * 2 + 0.5f * 4 + (u * u * u - 2 * u * u + u) * m0 + (u * u * u - u * u) * m1);
    EXPECT_EQ(hermite.getValue(40), 4.0f) << "a key time gives the key's value";

    // Keys 10 and 10 share a time: at 10 both kinds take the later segment (10 -> 20, u = 0), the
    // second key's value 7, with no zero-length interval; the earlier one would give 5.
    for (TrackFloat* track : std::initializer_list<TrackFloat*>{&linear, &hermite}) {
        track->createKey(4);
        const float shared[] = {0, 10, 10, 20}, at[] = {0, 5, 7, 9};
        for (int i = 0; i < 4; ++i) track->setKey(i, shared[i], at[i]);
        EXPECT_EQ(track->getValue(10), 7.0f);
    }
    EXPECT_EQ(capture.count(), 0u);
    // Hermite at 15: p0 7, p1 9, tangents (9 - 5)/2 and (9 - 7)/2, u = 0.5:
    // 7 * 0.5 + 9 * 0.5 + 2 * 0.125 + 1 * -0.125.
    EXPECT_FLOAT_EQ(hermite.getValue(15), 8.125f);

    TrackPoint3DLinear points;
    points.createKey(2);
    points.setKey(0, 0, {0, 10, -4});
    points.setKey(1, 100, {10, 20, 4});
    EXPECT_EQ(points.getValue(50), Point3D(5, 15, 0));
    TrackPoint3DHermite pointsHermite;
    pointsHermite.createKey(2);
    pointsHermite.setKey(0, 0, {0, 0, 0});
    pointsHermite.setKey(1, 10, {1, 2, -1});
    EXPECT_EQ(pointsHermite.getValue(5).x, 0.5f);
    EXPECT_EQ(pointsHermite.getValue(5).y, 1.0f);
    EXPECT_EQ(capture.count(), 0u);

    TrackFloatLinear empty;
    EXPECT_EQ(empty.getValue(3), 0.0f);
    EXPECT_EQ(TrackPoint3DHermite().getValue(3), Point3D());
    EXPECT_EQ(capture.count(), 2u);
    EXPECT_TRUE(capture.has("Track", "getValue: no key"));
}

TEST(Track, TCBAndEase)
{
    // ease(u, 0.5, 0.5) = 2u^2 below 0.5, and mirrored above.
    for (float u : {0.0f, 0.1f, 0.3f, 0.45f}) {
        EXPECT_FLOAT_EQ(Track::ease(u, 0.5f, 0.5f), 2 * u * u);
        EXPECT_FLOAT_EQ(Track::ease(1 - u, 0.5f, 0.5f), 1 - 2 * u * u);
    }
    EXPECT_EQ(Track::ease(0.3f, 0, 0), 0.3f);
    EXPECT_FLOAT_EQ(Track::ease(0.5f, 2.0f, 0.0f), 0.25f) << "eases summing above 1 are scaled down";
    // Different eases a = 0.2, b = 0.3: k = 1 / (2 - a - b) = 2/3; between a and 1 - b the curve is
    // k (2u - a), which meets k/a u^2 at u = a.
    EXPECT_FLOAT_EQ(Track::ease(0.5f, 0.2f, 0.3f), 1.6f / 3);
    EXPECT_FLOAT_EQ(Track::ease(0.6f, 0.2f, 0.3f), 2.0f / 3);
    EXPECT_FLOAT_EQ(Track::ease(0.5f, 0.3f, 0.2f), 1.4f / 3);
    EXPECT_FLOAT_EQ(Track::ease(0.2f, 0.2f, 0.3f), 0.4f / 3);
    // No ease on the far side: u = 1 reaches 1 (the plain formula gives 0/0 there).
    EXPECT_EQ(Track::ease(1.0f, 0.5f, 0.0f), 1.0f);

    // Two keys, no ease: key0 + (key1 - key0)(3u^2 - 2u^3).
    TrackFloatTCB tcb;
    tcb.createKey(2);
    tcb.setKey(0, 0, 2, 0.3f, 0.2f, 0.5f, 0, 0);
    tcb.setKey(1, 10, 6, -0.4f, 0.1f, 0.2f, 0, 0);
    tcb.prepare();
    for (float u : {0.25f, 0.5f, 0.9f}) EXPECT_FLOAT_EQ(tcb.getValue(10 * u), 2 + 4 * (3 * u * u - 2 * u * u * u));
    // With eases the same curve runs on u' = ease(u, ease from of key 0, ease to of key 1).
    tcb.setKey(0, 0, 2, 0, 0, 0, 0.5f, 0);
    tcb.setKey(1, 10, 6, 0, 0, 0, 0, 0.5f);
    tcb.prepare();
    const float e = 2 * 0.25f * 0.25f;
    EXPECT_FLOAT_EQ(tcb.getValue(2.5f), 2 + 4 * (3 * e * e - 2 * e * e * e));

    // Three keys, uneven spacing: the middle tangents are (dp + dn)/2 scaled by 2/3 and 4/3.
    tcb.createKey(3);
    tcb.setKey(0, 0, 0, 0, 0, 0, 0.5f, 0);
    tcb.setKey(1, 10, 10, 0, 0, 0, 0, 0);
    tcb.setKey(2, 30, 30, 0, 0, 0, 0, 0);
    tcb.prepare();
    EXPECT_FLOAT_EQ(tcb.keys()[1].inTangent, 10.0f);
    EXPECT_FLOAT_EQ(tcb.keys()[1].outTangent, 20.0f);
    EXPECT_EQ(tcb.getValue(10), 10.0f) << "ease from with no ease to: no NaN at the key";
    tcb.setKey(0, 0, 0, 0, 0, 0, 0, 0);
    tcb.prepare();
    EXPECT_FLOAT_EQ(tcb.getValue(5), 5 + (0.125f - 0.25f) * 10);
    // Tension 1 flattens the middle key.
    tcb.setKey(1, 10, 10, 0, 0, 1, 0, 0);
    tcb.prepare();
    EXPECT_FLOAT_EQ(tcb.getValue(5), 5.0f);

    TrackPoint3DTCB points;
    points.createKey(3);
    points.setKey(0, 0, {0, 0, 0}, 0, 0, 0, 0, 0);
    points.setKey(1, 10, {10, -10, 1}, 0, 0, 0, 0, 0);
    points.setKey(2, 30, {30, -30, 1}, 0, 0, 0, 0, 0);
    points.prepare();
    EXPECT_FLOAT_EQ(points.getValue(5).x, 3.75f);
    EXPECT_FLOAT_EQ(points.getValue(5).y, -3.75f);

    // Without keys, or with coinciding key times: neutral values, no division by zero.
    ReportCapture capture;
    TrackFloatTCB none;
    none.prepare();
    EXPECT_EQ(none.getValue(1), 0.0f);
    tcb.createKey(3);
    tcb.prepare();  // three keys at time 0
    EXPECT_EQ(tcb.getValue(0), 0.0f);
    EXPECT_TRUE(std::isfinite(tcb.getValue(0.5f)));
    EXPECT_EQ(capture.count(), 0u);
}

TEST(Track, Bezier)
{
    TrackFloatBezier b;
    b.createKey(3);
    // A step out of key 0 holds its value until key 1's time.
    b.setKey(0, 0, 1, kBezierSmooth, kBezierStep, 0, 0.001f, 0, 0.001f);
    b.setKey(1, 10, 5, kBezierSmooth, kBezierSmooth, 0, 0.001f, 0, 0.001f);
    b.setKey(2, 20, 7, kBezierSmooth, kBezierSmooth, 0, 0.001f, 0, 0.001f);
    b.prepare();
    EXPECT_EQ(b.getValue(0.5f), 1.0f);
    EXPECT_EQ(b.getValue(9.99f), 1.0f);
    EXPECT_EQ(b.getValue(10), 5.0f);

    // Points on a line stay on it with linear, smooth and fast-free tangents.
    for (int type : {kBezierLinear, kBezierSmooth}) {
        for (int i = 0; i < 3; ++i) b.setKey(i, 10.0f * i, 20.0f * i, type, type, 0, 0.001f, 0, 0.001f);
        b.prepare();
        EXPECT_FLOAT_EQ(b.keys()[1].outTangent, 2.0f) << type;
        EXPECT_FLOAT_EQ(b.keys()[1].inTangent, -2.0f) << type;
        EXPECT_FLOAT_EQ(b.keys()[0].outTangent, 2.0f) << type;
        EXPECT_FLOAT_EQ(b.keys()[2].inTangent, -2.0f) << type;
        for (float t : {2.5f, 7.0f, 15.0f}) EXPECT_NEAR(b.getValue(t), 2 * t, 1e-4f) << type;
    }
    // Slow: flat tangents; fast: twice the slope.
    b.setKey(1, 10, 20, kBezierSlow, kBezierFast, 0, 0.001f, 0, 0.001f);
    b.prepare();
    EXPECT_EQ(b.keys()[1].inTangent, 0.0f);
    EXPECT_FLOAT_EQ(b.keys()[1].outTangent, 4.0f);

    // Custom handles on the line y = t with short lengths: the time curve is a true cubic
    // (solved by Cardano's formula), and the value still equals the time.
    b.createKey(2);
    b.setKey(0, 0, 0, kBezierSmooth, kBezierCustom, 0, 0.001f, 1, 0.1f);
    b.setKey(1, 10, 10, kBezierCustom, kBezierSmooth, -1, 0.1f, 0, 0.001f);
    b.prepare();
    for (float t : {0.3f, 1.0f, 2.5f, 5.0f, 8.2f}) EXPECT_NEAR(b.getValue(t), t, 1e-4f);
    // A negative handle length is replaced in the key by 0.3333 and evaluated as 1/3.
    b.setKey(0, 0, 0, kBezierSmooth, kBezierCustom, 0, 0.001f, 1, -1.0f);
    b.setKey(1, 10, 10, kBezierCustom, kBezierSmooth, -1, -1.0f, 0, 0.001f);
    EXPECT_NEAR(b.getValue(4), 4.0f, 1e-4f);
    EXPECT_EQ(b.keys()[0].outLength, 0.3333f);
    EXPECT_EQ(b.keys()[1].inLength, 0.3333f);

    // No keys, one key, coinciding times: neutral values, no crash.
    ReportCapture capture;
    TrackFloatBezier none;
    none.prepare();
    EXPECT_EQ(none.getValue(3), 0.0f);
    none.createKey(1);
    none.setKey(0, 5, 9);
    none.prepare();
    EXPECT_EQ(none.getValue(0), 9.0f);
    none.createKey(3);
    for (int type = 0; type <= 5; ++type) {
        for (int i = 0; i < 3; ++i) none.setKey(i, 0, float(i), type, type, 0, 0.001f, 0, 0.001f);
        none.prepare();
        EXPECT_EQ(none.getValue(0), 0.0f);
    }
    EXPECT_EQ(capture.count(), 0u);
}

TEST(Track, Rotations)
{
    ReportCapture capture;
    // Linear: keys 90 degrees apart about z give 45 degrees at the midpoint.
    TrackRotationLinear linear;
    linear.createKey(2);
    linear.setKey(0, 0, AngleAxis(0, 0, 1, 0));
    linear.setKey(1, 10, AngleAxis(0, 0, -1, -kPi / 2));  // a negative angle flips the axis
    linear.prepare();
    EXPECT_NEAR(angleAboutZ(linear.getValue(5)), kPi / 4, 1e-5f);
    EXPECT_NEAR(angleAboutZ(linear.getValue(20)), kPi / 2, 1e-5f);
    // Shortest arc: from 350 to 10 degrees passes 0.
    linear.setKey(0, 0, AngleAxis(0, 0, 1, 350 * kPi / 180));
    linear.setKey(1, 10, AngleAxis(0, 0, 1, 10 * kPi / 180));
    linear.prepare();
    EXPECT_NEAR(angleAboutZ(linear.getValue(5)), 0.0f, 1e-5f);

    // TCB keys are relative: three quarter turns about z add up to 180 degrees.
    TrackRotationTCB tcb;
    tcb.createKey(3);
    tcb.setKey(0, 0, AngleAxis(0, 0, 1, 0));
    tcb.setKey(1, 10, AngleAxis(0, 0, 1, kPi / 2));
    tcb.setKey(2, 20, AngleAxis(0, 0, 1, kPi / 2));
    tcb.prepare();
    EXPECT_TRUE(tcb.isSimple());
    EXPECT_NEAR(angleAboutZ(tcb.getValue(5)), kPi / 4, 1e-5f);
    EXPECT_NEAR(angleAboutZ(tcb.getValue(15)), 3 * kPi / 4, 1e-5f);
    EXPECT_NEAR(std::fabs(angleAboutZ(tcb.getValue(20))), kPi, 1e-5f);

    // One and a quarter turns between two keys: the multi-turn path turns through them all.
    tcb.createKey(2);
    tcb.setKey(0, 0, AngleAxis(0, 0, 1, 0));
    tcb.setKey(1, 10, AngleAxis(0, 0, 1, 2 * kPi + kPi / 2));
    tcb.prepare();
    tcb.prepare();  // preparing again keeps the whole turn
    EXPECT_FALSE(tcb.isSimple());
    EXPECT_EQ(tcb.keys()[1].revolutions, 1);
    const float expected[] = {kPi / 2, 1.25f * kPi - 2 * kPi, 0.0f, kPi / 2};
    const float at[] = {2, 5, 8, 10};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(angleAboutZ(tcb.getValue(at[i])), expected[i], 1e-4f) << at[i];
    // The whole turn survives saving and loading.
    TrackManagerRotation manager, loaded;
    manager.create(3);
    manager.getTrack()->createKey(2);
    manager.getTrack()->setKey(0, 0, AngleAxis(0, 0, 1, 0), Quaternion());
    manager.getTrack()->setKey(1, 10, AngleAxis(0, 0, 1, 2 * kPi + kPi / 2), Quaternion());
    manager.getTrack()->prepare();
    roundTrip(manager, loaded);
    EXPECT_NEAR(angleAboutZ(loaded.getValue(5)), 1.25f * kPi - 2 * kPi, 1e-4f);
    EXPECT_EQ(capture.count(), 0u);

    TrackRotationLinear none;
    none.prepare();
    EXPECT_EQ(none.getValue(1), Quaternion());
    EXPECT_TRUE(capture.has("Track", "prepare: no key"));
    EXPECT_TRUE(capture.has("Track", "getValue: no key"));
    TrackRotationTCB noneTCB;
    EXPECT_EQ(noneTCB.getValue(1), Quaternion());
}

TEST(Track, KeyAccessMessages)
{
    ReportCapture capture;
    TrackFloatLinear t;
    t.setKey(0, 1, 1);
    EXPECT_TRUE(capture.has("Track", "setKey: pKey NULL"));
    float time = 5, value = 5;
    t.getKey(0, time, value);
    EXPECT_TRUE(capture.has("Track", "getKey: pKey NULL"));
    EXPECT_EQ(time, 0.0f);
    EXPECT_EQ(value, 0.0f);

    t.createKey(2);
    t.setKey(0, 1, 2);
    t.setKey(1, 3, 4);
    capture.clear();
    t.createKey(0);
    t.createKey(-3);
    EXPECT_EQ(capture.count(), 2u);
    EXPECT_TRUE(capture.has("Track", "createKey: nbKey <= 0"));
    EXPECT_EQ(t.getNbKey(), 2);
    t.setKey(2, 9, 9);
    EXPECT_TRUE(capture.has("Track", "setKey: not so much key"));
    t.setKey(-1, 9, 9);
    EXPECT_TRUE(capture.has("Track", "setKey: index < 0"));
    t.getKey(1, time, value);
    EXPECT_EQ(time, 3.0f);
    EXPECT_EQ(value, 4.0f) << "the failed setKeys changed nothing";
    capture.clear();
    t.getKey(-1, time, value);
    EXPECT_TRUE(capture.has("Track", "setKey: index < 0"));
    t.getKey(2, time, value);
    EXPECT_TRUE(capture.has("Track", "getKey: not so much key"));
    EXPECT_EQ(value, 0.0f);

    TrackManagerFloat f;
    TrackManagerPoint3D p;
    TrackManagerRotation r;
    f.create(5);
    p.create(4);
    r.create(2);
    EXPECT_TRUE(capture.has("TrackManagerFloat :", "unknow type"));
    EXPECT_TRUE(capture.has("TrackManagerPoint3D :", "unknow type"));
    EXPECT_TRUE(capture.has("TrackManagerRotation :", "unknow type"));
    EXPECT_EQ(f.getTrack(), nullptr);
    EXPECT_EQ(f.getValue(1), 0.0f);
    for (int kind = 1; kind <= 4; ++kind) {
        f.create(kind);
        ASSERT_NE(f.getTrack(), nullptr);
        EXPECT_EQ(f.getType(), kind);
    }
}

TEST(Track, Storage)
{
    // Byte layout: chunk 1 { kind byte, chunk 1 { count, keys with int times } }.
    ScratchDir dir;
    const std::string path = dir.path() + "layout.lcx";
    TrackManagerFloat linear;
    linear.create(1);
    linear.getTrack()->createKey(2);
    linear.getTrack()->setKey(0, 12.7f, 1.5f);
    linear.getTrack()->setKey(1, -3.9f, 2.0f);
    {
        ChunkFileWriterManager w(path.c_str(), false);
        linear.save(w);
    }
    std::vector<uint8_t> expected{0, 1, 0};
    put32(expected, 6 + 1 + 6 + 4 + 16);
    expected.push_back(1);
    expected.insert(expected.end(), {1, 0});
    put32(expected, 6 + 4 + 16);
    put32(expected, 2);
    auto putFloat = [&](float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        put32(expected, u);
    };
    put32(expected, 12);
    putFloat(1.5f);
    put32(expected, uint32_t(-3));
    putFloat(2.0f);
    {
        ChunkFileReaderManager r(path.c_str());
        ASSERT_EQ(r.getStreamSize() + 1, expected.size());
        EXPECT_EQ(std::vector<uint8_t>(r.getStream(), r.getStream() + r.getStreamSize()),
                  std::vector<uint8_t>(expected.begin() + 1, expected.end()));
    }

    // A key at 12.7 reloads at 12.
    TrackManagerFloat back;
    roundTrip(linear, back, true);
    float time, value;
    back.getTrack()->getKey(0, time, value);
    EXPECT_EQ(time, 12.0f);
    EXPECT_EQ(value, 1.5f);

    // Every kind keeps its curve through a save and a load (integer key times).
    for (int kind = 1; kind <= 4; ++kind) {
        TrackManagerFloat m, l;
        m.create(kind);
        TrackFloat* t = m.getTrack();
        t->createKey(4);
        for (int i = 0; i < 4; ++i) t->setKey(i, 10.0f * i + (i == 3 ? 5 : 0), float(i * i) - 2.0f);
        if (kind == 3) static_cast<TrackFloatTCB*>(t)->setKey(1, 10, -1, 0.2f, -0.3f, 0.4f, 0.1f, 0.2f);
        if (kind == 4) static_cast<TrackFloatBezier*>(t)->setKey(2, 20, 2, 1, 5, 0.5f, 0.2f, -0.7f, 0.25f);
        t->prepare();
        roundTrip(m, l);
        ASSERT_EQ(l.getType(), kind);
        for (float at : {-1.0f, 3.0f, 10.0f, 17.5f, 26.0f, 40.0f}) EXPECT_EQ(l.getValue(at), m.getValue(at)) << kind;
    }
    for (int kind = 1; kind <= 3; ++kind) {
        TrackManagerPoint3D m, l;
        m.create(kind);
        m.getTrack()->createKey(3);
        for (int i = 0; i < 3; ++i) m.getTrack()->setKey(i, 10.0f * i, Point3D(float(i), float(-i * i), 0.5f));
        if (kind == 3) static_cast<TrackPoint3DTCB*>(m.getTrack())->setKey(1, 10, {1, -1, 2}, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f);
        m.getTrack()->prepare();
        roundTrip(m, l);
        for (float at : {3.0f, 12.0f, 19.0f}) EXPECT_EQ(l.getValue(at), m.getValue(at)) << kind;
    }
    for (int kind : {1, 3}) {
        TrackManagerRotation m, l;
        m.create(kind);
        m.getTrack()->createKey(3);
        for (int i = 0; i < 3; ++i)
            m.getTrack()->setKey(i, 10.0f * i, AngleAxis(0.6f, 0, 0.8f, 0.7f * float(i + 1)), Quaternion());
        if (kind == 3) static_cast<TrackRotationTCB*>(m.getTrack())->setKeyParameters(1, 0.3f, 0.2f, 0.1f, 0.2f, 0.3f);
        m.getTrack()->prepare();
        roundTrip(m, l);
        for (float at : {3.0f, 12.0f, 19.0f}) EXPECT_EQ(l.getValue(at), m.getValue(at)) << kind;
    }
}

TEST(Track, HostileStorage)
{
    ReportCapture capture;
    // A count far beyond what the chunk holds is refused without allocating.
    std::vector<uint8_t> s{1, 0};
    put32(s, 6 + 1 + 6 + 4 + 8);
    s.push_back(1);
    s.insert(s.end(), {1, 0});
    put32(s, 6 + 4 + 8);
    put32(s, 1000000000);
    put32(s, 0);
    put32(s, 0);
    TrackManagerFloat f;
    loadBytes(f, std::vector<uint8_t>{100, 0, 6, 0, 0, 0});  // an empty root: nothing happens
    EXPECT_EQ(f.getTrack(), nullptr);
    EXPECT_EQ(capture.count(), 0u);
    std::vector<uint8_t> root{100, 0};
    put32(root, uint32_t(6 + s.size()));
    root.insert(root.end(), s.begin(), s.end());
    loadBytes(f, root);
    EXPECT_TRUE(capture.has("Track", "load: nbKey larger than its chunk"));
    ASSERT_NE(f.getTrack(), nullptr);
    EXPECT_EQ(f.getTrack()->getNbKey(), 0);
    EXPECT_EQ(f.getValue(1), 0.0f);

    // A count of 0, an unknown kind, a rotation track without keys.
    for (int i = 0; i < 4; ++i) root[6 + 13 + i] = 0;
    capture.clear();
    loadBytes(f, root);
    EXPECT_TRUE(capture.has("Track", "createKey: nbKey <= 0"));
    root[6 + 6] = 9;
    capture.clear();
    loadBytes(f, root);
    EXPECT_TRUE(capture.has("TrackManagerFloat :", "unknow type"));
    root[6 + 6] = 1;
    TrackManagerRotation r;
    capture.clear();
    loadBytes(r, root);
    EXPECT_TRUE(capture.has("Track", "prepare: no key"));
    EXPECT_EQ(r.getValue(3), Quaternion());
}
