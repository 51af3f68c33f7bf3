/*
 * dlg_modal.cpp - the modal loop (WinProcessDlg, WinDlgBox), dismissing
 * dialogs, the modal-loop listeners and the counted disabling of windows.
 *
 * WinProcessDlg disables the dialog's frame owner (and, for the owner
 * PM_HWND_APPTOP, every other window of the popup list) through the
 * disabled-owner table, shows the dialog and pumps native messages until
 * the dialog is dismissed; a native quit message ends the loop with 0 and
 * is posted again for the application's own loop.  All of it belongs to
 * the GUI thread.
 */
#include <utility>
#include <vector>
#include "frame/boundary.h"
#include "pm/pmint.h"
#include "pm/dialog/dlg_int.h"

namespace orin::pm::dialog {
namespace {

constexpr size_t kListenerSlots = 100;
constexpr ULONG kHelpFromButton = 0x10001;
constexpr LPARAM kKeyContextBit = 1L << 29;
constexpr LPARAM kKeyPreviousBit = 1L << 30;

struct Listener {
    PFNMODALLOOPNOTIFY fn = nullptr;
    PVOID context = nullptr;
};
constinit Lasting<std::array<Listener, kListenerSlots>> listenerTable;

/* (window, count) pairs; a window is disabled while its count is not 0. */
constinit Lasting<std::vector<std::pair<HWND, int>>> disabledOwners;

void notifyListeners(HWND dlg, BOOL start)
{
    for (const Listener &l : listenerTable.value)
        if (l.fn)
            l.fn(l.context, dlg, start);
}

bool isKeyMessage(UINT msg) noexcept
{
    return msg >= WM_KEYFIRST && msg <= WM_KEYLAST;
}

bool isInputMessage(UINT msg) noexcept
{
    return isKeyMessage(msg) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST);
}

/* F1 with a help button (id 9): the button gets the focus, the dialog the
 * help message.  True when it was handled so. */
bool helpKey(HWND dlg, const MSG &m)
{
    if (m.message != WM_KEYDOWN || m.wParam != VK_F1 ||
        (m.lParam & (kKeyContextBit | kKeyPreviousBit)))
        return false;
    HWND help = GetDlgItem(dlg, PM_DID_HELP);
    if (!help)
        return false;
    SetFocus(help);
    WinSendMsg(dlg, PM_WM_HELP, MPFROMLONG(GetDlgCtrlID(dlg)), MPFROMLONG(kHelpFromButton));
    return true;
}

/* Offers one message to the dialog before dispatching it. */
void handleMessage(HWND dlg, MSG &m)
{
    if (isInputMessage(m.message))
        m.hwnd = OwmRedirectTarget(m.hwnd);
    if (isKeyMessage(m.message)) {
        auto own = static_cast<HACCEL>(WinSendMsg(dlg, PM_WM_QUERYACCELTABLE, nullptr, nullptr));
        if (TranslateDialogKey(dlg, own, m))
            return;
    }
    if (helpKey(dlg, m) || IsDialogMessageA(dlg, &m))
        return;
    TranslateMessage(&m);
    DispatchMessageA(&m);
}

/* The windows a modal loop disables, enabled again when it ends. */
class DisabledForLoop {
public:
    DisabledForLoop(HWND dlg, HWND frameOwner, bool appTopOwner)
    {
        if (frameOwner)
            windows_.push_back(frameOwner);
        if (appTopOwner)
            for (size_t i = 0; i < OwmPopupListCount(); ++i)
                if (HWND w = OwmPopupListAt(i); w && w != dlg && w != frameOwner)
                    windows_.push_back(w);
        for (HWND w : windows_)
            OpmPushEnableWindow(w);
    }
    ~DisabledForLoop() { release(); }
    void release() noexcept
    {
        for (HWND w : windows_)
            OpmPopEnableWindow(w);
        windows_.clear();
    }
    DisabledForLoop(const DisabledForLoop &) = delete;
    DisabledForLoop &operator=(const DisabledForLoop &) = delete;
private:
    std::vector<HWND> windows_;
};

struct LoopEnd {
    bool quit = false;
    WPARAM quitCode = 0;
};

LoopEnd runLoop(HWND dlg, HWND owner)
{
    bool idleSent = false;
    for (;;) {
        const DlgRecord *rec = RecordOrPending(dlg);
        if (!rec || rec->dismissed || !IsWindow(dlg))
            return {};
        MSG m;
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (!idleSent && owner)
                SendMessageA(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(dlg));
            idleSent = true;
            WaitMessage();
            continue;
        }
        idleSent = false;
        if (m.message == WM_QUIT)
            return {true, m.wParam};
        handleMessage(dlg, m);
    }
}

