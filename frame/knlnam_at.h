/*
 * knlnam_at.h - reads and writes at a file offset, each one system call.
 *
 * A seek followed by a read or write costs two trips into the system; the
 * native transfer calls take the offset with them and cost one.  Files
 * opened by KnlNamOpen are disk files opened for synchronous transfers,
 * for which the native calls behave as the seek and transfer would: end
 * of file reads 0 bytes, a write past the end extends the file, byte-range
 * locks and a full disk give the same error codes, and the handle's own
 * pointer ends after the bytes moved.  Where the native calls cannot be
 * found the helpers seek and transfer.
 *
 * A file that is only ever read and written at offsets can be opened with
 * openForTransfersAt: its handle then keeps no pointer for transfers
 * (an overlapped handle), which spares the system moving one after each
 * transfer - a second system call on some hosts.  Seeks on it still set
 * and answer a pointer (a length is asked with a seek to the end), sizes,
 * locks, file information and mapped views work as on any handle, but
 * only readAt and writeAt may move data through it.
 */
#ifndef ORIN_FRAME_KNLNAM_AT_H
#define ORIN_FRAME_KNLNAM_AT_H

#include "knlnam.h"

namespace orin::knlnam {

/* Reads up to count bytes at offset; *done gets the bytes read (0 at or
 * past the end).  0 or the system's error code. */
USHORT readAt(KNLHFILE h, ULONG offset, void *buffer, ULONG count, ULONG *done) noexcept;

/* Writes count bytes at offset; *done gets the bytes written. */
USHORT writeAt(KNLHFILE h, ULONG offset, const void *buffer, ULONG count, ULONG *done) noexcept;

/* KnlNamOpen for transfers through readAt and writeAt only; *atOnly says
 * whether the handle is one without a transfer pointer (where the native
 * calls are missing it is an ordinary one). */
USHORT openForTransfersAt(const char *name, KNLHFILE *handle, ULONG *action, ULONG size,
                          ULONG attribute, ULONG openFlags, ULONG openMode, bool *atOnly) noexcept;

}  // namespace orin::knlnam

#endif /* ORIN_FRAME_KNLNAM_AT_H */
