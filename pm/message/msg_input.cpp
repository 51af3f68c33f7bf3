/*
 * msg_input.cpp - input enabling, timers, the PM default window procedure,
 * and the emulation's start and end (WinInitialize / WinTerminate).
 *
 * Input enabling counts: every window has an enable and a disable count
 * (in the record of a PM window, in a window property for any other
 * window); input is enabled while disable <= enable.  Enabling or
 * disabling a window applies to all its descendants as well.
 */
#include <atomic>
#include "pm/pmint.h"

namespace orin::pm {
namespace {

constexpr const char *kInputProp = "OrinPMInput";
constexpr USHORT kMaxCount = 0xFFFF;

/* The anchor handed out by WinInitialize: set once, read anywhere. */
constinit std::atomic<HAB> anchor{nullptr};
/* The PM window that has the focus; belongs to the GUI thread. */
HWND focusedPM;

/* An enable and a disable count. */
struct InputCounts {
    USHORT enable = 0;
    USHORT disable = 0;

    bool enabled() const noexcept { return disable <= enable; }

    /* One step: the opposite count down (not below 0), this one up. */
    void change(bool enableInput) noexcept
    {
        USHORT &down = enableInput ? disable : enable;
        USHORT &up = enableInput ? enable : disable;
        if (down)
            down--;
        if (up < kMaxCount)
            up++;
    }
};

/* Native windows keep both counts in one property value. */
InputCounts readProp(HWND hwnd) noexcept
{
    auto v = reinterpret_cast<ULONG_PTR>(GetPropA(hwnd, kInputProp));
    return {static_cast<USHORT>(v & 0xFFFF), static_cast<USHORT>((v >> 16) & 0xFFFF)};
}

bool writeProp(HWND hwnd, InputCounts c) noexcept
{
    // bit 32 keeps the value non-null so a stored (0, 0) is still stored
    constexpr ULONG_PTR kStored = static_cast<ULONG_PTR>(1) << 32;
    ULONG_PTR v = c.enable | (static_cast<ULONG_PTR>(c.disable) << 16) | kStored;
    return SetPropA(hwnd, kInputProp, reinterpret_cast<HANDLE>(v));
}

/* Applies one change to a window; false when nothing could be stored. */
bool applyInput(HWND hwnd, bool enable, bool &enabled) noexcept
{
    if (OWMWND *rec = OwmQueryWndRec(hwnd)) {
        InputCounts c = {rec->cEnable, rec->cDisable};
        c.change(enable);
        rec->cEnable = c.enable;
        rec->cDisable = c.disable;
        enabled = c.enabled();
        return true;
    }
    USHORT *en, *dis;
    if (OwmHookDlgInput(hwnd, &en, &dis)) {
        InputCounts c = {*en, *dis};
        c.change(enable);
        *en = c.enable;
        *dis = c.disable;
        enabled = c.enabled();
        return true;
    }
    InputCounts c = readProp(hwnd);
    c.change(enable);
    if (!writeProp(hwnd, c))
        return false;
    enabled = c.enabled();
    return true;
}

void applyToChildren(HWND hwnd, bool enable) noexcept
{
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        bool ignored;
        applyInput(child, enable, ignored);
        applyToChildren(child, enable);
    }
}

/* ---- default procedure ---- */

bool hasPMParent(const OWMWND *rec) noexcept
{
    return rec && rec->hwndParent && rec->hwndParent != GetDesktopWindow() &&
           OwmIsPMWindow(rec->hwndParent);
}

bool isTopLevel(const OWMWND &rec) noexcept
{
    return !rec.hwndParent || rec.hwndParent == GetDesktopWindow();
}

/* Mouse messages the default procedure passes to a PM parent. */
bool forwardable(ULONG msg) noexcept
{
    return msg == PM_WM_BUTTON1DOWN || msg == PM_WM_BUTTON1UP || msg == PM_WM_BUTTON1DBLCLK ||
           msg == PM_WM_BUTTON2DBLCLK || msg == PM_WM_BUTTON3DBLCLK;
}

MRESULT defaultMouse(HWND hwnd, const OWMWND *rec, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    if (msg == PM_WM_MOUSEMOVE) {
        OwmSetPointer(OwmInputEnabled(hwnd));
        return nullptr;
    }
    if (msg == PM_WM_BUTTON1DOWN && rec && isTopLevel(*rec)) {
        SetFocus(hwnd);
        return reinterpret_cast<MRESULT>(1);
    }
    PM_POINTL ptl = {static_cast<SHORT>(SHORT1FROMMP(mp1)), static_cast<SHORT>(SHORT2FROMMP(mp1))};
    if (forwardable(msg) && hasPMParent(rec)) {
        WinMapWindowPoints(hwnd, rec->hwndParent, &ptl, 1);
        return WinSendMsg(rec->hwndParent, msg, MPFROM2SHORT(ptl.x, ptl.y), mp2);
    }
    POINT pt;
    OwmPMPoint2W3Point(hwnd, &ptl, &pt);
    DefWindowProcA(hwnd, WM_MOUSEMOVE + (msg - PM_WM_MOUSEMOVE), 0, MAKELPARAM(pt.x, pt.y));
    return reinterpret_cast<MRESULT>(1);
}

MRESULT defaultProcedure(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    const OWMWND *rec = OwmQueryWndRec(hwnd);
    switch (msg) {
    case PM_WM_CREATE:
    case PM_WM_ADJUSTWINDOWPOS:
    case kPmQueryHelpInfo:
    case PM_WM_SETACCELTABLE:
    case PM_WM_QUERYACCELTABLE:
    case kPmDefaultZero:
    case PM_WM_QUERYPALETTE:
        return nullptr;
    case PM_WM_SETWINDOWPARAMS:
    case PM_WM_QUERYWINDOWPARAMS:
        OwmWindowParams(hwnd, msg, static_cast<PM_WNDPARAMS *>(mp1), rec != nullptr);
        return reinterpret_cast<MRESULT>(1);
    case PM_WM_CLOSE:
        PostQuitMessage(0);
        return nullptr;
    case PM_WM_TRANSLATEACCEL: {
        HWND parent = rec ? rec->hwndParent : GetParent(hwnd);
        if (!parent || parent == GetDesktopWindow())
            return nullptr;
        return WinSendMsg(parent, msg, mp1, mp2);
    }
    case PM_WM_CHAR:
        if (hasPMParent(rec) || (rec && OwmIsDlgWindowPM(rec->hwndParent)))
            return WinSendMsg(rec->hwndParent, msg, mp1, mp2);
        return nullptr;
    case PM_WM_CONTEXTMENU:
        DefWindowProcA(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(mp1),
                       reinterpret_cast<LPARAM>(mp2));
        return reinterpret_cast<MRESULT>(1);
    }
    if (msg >= PM_WM_MOUSEMOVE && msg <= PM_WM_BUTTON3DBLCLK)
        return defaultMouse(hwnd, rec, msg, mp1, mp2);
    return reinterpret_cast<MRESULT>(1);
}

}  // namespace

