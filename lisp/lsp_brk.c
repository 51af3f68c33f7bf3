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
 * lspWinBreakKeyPressed is the one place that talks to the window system;
 * it asks the native window manager directly until the window layer
 * offers its own calls for the active window and the queue status.
 */
#include "lisp/lspint.h"
#include "dos.h"

#define LSP_BREAK_INTERVAL 100   /* ms between two keyboard checks */
#define KEY_PRESSED_SINCE  0x0001
#define KEY_DOWN           0x8000

#define LSP_BREAK_CALL_MASK 63   /* the timer is asked on every 64th call */

static USHORT timerId;           /* 0 while no interval is running */
static ULONG calls;

BOOL lspWinBreakKeyPressed(void)
{
    HWND active = GetActiveWindow();
    HWND fg = GetForegroundWindow();
    BOOL ctrlC;
    if (!active || !fg || (active != fg && !IsChild(fg, active)))
        return FALSE;
    ctrlC = (GetAsyncKeyState(VK_CONTROL) & KEY_DOWN) && (GetAsyncKeyState('C') & KEY_PRESSED_SINCE);
    return (GetAsyncKeyState(VK_CANCEL) & KEY_PRESSED_SINCE) || ctrlC;
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
