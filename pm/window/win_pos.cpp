/*
 * win_pos.c - coordinates and window positions.
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

void ORINAPI OwmPMPoint2W3Point(HWND hwnd, const PM_POINTL *pptl, POINT *ppt) noexcept
{
    LONG h = OwmClientHeight(hwnd);
    if (!pptl || !ppt)
        return;
    ppt->x = pptl->x;
    ppt->y = h - pptl->y - 1;
}

void ORINAPI OwmW3Point2PMPoint(HWND hwnd, const POINT *ppt, PM_POINTL *pptl) noexcept
{
    LONG h = OwmClientHeight(hwnd);
    if (!pptl || !ppt)
        return;
    pptl->x = ppt->x;
    pptl->y = h - ppt->y - 1;
}

void ORINAPI OwmPMRect2W3Rectl(HWND hwnd, const PM_RECTL *prcl, RECT *prc) noexcept
{
    LONG h = OwmClientHeight(hwnd);
    if (!prcl || !prc)
        return;
    prc->left = prcl->xLeft;
    prc->top = h - prcl->yTop - 1;
    prc->right = prcl->xRight + 1;
    prc->bottom = h - prcl->yBottom;
}

void ORINAPI OwmW3Rect2PMRectl(HWND hwnd, const RECT *prc, PM_RECTL *prcl) noexcept
{
    LONG h = OwmClientHeight(hwnd);
    if (!prcl || !prc)
        return;
    prcl->xLeft = prc->left;
    prcl->yBottom = h - prc->bottom;
    prcl->xRight = prc->right - 1;
    prcl->yTop = h - prc->top - 1;
}

BOOL ORINAPI WinMapWindowPoints(HWND hwndFrom, HWND hwndTo, PM_POINTL *pptl, LONG cwpt) noexcept
{
    LONG i;
    if (!pptl || cwpt < 0)
        return FALSE;
    hwndFrom = OwmMapDesktop(hwndFrom ? hwndFrom : PM_HWND_DESKTOP);
    hwndTo = OwmMapDesktop(hwndTo ? hwndTo : PM_HWND_DESKTOP);
    for (i = 0; i < cwpt; i++) {
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
    RECT rc;
    (void)fIncludeChildren;
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (prcl)
        OwmPMRect2W3Rectl(hwnd, prcl, &rc);
    return InvalidateRect(hwnd, prcl ? &rc : NULL, TRUE);
}

BOOL ORINAPI WinValidateRect(HWND hwnd, const PM_RECTL *prcl, BOOL fIncludeChildren) noexcept
{
    RECT rc;
    (void)fIncludeChildren;
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (prcl)
        OwmPMRect2W3Rectl(hwnd, prcl, &rc);
    return ValidateRect(hwnd, prcl ? &rc : NULL);
}

BOOL ORINAPI WinQueryUpdateRect(HWND hwnd, PM_RECTL *prcl) noexcept
{
    RECT rc;
    BOOL any;
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    any = GetUpdateRect(hwnd, &rc, FALSE);
    if (prcl)
        OwmW3Rect2PMRectl(hwnd, &rc, prcl);
    return any;
}

LONG ORINAPI WinScrollWindow(HWND hwnd, LONG dx, LONG dy, const PM_RECTL *prclScroll,
                             const PM_RECTL *prclClip, HRGN hrgnUpdate,
                             PM_RECTL *prclUpdate, ULONG rgfsw) noexcept
{
    RECT scroll, clip, update;
    int kind;
    if (!hwnd)
        return ERROR;
    hwnd = OwmMapDesktop(hwnd);
    if (prclScroll)
        OwmPMRect2W3Rectl(hwnd, prclScroll, &scroll);
    if (prclClip)
        OwmPMRect2W3Rectl(hwnd, prclClip, &clip);
    /* PM y grows upwards: a positive dy moves the contents up */
    kind = ScrollWindowEx(hwnd, dx, -dy, prclScroll ? &scroll : NULL,
                          prclClip ? &clip : NULL, hrgnUpdate, &update,
                          (rgfsw & 0x2) ? SW_INVALIDATE : 0);
    if (prclUpdate)
        OwmW3Rect2PMRectl(hwnd, &update, prclUpdate);
    return kind;
}

BOOL ORINAPI WinQueryPointerPos(HWND hwndDesktop, PM_POINTL *pptl) noexcept
{
    POINT pt;
    (void)hwndDesktop;
    if (!pptl || !GetCursorPos(&pt))
        return FALSE;
    OwmW3Point2PMPoint(GetDesktopWindow(), &pt, pptl);
    return TRUE;
}

BOOL ORINAPI WinSetPointerPos(HWND hwndDesktop, LONG x, LONG y) noexcept
{
    PM_POINTL ptl = { x, y };
    POINT pt;
    (void)hwndDesktop;
    OwmPMPoint2W3Point(GetDesktopWindow(), &ptl, &pt);
    return SetCursorPos(pt.x, pt.y);
}

/* ---- positions ---- */

/* The window native positions are measured against. */
static HWND referenceWindow(HWND hwnd)
{
    if (GetWindowLongA(hwnd, GWL_STYLE) & WS_POPUP)
        return GetDesktopWindow();
    {
        HWND parent = GetParent(hwnd);
        return parent ? parent : GetDesktopWindow();
    }
}

