/*
 * win_create.c - creating and destroying PM windows on native windows.
 *
 * WinCreateWindowEx turns the PM creation arguments into a native
 * CreateWindowEx call: a base style from the parent (top level, popup or
 * child), class-specific bits for the native control classes, the general
 * PM bits (visible, disabled, clipping, group, tab stop, minimised), and a
 * native y measured from the top of the parent.  PM classes get a tagged
 * creation record as create parameter; when the front end sees the native
 * create message it builds the window record from it (OwmWndCreate), sends
 * PM WM_CREATE and aborts the creation on a non-zero reply.  The native
 * destroy message sends PM WM_DESTROY and frees the record again.
 *
 * Windows created with the native popup style are also kept in the popup
 * list, which the dialog layer walks when it disables an application.
 */
#include <stdlib.h>
#include <string.h>
#include "pm/pmint.h"

/* General PM style bits and their native twins. */
static const struct { ULONG pm, native; } generalBits[] = {
    { PM_WS_VISIBLE,      WS_VISIBLE },
    { PM_WS_DISABLED,     WS_DISABLED },
    { PM_WS_CLIPCHILDREN, WS_CLIPCHILDREN },
    { PM_WS_CLIPSIBLINGS, WS_CLIPSIBLINGS },
    { PM_WS_TABSTOP,      WS_TABSTOP },
    { PM_WS_GROUP,        WS_GROUP },
    { PM_WS_MINIMIZED,    WS_MINIMIZE },
};
#define N_GENERAL (sizeof generalBits / sizeof generalBits[0])

/* PM button kinds (low three style bits) -> native button types. */
static const ULONG buttonTypes[8] = {
    BS_PUSHBUTTON, BS_CHECKBOX, BS_AUTOCHECKBOX, BS_RADIOBUTTON,
    BS_AUTORADIOBUTTON, BS_3STATE, BS_AUTO3STATE, BS_OWNERDRAW
};
#define PM_BS_KINDMASK   0x7
#define PM_BS_DEFAULT    0x400

#define PM_ES_CENTER     0x01
#define PM_ES_RIGHT      0x02
#define PM_ES_AUTOSCROLL 0x04
#define PM_ES_MARGIN     0x08
#define PM_ES_UNREADABLE 0x40

#define PM_MLS_BORDER    0x02
#define PM_MLS_HSCROLL   0x04
#define PM_MLS_VSCROLL   0x08

#define PM_CBS_KINDMASK  0x7
#define PM_CBS_SORT      0x10
#define PM_CBS_AUTOHSCROLL 0x40

#define PM_LS_MULTIPLESEL 0x01
#define PM_LS_OWNERDRAW   0x02
#define PM_LS_HORZSCROLL  0x08
#define PM_LS_NOVSCROLL   0x10
#define LISTBOX_BASE      0x801001UL  /* notify, border, scroll-bar base */
#define LISTBOX_OWNERDRAW 0x50UL      /* owner-draw with strings */
#define COMBO_SORTED      0x210UL
#define COMBO_SIMPLE      (WS_VSCROLL | CBS_SIMPLE)
#define COMBO_DROPDOWN    (WS_VSCROLL | CBS_DROPDOWN)
#define COMBO_DROPDOWNLIST (WS_VSCROLL | CBS_DROPDOWNLIST)

#define PM_SBS_VERT       0x01

#define PM_EXS_CLIENTEDGE 0x200
#define PM_EXS_TOPMOST    0x001
#define PM_EXS_NOPARENTNOTIFY 0x004

ULONG OwmPMStyleFromNative(ULONG native)
{
    ULONG pm = 0;
    size_t i;
    for (i = 0; i < N_GENERAL; i++)
        if (native & generalBits[i].native)
            pm |= generalBits[i].pm;
    return pm;
}

static ULONG nativeGeneralBits(ULONG pm)
{
    ULONG native = 0;
    size_t i;
    for (i = 0; i < N_GENERAL; i++)
        if (pm & generalBits[i].pm)
            native |= generalBits[i].native;
    return native;
}

