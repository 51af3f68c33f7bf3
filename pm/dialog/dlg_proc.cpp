/*
 * dlg_proc.cpp - OwmFrontendDlgProc, the native procedure of every PM
 * dialog, and WinDefDlgProc, the PM default for dialog procedures.
 *
 * The front end registers the dialog on its native init message and turns
 * native messages into PM messages for the dialog's PM procedure.  Keys,
 * characters, commands, scroll bars and owner-drawn items go through the
 * window front end's own translators (pm/message), so a dialog's PM
 * procedure sees what a PM window's would; their answers are returned
 * the dialog way, in DWLP_MSGRESULT.  A native message it does not
 * translate answers FALSE, which leaves it to the native dialog manager
 * (navigation with tab, Enter and Escape happens there before any key
 * reaches this procedure).  Nothing escapes it: an exception from a PM
 * procedure answers FALSE with its code in the last error.
 */
#include "frame/boundary.h"
#include "pm/pmint.h"
#include "pm/dialog/dlg_int.h"

namespace orin::pm::dialog {
namespace {

constexpr USHORT kPmActivate = 0x000D;
constexpr ULONG kCloseSource = 1;             // mp2 of the cancel command on close

MRESULT callPM(HWND hwnd, const DlgRecord &rec, USHORT msg, MPARAM mp1, MPARAM mp2)
{
    return rec.proc ? rec.proc(hwnd, msg, mp1, mp2) : nullptr;
}

MPARAM mp(WPARAM w) { return reinterpret_cast<MPARAM>(w); }
MPARAM mpl(LPARAM l) { return reinterpret_cast<MPARAM>(l); }

INT_PTR initDialog(HWND hwnd, WPARAM focus)
{
    Register(hwnd);                            // on failure the pending record answers
    DlgRecord *rec = RecordOrPending(hwnd);
    if (!rec)
        return TRUE;
    if (rec->icon)
        SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(rec->icon));
    return !callPM(hwnd, *rec, PM_WM_INITDLG, mp(focus), rec->createParams);
}

/* A shared translator's reply as a dialog procedure gives it back: TRUE
 * with the result in DWLP_MSGRESULT, or FALSE for the dialog manager. */
INT_PTR dialogReply(HWND hwnd, NativeReply r) noexcept
{
    if (!r.handled)
        return FALSE;
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, r.value);
    return TRUE;
}

INT_PTR translate(HWND hwnd, const DlgRecord &rec, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        callPM(hwnd, rec, PM_WM_COMMAND, MPFROMLONG(PM_DID_CANCEL), MPFROMLONG(kCloseSource));
        return TRUE;
    case WM_DESTROY:
        callPM(hwnd, rec, PM_WM_DESTROY, nullptr, nullptr);
        Unregister(hwnd);
        return TRUE;
    case WM_COMMAND:
        return dialogReply(hwnd, OwmCommandMessage(hwnd, rec.proc, wParam, lParam));
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return dialogReply(hwnd, OwmKeyMessage(hwnd, rec.proc, msg, wParam, lParam));
    case WM_CHAR:
        return dialogReply(hwnd, OwmCharMessage(hwnd, rec.proc, wParam, lParam));
    case WM_DEADCHAR:
        return dialogReply(hwnd, NativeAnswer(0));
    case WM_HSCROLL:
    case WM_VSCROLL:
        return dialogReply(hwnd, OwmScrollMessage(hwnd, rec.proc, msg, wParam, lParam));
    case WM_MEASUREITEM:
        return dialogReply(hwnd, OwmMeasureItemMessage(hwnd, rec.proc, lParam));
    case WM_DRAWITEM:
        return dialogReply(hwnd, OwmDrawItemMessage(hwnd, lParam));
    case WM_MOVE:
        callPM(hwnd, rec, PM_WM_MOVE, nullptr, nullptr);
        return FALSE;
    case WM_SIZE:
        callPM(hwnd, rec, PM_WM_SIZE, nullptr, MPFROM2SHORT(LOWORD(lParam), HIWORD(lParam)));
        return FALSE;
    case WM_ACTIVATE:
        callPM(hwnd, rec, kPmActivate, MPFROMLONG(LOWORD(wParam) != WA_INACTIVE), nullptr);
        return FALSE;
    case WM_ENABLE:
        callPM(hwnd, rec, PM_WM_ENABLE, mp(wParam), nullptr);
        return FALSE;
    case WM_SHOWWINDOW:
        callPM(hwnd, rec, PM_WM_SHOW, mp(wParam), nullptr);
        return FALSE;
    case WM_TIMER:
        callPM(hwnd, rec, PM_WM_TIMER, mp(wParam), nullptr);
        return TRUE;
    case WM_NOTIFY:
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(
            callPM(hwnd, rec, PM_WM_NOTIFY, mp(wParam), mpl(lParam))));
        return TRUE;
    case kNmHelp:
        callPM(hwnd, rec, PM_WM_HELP, mp(wParam), mpl(lParam));
        return TRUE;
    case kNmTranslateAccel:
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(
            callPM(hwnd, rec, PM_WM_TRANSLATEACCEL, mpl(lParam), nullptr)));
        return TRUE;
    default:
        if (msg >= WM_USER && msg <= kUserLastSent) {
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(
                callPM(hwnd, rec, static_cast<USHORT>(msg), mp(wParam), mpl(lParam))));
            return TRUE;
        }
        return FALSE;
    }
}

