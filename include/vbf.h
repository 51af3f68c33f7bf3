/*
 * vbf.h - virtual files: one handle through which the storage families
 * read and write bytes without knowing where the bytes live.
 *
 * Behind each Vbf handle stand a table of operations (VBFFUNCS, 22
 * pointer-sized words) and one back-end handle.  The first word of the
 * table holds its own length in bytes; a slot counts as present only when
 * the length covers it (slot offset + 8 <= length) and the slot is not
 * null, so older or partial back-ends may hand out shorter tables.  The
 * public Vbf calls are thin dispatchers: they answer 50 (not supported)
 * for an absent slot and otherwise return the slot's result unchanged.
 * A null, closed or made-up handle answers 6 (invalid handle).
 *
 * Offsets and sizes at this layer are 32-bit.
 */
#ifndef VBF_H
#define VBF_H

#include "orinbase.h"
#include <objidl.h>
#include "knlnam.h"

ORIN_BEGIN_DECLS

/* Lock ranges (FILELOCK: offset, length and, for a range to lock, a
 * word selecting an exclusive lock when non-zero) are the records of the
 * file calls in knlnam.h. */

/* Level-1 file status record of QFileInfo / SetFileInfo: each date and
 * time is a 16-bit FAT value held in a 32-bit word.  34 bytes. */
#define VBF_INFO_LEVEL_STANDARD  1
#pragma pack(push, 2)
typedef struct _VBFFILESTATUS {
    ULONG  fdateCreation;
    ULONG  ftimeCreation;
    ULONG  fdateLastAccess;
    ULONG  ftimeLastAccess;
    ULONG  fdateLastWrite;
    ULONG  ftimeLastWrite;
    ULONG  cbFile;
    ULONG  cbFileAlloc;
    USHORT attrFile;
} VBFFILESTATUS;
#pragma pack(pop)
#define VBF_FILESTATUS_SIZE  34

/* ChgFilePtr methods. */
#define VBF_FILE_BEGIN    0
#define VBF_FILE_CURRENT  1
#define VBF_FILE_END      2

/* Open words passed through to the back-end: attribute, open flags and
 * open mode of the operating-system open. */
#define VBF_ATTR_NORMAL          128   /* ordinary disk file */
#define VBF_ATTR_READONLY        129
#define VBF_OPEN_EXISTING        0x01
#define VBF_OPEN_OR_CREATE       0x11
#define VBF_CREATE_OR_REPLACE    0x12
#define VBF_OPEN_ALWAYS          0x13
#define VBF_MODE_READ            0x00
#define VBF_MODE_WRITE           0x01
#define VBF_MODE_READWRITE       0x02
#define VBF_SHARE_DENY_ALL       0x10
#define VBF_SHARE_DENY_WRITE     0x20
#define VBF_SHARE_DENY_NONE      0x40

/* Result of every failure of an IStream-backed handle. */
#define VBF_ERR_STREAM           0xFFFF

/* Slot signatures; the back-end handle comes first (pointer-sized). */
typedef USHORT (*PFNVBFOPEN)(ULONG_PTR context, const char *fileName, void **backend,
                             ULONG *action, ULONG initialSize, ULONG attribute,
                             ULONG openFlags, ULONG openMode, ULONG_PTR extra);
typedef USHORT (*PFNVBFCLOSE)(void *h);
typedef USHORT (*PFNVBFCHGFILEPTR)(void *h, LONG distance, ULONG method, ULONG *newPos);
typedef USHORT (*PFNVBFREAD)(void *h, void *buffer, ULONG count, ULONG *done);
typedef USHORT (*PFNVBFWRITE)(void *h, const void *buffer, ULONG count, ULONG *done);
typedef USHORT (*PFNVBFGETCH)(void *h, BYTE *ch);
typedef USHORT (*PFNVBFGETS)(void *h, char *buffer, ULONG size, ULONG *consumed);
typedef USHORT (*PFNVBFFLUSH)(void *h);
typedef USHORT (*PFNVBFFILELOCKS)(void *h, FILELOCK *unlockRange, FILELOCK *lockRange);
typedef ULONG  (*PFNVBFTELL)(void *h);
typedef USHORT (*PFNVBFQUERYLENGTH)(void *h, ULONG *length);
typedef USHORT (*PFNVBFNEWSIZE)(void *h, ULONG newLength);
typedef USHORT (*PFNVBFQUERYFILENAME)(void *h, char *buffer, ULONG size);
typedef USHORT (*PFNVBFFILEINFO)(void *h, ULONG level, void *buffer, ULONG size);
typedef USHORT (*PFNVBFMAPVIEW)(void *h, void **view, ULONG bytes, ULONG offsetHigh,
                                ULONG offsetLow);
typedef USHORT (*PFNVBFUNMAPVIEW)(void *h);

