/*
 * popup_int.h - what the two files of the pop-up layer share: the native
 * menu built from item flags, and showing a menu at the pointer.
 */
#ifndef ORIN_PM_POPUP_POPUP_INT_H
#define ORIN_PM_POPUP_POPUP_INT_H

#include "owmpopup.h"

namespace orin::pm::popup {

/* The native menu flags of an item's OWM_MIA_* flags. */
UINT NativeMenuFlags(USHORT itemFlags) noexcept;

/* Appends one converted item; false when the system refuses it. */
bool AppendItem(HMENU menu, USHORT flags, USHORT id, const char *text) noexcept;

/* Shows the menu at the pointer for hwnd with right-button tracking; the
 * chosen command goes to hwnd as a native command message. */
void TrackAtPointer(HWND hwnd, HMENU menu) noexcept;

/* Owns a native menu until it goes out of scope. */
class MenuHandle {
public:
    MenuHandle() noexcept : menu_(CreatePopupMenu()) {}
    ~MenuHandle() { if (menu_) DestroyMenu(menu_); }
    MenuHandle(const MenuHandle &) = delete;
    MenuHandle &operator=(const MenuHandle &) = delete;
    HMENU get() const noexcept { return menu_; }
private:
    HMENU menu_;
};

}  // namespace orin::pm::popup

#endif  // ORIN_PM_POPUP_POPUP_INT_H
