/*
 * ctl_button.cpp - button messages that take more than one native call:
 * setting the highlight or the check state answers the state before the
 * change, and the default-button message switches the native push-button
 * type with a redraw.
 */
#include "pm/control/ctlint.h"

namespace orin::pm::ctl {

MRESULT actButtonSetHilite(const Call &call, const Row &)
{
    bool before = sendNative(call.hwnd, BM_GETSTATE, 0, 0) != 0;
    sendNative(call.hwnd, BM_SETSTATE, call.low1(), 0);
    return mresult(before);
}

MRESULT actButtonSetCheck(const Call &call, const Row &)
{
    LRESULT before = sendNative(call.hwnd, BM_GETCHECK, 0, 0);
    sendNative(call.hwnd, BM_SETCHECK, call.low1(), 0);
    return mresult(before);
}

MRESULT actButtonSetDefault(const Call &call, const Row &)
{
    WPARAM type = call.mp1 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    sendNative(call.hwnd, BM_SETSTYLE, type, TRUE);
    return nullptr;
}

}  // namespace orin::pm::ctl
