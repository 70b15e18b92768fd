#include "s3d/S3DDrawManager.h"

#include <cmath>
#include <utility>

#include "foundation/Report.h"
#include "foundation/Saturate.h"
#include "image/CImage32.h"
#include "image/Depth.h"
#include "image/Line.h"
#include "s3d/S3DCamera.h"
#include "s3d/S3DTriObject.h"
#include "s3d/ViewPort.h"

S3DProjectedVertex projectVertex(const S3DCamera& camera, const Point3D& p)
{
    S3DProjectedVertex out;
    out.clip = p.z >= camera.getNear() ? 0 : S3DProjectedVertex::kClipNear;
    if (p.z > 0.0f) {
        out.w = 1.0f / p.z;
        out.x = out.w * p.x * camera.m_scaleX + camera.m_centerX;
        out.y = camera.m_centerY - p.y * camera.m_scaleY * out.w;
    }
    if (!(out.x >= 1.0f && out.x <= camera.m_screenWidth - 2.0f && out.y >= 1.0f &&
          out.y <= camera.m_screenHeight - 2.0f))
        out.clip |= S3DProjectedVertex::kClipScreen;
    return out;
}

int drawKindFor(bool weightLink, bool imageLink, int opacityKind)
{
    const auto chosen = [opacityKind](FillChoice by) {
        for (const FillerKind& k : kFillerKinds)
            if (k.chosenBy.by == by &&
                (by != FillChoice::OpacityKinds || (opacityKind >= k.chosenBy.from && opacityKind <= k.chosenBy.to)))
                return k.kind;
        return 0;
    };
    int kind = 0;
    if (weightLink) kind = chosen(FillChoice::WeightLink);
    if (!kind && imageLink) kind = chosen(FillChoice::ImageLink);
    if (!kind) kind = chosen(FillChoice::OpacityKinds);
    return kind ? kind : chosen(FillChoice::Otherwise);
}

bool kindUsesTexture(int kind)
{
    const FillerKind* k = findFillerKind(kind);
    return k && readsTexture(k->values);
}

void sortByKeyDecreasing(S3DSortEntry* e, int n)
{
    // Hoare partition around the middle key; the recursion takes the smaller side so the stack
    // stays logarithmic, the loop the larger one.
    int lo = 0, hi = n - 1;
    while (lo < hi) {
        const float pivot = e[lo + (hi - lo) / 2].key;
        int i = lo, j = hi;
        while (i <= j) {
            while (i <= hi && e[i].key > pivot) ++i;
            while (j >= lo && e[j].key < pivot) --j;
            if (i <= j) std::swap(e[i++], e[j--]);
        }
        if (j - lo < hi - i) {
            sortByKeyDecreasing(e + lo, j - lo + 1);
            lo = i;
        } else {
            sortByKeyDecreasing(e + i, hi - i + 1);
            hi = j;
        }
    }
}

void S3DDepthLists::clear()
{
    m_triangles.clear();
    m_points.clear();
    m_lines.clear();
    m_entries.clear();
    m_merged = false;
}

void S3DDepthLists::finish()
{
    const int kinds = !m_triangles.empty() + !m_points.empty() + !m_lines.empty();
    m_merged = kinds > 1;
    m_entries.assign(m_triangles.size() + m_points.size() + m_lines.size(), S3DSortEntry{});
}

int S3DDepthLists::computeKeys()
{
    // Every item held goes in: with one kind present that is the one list, with more the merged
    // one. Lines alone are drawn sorted like the other kinds.
    if (m_entries.size() != m_triangles.size() + m_points.size() + m_lines.size()) finish();
    S3DSortEntry* e = m_entries.data();
    int n = 0;
    for (size_t i = 0; i < m_triangles.size(); ++i) {
        const S3DTriangleItem& t = m_triangles[i];
        e[n++] = {(t.vertex[0]->w + t.vertex[1]->w + t.vertex[2]->w) * 0.33333334f, 1, int(i)};
    }
    for (size_t i = 0; i < m_points.size(); ++i) e[n++] = {m_points[i].vertex->w, 2, int(i)};
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const S3DLineItem& l = m_lines[i];
        e[n++] = {(l.vertex[0]->w + l.vertex[1]->w) * 0.5f - 10.0f, 3, int(i)};
    }
    sortByKeyDecreasing(e, n);
    return n;
}

