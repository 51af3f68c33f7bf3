/*
 * vbfint.h - the Vbf handle record, the pool that hands it out, and the
 * helpers shared by the virtual-file sources.  Not part of the exported
 * interface.
 *
 * A Vbf handle is the address of a _VBF record in orin::vbf::handles, so
 * every call can decide from the value alone whether it names a live
 * handle.  The record points at its table of operations: a caller's table,
 * which it only borrows, or one of the library's constant tables (the
 * buffered files it opens by default, the stream adapter).
 */
#ifndef VBFINT_H
#define VBFINT_H

#include <cstddef>
#include <cstdint>
#include "vbf.h"
#include "frame/handle_pool.h"

/* The interface records are shared with callers written against vbf.h:
 * their layout is fixed. */
static_assert(sizeof(VBFFUNCS) == VBF_FUNCS_SIZE, "VBFFUNCS is 22 pointer-sized words");
static_assert(offsetof(VBFFUNCS, Open) == 16 && offsetof(VBFFUNCS, UnmapViewOfFile) == 160 &&
                  offsetof(VBFFUNCS, extra) == 168,
              "VBFFUNCS words keep their places");
static_assert(sizeof(VBFFILESTATUS) == VBF_FILESTATUS_SIZE, "level-1 file status is 34 bytes");
static_assert(sizeof(FILELOCK) == 12, "a lock range is three 32-bit words");

/* The handle record. */
struct _VBF {
    const VBFFUNCS *table;                    /* never null */
    void *backend = nullptr;                  /* what the table's Open produced */
};

namespace orin::vbf {

/* Every live Vbf handle. */
inline HandlePool<_VBF> handles;

/* The slot `Slot` of a table, or null when the table's length word does
 * not reach past it or the slot is empty. */
template <auto Slot>
auto slotOf(const VBFFUNCS *t) noexcept
{
    auto at = reinterpret_cast<std::uintptr_t>(&(t->*Slot)) - reinterpret_cast<std::uintptr_t>(t);
    return t->cb >= at + sizeof(t->*Slot) ? t->*Slot : nullptr;
}

/* Builds a live handle around an existing back-end handle and one of the
 * library's tables; null when out of memory. */
HVBF wrapBackend(const VBFFUNCS *table, void *backend) noexcept;

/* FAT date and time words as the file-status record holds them: the date
 * is day | month << 5 | (year - 1900) mod 128 << 9 (0 outside 1980..2107),
 * the time seconds / 2 | minute << 5 | hour << 11, both in local time. */
void fileTimeToFat(const FILETIME &utc, ULONG *fatDate, ULONG *fatTime) noexcept;
FILETIME fatToFileTime(ULONG fatDate, ULONG fatTime) noexcept;

}  // namespace orin::vbf

#endif /* VBFINT_H */
