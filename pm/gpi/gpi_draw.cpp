/*
 * gpi_draw.cpp - lines, boxes, areas, points and erase on a PS.
 *
 * PM lines include their end point; native lines stop one pixel short, so
 * GpiLine draws natively and then sets the end pixel itself in the line
 * colour (under the same raster operation as the rest of the line).  A PS whose pattern is 3 draws its lines dotted: the native line
 * walk calls DotDotLineProc for every pixel, which paints alternately in
 * the line foreground and background colour with a toggle that carries on
 * from one line to the next.
 *
 * Areas: between GpiBeginArea and GpiEndArea the points that GpiMove,
 * GpiLine and GpiPolyLine reach are recorded (in native coordinates) in a
 * process-wide array, and GpiEndArea fills the polygon they make.  The
 * lines themselves are drawn inside the bracket only when GpiBeginArea
 * asked for the boundary (PM_BA_BOUNDARY); an area begins with the first
 * point reached inside the bracket, so start it with GpiMove.
 */
#include <algorithm>
#include <vector>
#include "pm/gpi/gpiint.h"

namespace orin::pm::gpi {
namespace {

constexpr size_t kAreaGrowth = 32;

/* The area recorder and the dotted-line toggle are shared by the process. */
std::vector<POINT> areaPoints;
bool dotToggle = false;

struct DotWalk {
    HDC hdc;
    COLORREF fore;
    COLORREF back;
};

void paintDot(const DotWalk &walk, int x, int y) noexcept
{
    SetPixel(walk.hdc, x, y, dotToggle ? walk.back : walk.fore);
    dotToggle = !dotToggle;
}

void CALLBACK DotDotLineProc(int x, int y, LPARAM data)
{
    paintDot(*reinterpret_cast<const DotWalk *>(data), x, y);
}

POINT currentPosition(const GpiPS &ps) noexcept
{
    POINT pt{};
    GetCurrentPositionEx(ps.hdc, &pt);
    return pt;
}

/* Whether lines reach the context now (not inside an area without boundary). */
bool linesVisible(const GpiPS &ps) noexcept
{
    return !ps.recordingArea || ps.areaBoundary;
}

/* A native line from the current position to pt, without its end pixel. */
void lineBody(GpiPS &ps, POINT pt) noexcept
{
    if (ps.pattern == kPatternDotted && !ps.inPath)
        dotLine(ps, currentPosition(ps), pt);
    else
        LineTo(ps.hdc, pt.x, pt.y);
}

void endPixel(GpiPS &ps, POINT pt) noexcept
{
    if (ps.pattern != kPatternDotted && !ps.inPath)
        SetPixel(ps.hdc, pt.x, pt.y, lineColor(ps));
}

/* Line (or polyline) through the given native points from the current one. */
void drawPolyline(GpiPS &ps, const POINT *pts, LONG count) noexcept
{
    bool visible = linesVisible(ps);
    if (visible)
        gpiRealize(ps, kModeLine);
    for (LONG i = 0; i < count; i++) {
        if (ps.recordingArea)
            areaRecord(pts[i]);
        if (visible)
            lineBody(ps, pts[i]);
        else
            MoveToEx(ps.hdc, pts[i].x, pts[i].y, nullptr);
    }
    if (visible && count > 0)
        endPixel(ps, pts[count - 1]);
}

/* Native box spanned by the current position a and a PM corner. */
RECT boxFrom(const GpiPS &ps, POINT a, const PM_POINTL &corner) noexcept
{
    POINT b = toNative(ps, corner);
    return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

void fillBox(GpiPS &ps, const RECT &box) noexcept
{
    gpiRealize(ps, kModeArea);
    PatBlt(ps.hdc, box.left, box.top, box.right - box.left + 1, box.bottom - box.top + 1,
           fillRop3(ps.mix));
}

/* The four sides through the four corners; a degenerate box is one line. */
void outlineBox(GpiPS &ps, const RECT &box) noexcept
{
    gpiRealize(ps, kModeLine);
    MoveToEx(ps.hdc, box.left, box.top, nullptr);
    if (box.left == box.right || box.top == box.bottom) {
        POINT end{box.right, box.bottom};
        lineBody(ps, end);
        endPixel(ps, end);
        return;
    }
    const POINT corners[] = {{box.right, box.top}, {box.right, box.bottom},
                             {box.left, box.bottom}, {box.left, box.top}};
    for (const POINT &c : corners)
        lineBody(ps, c);
}

constexpr LONG kBoxControls = PM_DRO_OUTLINEFILL;

LONG drawBox(GpiPS &ps, LONG control, const PM_POINTL &corner, RECT *drawn) noexcept
{
    POINT saved = currentPosition(ps);
    RECT box = boxFrom(ps, saved, corner);
    if (control & PM_DRO_FILL)
        fillBox(ps, box);
    if (control & PM_DRO_OUTLINE) {
        outlineBox(ps, box);
        MoveToEx(ps.hdc, saved.x, saved.y, nullptr);   // filling leaves it alone
    }
    if (drawn)
        *drawn = box;
    return PM_GPI_OK;
}

}  // namespace

void areaRecord(const POINT &pt) noexcept
{
    try {
        if (areaPoints.size() == areaPoints.capacity())
            areaPoints.reserve(areaPoints.size() + kAreaGrowth);
        areaPoints.push_back(pt);
    } catch (...) {
        // no memory: the point is dropped and drawing goes on
    }
}

void dotLine(GpiPS &ps, POINT from, POINT to) noexcept
{
    DotWalk walk{ps.hdc, lineColor(ps), resolveColor(ps, ps.lineBack)};
    LineDDA(from.x, from.y, to.x, to.y, DotDotLineProc, reinterpret_cast<LPARAM>(&walk));
    paintDot(walk, to.x, to.y);
    MoveToEx(ps.hdc, to.x, to.y, nullptr);
}

}  // namespace orin::pm::gpi

using namespace orin::pm::gpi;

BOOL ORINAPI GpiMove(HPS hps, const PM_POINTL *pptl) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    if (!pptl)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    POINT pt = toNative(*ps, *pptl);
    if (ps->recordingArea)
        areaRecord(pt);
    return MoveToEx(ps->hdc, pt.x, pt.y, nullptr);
}

