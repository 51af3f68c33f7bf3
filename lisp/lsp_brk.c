/*
 * lsp_brk.c - the user-break check of the evaluator.
 *
 * Every call by name asks whether the user pressed Ctrl+Break or Ctrl+C,
 * but the keyboard is looked at no more than every LSP_BREAK_INTERVAL ms:
 * the first call starts the interval, and each expiry restarts it.  The
 * keys count only while the application's active window is the foreground
 * window or a child of it, so a key pressed for another program never
 * stops a script.
 *
 * lspWinBreakKeyPressed is the one place that talks to the window system;
 * it asks the native window manager directly until the window layer
 * offers its own calls for the active window and the queue status.
 */
#include "lisp/lspint.h"

#define LSP_BREAK_INTERVAL 100   /* ms between two keyboard checks */
#define KEY_PRESSED_SINCE  0x0001
#define KEY_DOWN           0x8000

static BOOL timerRunning;
static ULONGLONG timerStart;

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
    ULONGLONG now = GetTickCount64();
    if (!timerRunning) {
        timerRunning = TRUE;
        timerStart = now;
        return FALSE;
    }
    if (now - timerStart < LSP_BREAK_INTERVAL)
        return FALSE;
    timerStart = now;
    return lspWinBreakKeyPressed();
}

void lspBreakTimerStop(void)
{
    timerRunning = FALSE;
}
