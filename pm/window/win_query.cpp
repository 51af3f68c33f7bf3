/*
 * win_query.c - window relations, window words and the thin PM calls that
 * map straight onto one native operation.
 *
 * A PM window answers owner and parent from its record and its window
 * words from its window data (8 bytes per ULONG word, 2 per USHORT word,
 * read at the given byte offset); index -2 (style) combines the bits the
 * native style reflects with the PM-only bits of the record, and index -3
 * is the PM procedure.  Native windows answer from their native words;
 * for native controls the style word is rebuilt into PM form by kind.
 */
#include <string.h>
#include "pm/pmint.h"

/* PM style bits that live in the native style of a PM window. */
#define PM_REFLECTED_STYLE (PM_WS_VISIBLE | PM_WS_DISABLED | PM_WS_CLIPCHILDREN | \
                            PM_WS_CLIPSIBLINGS | PM_WS_GROUP | PM_WS_TABSTOP |      \
                            PM_WS_MINIMIZED | PM_WS_MAXIMIZED)
#define PM_BS_DEFAULT      0x400
#define PM_LS_MULTIPLESEL  0x01
#define PM_LS_OWNERDRAW    0x02
#define PM_LS_EXTENDEDSEL  0x10
#define PM_CBS_SIMPLE      1
#define PM_CBS_DROPDOWN    2
#define PM_CBS_DROPDOWNLIST 4
#define PM_CBS_SORT        0x10

static HWND lastChild(HWND hwnd)
{
    HWND child = GetWindow(hwnd, GW_CHILD);
    return child ? GetWindow(child, GW_HWNDLAST) : NULL;
}

static HWND frameAncestor(HWND hwnd)
{
    HWND p = GetParent(hwnd);
    while (p && (GetWindowLongA(p, GWL_STYLE) & WS_CHILD))
        p = GetParent(p);
    return p;
}

HWND ORINAPI WinQueryWindow(HWND hwnd, LONG cmd) noexcept
{
    OWMWND *rec;
    if (!hwnd)
        return NULL;
    hwnd = OwmMapDesktop(hwnd);
    switch (cmd) {
    case PM_QW_NEXT:   return GetWindow(hwnd, GW_HWNDNEXT);
    case PM_QW_PREV:   return GetWindow(hwnd, GW_HWNDPREV);
    case PM_QW_TOP:    return GetWindow(hwnd, GW_CHILD);
    case PM_QW_BOTTOM: return lastChild(hwnd);
    case PM_QW_OWNER:
    case PM_QW_PARENT:
        if ((rec = OwmQueryWndRec(hwnd)) != NULL)
            return cmd == PM_QW_OWNER ? rec->hwndOwner : rec->hwndParent;
        if (OwmIsDlgWindowPM(hwnd))
            return OwmHookDlgRelation(hwnd, cmd);
        return GetParent(hwnd);
    case PM_QW_FRAMEOWNER:
        return frameAncestor(hwnd);
    default:
        return cmd >= 0 ? GetWindow(hwnd, (UINT)cmd) : NULL;
    }
}

/* ---- style word ---- */

static ULONG pmButtonStyle(ULONG native)
{
    switch (native & 0xF) {
    case BS_DEFPUSHBUTTON:    return PM_BS_DEFAULT;
    case BS_CHECKBOX:         return 1;
    case BS_AUTOCHECKBOX:     return 2;
    case BS_RADIOBUTTON:      return 3;
    case BS_AUTORADIOBUTTON:  return 4;
    case BS_3STATE:           return 5;
    case BS_AUTO3STATE:       return 6;
    case BS_OWNERDRAW:        return 7;
    default:                  return 0;
    }
}

static ULONG pmListStyle(ULONG native)
{
    ULONG pm = 0;
    if (native & LBS_MULTIPLESEL)    pm |= PM_LS_MULTIPLESEL;
    if (native & LBS_EXTENDEDSEL)    pm |= PM_LS_EXTENDEDSEL;
    if (native & LBS_OWNERDRAWFIXED) pm |= PM_LS_OWNERDRAW;
    return pm;
}