LONG ORINAPI GpiLine(HPS hps, const PM_POINTL *pptl) noexcept
{
    return GpiPolyLine(hps, 1, pptl);
}

LONG ORINAPI GpiPolyLine(HPS hps, LONG lCount, const PM_POINTL *aptl) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!aptl || lCount <= 0)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    constexpr LONG kBatch = 64;
    POINT pts[kBatch];
    for (LONG done = 0; done < lCount; done += kBatch) {
        LONG n = std::min(kBatch, lCount - done);
        for (LONG i = 0; i < n; i++)
            pts[i] = toNative(*ps, aptl[done + i]);
        drawPolyline(*ps, pts, n);
    }
    return PM_GPI_OK;
}

LONG ORINAPI GpiBox(HPS hps, LONG lControl, const PM_POINTL *pptl, LONG, LONG) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!pptl || lControl <= 0 || (lControl & ~kBoxControls))
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    return drawBox(*ps, lControl, *pptl, nullptr);
}

LONG ORINAPI GpiFrameBox(HPS hps, LONG lControl, const PM_POINTL *pptl, PM_RECTL *prclBox) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!pptl || lControl < 0 || (lControl & ~kBoxControls))
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    RECT box{};
    LONG result = drawBox(*ps, lControl | PM_DRO_OUTLINE, *pptl, &box);
    if (prclBox)   // the native box is inclusive: widen it to exclusive first
        *prclBox = toPMRect(*ps, RECT{box.left, box.top, box.right + 1, box.bottom + 1});
    return result;
}

LONG ORINAPI GpiPoint(HPS hps, const PM_POINTL *pptl) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!pptl)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    POINT pt = toNative(*ps, *pptl);
    COLORREF color = lineColor(*ps);
    if (ps->markerBox.cx >= 1 && ps->markerBox.cy >= 1) {
        GdiObject pen(CreatePen(PS_SOLID, 0, color));
        GdiObject brush(CreateSolidBrush(color));
        ScopedSelect usePen(ps->hdc, pen.get());
        ScopedSelect useBrush(ps->hdc, brush.get());
        LONG left = pt.x - ps->markerBox.cx / 2, top = pt.y - ps->markerBox.cy / 2;
        Ellipse(ps->hdc, left, top, left + ps->markerBox.cx, top + ps->markerBox.cy);
    } else {
        SetPixel(ps->hdc, pt.x, pt.y, color);
    }
    return PM_GPI_OK;
}

LONG ORINAPI GpiSetPel(HPS hps, const PM_POINTL *pptl) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!pptl)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    POINT pt = toNative(*ps, *pptl);
    SetPixel(ps->hdc, pt.x, pt.y, lineColor(*ps));
    return PM_GPI_OK;
}

LONG ORINAPI GpiQueryPel(HPS hps, const PM_POINTL *pptl) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_CLR_ERROR;
    if (!pptl)
        return fail(PMERR_GPI_INV_PARAM, PM_CLR_ERROR);
    POINT pt = toNative(*ps, *pptl);
    COLORREF c = GetPixel(ps->hdc, pt.x, pt.y);
    if (c == CLR_INVALID)
        return PM_CLR_ERROR;
    return static_cast<LONG>((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
}

BOOL ORINAPI GpiErase(HPS hps) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    GdiObject brush(CreateSolidBrush(resolveColor(*ps, ps->areaBack)));
    RECT client{ps->left, ps->top, ps->left + ps->width, ps->top + ps->height};
    return brush && FillRect(ps->hdc, &client, static_cast<HBRUSH>(brush.get()));
}

BOOL ORINAPI GpiBeginArea(HPS hps, ULONG flOptions) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    areaPoints.clear();
    ps->recordingArea = true;
    ps->areaBoundary = (flOptions & PM_BA_BOUNDARY) != 0;
    return TRUE;
}

LONG ORINAPI GpiEndArea(HPS hps) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!ps->recordingArea)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    if (!areaPoints.empty()) {
        gpiRealize(*ps, kModeArea);
        ScopedSelect noOutline(ps->hdc, GetStockObject(NULL_PEN));
        Polygon(ps->hdc, areaPoints.data(), static_cast<int>(areaPoints.size()));
    }
    ps->recordingArea = false;
    areaPoints.clear();
    return PM_GPI_OK;
}
