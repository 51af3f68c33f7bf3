/*
 * dos_timer.c - countdown timers polled by the caller.
 *
 * A process-wide table of 100 slots holds, per timer, an in-use flag and
 * the due time in milliseconds of the system tick clock.  An id is the
 * slot number plus 1; id 0 means none.  Nothing fires: callers ask whether
 * a timer has expired or how long remains.  Remaining times are computed
 * as signed differences, so the clock's wrap after 49.7 days does no harm.
 * DosTimerInit clears the table only on its first use; later calls and
 * DosTimerTerm only count.
 */
#include <string.h>
#include "dos.h"

#define TIMER_TERM_UNBALANCED 0xFFFF

typedef struct _TIMERSLOT {
    ULONG inUse;
    ULONG due;
} TIMERSLOT;

static TIMERSLOT timers[DOS_TIMER_COUNT];
static ULONG useCount;

static ULONG now(void)
{
    return GetTickCount();
}

static ULONG remaining(const TIMERSLOT *t)
{
    LONG left = (LONG)(t->due - now());
    return left > 0 ? (ULONG)left : 0;
}

/* The slot of a valid id in use, or NULL. */
static TIMERSLOT *slotOf(USHORT id)
{
    if (id == 0 || id > DOS_TIMER_COUNT || !timers[id - 1].inUse)
        return NULL;
    return &timers[id - 1];
}

USHORT ORINAPI DosTimerInit(void) noexcept
{
    if (useCount == 0)
        memset(timers, 0, sizeof timers);
    useCount++;
    return 0;
}

USHORT ORINAPI DosTimerReinit(void) noexcept
{
    useCount++;
    return 0;
}

USHORT ORINAPI DosTimerTerm(void) noexcept
{
    if (useCount == 0)
        return TIMER_TERM_UNBALANCED;
    return (USHORT)--useCount;
}

USHORT ORINAPI DosTimerStart(ULONG ms, USHORT *id) noexcept
{
    USHORT i;
    if (!id)
        return ORIN_ERR_INVALID_PARAM;
    for (i = 0; i < DOS_TIMER_COUNT; i++) {
        if (!timers[i].inUse) {
            timers[i].inUse = 1;
            timers[i].due = now() + ms;
            *id = (USHORT)(i + 1);
            return 0;
        }
    }
    *id = 0;
    return DOS_ERR_NO_TIMER;
}

USHORT ORINAPI DosTimerStop(USHORT id) noexcept
{
    TIMERSLOT *t = slotOf(id);
    if (!t)
        return DOS_ERR_INVALID_TIMER;
    t->inUse = 0;
    return 0;
}

USHORT ORINAPI DosTimerRead(USHORT id, ULONG *ms) noexcept
{
    TIMERSLOT *t = slotOf(id);
    if (ms)
        *ms = 0;
    if (!t)
        return DOS_ERR_INVALID_TIMER;
    if (!ms)
        return ORIN_ERR_INVALID_PARAM;
    *ms = remaining(t);
    return 0;
}

USHORT ORINAPI DosTimerExpired(USHORT id) noexcept
{
    TIMERSLOT *t = slotOf(id);
    return !t || remaining(t) == 0;
}

USHORT ORINAPI DosTimerQueryFirst(ULONG *ms) noexcept
{
    ULONG best = 0;
    int found = 0, i;
    for (i = 0; i < DOS_TIMER_COUNT; i++) {
        if (timers[i].inUse) {
            ULONG left = remaining(&timers[i]);
            if (!found || left < best)
                best = left;
            found = 1;
        }
    }
    if (ms)
        *ms = best;
    return (USHORT)found;
}