static ULONG pmComboStyle(ULONG native)
{
    ULONG pm = 0;
    switch (native & 0x3) {
    case CBS_SIMPLE:       pm = PM_CBS_SIMPLE; break;
    case CBS_DROPDOWN:     pm = PM_CBS_DROPDOWN; break;
    case CBS_DROPDOWNLIST: pm = PM_CBS_DROPDOWNLIST; break;
    }
    if (native & CBS_SORT)
        pm |= PM_CBS_SORT;
    return pm;
}

static ULONG nativeToPMStyle(HWND hwnd, ULONG native)
{
    ULONG pm = OwmPMStyleFromNative(native);
    if (native & WS_MAXIMIZE)
        pm |= PM_WS_MAXIMIZED;
    switch (OwmQueryControlKind(hwnd)) {
    case OWM_CTL_BUTTON:   pm |= pmButtonStyle(native); break;
    case OWM_CTL_LISTBOX:  pm |= pmListStyle(native); break;
    case OWM_CTL_COMBOBOX: pm |= pmComboStyle(native); break;
    }
    return pm;
}

static ULONG pmWindowStyle(HWND hwnd, const OWMWND *rec)
{
    ULONG native = (ULONG)GetWindowLongA(hwnd, GWL_STYLE);
    ULONG fromNative = OwmPMStyleFromNative(native) | ((native & WS_MAXIMIZE) ? PM_WS_MAXIMIZED : 0);
    return (fromNative & PM_REFLECTED_STYLE) | (rec->flStyle & ~PM_REFLECTED_STYLE);
}

/* Writes the reflected bits of a PM style into the native style. */
static void setPMWindowStyle(HWND hwnd, OWMWND *rec, ULONG pm)
{
    static const struct { ULONG pm, native; } bits[] = {
        { PM_WS_VISIBLE, WS_VISIBLE }, { PM_WS_DISABLED, WS_DISABLED },
        { PM_WS_CLIPCHILDREN, WS_CLIPCHILDREN }, { PM_WS_CLIPSIBLINGS, WS_CLIPSIBLINGS },
        { PM_WS_GROUP, WS_GROUP }, { PM_WS_TABSTOP, WS_TABSTOP },
    };
    ULONG native = (ULONG)GetWindowLongA(hwnd, GWL_STYLE);
    size_t i;
    for (i = 0; i < sizeof bits / sizeof bits[0]; i++)
        native = (pm & bits[i].pm) ? (native | bits[i].native) : (native & ~bits[i].native);
    rec->flStyle = pm;
    SetWindowLongA(hwnd, GWL_STYLE, (LONG)native);
}

/* ---- window words ---- */

/* Copies size bytes of a PM window's data at index; FALSE when the range
 * does not lie inside the window data. */
static BOOL dataRange(const OWMWND *rec, LONG index, size_t size)
{
    return rec->pData && index >= 0 && (size_t)index + size <= rec->cbData;
}

static BOOL readData(const OWMWND *rec, LONG index, void *value, size_t size)
{
    if (!dataRange(rec, index, size))
        return FALSE;
    memcpy(value, rec->pData + index, size);
    return TRUE;
}

static BOOL writeData(OWMWND *rec, LONG index, const void *value, size_t size)
{
    if (!dataRange(rec, index, size))
        return FALSE;
    memcpy(rec->pData + index, value, size);
    return TRUE;
}

ULONG_PTR ORINAPI WinQueryWindowULong(HWND hwnd, LONG index) noexcept
{
    OWMWND *rec;
    ULONG_PTR value = 0;

    if (!hwnd)
        return 0;
    hwnd = OwmMapDesktop(hwnd);
    rec = OwmQueryWndRec(hwnd);
    switch (index) {
    case -4:
        return 0;
    case PM_QWP_PFNWP:
        return rec ? (ULONG_PTR)rec->pfnWndProc : (ULONG_PTR)GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    case PM_QWL_STYLE:
        return rec ? pmWindowStyle(hwnd, rec)
                   : nativeToPMStyle(hwnd, (ULONG)GetWindowLongA(hwnd, GWL_STYLE));
    }
    if (index < 0)
        return 0;
    if (rec) {
        readData(rec, index, &value, sizeof value);
        return value;
    }
    if (OwmHookDlgWindowWord(hwnd, index, &value))
        return value;
    return (ULONG_PTR)GetWindowLongPtrA(hwnd, index);
}

