/*
 * msg_frontend.cpp - OWMFrontEndWndProc, the native procedure of every PM
 * class.
 *
 * It finds the window's record (win_record.cpp) and turns each native
 * message into the PM message of the same meaning, calls the PM
 * procedure, and either returns the PM reply or hands the message to the
 * native default procedure, message by message as the switch below does.
 * Keys, characters, commands, scroll bars and owner-drawn items have
 * translators of their own (msg_keys.cpp, msg_command.cpp, msg_items.cpp),
 * which the dialog front end shares; their NativeReply becomes this
 * procedure's result or the native default.  A window without a record (before its native create
 * message, after its destroy message) gets native default processing.
 *
 * The system calls this procedure, so nothing may escape it: an exception
 * (from the library or from a PM procedure) fails a native create and
 * answers 0 to anything else, with its code in the last error.
 */
#include "frame/boundary.h"
#include "frame/scope.h"
#include "pm/pmint.h"

namespace orin::pm {
namespace {

constexpr WPARAM kDeviceArrivalEvent = 0x8000;
constexpr WPARAM kDeviceRemovedEvent = 0x8004;
constexpr WPARAM kDeviceConfigEvent = 0x0018;
constexpr ULONG kHelpFromButton = 0x10001;

/* PM WM_QUERYDLGCODE reply bits. */
constexpr ULONG kPmDlgcEntryField = 0x0001;
constexpr ULONG kPmDlgcButton = 0x0002;
constexpr ULONG kPmDlgcRadioButton = 0x0004;
constexpr ULONG kPmDlgcStatic = 0x0008;
constexpr ULONG kPmDlgcDefault = 0x0010;
constexpr ULONG kPmDlgcPushButton = 0x0020;
constexpr ULONG kPmDlgcAllKeys = 0x0400;

/* Context-menu nesting; belongs to the GUI thread. */
int contextDepth;

/* The common dialogs' help message, registered once for the process. */
UINT commonDialogHelp() noexcept
{
    static const UINT message = RegisterWindowMessageA("commdlg_help");
    return message;
}

LRESULT nativeDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

/* A shared translator's reply as a window procedure gives it back. */
LRESULT windowReply(NativeReply r, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    return r.handled ? r.value : nativeDefault(hwnd, msg, wParam, lParam);
}

MPARAM pointParam(HWND hwnd, LPARAM lParam) noexcept
{
    POINT pt = {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    PM_POINTL ptl;
    OwmW3Point2PMPoint(hwnd, &pt, &ptl);
    return MPFROM2SHORT(ptl.x, ptl.y);
}

LRESULT sizeMessage(HWND hwnd, const OWMWND &rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    if (OwmCallPM(hwnd, rec, PM_WM_SIZE, MPFROM2SHORT(rc.right - rc.left, rc.bottom - rc.top),
                  reinterpret_cast<MPARAM>(lParam)))
        return nativeDefault(hwnd, msg, wParam, lParam);
    return 0;
}

LRESULT focusMessage(HWND hwnd, const OWMWND &rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    bool gain = msg == WM_SETFOCUS;
    MRESULT reply = OwmCallPM(hwnd, rec, PM_WM_SETFOCUS, reinterpret_cast<MPARAM>(wParam),
                              reinterpret_cast<MPARAM>(static_cast<ULONG_PTR>(gain)));
    OwmNoteFocus(hwnd, gain);
    return reply ? nativeDefault(hwnd, msg, wParam, lParam) : 0;
}

BOOL CALLBACK resendFont(HWND child, LPARAM lParam) noexcept
{
    auto m = reinterpret_cast<const MSG *>(lParam);
    if (GetParent(child) == m->hwnd)
        SendMessageA(child, WM_SETFONT, m->wParam, m->lParam);
    return TRUE;
}

/* PM flags of a native position change. */
USHORT pmPositionFlags(UINT native) noexcept
{
    return static_cast<USHORT>(((native & SWP_NOSIZE) ? 0 : PM_SWP_SIZE) |
                               ((native & SWP_NOMOVE) ? 0 : PM_SWP_MOVE) |
                               ((native & SWP_SHOWWINDOW) ? PM_SWP_SHOW : 0) |
                               ((native & SWP_HIDEWINDOW) ? PM_SWP_HIDE : 0));
}

/* Native flags rewritten from the PM ones the procedure answered. */
UINT nativePositionFlags(UINT native, USHORT pm) noexcept
{
    native &= ~(SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | SWP_HIDEWINDOW);
    if (!(pm & PM_SWP_SIZE)) native |= SWP_NOSIZE;
    if (!(pm & PM_SWP_MOVE)) native |= SWP_NOMOVE;
    if (pm & PM_SWP_SHOW)    native |= SWP_SHOWWINDOW;
    if (pm & PM_SWP_HIDE)    native |= SWP_HIDEWINDOW;
    return native;
}

/* Only a change of state is applied, so a procedure that keeps asking for
 * the same state cannot recurse. */
void applyShowState(HWND hwnd, USHORT pm) noexcept
{
    if ((pm & PM_SWP_RESTORE) && (IsIconic(hwnd) || IsZoomed(hwnd)))
        ShowWindow(hwnd, SW_RESTORE);
    else if ((pm & PM_SWP_MAXIMIZE) && !IsZoomed(hwnd))
        ShowWindow(hwnd, SW_MAXIMIZE);
    else if ((pm & PM_SWP_MINIMIZE) && !IsIconic(hwnd))
        ShowWindow(hwnd, SW_MINIMIZE);
}

/* Position changing: offers the change to PM WM_ADJUSTWINDOWPOS. */
LRESULT positionChanging(HWND hwnd, const OWMWND &rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto wp = reinterpret_cast<WINDOWPOS *>(lParam);
    if (!wp)
        return nativeDefault(hwnd, msg, wParam, lParam);
    bool popup = GetWindowLongA(hwnd, GWL_STYLE) & WS_POPUP;
    LONG h = OwmClientHeight(popup ? nullptr : GetParent(hwnd));
    PM_SWP swp = {pmPositionFlags(wp->flags), wp->cy, wp->cx, h - wp->y - wp->cy,
                  wp->x, wp->hwndInsertAfter, hwnd};
    const USHORT before = swp.fl;
    if (!OwmCallPM(hwnd, rec, PM_WM_ADJUSTWINDOWPOS, &swp, nullptr))
        return nativeDefault(hwnd, msg, wParam, lParam);
    if (swp.fl & PM_SWP_NOADJUST)
        return 0;
    if (swp.fl == before)
        return nativeDefault(hwnd, msg, wParam, lParam);
    wp->flags = nativePositionFlags(wp->flags, swp.fl);
    wp->cx = swp.cx;
    wp->cy = swp.cy;
    wp->x = swp.x;
    wp->y = h - swp.y - swp.cy;
    applyShowState(hwnd, swp.fl);
    return 1;
}

LRESULT dialogCode(HWND hwnd, const OWMWND &rec, WPARAM wParam)
{
    auto r = static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(
        OwmCallPM(hwnd, rec, PM_WM_QUERYDLGCODE, reinterpret_cast<MPARAM>(wParam), nullptr)));
    if (r & kPmDlgcStatic)
        return DLGC_STATIC;
    if (r & kPmDlgcButton) {
        LRESULT code = DLGC_BUTTON | (r & kPmDlgcDefault);
        if (r & kPmDlgcPushButton)  code |= DLGC_UNDEFPUSHBUTTON;
        if (r & kPmDlgcRadioButton) code |= DLGC_RADIOBUTTON;
        return code;
    }
    if (r & kPmDlgcAllKeys)
        return DLGC_WANTALLKEYS;
    if (r & kPmDlgcEntryField)
        return DLGC_WANTARROWS | DLGC_HASSETSEL | DLGC_WANTCHARS;
    return 0;
}

LRESULT contextMenu(HWND hwnd, const OWMWND &rec, WPARAM wParam, LPARAM lParam)
{
    if (contextDepth++ == 0)
        OwmHookPopupClear();
    // Invariant: every level entered is left again, also by an exception.
    auto leave = scopeExit([hwnd] {
        if (--contextDepth == 0)
            OwmHookPopupShow(hwnd);
    });
    return reinterpret_cast<LRESULT>(OwmCallPM(hwnd, rec, PM_WM_CONTEXTMENU,
                                               reinterpret_cast<MPARAM>(wParam),
                                               reinterpret_cast<MPARAM>(lParam)));
}

LRESULT menuSelect(HWND hwnd, const OWMWND &rec, WPARAM wParam, LPARAM lParam)
{
    constexpr USHORT kMenuClosed = 0xFFFF;
    USHORT item = LOWORD(wParam), flags = HIWORD(wParam);
    MPARAM mp1;
    if (flags == kMenuClosed && !lParam) {
        mp1 = MPFROMLONG(kMenuClosed);
    } else {
        USHORT id = (flags & MF_POPUP)
                        ? OwmHookMenuPopupId(hwnd, reinterpret_cast<HMENU>(lParam), item)
                        : item;
        bool usable = !(flags & (MF_GRAYED | MF_DISABLED));
        mp1 = MPFROM2SHORT(id, usable ? 1 : 0);
    }
    OwmCallPM(hwnd, rec, PM_WM_MENUSELECT, mp1, GetMenu(hwnd));
    return 0;
}

LRESULT palette(HWND hwnd, const OWMWND &rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kNmPaletteChanged && reinterpret_cast<HWND>(wParam) == hwnd)
        return nativeDefault(hwnd, msg, wParam, lParam);
    auto pal = static_cast<HPALETTE *>(OwmCallPM(hwnd, rec, PM_WM_QUERYPALETTE, nullptr, nullptr));
    if (!pal || !*pal)
        return 0;
    HDC hdc = GetDC(hwnd);
    SelectPalette(hdc, *pal, msg == kNmPaletteChanged);
    UINT changed = RealizePalette(hdc);
    ReleaseDC(hwnd, hdc);
    bool repaint = changed && changed != GDI_ERROR;
    if (repaint)
        InvalidateRect(hwnd, nullptr, TRUE);
    return repaint;
}

LRESULT mouseMessage(HWND hwnd, const OWMWND &rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    constexpr UINT kNativeButtonToPM = WM_LBUTTONDOWN - PM_WM_BUTTON1DOWN;
    if (!OwmInputEnabled(hwnd)) {
        if (msg == WM_MOUSEMOVE) {
            OwmSetPointer(false);
            return 0;
        }
        return nativeDefault(hwnd, msg, wParam, lParam);
    }
    auto pmMsg = static_cast<USHORT>(msg == WM_MOUSEMOVE ? PM_WM_MOUSEMOVE
                                                         : msg - kNativeButtonToPM);
    if (!OwmCallPM(hwnd, rec, pmMsg, pointParam(hwnd, lParam), nullptr))
        return nativeDefault(hwnd, msg, wParam, lParam);
    return 0;
}

/* The owner of the active modal dialog gets the common dialogs' help. */
LRESULT commonDialogHelpRequest(WPARAM wParam)
{
    HWND dlg = OwmHookModalDialog();
    HWND owner = dlg ? WinQueryWindow(dlg, PM_QW_OWNER) : nullptr;
    if (owner)
        WinSendMsg(owner, kNmHelp, MPFROMLONG(wParam), MPFROMLONG(kHelpFromButton));
    return 1;
}

/* Messages without a case of their own: mouse, user range, help. */
LRESULT otherMessage(HWND hwnd, const OWMWND &rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK)
        return mouseMessage(hwnd, rec, msg, wParam, lParam);
    if (msg >= WM_USER && msg <= kUserLastSent)
        return reinterpret_cast<LRESULT>(OwmCallPM(hwnd, rec, static_cast<USHORT>(msg),
                                                   reinterpret_cast<MPARAM>(wParam),
                                                   reinterpret_cast<MPARAM>(lParam)));
    if (msg == commonDialogHelp() && msg != 0)
        return commonDialogHelpRequest(wParam);
    return nativeDefault(hwnd, msg, wParam, lParam);
}

