/*
 * dlg_record.cpp - the dialog table and the pending record, and the hooks
 * through which the window and message layers ask about dialogs.
 *
 * WinLoadDlg and WinCreateDlg fill the pending record before the native
 * dialog exists; its init message copies it into a record of its own and
 * appends (dialog, record) to the table.  The last entry is the active
 * modal dialog.  Both belong to the GUI thread.
 */
#include <memory>
#include <new>
#include <utility>
#include "frame/boundary.h"
#include "pm/pmint.h"
#include "pm/dialog/dlg_int.h"

namespace orin::pm::dialog {
namespace {

using Entry = std::pair<HWND, std::unique_ptr<DlgRecord>>;

constinit Lasting<std::vector<Entry>> dialogTable;
constinit Lasting<DlgRecord> pendingRecord;

std::vector<Entry> &table() noexcept
{
    return dialogTable.value;
}

BOOL isDialog(HWND hwnd) noexcept
{
    return FindRecord(hwnd) != nullptr;
}

bool dialogMessage(HWND hwnd, ULONG msg, MPARAM mp1, MPARAM mp2, MRESULT *result) noexcept
{
    DlgRecord *rec = FindRecord(hwnd);
    if (!rec)
        return false;
    PFNWP proc = rec->proc;
    *result = proc ? orin::guardValue<MRESULT>(nullptr, [&] {
        return proc(hwnd, static_cast<USHORT>(msg), mp1, mp2);
    }) : nullptr;
    return true;
}

HWND relation(HWND hwnd, LONG cmd) noexcept
{
    const DlgRecord *rec = FindRecord(hwnd);
    // The application's top window was resolved into the native owner.
    if (cmd == PM_QW_OWNER && rec)
        return rec->owner == PM_HWND_APPTOP ? GetWindow(hwnd, GW_OWNER) : rec->owner;
    return GetAncestor(hwnd, GA_PARENT);
}

bool windowWord(HWND hwnd, LONG index, ULONG_PTR *value) noexcept
{
    const DlgRecord *rec = FindRecord(hwnd);
    if (!rec || index < 0 || index >= kDialogWords)
        return false;
    *value = rec->words[static_cast<size_t>(index)];
    return true;
}

bool inputCounts(HWND hwnd, USHORT **cEnable, USHORT **cDisable) noexcept
{
    DlgRecord *rec = FindRecord(hwnd);
    if (!rec)
        return false;
    *cEnable = &rec->cEnable;
    *cDisable = &rec->cDisable;
    return true;
}

constexpr DialogHooks kHooks = {isDialog, dialogMessage, relation, windowWord, inputCounts,
                                LastDialog};
[[maybe_unused]] const bool hooksInstalled = OwmInstallDialogHooks(&kHooks);

/* The nearest visible window at or above hwnd; the desktop when none. */
HWND visibleAncestor(HWND hwnd) noexcept
{
    for (HWND w = hwnd; w; w = GetAncestor(w, GA_PARENT)) {
        if (w == GetDesktopWindow())
            break;
        if (IsWindowVisible(w))
            return w;
    }
    return GetDesktopWindow();
}

}  // namespace

DlgRecord &Pending() noexcept
{
    return pendingRecord.value;
}

DlgRecord *FindRecord(HWND hwnd) noexcept
{
    if (!hwnd)
        return nullptr;
    for (Entry &e : table())
        if (e.first == hwnd)
            return e.second.get();
    return nullptr;
}

DlgRecord *RecordOrPending(HWND hwnd) noexcept
{
    if (DlgRecord *rec = FindRecord(hwnd))
        return rec;
    return Pending().inCreation ? &Pending() : nullptr;
}

bool Register(HWND hwnd) noexcept
{
    try {
        auto rec = std::make_unique<DlgRecord>(Pending());
        rec->inCreation = false;
        table().emplace_back(hwnd, std::move(rec));
    } catch (const std::bad_alloc &) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return false;
    }
    Pending().inCreation = false;
    return true;
}

void Unregister(HWND hwnd) noexcept
{
    auto &t = table();
    for (auto it = t.begin(); it != t.end(); ++it) {
        if (it->first == hwnd) {
            t.erase(it);
            break;
        }
    }
    if (t.empty())
        std::vector<Entry>().swap(t);
}

HWND LastDialog() noexcept
{
    return table().empty() ? nullptr : table().back().first;
}

HWND AppTopWindow() noexcept
{
    HWND top = LastDialog();
    if (!top)
        top = GetActiveWindow();
    if (top)
        top = GetLastActivePopup(top);
    return visibleAncestor(top);
}

}  // namespace orin::pm::dialog

using namespace orin::pm::dialog;

HWND ORINAPI WinQueryModalDialogActive() noexcept
{
    return LastDialog();
}
