// Turns prepared tri objects into pixels: one polygon filler per drawing kind (a row of
// kFillerKinds) bound to the current camera, the view port's image and its depth buffer; the
// clipper; lines and points; and the depth-ordered lists (triangles, points, lines) sorted
// nearest first and drawn last.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "raster/PolyFiller.h"
#include "s3d/S3DClipper.h"

class CImage32;
class S3DCamera;
class S3DTriObject;
class ViewPort;

// A vertex after projection: screen position, w = 1/z, and why it needs the clipper.
struct S3DProjectedVertex {
    enum : uint8_t { kClipNear = 1, kClipScreen = 2 };
    float x = 0, y = 0, w = 0;
    uint8_t clip = 0;
};

// Projects a camera-space point: clip for z below near; w = 1/z, sx = w x scaleX + centerX,
// sy = centerY - y scaleY w; clip too outside the one-pixel guard band 1 .. size - 2. A point
// at or behind the eye gets w = 0.
S3DProjectedVertex projectVertex(const S3DCamera& camera, const Point3D& p);

// The drawing kind of a sub-material, by the choices of kFillerKinds (PolyFillerKinds.h): its
// object's two links (S3DTriObject: the weight link, else the image link), then its opacity kind.
int drawKindFor(bool weightLink, bool imageLink, int opacityKind);
// Whether a drawing kind reads texture coordinates.
bool kindUsesTexture(int kind);

// Depth-ordered items. Keys are computed from the current projected vertices before sorting.
struct S3DTriangleItem {
    S3DTriObject* object = nullptr;
    int operation = 0;  // the object's draw operation
    int polygon = 0;    // its polygon
    const S3DProjectedVertex* vertex[3] = {};
};
struct S3DPointItem {
    const S3DProjectedVertex* vertex = nullptr;
    const uint32_t* colour = nullptr;  // the sub-material's fully lit palette entry
};
struct S3DLineItem {
    const S3DProjectedVertex* vertex[2] = {};
    const uint32_t* colour = nullptr;  // the sub-material's line colour
    int mode = 0;  // line blend: 0 normal, 1 add, other subtract
};

// One entry of a sorted list: the item's kind (1 triangle, 2 point, 3 line), its index and key.
struct S3DSortEntry {
    float key = 0;
    uint8_t kind = 0;
    int index = 0;
};

// Quicksort on the key in decreasing order (nearest first), the middle element as pivot.
void sortByKeyDecreasing(S3DSortEntry* entries, int n);

class S3DDepthLists {
public:
    // Sizes the sort entries for the items held; called once after the items are set.
    void finish();
    bool empty() const { return m_triangles.empty() && m_points.empty() && m_lines.empty(); }
    // Whether more than one kind is present (the merged list is used).
    bool merged() const { return m_merged; }
    void clear();
    // Keys from the current projected vertices (triangle (w0 + w1 + w2) / 3, point w, line
    // (w0 + w1) / 2 - 10) into the entries, sorted nearest first; returns their count.
    int computeKeys();

    std::vector<S3DTriangleItem> m_triangles;
    std::vector<S3DPointItem> m_points;
    std::vector<S3DLineItem> m_lines;
    // The entries of the list drawn this frame (merged, or the one kind present).
    std::vector<S3DSortEntry> m_entries;

private:
    bool m_merged = false;
};

class S3DDrawManager {
public:
    static constexpr const char* kCaption = "S3DDrawManager warning:";

    S3DDrawManager();
    S3DDrawManager(const S3DDrawManager&) = delete;
    S3DDrawManager& operator=(const S3DDrawManager&) = delete;

    // Binds the camera, the view port's depth buffer and image to every filler. Reports a null
    // camera ("pCamera NULL"), view port ("pViewPort NULL") or screen ("pScreen NULL") and
    // keeps the previous state.
    void setup(const S3DCamera* camera, ViewPort* viewPort);
    // Whether setup has bound a camera and an image.
    bool ready() const { return m_pCamera && m_pScreen; }

    // The filler of a drawing kind, its material already set; null for an unknown kind.
    PolyFiller* filler(int kind, const RasterMaterial& material);
    const S3DClipper& clipper() const { return m_clipper; }
    float getNear() const;

    // A line between two projected vertices (both in front of the near plane), depth-tested.
    void drawLine(const S3DProjectedVertex& a, const S3DProjectedVertex& b, uint32_t colour, int mode);
    // A point as one pixel when it is in front of the near plane and on the screen, depth-tested.
    void drawPoint(const S3DProjectedVertex& p, uint32_t colour);

    // Keys from the current projected vertices, the sort, and the drawing of every item.
    void drawDepthLists(S3DDepthLists& lists);

private:
    const S3DCamera* m_pCamera = nullptr;
    ViewPort* m_pViewPort = nullptr;
    CImage32* m_pScreen = nullptr;
    RasterImage m_image;
    RasterDepth m_depth;
    S3DClipper m_clipper;

    // One filler per row of kFillerKinds, in its order.
    template <size_t... I>
    static std::array<PolyFiller, sizeof...(I)> makeFillers(std::index_sequence<I...>)
    {
        return {PolyFiller(kFillerKinds[I])...};
    }
    std::array<PolyFiller, kFillerKindCount> m_fillers = makeFillers(std::make_index_sequence<kFillerKindCount>{});
};
