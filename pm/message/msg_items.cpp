/*
 * msg_items.cpp - scroll-bar notifications and owner-drawn items as PM
 * messages, for PM windows and dialogs alike.
 *
 * A native scroll notification becomes PM WM_HSCROLL / WM_VSCROLL with the
 * scroll bar's id in mp1 and the position (low 16) and PM command (high 16)
 * in mp2; the native codes "top" and "bottom" have no PM command and stay
 * native.  A measure request asks the owner's PM procedure for the item
 * height (a reply of 1...255 is taken).  Drawing an item is the owner-draw
 * translation the presentation-space layer installs (OwmHookDrawItem).
 */
#include <iterator>
#include "pm/pmint.h"

namespace orin::pm {
namespace {

constexpr ULONG_PTR kMaxItemHeight = 255;
constexpr SHORT kNoPmCommand = -1;

/* native scroll code -> PM command */
constexpr SHORT kPmScrollCommand[9] = {
    PM_SB_LINEUP, PM_SB_LINEDOWN, PM_SB_PAGEUP, PM_SB_PAGEDOWN, PM_SB_SLIDERPOSITION,
    PM_SB_SLIDERTRACK, kNoPmCommand, kNoPmCommand, PM_SB_ENDSCROLL,
};

}  // namespace

NativeReply OwmScrollMessage(HWND hwnd, PFNWP proc, UINT msg, WPARAM wParam, LPARAM lParam)
{
    USHORT code = LOWORD(wParam);
    if (code >= std::size(kPmScrollCommand) || kPmScrollCommand[code] == kNoPmCommand)
        return kLeaveToNative;
    auto bar = reinterpret_cast<HWND>(lParam);
    USHORT id = bar ? static_cast<USHORT>(GetDlgCtrlID(bar)) : 0;
    MRESULT reply = OwmCallPM(hwnd, proc, msg == WM_HSCROLL ? PM_WM_HSCROLL : PM_WM_VSCROLL,
                              MPFROM2SHORT(id, 0),
                              MPFROM2SHORT(HIWORD(wParam), kPmScrollCommand[code]));
    return reply ? kLeaveToNative : NativeAnswer(0);
}

NativeReply OwmMeasureItemMessage(HWND hwnd, PFNWP proc, LPARAM lParam)
{
    auto mis = reinterpret_cast<MEASUREITEMSTRUCT *>(lParam);
    if (!mis || mis->CtlID == 0)
        return kLeaveToNative;
    auto reply = reinterpret_cast<ULONG_PTR>(OwmCallPM(hwnd, proc, PM_WM_MEASUREITEM,
                                                       MPFROMLONG(mis->CtlID),
                                                       MPFROMLONG(mis->itemID)));
    if (reply < 1 || reply > kMaxItemHeight)
        return kLeaveToNative;
    mis->itemHeight = static_cast<UINT>(reply);
    return NativeAnswer(1);
}

NativeReply OwmDrawItemMessage(HWND hwnd, LPARAM lParam)
{
    if (OwmHookDrawItem(hwnd, reinterpret_cast<DRAWITEMSTRUCT *>(lParam)))
        return NativeAnswer(1);
    return kLeaveToNative;
}

}  // namespace orin::pm
