/*
 * dlg_items.cpp - the PM operations on dialog items, each through the
 * window functions: item messages and texts, numbers as item texts, the
 * default push button, tab and group order, and dialog-unit mapping.
 */
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include "frame/boundary.h"
#include "pm/pmint.h"
#include "pm/dialog/dlg_int.h"

namespace orin::pm::dialog {
namespace {

constexpr int kNumberText = 16;
constexpr LONG kBaseUnitX = 4;                 // MapDialogRect of (4, 8) gives the base units
constexpr LONG kBaseUnitY = 8;

HWND item(HWND dlg, ULONG id) noexcept
{
    return dlg ? WinWindowFromID(dlg, id) : nullptr;
}

bool isGroupStart(HWND w) noexcept
{
    return (GetWindowLongA(w, GWL_STYLE) & WS_GROUP) != 0;
}

/* The first item of hwnd's group: walk back to the nearest WS_GROUP. */
HWND firstOfGroup(HWND hwnd) noexcept
{
    HWND w = hwnd;
    while (w && !isGroupStart(w)) {
        HWND prev = GetWindow(w, GW_HWNDPREV);
        if (!prev)
            break;
        w = prev;
    }
    return w;
}

HWND lastOfGroup(HWND hwnd) noexcept
{
    HWND w = hwnd;
    for (HWND next; (next = GetWindow(w, GW_HWNDNEXT)) && !isGroupStart(next);)
        w = next;
    return w;
}

}  // namespace
}  // namespace orin::pm::dialog

using namespace orin::pm::dialog;

MRESULT ORINAPI WinSendDlgItemMsg(HWND hwndDlg, ULONG idItem, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    HWND w = item(hwndDlg, idItem);
    return w ? WinSendMsg(w, msg, mp1, mp2) : nullptr;
}

BOOL ORINAPI WinSetDlgItemText(HWND hwndDlg, ULONG idItem, const char *pszText) noexcept
{
    HWND w = item(hwndDlg, idItem);
    return w && WinSetWindowText(w, pszText ? pszText : "");
}

ULONG ORINAPI WinQueryDlgItemText(HWND hwndDlg, ULONG idItem, LONG cchBufferMax, char *pchBuffer) noexcept
{
    HWND w = item(hwndDlg, idItem);
    if (!w || !pchBuffer || cchBufferMax <= 0)
        return 0;
    LONG n = WinQueryWindowText(w, cchBufferMax, pchBuffer);
    return n > 0 ? static_cast<ULONG>(n) : 0;
}

BOOL ORINAPI WinSetDlgItemShort(HWND hwndDlg, ULONG idItem, USHORT usValue, BOOL fSigned) noexcept
{
    char text[kNumberText];
    if (fSigned)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<SHORT>(usValue)));
    else
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(usValue));
    return WinSetDlgItemText(hwndDlg, idItem, text);
}

BOOL ORINAPI WinQueryDlgItemShort(HWND hwndDlg, ULONG idItem, SHORT *pResult, BOOL fSigned) noexcept
{
    char text[kNumberText] = "";
    if (!pResult || !WinQueryDlgItemText(hwndDlg, idItem, sizeof text, text))
        return FALSE;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    while (end && *end == ' ')
        ++end;
    if (errno || end == text || (end && *end))
        return FALSE;
    long lo = fSigned ? -32768 : 0, hi = fSigned ? 32767 : 65535;
    if (v < lo || v > hi)
        return FALSE;
    *pResult = static_cast<SHORT>(v);
    return TRUE;
}

BOOL ORINAPI WinDlgSetDefPushButton(HWND hwndDlg, ULONG idItem) noexcept
{
    if (!hwndDlg || !IsWindow(hwndDlg) || !item(hwndDlg, idItem))
        return FALSE;
    SendMessageA(hwndDlg, DM_SETDEFID, idItem, 0);
    return TRUE;
}

HWND ORINAPI WinEnumDlgItem(HWND hwndDlg, HWND hwnd, ULONG code) noexcept
{
    if (!hwndDlg || !IsWindow(hwndDlg) || (hwnd && !IsChild(hwndDlg, hwnd)))
        return nullptr;
    switch (code) {
    case PM_EDI_FIRSTTABITEM:  return GetNextDlgTabItem(hwndDlg, nullptr, FALSE);
    case PM_EDI_LASTTABITEM:   // the one before the first, wrapping round
        return GetNextDlgTabItem(hwndDlg, GetNextDlgTabItem(hwndDlg, nullptr, FALSE), TRUE);
    case PM_EDI_NEXTTABITEM:   return GetNextDlgTabItem(hwndDlg, hwnd, FALSE);
    case PM_EDI_PREVTABITEM:   return GetNextDlgTabItem(hwndDlg, hwnd, TRUE);
    case PM_EDI_FIRSTGROUPITEM: return hwnd ? firstOfGroup(hwnd) : nullptr;
    case PM_EDI_LASTGROUPITEM: return hwnd ? lastOfGroup(hwnd) : nullptr;
    case PM_EDI_NEXTGROUPITEM: return GetNextDlgGroupItem(hwndDlg, hwnd, FALSE);
    case PM_EDI_PREVGROUPITEM: return GetNextDlgGroupItem(hwndDlg, hwnd, TRUE);
    default:
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
}

BOOL ORINAPI WinMapDlgPoints(HWND hwndDlg, PM_POINTL *prgwptl, ULONG cwpt, BOOL fCalcWindowCoords) noexcept
{
    if (!hwndDlg || !IsWindow(hwndDlg) || (!prgwptl && cwpt))
        return FALSE;
    RECT base = {0, 0, kBaseUnitX, kBaseUnitY};
    if (!MapDialogRect(hwndDlg, &base) || base.right <= 0 || base.bottom <= 0)
        return FALSE;
    for (ULONG i = 0; i < cwpt; ++i) {
        PM_POINTL &p = prgwptl[i];
        if (fCalcWindowCoords) {
            p.x = MulDiv(p.x, base.right, kBaseUnitX);
            p.y = MulDiv(p.y, base.bottom, kBaseUnitY);
        } else {
            p.x = MulDiv(p.x, kBaseUnitX, base.right);
            p.y = MulDiv(p.y, kBaseUnitY, base.bottom);
        }
    }
    return TRUE;
}
