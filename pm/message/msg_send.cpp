/*
 * msg_send.c - PM messages on their way to a window: WinSendMsg,
 * WinPostMsg, WinBroadcastMsg.
 *
 * A PM window's procedure is called directly.  A PM message posted to a PM
 * window travels as native OWM_NM_POSTED whose lParam is a posted-message
 * record; the records live in a list guarded by a lock (WinPostMsg may be
 * called from any thread), and the front end only delivers a record it
 * finds in the list, so a stale or forged lParam is ignored and a window's
 * records are freed when the window is destroyed.  Messages for native
 * windows are translated to the native message of the same meaning, or not
 * sent at all when there is none.
 */
#include <stdlib.h>
#include "pm/pmint.h"

#define OUTER_HEIGHT_FLIP 1

typedef struct _OWMPOSTED {
    struct _OWMPOSTED *next;
    HWND hwnd;
    USHORT msg;
    MPARAM mp1;
    MPARAM mp2;
} OWMPOSTED;

static OWMPOSTED *postedList;
static CRITICAL_SECTION postedLock;
static INIT_ONCE postedLockOnce = INIT_ONCE_STATIC_INIT;

static BOOL CALLBACK initLock(PINIT_ONCE once, PVOID param, PVOID *ctx)
{
    (void)once; (void)param; (void)ctx;
    InitializeCriticalSection(&postedLock);
    return TRUE;
}

static void lockPosted(void)
{
    InitOnceExecuteOnce(&postedLockOnce, initLock, NULL, NULL);
    EnterCriticalSection(&postedLock);
}

static void unlockPosted(void)
{
    LeaveCriticalSection(&postedLock);
}

/* Unlinks rec when it is in the list; TRUE when it was. */
static BOOL unlinkPosted(OWMPOSTED *rec)
{
    OWMPOSTED **p;
    BOOL found = FALSE;
    lockPosted();
    for (p = &postedList; *p; p = &(*p)->next)
        if (*p == rec) {
            *p = rec->next;
            found = TRUE;
            break;
        }
    unlockPosted();
    return found;
}

void OwmPostedDeliver(LPARAM lParam)
{
    OWMPOSTED *rec = (OWMPOSTED *)lParam;
    if (!rec || !unlinkPosted(rec))
        return;
    if (IsWindow(rec->hwnd))
        WinSendMsg(rec->hwnd, rec->msg, rec->mp1, rec->mp2);
    free(rec);
}

void OwmPostedForget(HWND hwnd)
{
    OWMPOSTED **p, *dead;
    lockPosted();
    for (p = &postedList; *p;) {
        if ((*p)->hwnd == hwnd) {
            dead = *p;
            *p = dead->next;
            free(dead);
        } else {
            p = &(*p)->next;
        }
    }
    unlockPosted();
}

void OwmPostedFreeAll(void)
{
    lockPosted();
    while (postedList) {
        OWMPOSTED *dead = postedList;
        postedList = dead->next;
        free(dead);
    }
    unlockPosted();
}

static BOOL postRecord(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2)
{
    OWMPOSTED *rec = (OWMPOSTED*)malloc(sizeof *rec);
    if (!rec) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return FALSE;
    }
    rec->hwnd = hwnd;
    rec->msg = (USHORT)msg;
    rec->mp1 = mp1;
    rec->mp2 = mp2;
    lockPosted();
    rec->next = postedList;
    postedList = rec;
    unlockPosted();
    if (PostMessageA(hwnd, OWM_NM_POSTED, 0, (LPARAM)rec))
        return TRUE;
    if (unlinkPosted(rec))
        free(rec);
    return FALSE;
}

/* ---- window parameters (text and control data) ---- */

