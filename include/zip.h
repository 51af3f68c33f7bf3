/*
 * zip.h - compressed files: whole files deflated into one gzip member or
 * inflated back, and a Vbf back-end that shows a compressed file as if it
 * were plain.
 *
 * Output is always one gzip member (RFC 1952, deflate at level 5).  Input
 * may be gzip (0x1F 0x8B, and the older 0x1F 0x9E; several members in a
 * row), a PKZIP archive holding one entry ("PK" 3 4; stored or deflated),
 * the Huffman pack format (0x1F 0x1E) or the LZW compress format
 * (0x1F 0x9D).  Input that is damaged, or uses a variant the decoders do
 * not know, is refused with 65535 and never decoded into something else.
 *
 * Every call keeps its coder state to itself: different threads may
 * compress and decompress different files at the same time.
 */
#ifndef ZIP_H
#define ZIP_H

#include "vbf.h"

ORIN_BEGIN_DECLS

/* The result of damaged or unsupported input and of a coder failure. */
#define ZIP_ERR_FAILED  0xFFFF

/* decompress: 1 inflates source (any accepted format) into target, which
 * is then cut behind the bytes written and given the source's file times;
 * 0 deflates source into one gzip member in target.  Both handles are
 * used from where the caller left their positions.  Result 0, 65535, or
 * the code of a failed call on either handle. */
USHORT ORINAPI ZipCompressVbfFiles(HVBF source, HVBF target, ULONG decompress) ORIN_NOEXCEPT;

/* The same between two named files (buffered file back-end): the source
 * is opened for reading, the target created or replaced; a target left
 * incomplete by a failure is deleted. */
USHORT ORINAPI ZipCompress(void *nameSpace, const char *sourceName, const char *targetName,
                           ULONG decompress) ORIN_NOEXCEPT;

/* A fresh, full table of the compressed-file back-end (context word =
 * nameSpace, extra word 0), or null when out of memory; the caller frees
 * it with free().  A caller that puts another back-end's table into the
 * extra word (21) has the compressed file itself opened through that
 * table.
 *
 * The back-end inflates the compressed file into a temporary plain file
 * in the system's temporary folder on first use (reads, writes, seeks
 * from the current position or the end, size and file information),
 * works on that file, and deflates it back when a handle that wrote is
 * closed.  Seeks from the start before that only note the position; the
 * length is read from a single gzip member's trailer where that is safe.
 * A file opened with the create/replace flags (0x12) starts empty and is
 * never inflated.  After a failed inflation the handle answers the
 * failure to everything but Close. */
VBFFUNCS *ORINAPI ZipVbfAllocVbfFuncStruct(void *nameSpace) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* ZIP_H */
