/*
 * dde_acks.cpp - acknowledgements that arrive after a request's data.
 *
 * Some hosts' DDE servers answer a request with the data and then post an
 * acknowledgement as well.  Left in the queue, that acknowledgement would
 * be taken as the answer to the conversation's next transaction (a
 * request would fail as "not processed").  The family's transactions are
 * synchronous, so an acknowledgement queued for the conversation's window
 * before a transaction starts can be no answer still wanted: it is
 * removed.  Once one has been seen, the host is known to send them, and
 * after each request's data the family waits for that acknowledgement
 * (it follows at once) so that it cannot slip in after the next
 * transaction has begun.  On a host that sends none, nothing ever waits.
 */
#include <dde.h>
#include "pm/dde/ddeint.h"

namespace orin::dde {

namespace {

constexpr DWORD kTrailingAckWaitMs = 2000;  // the acknowledgement follows the data at once
bool trailingAcksSeen = false;              // process-wide, like the instance

HWND clientWindow(HCONV conv) noexcept
{
    CONVINFO info{};
    info.cb = sizeof info;
    if (conv == nullptr || !DdeQueryConvInfo(conv, QID_SYNC, &info))
        return nullptr;
    return info.hwnd;
}

/* Removes the acknowledgements queued for the window; true when any was. */
bool removeAcks(HWND hwnd) noexcept
{
    bool removed = false;
    MSG msg;
    while (PeekMessageA(&msg, hwnd, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE)) {
        FreeDDElParam(WM_DDE_ACK, msg.lParam);
        removed = true;
    }
    if (removed)
        trailingAcksSeen = true;
    return removed;
}

}  // namespace

void dropStaleAcks(HCONV conv) noexcept
{
    if (HWND hwnd = clientWindow(conv))
        removeAcks(hwnd);
}

void awaitTrailingAck(HCONV conv) noexcept
{
    HWND hwnd = clientWindow(conv);
    if (hwnd == nullptr || removeAcks(hwnd) || !trailingAcksSeen)
        return;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD waited = GetTickCount() - start;
        if (waited >= kTrailingAckWaitMs || !IsWindow(hwnd))
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kTrailingAckWaitMs - waited, QS_POSTMESSAGE);
        if (removeAcks(hwnd))
            return;
    }
}

}  // namespace orin::dde