/* The table of operations, word by word (176 bytes when full). */
typedef struct _VBFFUNCS {
    ULONG_PTR           cb;               /*  0 length of this table in bytes */
    ULONG_PTR           context;          /*  1 first argument of Open */
    PFNVBFOPEN          Open;             /*  2 */
    PFNVBFCLOSE         Close;            /*  3 */
    PFNVBFCHGFILEPTR    ChgFilePtr;       /*  4 */
    PFNVBFREAD          Read;             /*  5 */
    PFNVBFREAD          ReadDirect;       /*  6 */
    PFNVBFWRITE         Write;            /*  7 */
    PFNVBFGETCH         Getch;            /*  8 */
    PFNVBFGETS          Gets;             /*  9 */
    PFNVBFFLUSH         Flush;            /* 10 */
    PFNVBFFILELOCKS     FileLocks;        /* 11 */
    PFNVBFFILELOCKS     FileLocksEx;      /* 12 */
    PFNVBFTELL          Tell;             /* 13 */
    PFNVBFQUERYLENGTH   QueryLength;      /* 14 */
    PFNVBFNEWSIZE       NewSize;          /* 15 */
    PFNVBFQUERYFILENAME QueryFilename;    /* 16 */
    PFNVBFFILEINFO      QFileInfo;        /* 17 */
    PFNVBFFILEINFO      SetFileInfo;      /* 18 */
    PFNVBFMAPVIEW       MapViewOfFile;    /* 19 */
    PFNVBFUNMAPVIEW     UnmapViewOfFile;  /* 20 */
    ULONG_PTR           extra;            /* 21 last argument of Open (chained table) */
} VBFFUNCS, VbfFuncStruct, *PVBFFUNCS;

#define VBF_FUNCS_SIZE  176   /* sizeof(VBFFUNCS): a full table */

/* Opaque handle. */
typedef struct _VBF *HVBF;

/* Opening and closing.  A null funcStruct selects the buffered file
 * back-end with a table the handle owns. */
USHORT ORINAPI VbfOpen(void *nameSpace, const char *fileName, HVBF *handle, ULONG *action,
                       ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                       VBFFUNCS *funcStruct) ORIN_NOEXCEPT;
USHORT ORINAPI VbfClose(HVBF handle) ORIN_NOEXCEPT;

/* Dispatchers: 50 when the table lacks the slot. */
USHORT ORINAPI VbfChgFilePtr(HVBF handle, LONG distance, ULONG method, ULONG *newPos) ORIN_NOEXCEPT;
USHORT ORINAPI VbfRead(HVBF handle, void *buffer, ULONG count, ULONG *read) ORIN_NOEXCEPT;
USHORT ORINAPI VbfReadDirect(HVBF handle, void *buffer, ULONG count, ULONG *read) ORIN_NOEXCEPT;
USHORT ORINAPI VbfWrite(HVBF handle, const void *buffer, ULONG count, ULONG *written) ORIN_NOEXCEPT;
USHORT ORINAPI VbfGetch(HVBF handle, BYTE *ch) ORIN_NOEXCEPT;
USHORT ORINAPI VbfGets(HVBF handle, char *buffer, ULONG size, ULONG *consumed) ORIN_NOEXCEPT;
USHORT ORINAPI VbfFlush(HVBF handle) ORIN_NOEXCEPT;
USHORT ORINAPI VbfFileLocks(HVBF handle, FILELOCK *unlockRange, FILELOCK *lockRange) ORIN_NOEXCEPT;
USHORT ORINAPI VbfFileLocksEx(HVBF handle, FILELOCK *unlockRange, FILELOCK *lockRange) ORIN_NOEXCEPT;
ULONG  ORINAPI VbfTell(HVBF handle) ORIN_NOEXCEPT;
USHORT ORINAPI VbfQueryLength(HVBF handle, ULONG *length) ORIN_NOEXCEPT;
USHORT ORINAPI VbfNewSize(HVBF handle, ULONG newLength) ORIN_NOEXCEPT;
USHORT ORINAPI VbfQueryFilename(HVBF handle, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI VbfQFileInfo(HVBF handle, ULONG level, void *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI VbfSetFileInfo(HVBF handle, ULONG level, void *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI VbfMapViewOfFile(HVBF handle, void **view, ULONG bytes, ULONG offsetHigh,
                                ULONG offsetLow) ORIN_NOEXCEPT;
USHORT ORINAPI VbfUnmapViewOfFile(HVBF handle) ORIN_NOEXCEPT;

/* Adapters to and from OLE storage.  VbfCreateOnStream AddRefs the stream
 * and releases it on close; it returns null (last error 8) when out of
 * memory.  VbfCreateILockBytesOnVbf does not take ownership of the handle. */
HVBF    ORINAPI VbfCreateOnStream(IStream *stream) ORIN_NOEXCEPT;
HRESULT ORINAPI VbfCreateILockBytesOnVbf(HVBF handle, ILockBytes **lockBytes) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* VBF_H */
