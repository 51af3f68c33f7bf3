/*
 * win_query.cpp - window relations, window words and the thin PM calls
 * that map straight onto one native operation.
 *
 * A PM window answers owner and parent from its record and its window
 * words from its window data (8 bytes per ULONG word, 2 per USHORT word,
 * read at the given byte offset); index -2 (style) combines the bits the
 * native style reflects with the PM-only bits of the record, and index -3
 * is the PM procedure.  Native windows answer from their native words;
 * for native controls the style word is rebuilt into PM form by kind.
 * A handle that names no window gets the failure value of its call, with
 * the native code for an invalid window in the last error.
 */
#include <array>
#include <cstring>
#include "pm/pmint.h"

namespace orin::pm {
namespace {

/* PM style bits that live in the native style of a PM window. */
constexpr ULONG kReflectedStyle = PM_WS_VISIBLE | PM_WS_DISABLED | PM_WS_CLIPCHILDREN |
                                  PM_WS_CLIPSIBLINGS | PM_WS_GROUP | PM_WS_TABSTOP |
                                  PM_WS_MINIMIZED | PM_WS_MAXIMIZED;
constexpr ULONG kPmBsDefault = 0x400;
constexpr ULONG kPmLsMultipleSel = 0x01;
constexpr ULONG kPmLsOwnerDraw = 0x02;
constexpr ULONG kPmLsExtendedSel = 0x10;
constexpr ULONG kPmCbsSimple = 1;
constexpr ULONG kPmCbsDropDown = 2;
constexpr ULONG kPmCbsDropDownList = 4;
constexpr ULONG kPmCbsSort = 0x10;
constexpr LONG kUnkeptWord = -4;

HWND lastChild(HWND hwnd) noexcept
{
    HWND child = GetWindow(hwnd, GW_CHILD);
    return child ? GetWindow(child, GW_HWNDLAST) : nullptr;
}

HWND frameAncestor(HWND hwnd) noexcept
{
    HWND p = GetParent(hwnd);
    while (p && (GetWindowLongA(p, GWL_STYLE) & WS_CHILD))
        p = GetParent(p);
    return p;
}

/* ---- style word ---- */

ULONG pmButtonStyle(ULONG native) noexcept
{
    switch (native & 0xF) {
    case BS_DEFPUSHBUTTON:    return kPmBsDefault;
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

ULONG pmListStyle(ULONG native) noexcept
{
    ULONG pm = 0;
    if (native & LBS_MULTIPLESEL)    pm |= kPmLsMultipleSel;
    if (native & LBS_EXTENDEDSEL)    pm |= kPmLsExtendedSel;
    if (native & LBS_OWNERDRAWFIXED) pm |= kPmLsOwnerDraw;
    return pm;
}

ULONG pmComboStyle(ULONG native) noexcept
{
    ULONG pm = 0;
    switch (native & 0x3) {
    case CBS_SIMPLE:       pm = kPmCbsSimple; break;
    case CBS_DROPDOWN:     pm = kPmCbsDropDown; break;
    case CBS_DROPDOWNLIST: pm = kPmCbsDropDownList; break;
    }
    if (native & CBS_SORT)
        pm |= kPmCbsSort;
    return pm;
}

ULONG nativeStyle(HWND hwnd) noexcept
{
    return static_cast<ULONG>(GetWindowLongA(hwnd, GWL_STYLE));
}

ULONG reflectedBits(ULONG native) noexcept
{
    return OwmPMStyleFromNative(native) | ((native & WS_MAXIMIZE) ? PM_WS_MAXIMIZED : 0);
}

ULONG nativeToPMStyle(HWND hwnd, ULONG native) noexcept
{
    ULONG pm = reflectedBits(native);
    switch (OwmQueryControlKind(hwnd)) {
    case OWM_CTL_BUTTON:   pm |= pmButtonStyle(native); break;
    case OWM_CTL_LISTBOX:  pm |= pmListStyle(native); break;
    case OWM_CTL_COMBOBOX: pm |= pmComboStyle(native); break;
    }
    return pm;
}

ULONG pmWindowStyle(HWND hwnd, const OWMWND &rec) noexcept
{
    return (reflectedBits(nativeStyle(hwnd)) & kReflectedStyle) | (rec.flStyle & ~kReflectedStyle);
}

/* Writes the reflected bits of a PM style into the native style. */
void setPMWindowStyle(HWND hwnd, OWMWND &rec, ULONG pm) noexcept
{
    struct Bit {
        ULONG pm, native;
    };
    static constexpr std::array<Bit, 6> kBits = {{
        {PM_WS_VISIBLE, WS_VISIBLE}, {PM_WS_DISABLED, WS_DISABLED},
        {PM_WS_CLIPCHILDREN, WS_CLIPCHILDREN}, {PM_WS_CLIPSIBLINGS, WS_CLIPSIBLINGS},
        {PM_WS_GROUP, WS_GROUP}, {PM_WS_TABSTOP, WS_TABSTOP},
    }};
    ULONG native = nativeStyle(hwnd);
    for (const Bit &b : kBits)
        native = (pm & b.pm) ? (native | b.native) : (native & ~b.native);
    rec.flStyle = pm;
    SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(native));
}

/* ---- window words ---- */

/* Whether size bytes at index lie inside a PM window's data. */
bool dataRange(const OWMWND &rec, LONG index, size_t size) noexcept
{
    return rec.data && index >= 0 && static_cast<size_t>(index) + size <= rec.cbData;
}

template <class T>
T readData(const OWMWND &rec, LONG index) noexcept
{
    T value = 0;
    if (dataRange(rec, index, sizeof value))
        std::memcpy(&value, rec.data.get() + index, sizeof value);
    return value;
}

template <class T>
bool writeData(OWMWND &rec, LONG index, T value) noexcept
{
    if (!dataRange(rec, index, sizeof value))
        return false;
    std::memcpy(rec.data.get() + index, &value, sizeof value);
    return true;
}

}  // namespace

HWND OwmNonPMRelation(HWND hwnd, LONG cmd) noexcept
{
    if (OwmIsDlgWindowPM(hwnd))
        return OwmHookDlgRelation(hwnd, cmd);
    return GetParent(hwnd);
}

}  // namespace orin::pm

using namespace orin::pm;

HWND ORINAPI WinQueryWindow(HWND hwnd, LONG cmd) noexcept
{
    if (!hwnd)
        return nullptr;
    hwnd = OwmMapDesktop(hwnd);
    switch (cmd) {
    case PM_QW_NEXT:   return GetWindow(hwnd, GW_HWNDNEXT);
    case PM_QW_PREV:   return GetWindow(hwnd, GW_HWNDPREV);
    case PM_QW_TOP:    return GetWindow(hwnd, GW_CHILD);
    case PM_QW_BOTTOM: return lastChild(hwnd);
    case PM_QW_OWNER:
    case PM_QW_PARENT:
        if (const OWMWND *rec = OwmQueryWndRec(hwnd))
            return cmd == PM_QW_OWNER ? rec->hwndOwner : rec->hwndParent;
        return OwmNonPMRelation(hwnd, cmd);
    case PM_QW_FRAMEOWNER:
        return frameAncestor(hwnd);
    default:
        return cmd >= 0 ? GetWindow(hwnd, static_cast<UINT>(cmd)) : nullptr;
    }
}

ULONG_PTR ORINAPI WinQueryWindowULong(HWND hwnd, LONG index) noexcept
{
    if (!hwnd)
        return 0;
    hwnd = OwmMapDesktop(hwnd);
    const OWMWND *rec = OwmQueryWndRec(hwnd);
    switch (index) {
    case kUnkeptWord:
        return 0;
    case PM_QWP_PFNWP:
        return rec ? reinterpret_cast<ULONG_PTR>(rec->pfnWndProc)
                   : static_cast<ULONG_PTR>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    case PM_QWL_STYLE:
        return rec ? pmWindowStyle(hwnd, *rec) : nativeToPMStyle(hwnd, nativeStyle(hwnd));
    }
    if (index < 0)
        return 0;
    if (rec)
        return readData<ULONG_PTR>(*rec, index);
    ULONG_PTR value = 0;
    if (OwmHookDlgWindowWord(hwnd, index, &value))
        return value;
    return static_cast<ULONG_PTR>(GetWindowLongPtrA(hwnd, index));
}

BOOL ORINAPI WinSetWindowULong(HWND hwnd, LONG index, ULONG_PTR ul) noexcept
{
    if (!hwnd)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    OWMWND *rec = OwmQueryWndRec(hwnd);
    if (!rec && !OwmIsWindow(hwnd))
        return FALSE;
    if (index == PM_QWP_PFNWP) {
        if (rec)
            rec->pfnWndProc = reinterpret_cast<PFNWP>(ul);
        else
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, static_cast<LONG_PTR>(ul));
        return TRUE;
    }
    if (index == PM_QWL_STYLE) {
        if (rec)
            setPMWindowStyle(hwnd, *rec, static_cast<ULONG>(ul));
        else
            SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(ul));
        return TRUE;
    }
    if (index < 0)
        return FALSE;
    if (rec)
        return writeData(*rec, index, ul);
    SetLastError(0);
    return SetWindowLongPtrA(hwnd, index, static_cast<LONG_PTR>(ul)) != 0 || GetLastError() == 0;
}

