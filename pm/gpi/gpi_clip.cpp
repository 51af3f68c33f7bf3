/*
 * gpi_clip.cpp - paths and clipping on a PS.
 *
 * A path is the native path of the context: GpiBeginPath opens it, lines
 * drawn while it is open go into it (without the separately set end
 * pixels of PM lines), and GpiEndPath, GpiSelectClipPath or
 * GpiFillAndStrokePath close it.  Regions are native regions made from PM
 * points; the clip calls combine them with the context's clip region.
 * Rectangles in and out are PM rectangles, inclusive on all four sides.
 */
#include <vector>
#include "pm/gpi/gpiint.h"

namespace orin::pm::gpi {
namespace {

/* Native points of a PM point list, or an empty list when out of memory. */
std::vector<POINT> nativePoints(const GpiPS &ps, LONG count, const PM_POINTL *aptl) noexcept
{
    std::vector<POINT> pts;
    try {
        pts.reserve(static_cast<size_t>(count));
    } catch (...) {
        return pts;
    }
    for (LONG i = 0; i < count; i++)
        pts.push_back(toNative(ps, aptl[i]));
    return pts;
}

void closePath(GpiPS &ps) noexcept
{
    if (ps.inPath) {
        EndPath(ps.hdc);
        ps.inPath = false;
    }
}

int fillModeOf(ULONG options) noexcept
{
    return (options & PM_SCP_WINDING) ? WINDING : ALTERNATE;
}

/* A native region from PM points; null (last error set) on bad input. */
HRGN polygonRegion(const GpiPS &ps, LONG count, const PM_POINTL *aptl, ULONG options) noexcept
{
    if (!aptl || count < 3)
        return fail<HRGN>(PMERR_GPI_INV_PARAM, nullptr);
    std::vector<POINT> pts = nativePoints(ps, count, aptl);
    if (pts.size() != static_cast<size_t>(count))
        return fail<HRGN>(PMERR_GPI_NO_MEMORY, nullptr);
    return CreatePolygonRgn(pts.data(), count, fillModeOf(options));
}

}  // namespace
}  // namespace orin::pm::gpi

using namespace orin::pm::gpi;

BOOL ORINAPI GpiBeginPath(HPS hps, LONG idPath) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    if (idPath != 1)   // PS have one path, with the id 1
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    if (!BeginPath(ps->hdc))
        return FALSE;
    ps->inPath = true;
    return TRUE;
}

BOOL ORINAPI GpiEndPath(HPS hps) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    if (!ps->inPath)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    closePath(*ps);
    return TRUE;
}

LONG ORINAPI GpiDrawPathPolyline(HPS hps, LONG lCount, const PM_POINTL *aptl) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    if (!ps->inPath || !aptl || lCount < 2)
        return fail(PMERR_GPI_INV_PARAM, PM_GPI_ERROR);
    std::vector<POINT> pts = nativePoints(*ps, lCount, aptl);
    if (pts.size() != static_cast<size_t>(lCount))
        return fail(PMERR_GPI_NO_MEMORY, PM_GPI_ERROR);
    MoveToEx(ps->hdc, pts[0].x, pts[0].y, nullptr);
    return PolylineTo(ps->hdc, pts.data() + 1, static_cast<DWORD>(lCount - 1)) ? PM_GPI_OK
                                                                                : PM_GPI_ERROR;
}

BOOL ORINAPI GpiSelectClipPath(HPS hps, LONG idPath, LONG lOptions) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    if (idPath == 0 || lOptions == PM_SCP_RESET) {
        closePath(*ps);
        AbortPath(ps->hdc);
        return SelectClipRgn(ps->hdc, nullptr) != ERROR;
    }
    closePath(*ps);
    SetPolyFillMode(ps->hdc, fillModeOf(static_cast<ULONG>(lOptions)));
    return SelectClipPath(ps->hdc, (lOptions & PM_SCP_AND) ? RGN_AND : RGN_COPY);
}

LONG ORINAPI GpiFillAndStrokePath(HPS hps, LONG, ULONG flOptions) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_GPI_ERROR;
    closePath(*ps);
    gpiRealize(*ps, kModeArea);     // the brush stays selected while lines realise
    gpiRealize(*ps, kModeLine);
    SetPolyFillMode(ps->hdc, fillModeOf(flOptions));
    return StrokeAndFillPath(ps->hdc) ? PM_GPI_OK : PM_GPI_ERROR;
}

HRGN ORINAPI GpiCreatePolygonRgn(HPS hps, LONG lCount, const PM_POINTL *aptl,
                                 ULONG flOptions) noexcept
{
    GpiPS *ps = gpiFind(hps);
    return ps ? polygonRegion(*ps, lCount, aptl, flOptions) : nullptr;
}

LONG ORINAPI GpiSetPolygonRgnClip(HPS hps, LONG lCount, const PM_POINTL *aptl,
                                  ULONG flOptions) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_RGN_ERROR;
    GdiObject rgn(polygonRegion(*ps, lCount, aptl, flOptions));
    if (!rgn)
        return PM_RGN_ERROR;
    return SelectClipRgn(ps->hdc, static_cast<HRGN>(rgn.get()));
}

LONG ORINAPI GpiExtSetClipRegion(HPS hps, HRGN hrgn, LONG lMode) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_RGN_ERROR;
    if (lMode < RGN_AND || lMode > RGN_COPY || (!hrgn && lMode != RGN_COPY))
        return fail(PMERR_GPI_INV_PARAM, PM_RGN_ERROR);
    return ExtSelectClipRgn(ps->hdc, hrgn, static_cast<int>(lMode));
}

LONG ORINAPI GpiResetClipRegion(HPS hps) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    return ps ? SelectClipRgn(ps->hdc, nullptr) : PM_RGN_ERROR;
}

BOOL ORINAPI GpiSetGraphicsField(HPS hps, const PM_RECTL *prclField) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return FALSE;
    if (!prclField)
        return SelectClipRgn(ps->hdc, nullptr) != ERROR;
    RECT rc = toNativeRect(*ps, *prclField);
    GdiObject rgn(CreateRectRgnIndirect(&rc));
    return rgn && SelectClipRgn(ps->hdc, static_cast<HRGN>(rgn.get())) != ERROR;
}

BOOL ORINAPI GpiResetGraphicsField(HPS hps) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    return ps && SelectClipRgn(ps->hdc, nullptr) != ERROR;
}

LONG ORINAPI GpiQueryClipBox(HPS hps, PM_RECTL *prclBound) noexcept
{
    GpiPS *ps = gpiFindDrawable(hps);
    if (!ps)
        return PM_RGN_ERROR;
    if (!prclBound)
        return fail(PMERR_GPI_INV_PARAM, PM_RGN_ERROR);
    RECT rc{};
    int kind = GetClipBox(ps->hdc, &rc);
    *prclBound = toPMRect(*ps, rc);
    return kind;
}
