/*
 * msg_accel.cpp - WinSetAccelTable / WinQueryAccelTable: the accelerator
 * table of a frame, of a dialog, or of the application.
 *
 * A standard frame keeps its table in its frame record and answers the
 * private native messages OWM_NM_SETFRAMEACCEL / OWM_NM_QUERYFRAMEACCEL; a
 * dialog of the dialog layer keeps it in dialog word 16, reached with the
 * PM accelerator messages.  With no window the table is the application's:
 * one per message queue, that is per thread, as PM keeps it - the thread
 * that runs the dialogs' modal loop and the application's message loop is
 * the one whose table they translate with.  The anchor block is not
 * checked (every thread of the process shares the one anchor).  Setting a
 * table never destroys the one it replaces; the caller owns both.
 */
#include "pm/pmint.h"

namespace orin::pm {
namespace {

/* The application's table of this thread's message queue. */
thread_local HACCEL applicationTable = nullptr;

enum class Holder { None, Frame, Dialog };

/* None (with the last error set) for a window that keeps no table. */
Holder holderOf(HWND hwnd) noexcept
{
    if (!OwmIsWindow(hwnd))
        return Holder::None;
    if (OwmIsStdWindow(hwnd))
        return Holder::Frame;
    if (OwmIsDlgWindowPM(hwnd))
        return Holder::Dialog;
    SetLastError(ORIN_ERR_INVALID_PARAM);
    return Holder::None;
}

}  // namespace
}  // namespace orin::pm

BOOL ORINAPI WinSetAccelTable(HAB, HACCEL haccel, HWND hwndFrame) noexcept
{
    using namespace orin::pm;
    if (!hwndFrame) {
        applicationTable = haccel;
        return TRUE;
    }
    switch (holderOf(hwndFrame)) {
    case Holder::Frame:
        return SendMessageA(hwndFrame, OWM_NM_SETFRAMEACCEL, 0,
                            reinterpret_cast<LPARAM>(haccel)) != 0;
    case Holder::Dialog:
        return WinSendMsg(hwndFrame, PM_WM_SETACCELTABLE, haccel, nullptr) != nullptr;
    default:
        return FALSE;
    }
}

HACCEL ORINAPI WinQueryAccelTable(HAB, HWND hwndFrame) noexcept
{
    using namespace orin::pm;
    if (!hwndFrame)
        return applicationTable;
    switch (holderOf(hwndFrame)) {
    case Holder::Frame:
        return reinterpret_cast<HACCEL>(SendMessageA(hwndFrame, OWM_NM_QUERYFRAMEACCEL, 0, 0));
    case Holder::Dialog:
        return static_cast<HACCEL>(WinSendMsg(hwndFrame, PM_WM_QUERYACCELTABLE, nullptr, nullptr));
    default:
        return nullptr;
    }
}