INT_PTR frontEnd(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
        return initDialog(hwnd, wParam);
    if (msg == kNmPosted) {
        HWND target;
        USHORT pmMsg;
        MPARAM mp1, mp2;
        if (OwmPostedTake(lParam, &target, &pmMsg, &mp1, &mp2))
            WinSendMsg(hwnd, pmMsg, mp1, mp2);
        return TRUE;
    }
    const DlgRecord *rec = FindRecord(hwnd);
    // controls measure their items while the dialog is still being made
    if (!rec && msg == WM_MEASUREITEM)
        rec = RecordOrPending(hwnd);
    return rec ? translate(hwnd, *rec, msg, wParam, lParam) : FALSE;
}

}  // namespace

bool TranslateDialogKey(HWND dlg, HACCEL own, MSG &m)
{
    auto with = [&](HACCEL accel) { return accel && TranslateAcceleratorA(dlg, accel, &m); };
    return with(own) || with(WinQueryAccelTable(nullptr, nullptr));
}

}  // namespace orin::pm::dialog

using namespace orin::pm::dialog;

INT_PTR ORINAPI OwmFrontendDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    return orin::guardValue<INT_PTR>(FALSE, [&] { return frontEnd(hwnd, msg, wParam, lParam); });
}

MRESULT ORINAPI WinDefDlgProc(HWND hwndDlg, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    DlgRecord *rec = RecordOrPending(hwndDlg);
    switch (msg) {
    case PM_WM_COMMAND:
        WinDismissDlg(hwndDlg, SHORT1FROMMP(mp1));
        return nullptr;
    case PM_WM_INITDLG:
    case PM_WM_CHAR:
        return nullptr;
    case PM_WM_SETACCELTABLE:
        if (rec)
            rec->words[kAccelWord] = reinterpret_cast<ULONG_PTR>(mp1);
        return MPFROMLONG(rec != nullptr);
    case PM_WM_QUERYACCELTABLE:
        return rec ? reinterpret_cast<MRESULT>(rec->words[kAccelWord]) : nullptr;
    case PM_WM_TRANSLATEACCEL: {
        auto q = static_cast<const PM_QMSG *>(mp1);
        if (!q)
            return nullptr;
        HACCEL own = rec ? reinterpret_cast<HACCEL>(rec->words[kAccelWord]) : nullptr;
        MSG copy = q->native;
        return MPFROMLONG(TranslateDialogKey(hwndDlg, own, copy));
    }
    default:
        return WinDefWindowProc(hwndDlg, msg, mp1, mp2);
    }
}