/* Class-specific native bits; may rename the class (MLE -> EDIT). */
static ULONG controlStyle(const char **cls, ULONG fl, DWORD *exStyle)
{
    const char *name = *cls;
    ULONG ns = 0;

    if (IS_INTRESOURCE(name))
        return 0;
    if (_stricmp(name, "BUTTON") == 0) {
        ULONG kind = fl & PM_BS_KINDMASK;
        ns = buttonTypes[kind];
        if (kind == 0 && (fl & PM_BS_DEFAULT))
            ns = BS_DEFPUSHBUTTON;
    } else if (_stricmp(name, "EDIT") == 0) {
        if (fl & PM_ES_CENTER)     ns |= ES_CENTER;
        if (fl & PM_ES_RIGHT)      ns |= ES_RIGHT;
        if (fl & PM_ES_AUTOSCROLL) ns |= ES_AUTOHSCROLL;
        if (fl & PM_ES_MARGIN)     ns |= WS_BORDER;
        if (fl & PM_ES_UNREADABLE) ns |= ES_PASSWORD;
    } else if (_stricmp(name, "MLE") == 0) {
        *cls = "EDIT";
        ns = ES_MULTILINE;
        if (fl & PM_MLS_BORDER)  ns |= WS_BORDER;
        if (fl & PM_MLS_VSCROLL) ns |= WS_VSCROLL | ES_AUTOVSCROLL;
        if (fl & PM_MLS_HSCROLL) ns |= WS_HSCROLL | ES_AUTOHSCROLL;
    } else if (_stricmp(name, "COMBOBOX") == 0) {
        switch (fl & PM_CBS_KINDMASK) {
        case 1: ns = COMBO_SIMPLE; break;
        case 2: ns = COMBO_DROPDOWN; break;
        case 4: ns = COMBO_DROPDOWNLIST; break;
        }
        if (fl & PM_CBS_SORT)        ns |= COMBO_SORTED;
        if (fl & PM_CBS_AUTOHSCROLL) ns |= CBS_AUTOHSCROLL;
    } else if (_stricmp(name, "LISTBOX") == 0) {
        ns = LISTBOX_BASE;
        if (fl & PM_LS_MULTIPLESEL)  ns |= LBS_MULTIPLESEL;
        if (fl & PM_LS_OWNERDRAW)    ns |= LISTBOX_OWNERDRAW;
        if (!(fl & PM_LS_NOVSCROLL)) ns |= WS_VSCROLL;
        if (fl & PM_LS_HORZSCROLL)   ns |= WS_HSCROLL;
        *exStyle |= WS_EX_CLIENTEDGE;
    } else if (_stricmp(name, "SCROLLBAR") == 0) {
        ns = fl & PM_SBS_VERT;
    }
    return ns;
}

/* Height of a window's client area; the desktop for NULL. */
LONG OwmClientHeight(HWND hwnd)
{
    RECT rc;
    if (!hwnd || hwnd == PM_HWND_DESKTOP)
        hwnd = GetDesktopWindow();
    if (!GetClientRect(hwnd, &rc))
        return 0;
    return rc.bottom - rc.top;
}

HWND OwmMapDesktop(HWND hwnd)
{
    return hwnd == PM_HWND_DESKTOP ? GetDesktopWindow() : hwnd;
}

