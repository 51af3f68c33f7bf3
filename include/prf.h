/*
 * prf.h - profiles: a store of named sections, each holding named keys
 * whose values are binary data or strings.
 *
 * Every open profile is served by a handler function.  The calls below
 * check and normalise their arguments (names trimmed of blanks, no empty
 * names, no '~', OEM conversion by the profile's mode), fill a request
 * record and send one numbered message to the handler.  PrfOpenProfile
 * uses the profile-file handler PrfFalHandler; PrfOpenHandler plugs in any
 * other, for instance one that answers from a static table through
 * PrfUtlTableHandler.
 *
 * Lists of sections or keys are the names each followed by '~' ("a~b~").
 * Calls return 0 or an error code unless stated otherwise.
 */
#ifndef PRF_H
#define PRF_H

#include <stddef.h>
#include "orinbase.h"
#include "dat.h"
#include "vbf.h"

ORIN_BEGIN_DECLS

typedef struct _PRFINFO *HPRF;

/* Handler messages. */
typedef enum _PRFCMD {
    PRF_CMD_OPEN = 0,           /* open record */
    PRF_CMD_CLOSE = 1,          /* none */
    PRF_CMD_CREATESECTION = 2,  /* normalised section name */
    PRF_CMD_DESTROYSECTION = 3, /* normalised section name */
    PRF_CMD_READ = 4,           /* request: section and key */
    PRF_CMD_LISTSECTIONS = 5,   /* request: neither */
    PRF_CMD_LISTKEYS = 6,       /* request: section only */
    PRF_CMD_WRITE = 7,          /* request; no data deletes */
    PRF_CMD_READOFFSET = 8,     /* request */
    PRF_CMD_WRITEOFFSET = 9,    /* request */
    PRF_CMD_SETSIZE = 10,       /* request: offset is the new length */
    PRF_CMD_CHECK = 11,         /* none */
    PRF_CMD_LOCKSECTION = 12,   /* request: offsetMode holds PRF_LOCK_* */
    PRF_CMD_BEGINTRANS = 13,    /* none */
    PRF_CMD_ENDTRANS = 14       /* none */
} PRFCMD;

typedef ULONG (*PFNPRFHANDLER)(HPRF h, PRFCMD message, void *param);

/* The request record of messages 4 to 10 and 12. */
typedef struct _PRFREQUEST {
    const char *section;        /* null: all sections */
    const char *key;            /* null: all keys of the section */
    void *data;                 /* buffer or data; null asks for the size only */
    ULONG size;                 /* buffer size or data length */
    ULONG length;               /* set by the handler */
    ULONG offset;               /* start offset; the new length for message 10 */
    USHORT offsetMode;          /* 1 for the offset variants; lock flags for 12 */
    USHORT dataType;            /* PRF_TYPE_* */
} PRFREQUEST, PrfRequest;

#define PRF_TYPE_BINARY   0
#define PRF_TYPE_STRING   2

/* Lock flags of message 12. */
#define PRF_LOCK_CREATE   0x0002
#define PRF_LOCK_SET      0x0004

/* Open flags. */
#define PRF_OPEN_SHARED   0x0001
#define PRF_OPEN_READONLY 0x0002

/* OEM mode bits: what is stored in the OEM code page. */
#define PRF_OEM_VALUES    0x0001
#define PRF_OEM_KEYS      0x0002
#define PRF_OEM_SECTIONS  0x0004

/* Open record of PrfFalHandler (message 0). */
typedef struct _PRFFALOPEN {
    void *nameSpace;
    const char *fileName;
    USHORT falFlags;
    USHORT openFlags;
    VBFFUNCS *funcStruct;       /* null for ordinary files */
} PRFFALOPEN;

/* Field information, kept as a string value. */
typedef struct _PRFFLDINFO {
    USHORT type;                /* a character naming the field type */
    ULONG size;
    USHORT updated;
    USHORT compressed;
    USHORT attributes;
    DATETIME created;
    DATETIME lastUpdate;
} PRFFLDINFO, PrfFldInfo;

