/*
 * ixd.h - Ixd index files: a single-file B-tree mapping fixed-length keys
 * to 32-bit record numbers, reached through a virtual file (vbf.h).
 *
 * A stored key is the caller's key followed by the record number as a
 * little-endian u32; stored keys are unique and ordered by memcmp, so equal
 * keys are ordered by the bytes of their record numbers.  A handle keeps a
 * remembered position for the navigation calls, a small node cache, and
 * can share the file with other processes through one byte-range lock and
 * a version counter in the file header.
 *
 * Calls return 0 on success and IXD_FAILED (65535) on failure, with the
 * error code stored through the last argument when it is not null.  A
 * handle may instead come from another implementation: when its first
 * field points to an IXDFUNCS table that covers a call's slot, the call is
 * forwarded there with the same arguments.  A handle this family made and
 * closed, and a handle of any other family of the library (a profile, a
 * virtual file, ...), is never taken for another implementation's: calls
 * on it fail with error 6 (invalid handle).  Different handles may be used from
 * different threads at once.
 */
#ifndef IXD_H
#define IXD_H

#include "orinbase.h"
#include "vbf.h"

ORIN_BEGIN_DECLS

/* Error codes of the family. */
#define IXD_ERR_NO_MEMORY      57544   /* out of memory */
#define IXD_ERR_OPEN           57545   /* file cannot be opened */
#define IXD_ERR_LOCK           57546   /* index lock not obtained */
#define IXD_ERR_IO             57547   /* header or node read/write failed */
#define IXD_ERR_BAD_FILE       57548   /* bad magic, key length, or inconsistent */
#define IXD_ERR_CREATE         57549   /* file cannot be created */
#define IXD_ERR_DUPLICATE      57550   /* (key, record) already present */
#define IXD_ERR_TOO_DEEP       57551   /* tree would exceed IXD_MAX_HEIGHT levels */
#define IXD_ERR_NOT_FOUND      57552   /* key not found, or end of index */
#define IXD_ERR_KEY_VANISHED   57553   /* current key gone; moved to its neighbour */
#define IXD_ERR_USER_RANGE     57554   /* user-area position out of range */
#define IXD_ERR_NODE_SIZE      57555   /* node too small or key too long */
#define IXD_ERR_UNLOCK         57557   /* index lock could not be released */

#define IXD_FAILED             65535   /* result of a failed call */

#define IXD_DEFAULT_NODE_SIZE  4096
#define IXD_MIN_NODE_SIZE      20
#define IXD_MAX_HEIGHT         64
#define IXD_DEFAULT_CACHE      50      /* cache slots of a new handle */
#define IXD_MAX_CACHE          1000    /* larger requests fall back to the default */
#define IXD_CACHE_BYTES        60000   /* upper bound of one handle's cache */

/* Counter selection bits of IxdQueryPerformanceCounter. */
#define IXD_COUNT_CACHE_HITS   1
#define IXD_COUNT_CACHE_FAILS  2
#define IXD_COUNT_NODE_READS   4
#define IXD_COUNT_NODE_WRITES  8

/* Position methods of IxdUserSetPos. */
#define IXD_USER_BEGIN         0       /* absolute */
#define IXD_USER_CURRENT       1       /* relative to the position */
#define IXD_USER_END           2       /* end - 1 + value */

/* Index handle; opaque except that its first field is the operation table
 * (null for handles made by this family). */
typedef struct _IX IX, *PIX;

/* Operation table of a foreign implementation: its own size in bytes, then
 * one slot per call.  A slot is used when cb covers it and it is filled. */
typedef struct _IXDFUNCS {
    ULONG_PTR cb;
    void    (*Close)(PIX ix);
    USHORT  (*Enter)(PIX ix, const void *key, ULONG record, ULONG *error);
    USHORT  (*Remove)(PIX ix, const void *key, ULONG record, ULONG *error);
    USHORT  (*RemoveKey)(PIX ix, const void *storedKey, ULONG *error);
    USHORT  (*SearchBack)(PIX ix, const void *key, void *outKey, ULONG *record, ULONG *error);
    USHORT  (*GetNrRecords)(PIX ix, const char *prefix, ULONG *count);
    USHORT  (*Search)(PIX ix, const void *key, void *outKey, ULONG *record, ULONG *error);
    USHORT  (*SearchID)(PIX ix, const void *key, ULONG record, void *outKey, ULONG *outRecord,
                        ULONG *error);
    USHORT  (*Retrieve)(PIX ix, const void *key, ULONG record, ULONG *error);
    USHORT  (*First)(PIX ix, void *outKey, ULONG *record, ULONG *error);
    USHORT  (*Last)(PIX ix, void *outKey, ULONG *record, ULONG *error);
    USHORT  (*Next)(PIX ix, void *outKey, ULONG *record, ULONG *error);
    USHORT  (*Prev)(PIX ix, void *outKey, ULONG *record, ULONG *error);
    USHORT  (*Skipkey)(PIX ix, SHORT count, void *outKey, ULONG *record, ULONG *error);
    USHORT  (*QueryNrKeys)(PIX ix, ULONG *count, ULONG *error);
    USHORT  (*QueryTreeChanged)(PIX ix, ULONG *changed, ULONG *error);
    USHORT  (*QueryTreeVersion)(PIX ix, USHORT *version, ULONG *error);
    USHORT  (*QueryKeyBufLength)(PIX ix);
    USHORT  (*QueryKeyLength)(PIX ix);
    USHORT  (*QueryCurrentKey)(PIX ix, void *buffer, USHORT size);
    ULONG   (*SequenceNumber)(PIX ix);
    USHORT  (*ChangeIndexMode)(PIX ix, ULONG shared, USHORT cacheSize);
    ULONG   (*QueryPerformanceCounter)(PIX ix, ULONG mask, ULONG reset);
} IXDFUNCS, *PIXDFUNCS;

