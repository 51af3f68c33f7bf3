/*
 * msg_frontend.c - OWMFrontEndWndProc, the native procedure of every PM
 * class.
 *
 * It reads the window record from the window's extra bytes and turns each
 * native message into the PM message of the same meaning, calls the PM
 * procedure, and either returns the PM reply or hands the message to the
 * native default procedure, message by message as the table below does.
 * Keys, characters and commands have their own translators (msg_keys.c,
 * msg_command.c).  A window without a record (before its native create
 * message, after its destroy message) gets native default processing.
 */
#include "pm/pmint.h"

#define PM_SPTR_ARROW     1
#define PM_SPTR_WAIT      3
#define PM_DLGC_ENTRYFIELD 0x0001
#define PM_DLGC_BUTTON    0x0002
#define PM_DLGC_RADIOBUTTON 0x0004
#define PM_DLGC_STATIC    0x0008
#define PM_DLGC_DEFAULT   0x0010
#define PM_DLGC_PUSHBUTTON 0x0020
#define PM_DLGC_ALLKEYS   0x0400
#define DEVICE_ARRIVAL_EVENT 0x8000
#define DEVICE_REMOVED_EVENT 0x8004
#define DEVICE_CONFIG_EVENT  0x0018
#define MAX_ITEM_HEIGHT    255
#define COMMON_DIALOG_HELP "commdlg_help"

static int contextDepth;
static UINT helpMessage;

static MRESULT callPM(HWND hwnd, OWMWND *rec, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    return rec->pfnWndProc ? rec->pfnWndProc(hwnd, msg, mp1, mp2) : 0;
}

static MPARAM pointParam(HWND hwnd, LPARAM lParam)
{
    POINT pt;
    PM_POINTL ptl;
    pt.x = (SHORT)LOWORD(lParam);
    pt.y = (SHORT)HIWORD(lParam);
    OwmW3Point2PMPoint(hwnd, &pt, &ptl);
    return MPFROM2SHORT(ptl.x, ptl.y);
}

static void setPointer(BOOL enabled)
{
    SetCursor(LoadCursorA(NULL, (LPCSTR)(enabled ? IDC_ARROW : IDC_WAIT)));
}

static LRESULT sizeMessage(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    if (callPM(hwnd, rec, PM_WM_SIZE, MPFROM2SHORT(rc.right - rc.left, rc.bottom - rc.top),
               (MPARAM)lParam))
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return 0;
}

static LRESULT focusMessage(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    BOOL gain = msg == WM_SETFOCUS;
    MRESULT reply;
    reply = callPM(hwnd, rec, PM_WM_SETFOCUS, (MPARAM)wParam, (MPARAM)(ULONG_PTR)gain);
    OwmNoteFocus(hwnd, gain);
    return reply ? DefWindowProcA(hwnd, msg, wParam, lParam) : 0;
}

static LRESULT scrollMessage(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    static const SHORT pmCmd[9] = { 1, 2, 3, 4, 6, 5, -1, -1, 7 };
    USHORT code = LOWORD(wParam);
    USHORT id = lParam ? (USHORT)GetDlgCtrlID((HWND)lParam) : 0;
    if (code > 8 || pmCmd[code] < 0)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (callPM(hwnd, rec, msg == WM_HSCROLL ? PM_WM_HSCROLL : PM_WM_VSCROLL,
               MPFROM2SHORT(id, 0), MPFROM2SHORT(HIWORD(wParam), pmCmd[code])))
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return 0;
}