static void placeInZOrder(HWND hwnd, HWND behind)
{
    HWND after = behind == PM_HWND_TOP ? HWND_TOP
               : behind == PM_HWND_BOTTOM ? HWND_BOTTOM : behind;
    SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND ORINAPI WinCreateWindowEx(HWND hwndParent, const char *pszClass, const char *pszName,
                               ULONG flStyle, ULONG flExStyle, LONG x, LONG y, LONG cx,
                               LONG cy, HWND hwndOwner, HWND hwndInsertBehind, ULONG id,
                               PVOID pCtlData, PVOID pPresParams) noexcept
{
    OWMCLASS *cls = OwmFindClass(pszClass);
    const char *nativeClass = pszClass;
    OWMCREATEREC rec;
    ULONG style;
    DWORD exStyle = 0;
    HWND nativeParent, hwnd;
    HMENU idOrMenu = NULL;
    HINSTANCE hinst;
    (void)pPresParams;

    if (!pszClass) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return NULL;
    }
    if (hwndParent == PM_HWND_DESKTOP)
        style = hwndOwner ? WS_POPUP : 0;
    else if (!hwndParent)
        style = WS_CLIPSIBLINGS;
    else
        style = WS_CHILD | WS_CLIPSIBLINGS;

    style |= controlStyle(&nativeClass, flStyle, &exStyle);
    if ((flStyle & PM_WS_CLIPCHILDREN) || (cls && (cls->flStyle & PM_WS_CLIPCHILDREN)))
        style |= WS_CLIPCHILDREN;
    style |= nativeGeneralBits(flStyle);
    if (flExStyle & PM_EXS_CLIENTEDGE)     exStyle |= WS_EX_CLIENTEDGE;
    if (flExStyle & PM_EXS_TOPMOST)        exStyle |= WS_EX_TOPMOST;
    if (flExStyle & PM_EXS_NOPARENTNOTIFY) exStyle |= WS_EX_NOPARENTNOTIFY;

    if ((style & WS_POPUP) || hwndParent == PM_HWND_DESKTOP)
        nativeParent = (style & WS_POPUP) ? hwndOwner : NULL;
    else
        nativeParent = hwndParent;
    nativeParent = OwmMapDesktop(nativeParent);
    if (nativeParent == GetDesktopWindow())
        nativeParent = NULL;

    y = OwmClientHeight((style & WS_POPUP) ? NULL : nativeParent) - y - cy;
    if (style & WS_CHILD)
        idOrMenu = (HMENU)(ULONG_PTR)id;

    hinst = cls ? cls->hinst : GetModuleHandleA(NULL);
    if (cls) {
        memset(&rec, 0, sizeof rec);
        rec.tag = OWM_CREATE_TAG;
        rec.pCtlData = pCtlData;
        rec.flStyle = flStyle;
        rec.hwndOwner = OwmMapDesktop(hwndOwner);
        rec.hwndParent = OwmMapDesktop(hwndParent);
        hwnd = CreateWindowExA(exStyle, nativeClass, pszName ? pszName : "", style,
                               x, y, cx, cy, nativeParent, idOrMenu, hinst, &rec);
    } else {
        hwnd = CreateWindowExA(exStyle, nativeClass, pszName ? pszName : "", style,
                               x, y, cx, cy, nativeParent, idOrMenu, hinst, pCtlData);
    }
    if (!hwnd) {
        DWORD err = GetLastError();
        SetLastError(err ? err : ORIN_ERR_GENERAL);
        return NULL;
    }
    if (!IS_INTRESOURCE(nativeClass) && _stricmp(nativeClass, "EDIT") == 0 &&
        (GetWindowLongA(hwnd, GWL_STYLE) & ES_MULTILINE))
        SendMessageA(hwnd, EM_LIMITTEXT, 0, 0);
    if (style & WS_POPUP)
        OwmPopupListAdd(hwnd);
    if (hwndInsertBehind)
        placeInZOrder(hwnd, hwndInsertBehind);
    return hwnd;
}

HWND ORINAPI WinCreateWindow(HWND hwndParent, const char *pszClass, const char *pszName,
                             ULONG flStyle, LONG x, LONG y, LONG cx, LONG cy,
                             HWND hwndOwner, HWND hwndInsertBehind, ULONG id,
                             PVOID pCtlData, PVOID pPresParams) noexcept
{
    return WinCreateWindowEx(hwndParent, pszClass, pszName, flStyle, 0, x, y, cx, cy,
                             hwndOwner, hwndInsertBehind, id, pCtlData, pPresParams);
}

/* ---- the PM-window test and the record ---- */

/*
 * Each thread remembers the last PM window it looked up.  Every release of
 * a window record bumps recordGeneration, which invalidates all of these
 * caches at once, so a cached record is never one that has been freed.
 */
static volatile LONG recordGeneration;
static __thread HWND cachedHwnd;
static __thread OWMWND *cachedRec;
static __thread LONG cachedGeneration;

static void forgetCachedRecords(void)
{
    InterlockedIncrement(&recordGeneration);
}