/* Opening and closing.  funcs selects the virtual-file back-end (null: the
 * buffered file back-end on the default name space); nodeSize 0 means
 * IXD_DEFAULT_NODE_SIZE. */
PIX    ORINAPI IxdCreate(const char *fileName, USHORT keyLength, ULONG shared, USHORT nodeSize,
                         ULONG userAreaSize, VBFFUNCS *funcs, ULONG *error) ORIN_NOEXCEPT;
PIX    ORINAPI IxdOpen(const char *fileName, USHORT keyLength, ULONG shared, VBFFUNCS *funcs,
                       ULONG *error) ORIN_NOEXCEPT;
void   ORINAPI IxdClose(PIX ix) ORIN_NOEXCEPT;
USHORT ORINAPI IxdQueryKeySize(const char *fileName, ULONG *error) ORIN_NOEXCEPT;

/* Changes. */
USHORT ORINAPI IxdEnter(PIX ix, const void *key, ULONG record, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdRemove(PIX ix, const void *key, ULONG record, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdRemoveKey(PIX ix, const void *storedKey, ULONG *error) ORIN_NOEXCEPT;

/* Positioning and stepping; outKey may be null. */
USHORT ORINAPI IxdSearch(PIX ix, const void *key, void *outKey, ULONG *record, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdSearchID(PIX ix, const void *key, ULONG record, void *outKey,
                           ULONG *outRecord, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdSearchBack(PIX ix, const void *key, void *outKey, ULONG *record,
                             ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdRetrieve(PIX ix, const void *key, ULONG record, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdFirst(PIX ix, void *outKey, ULONG *record, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdLast(PIX ix, void *outKey, ULONG *record, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdNext(PIX ix, void *outKey, ULONG *record, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdPrev(PIX ix, void *outKey, ULONG *record, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdSkipkey(PIX ix, SHORT count, void *outKey, ULONG *record, ULONG *error) ORIN_NOEXCEPT;

/* Queries. */
USHORT ORINAPI IxdGetNrRecords(PIX ix, const char *prefix, ULONG *count) ORIN_NOEXCEPT;
USHORT ORINAPI IxdQueryNrKeys(PIX ix, ULONG *count, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdQueryTreeChanged(PIX ix, ULONG *changed, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdQueryTreeVersion(PIX ix, USHORT *version, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdQueryKeyBufLength(PIX ix) ORIN_NOEXCEPT;
USHORT ORINAPI IxdQueryKeyLength(PIX ix) ORIN_NOEXCEPT;
USHORT ORINAPI IxdQueryCurrentKey(PIX ix, void *buffer, USHORT size) ORIN_NOEXCEPT;

/* Modes, cache and counters. */
USHORT ORINAPI IxdChandeIndexMode(PIX ix, ULONG shared, USHORT cacheSize) ORIN_NOEXCEPT;
ULONG  ORINAPI IxdQueryPerformanceCounter(PIX ix, ULONG mask, ULONG reset) ORIN_NOEXCEPT;
USHORT ORINAPI IxdSetCacheSize(USHORT slots) ORIN_NOEXCEPT;
ULONG  ORINAPI IxdAllowReadlock(ULONG allow) ORIN_NOEXCEPT;

/* The user area: a byte range reserved for the owner of the index, read
 * and written at a per-handle position. */
USHORT ORINAPI IxdUserSetPos(PIX ix, LONG value, ULONG method, ULONG *newPos, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdUserRead(PIX ix, void *buffer, ULONG count, ULONG *done, ULONG *error) ORIN_NOEXCEPT;
USHORT ORINAPI IxdUserWrite(PIX ix, const void *buffer, ULONG count, ULONG *done,
                            ULONG *error) ORIN_NOEXCEPT;
ULONG  ORINAPI IxdUserQuerySize(PIX ix) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* IXD_H */
