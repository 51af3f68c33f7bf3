/*
 * knl_hooks.h - services the frame uses from the layers above it, which
 * the frame may not call directly: the network layer (start and stop, the
 * universal name of a mapped drive, the optional client's record locks)
 * and the date tables (system formats, month and day names, the
 * two-digit-year window).
 *
 * Each table is installed once, at start-up, by the source file that
 * defines its functions (a namespace-scope initialiser there), so a
 * program that contains those functions also has the table: always the
 * DLL, and any program linked from the static archive that uses them.
 * Until then the frame uses defaults that act as if the layer were
 * absent: no network, no mapped drives, no client; names handed over are
 * freed.  The tables are read through atomic pointers and never change
 * after installation, so any thread may read them.
 */
#ifndef ORIN_FRAME_KNL_HOOKS_H
#define ORIN_FRAME_KNL_HOOKS_H

#include <cstddef>
#include "orinbase.h"

namespace orin::knl {

/* Network layer start, stop and record locks (shell/net_init.cpp). */
struct NetworkHooks {
    USHORT (*start)() noexcept;
    void (*stop)() noexcept;
    /* Whether record locks go through the optional client. */
    bool (*clientLocks)() noexcept;
    /* Locks through the client; *handled is FALSE when the client does not
     * serve the handle and the caller locks itself. */
    USHORT (*clientLock)(HANDLE h, ULONG offset, ULONG length, BOOL exclusive,
                         BOOL *handled) noexcept;
    USHORT (*clientUnlock)(HANDLE h, ULONG offset, ULONG length, BOOL *handled) noexcept;
};

/* Universal names of mapped drives (shell/net_map.cpp): 0 and the name
 * in out (KNLNAM_MAXPATH bytes), or non-zero when in is not mapped. */
struct NameHooks {
    USHORT (*universalName)(char *out, const char *in) noexcept;
};

/* The date tables (text/dat_tables.cpp).  Name arrays are heap strings
 * that the receiver takes over (kMonthNames month names, full then
 * abbreviated; kDayNames day names, Sunday first); null restores the
 * built-in names.  System templates fit kSysFormatSize bytes. */
inline constexpr int kMonthNames = 24;
inline constexpr int kDayNames = 14;
inline constexpr std::size_t kSysFormatSize = 40;

struct DateHooks {
    void (*setSysFormats)(const char *dateFmt, const char *timeFmt) noexcept;
    USHORT (*setMonthNames)(char **names) noexcept;
    USHORT (*setDayNames)(char **names) noexcept;
    void (*setTwoDigitYearMax)(USHORT year) noexcept;
};

/* Installs a table; it must live as long as the program (a constant). */
bool installNetworkHooks(const NetworkHooks &hooks) noexcept;
bool installNameHooks(const NameHooks &hooks) noexcept;
bool installDateHooks(const DateHooks &hooks) noexcept;

/* The installed tables, or the defaults. */
const NetworkHooks &networkHooks() noexcept;
const NameHooks &nameHooks() noexcept;
const DateHooks &dateHooks() noexcept;

}  // namespace orin::knl

#endif  // ORIN_FRAME_KNL_HOOKS_H