void OwmSetPointer(bool inputEnabled) noexcept
{
    SetCursor(LoadCursorA(nullptr, inputEnabled ? IDC_ARROW : IDC_WAIT));
}

bool OwmInputEnabled(HWND hwnd) noexcept
{
    if (const OWMWND *rec = OwmQueryWndRec(hwnd))
        return rec->cDisable <= rec->cEnable;
    USHORT *en, *dis;
    if (OwmHookDlgInput(hwnd, &en, &dis))
        return *dis <= *en;
    return readProp(hwnd).enabled();
}

void OwmInputForget(HWND hwnd) noexcept
{
    RemovePropA(hwnd, kInputProp);
    if (focusedPM == hwnd)
        focusedPM = nullptr;
}

void OwmNoteFocus(HWND hwnd, bool gain) noexcept
{
    if (gain)
        focusedPM = hwnd;
    else if (focusedPM == hwnd)
        focusedPM = nullptr;
}

HWND OwmFocusedPMWindow() noexcept
{
    return focusedPM;
}

}  // namespace orin::pm

using namespace orin::pm;

BOOL ORINAPI WinEnableWindowInput(HWND hwnd, BOOL fEnable) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    if (!hwnd || !IsWindow(hwnd))
        return TRUE;
    bool enabled = true;
    if (!applyInput(hwnd, fEnable, enabled))
        enabled = true;
    applyToChildren(hwnd, fEnable);
    return enabled;
}

BOOL ORINAPI WinQueryEnableWindowInput(HWND hwnd) noexcept
{
    if (!hwnd)
        return TRUE;
    return OwmInputEnabled(OwmMapDesktop(hwnd));
}

/* ---- timers ---- */

ULONG ORINAPI WinStartTimer(HAB hab, HWND hwnd, ULONG idTimer, ULONG dtTimeout) noexcept
{
    UINT_PTR id = SetTimer(hwnd, idTimer, dtTimeout, nullptr);
    if (!hwnd)
        return static_cast<ULONG>(id);
    return id != 0;
}

BOOL ORINAPI WinStopTimer(HAB hab, HWND hwnd, ULONG idTimer) noexcept
{
    return KillTimer(hwnd, idTimer);
}

MRESULT ORINAPI WinDefWindowProc(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2) noexcept
{
    hwnd = OwmMapDesktop(hwnd);
    if (!OwmIsWindow(hwnd))
        return nullptr;
    return defaultProcedure(hwnd, msg, mp1, mp2);
}

/* ---- start and end ---- */

HAB ORINAPI WinInitialize(ULONG flOptions) noexcept
{
    OwmMessageInit();
    HAB none = nullptr;
    anchor.compare_exchange_strong(none, static_cast<HAB>(GetModuleHandleA(nullptr)));
    return anchor.load();
}

HAB ORINAPI _WinGetHab() noexcept
{
    return anchor.load();
}

BOOL ORINAPI WinTerminate(HAB hab) noexcept
{
    OwmHookPopupClear();
    OwmHookDestroyStdWindows();
    OwmFreeClassTable();
    OwmPopupListFree();
    OwmMessageTerm();
    WinFreeSystemResourceModule(1);
    return TRUE;
}
