/*
 * pmint.h - state shared by the window and message layers of the PM
 * emulation: the class table, the window record kept in every PM window's
 * extra bytes, the posted-message records, and the hooks through which the
 * layers built later (dialogs, standard frames, MDI, pop-up menus, control
 * messages, presentation spaces) join in.  Not part of the exported
 * interface.
 */
#ifndef PMINT_H
#define PMINT_H

#include "win.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Native window extra bytes of every PM class, and what lives there. */
#define OWM_WND_EXTRA        24
#define OWM_WW_RECORD        8          /* pointer to the OWMWND record */
#define OWM_WW_MARKER        16         /* 32-bit PM-window marker */
#define OWM_PM_MARKER        0x29051961UL
#define OWM_MAX_CLASSES      100
#define OWM_CREATE_TAG       0x5AA5

/* Private native messages between the parts of the emulation. */
#define OWM_NM_HELP          0x7FF7
#define OWM_NM_QUERYPALETTE  0x7FF8
#define OWM_NM_PALETTECHANGED 0x7FF9
#define OWM_NM_SETACCEL      0x7FFB
#define OWM_NM_QUERYACCEL    0x7FFC
#define OWM_NM_TRANSLATEACCEL 0x7FFD
#define OWM_NM_POSTED        0x7FFE

/* Ranges and PM messages the layers share. */
#define OWM_USER_LAST_SENT   0x7EFF     /* user messages the front end passes on */
#define OWM_USER_LAST_POSTED 0x7EFE     /* user messages posted to native windows */
#define PM_WM_BUTTONCLICK    0x0120     /* button-click control message */
#define PM_WM_QUERYHELPINFO  0x003C
#define PM_WM_DEFAULT_ZERO   0x0182     /* answered 0 by the default procedure */

/* Pop-up menu command ids start here. */
#define OWM_POPUP_CMD_BASE   16000

typedef struct _OWMCLASS {
    char *name;
    PFNWP pfnWndProc;
    USHORT cbWindowData;
    ULONG flStyle;
    ULONG reserved;                     /* set to 0 at registration */
    HINSTANCE hinst;                    /* instance the native class lives in */
} OWMCLASS;

typedef struct _OWMWND {
    PFNWP pfnWndProc;
    BYTE *pData;                        /* cbWindowData bytes, or NULL */
    USHORT cbData;
    HWND hwndOwner;
    HWND hwndParent;
    ULONG flStyle;
    PVOID pCtlData;
    OWMCLASS *pClass;
    ULONG_PTR reserved;
    USHORT cEnable;                     /* input-enable count */
    USHORT cDisable;                    /* input-disable count */
} OWMWND;

#pragma pack(push, 2)
typedef struct _OWMCREATEREC {          /* native create parameter of PM classes */
    USHORT tag;                         /* OWM_CREATE_TAG */
    PVOID pCtlData;
    ULONG flStyle;
    HWND hwndOwner;
    HWND hwndParent;
    ULONG_PTR reserved;
} OWMCREATEREC;
#pragma pack(pop)

/* ---- window layer ---- */
HINSTANCE OwmLibInstance(void);
HWND    OwmMapDesktop(HWND hwnd);               /* 1 -> native desktop */
OWMWND *OwmQueryWndRec(HWND hwnd);              /* NULL unless a PM window */
OWMCLASS *OwmFindClass(const char *name);
void    OwmFreeClassTable(void);
LONG    OwmClientHeight(HWND hwnd);             /* desktop for NULL */
LONG    OwmWndCreate(HWND hwnd, CREATESTRUCTA *cs);   /* native create */
void    OwmWndDestroy(HWND hwnd);                     /* native destroy */
void    OwmPopupListAdd(HWND hwnd);
void    OwmPopupListRemove(HWND hwnd);
size_t  OwmPopupListCount(void);
HWND    OwmPopupListAt(size_t i);
void    OwmPopupListFree(void);
ULONG   OwmPMStyleFromNative(ULONG native);           /* the general bits */

/* ---- message layer ---- */
BOOL    OwmInputEnabled(HWND hwnd);
void    OwmInputForget(HWND hwnd);
void    OwmPostedForget(HWND hwnd);                   /* drop records of a window */
void    OwmPostedFreeAll(void);
void    OwmPostedDeliver(LPARAM lParam);              /* native 0x7FFE */
void    OwmRedirectAdd(HWND from, HWND to);
void    OwmRedirectRemove(HWND hwnd);                 /* as from or to */
HWND    OwmRedirectTarget(HWND hwnd);                 /* hwnd itself when none */
HWND    OwmRedirectSource(HWND to);                   /* NULL when none */
void    OwmWindowParams(HWND hwnd, ULONG msg, PM_WNDPARAMS *wp, BOOL pmWindow);
LRESULT OwmKeyMessage(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT OwmCharMessage(HWND hwnd, OWMWND *rec, WPARAM wParam, LPARAM lParam);
MRESULT OwmSendPMCharToNative(HWND hwnd, MPARAM mp1, MPARAM mp2);
LRESULT OwmCommandMessage(HWND hwnd, OWMWND *rec, WPARAM wParam, LPARAM lParam);
BOOL    OwmPostQuit(MPARAM mp1);
void    OwmMessageInit(void);
void    OwmMessageTerm(void);
HWND    OwmFocusedPMWindow(void);
void    OwmNoteFocus(HWND hwnd, BOOL gain);

/* ---- hooks answered here until their layers exist ---- */
BOOL    OwmHookDlgMessage(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, MRESULT *result);
HWND    OwmHookDlgRelation(HWND hwnd, LONG cmd);      /* owner / parent of a dialog */
BOOL    OwmHookDlgWindowWord(HWND hwnd, LONG index, ULONG_PTR *value);
BOOL    OwmHookDlgInput(HWND hwnd, USHORT **cEnable, USHORT **cDisable);
BOOL    OwmHookCtlMessage(HWND hwnd, USHORT kind, ULONG msg, MPARAM mp1, MPARAM mp2,
                          MRESULT *result);
BOOL    OwmHookMdiAccel(HWND *hwnd, MSG *msg);
LRESULT OwmHookDrawItem(HWND hwnd, DRAWITEMSTRUCT *dis);
void    OwmHookPopupClear(void);
void    OwmHookPopupShow(HWND hwnd);
void    OwmHookPopupCommand(HWND hwnd, USHORT item);
USHORT  OwmHookMenuPopupId(HWND hwnd, HMENU menu, USHORT item);
void    OwmHookDriveChange(void);
HWND    OwmHookModalDialog(void);
void    OwmHookDestroyStdWindows(void);

#ifdef __cplusplus
}
#endif

#endif /* PMINT_H */