OWMWND *OwmQueryWndRec(HWND hwnd)
{
    DWORD pid = 0;
    OWMWND *rec;
    if (!hwnd || hwnd == PM_HWND_DESKTOP)
        return NULL;
    if (hwnd == cachedHwnd && cachedGeneration == recordGeneration)
        return cachedRec;
    if (GetClassLongPtrA(hwnd, GCL_CBWNDEXTRA) < OWM_WND_EXTRA)
        return NULL;
    if ((ULONG)GetWindowLongA(hwnd, OWM_WW_MARKER) != OWM_PM_MARKER)
        return NULL;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId())
        return NULL;
    rec = (OWMWND *)GetWindowLongPtrA(hwnd, OWM_WW_RECORD);
    if (rec) {
        cachedGeneration = recordGeneration;
        cachedHwnd = hwnd;
        cachedRec = rec;
    }
    return rec;
}

BOOL ORINAPI OwmIsPMWindow(HWND hwnd) noexcept
{
    if (hwnd == PM_HWND_DESKTOP)
        hwnd = GetDesktopWindow();
    if (OwmIsDlgWindowPM(hwnd))
        return FALSE;
    return OwmQueryWndRec(hwnd) != NULL;
}

USHORT ORINAPI OwmQueryControlKind(HWND hwnd) noexcept
{
    char name[64];
    if (!GetClassNameA(hwnd, name, sizeof name))
        return OWM_CTL_UNKNOWN;
    if (_stricmp(name, "BUTTON") == 0)   return OWM_CTL_BUTTON;
    if (_stricmp(name, "COMBOBOX") == 0) return OWM_CTL_COMBOBOX;
    if (_stricmp(name, "EDIT") == 0)
        return (GetWindowLongA(hwnd, GWL_STYLE) & ES_MULTILINE) ? OWM_CTL_MLE : OWM_CTL_ENTRY;
    if (_stricmp(name, "LISTBOX") == 0)  return OWM_CTL_LISTBOX;
    if (_stricmp(name, "STATIC") == 0)   return OWM_CTL_STATIC;
    if (_stricmp(name, "VLIST") == 0)    return OWM_CTL_VLIST;
    return OWM_CTL_NONE;
}

/* ---- native create and destroy (run by the front end) ---- */

static BOOL isReadable(const void *p, size_t size)
{
    MEMORY_BASIC_INFORMATION mbi;
    const BYTE *b = (const BYTE*)p;
    if (!p || VirtualQuery(p, &mbi, sizeof mbi) == 0)
        return FALSE;
    if (mbi.State != MEM_COMMIT || (mbi.Protect & (PAGE_NOACCESS | PAGE_GUARD)))
        return FALSE;
    return b + size <= (const BYTE *)mbi.BaseAddress + mbi.RegionSize;
}

/* Static-control types of the library's own control class. */
static ULONG staticStyle(ULONG type)
{
    switch (type) {
    case 14: return 4;          /* bitmap */
    case 19: return 11;
    case 21: return 12;
    default: return 1;          /* text */
    }
}

static ULONG ownControlStyle(const char *cls, ULONG native)
{
    static const ULONG fromButton[12] = { 0, 0x400, 1, 2, 3, 5, 6, 0, 0, 4, 0, 7 };
    ULONG type = native & 0x1F;
    if (!cls || IS_INTRESOURCE(cls))
        return 0;
    if (strcmp(cls, "opmBut") == 0)
        return type < 12 ? fromButton[type] : 0;
    if (strcmp(cls, "OPMSTATIC") == 0)
        return staticStyle(type);
    return 0;
}

