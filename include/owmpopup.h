/*
 * owmpopup.h - pop-up (context) menus for PM windows.
 *
 * While a native context-menu request travels through PM windows, every
 * PM procedure that receives PM_WM_CONTEXTMENU may add items for itself
 * with OwmPopUpAppend; when the outermost window returns, one native pop-up
 * menu made of all the items is shown and the chosen item's command reaches
 * the window that added it as PM_WM_COMMAND (mp1 = the item's own id,
 * mp2 = 0x10002, menu source).  OwmPopUpProcess shows the same list
 * directly.  The Owm*PopupMenu calls wrap native pop-up menus.
 *
 * The list belongs to the thread that runs the message loop.
 */
#ifndef OWMPOPUP_H
#define OWMPOPUP_H

#include "win.h"

ORIN_BEGIN_DECLS

#define OWM_POPUP_ERROR     0xFFFF
#define OWM_POPUP_CMDBASE   16000     /* ids of items shown for a context menu */

/* Item flags (converted to native menu flags bit by bit). */
#define OWM_MIA_BITMAP      0x0002
#define OWM_MIA_SEPARATOR   0x0004
#define OWM_MIA_OWNERDRAW   0x0008
#define OWM_MIA_SUBMENU     0x0010
#define OWM_MIA_RIGHTJUST   0x0040
#define OWM_MIA_BREAK       0x0400
#define OWM_MIA_BARBREAK    0x0800
#define OWM_MIA_CHECKED     0x2000
#define OWM_MIA_DISABLED    0x4000

#pragma pack(push, 2)
typedef struct _OWMPOPUPITEM {
    HWND hwnd;              /* receives the item's command */
    USHORT id;              /* command id; 0 makes a separator */
    USHORT flags;           /* OWM_MIA_* */
    const char *pszText;    /* copied; may be null */
} OWMPOPUPITEM;
#pragma pack(pop)

/* 0, or ORIN_ERR_NO_MEMORY (the list unchanged). */
USHORT ORINAPI OwmPopUpAppend(const OWMPOPUPITEM *pItem) ORIN_NOEXCEPT;
/* The number of items that are not separators. */
USHORT ORINAPI OwmPopUpQueryItemsNumber(void) ORIN_NOEXCEPT;
void   ORINAPI OwmPopUpClear(void) ORIN_NOEXCEPT;
/* Shows the list (own ids) at the pointer for hwnd (1 = desktop); 0, or
 * OWM_POPUP_ERROR when no native menu can be made. */
USHORT ORINAPI OwmPopUpProcess(HWND hwnd) ORIN_NOEXCEPT;

HMENU  ORINAPI OwmCreatePopupMenu(void) ORIN_NOEXCEPT;
BOOL   ORINAPI OwmAppendPopupMenu(HMENU hmenu, USHORT flags, USHORT id, const char *pszText) ORIN_NOEXCEPT;
/* Shows a menu that has items at the pointer, then destroys it; 0, or
 * OWM_POPUP_ERROR for a null menu. */
USHORT ORINAPI OwmProcessPopupMenu(HWND hwnd, HMENU hmenu) ORIN_NOEXCEPT;
BOOL   ORINAPI OwmDestroyPopupMenu(HMENU hmenu) ORIN_NOEXCEPT;
/* Removes doubled separators (with fAfterSeparator, every item after a
 * separator), then leading and trailing ones; returns the items left. */
int    ORINAPI OwmPopupMenuRemoveSeparators(HMENU hmenu, BOOL fAfterSeparator) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* OWMPOPUP_H */