/* One entry of a static table; a null section ends the table. */
#pragma pack(push, 4)
typedef struct _PRFUTLTABLEENTRY {
    const char *section;
    const char *key;
    USHORT flags;               /* PRF_TABLE_* */
    USHORT code;                /* given back when the entry has no string */
    char *value;                /* writable buffer */
    ULONG capacity;             /* its size */
} PRFUTLTABLEENTRY;
#pragma pack(pop)

#define PRF_TABLE_STRING   0x0001
#define PRF_TABLE_READONLY 0x0010

/* Error codes. */
#define PRF_ERR_INUPDATE      0xE096  /* 57494 left in the middle of an update */
#define PRF_ERR_NOTFIRSTFORMAT 0xE096 /* 57494 from Prf100OpenProfile: another version */
#define PRF_ERR_CURSOR        0xE097  /* 57495 table cursor outside the table */
#define PRF_ERR_OLDVERSION    0xE098  /* 57496 a first-format profile */
#define PRF_ERR_CHECKSUM      0xE099  /* 57497 a checksum is wrong */
#define PRF_ERR_VERSION       0xE09A  /* 57498 unknown version */
#define PRF_ERR_NOSTRING      0xE0A0  /* 57504 table entry without a string */
#define PRF_ERR_NOTSERVED     0xE0A1  /* 57505 message not served */
#define PRF_ERR_EXISTS        85      /* section already exists */
#define PRF_ERR_CANCELLED     995     /* a maintenance callback asked to stop */
#define PRF_ERR_NOBLOCKS      0xFFFF  /* repair found no block at all */