USHORT ORINAPI WinQueryWindowUShort(HWND hwnd, LONG index) noexcept
{
    if (!hwnd)
        return 0;
    hwnd = OwmMapDesktop(hwnd);
    if (index >= 0)
        if (const OWMWND *rec = OwmQueryWndRec(hwnd))
            return readData<USHORT>(*rec, index);
    return static_cast<USHORT>(WinQueryWindowULong(hwnd, index));
}

BOOL ORINAPI WinSetWindowUShort(HWND hwnd, LONG index, USHORT us) noexcept
{
    if (!hwnd || index < 0)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    if (OWMWND *rec = OwmQueryWndRec(hwnd))
        return writeData(*rec, index, us);
    return WinSetWindowULong(hwnd, index, us);
}

PVOID ORINAPI WinQueryWindowPtr(HWND hwnd, LONG index) noexcept
{
    return reinterpret_cast<PVOID>(WinQueryWindowULong(hwnd, index));
}

BOOL ORINAPI WinSetWindowPtr(HWND hwnd, LONG index, PVOID p) noexcept
{
    return WinSetWindowULong(hwnd, index, reinterpret_cast<ULONG_PTR>(p));
}

/* ---- thin calls ---- */

BOOL ORINAPI WinDestroyWindow(HWND hwnd) noexcept
{
    return hwnd && hwnd != PM_HWND_DESKTOP && DestroyWindow(hwnd);
}

