/*
 * fbf.h - buffered files, the default Vbf back-end.
 *
 * Files are opened by name through the library's file calls.  A
 * process-wide table of open files keeps one operating-system handle per
 * file name (compared ignoring case); every Fbf handle on that name shares
 * it, along with the cached pages and the mapped view, but has its own
 * position.  Reads go through a process-wide cache of FBF_CACHE_PAGES
 * pages of FBF_PAGE_SIZE bytes; writes go straight to the operating system
 * and patch any cached page they touch, so the cache never holds unwritten
 * data.  Flushing a file forgets its pages, which makes changes by other
 * processes visible.  A file on a local disk opened to deny all sharing,
 * with read access, can change only through this process: it is read
 * through a read-only mapped view of the system's copy of it instead (at
 * most 48 MiB of views in all), which shows every write at once.
 *
 * The table and the cache are shared by the whole process and guarded by
 * one lock: handles may be used from different threads at once, each
 * handle by one thread at a time.  A closed or made-up handle answers 6
 * (invalid handle).
 */
#ifndef FBF_H
#define FBF_H

#include "vbf.h"

ORIN_BEGIN_DECLS

#define FBF_MAX_FILES    120    /* distinct file names open at once */
#define FBF_CACHE_PAGES  53     /* page slots shared by all files */
#define FBF_PAGE_SIZE    4096
#define FBF_MAX_NAME     259    /* characters of a file name kept */

typedef struct _FBF *HFBF;

/* A fresh, full table of the functions below (context word = nameSpace,
 * extra word 0), or null when out of memory; the caller frees it. */
VBFFUNCS *ORINAPI FbfAllocVbfFuncStruct(void *nameSpace) ORIN_NOEXCEPT;

USHORT ORINAPI FbfOpen(ULONG_PTR context, const char *name, HFBF *handle, ULONG *action,
                       ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                       ULONG_PTR extra) ORIN_NOEXCEPT;
USHORT ORINAPI FbfClose(HFBF handle) ORIN_NOEXCEPT;
USHORT ORINAPI FbfChgFilePtr(HFBF handle, LONG distance, ULONG method, ULONG *newPos) ORIN_NOEXCEPT;
USHORT ORINAPI FbfRead(HFBF handle, void *buffer, ULONG count, ULONG *read) ORIN_NOEXCEPT;
USHORT ORINAPI FbfReadDirect(HFBF handle, void *buffer, ULONG count, ULONG *read) ORIN_NOEXCEPT;
USHORT ORINAPI FbfWrite(HFBF handle, const void *buffer, ULONG count, ULONG *written) ORIN_NOEXCEPT;
USHORT ORINAPI FbfGetch(HFBF handle, BYTE *ch) ORIN_NOEXCEPT;
USHORT ORINAPI FbfGets(HFBF handle, char *buffer, ULONG size, ULONG *consumed) ORIN_NOEXCEPT;
USHORT ORINAPI FbfFlush(HFBF handle) ORIN_NOEXCEPT;
USHORT ORINAPI FbfFlushAll(void) ORIN_NOEXCEPT;
USHORT ORINAPI FbfFileLocks(HFBF handle, FILELOCK *unlockRange, FILELOCK *lockRange) ORIN_NOEXCEPT;
USHORT ORINAPI FbfFileLocksEx(HFBF handle, FILELOCK *unlockRange, FILELOCK *lockRange) ORIN_NOEXCEPT;
ULONG  ORINAPI FbfTell(HFBF handle) ORIN_NOEXCEPT;
USHORT ORINAPI FbfQueryLength(HFBF handle, ULONG *length) ORIN_NOEXCEPT;
USHORT ORINAPI FbfNewSize(HFBF handle, ULONG newLength) ORIN_NOEXCEPT;
USHORT ORINAPI FbfQueryFilename(HFBF handle, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI FbfQFileInfo(HFBF handle, ULONG level, void *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI FbfSetFileInfo(HFBF handle, ULONG level, void *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI FbfMapViewOfFile(HFBF handle, void **view, ULONG bytes, ULONG offsetHigh,
                                ULONG offsetLow) ORIN_NOEXCEPT;
USHORT ORINAPI FbfUnmapViewOfFile(HFBF handle) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* FBF_H */
