/*
 * opmmdi.h - the OpmMdi family: a multiple-document interface for PM
 * applications on the native MDI windows.
 *
 * One desktop frame ("OwmStdMDIDesktop", made like a standard window by
 * OpmMdiCreateDesktopWindow) holds the native MDI client; documents are
 * frames ("OwmStdMDIDocument") inside it, each with a client window of the
 * application's PM class (child id PM_FID_CLIENT) and optionally a menu bar
 * of its own, which replaces the desktop's while the document is active.
 * The desktop procedure (the PM procedure of the class named for the
 * desktop) is called with the desktop frame as its window.
 *
 * Calls return 0 on success and OPMMDI_ERROR (0xFFFF) on failure unless
 * stated.  A desktop client argument of null means the registered one.
 * The document record of a document lives in the document frame's window
 * bytes 24-31; its window list starts at command id OPMMDI_FIRSTCHILDID.
 */
#ifndef OPMMDI_H
#define OPMMDI_H

#include "win.h"

ORIN_BEGIN_DECLS

#define OPMMDI_ERROR         0xFFFF
#define OPMMDI_FIRSTCHILDID  0xFE00    /* window-list command ids start here */

/* Creates the desktop frame; null when a desktop exists already.  The
 * client variable receives the native MDI client. */
HWND    ORINAPI OpmMdiCreateDesktopWindow(HWND hwndParent, ULONG flStyle, ULONG *pflCreateFlags,
                                          const char *pszClientClass, const char *pszTitle,
                                          ULONG flClientStyle, HMODULE hmod, ULONG idResources,
                                          HWND *phwndClient, USHORT usWindowMenuPos) ORIN_NOEXCEPT;
/* Creates a document; returns its client window, or null (and null in
 * *phwndClient).  Without hmenu and with PM_FCF_MENU the menu resource
 * idResources is loaded (and destroyed with the document); haccel with
 * PM_FCF_ACCELTABLE replaces the frame's table. */
HWND    ORINAPI OpmMdiCreateDocumentWindow(HWND hwndDesktopClient, ULONG flStyle,
                                           ULONG *pflCreateFlags, const char *pszClientClass,
                                           const char *pszTitle, ULONG flClientStyle,
                                           HMODULE hmod, ULONG idResources,
                                           USHORT usWindowMenuPos, HMENU hmenu, HACCEL haccel,
                                           HWND *phwndClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiCloseDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiCloseAllDocuments(HWND hwndDesktopClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiSetActiveDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiMaximizeDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiRestoreDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiMinimizeDocumentWindow(HWND hwndDesktopClient, HWND hwndClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiNextDocumentWindow(HWND hwndDesktopClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiPrevDocumentWindow(HWND hwndDesktopClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiCascade(HWND hwndDesktopClient, ULONG fl) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiTile(HWND hwndDesktopClient, ULONG fl) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiIconArrange(HWND hwndDesktopClient) ORIN_NOEXCEPT;
HWND    ORINAPI OpmMdiQueryActiveDocumentWindow(HWND hwndDesktopClient) ORIN_NOEXCEPT;
HWND    ORINAPI OpmMdiQueryDocumentFrame(HWND hwndClient) ORIN_NOEXCEPT;
USHORT  ORINAPI OpmMdiSetDocumentWindowMenu(HWND hwndDesktopClient, HWND hwndClient, HMENU hmenu,
                                            USHORT usWindowMenuPos) ORIN_NOEXCEPT;
HMENU   ORINAPI OpmMdiQueryDocumentWindowMenu(HWND hwndDesktopClient, HWND hwndClient) ORIN_NOEXCEPT;

/* The desktop registration (the frame procedure keeps it up to date). */
void    ORINAPI OpmMdiSetDesktopFrame(HWND hwndFrame) ORIN_NOEXCEPT;
void    ORINAPI OpmMdiSetDesktopClient(HWND hwndClient) ORIN_NOEXCEPT;
HWND    ORINAPI OpmMdiQueryDesktopFrame(void) ORIN_NOEXCEPT;
HWND    ORINAPI OpmMdiQueryDesktopClient(void) ORIN_NOEXCEPT;

/* Shows the menu bar of a document frame (null: the desktop's). */
void    ORINAPI _OpmMdiSetMenu(HWND hwndDocumentFrame) ORIN_NOEXCEPT;

/* Default procedures: the desktop passes PM WM_COMMAND to the active
 * document's client; a document closes itself on PM WM_CLOSE. */
MRESULT ORINAPI OpmMdiDefDesktopProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;
MRESULT ORINAPI OpmMdiEmptyDesktopFrameProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;
MRESULT ORINAPI OpmMdiDefDocumentProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;

/* Offers a native key message (the queue message's native record) to the
 * native MDI system accelerators; TRUE when they took it.  A window
 * variable naming the desktop client is changed to the desktop frame.
 * WinDispatchMsg calls this first for every key message. */
BOOL    ORINAPI OpmMdiTranslateMDIAccel(HWND *phwnd, MSG *pmsg) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* OPMMDI_H */
