/*
 * pmbreak.h - what the Lisp break check asks the window layer: the active
 * window, the foreground window and the queue status word (new bits in the
 * low 16, current in the high 16; PM_QSTAT_BREAK marks Ctrl+Break / Ctrl+C).
 * Internal to the library.
 */
#ifndef PMBREAK_H
#define PMBREAK_H

#include "win.h"

#ifdef __cplusplus
extern "C" {
#endif

void OwmQueryBreakState(HWND *active, HWND *foreground, ULONG *queueStatus);

#ifdef __cplusplus
}

namespace orin::pm {
/* Whether the Lisp break check was given the window layer's answers
 * (msg_lispbreak.cpp); message-queue start-up refers to it so that the
 * installer is linked wherever the queue is. */
bool lispBreakProbeInstalled() noexcept;
}  // namespace orin::pm
#endif

#endif /* PMBREAK_H */
