// The filler kinds in one table: for each drawing kind, what selects it for a sub-material, the
// values its polygons interpolate, the span source its loops draw with and the set-up that turns
// its material into a span key. The draw manager (one filler per row, the kind of a material),
// the filler (the walk of the values) and the set-up (the span key) all read it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "raster/PolySpan.h"

// Drawing kinds of a sub-material's polygons, as the draw operations hold them.
enum S3DDrawKind : int {
    kDrawGouraud = 1,
    kDrawTwoValue = 2,
    kDrawLitTexture = 3,
    kDrawLinkedImage = 4,
    kDrawTexture = 10,
    kDrawPerspective = 11,
    kDrawFlat = 20,
    kDrawFlatTexture = 21,
};

// What a kind's polygons carry, as flags. The fixed-point values are walked in this order (light,
// weight, u, v), at most kMaxFillLanes of them.
enum FillValue : uint8_t {
    kFillLight = 1,        // palette index, 16.16
    kFillWeight = 2,       // weight of the colour against the destination, 16.16
    kFillTexel = 4,        // u and v in texels, 16.16
    kFillPerspective = 8,  // w, u w and v w as floats, divided per pixel
    kFillFlatIndex = 16,   // one palette index per polygon: the flat colour; with kFillLight, the light
};
constexpr int kMaxFillLanes = 3;

// How a kind's material becomes a span key (PolyFiller::setMaterial).
enum class FillSetUp : uint8_t {
    Plain,       // the source and the material's pixel operation
    Texture,     // and the texture: nearest or bilinear, weighed by its texels' own opacity if any
    LitTexture,  // and the texture, met with the lit colour by the opacity kind's or texture mode's rule
};

// What selects a kind for a sub-material: the shading block's weight link, else its image link,
// else its opacity kind in [from, to]; the Otherwise row when none does.
enum class FillChoice : uint8_t { WeightLink, ImageLink, OpacityKinds, Otherwise };
struct FillChosenBy {
    FillChoice by = FillChoice::Otherwise;
    int16_t from = 0, to = 0;  // OpacityKinds only
};
constexpr FillChosenBy kByWeightLink{FillChoice::WeightLink}, kByImageLink{FillChoice::ImageLink},
    kOtherwise{FillChoice::Otherwise};
constexpr FillChosenBy byOpacityKind(int16_t from, int16_t to) { return {FillChoice::OpacityKinds, from, to}; }

struct FillerKind {
    int kind;                 // S3DDrawKind
    FillChosenBy chosenBy;    // what selects it
    uint8_t values;           // what it interpolates: FillValue flags
    polyspan::Source source;  // its span loops: the source's row of kSourceLoops (PolySpan.cpp)
                              // names its scalar twins, SSE2 loops and AVX2 loops
    FillSetUp setUp;          // how its material becomes a span key
};

// The values a span source reads (PolySpanLoop.h); change together with polyspan::Source.
constexpr int sourceReads(polyspan::Source source)
{
    switch (source) {
    case polyspan::Source::Flat: return kFillFlatIndex;
    case polyspan::Source::Palette: return kFillLight;
    case polyspan::Source::PaletteWeight: return kFillLight | kFillWeight;
    case polyspan::Source::Texture: return kFillTexel;
    case polyspan::Source::Perspective: return kFillPerspective;
    case polyspan::Source::LitTexture: return kFillLight | kFillTexel;
    }
    return -1;
}

// Whether values (FillValue flags) sample a texture.
constexpr bool readsTexture(int values) { return (values & (kFillTexel | kFillPerspective)) != 0; }

