/*
 * win_pos.cpp - coordinates and window positions.
 *
 * PM measures y upwards from the bottom of a window; native windows
 * measure it downwards from the top.  With H the client height of the
 * window, a PM point (x, y) is the native point (x, H - y - 1).  PM
 * rectangles are inclusive on all four sides, native ones exclude right
 * and bottom, so PM (xl, yb, xr, yt) is native (xl, H - yt - 1, xr + 1,
 * H - yb).  Window positions work the same way against the client height
 * of the native parent (the desktop for top-level and popup windows).
 */
#include "pm/pmint.h"

namespace orin::pm {
namespace {

constexpr ULONG kPmScrollInvalidate = 0x2;

/* A native rectangle in PM form against client height h, and back. */
PM_RECTL toPMRect(const RECT &rc, LONG h) noexcept
{
    return {rc.left, h - rc.bottom, rc.right - 1, h - rc.top - 1};
}

RECT toNativeRect(const PM_RECTL &r, LONG h) noexcept
{
    return {r.xLeft, h - r.yTop - 1, r.xRight + 1, h - r.yBottom};
}

/* The window native positions are measured against. */
HWND referenceWindow(HWND hwnd) noexcept
{
    if (GetWindowLongA(hwnd, GWL_STYLE) & WS_POPUP)
        return GetDesktopWindow();
    HWND parent = GetParent(hwnd);
    return parent ? parent : GetDesktopWindow();
}

HWND nativeInsertAfter(HWND behind) noexcept
{
    if (behind == PM_HWND_TOP)     return HWND_TOP;
    if (behind == PM_HWND_BOTTOM)  return HWND_BOTTOM;
    if (behind == PM_HWND_DESKTOP) return GetDesktopWindow();
    return behind;
}

void moveAndSize(HWND hwnd, LONG x, LONG y, LONG cx, LONG cy, ULONG fl) noexcept
{
    HWND ref = referenceWindow(hwnd);
    RECT wr = {};
    GetWindowRect(hwnd, &wr);
    POINT topLeft = {wr.left, wr.top};
    if (ref != GetDesktopWindow())
        ScreenToClient(ref, &topLeft);
    if (!(fl & PM_SWP_SIZE)) {
        cx = wr.right - wr.left;
        cy = wr.bottom - wr.top;
    }
    if (fl & PM_SWP_MOVE) {
        topLeft.x = x;
        topLeft.y = OwmClientHeight(ref) - y - cy;
    }
    MoveWindow(hwnd, topLeft.x, topLeft.y, cx, cy, TRUE);
}

/* A requested change of position, as WinSetWindowPos takes it. */
struct Placement {
    ULONG fl;
    LONG x, y, cx, cy;
    HWND behind;
};

/* Offers the change to a PM window's WM_ADJUSTWINDOWPOS, which may alter
 * it; false when no flag is left to act on. */
bool adjustPlacement(HWND hwnd, Placement &p) noexcept
{
    if (p.fl & PM_SWP_NOADJUST) {
        p.fl &= ~PM_SWP_NOADJUST;
        return p.fl != 0;
    }
    PM_SWP swp = {static_cast<USHORT>(p.fl), p.cy, p.cx, p.y, p.x, p.behind, hwnd};
    if (!WinSendMsg(hwnd, PM_WM_ADJUSTWINDOWPOS, &swp, nullptr))
        return true;
    p = {swp.fl, swp.x, swp.y, swp.cx, swp.cy, swp.hwndInsertBehind};
    return p.fl != 0;
}

void applyOrderShowAndState(HWND hwnd, HWND behind, ULONG fl) noexcept
{
    if (fl & PM_SWP_ZORDER)
        SetWindowPos(hwnd, nativeInsertAfter(behind), 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (fl & PM_SWP_SHOW)
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE |
                     SWP_NOZORDER | ((fl & PM_SWP_DEACTIVATE) ? SWP_NOACTIVATE : 0));
    if (fl & PM_SWP_RESTORE)
        ShowWindow(hwnd, SW_RESTORE);
    else if (fl & PM_SWP_MAXIMIZE)
        ShowWindow(hwnd, SW_MAXIMIZE);
    else if (fl & PM_SWP_MINIMIZE)
        ShowWindow(hwnd, SW_MINIMIZE);
    else if (fl & PM_SWP_ACTIVATE)
        SetForegroundWindow(hwnd);
}

}  // namespace
}  // namespace orin::pm

