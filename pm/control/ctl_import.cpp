/*
 * ctl_import.cpp - the import/export buffer of multi-line edits: one
 * process-wide buffer (pointer and usable size: the size given minus one
 * byte for a terminating zero), set by 0x1C2, read by import (0x1C3) and
 * written by export (0x1C4).  Like the other PM tables it belongs to the
 * GUI thread and is not locked.
 *
 * Import inserts at most `usable size` bytes of the buffer at a 32-bit
 * insertion point (0xFFFFFFFF: at the current selection) and moves the
 * point behind the inserted text.  Export copies at most `usable size`
 * bytes of the control's text from a 32-bit start point (0xFFFFFFFF: the
 * selection start) to the buffer, zero-terminated, moves the start point
 * behind them and tells through the count word whether the copy crossed a
 * line.
 *
 * Choices: without a buffer (never set, null, or a size of 0) and with a
 * null point or count pointer both answer 0 with ORIN_ERR_INVALID_PARAM
 * and leave the control alone.
 */
#include <algorithm>
#include <cstring>
#include <vector>
#include "pm/control/ctlint.h"

namespace orin::pm::ctl {
namespace {

constexpr ULONG kAtSelection = 0xFFFFFFFFUL;

struct TransferBuffer {
    char *data = nullptr;
    ULONG bytes = 0;                    // as given
    ULONG usable() const noexcept { return bytes ? bytes - 1 : 0; }
    bool valid() const noexcept { return data && bytes; }
};

TransferBuffer transfer;

MRESULT refuse() noexcept
{
    SetLastError(ORIN_ERR_INVALID_PARAM);
    return nullptr;
}

DWORD selectionStart(HWND hwnd) noexcept
{
    DWORD start = 0, end = 0;
    sendNative(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start;
}

DWORD selectionEnd(HWND hwnd) noexcept
{
    DWORD start = 0, end = 0;
    sendNative(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return end;
}

LRESULT lineOf(HWND hwnd, ULONG pos) noexcept
{
    return sendNative(hwnd, EM_LINEFROMCHAR, pos, 0);
}

/* Zero-terminates the first k bytes of the buffer for the time of the
 * insertion and puts the byte back afterwards. */
class TemporaryEnd {
public:
    TemporaryEnd(char *data, ULONG k) noexcept : at_(data + k), saved_(*at_) { *at_ = '\0'; }
    ~TemporaryEnd() { *at_ = saved_; }
    TemporaryEnd(const TemporaryEnd &) = delete;
    TemporaryEnd &operator=(const TemporaryEnd &) = delete;

private:
    char *at_;
    char saved_;
};

}  // namespace

MRESULT actSetImportExport(const Call &call, const Row &)
{
    transfer.data = static_cast<char *>(call.mp1);
    transfer.bytes = call.low2();
    return mresult(1);
}

MRESULT actImport(const Call &call, const Row &)
{
    auto *point = static_cast<ULONG *>(call.mp1);
    if (!point || !transfer.valid())
        return refuse();
    ULONG k = std::min<ULONG>(transfer.usable(), call.low2());
    // Invariant: byte k lies inside the buffer (k <= bytes - 1).
    {
        TemporaryEnd end(transfer.data, k);
        if (*point != kAtSelection)
            sendNative(call.hwnd, EM_SETSEL, *point, *point);
        sendNative(call.hwnd, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(transfer.data));
    }
    *point = selectionEnd(call.hwnd);
    return mresult(k);
}

MRESULT actExport(const Call &call, const Row &)
{
    auto *start = static_cast<ULONG *>(call.mp1);
    auto *count = static_cast<ULONG *>(call.mp2);
    if (!start || !count || !transfer.valid())
        return refuse();
    ULONG s = *start == kAtSelection ? selectionStart(call.hwnd) : *start;
    ULONG want = std::min<ULONG>(transfer.usable(), *count);
    LRESULT len = sendNative(call.hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (len < 0)
        len = 0;
    ULONGLONG needed = static_cast<ULONGLONG>(s) + want + 1;
    std::vector<char> temp;
    char *text = transfer.data;
    WPARAM fetch = static_cast<WPARAM>(needed);
    if (needed > transfer.bytes) {
        temp.assign(static_cast<size_t>(len) + 1, '\0');
        text = temp.data();
        fetch = temp.size();
    }
    LRESULT got = sendNative(call.hwnd, WM_GETTEXT, fetch, reinterpret_cast<LPARAM>(text));
    ULONG available = got > static_cast<LRESULT>(s) ? static_cast<ULONG>(got - s) : 0;
    ULONG k = std::min(want, available);
    if (k)
        std::memmove(transfer.data, text + s, k);
    // Invariant: k <= usable size, so the terminating zero stays inside the buffer.
    transfer.data[k] = '\0';
    *count = (k && lineOf(call.hwnd, s) != lineOf(call.hwnd, s + k - 1)) ? 1 : 0;
    *start = s + k;
    return mresult(k);
}

}  // namespace orin::pm::ctl
