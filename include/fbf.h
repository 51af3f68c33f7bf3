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
 * processes visible.
 *
 * Nothing here is guarded: the table and the cache are shared by the whole
 * process, so Fbf calls must come from one thread at a time.
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
VBFFUNCS *ORINAPI FbfAllocVbfFuncStruct(void *nameSpace);

USHORT ORINAPI FbfOpen(ULONG_PTR context, const char *name, HFBF *handle, ULONG *action,
                       ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                       ULONG_PTR extra);
USHORT ORINAPI FbfClose(HFBF handle);
USHORT ORINAPI FbfChgFilePtr(HFBF handle, LONG distance, ULONG method, ULONG *newPos);
USHORT ORINAPI FbfRead(HFBF handle, void *buffer, ULONG count, ULONG *read);
USHORT ORINAPI FbfReadDirect(HFBF handle, void *buffer, ULONG count, ULONG *read);
USHORT ORINAPI FbfWrite(HFBF handle, const void *buffer, ULONG count, ULONG *written);
USHORT ORINAPI FbfGetch(HFBF handle, BYTE *ch);
USHORT ORINAPI FbfGets(HFBF handle, char *buffer, ULONG size, ULONG *consumed);
USHORT ORINAPI FbfFlush(HFBF handle);
USHORT ORINAPI FbfFlushAll(void);
USHORT ORINAPI FbfFileLocks(HFBF handle, FILELOCK *unlockRange, FILELOCK *lockRange);
USHORT ORINAPI FbfFileLocksEx(HFBF handle, FILELOCK *unlockRange, FILELOCK *lockRange);
ULONG  ORINAPI FbfTell(HFBF handle);
USHORT ORINAPI FbfQueryLength(HFBF handle, ULONG *length);
USHORT ORINAPI FbfNewSize(HFBF handle, ULONG newLength);
USHORT ORINAPI FbfQueryFilename(HFBF handle, char *buffer, ULONG size);
USHORT ORINAPI FbfQFileInfo(HFBF handle, ULONG level, void *buffer, ULONG size);
USHORT ORINAPI FbfSetFileInfo(HFBF handle, ULONG level, void *buffer, ULONG size);
USHORT ORINAPI FbfMapViewOfFile(HFBF handle, void **view, ULONG bytes, ULONG offsetHigh,
                                ULONG offsetLow);
USHORT ORINAPI FbfUnmapViewOfFile(HFBF handle);

ORIN_END_DECLS

#endif /* FBF_H */
