/*
 * win.h - presentation-manager windows and messages on native windows.
 *
 * PM code keeps its own window procedures (window, 16-bit message, two
 * pointer-sized parameters), a bottom-left coordinate origin and its own
 * message numbers.  A PM window handle is the native window handle; the
 * value PM_HWND_DESKTOP (1) stands for the desktop.  Classes registered
 * with WinRegisterClass are native classes whose procedure is the
 * library's front end OWMFrontEndWndProc, which turns native messages into
 * PM messages; WinSendMsg / WinPostMsg carry PM messages the other way.
 *
 * PM message and flag names carry a PM_ prefix because many of them clash
 * with native names of another value (PM_WM_CHAR is 0x7A, not 0x102).
 * Records exchanged with callers use 2-byte packing.
 */
#ifndef WIN_H
#define WIN_H

#include <stddef.h>
#include "orinbase.h"

ORIN_BEGIN_DECLS

typedef void *MPARAM;
typedef void *MRESULT;
typedef HANDLE HAB;                 /* anchor: the application's module */
typedef HWND PM_HWND;
typedef MRESULT (*PFNWP)(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2);

#define MPFROMLONG(l)        ((MPARAM)(ULONG_PTR)(ULONG)(l))
#define MPFROM2SHORT(a, b)   ((MPARAM)(ULONG_PTR)(((ULONG)(USHORT)(a)) | ((ULONG)(USHORT)(b) << 16)))
#define LONGFROMMP(mp)       ((ULONG)(ULONG_PTR)(mp))
#define SHORT1FROMMP(mp)     ((USHORT)(ULONG_PTR)(mp))
#define SHORT2FROMMP(mp)     ((USHORT)((ULONG_PTR)(mp) >> 16))
#define CHAR3FROMMP(mp)      ((BYTE)((ULONG_PTR)(mp) >> 16))
#define CHAR4FROMMP(mp)      ((BYTE)((ULONG_PTR)(mp) >> 24))

#define PM_HWND_DESKTOP      ((HWND)1)
#define PM_HWND_TOP          ((HWND)3)
#define PM_HWND_BOTTOM       ((HWND)4)

/* ---- records (2-byte packed) ---- */
#pragma pack(push, 2)
typedef struct _PM_POINTL {
    LONG x;
    LONG y;
} PM_POINTL, *PPM_POINTL;

typedef struct tagPM_RECTL {        /* inclusive on all four sides */
    LONG xLeft;
    LONG yBottom;
    LONG xRight;
    LONG yTop;
} PM_RECTL, *PPM_RECTL;

typedef struct _PM_SWP {
    USHORT fl;
    LONG cy;
    LONG cx;
    LONG y;
    LONG x;
    HWND hwndInsertBehind;
    HWND hwnd;
} PM_SWP, *PPM_SWP;

typedef struct _PM_QMSG {
    HWND hwnd;
    USHORT msg;
    MPARAM mp1;
    MPARAM mp2;
    MSG native;                     /* the native message it was made from */
} PM_QMSG, *PPM_QMSG;

typedef struct _PM_CREATESTRUCT {   /* mp2 of PM_WM_CREATE */
    PVOID pCtlData;
    PVOID pPresParams;
    ULONG id;
    HWND hwndInsertBehind;
    HWND hwndOwner;
    LONG cy;
    LONG cx;
    LONG y;
    LONG x;
    ULONG flStyle;
    const char *pszText;
    const char *pszClass;
    HWND hwndParent;
} PM_CREATESTRUCT, *PPM_CREATESTRUCT;

typedef struct _PM_WNDPARAMS {      /* mp1 of PM_WM_SETWINDOWPARAMS / QUERY */
    ULONG fsStatus;                 /* PM_WPM_* */
    ULONG cchText;
    char *pszText;
    ULONG cbPresParams;
    PVOID pPresParams;
    ULONG cbCtlData;
    PVOID pCtlData;
} PM_WNDPARAMS, *PPM_WNDPARAMS;
#pragma pack(pop)