S3DDrawManager::S3DDrawManager() = default;

void S3DDrawManager::setup(const S3DCamera* camera, ViewPort* viewPort)
{
    if (!camera) return reportWarning(kCaption, "pCamera NULL");
    if (!viewPort) return reportWarning(kCaption, "pViewPort NULL");
    // Nothing is taken from a view port without a screen: its depth buffer must not be paired
    // with the previous image's size.
    CImage32* screen = viewPort->getScreen();
    if (!screen) return reportWarning(kCaption, "pScreen NULL");
    m_pCamera = camera;
    m_pViewPort = viewPort;
    uint32_t* cells = viewPort->getZBuffer();
    m_depth = {cells, viewPort->getWidth(), viewPort->getHeight()};
    m_pScreen = screen;
    m_image = {screen->getPixels(), screen->getWidth(), screen->getHeight()};
    m_clipper.setup(*camera);
    for (PolyFiller& f : m_fillers) {
        f.setDestination(&m_image);
        if (cells) f.setZBuffer(&m_depth);
    }
    // The flat filler is also given no material.
    m_fillers[size_t(fillerKindRow(kDrawFlat))].setMaterial(nullptr);
    // A depth buffer of another size than the image is not used (the fillers refused it too).
    if (m_depth.width != m_image.width || m_depth.height != m_image.height) m_depth.cells = nullptr;
}

float S3DDrawManager::getNear() const { return m_pCamera ? m_pCamera->getNear() : 1.0f; }

PolyFiller* S3DDrawManager::filler(int kind, const RasterMaterial& material)
{
    const int row = fillerKindRow(kind);
    if (row < 0) return nullptr;
    PolyFiller& f = m_fillers[size_t(row)];
    f.setMaterial(&material);
    return f.hasMaterial() ? &f : nullptr;
}

void S3DDrawManager::drawLine(const S3DProjectedVertex& a, const S3DProjectedVertex& b, uint32_t colour, int mode)
{
    if (!m_pScreen || ((a.clip | b.clip) & S3DProjectedVertex::kClipNear)) return;
    // Lines test the depth cells by their own rule (lineDepthPasses: a near plane below 2 puts
    // depths in the near half) and never write them.
    const LineDesc line{a.x, a.y, a.w, b.x, b.y, b.w, colour, static_cast<BlendMode>(mode)};
    ::drawLine(m_pScreen, m_depth.cells, line);
}

void S3DDrawManager::drawPoint(const S3DProjectedVertex& p, uint32_t colour)
{
    if (!m_pScreen || (p.clip & S3DProjectedVertex::kClipNear)) return;
    const int x = saturateToInt(std::floor(p.x)), y = saturateToInt(std::floor(p.y));
    if (x < 0 || y < 0 || x >= m_image.width || y >= m_image.height) return;
    const size_t cell = size_t(y) * size_t(m_image.width) + size_t(x);
    // Points test the depth as polygons do and leave it.
    if (m_depth.cells && !depthPasses(m_depth.cells[cell], depthCell(p.w))) return;
    m_image.pixels[cell] = colour;
}

void S3DDrawManager::drawDepthLists(S3DDepthLists& lists)
{
    if (!ready() || lists.empty()) return;
    const int n = lists.computeKeys();
    const S3DSortEntry* e = lists.m_entries.data();
    for (int k = 0; k < n; ++k) {
        switch (e[k].kind) {
        case 1: {
            const S3DTriangleItem& t = lists.m_triangles[size_t(e[k].index)];
            t.object->drawPolygonItem(*this, t.operation, t.polygon, lists.merged());
            break;
        }
        case 2: {
            const S3DPointItem& p = lists.m_points[size_t(e[k].index)];
            drawPoint(*p.vertex, *p.colour);
            break;
        }
        default: {
            const S3DLineItem& l = lists.m_lines[size_t(e[k].index)];
            drawLine(*l.vertex[0], *l.vertex[1], *l.colour, l.mode);
            break;
        }
        }
    }
}
