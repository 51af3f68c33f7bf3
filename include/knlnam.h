/*
 * knlnam.h - file names and the file system: name spaces, splitting and
 * joining paths, extensions, wild cards, name validity, normalisation,
 * search along a path list, an OS/2-style open with numeric flags, reads,
 * writes, seeks, sizes, file information in DOS date/time form, byte-range
 * locks with retries, temporary files, directory enumeration, copies and
 * volume queries.
 *
 * Every call takes a name space first (KnlNamGetDefaultNS or
 * KnlNamGetPlatformNS).  Names are narrow ANSI strings of at most 259
 * bytes plus terminator.  Results are 0 or a system error code unless a
 * function says otherwise.  File handles are the system's handles held in
 * 32 bits.
 */
#ifndef KNLNAM_H
#define KNLNAM_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

#define KNLNAM_MAXPATH       260   /* name buffers, terminator included */
#define KNLNAM_MAXPART       256   /* KnlNamSplitPath output buffers */

/* Name-space kinds: 1 and 4 accept both '\' and '/' as delimiters. */
#define KNLNAM_NS_DOS        1
#define KNLNAM_NS_WIN32      4

typedef struct _KNLNAMESPACE {
    USHORT kind;
} KNLNAMESPACE;

typedef ULONG KNLHFILE;           /* system file handle in 32 bits */

/* Lock range record: exclusive is only read for a lock (0 = shared). */
typedef struct _FILELOCK {
    ULONG offset;
    ULONG length;
    ULONG exclusive;
} FILELOCK;

/* KnlNamOpen: attributes. */
#define KNLNAM_ATTR_READONLY   0x01
#define KNLNAM_ATTR_HIDDEN     0x02
#define KNLNAM_ATTR_SYSTEM     0x04
#define KNLNAM_ATTR_VOLUME     0x08
#define KNLNAM_ATTR_DIRECTORY  0x10
#define KNLNAM_ATTR_ARCHIVE    0x20

/* KnlNamOpen: open flags (what to do when the file exists / is missing). */
#define KNLNAM_OPEN_EXISTING      0x01   /* open an existing file */
#define KNLNAM_OPEN_REPLACE       0x02   /* truncate an existing file */
#define KNLNAM_OPEN_CREATE        0x10   /* create a missing file */
#define KNLNAM_OPEN_ALWAYS        0x11   /* open or create */
#define KNLNAM_OPEN_TEMP          0x13   /* flags used for temporary files */

/* KnlNamOpen: open mode (access in the low bits, sharing above). */
#define KNLNAM_ACCESS_WRITE       0x01
#define KNLNAM_ACCESS_READWRITE   0x02
#define KNLNAM_SHARE_DENYALL      0x10
#define KNLNAM_SHARE_DENYWRITE    0x20
#define KNLNAM_SHARE_DENYALL2     0x30
#define KNLNAM_SHARE_DENYNONE     0x40

/* KnlNamOpen: actions reported. */
#define KNLNAM_ACTION_EXISTED     1
#define KNLNAM_ACTION_CREATED     2
#define KNLNAM_ACTION_REPLACED    3

/* KnlNamChgFilePtr methods. */
#define KNLNAM_SEEK_BEGIN   0
#define KNLNAM_SEEK_CURRENT 1
#define KNLNAM_SEEK_END     2

/* DOS date: day bits 0..4, month bits 5..8, (year - 1900) mod 128 in
 * bits 9..15.  DOS time: seconds / 2 in bits 0..4, minutes 5..10, hours
 * 11..15.  0 stands for a time before 1980 or after 2107. */
#define KNLNAM_DOS_YEAR_BASE 1900

/* Level-1 file information (KnlNamQFileInfo / KnlNamSetFileInfo). */
#define KNLNAM_INFO_LEVEL1   1
#pragma pack(push, 2)
typedef struct _KNLFILESTATUS {
    USHORT fdateCreation;
    USHORT ftimeCreation;
    USHORT fdateLastAccess;
    USHORT ftimeLastAccess;
    USHORT fdateLastWrite;
    USHORT ftimeLastWrite;
    ULONG  cbFile;          /* low 32 bits of the size */
    ULONG  cbFileAlloc;     /* size rounded up to the cluster */
    ULONG  attrFile;        /* KNLNAM_ATTR_* */
    ULONG  cbFileHigh;      /* high 32 bits of the size */
    ULONG  cbFileAllocHigh;
    USHORT reserved;
} KNLFILESTATUS;            /* 34 bytes */