namespace fillerkinds {
using polyspan::Source;

// A new kind is a row here (and its number's name in S3DDrawKind); the draw manager, the filler
// and the set-up then draw it with no other edit (a named alias in PolyFiller.h only if code names
// it). A new span source besides needs its enumerator (PolySpan.h), its Src struct (PolySpanLoop.h
// gives the scalar twin and the SSE2 loop, PolySpanAvx2.h the AVX2 one), a case in its family's
// finders (PolySpan<Family>.cpp and PolySpan<Family>Avx2.cpp), its row of kSourceLoops
// (PolySpan.cpp) and its case in sourceReads above. A new set-up: its enumerator and its case in
// PolyFiller::setMaterial. badRow below holds every row to these rules at compile time.
inline constexpr FillerKind kRows[] = {
    // kind            chosen by                values                                    span source            set-up
    {kDrawGouraud,     kOtherwise,              kFillLight,                               Source::Palette,       FillSetUp::Plain},
    {kDrawTwoValue,    kByWeightLink,           kFillLight | kFillWeight,                 Source::PaletteWeight, FillSetUp::Plain},
    {kDrawLitTexture,  byOpacityKind(1, 3),     kFillLight | kFillTexel,                  Source::LitTexture,    FillSetUp::LitTexture},
    {kDrawLinkedImage, kByImageLink,            kFillLight,                               Source::Palette,       FillSetUp::Plain},
    {kDrawTexture,     byOpacityKind(200, 200), kFillTexel,                               Source::Texture,       FillSetUp::Texture},
    {kDrawPerspective, byOpacityKind(201, 201), kFillPerspective,                         Source::Perspective,   FillSetUp::Texture},
    {kDrawFlat,        byOpacityKind(100, 100), kFillFlatIndex,                           Source::Flat,          FillSetUp::Plain},
    {kDrawFlatTexture, byOpacityKind(101, 103), kFillFlatIndex | kFillLight | kFillTexel, Source::LitTexture,    FillSetUp::LitTexture},
};
constexpr size_t kCount = std::size(kRows);

constexpr int kMaxKind = 255;

// Row index by drawing kind number, -1 for none.
inline constexpr std::array<int8_t, kMaxKind + 1> kRowOfKind = [] {
    std::array<int8_t, kMaxKind + 1> rows{};
    rows.fill(-1);
    for (size_t i = 0; i < kCount; ++i)
        if (kRows[i].kind > 0 && kRows[i].kind <= kMaxKind) rows[size_t(kRows[i].kind)] = int8_t(i);
    return rows;
}();

// The first row that breaks a rule, kCount when the choices as a whole do, -1 when all hold.
constexpr int badRow()
{
    int otherwise = 0, weightLink = 0, imageLink = 0;
    for (size_t i = 0; i < kCount; ++i) {
        const FillerKind& k = kRows[i];
        const int bad = int(i);
        // Numbers: one row each, inside the lookup.
        if (k.kind <= 0 || k.kind > kMaxKind || kRowOfKind[size_t(k.kind)] != bad) return bad;
        // Values: exactly what the source reads (the flat index besides), the fixed-point ones
        // no more than the filler's vertex holds.
        const int reads = sourceReads(k.source);
        if (reads < 0 || (k.values | kFillFlatIndex) != (reads | kFillFlatIndex)) return bad;
        if ((reads & kFillFlatIndex) && !(k.values & kFillFlatIndex)) return bad;
        const int lanes = bool(k.values & kFillLight) + bool(k.values & kFillWeight) + 2 * bool(k.values & kFillTexel);
        if (lanes > kMaxFillLanes) return bad;
        // Set-up: a textured one exactly for the sources that sample, the combine rule for the lit texture.
        if (readsTexture(reads) != (k.setUp != FillSetUp::Plain)) return bad;
        if (k.setUp == FillSetUp::LitTexture && k.source != Source::LitTexture) return bad;
        // Choice: opacity kinds of one row at most.
        otherwise += k.chosenBy.by == FillChoice::Otherwise;
        weightLink += k.chosenBy.by == FillChoice::WeightLink;
        imageLink += k.chosenBy.by == FillChoice::ImageLink;
        if (k.chosenBy.by != FillChoice::OpacityKinds) continue;
        if (k.chosenBy.from > k.chosenBy.to) return bad;
        for (size_t j = 0; j < i; ++j) {
            const FillChosenBy& o = kRows[j].chosenBy;
            if (o.by == FillChoice::OpacityKinds && o.from <= k.chosenBy.to && k.chosenBy.from <= o.to) return bad;
        }
    }
    // One Otherwise row, one row per link at most.
    return otherwise == 1 && weightLink <= 1 && imageLink <= 1 ? -1 : int(kCount);
}
static_assert(badRow() < 0, "a row of kFillerKinds breaks the rules stated above it");

} // namespace fillerkinds

inline constexpr const auto& kFillerKinds = fillerkinds::kRows;
constexpr size_t kFillerKindCount = fillerkinds::kCount;

// The row of a drawing kind in kFillerKinds (its index, or the row itself), -1 or null for a
// number no row has.
constexpr int fillerKindRow(int kind)
{
    return kind < 0 || kind > fillerkinds::kMaxKind ? -1 : fillerkinds::kRowOfKind[size_t(kind)];
}
constexpr const FillerKind* findFillerKind(int kind)
{
    const int row = fillerKindRow(kind);
    return row < 0 ? nullptr : &kFillerKinds[row];
}