static HWND nativeInsertAfter(HWND behind)
{
    if (behind == PM_HWND_TOP)     return HWND_TOP;
    if (behind == PM_HWND_BOTTOM)  return HWND_BOTTOM;
    if (behind == PM_HWND_DESKTOP) return GetDesktopWindow();
    return behind;
}

static void moveAndSize(HWND hwnd, LONG x, LONG y, LONG cx, LONG cy, ULONG fl)
{
    HWND ref = referenceWindow(hwnd);
    RECT wr;
    POINT topLeft;
    LONG h = OwmClientHeight(ref);

    GetWindowRect(hwnd, &wr);
    topLeft.x = wr.left;
    topLeft.y = wr.top;
    if (ref != GetDesktopWindow())
        ScreenToClient(ref, &topLeft);
    if (!(fl & PM_SWP_SIZE)) {
        cx = wr.right - wr.left;
        cy = wr.bottom - wr.top;
    }
    if (fl & PM_SWP_MOVE) {
        topLeft.x = x;
        topLeft.y = h - y - cy;
    }
    MoveWindow(hwnd, topLeft.x, topLeft.y, cx, cy, TRUE);
}

BOOL ORINAPI WinSetWindowPos(HWND hwnd, HWND hwndInsertBehind, LONG x, LONG y,
                             LONG cx, LONG cy, ULONG fl) noexcept
{
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (fl & PM_SWP_HIDE) {
        SetWindowPos(hwnd, NULL, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE |
                     SWP_NOACTIVATE | SWP_NOZORDER);
        fl &= ~PM_SWP_HIDE;
        if (!fl)
            return TRUE;
    }
    if (OwmIsPMWindow(hwnd)) {
        if (!(fl & PM_SWP_NOADJUST)) {
            PM_SWP swp;
            swp.fl = (USHORT)fl;
            swp.cy = cy;
            swp.cx = cx;
            swp.y = y;
            swp.x = x;
            swp.hwndInsertBehind = hwndInsertBehind;
            swp.hwnd = hwnd;
            if (WinSendMsg(hwnd, PM_WM_ADJUSTWINDOWPOS, &swp, 0)) {
                fl = swp.fl;
                cy = swp.cy;
                cx = swp.cx;
                y = swp.y;
                x = swp.x;
                hwndInsertBehind = swp.hwndInsertBehind;
                if (!fl)
                    return TRUE;
            }
        } else {
            fl &= ~PM_SWP_NOADJUST;
            if (!fl)
                return TRUE;
        }
    }
    if (fl & (PM_SWP_SIZE | PM_SWP_MOVE)) {
        moveAndSize(hwnd, x, y, cx, cy, fl);
        fl &= ~(PM_SWP_SIZE | PM_SWP_MOVE);
        if (!fl)
            return TRUE;
    }
    if (fl & PM_SWP_ZORDER)
        SetWindowPos(hwnd, nativeInsertAfter(hwndInsertBehind), 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (fl & PM_SWP_SHOW)
        SetWindowPos(hwnd, NULL, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE |
                     SWP_NOZORDER | ((fl & PM_SWP_DEACTIVATE) ? SWP_NOACTIVATE : 0));
    if (fl & PM_SWP_RESTORE)
        ShowWindow(hwnd, SW_RESTORE);
    else if (fl & PM_SWP_MAXIMIZE)
        ShowWindow(hwnd, SW_MAXIMIZE);
    else if (fl & PM_SWP_MINIMIZE)
        ShowWindow(hwnd, SW_MINIMIZE);
    else if (fl & PM_SWP_ACTIVATE)
        SetForegroundWindow(hwnd);
    return TRUE;
}

BOOL ORINAPI WinQueryWindowPos(HWND hwnd, PM_SWP *pswp) noexcept
{
    RECT rc;
    PM_RECTL r;
    HWND parent;
    if (!hwnd || !pswp)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (!GetClientRect(hwnd, &rc))
        return FALSE;
    OwmW3Rect2PMRectl(hwnd, &rc, &r);
    parent = GetParent(hwnd);
    if (parent) {
        PM_POINTL corners[2] = { { r.xLeft, r.yBottom }, { r.xRight, r.yTop } };
        WinMapWindowPoints(hwnd, PM_HWND_DESKTOP, corners, 2);
        r.xLeft = corners[0].x;
        r.yBottom = corners[0].y;
        r.xRight = corners[1].x;
        r.yTop = corners[1].y;
    }
    pswp->fl = (USHORT)((IsIconic(hwnd) ? PM_SWP_MINIMIZE : 0) |
                        (IsZoomed(hwnd) ? PM_SWP_MAXIMIZE : 0));
    pswp->cy = r.yTop - r.yBottom + 1;
    pswp->cx = r.xRight - r.xLeft + 1;
    pswp->y = r.yBottom;
    pswp->x = r.xLeft;
    pswp->hwndInsertBehind = WinQueryWindow(hwnd, PM_QW_PREV);
    pswp->hwnd = hwnd;
    return TRUE;
}
