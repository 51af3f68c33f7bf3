/*
 * lsp_brk.cpp - the user-break check of the evaluator.
 *
 * Every call by name asks whether the user pressed Ctrl+Break or Ctrl+C,
 * but the keyboard is looked at no more than every kBreakInterval ms:
 * the first call starts a timer of the process services, and each expiry
 * restarts it.  Calls come by the million, so even the timer is asked
 * only on every 64th of them.  The keys count only while the
 * application's active window is the foreground window or a child of it,
 * so a key pressed for another program never stops a script.
 *
 * The window system is reached only through the installed WindowProbe
 * (lsp_probe.h): the active window, the foreground window and the queue
 * status in one call.  Only a newly pressed Ctrl+Break or Ctrl+C counts
 * (the low word of the status), so one key press stops one evaluation,
 * not every one after it while the key stays down.
 *
 * The timer and the call count belong to the interpreter's one thread;
 * the probe is installed once at start-up.
 */
#include <atomic>
#include "lisp/lspint.h"
#include "lisp/lsp_probe.h"
#include "dos.h"

namespace orin::lsp {

namespace {

constexpr ULONG kBreakInterval = 100;    // ms between two keyboard checks
constexpr ULONG kBreakCallMask = 63;     // the timer is asked on every 64th call

void noWindows(HWND *active, HWND *foreground, ULONG *queueStatus)
{
    *active = nullptr;
    *foreground = nullptr;
    *queueStatus = 0;
}

BOOL neverChild(HWND, HWND)
{
    return FALSE;
}

constexpr WindowProbe kNoWindows{ noWindows, neverChild };
constinit std::atomic<const WindowProbe *> probe{ &kNoWindows };

struct BreakTimer {
    USHORT id;                   // 0 while no interval is running
    ULONG calls;
};
constinit BreakTimer timer{};

}  // namespace

void installWindowProbe(const WindowProbe *p) noexcept
{
    probe.store(p ? p : &kNoWindows, std::memory_order_release);
}

bool lspWinBreakKeyPressed()
{
    const WindowProbe *p = probe.load(std::memory_order_acquire);
    HWND active = nullptr, fg = nullptr;
    ULONG status = 0;
    p->queryBreakState(&active, &fg, &status);
    /* isChild also holds for the window itself */
    if (!active || !fg || !p->isChild(active, fg))
        return false;
    return (status & kQueueBreakBit) != 0;
}

bool lspBreakPending()
{
    if (!timer.id) {
        DosTimerStart(kBreakInterval, &timer.id);
        return false;
    }
    if ((++timer.calls & kBreakCallMask) != 0 || !DosTimerExpired(timer.id))
        return false;
    DosTimerStop(timer.id);
    timer.id = 0;
    DosTimerStart(kBreakInterval, &timer.id);
    return lspWinBreakKeyPressed();
}

void lspBreakTimerStop()
{
    if (timer.id)
        DosTimerStop(timer.id);
    timer.id = 0;
}

}  // namespace orin::lsp
