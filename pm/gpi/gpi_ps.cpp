/*
 * gpi_ps.cpp - the life of a presentation space: WinBeginPaint /
 * WinEndPaint, WinGetPS / WinReleasePS, GpiCreatePS / GpiDestroyPS, the
 * device-context calls a memory or display PS needs (DevOpenDC,
 * DevCloseDC, DevQueryCaps) and the PS form of the coordinate converter.
 *
 * Records live in a handle pool; every call finds its record through
 * gpiFind, which refuses null, closed and foreign handles with
 * PMERR_GPI_INV_HPS.  Ending a PS hands the context its stock pen, brush,
 * font and palette back before the cached objects are deleted.
 */
#include <cassert>
#include "frame/handle_pool.h"
#include "pm/gpi/gpiint.h"
#include "pm/pmint.h"

namespace orin::pm::gpi {
namespace {

constinit HandlePool<GpiPS> psRecords;

constexpr int kPelsPerMetreFromInch = 3937;   // per 100 inches: 1 m = 39.37 in

HPS handleOf(GpiPS *ps) noexcept { return reinterpret_cast<HPS>(ps); }

/* The client rectangle of a window becomes the PS rectangle and flip base. */
void takeClientRect(GpiPS &ps, HWND hwnd) noexcept
{
    RECT rc{};
    GetClientRect(hwnd, &rc);
    ps.left = rc.left;
    ps.top = rc.top;
    ps.width = rc.right - rc.left;
    ps.height = rc.bottom - rc.top;
}

/* Remembers the context's font and lets text leave the background alone,
 * as PM text does by default. */
void prepareContext(GpiPS &ps) noexcept
{
    ps.defaultFont = GetCurrentObject(ps.hdc, OBJ_FONT);
    SetBkMode(ps.hdc, TRANSPARENT);
}

/* A PS on a window's context, shared by WinBeginPaint and WinGetPS. */
GpiPS *makeWindowPS(HWND hwnd, HDC hdc, Origin origin) noexcept
{
    GpiPS *ps = gpiMake();
    if (!ps)
        return nullptr;
    ps->hdc = hdc;
    ps->hwnd = hwnd;
    ps->origin = origin;
    ps->fromGetPS = origin == Origin::Window ? 1 : 0;
    prepareContext(*ps);
    takeClientRect(*ps, hwnd);
    return ps;
}

/* Size of the bitmap selected into a memory context, if any. */
bool selectedBitmapSize(HDC hdc, SIZE *size) noexcept
{
    HGDIOBJ bmp = GetCurrentObject(hdc, OBJ_BITMAP);
    BITMAP bm{};
    if (!bmp || GetObjectA(bmp, sizeof bm, &bm) != sizeof bm || bm.bmWidth <= 1)
        return false;
    size->cx = bm.bmWidth;
    size->cy = bm.bmHeight;
    return true;
}

/* One capability by its PM index; memory contexts report the size of the
 * bitmap they hold. */
LONG queryCap(HDC hdc, LONG index) noexcept
{
    SIZE bitmap{};
    bool hasBitmap = GetObjectType(hdc) == OBJ_MEMDC && selectedBitmapSize(hdc, &bitmap);
    TEXTMETRICA tm{};
    switch (index) {
    case PM_CAPS_HEIGHT:
        return hasBitmap ? bitmap.cy : GetDeviceCaps(hdc, VERTRES);
    case PM_CAPS_WIDTH:
        return hasBitmap ? bitmap.cx : GetDeviceCaps(hdc, HORZRES);
    case PM_CAPS_VERTICAL_RESOLUTION:
        return MulDiv(GetDeviceCaps(hdc, LOGPIXELSY), kPelsPerMetreFromInch, 100);
    case PM_CAPS_HORIZONTAL_RESOLUTION:
        return MulDiv(GetDeviceCaps(hdc, LOGPIXELSX), kPelsPerMetreFromInch, 100);
    case PM_CAPS_CHAR_HEIGHT:
        GetTextMetricsA(hdc, &tm);
        return tm.tmHeight;
    case PM_CAPS_CHAR_WIDTH:
        GetTextMetricsA(hdc, &tm);
        return tm.tmAveCharWidth;
    case PM_CAPS_COLORS: {
        int bits = GetDeviceCaps(hdc, BITSPIXEL) * GetDeviceCaps(hdc, PLANES);
        return bits >= 24 ? 0x1000000 : (1L << bits);
    }
    case PM_CAPS_COLOR_PLANES:
        return GetDeviceCaps(hdc, PLANES);
    case PM_CAPS_COLOR_BITCOUNT:
        return GetDeviceCaps(hdc, BITSPIXEL);
    default:
        return 0;
    }
}

}  // namespace

GpiPS *gpiFind(HPS hps) noexcept
{
    GpiPS *ps = psRecords.get(hps);
    if (!ps)
        SetLastError(PMERR_GPI_INV_HPS);
    return ps;
}

GpiPS *gpiFindDrawable(HPS hps) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (ps && !ps->hdc) {
        SetLastError(PMERR_GPI_INV_HPS);
        return nullptr;
    }
    return ps;
}

GpiPS *gpiMake() noexcept
{
    auto owned = psRecords.tryMake();
    if (!owned) {
        SetLastError(PMERR_GPI_NO_MEMORY);
        return nullptr;
    }
    return owned.release();
}