BOOL ORINAPI WinIsWindow(HAB hab, HWND hwnd) noexcept
{
    return hwnd && IsWindow(OwmMapDesktop(hwnd));
}

BOOL ORINAPI WinShowWindow(HWND hwnd, BOOL fShow) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    if (!OwmIsWindow(hwnd))
        return FALSE;
    ShowWindow(hwnd, fShow ? SW_SHOW : SW_HIDE);
    return TRUE;
}

BOOL ORINAPI WinEnableWindow(HWND hwnd, BOOL fEnable) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    if (!OwmIsWindow(hwnd))
        return FALSE;
    EnableWindow(hwnd, fEnable);
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
    HWND native = OwmMapDesktop(hwndNewParent);
    if (!hwnd || !SetParent(hwnd, native == GetDesktopWindow() ? nullptr : native))
        return FALSE;
    if (OWMWND *rec = OwmQueryWndRec(hwnd))
        rec->hwndParent = native;
    if (fRedraw)
        InvalidateRect(hwnd, nullptr, TRUE);
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
    return hwndParent ? GetDlgItem(OwmMapDesktop(hwndParent), static_cast<int>(id)) : nullptr;
}

BOOL ORINAPI WinIsChild(HWND hwnd, HWND hwndParent) noexcept
{
    if (!hwnd || !hwndParent)
        return FALSE;
    hwnd = OwmMapDesktop(hwnd);
    hwndParent = OwmMapDesktop(hwndParent);
    if (!OwmIsWindow(hwnd))
        return FALSE;
    return hwnd == hwndParent || IsChild(hwndParent, hwnd) || hwndParent == GetDesktopWindow();
}

BOOL ORINAPI WinSetFocus(HWND hwndDesktop, HWND hwndFocus) noexcept
{
    if (hwndFocus == PM_HWND_DESKTOP)
        hwndFocus = nullptr;
    if (hwndFocus && !OwmIsWindow(hwndFocus))
        return FALSE;
    SetFocus(hwndFocus);
    return TRUE;
}

HWND ORINAPI WinQueryFocus(HWND hwndDesktop) noexcept
{
    return GetFocus();
}

HWND ORINAPI WinQueryActiveWindow(HWND hwndDesktop) noexcept
{
    return GetActiveWindow();
}

BOOL ORINAPI WinSetActiveWindow(HWND hwndDesktop, HWND hwnd) noexcept
{
    return hwnd && SetActiveWindow(OwmMapDesktop(hwnd)) != nullptr;
}

BOOL ORINAPI WinSetCapture(HWND hwndDesktop, HWND hwnd) noexcept
{
    if (!hwnd || hwnd == PM_HWND_DESKTOP)
        return ReleaseCapture();
    if (!OwmIsWindow(hwnd))
        return FALSE;
    SetCapture(hwnd);
    return TRUE;
}

HWND ORINAPI WinQueryCapture(HWND hwndDesktop) noexcept
{
    return GetCapture();
}

BOOL ORINAPI WinUpdateWindow(HWND hwnd) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    return OwmIsWindow(hwnd) && UpdateWindow(hwnd);
}

BOOL ORINAPI WinSetPresParam(HWND hwnd, ULONG id, ULONG cbParam, PVOID pbParam) noexcept
{
    return OwmIsWindow(OwmMapDesktop(hwnd));
}
