/*
 * lsp_brk.c - the user-break check of the evaluator.
 *
 * Every call by name asks whether the user pressed Ctrl+Break or Ctrl+C,
 * but the keyboard is looked at no more than every LSP_BREAK_INTERVAL ms:
 * the first call starts a timer of the process services, and each expiry
 * restarts it.  Calls come by the million, so even the timer is asked
 * only on every 64th of them.  The
 * keys count only while the application's active window is the foreground
 * window or a child of it, so a key pressed for another program never
 * stops a script.
 *
 * lspWinBreakKeyPressed is the one place that talks to the window system:
 * it asks the window layer for the active window, the foreground window
 * and the queue status in one call.  The queue status carries the keys
 * held now in its high word and those newly held since the previous
 * query in its low word; only a newly pressed Ctrl+Break or Ctrl+C
 * counts, so one key press stops one evaluation, not every one after it
 * while the key stays down.
 */
#include "lisp/lspint.h"
#include "pm/pmbreak.h"
#include "dos.h"

#define LSP_BREAK_INTERVAL 100   /* ms between two keyboard checks */

#define LSP_BREAK_CALL_MASK 63   /* the timer is asked on every 64th call */

static USHORT timerId;           /* 0 while no interval is running */
static ULONG calls;

BOOL lspWinBreakKeyPressed(void)
{
    HWND active = NULL, fg = NULL;
    ULONG status = 0;
    OwmQueryBreakState(&active, &fg, &status);
    /* WinIsChild also holds for the window itself. */
    if (!active || !fg || !WinIsChild(active, fg))
        return FALSE;
    return (status & PM_QSTAT_BREAK) != 0;
}

BOOL lspBreakPending(void)
{
    if (!timerId) {
        DosTimerStart(LSP_BREAK_INTERVAL, &timerId);
        return FALSE;
    }
    if ((++calls & LSP_BREAK_CALL_MASK) != 0 || !DosTimerExpired(timerId))
        return FALSE;
    DosTimerStop(timerId);
    timerId = 0;
    DosTimerStart(LSP_BREAK_INTERVAL, &timerId);
    return lspWinBreakKeyPressed();
}

void lspBreakTimerStop(void)
{
    if (timerId)
        DosTimerStop(timerId);
    timerId = 0;
}