using namespace orin::pm;

void ORINAPI OwmPMPoint2W3Point(HWND hwnd, const PM_POINTL *pptl, POINT *ppt) noexcept
{
    if (!pptl || !ppt)
        return;
    LONG h = OwmClientHeight(hwnd);
    ppt->x = pptl->x;
    ppt->y = h - pptl->y - 1;
}

void ORINAPI OwmW3Point2PMPoint(HWND hwnd, const POINT *ppt, PM_POINTL *pptl) noexcept
{
    if (!pptl || !ppt)
        return;
    LONG h = OwmClientHeight(hwnd);
    pptl->x = ppt->x;
    pptl->y = h - ppt->y - 1;
}

void ORINAPI OwmPMRect2W3Rectl(HWND hwnd, const PM_RECTL *prcl, RECT *prc) noexcept
{
    if (prcl && prc)
        *prc = toNativeRect(*prcl, OwmClientHeight(hwnd));
}

void ORINAPI OwmW3Rect2PMRectl(HWND hwnd, const RECT *prc, PM_RECTL *prcl) noexcept
{
    if (prcl && prc)
        *prcl = toPMRect(*prc, OwmClientHeight(hwnd));
}

BOOL ORINAPI WinMapWindowPoints(HWND hwndFrom, HWND hwndTo, PM_POINTL *pptl, LONG cwpt) noexcept
{
    if (!pptl || cwpt < 0)
        return FALSE;
    hwndFrom = OwmMapDesktop(hwndFrom ? hwndFrom : PM_HWND_DESKTOP);
    hwndTo = OwmMapDesktop(hwndTo ? hwndTo : PM_HWND_DESKTOP);
    if (!OwmIsWindow(hwndFrom) || !OwmIsWindow(hwndTo))
        return FALSE;
    for (LONG i = 0; i < cwpt; i++) {
        POINT pt;
        OwmPMPoint2W3Point(hwndFrom, &pptl[i], &pt);
        MapWindowPoints(hwndFrom, hwndTo, &pt, 1);
        OwmW3Point2PMPoint(hwndTo, &pt, &pptl[i]);
    }
    return TRUE;
}

/* ---- rectangles of a window ---- */

BOOL ORINAPI WinQueryWindowRect(HWND hwnd, PM_RECTL *prcl) noexcept
{
    RECT rc;
    if (!hwnd || !prcl || !GetClientRect(OwmMapDesktop(hwnd), &rc))
        return FALSE;
    OwmW3Rect2PMRectl(OwmMapDesktop(hwnd), &rc, prcl);
    return TRUE;
}

BOOL ORINAPI WinInvalidateRect(HWND hwnd, const PM_RECTL *prcl, BOOL fIncludeChildren) noexcept
{
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    RECT rc;
    if (prcl)
        OwmPMRect2W3Rectl(hwnd, prcl, &rc);
    return InvalidateRect(hwnd, prcl ? &rc : nullptr, TRUE);
}

BOOL ORINAPI WinValidateRect(HWND hwnd, const PM_RECTL *prcl, BOOL fIncludeChildren) noexcept
{
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    RECT rc;
    if (prcl)
        OwmPMRect2W3Rectl(hwnd, prcl, &rc);
    return ValidateRect(hwnd, prcl ? &rc : nullptr);
}

BOOL ORINAPI WinQueryUpdateRect(HWND hwnd, PM_RECTL *prcl) noexcept
{
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (!OwmIsWindow(hwnd))
        return FALSE;
    RECT rc = {};
    BOOL any = GetUpdateRect(hwnd, &rc, FALSE);
    if (prcl)
        OwmW3Rect2PMRectl(hwnd, &rc, prcl);
    return any;
}

