/*
 * lsp_probe.h - what the Lisp break check needs to know of the window
 * system, as a table of functions that the window layer installs at start
 * (pm/message/msg_lispbreak.cpp).  The interpreter itself does not depend
 * on the window layer: until a table is installed, or after null is
 * installed, it behaves as if no window were active, so no key press ever
 * stops a script.
 */
#ifndef ORIN_LISP_LSP_PROBE_H
#define ORIN_LISP_LSP_PROBE_H

#include <windows.h>

namespace orin::lsp {

struct WindowProbe {
    /* The application's active window, the foreground window and the
     * queue status word: keys held now in the high 16 bits, keys newly
     * held since the previous query in the low 16. */
    void (*queryBreakState)(HWND *active, HWND *foreground, ULONG *queueStatus);
    /* Whether hwnd is parent or lies below it. */
    BOOL (*isChild)(HWND hwnd, HWND parent);
};

/* The queue status bit of Ctrl+Break or Ctrl+C. */
inline constexpr ULONG kQueueBreakBit = 0x1000;

/* Installs the table (kept, not copied); null puts the default back. */
void installWindowProbe(const WindowProbe *probe) noexcept;

}  // namespace orin::lsp

#endif  // ORIN_LISP_LSP_PROBE_H