ULONG processDialog(HWND dlg)
{
    DlgRecord *rec = RecordOrPending(dlg);
    if (!rec || !IsWindow(dlg))
        return kNotDialog;
    if (rec->dismissed)
        return rec->result;
    HWND owner = WinQueryWindow(dlg, PM_QW_FRAMEOWNER);
    DisabledForLoop disabled(dlg, owner, rec->owner == PM_HWND_APPTOP);
    if (!IsWindowVisible(dlg)) {
        ShowWindow(dlg, SW_SHOW);
        UpdateWindow(dlg);
    }
    notifyListeners(dlg, TRUE);
    LoopEnd end = runLoop(dlg, owner);
    notifyListeners(dlg, FALSE);
    disabled.release();
    if (end.quit) {
        PostQuitMessage(static_cast<int>(end.quitCode));
        return 0;
    }
    HWND active = GetActiveWindow();
    if (owner && IsWindow(owner) && (active == dlg || !active))
        SetActiveWindow(owner);
    rec = RecordOrPending(dlg);
    return rec ? rec->result : 0;
}

}  // namespace
}  // namespace orin::pm::dialog

using namespace orin::pm::dialog;

ULONG ORINAPI WinProcessDlg(HWND hwndDlg) noexcept
{
    return orin::guardValue<ULONG>(kNotDialog, [&] { return processDialog(hwndDlg); });
}

ULONG ORINAPI WinDlgBox(HWND hwndParent, HWND hwndOwner, PFNWP pfnDlgProc, HMODULE hmod,
                        ULONG idDlg, PVOID pCreateParams) noexcept
{
    HWND dlg = WinLoadDlg(hwndParent, hwndOwner, pfnDlgProc, hmod, idDlg, pCreateParams);
    if (!dlg)
        return PM_DID_ERROR;
    ULONG result = WinProcessDlg(dlg);
    WinDestroyWindow(dlg);
    return result & 0xFFFF;
}

BOOL ORINAPI WinDismissDlg(HWND hwndDlg, ULONG usResult) noexcept
{
    DlgRecord *rec = FindRecord(hwndDlg);
    if (!rec && Pending().inCreation)
        rec = &Pending();
    if (!rec)
        return EndDialog(hwndDlg, static_cast<INT_PTR>(usResult));
    rec->result = usResult;
    rec->dismissed = true;
    if (IsWindow(hwndDlg))
        SetWindowPos(hwndDlg, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
    return TRUE;
}

BOOL ORINAPI OwmAddModalLoopNotifyer(PFNMODALLOOPNOTIFY pfn, PVOID pContext) noexcept
{
    if (!pfn)
        return FALSE;
    for (Listener &l : listenerTable.value) {
        if (!l.fn) {
            l = {pfn, pContext};
            return TRUE;
        }
    }
    return FALSE;
}

BOOL ORINAPI OpmPushEnableWindow(HWND hwnd) noexcept
{
    if (!IsWindow(hwnd))
        return FALSE;
    return orin::guardValue<BOOL>(FALSE, [&] {
        auto &t = disabledOwners.value;
        for (auto &e : t)
            if (e.first == hwnd) {
                ++e.second;
                return TRUE;
            }
        t.emplace_back(hwnd, 1);
        EnableWindow(hwnd, FALSE);
        return TRUE;
    });
}

BOOL ORINAPI OpmPopEnableWindow(HWND hwnd) noexcept
{
    auto &t = disabledOwners.value;
    for (auto it = t.begin(); it != t.end(); ++it) {
        if (it->first != hwnd)
            continue;
        if (--it->second == 0) {
            t.erase(it);
            if (IsWindow(hwnd))
                EnableWindow(hwnd, TRUE);
        }
        return TRUE;
    }
    return FALSE;
}