static LRESULT measureItem(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    MEASUREITEMSTRUCT *mis = (MEASUREITEMSTRUCT *)lParam;
    ULONG_PTR reply;
    if (!mis || mis->CtlID == 0)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    reply = (ULONG_PTR)callPM(hwnd, rec, PM_WM_MEASUREITEM, MPFROMLONG(mis->CtlID),
                              MPFROMLONG(mis->itemID));
    if (reply >= 1 && reply <= MAX_ITEM_HEIGHT) {
        mis->itemHeight = (UINT)reply;
        return 1;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static BOOL CALLBACK resendFont(HWND child, LPARAM lParam)
{
    const MSG *m = (const MSG *)lParam;
    if (GetParent(child) == m->hwnd)
        SendMessageA(child, WM_SETFONT, m->wParam, m->lParam);
    return TRUE;
}

/* Position changing: offers the change to PM WM_ADJUSTWINDOWPOS. */
static LRESULT positionChanging(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WINDOWPOS *wp = (WINDOWPOS *)lParam;
    HWND parent = GetParent(hwnd);
    LONG h = OwmClientHeight((GetWindowLongA(hwnd, GWL_STYLE) & WS_POPUP) ? NULL : parent);
    PM_SWP swp;
    USHORT before;

    if (!wp)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    swp.fl = (USHORT)(((wp->flags & SWP_NOSIZE) ? 0 : PM_SWP_SIZE) |
                      ((wp->flags & SWP_NOMOVE) ? 0 : PM_SWP_MOVE) |
                      ((wp->flags & SWP_SHOWWINDOW) ? PM_SWP_SHOW : 0) |
                      ((wp->flags & SWP_HIDEWINDOW) ? PM_SWP_HIDE : 0));
    swp.cx = wp->cx;
    swp.cy = wp->cy;
    swp.x = wp->x;
    swp.y = h - wp->y - wp->cy;
    swp.hwndInsertBehind = wp->hwndInsertAfter;
    swp.hwnd = hwnd;
    before = swp.fl;
    if (!callPM(hwnd, rec, PM_WM_ADJUSTWINDOWPOS, &swp, 0))
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (swp.fl & PM_SWP_NOADJUST)
        return 0;
    if (swp.fl == before)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    wp->flags &= ~(SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | SWP_HIDEWINDOW);
    if (!(swp.fl & PM_SWP_SIZE)) wp->flags |= SWP_NOSIZE;
    if (!(swp.fl & PM_SWP_MOVE)) wp->flags |= SWP_NOMOVE;
    if (swp.fl & PM_SWP_SHOW)    wp->flags |= SWP_SHOWWINDOW;
    if (swp.fl & PM_SWP_HIDE)    wp->flags |= SWP_HIDEWINDOW;
    wp->cx = swp.cx;
    wp->cy = swp.cy;
    wp->x = swp.x;
    wp->y = h - swp.y - swp.cy;
    /* only a change of state is applied, so a procedure that keeps asking
     * for the same state cannot recurse */
    if ((swp.fl & PM_SWP_RESTORE) && (IsIconic(hwnd) || IsZoomed(hwnd)))
        ShowWindow(hwnd, SW_RESTORE);
    else if ((swp.fl & PM_SWP_MAXIMIZE) && !IsZoomed(hwnd))
        ShowWindow(hwnd, SW_MAXIMIZE);
    else if ((swp.fl & PM_SWP_MINIMIZE) && !IsIconic(hwnd))
        ShowWindow(hwnd, SW_MINIMIZE);
    return 1;
}

static LRESULT dialogCode(HWND hwnd, OWMWND *rec, WPARAM wParam)
{
    ULONG r = (ULONG)(ULONG_PTR)callPM(hwnd, rec, PM_WM_QUERYDLGCODE, (MPARAM)wParam, 0);
    if (r & PM_DLGC_STATIC)
        return DLGC_STATIC;
    if (r & PM_DLGC_BUTTON) {
        LRESULT code = DLGC_BUTTON | (r & PM_DLGC_DEFAULT);
        if (r & PM_DLGC_PUSHBUTTON)  code |= DLGC_UNDEFPUSHBUTTON;
        if (r & PM_DLGC_RADIOBUTTON) code |= DLGC_RADIOBUTTON;
        return code;
    }
    if (r & PM_DLGC_ALLKEYS)
        return DLGC_WANTALLKEYS;
    if (r & PM_DLGC_ENTRYFIELD)
        return DLGC_WANTARROWS | DLGC_HASSETSEL | DLGC_WANTCHARS;
    return 0;
}

static LRESULT contextMenu(HWND hwnd, OWMWND *rec, WPARAM wParam, LPARAM lParam)
{
    MRESULT reply;
    if (contextDepth++ == 0)
        OwmHookPopupClear();
    reply = callPM(hwnd, rec, PM_WM_CONTEXTMENU, (MPARAM)wParam, (MPARAM)lParam);
    if (--contextDepth == 0)
        OwmHookPopupShow(hwnd);
    return (LRESULT)reply;
}

static LRESULT menuSelect(HWND hwnd, OWMWND *rec, WPARAM wParam, LPARAM lParam)
{
    USHORT item = LOWORD(wParam), flags = HIWORD(wParam);
    MPARAM mp1;
    if (flags == 0xFFFF && !lParam) {
        mp1 = MPFROMLONG(0xFFFF);
    } else {
        USHORT id = (flags & MF_POPUP) ? OwmHookMenuPopupId(hwnd, (HMENU)lParam, item) : item;
        BOOL usable = !(flags & (MF_GRAYED | MF_DISABLED));
        mp1 = MPFROM2SHORT(id, usable ? 1 : 0);
    }
    callPM(hwnd, rec, PM_WM_MENUSELECT, mp1, (MPARAM)GetMenu(hwnd));
    return 0;
}

static LRESULT palette(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HPALETTE *pal;
    HDC hdc;
    UINT changed;
    if (msg == OWM_NM_PALETTECHANGED && (HWND)wParam == hwnd)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    pal = (HPALETTE *)callPM(hwnd, rec, PM_WM_QUERYPALETTE, 0, 0);
    if (!pal || !*pal)
        return 0;
    hdc = GetDC(hwnd);
    SelectPalette(hdc, *pal, msg == OWM_NM_PALETTECHANGED);
    changed = RealizePalette(hdc);
    ReleaseDC(hwnd, hdc);
    if (changed && changed != GDI_ERROR)
        InvalidateRect(hwnd, NULL, TRUE);
    return changed && changed != GDI_ERROR;
}

static LRESULT mouseMessage(HWND hwnd, OWMWND *rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    USHORT pmMsg = (USHORT)(msg == WM_MOUSEMOVE ? PM_WM_MOUSEMOVE : msg - (WM_LBUTTONDOWN - PM_WM_BUTTON1DOWN));
    if (!OwmInputEnabled(hwnd)) {
        if (msg == WM_MOUSEMOVE) {
            setPointer(FALSE);
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (!callPM(hwnd, rec, pmMsg, pointParam(hwnd, lParam), 0))
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return 0;
}

MRESULT ORINAPI OWMFrontEndWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    OWMWND *rec = (OWMWND *)GetWindowLongPtrA(hwnd, OWM_WW_RECORD);

    if (msg == WM_CREATE)
        return (MRESULT)(LRESULT)OwmWndCreate(hwnd, (CREATESTRUCTA *)lParam);
    if (msg == OWM_NM_POSTED) {
        OwmPostedDeliver(lParam);
        return 0;
    }
    if (!rec)
        return (MRESULT)DefWindowProcA(hwnd, msg, wParam, lParam);
    if (!helpMessage)
        helpMessage = RegisterWindowMessageA(COMMON_DIALOG_HELP);

    switch (msg) {
    case WM_DESTROY:
        OwmWndDestroy(hwnd);
        break;
    case WM_MOVE:
        if (callPM(hwnd, rec, PM_WM_MOVE, 0, 0))
            break;
        return 0;
    case WM_SIZE:
        return (MRESULT)sizeMessage(hwnd, rec, msg, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        return (MRESULT)focusMessage(hwnd, rec, msg, wParam, lParam);
    case WM_ENABLE:
        callPM(hwnd, rec, PM_WM_ENABLE, (MPARAM)wParam, 0);
        return 0;
    case WM_PAINT:
        if (callPM(hwnd, rec, PM_WM_PAINT, 0, 0))
            break;
        return 0;
    case WM_CLOSE:
        if (OwmInputEnabled(hwnd))
            callPM(hwnd, rec, PM_WM_CLOSE, 0, 0);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_SHOWWINDOW:
        callPM(hwnd, rec, PM_WM_SHOW, (MPARAM)wParam, 0);
        break;
    case WM_DRAWITEM:
        if (OwmHookDrawItem(hwnd, (DRAWITEMSTRUCT *)lParam))
            return (MRESULT)1;
        break;
    case WM_MEASUREITEM:
        return (MRESULT)measureItem(hwnd, rec, msg, wParam, lParam);
    case WM_SETFONT: {
        MSG m = { hwnd, msg, wParam, lParam, 0, { 0, 0 } };
        EnumChildWindows(hwnd, resendFont, (LPARAM)&m);
        break;
    }
    case WM_WINDOWPOSCHANGING:
        return (MRESULT)positionChanging(hwnd, rec, msg, wParam, lParam);
    case WM_NOTIFY:
        return callPM(hwnd, rec, PM_WM_NOTIFY, (MPARAM)wParam, (MPARAM)lParam);
    case WM_CONTEXTMENU:
        return (MRESULT)contextMenu(hwnd, rec, wParam, lParam);
    case WM_GETDLGCODE:
        return (MRESULT)dialogCode(hwnd, rec, wParam);
    case WM_NCMOUSEMOVE:
        setPointer(OwmInputEnabled(hwnd));
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return (MRESULT)OwmKeyMessage(hwnd, rec, msg, wParam, lParam);
    case WM_CHAR:
        return (MRESULT)OwmCharMessage(hwnd, rec, wParam, lParam);
    case WM_DEADCHAR:
        return 0;
    case WM_COMMAND:
        return (MRESULT)OwmCommandMessage(hwnd, rec, wParam, lParam);
    case WM_TIMER:
        return callPM(hwnd, rec, PM_WM_TIMER, (MPARAM)wParam, 0);
    case WM_HSCROLL:
    case WM_VSCROLL:
        return (MRESULT)scrollMessage(hwnd, rec, msg, wParam, lParam);
    case WM_MENUSELECT:
        return (MRESULT)menuSelect(hwnd, rec, wParam, lParam);
    case WM_DEVICECHANGE:
        if (wParam == DEVICE_CONFIG_EVENT || wParam == DEVICE_ARRIVAL_EVENT ||
            wParam == DEVICE_REMOVED_EVENT)
            OwmHookDriveChange();
        break;
    case WM_DROPFILES:
        if (OwmInputEnabled(hwnd))
            callPM(hwnd, rec, PM_WM_DROPFILES, (MPARAM)wParam, 0);
        return 0;
    case OWM_NM_QUERYPALETTE:
    case OWM_NM_PALETTECHANGED:
        return (MRESULT)palette(hwnd, rec, msg, wParam, lParam);
    case OWM_NM_SETACCEL:
        return callPM(hwnd, rec, PM_WM_SETACCELTABLE, 0, 0);
    case OWM_NM_QUERYACCEL:
        return callPM(hwnd, rec, PM_WM_QUERYACCELTABLE, (MPARAM)lParam, 0);
    case OWM_NM_TRANSLATEACCEL:
        return (MRESULT)(ULONG_PTR)(USHORT)(ULONG_PTR)
               callPM(hwnd, rec, PM_WM_TRANSLATEACCEL, (MPARAM)lParam, 0);
    case OWM_NM_HELP:
        return callPM(hwnd, rec, (USHORT)msg, (MPARAM)wParam, (MPARAM)lParam);
    default:
        if (msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK)
            return (MRESULT)mouseMessage(hwnd, rec, msg, wParam, lParam);
        if (msg >= WM_USER && msg <= OWM_USER_LAST_SENT)
            return callPM(hwnd, rec, (USHORT)msg, (MPARAM)wParam, (MPARAM)lParam);
        if (msg == helpMessage && helpMessage) {
            HWND dlg = OwmHookModalDialog();
            HWND owner = dlg ? WinQueryWindow(dlg, PM_QW_OWNER) : NULL;
            if (owner)
                WinSendMsg(owner, OWM_NM_HELP, MPFROMLONG(wParam), MPFROMLONG(0x10001));
            return (MRESULT)1;
        }
        break;
    }
    return (MRESULT)DefWindowProcA(hwnd, msg, wParam, lParam);
}
