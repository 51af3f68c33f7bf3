/*
 * ctl_list.cpp - list-box messages that take more than one native call or
 * reshape the result, for native list boxes and (through the combo-box
 * set) combo boxes.
 *
 * Selecting an item tells the owner with WM_CONTROL (code 1 from a list
 * box, 104 from a combo box) unless the native call fails; clearing the
 * selection (index -1) is never a failure, although the control answers
 * -1 for it.  Deleting an item selects the one before it (the new first
 * item when item 0 went) the same way.
 *
 * Choices: a truncated item text (buffer smaller than the text) gets a
 * terminating zero in the buffer's last byte, so the caller always reads a
 * string; a null text pointer inserts or searches for the empty string; a
 * null buffer for the item text answers 0 with ORIN_ERR_INVALID_PARAM.
 */
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>
#include "pm/control/ctlint.h"
#include "pm/pmint.h"

namespace orin::pm::ctl {
namespace {

constexpr USHORT kNotifyListBox = PM_LN_SELECT;
constexpr USHORT kNotifyCombo = PM_CBN_LBSELECT;
constexpr LRESULT kNoSelection = -1;
constexpr size_t kStackText = 256;     // item texts up to this size need no heap

/* The native message of the list-box or combo-box set. */
struct ListMsgs {
    UINT add, insert, remove, setSel, getSel, getText, textLen, find, itemRect;
};
constexpr ListMsgs kListBox = {LB_ADDSTRING,  LB_INSERTSTRING, LB_DELETESTRING,
                               LB_SETCURSEL,  LB_GETCURSEL,    LB_GETTEXT,
                               LB_GETTEXTLEN, LB_FINDSTRING,   LB_GETITEMRECT};
constexpr ListMsgs kCombo = {CB_ADDSTRING,    CB_INSERTSTRING, CB_DELETESTRING,
                             CB_SETCURSEL,    CB_GETCURSEL,    CB_GETLBTEXT,
                             CB_GETLBTEXTLEN, CB_FINDSTRING,   LB_GETITEMRECT};

const ListMsgs &msgs(const Call &call) noexcept
{
    return call.listBox ? kListBox : kCombo;
}

bool appends(USHORT index) noexcept
{
    return index == PM_LIT_END || index == PM_LIT_SORTASCENDING ||
           index == PM_LIT_SORTDESCENDING;
}

/* The control is native (PM windows never reach this layer), so its owner
 * is found without the PM record look-up. */
void notifyOwner(HWND hwnd, bool listBox)
{
    HWND owner = OwmNonPMRelation(hwnd, PM_QW_OWNER);
    if (!owner)
        return;
    USHORT id = static_cast<USHORT>(GetDlgCtrlID(hwnd));
    WinSendMsg(owner, PM_WM_CONTROL, MPFROM2SHORT(id, listBox ? kNotifyListBox : kNotifyCombo),
               reinterpret_cast<MPARAM>(hwnd));
}

/* Reads item text into a buffer that surely holds it: the control writes
 * a pointer-sized item value instead when it keeps no strings. */
size_t safeTextBuffer(LRESULT len) noexcept
{
    return std::max(static_cast<size_t>(len) + 1, sizeof(ULONG_PTR) + 1);
}

}  // namespace

MRESULT actListHorzExtent(const Call &call, const Row &)
{
    sendNative(call.hwnd, LB_SETHORIZONTALEXTENT, reinterpret_cast<WPARAM>(call.mp1),
               reinterpret_cast<LPARAM>(call.mp2));
    return call.mp1;
}

MRESULT actListInsert(const Call &call, const Row &)
{
    const ListMsgs &m = msgs(call);
    auto text = reinterpret_cast<LPARAM>(textOrEmpty(call.mp2));
    USHORT index = call.low1();
    if (appends(index))
        return mresult(sendNative(call.hwnd, m.add, 0, text));
    return mresult(sendNative(call.hwnd, m.insert, index, text));
}

MRESULT actListDelete(const Call &call, const Row &)
{
    USHORT index = call.low1();
    LRESULT r = sendNative(call.hwnd, msgs(call).remove, index, 0);
    selectItem(call.hwnd, call.listBox, index ? static_cast<USHORT>(index - 1) : 0, true);
    return mresult(r);
}

MRESULT actListSelect(const Call &call, const Row &)
{
    WPARAM index = call.low2() ? static_cast<WPARAM>(call.low1()) : static_cast<WPARAM>(-1);
    LRESULT r = sendNative(call.hwnd, msgs(call).setSel, index, 0);
    bool clearing = index == static_cast<WPARAM>(-1);
    if (r == LB_ERR && !clearing)
        return nullptr;
    notifyOwner(call.hwnd, call.listBox);
    return mresult(1);
}

MRESULT actListSetText(const Call &call, const Row &)
{
    const ListMsgs &m = msgs(call);
    USHORT index = call.low1();
    LRESULT before = sendNative(call.hwnd, m.getSel, 0, 0);
    LRESULT r = sendNative(call.hwnd, m.insert, index, reinterpret_cast<LPARAM>(textOrEmpty(call.mp2)));
    if (r == LB_ERR || r == LB_ERRSPACE)
        return nullptr;
    sendNative(call.hwnd, m.remove, index + 1U, 0);
    if (sendNative(call.hwnd, m.getSel, 0, 0) != before)
        sendNative(call.hwnd, m.setSel, static_cast<WPARAM>(before), 0);
    return mresult(1);
}

MRESULT actListQueryText(const Call &call, const Row &)
{
    const ListMsgs &m = msgs(call);
    USHORT index = call.low1();
    size_t size = call.high1();
    char *out = static_cast<char *>(call.mp2);
    if (!out && size) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    LRESULT len = sendNative(call.hwnd, m.textLen, index, 0);
    if (len < 0)
        return nullptr;
    size_t need = safeTextBuffer(len);
    std::array<char, kStackText> small;
    std::vector<char> large;
    char *into = out;
    if (size < need && need <= small.size()) {
        into = small.data();
    } else if (size < need) {
        large.assign(need, '\0');
        into = large.data();
    }
    if (sendNative(call.hwnd, m.getText, index, reinterpret_cast<LPARAM>(into)) < 0)
        return nullptr;
    size_t copy = std::min(static_cast<size_t>(len) + 1, size);
    if (into != out && copy) {
        std::memcpy(out, into, copy);
        out[copy - 1] = '\0';
    }
    return mresult(len);
}

MRESULT actListSearch(const Call &call, const Row &)
{
    USHORT start = call.high1();
    WPARAM from = start == PM_LIT_FIRST ? static_cast<WPARAM>(-1) : start;
    return mresult(sendNative(call.hwnd, msgs(call).find, from,
                              reinterpret_cast<LPARAM>(textOrEmpty(call.mp2))));
}

MRESULT actListItemHeight(const Call &call, const Row &)
{
    RECT rc = {};
    if (sendNative(call.hwnd, msgs(call).itemRect, 0, reinterpret_cast<LPARAM>(&rc)) == LB_ERR)
        return nullptr;
    return mresult(rc.bottom - rc.top);
}

}  // namespace orin::pm::ctl