void OwmWindowParams(HWND hwnd, ULONG msg, PM_WNDPARAMS *wp, BOOL pmWindow)
{
    OWMWND *rec;
    if (!wp)
        return;
    if (msg == PM_WM_SETWINDOWPARAMS) {
        if ((wp->fsStatus & PM_WPM_TEXT) && wp->pszText)
            SetWindowTextA(hwnd, wp->pszText);
        if ((wp->fsStatus & PM_WPM_CTLDATA) && pmWindow && (rec = OwmQueryWndRec(hwnd)))
            rec->pCtlData = wp->pCtlData;
        return;
    }
    if ((wp->fsStatus & PM_WPM_TEXT) && wp->pszText && wp->cchText > 0)
        GetWindowTextA(hwnd, wp->pszText, (int)wp->cchText);
    if (wp->fsStatus & PM_WPM_CCHTEXT)
        wp->cchText = (ULONG)GetWindowTextLengthA(hwnd);
    if ((wp->fsStatus & PM_WPM_CTLDATA) && pmWindow && (rec = OwmQueryWndRec(hwnd)))
        wp->pCtlData = rec->pCtlData;
}

/* ---- translation for native windows ---- */

static WPARAM nativeCommand(MPARAM mp1, MPARAM mp2)
{
    USHORT notify = SHORT1FROMMP(mp2) == PM_CMDSRC_ACCELERATOR ? 1 : 0;
    return MAKEWPARAM(SHORT1FROMMP(mp1), notify);
}

static LPARAM nativeMousePoint(HWND hwnd, MPARAM mp1)
{
    RECT wr;
    LONG outer;
    GetWindowRect(hwnd, &wr);
    outer = wr.bottom - wr.top;
    return MAKELPARAM((SHORT)SHORT1FROMMP(mp1),
                      (SHORT)(outer - (SHORT)SHORT2FROMMP(mp1) - OUTER_HEIGHT_FLIP));
}

static MRESULT sendToNative(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2)
{
    USHORT kind = OwmQueryControlKind(hwnd);
    MRESULT result;

    if (kind != OWM_CTL_NONE && kind != OWM_CTL_UNKNOWN &&
        OwmHookCtlMessage(hwnd, kind, msg, mp1, mp2, &result))
        return result;
    switch (msg) {
    case PM_WM_CREATE:
    case PM_WM_DESTROY:
        return (MRESULT)SendMessageA(hwnd, msg, (WPARAM)mp1, (LPARAM)mp2);
    case PM_WM_SETWINDOWPARAMS:
    case PM_WM_QUERYWINDOWPARAMS:
        OwmWindowParams(hwnd, msg, (PM_WNDPARAMS *)mp1, FALSE);
        return (MRESULT)1;
    case PM_WM_COMMAND:
        return (MRESULT)SendMessageA(hwnd, WM_COMMAND, nativeCommand(mp1, mp2), 0);
    case PM_WM_SYSCOMMAND:
        return (MRESULT)SendMessageA(hwnd, WM_SYSCOMMAND, SHORT1FROMMP(mp1), 0);
    case PM_WM_PAINT:
        return (MRESULT)SendMessageA(hwnd, WM_PAINT, 0, 0);
    case PM_WM_SETACCELTABLE:
        return (MRESULT)SendMessageA(hwnd, OWM_NM_SETACCEL, (WPARAM)mp2, (LPARAM)mp1);
    case PM_WM_QUERYACCELTABLE:
        return (MRESULT)SendMessageA(hwnd, OWM_NM_QUERYACCEL, (WPARAM)mp2, (LPARAM)mp1);
    case PM_WM_TRANSLATEACCEL:
        return (MRESULT)SendMessageA(hwnd, OWM_NM_TRANSLATEACCEL, (WPARAM)mp2, (LPARAM)mp1);
    case PM_WM_CHAR:
        return OwmSendPMCharToNative(hwnd, mp1, mp2);
    case PM_WM_BUTTONCLICK:
        return 0;
    case OWM_NM_HELP:
        return (MRESULT)SendMessageA(hwnd, msg, (WPARAM)mp1, (LPARAM)mp2);
    }
    if (msg >= PM_WM_MOUSEMOVE && msg <= PM_WM_BUTTON3DBLCLK)
        return (MRESULT)SendMessageA(hwnd, WM_MOUSEMOVE + (msg - PM_WM_MOUSEMOVE), 0,
                                     nativeMousePoint(hwnd, mp1));
    if (msg >= WM_USER)
        return (MRESULT)SendMessageA(hwnd, msg, (WPARAM)mp1, (LPARAM)mp2);
    return 0;
}

