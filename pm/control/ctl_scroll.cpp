/*
 * ctl_scroll.cpp - scroll-bar messages on native scroll-bar controls:
 * range and position together, position alone, their queries, and the
 * thumb (page) size.  PM passes range and position as signed 16-bit
 * values; the position query answers the low 16 bits.
 */
#include "pm/control/ctlint.h"

namespace orin::pm::ctl {
namespace {

int signed16(USHORT v) noexcept
{
    return static_cast<SHORT>(v);
}

}  // namespace

MRESULT actScrollSetBar(const Call &call, const Row &)
{
    SetScrollRange(call.hwnd, SB_CTL, signed16(call.low2()), signed16(call.high2()), FALSE);
    SetScrollPos(call.hwnd, SB_CTL, signed16(call.low1()), TRUE);
    return mresult(1);
}

MRESULT actScrollSetPos(const Call &call, const Row &)
{
    SetScrollPos(call.hwnd, SB_CTL, signed16(call.low1()), TRUE);
    return mresult(1);
}

MRESULT actScrollQueryPos(const Call &call, const Row &)
{
    return mresult(static_cast<USHORT>(GetScrollPos(call.hwnd, SB_CTL)));
}

MRESULT actScrollQueryRange(const Call &call, const Row &)
{
    INT lo = 0, hi = 0;
    GetScrollRange(call.hwnd, SB_CTL, &lo, &hi);
    return MPFROM2SHORT(lo, hi);
}

MRESULT actScrollSetPage(const Call &call, const Row &)
{
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    GetScrollInfo(call.hwnd, SB_CTL, &si);
    si.nPage = call.low1();
    SetScrollInfo(call.hwnd, SB_CTL, &si, TRUE);
    return mresult(1);
}

}  // namespace orin::pm::ctl
