/*
 * popup_list.cpp - the context-menu item list: PM procedures append items
 * while a context-menu request travels through them; the front end clears
 * the list when the request starts, shows it when the request ends (items
 * numbered from OWM_POPUP_CMDBASE, separators not counted) and sends the
 * chosen command to the window that added the item.
 *
 * The list belongs to the thread that runs the message loop.
 */
#include <new>
#include <optional>
#include <string>
#include <vector>
#include "frame/boundary.h"
#include "pm/pmint.h"
#include "pm/popup/popup_int.h"

namespace orin::pm::popup {
namespace {

constexpr ULONG kMenuSource = 0x10002;       // mp2 of a command from a pop-up menu

struct Item {
    HWND hwnd;
    USHORT id;                                // 0: separator
    USHORT flags;
    std::optional<std::string> text;
    bool separator() const noexcept { return id == 0; }
};

constinit Lasting<std::vector<Item>> itemList;

std::vector<Item> &items() noexcept
{
    return itemList.value;
}

void clearItems() noexcept
{
    std::vector<Item>().swap(items());
}

/* The n-th item that is not a separator, or null. */
const Item *commandItem(size_t n) noexcept
{
    for (const Item &it : items())
        if (!it.separator() && n-- == 0)
            return &it;
    return nullptr;
}

/* Builds the native menu; ids are the items' own or the numbered ones. */
bool fillMenu(HMENU menu, bool numbered) noexcept
{
    USHORT next = kPopupCmdBase;
    for (const Item &it : items()) {
        if (it.separator()) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        USHORT id = numbered ? next++ : it.id;
        if (!AppendItem(menu, it.flags, id, it.text ? it.text->c_str() : nullptr))
            return false;
    }
    return true;
}

USHORT showItems(HWND hwnd, bool numbered) noexcept
{
    MenuHandle menu;
    if (!menu.get() || !fillMenu(menu.get(), numbered))
        return OWM_POPUP_ERROR;
    if (OwmPopupMenuRemoveSeparators(menu.get(), FALSE) > 0)
        TrackAtPointer(hwnd, menu.get());
    return 0;
}

void deliverCommand(HWND, USHORT n) noexcept
{
    if (const Item *it = commandItem(n))
        WinPostMsg(it->hwnd, PM_WM_COMMAND, MPFROMLONG(it->id), MPFROMLONG(kMenuSource));
    clearItems();
}

void showContextMenu(HWND hwnd) noexcept
{
    if (!items().empty())
        showItems(hwnd, true);
}

constexpr PopupHooks kHooks = {clearItems, showContextMenu, deliverCommand};
[[maybe_unused]] const bool hooksInstalled = OwmInstallPopupHooks(&kHooks);

}  // namespace
}  // namespace orin::pm::popup

using namespace orin::pm::popup;

USHORT ORINAPI OwmPopUpAppend(const OWMPOPUPITEM *pItem) noexcept
{
    if (!pItem)
        return ORIN_ERR_INVALID_PARAM;
    return orin::guardValue<USHORT>(ORIN_ERR_NO_MEMORY, [&]() -> USHORT {
        Item it{pItem->hwnd, pItem->id, pItem->flags, std::nullopt};
        if (pItem->flags & OWM_MIA_SEPARATOR)
            it.id = 0;
        if (pItem->pszText && !(pItem->flags & OWM_MIA_BITMAP))
            it.text = std::string(pItem->pszText);
        items().push_back(std::move(it));   // strong guarantee: list unchanged on failure
        return 0;
    });
}

USHORT ORINAPI OwmPopUpQueryItemsNumber() noexcept
{
    USHORT n = 0;
    for (const Item &it : items())
        n += !it.separator();
    return n;
}

void ORINAPI OwmPopUpClear() noexcept
{
    clearItems();
}

USHORT ORINAPI OwmPopUpProcess(HWND hwnd) noexcept
{
    return showItems(hwnd, false);
}
