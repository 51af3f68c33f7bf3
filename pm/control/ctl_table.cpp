/*
 * ctl_table.cpp - the translation table of PM control messages
 * (0x120...0x1DF) for native controls, and the translator that the message
 * layer calls for WinSendMsg to a native window.
 *
 * The rows cover the whole range in order, each message exactly once (the
 * compiler checks it); a 192-entry index built at compile time turns a
 * message into its row, so a translation costs one table look-up before
 * the native call.  List-box messages use the native list-box set for
 * list boxes and the combo-box set for every other kind.  Scroll-bar
 * messages also reach plain native scroll bars, which have no control
 * kind of their own.
 *
 * Choices: 0x1C5 is not translated (result 0, no native call), like its
 * neighbours.
 */
#include <array>
#include <cstdint>
#include "pm/control/ctlint.h"
#include "pm/pmint.h"

namespace orin::pm::ctl {
namespace {

constexpr Row silent(USHORT first, USHORT last, Result r = Result::Zero)
{
    return {first, last, actSend, 0, 0, Args::None, r};
}
constexpr Row native(USHORT msg, UINT nativeMsg, Args a = Args::None, Result r = Result::Native)
{
    return {msg, msg, actSend, nativeMsg, nativeMsg, a, r};
}
constexpr Row list(USHORT msg, UINT lb, UINT cb, Args a = Args::None)
{
    return {msg, msg, actSend, lb, cb, a, Result::Native};
}
constexpr Row own(USHORT first, USHORT last, Action act)
{
    return {first, last, act, 0, 0, Args::None, Result::Native};
}
constexpr Row own(USHORT msg, Action act)
{
    return own(msg, msg, act);
}

constexpr Row kRows[] = {
    /* buttons */
    silent(0x120, 0x120),
    native(0x121, BM_GETCHECK, Args::None, Result::Bool),
    native(0x122, BM_GETSTATE, Args::None, Result::Bool),
    own(0x123, actButtonSetHilite),
    native(0x124, BM_GETCHECK),
    own(0x125, actButtonSetCheck),
    own(0x126, actButtonSetDefault),
    silent(0x127, 0x13F),
    /* entry fields */
    native(0x140, EM_GETMODIFY),
    native(0x141, EM_GETSEL),
    native(0x142, EM_SETSEL, Args::Low1High1),
    native(0x143, EM_LIMITTEXT, Args::Low1),
    silent(0x144, 0x145),
    own(0x146, actEditClear),
    silent(0x147, 0x147),
    native(0x148, EM_LINEINDEX),
    silent(0x149, 0x149),
    own(0x14A, actEditQueryReadOnly),
    native(0x14B, EM_SETREADONLY, Args::Low1),
    silent(0x14C, 0x15E),
    /* list boxes and combo boxes */
    own(0x15F, actListHorzExtent),
    list(0x160, LB_GETCOUNT, CB_GETCOUNT),
    own(0x161, actListInsert),
    list(0x162, LB_SETTOPINDEX, 0, Args::Low1),
    own(0x163, actListDelete),
    own(0x164, actListSelect),
    list(0x165, LB_GETCURSEL, CB_GETCURSEL),
    own(0x166, actListSetText),
    list(0x167, LB_GETTEXTLEN, CB_GETLBTEXTLEN, Args::Low1),
    own(0x168, actListQueryText),
    list(0x169, LB_SETITEMDATA, CB_SETITEMDATA, Args::Low1Mp2),
    list(0x16A, LB_GETITEMDATA, CB_GETITEMDATA, Args::Low1),
    own(0x16B, actListSearch),
    silent(0x16C, 0x16C),
    list(0x16D, LB_GETTOPINDEX, 0),
    list(0x16E, LB_RESETCONTENT, CB_RESETCONTENT),
    silent(0x16F, 0x16F),
    own(0x170, actListItemHeight),
    silent(0x171, 0x173),
    native(0x174, CB_SETDROPPEDWIDTH, Args::Low1),
    native(0x175, CB_GETDROPPEDWIDTH),
    silent(0x176, 0x19F),
    /* scroll bars */
    own(0x1A0, actScrollSetBar),
    own(0x1A1, actScrollSetPos),
    own(0x1A2, actScrollQueryPos),
    own(0x1A3, actScrollQueryRange),
    own(0x1A4, 0x1A6, actScrollSetPage),
    silent(0x1A7, 0x1AF),
    /* multi-line edits */
    native(0x1B0, EM_LIMITTEXT, Args::Low1),
    native(0x1B1, WM_GETTEXTLENGTH),
    silent(0x1B2, 0x1B3),
    silent(0x1B4, 0x1B4, Result::One),
    silent(0x1B5, 0x1B5),
    own(0x1B6, actEditTabStop),
    silent(0x1B7, 0x1B9),
    native(0x1BA, EM_GETMODIFY),
    native(0x1BB, EM_SETMODIFY, Args::Low1),
    native(0x1BC, EM_GETLINECOUNT),
    native(0x1BD, EM_LINEINDEX, Args::Low1),
    native(0x1BE, EM_LINEFROMCHAR, Args::Low1),
    native(0x1BF, EM_LINELENGTH, Args::Low1),
    native(0x1C0, WM_GETTEXTLENGTH),
    own(0x1C1, actEditFormat),
    own(0x1C2, actSetImportExport),
    own(0x1C3, actImport),
    own(0x1C4, actExport),
    silent(0x1C5, 0x1C6),
    native(0x1C7, EM_LINELENGTH, Args::Low1),
    own(0x1C8, actEditFormatTextLength),
    silent(0x1C9, 0x1C9),
    native(0x1CA, EM_SETSEL, Args::Both),
    own(0x1CB, actEditQuerySel),
    silent(0x1CC, 0x1CC),
    native(0x1CD, EM_CANUNDO),
    native(0x1CE, EM_UNDO),
    native(0x1CF, EM_EMPTYUNDOBUFFER),
    silent(0x1D0, 0x1D5),
    native(0x1D6, EM_LINEINDEX),
    silent(0x1D7, 0x1DF),
};

constexpr size_t kMessages = kLastCtlMsg - kFirstCtlMsg + 1;

/* Invariant: the rows are in order and cover every control message once. */
constexpr bool rowsCoverTheRange()
{
    ULONG next = kFirstCtlMsg;
    for (const Row &r : kRows) {
        if (r.first != next || r.last < r.first || !r.act)
            return false;
        next = r.last + 1UL;
    }
    return next == kLastCtlMsg + 1;
}
static_assert(rowsCoverTheRange(), "control rows must cover 0x120...0x1DF once, in order");
static_assert(std::size(kRows) < 256, "row numbers are kept in bytes");

constexpr std::array<std::uint8_t, kMessages> buildIndex()
{
    std::array<std::uint8_t, kMessages> index{};
    for (size_t i = 0; i < std::size(kRows); i++)
        for (ULONG m = kRows[i].first; m <= kRows[i].last; m++)
            index[m - kFirstCtlMsg] = static_cast<std::uint8_t>(i);
    return index;
}
constexpr std::array<std::uint8_t, kMessages> kIndex = buildIndex();

struct NativeParams {
    WPARAM w;
    LPARAM l;
};

NativeParams nativeParams(const Call &call, Args a) noexcept
{
    switch (a) {
    case Args::None:
        return {0, 0};
    case Args::Low1:
        return {call.low1(), 0};
    case Args::Low1Mp2:
        return {call.low1(), reinterpret_cast<LPARAM>(call.mp2)};
    case Args::Low1High1:
        return {call.low1(), call.high1()};
    case Args::Both:
        return {reinterpret_cast<WPARAM>(call.mp1), reinterpret_cast<LPARAM>(call.mp2)};
    }
    return {0, 0};
}

bool translate(HWND hwnd, const NativeClass &nc, ULONG msg, MPARAM mp1, MPARAM mp2,
               MRESULT *result) noexcept
{
    if (msg < kFirstCtlMsg || msg > kLastCtlMsg)
        return false;
    if (nc.kind == OWM_CTL_NONE && !nc.scrollBar)
        return false;
    const Row &row = kRows[kIndex[msg - kFirstCtlMsg]];
    *result = row.act(Call{hwnd, nc.kind == OWM_CTL_LISTBOX, mp1, mp2}, row);
    return true;
}

[[maybe_unused]] const bool translatorInstalled = OwmInstallCtlTranslator(translate);

}  // namespace

MRESULT actSend(const Call &call, const Row &row)
{
    UINT msg = call.listBox ? row.lbMsg : row.otherMsg;
    LRESULT r = 0;
    if (msg) {
        NativeParams p = nativeParams(call, row.args);
        r = sendNative(call.hwnd, msg, p.w, p.l);
    }
    switch (row.result) {
    case Result::Native:
        return mresult(r);
    case Result::Bool:
        return mresult(r != 0);
    case Result::One:
        return mresult(1);
    case Result::Zero:
        return nullptr;
    }
    return nullptr;
}

MRESULT selectItem(HWND hwnd, bool listBox, USHORT index, bool select)
{
    constexpr ULONG kSelectItem = 0x164;
    const Row &row = kRows[kIndex[kSelectItem - kFirstCtlMsg]];
    return row.act(Call{hwnd, listBox, MPFROMLONG(index), MPFROMLONG(select ? 1 : 0)}, row);
}

}  // namespace orin::pm::ctl
