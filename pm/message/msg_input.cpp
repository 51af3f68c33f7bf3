/*
 * msg_input.c - input enabling, timers, the PM default window procedure,
 * and the emulation's start and end (WinInitialize / WinTerminate).
 *
 * Input enabling counts: every window has an enable and a disable count
 * (in the record of a PM window, in a window property for any other
 * window); input is enabled while disable <= enable.  Enabling or
 * disabling a window applies to all its descendants as well.
 */
#include <stdlib.h>
#include "pm/pmint.h"

#define INPUT_PROP        "OrinPMInput"
#define PM_SPTR_ARROW     IDC_ARROW
#define PM_SPTR_WAIT      IDC_WAIT

static HAB anchor;
static HWND focusedPM;

/* ---- input enabling ---- */

/* Native windows keep both counts in one property value. */
static void readProp(HWND hwnd, USHORT *en, USHORT *dis)
{
    ULONG_PTR v = (ULONG_PTR)GetPropA(hwnd, INPUT_PROP);
    *en = (USHORT)(v & 0xFFFF);
    *dis = (USHORT)((v >> 16) & 0xFFFF);
}

static BOOL writeProp(HWND hwnd, USHORT en, USHORT dis)
{
    /* bit 32 keeps the value non-null so a stored (0, 0) is still stored */
    ULONG_PTR v = (ULONG_PTR)en | ((ULONG_PTR)dis << 16) | ((ULONG_PTR)1 << 32);
    return SetPropA(hwnd, INPUT_PROP, (HANDLE)v);
}

static void change(USHORT *en, USHORT *dis, BOOL enable)
{
    USHORT *down = enable ? dis : en, *up = enable ? en : dis;
    if (*down)
        (*down)--;
    if (*up < 0xFFFF)
        (*up)++;
}

/* Applies one change to a window; FALSE when nothing could be stored. */
static BOOL applyInput(HWND hwnd, BOOL enable, BOOL *enabled)
{
    OWMWND *rec = OwmQueryWndRec(hwnd);
    USHORT *en, *dis, pen, pdis;
    if (rec) {
        change(&rec->cEnable, &rec->cDisable, enable);
        *enabled = rec->cDisable <= rec->cEnable;
        return TRUE;
    }
    if (OwmHookDlgInput(hwnd, &en, &dis)) {
        change(en, dis, enable);
        *enabled = *dis <= *en;
        return TRUE;
    }
    readProp(hwnd, &pen, &pdis);
    change(&pen, &pdis, enable);
    if (!writeProp(hwnd, pen, pdis))
        return FALSE;
    *enabled = pdis <= pen;
    return TRUE;
}

static void applyToChildren(HWND hwnd, BOOL enable)
{
    HWND child;
    BOOL ignored;
    for (child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        applyInput(child, enable, &ignored);
        applyToChildren(child, enable);
    }
}

BOOL ORINAPI WinEnableWindowInput(HWND hwnd, BOOL fEnable) noexcept
{
    BOOL enabled = TRUE;
    if (!hwnd || !IsWindow(OwmMapDesktop(hwnd)))
        return TRUE;
    hwnd = OwmMapDesktop(hwnd);
    if (!applyInput(hwnd, fEnable, &enabled))
        enabled = TRUE;
    applyToChildren(hwnd, fEnable);
    return enabled;
}

BOOL OwmInputEnabled(HWND hwnd)
{
    OWMWND *rec = OwmQueryWndRec(hwnd);
    USHORT *en, *dis, pen, pdis;
    if (rec)
        return rec->cDisable <= rec->cEnable;
    if (OwmHookDlgInput(hwnd, &en, &dis))
        return *dis <= *en;
    readProp(hwnd, &pen, &pdis);
    return pdis <= pen;
}

BOOL ORINAPI WinQueryEnableWindowInput(HWND hwnd) noexcept
{
    if (!hwnd)
        return TRUE;
    return OwmInputEnabled(OwmMapDesktop(hwnd));
}

void OwmInputForget(HWND hwnd)
{
    RemovePropA(hwnd, INPUT_PROP);
    if (focusedPM == hwnd)
        focusedPM = NULL;
}

void OwmNoteFocus(HWND hwnd, BOOL gain)
{
    if (gain)
        focusedPM = hwnd;
    else if (focusedPM == hwnd)
        focusedPM = NULL;
}

HWND OwmFocusedPMWindow(void)
{
    return focusedPM;
}

/* ---- timers ---- */

ULONG ORINAPI WinStartTimer(HAB hab, HWND hwnd, ULONG idTimer, ULONG dtTimeout) noexcept
{
    UINT_PTR id;
    (void)hab;
    id = SetTimer(hwnd, idTimer, dtTimeout, NULL);
    if (!hwnd)
        return (ULONG)id;
    return id != 0;
}

