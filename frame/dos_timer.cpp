/*
 * dos_timer.cpp - countdown timers polled by the caller.
 *
 * A process-wide table of DOS_TIMER_COUNT slots holds, per timer, an
 * in-use flag and the due time in milliseconds of the system tick clock.
 * An id is the slot number plus 1; id 0 means none, and an id out of range
 * or of a slot not in use is refused with DOS_ERR_INVALID_TIMER.  Nothing
 * fires: callers ask whether a timer has expired or how long remains.
 * Remaining times are computed as signed differences, so the clock's wrap
 * after 49.7 days does no harm.  DosTimerInit clears the table only on its
 * first use; later calls and DosTimerTerm only count.
 *
 * The table and the count belong to one object and every call takes its
 * lock, so threads may start, read and stop timers at once.
 */
#include <array>
#include <mutex>
#include "dos.h"
#include "frame/scope.h"

namespace orin::dos {
namespace {

constexpr USHORT kTermUnbalanced = 0xFFFF;

struct TimerSlot {
    bool inUse = false;
    ULONG due = 0;
};

ULONG now() noexcept
{
    return GetTickCount();
}

ULONG remaining(const TimerSlot &t) noexcept
{
    LONG left = static_cast<LONG>(t.due - now());
    return left > 0 ? static_cast<ULONG>(left) : 0;
}

class TimerTable {
public:
    std::unique_lock<SlimLock> lock() noexcept { return std::unique_lock<SlimLock>(lock_); }

    /* The slot of a valid id in use, or null; call with the lock held. */
    TimerSlot *slotOf(USHORT id) noexcept
    {
        if (id == 0 || id > slots_.size() || !slots_[id - 1].inUse)
            return nullptr;
        return &slots_[id - 1];
    }

    std::array<TimerSlot, DOS_TIMER_COUNT> slots_{};
    ULONG useCount_ = 0;

private:
    SlimLock lock_;
};

constinit TimerTable table;

}  // namespace
}  // namespace orin::dos

using namespace orin::dos;

USHORT ORINAPI DosTimerInit(void) noexcept
{
    auto held = table.lock();
    if (table.useCount_ == 0)
        table.slots_.fill(TimerSlot{});
    table.useCount_++;
    return 0;
}

USHORT ORINAPI DosTimerReinit(void) noexcept
{
    auto held = table.lock();
    table.useCount_++;
    return 0;
}

USHORT ORINAPI DosTimerTerm(void) noexcept
{
    auto held = table.lock();
    if (table.useCount_ == 0)
        return kTermUnbalanced;
    return static_cast<USHORT>(--table.useCount_);
}

USHORT ORINAPI DosTimerStart(ULONG ms, USHORT *id) noexcept
{
    if (!id)
        return ORIN_ERR_INVALID_PARAM;
    auto held = table.lock();
    for (std::size_t i = 0; i < table.slots_.size(); i++) {
        TimerSlot &t = table.slots_[i];
        if (!t.inUse) {
            t.inUse = true;
            t.due = now() + ms;
            *id = static_cast<USHORT>(i + 1);
            return 0;
        }
    }
    *id = 0;
    return DOS_ERR_NO_TIMER;
}

USHORT ORINAPI DosTimerStop(USHORT id) noexcept
{
    auto held = table.lock();
    TimerSlot *t = table.slotOf(id);
    if (!t)
        return DOS_ERR_INVALID_TIMER;
    t->inUse = false;
    return 0;
}

USHORT ORINAPI DosTimerRead(USHORT id, ULONG *ms) noexcept
{
    if (ms)
        *ms = 0;
    auto held = table.lock();
    TimerSlot *t = table.slotOf(id);
    if (!t)
        return DOS_ERR_INVALID_TIMER;
    if (!ms)
        return ORIN_ERR_INVALID_PARAM;
    *ms = remaining(*t);
    return 0;
}

USHORT ORINAPI DosTimerExpired(USHORT id) noexcept
{
    auto held = table.lock();
    TimerSlot *t = table.slotOf(id);
    return !t || remaining(*t) == 0;
}

USHORT ORINAPI DosTimerQueryFirst(ULONG *ms) noexcept
{
    ULONG best = 0;
    bool found = false;
    auto held = table.lock();
    for (const TimerSlot &t : table.slots_) {
        if (t.inUse) {
            ULONG left = remaining(t);
            if (!found || left < best)
                best = left;
            found = true;
        }
    }
    if (ms)
        *ms = best;
    return found ? 1 : 0;
}