/* One entry of a directory enumeration. */
typedef struct _KNLFINDBUF {
    USHORT fdateCreation;
    USHORT ftimeCreation;
    USHORT fdateLastAccess;
    USHORT ftimeLastAccess;
    USHORT fdateLastWrite;
    USHORT ftimeLastWrite;
    ULONG  cbFile;
    ULONG  cbFileAlloc;
    ULONG  attrFile;
    BYTE   cchName;         /* length of achName */
    char   achName[KNLNAM_MAXPATH];
} KNLFINDBUF;

/* Volume information: level 1 allocation (18 bytes), level 2 label. */
#define KNLNAM_FSINFO_ALLOCATION 1
#define KNLNAM_FSINFO_VOLUME     2
#define KNLNAM_NO_DRIVE_NUMBER   0xFFFF
typedef struct _KNLFSALLOCATE {
    ULONG  idFileSystem;    /* drive number, 0 = A */
    ULONG  cSectorUnit;     /* sectors per cluster */
    ULONG  cUnit;           /* total clusters */
    ULONG  cUnitAvail;      /* free clusters */
    USHORT cbSector;        /* bytes per sector */
} KNLFSALLOCATE;
typedef struct _KNLFSVOLUME {
    ULONG  ulVSN;           /* volume serial number */
    BYTE   cch;             /* label length */
    char   szVolLabel[12];
} KNLFSVOLUME;
#pragma pack(pop)

/* KnlNamFindFirst attribute mask: normal files always match; hidden,
 * system and directory entries only when their bit is in the mask. */
#define KNLNAM_FIND_HANDLE_NONE 0
#define KNLNAM_ERR_NO_MORE_FILES 18

/* KnlNamCopy flags. */
#define KNLNAM_COPY_REPLACE  0x01   /* an existing target is replaced */
#define KNLNAM_COPY_APPEND   0x02   /* the source is appended to the target */

/* KnlNamSearchPath flags. */
#define KNLNAM_SEARCH_CUR    0x01   /* try the name as given first */
#define KNLNAM_SEARCH_ENV    0x02   /* the list names an environment variable */

/* KnlNamNormalizePathEx flags. */
#define KNLNAM_NORM_NO_UNC   0x01   /* keep mapped drive letters */

/* Name spaces and delimiters */
void  *ORINAPI KnlNamGetDefaultNS(void) ORIN_NOEXCEPT;
void  *ORINAPI KnlNamGetPlatformNS(void) ORIN_NOEXCEPT;
char   ORINAPI KnlNamQDirDelimChr(void *ns) ORIN_NOEXCEPT;
const char *ORINAPI KnlNamQDirDelimStr(void *ns) ORIN_NOEXCEPT;
char   ORINAPI KnlNamQPathDelimChr(void *ns) ORIN_NOEXCEPT;
const char *ORINAPI KnlNamQPathDelimStr(void *ns) ORIN_NOEXCEPT;

