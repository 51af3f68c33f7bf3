/*
 * fal.h - FAL block files: a heap of numbered blocks inside one virtual
 * file, with a user header area, free lists and a header lock that lets
 * several processes share the file.  The profile store keeps its files in
 * FAL files; applications reach a block file through these calls.
 */
#ifndef FAL_H
#define FAL_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

typedef struct _FALFILE *HFAL;

/* Open flags. */
#define FAL_OPEN_SHARED    0x0001   /* several processes share the file */
#define FAL_OPEN_READONLY  0x0002

/* Error codes: all of 57484..57489 mean the file is damaged. */
#define FAL_ERR_MAGIC       0xE08C  /* 57484 not a block file */
#define FAL_ERR_BLOCKTYPE   0xE08E  /* 57486 block of the wrong type */
#define FAL_ERR_FREELIST    0xE08F  /* 57487 free list corrupt */
#define FAL_ERR_BEYONDEND   0xE090  /* 57488 block beyond the end of the file */
#define FAL_ERR_SIGNATURE   0xE091  /* 57489 block header damaged or overlapping */

USHORT ORINAPI FalOpen(void *nameSpace, const char *fileName, HFAL *handle, USHORT openFlags) ORIN_NOEXCEPT;
USHORT ORINAPI FalClose(HFAL handle) ORIN_NOEXCEPT;
USHORT ORINAPI FalGetBlock(HFAL handle, ULONG id, void *buffer, ULONG length) ORIN_NOEXCEPT;
USHORT ORINAPI FalQueryTotalBlockSize(HFAL handle, ULONG id, ULONG *capacity) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* FAL_H */
