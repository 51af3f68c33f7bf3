/*
 * windlg.h - PM dialogs as native dialogs.
 *
 * A dialog is a native dialog (from a template resource or a template in
 * memory, plain or extended form) whose native procedure is
 * OwmFrontendDlgProc; it turns native messages into PM messages for the
 * dialog's PM procedure, which passes what it does not handle to
 * WinDefDlgProc.  WinProcessDlg runs the modal loop until WinDismissDlg;
 * WinDlgBox does load, loop and destroy in one call.
 *
 * Parent and owner arguments take PM_HWND_DESKTOP (1) for the desktop and
 * PM_HWND_APPTOP (5) for the application's current top window.  On DBCS
 * systems templates whose font is "Helv" or "MS Sans Serif", or that name
 * no font, are given the system's default GUI font.
 */
#ifndef WINDLG_H
#define WINDLG_H

#include "win.h"

ORIN_BEGIN_DECLS

#define PM_HWND_APPTOP       ((HWND)5)
#define PM_WM_INITDLG        0x003B
#define PM_DID_OK            1
#define PM_DID_CANCEL        2
#define PM_DID_HELP          9     /* the push button F1 presses */
#define PM_DID_ERROR         0xFFFF

/* WinEnumDlgItem codes */
#define PM_EDI_FIRSTTABITEM   0
#define PM_EDI_LASTTABITEM    1
#define PM_EDI_NEXTTABITEM    2
#define PM_EDI_PREVTABITEM    3
#define PM_EDI_FIRSTGROUPITEM 4
#define PM_EDI_LASTGROUPITEM  5
#define PM_EDI_NEXTGROUPITEM  6
#define PM_EDI_PREVGROUPITEM  7

/* Called with its context, the dialog and 1 when a modal loop starts, 0
 * when it ends. */
typedef void (*PFNMODALLOOPNOTIFY)(PVOID pContext, HWND hwndDlg, BOOL fStart);

HWND    ORINAPI WinLoadDlg(HWND hwndParent, HWND hwndOwner, PFNWP pfnDlgProc, HMODULE hmod,
                           ULONG idDlg, PVOID pCreateParams) ORIN_NOEXCEPT;
HWND    ORINAPI WinCreateDlg(HWND hwndParent, HWND hwndOwner, PFNWP pfnDlgProc,
                             const void *pTemplate, PVOID pCreateParams) ORIN_NOEXCEPT;
/* The dismiss result, PM_DID_ERROR when hwndDlg is no dialog of this layer. */
ULONG   ORINAPI WinProcessDlg(HWND hwndDlg) ORIN_NOEXCEPT;
ULONG   ORINAPI WinDlgBox(HWND hwndParent, HWND hwndOwner, PFNWP pfnDlgProc, HMODULE hmod,
                          ULONG idDlg, PVOID pCreateParams) ORIN_NOEXCEPT;
BOOL    ORINAPI WinDismissDlg(HWND hwndDlg, ULONG usResult) ORIN_NOEXCEPT;
MRESULT ORINAPI WinDefDlgProc(HWND hwndDlg, ULONG msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;
HWND    ORINAPI WinQueryModalDialogActive(void) ORIN_NOEXCEPT;
INT_PTR ORINAPI OwmFrontendDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) ORIN_NOEXCEPT;
/* FALSE when all 100 slots are taken. */
BOOL    ORINAPI OwmAddModalLoopNotifyer(PFNMODALLOOPNOTIFY pfn, PVOID pContext) ORIN_NOEXCEPT;
/* Counted disabling: the window is disabled when its count leaves 0 and
 * enabled again when OpmPopEnableWindow brings it back to 0. */
BOOL    ORINAPI OpmPushEnableWindow(HWND hwnd) ORIN_NOEXCEPT;
BOOL    ORINAPI OpmPopEnableWindow(HWND hwnd) ORIN_NOEXCEPT;

/* Dialog items. */
MRESULT ORINAPI WinSendDlgItemMsg(HWND hwndDlg, ULONG idItem, ULONG msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;
BOOL    ORINAPI WinSetDlgItemText(HWND hwndDlg, ULONG idItem, const char *pszText) ORIN_NOEXCEPT;
ULONG   ORINAPI WinQueryDlgItemText(HWND hwndDlg, ULONG idItem, LONG cchBufferMax, char *pchBuffer) ORIN_NOEXCEPT;
BOOL    ORINAPI WinSetDlgItemShort(HWND hwndDlg, ULONG idItem, USHORT usValue, BOOL fSigned) ORIN_NOEXCEPT;
BOOL    ORINAPI WinQueryDlgItemShort(HWND hwndDlg, ULONG idItem, SHORT *pResult, BOOL fSigned) ORIN_NOEXCEPT;
BOOL    ORINAPI WinDlgSetDefPushButton(HWND hwndDlg, ULONG idItem) ORIN_NOEXCEPT;
HWND    ORINAPI WinEnumDlgItem(HWND hwndDlg, HWND hwnd, ULONG code) ORIN_NOEXCEPT;
/* Dialog units to pixels (fCalcWindowCoords) or back. */
BOOL    ORINAPI WinMapDlgPoints(HWND hwndDlg, PM_POINTL *prgwptl, ULONG cwpt, BOOL fCalcWindowCoords) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* WINDLG_H */
