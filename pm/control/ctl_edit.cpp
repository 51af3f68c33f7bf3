/*
 * ctl_edit.cpp - entry-field and multi-line-edit messages that take more
 * than one native call or reshape the result: clearing the selection, the
 * read-only query (read from the native style), the tab stop given in
 * pixels, line formatting, the formatted text length and the selection
 * query with its selector.
 */
#include "pm/control/ctlint.h"

namespace orin::pm::ctl {
namespace {

constexpr LONG kReadOnlyStyle = ES_READONLY;    // 0x800
constexpr USHORT kFormatWithSoftBreaks = 2;     // 0x1C1 format value that asks for CR CR LF

}  // namespace

MRESULT actEditClear(const Call &call, const Row &)
{
    return mresult(sendNative(call.hwnd, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("")));
}

MRESULT actEditQueryReadOnly(const Call &call, const Row &)
{
    return mresult((GetWindowLongA(call.hwnd, GWL_STYLE) & kReadOnlyStyle) ? 1 : 0);
}

/* The tab stop arrives in pixels and becomes dialog units: pixels divided
 * by the horizontal dialog base unit. */
MRESULT actEditTabStop(const Call &call, const Row &)
{
    LONG baseUnit = LOWORD(GetDialogBaseUnits());
    // Invariant: the system's average character is at least one pixel wide.
    INT stop = baseUnit > 0 ? static_cast<INT>(call.low1() / baseUnit) : 0;
    sendNative(call.hwnd, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
    return mresult(stop);
}

MRESULT actEditFormat(const Call &call, const Row &)
{
    return mresult(sendNative(call.hwnd, EM_FMTLINES, call.low1() == kFormatWithSoftBreaks, 0));
}

MRESULT actEditFormatTextLength(const Call &call, const Row &)
{
    LRESULT length = sendNative(call.hwnd, WM_GETTEXTLENGTH, 0, 0);
    return mresult(length - static_cast<LRESULT>(call.low1()));
}

MRESULT actEditQuerySel(const Call &call, const Row &)
{
    DWORD start = 0, end = 0;
    LRESULT packed = sendNative(call.hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                reinterpret_cast<LPARAM>(&end));
    switch (call.low1()) {
    case PM_MLFQS_MINMAXSEL:
        return mresult(packed);
    case PM_MLFQS_MINSEL:
    case PM_MLFQS_ANCHORSEL:
        return mresult(start);
    case PM_MLFQS_MAXSEL:
    case PM_MLFQS_CURSORSEL:
        return mresult(end);
    }
    return nullptr;
}

}  // namespace orin::pm::ctl