MRESULT ORINAPI WinSendMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    OWMWND *rec;
    MRESULT result;

    if (!hwnd)
        return 0;
    hwnd = OwmMapDesktop(hwnd);
    if (OwmHookDlgMessage(hwnd, msg, mp1, mp2, &result))
        return result;
    rec = OwmQueryWndRec(hwnd);
    if (rec)
        return rec->pfnWndProc ? rec->pfnWndProc(hwnd, (USHORT)(msg & 0xFFFF), mp1, mp2) : 0;
    if (!IsWindow(hwnd))
        return 0;
    return sendToNative(hwnd, msg, mp1, mp2);
}

BOOL ORINAPI WinPostMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    if (msg == PM_WM_QUIT)
        return OwmPostQuit(mp1);
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (OwmIsPMWindow(hwnd) || OwmIsStdWindow(hwnd) || OwmIsDlgWindowPM(hwnd))
        return postRecord(hwnd, msg, mp1, mp2);
    if (msg == PM_WM_COMMAND)
        return PostMessageA(hwnd, WM_COMMAND, nativeCommand(mp1, mp2), 0);
    if (msg >= WM_USER && msg <= OWM_USER_LAST_POSTED)
        return PostMessageA(hwnd, msg, (WPARAM)mp1, (LPARAM)mp2);
    SetLastError(ORIN_ERR_INVALID_PARAM);
    return FALSE;
}

MRESULT ORINAPI WinSendOwnerMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    HWND owner = WinQueryWindow(hwnd, PM_QW_OWNER);
    return owner ? WinSendMsg(owner, msg, mp1, mp2) : 0;
}

/* Collects the direct children first: receivers may destroy windows. */
static HWND *childList(HWND hwnd, size_t *count)
{
    HWND child, *list = NULL, *grown;
    size_t n = 0;
    for (child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        grown = (HWND__**)realloc(list, (n + 1) * sizeof *list);
        if (!grown)
            break;
        list = grown;
        list[n++] = child;
    }
    *count = n;
    return list;
}

static void broadcast(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, ULONG fl, BOOL self)
{
    size_t i, n;
    HWND *children;
    if (self) {
        if (fl & PM_BMSG_SEND)
            WinSendMsg(hwnd, msg, mp1, mp2);
        else
            WinPostMsg(hwnd, msg, mp1, mp2);
    }
    children = childList(hwnd, &n);
    for (i = 0; i < n; i++) {
        if (!IsWindow(children[i]))
            continue;
        if (fl & PM_BMSG_DESCENDANTS)
            broadcast(children[i], msg, mp1, mp2, fl, TRUE);
        else if (fl & PM_BMSG_SEND)
            WinSendMsg(children[i], msg, mp1, mp2);
        else
            WinPostMsg(children[i], msg, mp1, mp2);
    }
    free(children);
}

BOOL ORINAPI WinBroadcastMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, ULONG fl) noexcept
{
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    broadcast(hwnd, msg, mp1, mp2, fl, (fl & PM_BMSG_DESCENDANTS) != 0);
    return TRUE;
}

MRESULT ORINAPI OwmSendMsgToPoint(ULONG msg, const PM_POINTL *pptl) noexcept
{
    POINT pt;
    HWND target;
    if (!pptl)
        return 0;
    OwmPMPoint2W3Point(GetDesktopWindow(), pptl, &pt);
    target = WindowFromPoint(pt);
    return target ? WinSendMsg(target, msg, MPFROM2SHORT(pptl->x, pptl->y), 0) : 0;
}