/* Names and paths */
USHORT ORINAPI KnlNamQPathAbsolute(void *ns, const char *name) ORIN_NOEXCEPT;
char  *ORINAPI KnlNamSkipDriveName(const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamGetDriveName(const char *name, char *buf, USHORT size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamSplitPath(void *ns, const char *name, char *drive, char *dir,
                               char *fname, char *ext) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamMakePath(void *ns, char *out, const char *drive, const char *dir,
                              const char *fname, const char *ext) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamSplitPathInDF(void *ns, const char *name, char *dir, char *file) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamMakePathFromDF(void *ns, char *out, const char *dir, const char *file) ORIN_NOEXCEPT;
char  *ORINAPI KnlNamQueryExt(void *ns, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamSetExt(void *ns, char *name, const char *ext) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamDefaultExt(void *ns, char *name, const char *ext) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamExpandPath(void *ns, char *name, char *out, USHORT size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamNormalizePathEx(void *ns, char *name, ULONG flags) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamGetFullPathName(char *out, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamGetLongPathName(char *out, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamGetShortPathName(char *out, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamIsTheSameFile(const char *a, const char *b) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamDisplayFileName(void *ns, char *name, USHORT maxLen, BOOL withExt) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamWildCompare(void *ns, const char *name, const char *pattern) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamFnameHasWildCards(void *ns, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamIsValidName(const char *name, BOOL wildOk) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamIsValidPath(const char *name, BOOL wildOk) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamIsValidPathFilter(BOOL longNames, const char *list, BOOL wildOk,
                                       const BYTE *validChars) ORIN_NOEXCEPT;
const BYTE *ORINAPI KnlNamQueryValidFileChars(BOOL longNames) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamIsDevice(void *ns, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamSearchPath(void *ns, ULONG flags, const char *list, const char *file,
                                char *out, USHORT size) ORIN_NOEXCEPT;

/* Directories, disks and the working directory */
USHORT ORINAPI KnlNamMkDir(void *ns, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamRmDir(void *ns, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamDelete(void *ns, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamMove(void *ns, const char *from, const char *to) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamMoveDev(void *ns, const char *from, const char *to) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamCopy(void *ns, const char *from, const char *to, ULONG flags,
                          ULONG options) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamCompareFile(void *ns, const char *a, const char *b, ULONG *equal) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamGetCwd(void *ns, char *buf, USHORT size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamSetCwd(void *ns, const char *dir) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQFileExist(void *ns, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQDirExist(void *ns, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQCurDisk(void *ns, ULONG *drive) ORIN_NOEXCEPT;          /* 1 = A */
USHORT ORINAPI KnlNamQDiskExist(void *ns, ULONG drive) ORIN_NOEXCEPT;         /* 1 = A */
USHORT ORINAPI KnlNamQDiskChangeable(void *ns, ULONG drive) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQDiskRemote(void *ns, ULONG drive) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQDiskIsCDRom(void *ns, ULONG drive) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQFSPathInfo(void *ns, const char *path, ULONG level, void *buf,
                                 ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQuerySupportLFN(void *ns, const char *root) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamEnableDisconnectedResources(USHORT enable) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamFindFirst(void *ns, const char *pattern, ULONG attrMask,
                               ULONG_PTR *hFind, KNLFINDBUF *buf, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamFindNext(void *ns, ULONG_PTR hFind, KNLFINDBUF *buf, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamFindClose(void *ns, ULONG_PTR hFind) ORIN_NOEXCEPT;

/* Open files */
USHORT ORINAPI KnlNamOpen(void *ns, const char *name, KNLHFILE *handle, ULONG *action,
                          ULONG size, ULONG attribute, ULONG openFlags, ULONG openMode,
                          ULONG reserved) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamClose(void *ns, KNLHFILE h) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamRead(void *ns, KNLHFILE h, void *buf, ULONG count, ULONG *done) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamWrite(void *ns, KNLHFILE h, const void *buf, ULONG count, ULONG *done) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamChgFilePtr(void *ns, KNLHFILE h, LONG offset, ULONG method,
                                ULONG *newPos) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamNewSize(void *ns, KNLHFILE h, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQFileSize(void *ns, KNLHFILE h, ULONG *size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamDupHandle(void *ns, KNLHFILE h, KNLHFILE *dup) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamBufReset(void *ns, KNLHFILE h) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQFileInfo(void *ns, KNLHFILE h, ULONG level, void *buf, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamSetFileInfo(void *ns, KNLHFILE h, ULONG level, const void *buf,
                                 ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamQFileMode(void *ns, const char *name, ULONG *attributes) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamSetFileMode(void *ns, const char *name, ULONG attributes) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamFileLocksEx(void *ns, KNLHFILE h, const FILELOCK *unlock,
                                 const FILELOCK *lock) ORIN_NOEXCEPT;
USHORT ORINAPI KnlNamCreateTempFile(void *ns, const char *dir, ULONG attribute,
                                    KNLHFILE *handle, char *buf, USHORT size) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* KNLNAM_H */