LONG ORINAPI WinScrollWindow(HWND hwnd, LONG dx, LONG dy, const PM_RECTL *prclScroll,
                             const PM_RECTL *prclClip, HRGN hrgnUpdate,
                             PM_RECTL *prclUpdate, ULONG rgfsw) noexcept
{
    if (!hwnd)
        return ERROR;
    hwnd = OwmMapDesktop(hwnd);
    if (!OwmIsWindow(hwnd))
        return ERROR;
    RECT scroll, clip, update = {};
    if (prclScroll)
        OwmPMRect2W3Rectl(hwnd, prclScroll, &scroll);
    if (prclClip)
        OwmPMRect2W3Rectl(hwnd, prclClip, &clip);
    // PM y grows upwards: a positive dy moves the contents up
    int kind = ScrollWindowEx(hwnd, dx, -dy, prclScroll ? &scroll : nullptr,
                              prclClip ? &clip : nullptr, hrgnUpdate, &update,
                              (rgfsw & kPmScrollInvalidate) ? SW_INVALIDATE : 0);
    if (prclUpdate)
        OwmW3Rect2PMRectl(hwnd, &update, prclUpdate);
    return kind;
}

BOOL ORINAPI WinQueryPointerPos(HWND hwndDesktop, PM_POINTL *pptl) noexcept
{
    POINT pt;
    if (!pptl || !GetCursorPos(&pt))
        return FALSE;
    OwmW3Point2PMPoint(GetDesktopWindow(), &pt, pptl);
    return TRUE;
}

BOOL ORINAPI WinSetPointerPos(HWND hwndDesktop, LONG x, LONG y) noexcept
{
    PM_POINTL ptl = {x, y};
    POINT pt;
    OwmPMPoint2W3Point(GetDesktopWindow(), &ptl, &pt);
    return SetCursorPos(pt.x, pt.y);
}

/* ---- positions ---- */

BOOL ORINAPI WinSetWindowPos(HWND hwnd, HWND hwndInsertBehind, LONG x, LONG y,
                             LONG cx, LONG cy, ULONG fl) noexcept
{
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (!OwmIsWindow(hwnd))
        return FALSE;
    if (fl & PM_SWP_HIDE) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE |
                     SWP_NOACTIVATE | SWP_NOZORDER);
        fl &= ~PM_SWP_HIDE;
        if (!fl)
            return TRUE;
    }
    Placement p = {fl, x, y, cx, cy, hwndInsertBehind};
    if (OwmIsPMWindow(hwnd) && !adjustPlacement(hwnd, p))
        return TRUE;
    if (p.fl & (PM_SWP_SIZE | PM_SWP_MOVE)) {
        moveAndSize(hwnd, p.x, p.y, p.cx, p.cy, p.fl);
        p.fl &= ~(PM_SWP_SIZE | PM_SWP_MOVE);
        if (!p.fl)
            return TRUE;
    }
    applyOrderShowAndState(hwnd, p.behind, p.fl);
    return TRUE;
}

BOOL ORINAPI WinQueryWindowPos(HWND hwnd, PM_SWP *pswp) noexcept
{
    if (!hwnd || !pswp)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    RECT rc;
    if (!GetClientRect(hwnd, &rc))
        return FALSE;
    PM_RECTL r;
    OwmW3Rect2PMRectl(hwnd, &rc, &r);
    if (GetParent(hwnd)) {
        PM_POINTL corners[2] = {{r.xLeft, r.yBottom}, {r.xRight, r.yTop}};
        WinMapWindowPoints(hwnd, PM_HWND_DESKTOP, corners, 2);
        r = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    }
    pswp->fl = static_cast<USHORT>((IsIconic(hwnd) ? PM_SWP_MINIMIZE : 0) |
                                   (IsZoomed(hwnd) ? PM_SWP_MAXIMIZE : 0));
    pswp->cy = r.yTop - r.yBottom + 1;
    pswp->cx = r.xRight - r.xLeft + 1;
    pswp->y = r.yBottom;
    pswp->x = r.xLeft;
    pswp->hwndInsertBehind = WinQueryWindow(hwnd, PM_QW_PREV);
    pswp->hwnd = hwnd;
    return TRUE;
}