BOOL ORINAPI WinSetWindowULong(HWND hwnd, LONG index, ULONG_PTR ul) noexcept
{
    OWMWND *rec;
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    rec = OwmQueryWndRec(hwnd);
    if (index == PM_QWP_PFNWP) {
        if (rec)
            rec->pfnWndProc = (PFNWP)ul;
        else
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)ul);
        return TRUE;
    }
    if (index == PM_QWL_STYLE) {
        if (rec)
            setPMWindowStyle(hwnd, rec, (ULONG)ul);
        else
            SetWindowLongA(hwnd, GWL_STYLE, (LONG)ul);
        return TRUE;
    }
    if (index < 0)
        return FALSE;
    if (rec)
        return writeData(rec, index, &ul, sizeof ul);
    SetLastError(0);
    return SetWindowLongPtrA(hwnd, index, (LONG_PTR)ul) != 0 || GetLastError() == 0;
}

USHORT ORINAPI WinQueryWindowUShort(HWND hwnd, LONG index) noexcept
{
    OWMWND *rec;
    USHORT value = 0;
    if (!hwnd)
        return 0;
    hwnd = OwmMapDesktop(hwnd);
    if (index < 0)
        return (USHORT)WinQueryWindowULong(hwnd, index);
    rec = OwmQueryWndRec(hwnd);
    if (rec) {
        readData(rec, index, &value, sizeof value);
        return value;
    }
    return (USHORT)WinQueryWindowULong(hwnd, index);
}

BOOL ORINAPI WinSetWindowUShort(HWND hwnd, LONG index, USHORT us) noexcept
{
    OWMWND *rec;
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (index < 0)
        return FALSE;
    rec = OwmQueryWndRec(hwnd);
    if (rec)
        return writeData(rec, index, &us, sizeof us);
    return WinSetWindowULong(hwnd, index, us);
}

PVOID ORINAPI WinQueryWindowPtr(HWND hwnd, LONG index) noexcept
{
    return (PVOID)WinQueryWindowULong(hwnd, index);
}

BOOL ORINAPI WinSetWindowPtr(HWND hwnd, LONG index, PVOID p) noexcept
{
    return WinSetWindowULong(hwnd, index, (ULONG_PTR)p);
}

/* ---- thin calls ---- */

BOOL ORINAPI WinDestroyWindow(HWND hwnd) noexcept
{
    return hwnd && hwnd != PM_HWND_DESKTOP && DestroyWindow(hwnd);
}

BOOL ORINAPI WinIsWindow(HAB hab, HWND hwnd) noexcept
{
    (void)hab;
    return hwnd && IsWindow(OwmMapDesktop(hwnd));
}

BOOL ORINAPI WinShowWindow(HWND hwnd, BOOL fShow) noexcept
{
    if (!hwnd)
        return FALSE;
    ShowWindow(OwmMapDesktop(hwnd), fShow ? SW_SHOW : SW_HIDE);
    return TRUE;
}

BOOL ORINAPI WinEnableWindow(HWND hwnd, BOOL fEnable) noexcept
{
    if (!hwnd)
        return FALSE;
    EnableWindow(OwmMapDesktop(hwnd), fEnable);
    return TRUE;
}

BOOL ORINAPI WinIsWindowEnabled(HWND hwnd) noexcept
{
    return hwnd && IsWindowEnabled(OwmMapDesktop(hwnd));
}

BOOL ORINAPI WinIsWindowVisible(HWND hwnd) noexcept
{
    return hwnd && IsWindowVisible(OwmMapDesktop(hwnd));
}