#ifdef __cplusplus
/* The packed layouts callers rely on: no gaps between the fields. */
static_assert(sizeof(PM_POINTL) == 8, "PM_POINTL layout");
static_assert(sizeof(PM_RECTL) == 16, "PM_RECTL layout");
static_assert(sizeof(PM_SWP) == 2 + 4 * 4 + 2 * sizeof(HWND), "PM_SWP is 2-byte packed");
static_assert(offsetof(PM_SWP, cy) == 2, "PM_SWP is 2-byte packed");
static_assert(sizeof(PM_QMSG) == sizeof(HWND) + 2 + 2 * sizeof(MPARAM) + sizeof(MSG),
              "PM_QMSG is 2-byte packed");
static_assert(offsetof(PM_QMSG, mp1) == sizeof(HWND) + 2, "PM_QMSG is 2-byte packed");
static_assert(sizeof(PM_CREATESTRUCT) == 7 * sizeof(void *) + 6 * 4, "PM_CREATESTRUCT layout");
static_assert(offsetof(PM_CREATESTRUCT, hwndInsertBehind) == 2 * sizeof(void *) + 4,
              "PM_CREATESTRUCT is 2-byte packed");
static_assert(sizeof(PM_WNDPARAMS) == 4 * 4 + 3 * sizeof(void *), "PM_WNDPARAMS is 2-byte packed");
#endif

/* ---- messages ---- */
#define PM_WM_NULL             0x0000
#define PM_WM_CREATE           0x0001
#define PM_WM_DESTROY          0x0002
#define PM_WM_ENABLE           0x0004
#define PM_WM_SHOW             0x0005
#define PM_WM_MOVE             0x0006
#define PM_WM_SIZE             0x0007
#define PM_WM_ADJUSTWINDOWPOS  0x0008
#define PM_WM_SETWINDOWPARAMS  0x000A
#define PM_WM_QUERYWINDOWPARAMS 0x000B
#define PM_WM_SETFOCUS         0x000F
#define PM_WM_COMMAND          0x0020
#define PM_WM_SYSCOMMAND       0x0021
#define PM_WM_PAINT            0x0023
#define PM_WM_TIMER            0x0024
#define PM_WM_CLOSE            0x0029
#define PM_WM_QUIT             0x002A
#define PM_WM_CONTROL          0x0030
#define PM_WM_VSCROLL          0x0031
#define PM_WM_HSCROLL          0x0032
#define PM_WM_MENUSELECT       0x0034
#define PM_WM_DRAWITEM         0x0036
#define PM_WM_MEASUREITEM      0x0037
#define PM_WM_QUERYDLGCODE     0x003A
#define PM_WM_SETACCELTABLE    0x0049
#define PM_WM_QUERYACCELTABLE  0x004A
#define PM_WM_TRANSLATEACCEL   0x004B
#define PM_WM_NOTIFY           0x004E
#define PM_WM_MOUSEMOVE        0x0070
#define PM_WM_BUTTON1DOWN      0x0071
#define PM_WM_BUTTON1UP        0x0072
#define PM_WM_BUTTON1DBLCLK    0x0073
#define PM_WM_BUTTON2DOWN      0x0074
#define PM_WM_BUTTON2UP        0x0075
#define PM_WM_BUTTON2DBLCLK    0x0076
#define PM_WM_BUTTON3DOWN      0x0077
#define PM_WM_BUTTON3UP        0x0078
#define PM_WM_BUTTON3DBLCLK    0x0079
#define PM_WM_CHAR             0x007A
#define PM_WM_CONTEXTMENU      0x007B
#define PM_WM_DROPFILES        0x02F0
#define PM_WM_QUERYPALETTE     0x02F5
#define PM_WM_HELP             0x7FF7
#define PM_WM_USER             0x1000

/* WM_COMMAND sources (low word of mp2) */
#define PM_CMDSRC_PUSHBUTTON   1
#define PM_CMDSRC_MENU         2
#define PM_CMDSRC_ACCELERATOR  3

