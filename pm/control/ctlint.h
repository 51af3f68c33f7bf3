/*
 * ctlint.h - what the files of the control-message layer share: one PM
 * control message on its way to a native control (Call), the row of the
 * translation table that handles it (Row), and the actions that rows name.
 *
 * A row either names a native message (one for list-box targets, one for
 * every other kind) with a rule for its parameters and a rule for its
 * result, and the generic action sends it; or it names an action of its
 * own for messages that need more than one native call.  A row whose
 * native message is 0 makes no native call at all.
 */
#ifndef ORIN_PM_CONTROL_CTLINT_H
#define ORIN_PM_CONTROL_CTLINT_H

#include "win.h"

namespace orin::pm::ctl {

/* The control messages this layer translates. */
inline constexpr ULONG kFirstCtlMsg = 0x120;
inline constexpr ULONG kLastCtlMsg = 0x1DF;

/* One control message sent to one native control. */
struct Call {
    HWND hwnd;
    bool listBox;           // list-box target (else the combo-box set is used)
    MPARAM mp1;
    MPARAM mp2;

    USHORT low1() const noexcept { return SHORT1FROMMP(mp1); }
    USHORT high1() const noexcept { return SHORT2FROMMP(mp1); }
    USHORT low2() const noexcept { return SHORT1FROMMP(mp2); }
    USHORT high2() const noexcept { return SHORT2FROMMP(mp2); }
};

/* Parameters of the native message, taken from mp1 and mp2. */
enum class Args : unsigned char {
    None,           // 0, 0
    Low1,           // low 16 bits of mp1, 0
    Low1Mp2,        // low 16 bits of mp1, mp2
    Low1High1,      // low and high 16 bits of mp1
    Both,           // mp1, mp2 unchanged
};

/* The PM result made from the native one. */
enum class Result : unsigned char {
    Native,         // as the control answers
    Bool,           // 1 when the control answers non-zero, else 0
    One,            // always 1
    Zero,           // always 0
};

struct Row;
using Action = MRESULT (*)(const Call &call, const Row &row);

struct Row {
    USHORT first;           // PM messages first..last
    USHORT last;
    Action act;
    UINT lbMsg;             // native message for list-box targets; 0: none
    UINT otherMsg;          // native message for every other kind; 0: none
    Args args;
    Result result;
};

/* ---- shared helpers ---- */
inline LRESULT sendNative(HWND hwnd, UINT msg, WPARAM w, LPARAM l) noexcept
{
    return SendMessageA(hwnd, msg, w, l);
}
inline MRESULT mresult(LRESULT r) noexcept
{
    return reinterpret_cast<MRESULT>(r);
}
inline const char *textOrEmpty(MPARAM mp) noexcept
{
    return mp ? static_cast<const char *>(mp) : "";
}

/* ---- actions (one file per control family) ---- */
MRESULT actSend(const Call &call, const Row &row);          // ctl_table.cpp

MRESULT actButtonSetHilite(const Call &call, const Row &row);   // ctl_button.cpp
MRESULT actButtonSetCheck(const Call &call, const Row &row);
MRESULT actButtonSetDefault(const Call &call, const Row &row);

MRESULT actListHorzExtent(const Call &call, const Row &row);    // ctl_list.cpp
MRESULT actListInsert(const Call &call, const Row &row);
MRESULT actListDelete(const Call &call, const Row &row);
MRESULT actListSelect(const Call &call, const Row &row);
MRESULT actListSetText(const Call &call, const Row &row);
MRESULT actListQueryText(const Call &call, const Row &row);
MRESULT actListSearch(const Call &call, const Row &row);
MRESULT actListItemHeight(const Call &call, const Row &row);

MRESULT actEditClear(const Call &call, const Row &row);         // ctl_edit.cpp
MRESULT actEditQueryReadOnly(const Call &call, const Row &row);
MRESULT actEditTabStop(const Call &call, const Row &row);
MRESULT actEditFormat(const Call &call, const Row &row);
MRESULT actEditFormatTextLength(const Call &call, const Row &row);
MRESULT actEditQuerySel(const Call &call, const Row &row);

MRESULT actSetImportExport(const Call &call, const Row &row);   // ctl_import.cpp
MRESULT actImport(const Call &call, const Row &row);
MRESULT actExport(const Call &call, const Row &row);

MRESULT actScrollSetBar(const Call &call, const Row &row);      // ctl_scroll.cpp
MRESULT actScrollSetPos(const Call &call, const Row &row);
MRESULT actScrollQueryPos(const Call &call, const Row &row);
MRESULT actScrollQueryRange(const Call &call, const Row &row);
MRESULT actScrollSetPage(const Call &call, const Row &row);

/* Sends PM_LM_SELECTITEM through the table (PM_LM_DELETEITEM uses it). */
MRESULT selectItem(HWND hwnd, bool listBox, USHORT index, bool select);

}  // namespace orin::pm::ctl

#endif  // ORIN_PM_CONTROL_CTLINT_H