LONG OwmWndCreate(HWND hwnd, CREATESTRUCTA *cs)
{
    char className[256];
    OWMCLASS *cls;
    OWMWND *rec;
    const OWMCREATEREC *cr = (const OWMCREATEREC*)cs->lpCreateParams;
    PM_CREATESTRUCT pmcs;
    HWND parent = cs->hwndParent;
    MRESULT reply;

    if (!GetClassNameA(hwnd, className, sizeof className) || !(cls = OwmFindClass(className)))
        return -1;
    rec = (OWMWND*)calloc(1, sizeof *rec);
    if (!rec)
        return -1;
    rec->pfnWndProc = cls->pfnWndProc;
    rec->pClass = cls;
    rec->cbData = cls->cbWindowData;
    if (rec->cbData && !(rec->pData = (BYTE*)calloc(1, rec->cbData))) {
        free(rec);
        return -1;
    }
    if (isReadable(cr, sizeof *cr) && cr->tag == OWM_CREATE_TAG) {
        rec->flStyle = cr->flStyle;
        rec->hwndOwner = cr->hwndOwner;
        rec->hwndParent = cr->hwndParent;
        rec->pCtlData = cr->pCtlData;
    } else {
        rec->flStyle = OwmPMStyleFromNative(cs->style & (WS_VISIBLE | WS_DISABLED |
                                                         WS_GROUP | WS_TABSTOP)) |
                       ownControlStyle(className, cs->style);
        rec->hwndOwner = rec->hwndParent = parent;
        rec->pCtlData = cs->lpCreateParams;
    }
    SetWindowLongPtrA(hwnd, OWM_WW_RECORD, (LONG_PTR)rec);
    SetWindowLongA(hwnd, OWM_WW_MARKER, (LONG)OWM_PM_MARKER);

    memset(&pmcs, 0, sizeof pmcs);
    pmcs.pCtlData = rec->pCtlData;
    pmcs.id = (cs->style & WS_CHILD) ? (ULONG)(ULONG_PTR)cs->hMenu : 0;
    pmcs.hwndOwner = rec->hwndOwner;
    pmcs.cx = cs->cx;
    pmcs.cy = cs->cy;
    pmcs.x = cs->x;
    if (parent && !(cs->style & WS_POPUP)) {    /* a popup's PM parent is the desktop */
        pmcs.y = OwmClientHeight(parent) - cs->y - cs->cy + 1;
    } else {
        RECT rc;
        GetWindowRect(GetDesktopWindow(), &rc);
        pmcs.y = (rc.bottom - rc.top) - cs->y - cs->cy + 1;
    }
    pmcs.flStyle = rec->flStyle;
    pmcs.pszText = IS_INTRESOURCE(cs->lpszName) ? NULL : cs->lpszName;
    pmcs.pszClass = cls->name;
    pmcs.hwndParent = rec->hwndParent;

    reply = rec->pfnWndProc ? rec->pfnWndProc(hwnd, PM_WM_CREATE, rec->pCtlData, &pmcs) : 0;
    if (reply) {
        forgetCachedRecords();
        SetWindowLongPtrA(hwnd, OWM_WW_RECORD, 0);
        SetWindowLongA(hwnd, OWM_WW_MARKER, 0);
        free(rec->pData);
        free(rec);
        return -1;
    }
    return 0;
}

void OwmWndDestroy(HWND hwnd)
{
    OWMWND *rec = (OWMWND *)GetWindowLongPtrA(hwnd, OWM_WW_RECORD);
    if (rec) {
        if (rec->pfnWndProc)
            rec->pfnWndProc(hwnd, PM_WM_DESTROY, 0, 0);
        forgetCachedRecords();
        SetWindowLongPtrA(hwnd, OWM_WW_RECORD, 0);
        SetWindowLongA(hwnd, OWM_WW_MARKER, 0);
        free(rec->pData);
        free(rec);
    }
    OwmPopupListRemove(hwnd);
    OwmPostedForget(hwnd);
    OwmRedirectRemove(hwnd);
    OwmInputForget(hwnd);
}

/* ---- popup list ---- */

static HWND *popups;
static size_t popupCount;

void OwmPopupListAdd(HWND hwnd)
{
    HWND *grown;
    size_t i, kept = 0;
    /* native popups never pass the front end's destroy handler: prune them */
    for (i = 0; i < popupCount; i++)
        if (IsWindow(popups[i]))
            popups[kept++] = popups[i];
    popupCount = kept;
    grown = (HWND__**)realloc(popups, (popupCount + 1) * sizeof *popups);
    if (!grown)
        return;
    popups = grown;
    popups[popupCount++] = hwnd;
}

void OwmPopupListRemove(HWND hwnd)
{
    size_t i;
    for (i = 0; i < popupCount; i++)
        if (popups[i] == hwnd) {
            memmove(&popups[i], &popups[i + 1], (popupCount - i - 1) * sizeof *popups);
            popupCount--;
            return;
        }
}

size_t OwmPopupListCount(void)
{
    return popupCount;
}

HWND OwmPopupListAt(size_t i)
{
    return i < popupCount ? popups[i] : NULL;
}

void OwmPopupListFree(void)
{
    free(popups);
    popups = NULL;
    popupCount = 0;
}