/* WM_CHAR flags (low 16 bits of mp1) */
#define PM_KC_CHAR        0x0001
#define PM_KC_VIRTUALKEY  0x0002
#define PM_KC_SCANCODE    0x0004
#define PM_KC_SHIFT       0x0008
#define PM_KC_CTRL        0x0010
#define PM_KC_ALT         0x0020
#define PM_KC_KEYUP       0x0040

/* PM virtual keys (high 16 bits of WM_CHAR mp2) */
#define PM_VK_BREAK     0x04
#define PM_VK_BACKSPACE 0x05
#define PM_VK_TAB       0x06
#define PM_VK_BACKTAB   0x07
#define PM_VK_NEWLINE   0x08
#define PM_VK_ALT       0x0B
#define PM_VK_PAUSE     0x0D
#define PM_VK_ESC       0x0F
#define PM_VK_PAGEUP    0x11
#define PM_VK_PAGEDOWN  0x12
#define PM_VK_END       0x13
#define PM_VK_HOME      0x14
#define PM_VK_LEFT      0x15
#define PM_VK_UP        0x16
#define PM_VK_RIGHT     0x17
#define PM_VK_DOWN      0x18
#define PM_VK_PRINTSCRN 0x19
#define PM_VK_INSERT    0x1A
#define PM_VK_DELETE    0x1B
#define PM_VK_F1        0x20
#define PM_VK_F12       0x2B
#define PM_VK_PLUS      0x40
#define PM_VK_MINUS     0x41
#define PM_VK_CLEAR     0x50

/* scroll commands (high 16 bits of WM_HSCROLL / WM_VSCROLL mp2) */
#define PM_SB_LINEUP        1
#define PM_SB_LINEDOWN      2
#define PM_SB_PAGEUP        3
#define PM_SB_PAGEDOWN      4
#define PM_SB_SLIDERTRACK   5
#define PM_SB_SLIDERPOSITION 6
#define PM_SB_ENDSCROLL     7

/* window styles */
#define PM_WS_VISIBLE       0x80000000UL
#define PM_WS_DISABLED      0x40000000UL
#define PM_WS_CLIPCHILDREN  0x20000000UL
#define PM_WS_CLIPSIBLINGS  0x10000000UL
#define PM_WS_MINIMIZED     0x01000000UL
#define PM_WS_MAXIMIZED     0x00800000UL
#define PM_WS_TABSTOP       0x00020000UL
#define PM_WS_GROUP         0x00010000UL
#define PM_CS_SAVEBITS      0x04000000UL

/* WinSetWindowPos / PM_SWP flags */
#define PM_SWP_SIZE        0x0001
#define PM_SWP_MOVE        0x0002
#define PM_SWP_ZORDER      0x0004
#define PM_SWP_SHOW        0x0008
#define PM_SWP_HIDE        0x0010
#define PM_SWP_NOADJUST    0x0040
#define PM_SWP_ACTIVATE    0x0080
#define PM_SWP_DEACTIVATE  0x0100
#define PM_SWP_MINIMIZE    0x0400
#define PM_SWP_MAXIMIZE    0x0800
#define PM_SWP_RESTORE     0x1000

/* WinQueryWindow relations */
#define PM_QW_NEXT        0
#define PM_QW_PREV        1
#define PM_QW_TOP         2
#define PM_QW_BOTTOM      3
#define PM_QW_OWNER       4
#define PM_QW_PARENT      5
#define PM_QW_FRAMEOWNER  8

/* window-word indices */
#define PM_QWL_STYLE      (-2)
#define PM_QWP_PFNWP      (-3)

/* window-parameter flags */
#define PM_WPM_TEXT       0x0001
#define PM_WPM_CTLDATA    0x0002
#define PM_WPM_CCHTEXT    0x0008

/* WinBroadcastMsg flags */
#define PM_BMSG_POST        0x0000
#define PM_BMSG_SEND        0x0001
#define PM_BMSG_DESCENDANTS 0x0004

/* WinPeekMsg */
#define PM_PM_NOREMOVE    0
#define PM_PM_REMOVE      1

