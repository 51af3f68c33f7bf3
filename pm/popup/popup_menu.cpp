/*
 * popup_menu.cpp - native pop-up menus for direct use: creating one,
 * appending items with the PM item flags converted, removing superfluous
 * separators, and showing a menu at the pointer.
 */
#include <array>
#include "frame/boundary.h"
#include "pm/pmint.h"
#include "pm/popup/popup_int.h"

namespace orin::pm::popup {
namespace {

struct FlagPair {
    USHORT item;
    UINT native;
};

/* PM item flag -> native menu flag, bit by bit. */
constexpr std::array<FlagPair, 9> kFlagMap = {{
    {OWM_MIA_BITMAP, MF_BITMAP},
    {OWM_MIA_SEPARATOR, MF_SEPARATOR},
    {OWM_MIA_OWNERDRAW, MF_OWNERDRAW},
    {OWM_MIA_SUBMENU, MF_POPUP},
    {OWM_MIA_RIGHTJUST, 0x2000},
    {OWM_MIA_BREAK, MF_MENUBREAK},
    {OWM_MIA_BARBREAK, MF_MENUBARBREAK},
    {OWM_MIA_CHECKED, MF_CHECKED},
    {OWM_MIA_DISABLED, MF_GRAYED | MF_DISABLED},
}};

bool isSeparator(HMENU menu, int pos) noexcept
{
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE;
    return GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &mii) &&
           (mii.fType & MFT_SEPARATOR);
}

}  // namespace

UINT NativeMenuFlags(USHORT itemFlags) noexcept
{
    UINT native = 0;
    for (const FlagPair &f : kFlagMap)
        if (itemFlags & f.item)
            native |= f.native;
    return native;
}

bool AppendItem(HMENU menu, USHORT flags, USHORT id, const char *text) noexcept
{
    UINT native = NativeMenuFlags(flags);
    if (native & MF_SEPARATOR)
        return AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    return AppendMenuA(menu, native | ((native & MF_BITMAP) ? 0 : MF_STRING), id,
                       text ? text : "");
}

void TrackAtPointer(HWND hwnd, HMENU menu) noexcept
{
    POINT pt = {0, 0};
    GetCursorPos(&pt);
    HWND owner = OwmMapDesktop(hwnd);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr);
}

}  // namespace orin::pm::popup

using namespace orin::pm::popup;

HMENU ORINAPI OwmCreatePopupMenu() noexcept
{
    return CreatePopupMenu();
}

BOOL ORINAPI OwmAppendPopupMenu(HMENU hmenu, USHORT flags, USHORT id, const char *pszText) noexcept
{
    if (AppendItem(hmenu, flags, id, pszText))
        return TRUE;
    SetLastError(GetLastError() ? GetLastError() : ORIN_ERR_INVALID_HANDLE);
    return FALSE;
}

USHORT ORINAPI OwmProcessPopupMenu(HWND hwnd, HMENU hmenu) noexcept
{
    if (!hmenu)
        return OWM_POPUP_ERROR;
    int count = GetMenuItemCount(hmenu);
    if (count > 0)
        TrackAtPointer(hwnd, hmenu);
    DestroyMenu(hmenu);
    return 0;
}

BOOL ORINAPI OwmDestroyPopupMenu(HMENU hmenu) noexcept
{
    return hmenu && DestroyMenu(hmenu);
}

int ORINAPI OwmPopupMenuRemoveSeparators(HMENU hmenu, BOOL fAfterSeparator) noexcept
{
    int count = GetMenuItemCount(hmenu);
    if (count < 0)
        return 0;
    for (int i = 1; i < GetMenuItemCount(hmenu);) {
        if (isSeparator(hmenu, i - 1) && (fAfterSeparator || isSeparator(hmenu, i)))
            DeleteMenu(hmenu, static_cast<UINT>(i), MF_BYPOSITION);
        else
            ++i;
    }
    while (GetMenuItemCount(hmenu) > 0 && isSeparator(hmenu, 0))
        DeleteMenu(hmenu, 0, MF_BYPOSITION);
    for (int last; (last = GetMenuItemCount(hmenu) - 1) >= 0 && isSeparator(hmenu, last);)
        DeleteMenu(hmenu, static_cast<UINT>(last), MF_BYPOSITION);
    return GetMenuItemCount(hmenu);
}
