/*
 * msg_lispbreak.cpp - gives the Lisp interpreter's break check the window
 * layer's answers: the active and foreground windows with the queue
 * status (OwmQueryBreakState) and the child test (WinIsChild).  The table
 * is installed by a static initialiser, so it is in place whenever this
 * object is part of the program: always in the DLL; in a program linked
 * from the static archive whenever the message queue is (its start-up
 * refers to lispBreakProbeInstalled).  Without it the interpreter acts as if no
 * window were active.
 */
#include "lisp/lsp_probe.h"
#include "pm/pmbreak.h"

namespace orin::pm {

namespace {

BOOL isChild(HWND hwnd, HWND parent)
{
    return WinIsChild(hwnd, parent);
}

constexpr lsp::WindowProbe kWindowProbe{ OwmQueryBreakState, isChild };
static_assert(lsp::kQueueBreakBit == PM_QSTAT_BREAK, "the break bit of the queue status");

const bool installed = (lsp::installWindowProbe(&kWindowProbe), true);

}  // namespace

bool lispBreakProbeInstalled() noexcept
{
    return installed;
}

}  // namespace orin::pm