/* WinQueryQueueStatus bits */
#define PM_QSTAT_KEY         0x0001
#define PM_QSTAT_MOUSEBUTTON 0x0002
#define PM_QSTAT_MOUSEMOVE   0x0004
#define PM_QSTAT_TIMER       0x0008
#define PM_QSTAT_PAINT       0x0010
#define PM_QSTAT_POSTMSG     0x0020
#define PM_QSTAT_ESCAPE      0x0800
#define PM_QSTAT_BREAK       0x1000

/* control kinds of native windows (OwmQueryControlKind) */
#define OWM_CTL_NONE      0
#define OWM_CTL_BUTTON    1
#define OWM_CTL_COMBOBOX  2
#define OWM_CTL_ENTRY     3
#define OWM_CTL_LISTBOX   4
#define OWM_CTL_STATIC    5
#define OWM_CTL_MLE       6
#define OWM_CTL_VLIST     7
#define OWM_CTL_UNKNOWN   0xFFFF

/* ---- start-up ---- */
HAB    ORINAPI WinInitialize(ULONG flOptions) ORIN_NOEXCEPT;
BOOL   ORINAPI WinTerminate(HAB hab) ORIN_NOEXCEPT;
HAB    ORINAPI _WinGetHab(void) ORIN_NOEXCEPT;

/* ---- classes and windows ---- */
BOOL   ORINAPI WinRegisterClass(HAB hab, const char *pszClassName, PFNWP pfnWndProc,
                                ULONG flStyle, USHORT cbWindowData) ORIN_NOEXCEPT;
BOOL   ORINAPI WinUnRegisterClass(HAB hab, const char *pszClassName) ORIN_NOEXCEPT;
HWND   ORINAPI WinCreateWindow(HWND hwndParent, const char *pszClass, const char *pszName,
                               ULONG flStyle, LONG x, LONG y, LONG cx, LONG cy,
                               HWND hwndOwner, HWND hwndInsertBehind, ULONG id,
                               PVOID pCtlData, PVOID pPresParams) ORIN_NOEXCEPT;
HWND   ORINAPI WinCreateWindowEx(HWND hwndParent, const char *pszClass, const char *pszName,
                                 ULONG flStyle, ULONG flExStyle, LONG x, LONG y, LONG cx,
                                 LONG cy, HWND hwndOwner, HWND hwndInsertBehind, ULONG id,
                                 PVOID pCtlData, PVOID pPresParams) ORIN_NOEXCEPT;
