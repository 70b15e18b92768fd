// Helpers every .l3x record loader shares: counts checked against the bytes that must hold
// them, optional tracks, raw payload copies of records whose meaning comes later, and the
// one way a counted list of item chunks is loaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "control/TrackManager.h"
#include "foundation/ChunkFile.h"
#include "foundation/Quaternion.h"
#include "foundation/Report.h"
#include "s3d/L3xFormat.h"

// The smallest chunk: an item of a list needs at least its header.
inline constexpr uint32_t kL3xChunkHeader = 6;

// An unsigned 16-bit count read from the file.
inline int readCount16(ChunkFileReader& r) { return static_cast<uint16_t>(r.readShort()); }

// A rotation stored as an angle (radians) and then its axis.
inline Quaternion readAngleAxis(ChunkFileReader& r)
{
    const float angle = r.readFloat();
    const Point3D axis = r.readPoint3D();
    return Quaternion::fromAngleAxis(axis.x, axis.y, axis.z, angle);
}

// True when `count` elements of `bytesEach` bytes fit in what is left of the chunk.
inline bool countFits(const ChunkFileReader& r, int64_t count, uint32_t bytesEach)
{
    return count >= 0 && static_cast<uint64_t>(count) * bytesEach <= r.getRemaining();
}

// Items a list inside an object may announce beyond those it holds: they stay
// default-constructed, and this keeps a few bytes of file from asking for thousands of empty
// objects in every one of thousands of objects. (The scene's own lists follow their counts.)
inline constexpr int kMaxMissingItems = 16;

// How many children with `itemId` the chunk holds after its own fields (the reader's walk is
// left where it was).
int countItems(const ChunkFileReader& r, uint16_t itemId);

// The number of items to make for a list announcing `count` and holding `present`: `count`
// when the chunk has room for it and it exceeds `present` by at most kMaxMissingItems,
// otherwise that bound (with a report naming `what`).
int clampItemCount(const ChunkFileReader& r, int64_t count, int present, const char* caption, const char* what);

// Loads a track slot (a track manager record) into `slot`, replacing what it held.
template <class Manager>
void loadTrack(ChunkFileReader& r, std::unique_ptr<Manager>& slot)
{
    slot = std::make_unique<Manager>();
    slot->load(r);
}

// The payload of a chunk (own fields and children), clamped to the stream.
std::vector<uint8_t> readPayload(const ChunkFileReader& r);

// printf-style formatting of a message text (the messages with a %d or %s).
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Loads the children with `itemId` of a list chunk into exactly `n` items, made
// default-constructed first and loaded in order; each item beyond them reports `extraText`, or is
// ignored when it is null. Other children are ignored.
template <class T, class LoadItem>
void loadListItems(ChunkFileReader& list, int n, uint16_t itemId, std::vector<T>& items, const char* caption,
                   const char* extraText, LoadItem loadItem)
{
    items.clear();
    items.resize(static_cast<size_t>(n));
    if (n == 0) return;
    size_t next = 0;
    ChunkFileReader child;
    while (list.nextChild(child)) {
        if (child.getIdentifier() != itemId) continue;
        if (next >= items.size()) {
            if (extraText) reportWarning(caption, extraText);
            continue;
        }
        loadItem(items[next++], child);
    }
}

// Loads a list chunk whose own field is a 16-bit count, then item children with `itemId`:
// exactly `count` items are made (bounded by what the chunk can hold, else reported naming
// `what`) and loaded as loadListItems does.
template <class T, class LoadItem>
void loadCountedList(ChunkFileReader& list, uint16_t itemId, std::vector<T>& items, const char* caption,
                     const char* what, LoadItem loadItem)
{
    const int count = readCount16(list);  // before counting the items that follow it
    const int n = clampItemCount(list, count, countItems(list, itemId), caption, what);
    loadListItems(list, n, itemId, items, caption, nullptr, loadItem);
}

// The walk every record with values and tracks shares: each child of its `valuesId` chunk goes
// to `value`, each child of its `tracksId` chunk to `track` (both take the item's reader and look
// at its identifier), and every other child of the record to `other`, all in file order.
// (Driving it from the record description in L3xFormat would look each item up by id and
// dispatch on field codes at load time; the loaders' switches go straight to their members.)
template <class Value, class Track, class Other>
void loadValuesAndTracks(ChunkFileReader& r, uint16_t valuesId, uint16_t tracksId, Value value, Track track,
                         Other other)
{
    ChunkFileReader child, item;
    while (r.nextChild(child)) {
        const uint16_t id = child.getIdentifier();
        if (id == valuesId) {
            while (child.nextChild(item)) value(item);
        } else if (id == tracksId) {
            while (child.nextChild(item)) track(item);
        } else {
            other(child);
        }
    }
}

// The same walk with the record's other children ignored.
template <class Value, class Track>
void loadValuesAndTracks(ChunkFileReader& r, uint16_t valuesId, uint16_t tracksId, Value value, Track track)
{
    loadValuesAndTracks(r, valuesId, tracksId, value, track, [](ChunkFileReader&) {});
}

// The record shape of cameras and lights: a header, a target, then a values chunk and a tracks
// chunk whose children go to `value` and `track`. Other children are ignored.
template <class Header, class Target, class Value, class Track>
void loadTargetedRecord(ChunkFileReader& r, Header& header, Target& target, Value value, Track track)
{
    loadValuesAndTracks(r, kL3xValues, kL3xTracks, value, track, [&](ChunkFileReader& child) {
        if (child.getIdentifier() == kL3xItemHeader) header.load(child);
        else if (child.getIdentifier() == kL3xItemTarget) target.load(child);
    });
}