void gpiRelease(GpiPS *ps) noexcept
{
    if (ps->hdc) {
        gpiDropCachedObjects(*ps);
        if (ps->defaultFont)
            SelectObject(ps->hdc, ps->defaultFont);
        if (ps->paletteSelected) {
            SelectPalette(ps->hdc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
            RealizePalette(ps->hdc);
        }
        // Invariant: no font of the PS is still selected when the record goes.
        assert(!ps->defaultFont || GetCurrentObject(ps->hdc, OBJ_FONT) == ps->defaultFont);
    }
    psRecords.destroy(ps);
}

HDC gpiNativeDC(HPS hps) noexcept
{
    GpiPS *ps = gpiFind(hps);
    return ps ? ps->hdc : nullptr;
}

LONG gpiHeight(HPS hps) noexcept
{
    GpiPS *ps = gpiFind(hps);
    return ps ? ps->height : 0;
}

}  // namespace orin::pm::gpi

using namespace orin::pm::gpi;
using orin::pm::OwmMapDesktop;

HPS ORINAPI WinBeginPaint(HWND hwnd, HPS, PM_RECTL *prclUpdate) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    if (!IsWindow(hwnd))
        return fail<HPS>(ORIN_ERR_INVALID_HANDLE, nullptr);
    PAINTSTRUCT paint{};
    HDC hdc = BeginPaint(hwnd, &paint);
    if (!hdc)
        return nullptr;
    GpiPS *ps = makeWindowPS(hwnd, hdc, Origin::Paint);
    if (!ps) {
        EndPaint(hwnd, &paint);
        return nullptr;
    }
    ps->paint = paint;
    if (prclUpdate)
        *prclUpdate = toPMRect(*ps, paint.rcPaint);
    return handleOf(ps);
}

BOOL ORINAPI WinEndPaint(HPS hps) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (!ps || ps->origin != Origin::Paint)
        return fail(PMERR_GPI_INV_HPS, FALSE);
    HWND hwnd = ps->hwnd;
    PAINTSTRUCT paint = ps->paint;
    gpiRelease(ps);
    EndPaint(hwnd, &paint);
    return TRUE;
}

HPS ORINAPI WinGetPS(HWND hwnd) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    if (!IsWindow(hwnd))
        return fail<HPS>(ORIN_ERR_INVALID_HANDLE, nullptr);
    HDC hdc = GetDC(hwnd);
    if (!hdc)
        return nullptr;
    GpiPS *ps = makeWindowPS(hwnd, hdc, Origin::Window);
    if (!ps) {
        ReleaseDC(hwnd, hdc);
        return nullptr;
    }
    return handleOf(ps);
}

BOOL ORINAPI WinReleasePS(HPS hps) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (!ps || ps->origin != Origin::Window)
        return fail(PMERR_GPI_INV_HPS, FALSE);
    HWND hwnd = ps->hwnd;
    HDC hdc = ps->hdc;
    gpiRelease(ps);
    ReleaseDC(hwnd, hdc);
    return TRUE;
}

HPS ORINAPI GpiCreatePS(HAB, HDC hdc, const PM_SIZEL *psizl, ULONG flOptions) noexcept
{
    bool assoc = (flOptions & kAssocOption) != 0;
    if (assoc && (!hdc || !GetObjectType(hdc)))
        return fail<HPS>(PMERR_GPI_INV_PARAM, nullptr);
    GpiPS *ps = gpiMake();
    if (!ps)
        return nullptr;
    ps->fromGetPS = 1;
    ps->origin = Origin::Created;
    LONG cx = psizl ? psizl->cx : 0;
    LONG cy = psizl ? psizl->cy : 0;
    if (assoc) {
        ps->dev.reset(new (std::nothrow) DevRecord{hdc});
        if (!ps->dev) {
            gpiRelease(ps);
            return fail<HPS>(PMERR_GPI_NO_MEMORY, nullptr);
        }
        ps->hdc = hdc;
        prepareContext(*ps);
        if (cx == 0)
            cx = queryCap(hdc, PM_CAPS_WIDTH);
        if (cy == 0)
            cy = queryCap(hdc, PM_CAPS_HEIGHT);
    }
    ps->width = cx;
    ps->height = cy;
    return handleOf(ps);
}

BOOL ORINAPI GpiDestroyPS(HPS hps) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (!ps || ps->origin != Origin::Created)
        return fail(PMERR_GPI_INV_HPS, FALSE);
    gpiRelease(ps);
    return TRUE;
}

void ORINAPI OwmHpsPMPoint2W3Point(HPS hps, const PM_POINTL *pptl, POINT *ppt) noexcept
{
    GpiPS *ps = gpiFind(hps);
    if (ps && pptl && ppt)
        *ppt = toNative(*ps, *pptl);
}

HDC ORINAPI DevOpenDC(HAB, LONG lType, const char *, LONG, PVOID, HDC hdcComp) noexcept
{
    HDC hdc = nullptr;
    switch (lType) {
    case PM_OD_MEMORY:
        hdc = CreateCompatibleDC(hdcComp);
        break;
    case PM_OD_INFO:
        hdc = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
        break;
    case PM_OD_DIRECT:
        hdc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        break;
    default:
        return fail<HDC>(PMERR_GPI_INV_PARAM, nullptr);
    }
    if (!hdc)
        SetLastError(PMERR_GPI_NO_MEMORY);
    return hdc;
}

HDC ORINAPI DevCloseDC(HDC hdc) noexcept
{
    if (!hdc || !GetObjectType(hdc) || !DeleteDC(hdc))
        return fail(PMERR_GPI_INV_PARAM, hdc);
    return nullptr;
}

BOOL ORINAPI DevQueryCaps(HDC hdc, LONG lStart, LONG lCount, LONG *alArray) noexcept
{
    if (!hdc || !GetObjectType(hdc) || !alArray || lStart < 0 || lCount < 0 ||
        lStart + lCount > PM_CAPS_COUNT)
        return fail(PMERR_GPI_INV_PARAM, FALSE);
    for (LONG i = 0; i < lCount; i++)
        alArray[i] = queryCap(hdc, lStart + i);
    return TRUE;
}