BOOL ORINAPI WinSetParent(HWND hwnd, HWND hwndNewParent, BOOL fRedraw) noexcept
{
    OWMWND *rec;
    HWND native = OwmMapDesktop(hwndNewParent);
    if (!hwnd || !SetParent(hwnd, native == GetDesktopWindow() ? NULL : native))
        return FALSE;
    if ((rec = OwmQueryWndRec(hwnd)) != NULL)
        rec->hwndParent = native;
    if (fRedraw)
        InvalidateRect(hwnd, NULL, TRUE);
    return TRUE;
}

BOOL ORINAPI WinSetOwner(HWND hwnd, HWND hwndNewOwner) noexcept
{
    OWMWND *rec = OwmQueryWndRec(hwnd);
    if (!rec)
        return FALSE;
    rec->hwndOwner = OwmMapDesktop(hwndNewOwner);
    return TRUE;
}

LONG ORINAPI WinQueryClassName(HWND hwnd, LONG cchMax, char *pch) noexcept
{
    if (!hwnd || !pch || cchMax <= 0)
        return 0;
    return GetClassNameA(OwmMapDesktop(hwnd), pch, cchMax);
}

LONG ORINAPI WinQueryWindowText(HWND hwnd, LONG cchBufferMax, char *pchBuffer) noexcept
{
    if (!hwnd || !pchBuffer || cchBufferMax <= 0)
        return 0;
    return GetWindowTextA(OwmMapDesktop(hwnd), pchBuffer, cchBufferMax);
}

LONG ORINAPI WinQueryWindowTextLength(HWND hwnd) noexcept
{
    return hwnd ? GetWindowTextLengthA(OwmMapDesktop(hwnd)) : 0;
}

BOOL ORINAPI WinSetWindowText(HWND hwnd, const char *pszText) noexcept
{
    return hwnd && SetWindowTextA(OwmMapDesktop(hwnd), pszText ? pszText : "");
}

HWND ORINAPI WinWindowFromID(HWND hwndParent, ULONG id) noexcept
{
    return hwndParent ? GetDlgItem(OwmMapDesktop(hwndParent), (int)id) : NULL;
}

BOOL ORINAPI WinIsChild(HWND hwnd, HWND hwndParent) noexcept
{
    if (!hwnd || !hwndParent)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    hwndParent = OwmMapDesktop(hwndParent);
    return hwnd == hwndParent || IsChild(hwndParent, hwnd) ||
           hwndParent == GetDesktopWindow();
}

BOOL ORINAPI WinSetFocus(HWND hwndDesktop, HWND hwndFocus) noexcept
{
    (void)hwndDesktop;
    SetFocus(hwndFocus == PM_HWND_DESKTOP ? NULL : hwndFocus);
    return TRUE;
}

HWND ORINAPI WinQueryFocus(HWND hwndDesktop) noexcept
{
    (void)hwndDesktop;
    return GetFocus();
}

HWND ORINAPI WinQueryActiveWindow(HWND hwndDesktop) noexcept
{
    (void)hwndDesktop;
    return GetActiveWindow();
}

BOOL ORINAPI WinSetActiveWindow(HWND hwndDesktop, HWND hwnd) noexcept
{
    (void)hwndDesktop;
    return hwnd && SetActiveWindow(OwmMapDesktop(hwnd)) != NULL;
}

BOOL ORINAPI WinSetCapture(HWND hwndDesktop, HWND hwnd) noexcept
{
    (void)hwndDesktop;
    if (!hwnd || hwnd == PM_HWND_DESKTOP)
        return ReleaseCapture();
    SetCapture(hwnd);
    return TRUE;
}

HWND ORINAPI WinQueryCapture(HWND hwndDesktop) noexcept
{
    (void)hwndDesktop;
    return GetCapture();
}

BOOL ORINAPI WinUpdateWindow(HWND hwnd) noexcept
{
    return hwnd && UpdateWindow(OwmMapDesktop(hwnd));
}

BOOL ORINAPI WinSetPresParam(HWND hwnd, ULONG id, ULONG cbParam, PVOID pbParam) noexcept
{
    (void)id; (void)cbParam; (void)pbParam;
    return hwnd != NULL;
}