BOOL   ORINAPI WinDestroyWindow(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI WinIsWindow(HAB hab, HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI OwmIsPMWindow(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI OwmIsStdWindow(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI OwmIsDlgWindowPM(HWND hwnd) ORIN_NOEXCEPT;
USHORT ORINAPI OwmQueryControlKind(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI WinShowWindow(HWND hwnd, BOOL fShow) ORIN_NOEXCEPT;
BOOL   ORINAPI WinEnableWindow(HWND hwnd, BOOL fEnable) ORIN_NOEXCEPT;
BOOL   ORINAPI WinIsWindowEnabled(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI WinIsWindowVisible(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetParent(HWND hwnd, HWND hwndNewParent, BOOL fRedraw) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetOwner(HWND hwnd, HWND hwndNewOwner) ORIN_NOEXCEPT;
LONG   ORINAPI WinQueryClassName(HWND hwnd, LONG cchMax, char *pch) ORIN_NOEXCEPT;
LONG   ORINAPI WinQueryWindowText(HWND hwnd, LONG cchBufferMax, char *pchBuffer) ORIN_NOEXCEPT;
LONG   ORINAPI WinQueryWindowTextLength(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetWindowText(HWND hwnd, const char *pszText) ORIN_NOEXCEPT;
HWND   ORINAPI WinWindowFromID(HWND hwndParent, ULONG id) ORIN_NOEXCEPT;
BOOL   ORINAPI WinIsChild(HWND hwnd, HWND hwndParent) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetFocus(HWND hwndDesktop, HWND hwndFocus) ORIN_NOEXCEPT;
HWND   ORINAPI WinQueryFocus(HWND hwndDesktop) ORIN_NOEXCEPT;
HWND   ORINAPI WinQueryActiveWindow(HWND hwndDesktop) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetActiveWindow(HWND hwndDesktop, HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetCapture(HWND hwndDesktop, HWND hwnd) ORIN_NOEXCEPT;
HWND   ORINAPI WinQueryCapture(HWND hwndDesktop) ORIN_NOEXCEPT;
BOOL   ORINAPI WinUpdateWindow(HWND hwnd) ORIN_NOEXCEPT;
BOOL   ORINAPI WinInvalidateRect(HWND hwnd, const PM_RECTL *prcl, BOOL fIncludeChildren) ORIN_NOEXCEPT;
BOOL   ORINAPI WinValidateRect(HWND hwnd, const PM_RECTL *prcl, BOOL fIncludeChildren) ORIN_NOEXCEPT;
BOOL   ORINAPI WinQueryUpdateRect(HWND hwnd, PM_RECTL *prcl) ORIN_NOEXCEPT;
BOOL   ORINAPI WinQueryWindowRect(HWND hwnd, PM_RECTL *prcl) ORIN_NOEXCEPT;
LONG   ORINAPI WinScrollWindow(HWND hwnd, LONG dx, LONG dy, const PM_RECTL *prclScroll,
                               const PM_RECTL *prclClip, HRGN hrgnUpdate,
                               PM_RECTL *prclUpdate, ULONG rgfsw) ORIN_NOEXCEPT;
BOOL   ORINAPI WinQueryPointerPos(HWND hwndDesktop, PM_POINTL *pptl) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetPointerPos(HWND hwndDesktop, LONG x, LONG y) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetPresParam(HWND hwnd, ULONG id, ULONG cbParam, PVOID pbParam) ORIN_NOEXCEPT;

HWND   ORINAPI WinQueryWindow(HWND hwnd, LONG cmd) ORIN_NOEXCEPT;
ULONG_PTR ORINAPI WinQueryWindowULong(HWND hwnd, LONG index) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetWindowULong(HWND hwnd, LONG index, ULONG_PTR ul) ORIN_NOEXCEPT;
USHORT ORINAPI WinQueryWindowUShort(HWND hwnd, LONG index) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetWindowUShort(HWND hwnd, LONG index, USHORT us) ORIN_NOEXCEPT;
PVOID  ORINAPI WinQueryWindowPtr(HWND hwnd, LONG index) ORIN_NOEXCEPT;
BOOL   ORINAPI WinSetWindowPtr(HWND hwnd, LONG index, PVOID p) ORIN_NOEXCEPT;

BOOL   ORINAPI WinSetWindowPos(HWND hwnd, HWND hwndInsertBehind, LONG x, LONG y,
                               LONG cx, LONG cy, ULONG fl) ORIN_NOEXCEPT;
BOOL   ORINAPI WinQueryWindowPos(HWND hwnd, PM_SWP *pswp) ORIN_NOEXCEPT;
BOOL   ORINAPI WinMapWindowPoints(HWND hwndFrom, HWND hwndTo, PM_POINTL *pptl, LONG cwpt) ORIN_NOEXCEPT;

/* ---- coordinate converters (PM bottom-left origin <-> native) ---- */
void   ORINAPI OwmPMPoint2W3Point(HWND hwnd, const PM_POINTL *pptl, POINT *ppt) ORIN_NOEXCEPT;
void   ORINAPI OwmW3Point2PMPoint(HWND hwnd, const POINT *ppt, PM_POINTL *pptl) ORIN_NOEXCEPT;
void   ORINAPI OwmPMRect2W3Rectl(HWND hwnd, const PM_RECTL *prcl, RECT *prc) ORIN_NOEXCEPT;
void   ORINAPI OwmW3Rect2PMRectl(HWND hwnd, const RECT *prc, PM_RECTL *prcl) ORIN_NOEXCEPT;

/* ---- messages ---- */
MRESULT ORINAPI OWMFrontEndWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) ORIN_NOEXCEPT;
MRESULT ORINAPI WinSendMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;
BOOL    ORINAPI WinPostMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;
MRESULT ORINAPI WinSendOwnerMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;
BOOL    ORINAPI WinBroadcastMsg(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, ULONG fl) ORIN_NOEXCEPT;
MRESULT ORINAPI OwmSendMsgToPoint(ULONG msg, const PM_POINTL *pptl) ORIN_NOEXCEPT;
BOOL    ORINAPI WinGetMsg(PM_QMSG *pqmsg, HWND hwndFilter) ORIN_NOEXCEPT;
BOOL    ORINAPI WinPeekMsg(PM_QMSG *pqmsg, HWND hwnd, ULONG msgFirst, ULONG msgLast, ULONG fl) ORIN_NOEXCEPT;
MRESULT ORINAPI WinDispatchMsg(const PM_QMSG *pqmsg) ORIN_NOEXCEPT;
BOOL    ORINAPI WinWaitMsg(HAB hab, ULONG msgFirst, ULONG msgLast) ORIN_NOEXCEPT;
BOOL    ORINAPI WinQueryMsgPos(HAB hab, PM_POINTL *pptl) ORIN_NOEXCEPT;
ULONG   ORINAPI WinQueryQueueStatus(HWND hwndDesktop) ORIN_NOEXCEPT;
MRESULT ORINAPI WinDefWindowProc(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) ORIN_NOEXCEPT;
BOOL    ORINAPI WinEnableWindowInput(HWND hwnd, BOOL fEnable) ORIN_NOEXCEPT;
BOOL    ORINAPI WinQueryEnableWindowInput(HWND hwnd) ORIN_NOEXCEPT;
ULONG   ORINAPI WinStartTimer(HAB hab, HWND hwnd, ULONG idTimer, ULONG dtTimeout) ORIN_NOEXCEPT;
BOOL    ORINAPI WinStopTimer(HAB hab, HWND hwnd, ULONG idTimer) ORIN_NOEXCEPT;

/* ---- accelerator tables ----
 * WinSetAccelTable gives a standard frame or a PM dialog its table, or,
 * with hwndFrame null, the application's: one per thread (the thread's
 * message queue), translated by WinDefDlgProc after the dialog's own and
 * by the OcApp client.  Setting never destroys the replaced table.
 * FALSE / null with ERROR_INVALID_WINDOW_HANDLE for a dead window, and
 * ORIN_ERR_INVALID_PARAM for a window that is neither frame nor dialog. */
BOOL    ORINAPI WinSetAccelTable(HAB hab, HACCEL haccel, HWND hwndFrame) ORIN_NOEXCEPT;
HACCEL  ORINAPI WinQueryAccelTable(HAB hab, HWND hwndFrame) ORIN_NOEXCEPT;

/* ---- control messages (WinSendMsg to native buttons, entry fields, list
 * and combo boxes, scroll bars and multi-line edits; pm/control) ---- */
#define PM_BM_CLICK              0x0120
#define PM_BM_QUERYCHECKINDEX    0x0121
#define PM_BM_QUERYHILITE        0x0122
#define PM_BM_SETHILITE          0x0123
#define PM_BM_QUERYCHECK         0x0124
#define PM_BM_SETCHECK           0x0125
#define PM_BM_SETDEFAULT         0x0126
#define PM_EM_QUERYCHANGED       0x0140
#define PM_EM_QUERYSEL           0x0141
#define PM_EM_SETSEL             0x0142
#define PM_EM_SETTEXTLIMIT       0x0143
#define PM_EM_CLEAR              0x0146
#define PM_EM_QUERYFIRSTCHAR     0x0148
#define PM_EM_QUERYREADONLY      0x014A
#define PM_EM_SETREADONLY        0x014B
#define PM_LM_SETHORZEXTENT      0x015F
#define PM_LM_QUERYITEMCOUNT     0x0160
#define PM_LM_INSERTITEM         0x0161
#define PM_LM_SETTOPINDEX        0x0162
#define PM_LM_DELETEITEM         0x0163
#define PM_LM_SELECTITEM         0x0164
#define PM_LM_QUERYSELECTION     0x0165
#define PM_LM_SETITEMTEXT        0x0166
#define PM_LM_QUERYITEMTEXTLENGTH 0x0167
#define PM_LM_QUERYITEMTEXT      0x0168
#define PM_LM_SETITEMHANDLE      0x0169
#define PM_LM_QUERYITEMHANDLE    0x016A
#define PM_LM_SEARCHSTRING       0x016B
#define PM_LM_QUERYTOPINDEX      0x016D
#define PM_LM_DELETEALL          0x016E
#define PM_LM_QUERYITEMHEIGHT    0x0170
#define PM_CBM_SETDROPPEDWIDTH   0x0174
#define PM_CBM_QUERYDROPPEDWIDTH 0x0175
#define PM_SBM_SETSCROLLBAR      0x01A0
#define PM_SBM_SETPOS            0x01A1
#define PM_SBM_QUERYPOS          0x01A2
#define PM_SBM_QUERYRANGE        0x01A3
#define PM_SBM_SETTHUMBSIZE      0x01A6
#define PM_MLM_SETTEXTLIMIT      0x01B0
#define PM_MLM_QUERYTEXTLIMIT    0x01B1
#define PM_MLM_SETTABSTOP        0x01B6
#define PM_MLM_QUERYCHANGED      0x01BA
#define PM_MLM_SETCHANGED        0x01BB
#define PM_MLM_QUERYLINECOUNT    0x01BC
#define PM_MLM_CHARFROMLINE      0x01BD
#define PM_MLM_LINEFROMCHAR      0x01BE
#define PM_MLM_QUERYLINELENGTH   0x01BF
#define PM_MLM_QUERYTEXTLENGTH   0x01C0
#define PM_MLM_FORMAT            0x01C1
#define PM_MLM_SETIMPORTEXPORT   0x01C2
#define PM_MLM_IMPORT            0x01C3
#define PM_MLM_EXPORT            0x01C4
#define PM_MLM_QUERYFORMATLINELENGTH 0x01C7
#define PM_MLM_QUERYFORMATTEXTLENGTH 0x01C8
#define PM_MLM_SETSEL            0x01CA
#define PM_MLM_QUERYSEL          0x01CB
#define PM_MLM_QUERYUNDO         0x01CD
#define PM_MLM_UNDO              0x01CE
#define PM_MLM_RESETUNDO         0x01CF
#define PM_MLM_QUERYFIRSTCHAR    0x01D6

/* entry-field style: read-only (native ES_READONLY) */
#define PM_ES_READONLY           0x0020

/* PM_LM_INSERTITEM positions that append, and PM_LM_SEARCHSTRING's start */
#define PM_LIT_END               0xFFFF
#define PM_LIT_SORTASCENDING     0xFFFE
#define PM_LIT_SORTDESCENDING    0xFFFD
#define PM_LIT_FIRST             0xFFFF

/* PM_MLM_QUERYSEL selectors */
#define PM_MLFQS_MINMAXSEL       0
#define PM_MLFQS_MINSEL          1
#define PM_MLFQS_MAXSEL          2
#define PM_MLFQS_ANCHORSEL       3
#define PM_MLFQS_CURSORSEL       4

/* WM_CONTROL codes that PM_LM_SELECTITEM sends to the owner */
#define PM_LN_SELECT             1
#define PM_CBN_LBSELECT          104
/* ---- end of control messages ---- */
/* ==== standard frame windows ====================================
 * A standard window is a frame (class "OwmStdWin") made by
 * WinCreateStdWindow from frame-creation flags, with a client window of
 * the application's PM class inside it (child id PM_FID_CLIENT) and
 * optional scroll bars, menu, icon and accelerator table.  The frame
 * routes its native messages to the client's PM procedure.  The first
 * top-level frame is the main window; when it goes, the next remaining
 * top-level frame takes over.  WinTerminate destroys every frame left
 * (StdWinDestroyAllStdWindows).
 *
 * A frame also answers four private native messages (SendMessage):
 * OWM_NM_SETFRAMEACCEL stores the accelerator table in lParam (the old one
 * is not destroyed), OWM_NM_QUERYFRAMEACCEL returns it,
 * OWM_NM_TRANSLATEFRAMEACCEL translates the queue message (PM_QMSG *) in
 * lParam with the frame's table, then the MDI desktop frame's (1 when
 * translated), and OWM_NM_FRAMEPOSTED delivers a posted-message record to
 * the client's PM procedure.  The accelerator pre-translation that the
 * message loop sends (PM WM_TRANSLATEACCEL passed up from the client) is
 * answered like OWM_NM_TRANSLATEFRAMEACCEL. */
#define PM_FCF_TITLEBAR      0x0001UL
#define PM_FCF_SYSMENU       0x0002UL
#define PM_FCF_MENU          0x0004UL   /* menu resource idResources */
#define PM_FCF_SIZEBORDER    0x0008UL
#define PM_FCF_MINBUTTON     0x0010UL
#define PM_FCF_MAXBUTTON     0x0020UL
#define PM_FCF_VERTSCROLL    0x0040UL
#define PM_FCF_HORZSCROLL    0x0080UL
#define PM_FCF_ICON          0x4000UL   /* icon resource idResources */
#define PM_FCF_ACCELTABLE    0x8000UL   /* accelerator resource idResources */

#define PM_FID_VERTSCROLL    0x8006
#define PM_FID_HORZSCROLL    0x8007
#define PM_FID_CLIENT        0x8008

#define OWM_NM_SETFRAMEACCEL       0x7FFA
#define OWM_NM_QUERYFRAMEACCEL     0x7FFB
#define OWM_NM_TRANSLATEFRAMEACCEL 0x7FFC
#define OWM_NM_FRAMEPOSTED         0x7FFD

/* PM messages a frame sends its client besides the window messages. */
#define PM_WM_QUERYOPEN        0x0046   /* mp1: PM_SWP with PM_SWP_MAXIMIZE */
#define PM_WM_DLGACTIVATE      0x01FF   /* mp1: new state */
#define PM_WM_ACTIVATEAPP      0x02F1   /* mp1: new state */
#define PM_WM_QUERYENDSESSION  0x02F2   /* reply 0 refuses */
#define PM_WM_FOCUSCHILD       0x02F3   /* mp1: 1 click in the frame, 0 deactivation */
#define PM_WM_ENDSESSION       0x02F4

HWND    ORINAPI WinCreateStdWindow(HWND hwndParent, ULONG flStyle, ULONG *pflCreateFlags,
                                   const char *pszClientClass, const char *pszTitle,
                                   ULONG flClientStyle, HMODULE hmod, ULONG idResources,
                                   HWND *phwndClient) ORIN_NOEXCEPT;
void    ORINAPI StdWinDestroyAllStdWindows(void) ORIN_NOEXCEPT;
MRESULT ORINAPI OWMFrontEndStdWinProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) ORIN_NOEXCEPT;
/* ==== end of standard frame windows ============================= */

/* ==== the system resource module and strings ====================
 * The library's own resource module is language code + "ocl" (engocl.dll,
 * deuocl.dll; see DosSetResourceLanguage in dos.h).  It is loaded on the
 * first WinGetSystemResourceModule, and every later call counts one more
 * use; WinFreeSystemResourceModule(0) gives one use back and frees the
 * module with the last, a non-zero flag frees it at once (WinTerminate).
 * WinLoadString copies string `id` of `module` (null: the application's)
 * and gives the characters copied, 0 when there is no such string.
 * OpmLoadString reads the system resource module (0 when it is missing). */
#include "oclres.h"

HMODULE ORINAPI WinGetSystemResourceModule(void) ORIN_NOEXCEPT;
BOOL    ORINAPI WinFreeSystemResourceModule(ULONG flag) ORIN_NOEXCEPT;
ULONG   ORINAPI WinQuerySystemResourceModuleUses(void) ORIN_NOEXCEPT;
LONG    ORINAPI WinLoadString(HMODULE module, ULONG id, LONG size, char *buffer) ORIN_NOEXCEPT;
LONG    ORINAPI OpmLoadString(ULONG id, char *buffer, LONG size) ORIN_NOEXCEPT;
/* ==== end of the system resource module ========================= */

ORIN_END_DECLS

#endif /* WIN_H */