BOOL ORINAPI WinStopTimer(HAB hab, HWND hwnd, ULONG idTimer) noexcept
{
    (void)hab;
    return KillTimer(hwnd, idTimer);
}

/* ---- default procedure ---- */

static BOOL hasPMParent(const OWMWND *rec)
{
    return rec && rec->hwndParent && rec->hwndParent != GetDesktopWindow() &&
           OwmIsPMWindow(rec->hwndParent);
}

static MRESULT defaultMouse(HWND hwnd, OWMWND *rec, ULONG msg, MPARAM mp1, MPARAM mp2)
{
    BOOL forwardable = msg == PM_WM_BUTTON1DOWN || msg == PM_WM_BUTTON1UP ||
                       msg == PM_WM_BUTTON1DBLCLK || msg == PM_WM_BUTTON2DBLCLK ||
                       msg == PM_WM_BUTTON3DBLCLK;
    PM_POINTL ptl;
    POINT pt;

    if (msg == PM_WM_MOUSEMOVE) {
        SetCursor(LoadCursorA(NULL, (LPCSTR)(OwmInputEnabled(hwnd) ? PM_SPTR_ARROW : PM_SPTR_WAIT)));
        return 0;
    }
    if (msg == PM_WM_BUTTON1DOWN && rec &&
        (!rec->hwndParent || rec->hwndParent == GetDesktopWindow())) {
        SetFocus(hwnd);
        return (MRESULT)1;
    }
    ptl.x = (SHORT)SHORT1FROMMP(mp1);
    ptl.y = (SHORT)SHORT2FROMMP(mp1);
    if (forwardable && hasPMParent(rec)) {
        WinMapWindowPoints(hwnd, rec->hwndParent, &ptl, 1);
        return WinSendMsg(rec->hwndParent, msg, MPFROM2SHORT(ptl.x, ptl.y), mp2);
    }
    OwmPMPoint2W3Point(hwnd, &ptl, &pt);
    DefWindowProcA(hwnd, WM_MOUSEMOVE + (msg - PM_WM_MOUSEMOVE), 0, MAKELPARAM(pt.x, pt.y));
    return (MRESULT)1;
}

MRESULT ORINAPI WinDefWindowProc(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    OWMWND *rec;
    if (!hwnd)
        return 0;
    hwnd = OwmMapDesktop(hwnd);
    rec = OwmQueryWndRec(hwnd);
    switch (msg) {
    case PM_WM_CREATE:
    case PM_WM_ADJUSTWINDOWPOS:
    case PM_WM_QUERYHELPINFO:
    case PM_WM_SETACCELTABLE:
    case PM_WM_QUERYACCELTABLE:
    case PM_WM_DEFAULT_ZERO:
    case PM_WM_QUERYPALETTE:
        return 0;
    case PM_WM_SETWINDOWPARAMS:
    case PM_WM_QUERYWINDOWPARAMS:
        OwmWindowParams(hwnd, msg, (PM_WNDPARAMS *)mp1, rec != NULL);
        return (MRESULT)1;
    case PM_WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case PM_WM_TRANSLATEACCEL: {
        HWND parent = rec ? rec->hwndParent : GetParent(hwnd);
        if (!parent || parent == GetDesktopWindow())
            return 0;
        return WinSendMsg(parent, msg, mp1, mp2);
    }
    case PM_WM_CHAR:
        if (hasPMParent(rec))
            return WinSendMsg(rec->hwndParent, msg, mp1, mp2);
        if (rec && OwmIsDlgWindowPM(rec->hwndParent))
            return WinSendMsg(rec->hwndParent, msg, mp1, mp2);
        return 0;
    case PM_WM_CONTEXTMENU:
        DefWindowProcA(hwnd, WM_CONTEXTMENU, (WPARAM)mp1, (LPARAM)mp2);
        return (MRESULT)1;
    }
    if (msg >= PM_WM_MOUSEMOVE && msg <= PM_WM_BUTTON3DBLCLK)
        return defaultMouse(hwnd, rec, msg, mp1, mp2);
    return (MRESULT)1;
}

/* ---- start and end ---- */

HAB ORINAPI WinInitialize(ULONG flOptions) noexcept
{
    (void)flOptions;
    OwmMessageInit();
    if (!anchor)
        anchor = (HAB)GetModuleHandleA(NULL);
    return anchor;
}

HAB ORINAPI _WinGetHab(void) noexcept
{
    return anchor;
}

BOOL ORINAPI WinTerminate(HAB hab) noexcept
{
    (void)hab;
    OwmHookPopupClear();
    OwmHookDestroyStdWindows();
    OwmFreeClassTable();
    OwmPopupListFree();
    OwmMessageTerm();
    return TRUE;
}