/* A message for a window with a record. */
LRESULT translate(HWND hwnd, const OWMWND &rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto w = reinterpret_cast<MPARAM>(wParam);
    auto l = reinterpret_cast<MPARAM>(lParam);
    auto pass = [&](USHORT pm, MPARAM mp1, MPARAM mp2) {
        return reinterpret_cast<LRESULT>(OwmCallPM(hwnd, rec, pm, mp1, mp2));
    };
    switch (msg) {
    case WM_DESTROY:
        OwmWndDestroy(hwnd);
        break;
    case WM_MOVE:
        if (OwmCallPM(hwnd, rec, PM_WM_MOVE, nullptr, nullptr))
            break;
        return 0;
    case WM_SIZE:
        return sizeMessage(hwnd, rec, msg, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        return focusMessage(hwnd, rec, msg, wParam, lParam);
    case WM_ENABLE:
        OwmCallPM(hwnd, rec, PM_WM_ENABLE, w, nullptr);
        return 0;
    case WM_PAINT:
        if (OwmCallPM(hwnd, rec, PM_WM_PAINT, nullptr, nullptr))
            break;
        return 0;
    case WM_CLOSE:
        if (OwmInputEnabled(hwnd))
            OwmCallPM(hwnd, rec, PM_WM_CLOSE, nullptr, nullptr);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_SHOWWINDOW:
        OwmCallPM(hwnd, rec, PM_WM_SHOW, w, nullptr);
        break;
    case WM_DRAWITEM:
        return windowReply(OwmDrawItemMessage(hwnd, lParam), hwnd, msg, wParam, lParam);
    case WM_MEASUREITEM:
        return windowReply(OwmMeasureItemMessage(hwnd, rec.pfnWndProc, lParam), hwnd, msg,
                           wParam, lParam);
    case WM_SETFONT: {
        MSG m = {hwnd, msg, wParam, lParam, 0, {0, 0}};
        EnumChildWindows(hwnd, resendFont, reinterpret_cast<LPARAM>(&m));
        break;
    }
    case WM_WINDOWPOSCHANGING:
        return positionChanging(hwnd, rec, msg, wParam, lParam);
    case WM_NOTIFY:
        return pass(PM_WM_NOTIFY, w, l);
    case WM_CONTEXTMENU:
        return contextMenu(hwnd, rec, wParam, lParam);
    case WM_GETDLGCODE:
        return dialogCode(hwnd, rec, wParam);
    case WM_NCMOUSEMOVE:
        OwmSetPointer(OwmInputEnabled(hwnd));
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return windowReply(OwmKeyMessage(hwnd, rec.pfnWndProc, msg, wParam, lParam), hwnd, msg,
                           wParam, lParam);
    case WM_CHAR:
        return windowReply(OwmCharMessage(hwnd, rec.pfnWndProc, wParam, lParam), hwnd, msg,
                           wParam, lParam);
    case WM_DEADCHAR:
        return 0;
    case WM_COMMAND:
        return windowReply(OwmCommandMessage(hwnd, rec.pfnWndProc, wParam, lParam), hwnd, msg,
                           wParam, lParam);
    case WM_TIMER:
        return pass(PM_WM_TIMER, w, nullptr);
    case WM_HSCROLL:
    case WM_VSCROLL:
        return windowReply(OwmScrollMessage(hwnd, rec.pfnWndProc, msg, wParam, lParam), hwnd,
                           msg, wParam, lParam);
    case WM_MENUSELECT:
        return menuSelect(hwnd, rec, wParam, lParam);
    case WM_DEVICECHANGE:
        if (wParam == kDeviceConfigEvent || wParam == kDeviceArrivalEvent ||
            wParam == kDeviceRemovedEvent)
            OwmHookDriveChange();
        break;
    case WM_DROPFILES:
        if (OwmInputEnabled(hwnd))
            OwmCallPM(hwnd, rec, PM_WM_DROPFILES, w, nullptr);
        return 0;
    case kNmQueryPalette:
    case kNmPaletteChanged:
        return palette(hwnd, rec, msg, wParam, lParam);
    case kNmSetAccel:
        return pass(PM_WM_SETACCELTABLE, nullptr, nullptr);
    case kNmQueryAccel:
        return pass(PM_WM_QUERYACCELTABLE, l, nullptr);
    case kNmTranslateAccel:
        return static_cast<USHORT>(pass(PM_WM_TRANSLATEACCEL, l, nullptr));
    case kNmHelp:
        return pass(static_cast<USHORT>(msg), w, l);
    default:
        return otherMessage(hwnd, rec, msg, wParam, lParam);
    }
    return nativeDefault(hwnd, msg, wParam, lParam);
}

LRESULT frontEnd(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CREATE) {
        auto cs = reinterpret_cast<const CREATESTRUCTA *>(lParam);
        return cs ? OwmWndCreate(hwnd, *cs) : -1;
    }
    if (msg == kNmPosted) {
        OwmPostedDeliver(lParam);
        return 0;
    }
    const OWMWND *rec = OwmQueryWndRec(hwnd);
    if (!rec)
        return nativeDefault(hwnd, msg, wParam, lParam);
    return translate(hwnd, *rec, msg, wParam, lParam);
}

}  // namespace
}  // namespace orin::pm

MRESULT ORINAPI OWMFrontEndWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    using namespace orin::pm;
    constexpr LRESULT kCreateFailed = -1;
    auto failure = reinterpret_cast<MRESULT>(msg == WM_CREATE ? kCreateFailed : 0);
    return orin::guardValue(failure, [&] {
        return reinterpret_cast<MRESULT>(frontEnd(hwnd, msg, wParam, lParam));
    });
}
