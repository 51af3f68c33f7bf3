/*
 * knl_hooks.cpp - the tables of upper-layer services (knl_hooks.h): the
 * defaults that stand for an absent layer, and one atomic pointer per
 * table that installation swaps.  The pointers are constant-initialised,
 * so the defaults are in place before any initialiser runs.
 */
#include <atomic>
#include <cstdlib>
#include "frame/knl_hooks.h"

namespace orin::knl {
namespace {

USHORT noStart() noexcept { return 0; }
void noStop() noexcept {}
bool noClientLocks() noexcept { return false; }

USHORT noClientLock(HANDLE, ULONG, ULONG, BOOL, BOOL *handled) noexcept
{
    *handled = FALSE;
    return 0;
}

USHORT noClientUnlock(HANDLE, ULONG, ULONG, BOOL *handled) noexcept
{
    *handled = FALSE;
    return 0;
}

USHORT notMapped(char *, const char *) noexcept { return ORIN_ERR_GENERAL; }

void noSysFormats(const char *, const char *) noexcept {}

/* Nobody takes the names over: they are freed here. */
template <int Count>
USHORT freeNames(char **names) noexcept
{
    if (names)
        for (int i = 0; i < Count; i++)
            std::free(names[i]);
    return 0;
}

void noYearMax(USHORT) noexcept {}

constexpr NetworkHooks kNoNetwork = {noStart, noStop, noClientLocks, noClientLock,
                                     noClientUnlock};
constexpr NameHooks kNoNames = {notMapped};
constexpr DateHooks kNoDates = {noSysFormats, freeNames<kMonthNames>,
                                freeNames<kDayNames>, noYearMax};

constinit std::atomic<const NetworkHooks *> network{&kNoNetwork};
constinit std::atomic<const NameHooks *> names{&kNoNames};
constinit std::atomic<const DateHooks *> dates{&kNoDates};

}  // namespace

bool installNetworkHooks(const NetworkHooks &hooks) noexcept
{
    network.store(&hooks, std::memory_order_release);
    return true;
}

bool installNameHooks(const NameHooks &hooks) noexcept
{
    names.store(&hooks, std::memory_order_release);
    return true;
}

bool installDateHooks(const DateHooks &hooks) noexcept
{
    dates.store(&hooks, std::memory_order_release);
    return true;
}

const NetworkHooks &networkHooks() noexcept { return *network.load(std::memory_order_acquire); }
const NameHooks &nameHooks() noexcept { return *names.load(std::memory_order_acquire); }
const DateHooks &dateHooks() noexcept { return *dates.load(std::memory_order_acquire); }

}  // namespace orin::knl