/* Handles and handlers. */
USHORT ORINAPI PrfOpenHandler(PFNPRFHANDLER handler, void *openRecord, HPRF *h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfCloseHandler(HPRF h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfLockHandler(HPRF h, BOOL add) ORIN_NOEXCEPT;
USHORT ORINAPI PrfUtlQueryHandlerLockCount(HPRF h) ORIN_NOEXCEPT;
void   ORINAPI PrfUtlSetHandlerULongPtr(HPRF h, ULONG_PTR value) ORIN_NOEXCEPT;
ULONG_PTR ORINAPI PrfUtlQueryHandlerULongPtr(HPRF h) ORIN_NOEXCEPT;
void   ORINAPI PrfUtlSetHandlerULong(HPRF h, ULONG value) ORIN_NOEXCEPT;
ULONG  ORINAPI PrfUtlQueryHandlerULong(HPRF h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfSetOemMode(HPRF h, USHORT mode) ORIN_NOEXCEPT;
USHORT ORINAPI PrfGetOemMode(HPRF h) ORIN_NOEXCEPT;

/* Profile files. */
USHORT ORINAPI PrfOpenProfile(void *nameSpace, HPRF *h, const char *fileName, USHORT openFlags) ORIN_NOEXCEPT;
USHORT ORINAPI PrfOpenProfileOnVbf(void *nameSpace, HPRF *h, const char *fileName,
                                   USHORT openFlags, VBFFUNCS *funcStruct) ORIN_NOEXCEPT;
USHORT ORINAPI PrfCloseProfile(HPRF h) ORIN_NOEXCEPT;
ULONG  ORINAPI PrfFalHandler(HPRF h, PRFCMD message, void *param) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalOpenHandler(HPRF h, PRFFALOPEN *openRecord) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalCloseHandler(HPRF h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalTransaction(HPRF h, BOOL begin) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalFlush(HPRF h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalSetCorrupt(HPRF h, BOOL set) ORIN_NOEXCEPT;

/* First-format ("PRFF100") profiles, which PrfOpenProfile refuses with
 * 57496.  Prf100OpenProfile opens (or creates) one with the handler
 * PrfFal100Handler and refuses a file of any other version with 57494; the
 * handler serves messages 0 to 7 only and answers 57505 to the others (no
 * offsets, set-size, check, section locks or transactions).  A value is
 * one block of the file, so it is limited to about 64 KiB.
 * PrfFalConvert100to200 copies such a profile into the current format
 * under its own name and keeps the old file with the extension "BAK";
 * sections without keys are not carried over.  On any error the profile
 * file is left as it was. */
ULONG  ORINAPI PrfFal100Handler(HPRF h, PRFCMD message, void *param) ORIN_NOEXCEPT;
USHORT ORINAPI Prf100OpenProfile(void *nameSpace, HPRF *h, const char *fileName,
                                 USHORT openFlags) ORIN_NOEXCEPT;
USHORT ORINAPI Prf100CloseProfile(HPRF h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalConvert100to200(void *nameSpace, const char *fileName) ORIN_NOEXCEPT;

/* Maintenance of closed profile files, by name.  Pack and repair build the
 * new file under the profile's name with the extension "$$$" and put it in
 * place only when it is complete; the profile file is otherwise left as it
 * was.  A kept backup has the extension "BAK".
 *
 * Pack: `cancel` (may be null) is called with `percent` before each chunk
 * of a value is copied and stops the pack with 995 by answering non-zero;
 * `percent` (may be null) receives the share of buckets done.
 * Repair: `callback` (may be null) is called with the progress record
 * after each block scanned and each item rebuilt, and with the record's
 * count divided by ten; a non-zero answer stops the repair with 995.
 * Phases: 1 starting, 2 scanning the blocks, 3 rebuilding.  Codes: start
 * 100; event 101 at the start; step 102 (first block scanned), 103 (first
 * section rebuilt), 104 (first value rebuilt); tick 105 every tenth block
 * scanned, 106 every tenth item rebuilt; 0 otherwise. */
typedef ULONG (ORINAPI *PFNPRFPACKCANCEL)(USHORT *percent);

typedef struct _PRFREPAIRPROGRESS {
    USHORT percent;
    USHORT phase;
    ULONG count;                /* scan: blocks not usable; rebuild: items done */
    ULONG total;                /* scan: blocks seen; rebuild: items in all */
    USHORT startCode;
    USHORT eventCode;
    USHORT stepCode;
    USHORT tickCode;
} PRFREPAIRPROGRESS;

typedef ULONG (ORINAPI *PFNPRFREPAIRCALLBACK)(PRFREPAIRPROGRESS *progress, ULONG tenths);

USHORT ORINAPI PrfFalPack(void *nameSpace, const char *fileName, BOOL keepBackup) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalPackQueryCancel(void *nameSpace, const char *fileName, BOOL keepBackup,
                                     PFNPRFPACKCANCEL cancel, USHORT *percent) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalConvert20Xto202(void *nameSpace, const char *fileName) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalRepair(void *nameSpace, const char *fileName) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFalRepairQueryCancel(void *nameSpace, const char *fileName,
                                       PFNPRFREPAIRCALLBACK callback,
                                       PRFREPAIRPROGRESS *progress) ORIN_NOEXCEPT;

/* Other stores behind the profile calls.  The registry handler keeps a
 * profile under HKEY_LOCAL_MACHINE\\Software\\Orin\\<subKey> (a section is a
 * registry key, a key a named value; sections are made only by
 * PrfCreateSection).  The INI handler keeps it in an INI file through the
 * system's private-profile calls.  Both open calls return the profile
 * handle, or null.  Offsets and sizes are not served (50). */
#define PRF_TYPE_ULONG    1   /* a 4-byte number (REG_DWORD in the registry) */
ULONG  ORINAPI PrfWinRegHandler(HPRF h, PRFCMD message, void *param) ORIN_NOEXCEPT;
HPRF   ORINAPI PrfWinRegHandlerOpen(const char *subKey) ORIN_NOEXCEPT;
ULONG  ORINAPI PrfWinIniHandler(HPRF h, PRFCMD message, void *param) ORIN_NOEXCEPT;
HPRF   ORINAPI PrfWinIniHandlerOpen(const char *iniFileName) ORIN_NOEXCEPT;

/* Reading INI files directly.  PrfIniQueryKey gives the value of `key` in
 * `section` (211 when there is none); PrfIniEnumKeys lists the section's
 * key names, each followed by '~', up to the first line without '=';
 * `size` is the buffer's size in and the list's (with its terminator)
 * out, or with a null buffer the size a buffer needs. */
USHORT ORINAPI PrfIniQueryKey(void *nameSpace, const char *fileName, const char *section,
                              const char *key, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI PrfIniEnumKeys(void *nameSpace, const char *fileName, const char *section,
                              char *buffer, USHORT *size) ORIN_NOEXCEPT;

/* A whole file kept in one profile value, named "PROFILE;SECTION~KEY",
 * PROFILE being a profile file name or "@PRFHANDLE@" and the 16 hex digits
 * of an open profile handle.  The calls are those of a Vbf back-end;
 * PrfFileAllocVbfFuncStruct gives them as a table (freed with free()).
 * File locks lock the key's section; a handle's nested locks only count.
 * Writing needs an open mode with write access (else 5). */
typedef struct _PRFFILE *HPRFFILE;
USHORT ORINAPI PrfFileOpen(void *nameSpace, const char *name, HPRFFILE *handle, ULONG *action,
                           ULONG initialSize, ULONG attribute, ULONG openFlags,
                           ULONG openMode) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileClose(HPRFFILE h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileRead(HPRFFILE h, void *buffer, ULONG count, ULONG *read) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileGetch(HPRFFILE h, BYTE *ch) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileWrite(HPRFFILE h, const void *data, ULONG count, ULONG *written) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileGets(HPRFFILE h, char *buffer, ULONG size, ULONG *consumed) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileChgFilePtr(HPRFFILE h, LONG distance, ULONG method, ULONG *newPos) ORIN_NOEXCEPT;
ULONG  ORINAPI PrfFileTell(HPRFFILE h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileQueryLength(HPRFFILE h, ULONG *length) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileNewSize(HPRFFILE h, ULONG newLength) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileFlush(HPRFFILE h) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileQueryFilename(HPRFFILE h, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI PrfFileFileLocks(HPRFFILE h, FILELOCK *unlockRange, FILELOCK *lockRange) ORIN_NOEXCEPT;
VBFFUNCS *ORINAPI PrfFileAllocVbfFuncStruct(void *nameSpace) ORIN_NOEXCEPT;

/* Sections. */
USHORT ORINAPI PrfCreateSection(HPRF h, const char *section) ORIN_NOEXCEPT;
USHORT ORINAPI PrfDestroySection(HPRF h, const char *section) ORIN_NOEXCEPT;
USHORT ORINAPI PrfLockSection(HPRF h, const char *section, BOOL create, BOOL lock) ORIN_NOEXCEPT;
USHORT ORINAPI PrfTransaction(HPRF h, BOOL begin) ORIN_NOEXCEPT;
USHORT ORINAPI PrfCheckConsistent(HPRF h) ORIN_NOEXCEPT;

/* Queries.  PrfQueryProfileData and PrfQueryProfileString fill the buffer
 * with what fits of a longer value or list and give 111; the offset
 * variant reads part of a value without complaint. */
USHORT ORINAPI PrfQueryProfileSize(HPRF h, const char *section, const char *key, ULONG *size) ORIN_NOEXCEPT;
USHORT ORINAPI PrfQueryProfileData(HPRF h, const char *section, const char *key, void *buffer,
                                   ULONG *size) ORIN_NOEXCEPT;
USHORT ORINAPI PrfQueryProfileDataOffset(HPRF h, const char *section, const char *key,
                                         ULONG offset, void *buffer, ULONG *size) ORIN_NOEXCEPT;
USHORT ORINAPI PrfQueryProfileString(HPRF h, const char *section, const char *key,
                                     const char *defaultValue, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI PrfQueryProfileShort(HPRF h, const char *section, const char *key, SHORT *value) ORIN_NOEXCEPT;
USHORT ORINAPI PrfQueryProfileUShort(HPRF h, const char *section, const char *key,
                                     USHORT *value) ORIN_NOEXCEPT;
USHORT ORINAPI PrfQueryProfileLong(HPRF h, const char *section, const char *key, LONG *value) ORIN_NOEXCEPT;
USHORT ORINAPI PrfQueryProfileULong(HPRF h, const char *section, const char *key, ULONG *value) ORIN_NOEXCEPT;
/* The key as the profile spells it (the key itself when stored so, else
 * the stored spelling that matches ignoring case, unless exactOnly), or
 * null.  A stored spelling is kept in a buffer of the calling thread,
 * valid until that thread calls again. */
const char *ORINAPI PrfQueryProfileKey(HPRF h, const char *section, const char *key,
                                       BOOL exactOnly) ORIN_NOEXCEPT;

/* Writes.  A null key deletes every key of the section; null data deletes the key. */
USHORT ORINAPI PrfWriteProfileData(HPRF h, const char *section, const char *key,
                                   const void *data, ULONG length) ORIN_NOEXCEPT;
USHORT ORINAPI PrfWriteProfileDataOffset(HPRF h, const char *section, const char *key,
                                         ULONG offset, const void *data, ULONG length) ORIN_NOEXCEPT;
USHORT ORINAPI PrfWriteProfileString(HPRF h, const char *section, const char *key,
                                     const char *value) ORIN_NOEXCEPT;
USHORT ORINAPI PrfWriteProfileShort(HPRF h, const char *section, const char *key, SHORT value) ORIN_NOEXCEPT;
USHORT ORINAPI PrfWriteProfileUShort(HPRF h, const char *section, const char *key, USHORT value) ORIN_NOEXCEPT;
USHORT ORINAPI PrfWriteProfileLong(HPRF h, const char *section, const char *key, LONG value) ORIN_NOEXCEPT;
USHORT ORINAPI PrfWriteProfileULong(HPRF h, const char *section, const char *key, ULONG value) ORIN_NOEXCEPT;
USHORT ORINAPI PrfSetProfileDataSize(HPRF h, const char *section, const char *key, ULONG size) ORIN_NOEXCEPT;

/* Field information strings. */
USHORT ORINAPI PrfQueryProfileFldInfo(HPRF h, const char *section, const char *key,
                                      PRFFLDINFO *info) ORIN_NOEXCEPT;
USHORT ORINAPI PrfWriteProfileFldInfo(HPRF h, const char *section, const char *key,
                                      const PRFFLDINFO *info) ORIN_NOEXCEPT;
void   ORINAPI PrfFldInfoInit(PRFFLDINFO *info, USHORT type) ORIN_NOEXCEPT;
void   ORINAPI PrfFldInfoSetUpdate(PRFFLDINFO *info) ORIN_NOEXCEPT;
void   ORINAPI PrfFldInfoSetAccess(PRFFLDINFO *info) ORIN_NOEXCEPT;

/* Static tables. */
ULONG  ORINAPI PrfUtlTableHandler(PRFUTLTABLEENTRY *table, HPRF h, PRFCMD message,
                                  PRFREQUEST *request, USHORT *code) ORIN_NOEXCEPT;
ULONG  ORINAPI PrfUtlInitTableHandler(HPRF h, PRFCMD message, PRFREQUEST *request) ORIN_NOEXCEPT;

ORIN_END_DECLS

#ifdef __cplusplus
/* The layouts handlers and callers share. */
static_assert(sizeof(PRFREQUEST) == 3 * sizeof(void *) + 3 * 4 + 2 * 2, "PRFREQUEST layout");
static_assert(sizeof(PRFFALOPEN) == 3 * sizeof(void *) + 2 * 2 + (sizeof(void *) - 4),
              "PRFFALOPEN layout");
static_assert(sizeof(PRFFLDINFO) == 40, "PRFFLDINFO layout");
static_assert(offsetof(PRFFLDINFO, created) == 14, "PRFFLDINFO layout");
static_assert(sizeof(PRFUTLTABLEENTRY) == 3 * sizeof(void *) + 2 * 2 + 4,
              "PRFUTLTABLEENTRY is 4-byte packed");
#endif

#endif /* PRF_H */
