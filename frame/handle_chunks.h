/*
 * handle_chunks.h - the memory of every family's handle records, seen as
 * one set of address ranges.
 *
 * Each HandlePool notes the chunks it allocates here (chunks are never
 * given back).  A family that accepts handles of other implementations -
 * a pointer to an object whose first field is a table of operations - asks
 * whether a value lies in any family's records before it reads through
 * it: such a value is this library's own handle of some family (a profile
 * passed as an index, say), never another implementation's object, and is
 * refused as a bad handle.
 *
 * Lookups take no lock.  Writers take a lock; a range is complete before
 * the count that publishes it moves.  When the table is full, later chunks
 * are not noted and values in them are not recognised (kMaxRanges is far
 * above what the families allocate: 40 chunks of growing size per pool).
 */
#ifndef ORIN_FRAME_HANDLE_CHUNKS_H
#define ORIN_FRAME_HANDLE_CHUNKS_H

#include <cstddef>

namespace orin {

/* Notes [base, base + bytes) as handle-record memory. */
void noteHandleChunk(const void *base, std::size_t bytes) noexcept;

/* Whether p lies in the handle-record memory of any family. */
bool inHandleChunk(const void *p) noexcept;

}  // namespace orin

#endif  // ORIN_FRAME_HANDLE_CHUNKS_H
