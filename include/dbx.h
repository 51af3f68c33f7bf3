/*
 * dbx.h - Dbx record tables: rows of fixed-length fields reached through a
 * replaceable database engine, and the dBase III table files of the
 * built-in engine.
 *
 * An engine is a table of 66 pointer-sized slots (DBXVTBL): slots 0-63 are
 * the operations, in the fixed order below, slot 64 an optional
 * initialiser (non-zero = success) and slot 65 an optional terminator.
 * One engine is current per process (DbxAttachEngine); the OcDbx class
 * (ocdbx.h) calls every table operation through the current engine.
 *
 * Argument conventions of the slots (settled here for every engine):
 *  - the first argument of a table operation is the engine's open table,
 *    PDBXGROUP; a null or closed table makes the slot fail;
 *  - calls that act return USHORT: 0 on success, DBX_FAILED (65535) for an
 *    invalid record, an I/O error or a refused state change, DBX_BUSY
 *    (65534) when another process holds the record; the detailed code
 *    stays in the table and is read with QueryInfo(DBXINFO_LASTERROR);
 *  - navigation calls return a record number: 0 when a forward move ran
 *    off the end, DBX_NO_RECORD (0xFFFFFFFF) when first/last/search found
 *    nothing; the record buffer is cleared in both cases;
 *  - an index argument (PDBFIX) that is null means the current index.
 *
 * Table files of the built-in engine (extension "DBF"): a 32-byte header
 * (version 3, bit 7 when a memo field exists; date of last update as
 * year mod 100, month, day; record count u32 at 4; header length u16 at 8
 * = 32 x fields + 33; record length u16 at 10; byte 14 the transaction
 * flag; other bytes zero), one 32-byte descriptor per field, the byte
 * 0x0D, the records, and the end-of-file byte 0x1A.  Records are numbered
 * from 1; the first byte of a record is the dBase delete mark.  A table
 * may begin with the status field "ORINSTATUS" (C, 1): space normal, '*'
 * deleted, '-' frozen, '+' kept, bit 7 locked for update by a process.
 * A table without the status field knows only normal and deleted records;
 * its locking reads take the record's byte range but leave no mark.
 *
 * The built-in engine changes records and index entries together inside
 * the table's transaction flag when the table is open for shared access;
 * an unshared table has no other user and its writes skip the flag.  An
 * append enters the new record's keys in every maintained index at once.
 */
#ifndef DBX_H
#define DBX_H

#include "orinbase.h"
#include "ixd.h"

ORIN_BEGIN_DECLS

#define DBX_FAILED          65535   /* invalid record, I/O error, refused change */
#define DBX_BUSY            65534   /* record locked by another process */
#define DBX_NO_RECORD       0xFFFFFFFFUL

/* Error codes of table opening, creation, indexes and unique checks. */
#define DBX_ERR_FILE_NOT_FOUND  2
#define DBX_ERR_OPEN            3     /* any other file-system error */
#define DBX_ERR_TOO_MANY_FILES  4
#define DBX_ERR_ACCESS_DENIED   5     /* also a sharing violation; CheckUnique off the current record */
#define DBX_ERR_NO_MEMORY       12
#define DBX_ERR_TOO_MANY_INDEXES 100
#define DBX_ERR_BAD_HEADER      101   /* header or field descriptors unreadable */
#define DBX_ERR_EXISTS          102   /* create: file exists; attach: unknown field name */
#define DBX_ERR_UNKNOWN_FIELD   102
#define DBX_ERR_WRITE           103   /* create: writing the new file failed */
#define DBX_ERR_LOCKED          104   /* opening lock not obtained; index file missing */
#define DBX_ERR_NO_INDEX_FILE   104
#define DBX_ERR_BUILD           105   /* building a new index failed */
#define DBX_ERR_KEY_TOO_LONG    108   /* index key longer than DBX_MAX_KEY */
#define DBX_ERR_MISMATCH        200   /* field descriptions differ; duplicate unique key */
#define DBX_ERR_DUPLICATE       200

#define DBX_MAX_INDEXES     75
#define DBX_MAX_KEY         1024      /* bytes of an index key */
#define DBX_MAX_KEY_FIELDS  16        /* fields of one index key */
#define DBX_FIELD_NAME      11        /* name buffer: 10 characters + zero */
#define DBX_STATUS_FIELD    "ORINSTATUS"

/* Record states: the status byte without its bit 7. */
#define DBX_STATE_NORMAL    ' '
#define DBX_STATE_DELETED   '*'
#define DBX_STATE_FROZEN    '-'
#define DBX_STATE_KEPT      '+'
#define DBX_STATE_LOCKBIT   0x80

/* Type classes of a field description. */
#define DBX_CLASS_OTHER     0
#define DBX_CLASS_LOGICAL   2
#define DBX_CLASS_DATE      3
#define DBX_CLASS_NUMERIC   7
#define DBX_CLASS_CHAR      8         /* C and M */

/* One field of a table (20 bytes). */
typedef struct _fielddes {
    char   name[DBX_FIELD_NAME];      /* zero-padded */
    char   type;                      /* C, M, D, L, N, ... */
    USHORT length;
    USHORT decimals;
    USHORT offset;                    /* position in the record */
    USHORT typeClass;                 /* DBX_CLASS_* */
} DBXFIELDDES, *PDBXFIELDDES;

/* Write commands. */
typedef enum DBX_WRITECMD {
    DBX_WRITE_RELEASE  = 0,   /* write the first bytes back, lock bit cleared */
    DBX_WRITE_UNLOCK   = 1,   /* whole record, lock bit cleared */
    DBX_WRITE_KEEPLOCK = 2,   /* whole record, lock bit left as it is */
    DBX_WRITE_REREAD   = 3    /* as 1; the engine re-reads its copy of the old record first */
} DBX_WRITECMD;

/* Items of QueryInfo / SetInfo. */
typedef enum DBXINFO {
    DBXINFO_NRFIELDS     = 0,  /* number of fields */
    DBXINFO_RECLENGTH    = 1,  /* record length */
    DBXINFO_HEADERLENGTH = 2,  /* header length */
    DBXINFO_NRINDEXES    = 3,  /* index slots in use */
    DBXINFO_SHARED       = 4,  /* 1 when opened for shared access */
    DBXINFO_BUSYINTERVAL = 5,  /* progress interval of BuildIndex (settable) */
    DBXINFO_LASTERROR    = 6,  /* detailed code of the last failing call (settable) */
    DBXINFO_HASSTATUS    = 7   /* 1 when the table has the status field */
} DBXINFO;

/* Record flags of QueryFlags / SetFlags (QueryFlags answers 1 or 0). */
typedef enum DBX_FLAG {
    DBX_FLAG_DELETED    = 1,   /* status '*' */
    DBX_FLAG_FROZEN     = 2,   /* status '-' */
    DBX_FLAG_ARCHIVED   = 4,   /* status '+' (kept) */
    DBX_FLAG_LOCKED     = 8,   /* status bit 7 */
    DBX_FLAG_DELETEDDBF = 16   /* dBase delete mark in the first byte */
} DBX_FLAG;

/* Attach flags of AttachIndex: low 4 bits say what to do with the file,
 * the next 4 bits become the index flags. */
#define DBX_ATTACH_CREATE     0x01  /* create a missing file empty */
#define DBX_ATTACH_BUILD      0x02  /* create a missing file and build it */
#define DBX_ATTACH_REPLACE    0x04  /* delete an existing file first */
#define DBX_ATTACH_MAINTAIN   0x10  /* index flag 1: kept in step with writes */
#define DBX_ATTACH_ENTERNEW   0x20  /* index flag 2: enter even when the old key was missing */
#define DBX_ATTACH_UNIQUE     0x40  /* index flag 4: non-blank keys are unique */
#define DBX_ATTACH_CASE       0x80  /* index flag 8: keys keep their case */
#define DBX_IXF_MAINTAIN      0x01
#define DBX_IXF_ENTERNEW      0x02
#define DBX_IXF_UNIQUE        0x04
#define DBX_IXF_CASE          0x08

/* Modes of table file management (slot 2). */
#define DBX_FILE_CHECK        0
#define DBX_FILE_COPY         1
#define DBX_FILE_DELETE       2
#define DBX_FILE_MOVE         3
#define DBX_FILE_DELETE_INDEX 4

/* Busy function of BuildIndex: phase 1 start (percent 10), 3 progress,
 * 2 end; a non-zero answer cancels. */
typedef struct _dbxgroup DBXGROUP, *PDBXGROUP;
typedef ULONG (*PFNDBXBUSY)(PDBXGROUP table, ULONG record, ULONG percent, ULONG phase, void *user);

/* One index attached to a table of the built-in engine. */
typedef struct _dbfix {
    PIX    ix;
    USHORT fieldNr[DBX_MAX_KEY_FIELDS];   /* field numbers, 0-based */
    USHORT fieldPos[DBX_MAX_KEY_FIELDS];  /* position of each field in the key */
    USHORT nFields;
    USHORT keyLength;                     /* sum of the field lengths */
    USHORT flags;                         /* DBX_IXF_* */
    char   fileName[MAX_PATH];            /* the index file */
} DBFIX, *PDBFIX;

/* An open table of the built-in engine.  Other engines hand out their own
 * records behind the same pointer type. */
struct _dbxgroup {
    struct _dbftable *table;              /* the table file */
    USHORT  nIndexes;                     /* slots in use */
    PDBFIX  index[DBX_MAX_INDEXES];       /* freed slots are null */
    PDBFIX  current;                      /* current index or null */
    USHORT  flags;                        /* bit 0 shared access */
    BYTE   *copy;                         /* the record as this process locked it */
    ULONG   copyRecord;                   /* 0 = no copy */
    PFNDBXBUSY busy;
    void   *busyUser;
    USHORT  busyInterval;                 /* initially 16 */
    char    name[260];
    ULONG   counters[4];                  /* mask bits 1, 2, 4 (record reads), 8 (record writes) */
    ULONG   lastError;
};

/* The 66 slots of an engine. */
typedef struct _DBXVTBL {
    PDBXGROUP (*Open)(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared,
                      ULONG withStatus, ULONG *error);                                      /* 0 */
    PDBXGROUP (*Create)(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared,
                        ULONG withStatus, ULONG *error);                                    /* 1 */
    USHORT (*FileOp)(ULONG mode, const char *name, const char *target, ULONG index);         /* 2 */
    USHORT (*Close)(PDBXGROUP t);                                                          /* 3 */
    PFNDBXBUSY (*SetBusyFunc)(PDBXGROUP t, PFNDBXBUSY fn, void *user, USHORT interval);   /* 4 */
    PDBFIX (*QueryIndex)(PDBXGROUP t, USHORT nr);                                           /* 5 */
    PDBFIX (*AttachIndex)(PDBXGROUP t, USHORT nr, const char *name, const char *const *fields,
                          USHORT count, ULONG attachFlags, ULONG shared, ULONG *error);     /* 6 */
    USHORT (*SetCurrentIndex)(PDBXGROUP t, PDBFIX ix);                                      /* 7 */
    PDBFIX (*QueryCurrentIndex)(PDBXGROUP t);                                               /* 8 */
    USHORT (*QueryNrFieldsInIndex)(PDBXGROUP t, PDBFIX ix);                                 /* 9 */
    USHORT (*QueryFieldInIndex)(PDBXGROUP t, PDBFIX ix, USHORT i);                          /* 10 */
    USHORT (*DetachIndex)(PDBXGROUP t, PDBFIX ix, ULONG deleteFile);                        /* 11 */
    USHORT (*BuildIndex)(PDBXGROUP t, PDBFIX ix);                                           /* 12 */
    PDBFIX (*DupIndexOnFieldDes)(PDBXGROUP t, const DBXFIELDDES *field);                   /* 13 */
    USHORT (*Read)(PDBXGROUP t, ULONG record, ULONG lock);                                  /* 14 */
    USHORT (*ReadFast)(PDBXGROUP t, ULONG record);                                          /* 15 */
    USHORT (*CheckUnique)(PDBXGROUP t, ULONG record, ULONG blankFields, USHORT *outIndex,
                          char *outKey, USHORT keySize, ULONG *error);                      /* 16 */
    USHORT (*WriteCmd)(PDBXGROUP t, ULONG record, ULONG command);                           /* 17 */
    ULONG  (*Append)(PDBXGROUP t, ULONG lock);                                              /* 18 */
    ULONG  (*NextRec)(PDBXGROUP t, PDBFIX ix);                                              /* 19 */
    ULONG  (*CurrRec)(PDBXGROUP t, PDBFIX ix);                                              /* 20 */
    ULONG  (*CheckRec)(PDBXGROUP t, PDBFIX ix, ULONG record, ULONG *other);                 /* 21 */
    ULONG  (*NextPrevNRec)(PDBXGROUP t, PDBFIX ix, LONG count);                             /* 22 */
    ULONG  (*FirstRec)(PDBXGROUP t, PDBFIX ix);                                             /* 23 */
    ULONG  (*PrevRec)(PDBXGROUP t, PDBFIX ix);                                              /* 24 */
    ULONG  (*LastRec)(PDBXGROUP t, PDBFIX ix);                                              /* 25 */
    ULONG  (*SearchKey)(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length);            /* 26 first >= */
    ULONG  (*SearchKeyExact)(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length);       /* 27 equal prefix */
    ULONG  (*SearchKeyBack)(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length);        /* 28 last <= */
    USHORT (*ExistsRec)(PDBXGROUP t, ULONG record);                                         /* 29 */
    USHORT (*SyncIndex)(PDBXGROUP t, PDBFIX ix);                                            /* 30 */
    USHORT (*SyncIndices)(PDBXGROUP t);                                                     /* 31 */
    USHORT (*SyncRecord)(PDBXGROUP t);                                                      /* 32 */
    USHORT (*GetCurrentKey)(PDBXGROUP t, PDBFIX ix, void *buffer, USHORT size);             /* 33 */
    USHORT (*ReplaceKey)(PDBXGROUP t, PDBFIX ix, ULONG record, const void *oldKey,
                         const void *newKey);                                              /* 34 */
    USHORT (*AddToIndex)(PDBXGROUP t, PDBFIX ix, ULONG record);                             /* 35 */
    USHORT (*RemoveFromIndex)(PDBXGROUP t, PDBFIX ix, ULONG record);                        /* 36 */
    ULONG  (*QueryNrRecords)(PDBXGROUP t);                                                  /* 37 */
    ULONG  (*QueryNrKeys)(PDBXGROUP t, PDBFIX ix);                                          /* 38 */
    USHORT (*QueryChanged)(PDBXGROUP t, PDBFIX ix);                                         /* 39 */
    ULONG  (*QueryCurrentRecord)(PDBXGROUP t);                                              /* 40 */
    USHORT (*UpdateRec)(PDBXGROUP t);                                                       /* 41 */
    USHORT (*IsBufValid)(PDBXGROUP t);                                                      /* 42 */
    USHORT (*DeleteRecord)(PDBXGROUP t, ULONG record, ULONG set, ULONG freeze);             /* 43 */
    USHORT (*DeleteRecordIx)(PDBXGROUP t, ULONG record, ULONG set, ULONG freeze);           /* 44 also the keys */
    USHORT (*SpecialKeepRecord)(PDBXGROUP t, ULONG record);                                 /* 45 */
    USHORT (*QueryField)(PDBXGROUP t, const DBXFIELDDES *f, char *buffer, USHORT size);     /* 46 */
    USHORT (*SetField)(PDBXGROUP t, const DBXFIELDDES *f, const char *value, USHORT length);/* 47 */
    const DBXFIELDDES *(*QueryFieldDesByName)(PDBXGROUP t, const char *name);               /* 48 */
    USHORT (*QueryFieldSize)(PDBXGROUP t, const DBXFIELDDES *f);                            /* 49 */
    BYTE  *(*QueryBuffer)(PDBXGROUP t);                                                     /* 50 */
    USHORT (*VerifyBuffer)(PDBXGROUP t);                                                    /* 51 */
    USHORT (*SetBuffer)(PDBXGROUP t, const void *buffer, USHORT length);                    /* 52 */
    USHORT (*ClearBuffer)(PDBXGROUP t);                                                     /* 53 */
    USHORT (*QueryBufferSize)(PDBXGROUP t);                                                 /* 54 */
    const DBXFIELDDES *(*QueryFieldDes)(PDBXGROUP t, USHORT nr);                            /* 55 */
    USHORT (*QueryFieldIndex)(PDBXGROUP t, const char *name);                               /* 56 */
    USHORT (*QueryKeyLength)(PDBXGROUP t, PDBFIX ix);                                       /* 57 */
    PIX    (*QueryIndexHix)(PDBXGROUP t, PDBFIX ix);                                        /* 58 */
    ULONG  (*QueryInfo)(PDBXGROUP t, ULONG item);                                           /* 59 */
    USHORT (*SetInfo)(PDBXGROUP t, ULONG item, ULONG value);                                /* 60 */
    ULONG  (*QueryFlags)(PDBXGROUP t, ULONG record, ULONG flag);                            /* 61 */
    USHORT (*SetFlags)(PDBXGROUP t, ULONG record, ULONG flag, ULONG value);                 /* 62 */
    USHORT (*CopyFlags)(PDBXGROUP to, ULONG toRecord, PDBXGROUP from, ULONG fromRecord);    /* 63 */
    ULONG  (*Init)(void);                                                                   /* 64 */
    void   (*Term)(void);                                                                   /* 65 */
} DBXVTBL, *PDBXVTBL;

#define DBX_SLOTS 66

/* Engines. */
ULONG     ORINAPI DbxAttachEngine(const char *module, ULONG parameter) ORIN_NOEXCEPT;
PDBXVTBL  ORINAPI DbxGetEngineVtbl(ULONG parameter) ORIN_NOEXCEPT;
PDBXVTBL  ORINAPI DbxGetVtbl(void) ORIN_NOEXCEPT;
ULONG     ORINAPI DbxSetTransactionTimeout(ULONG milliseconds) ORIN_NOEXCEPT;

/* Counters and positions of an open table of the built-in engine. */
ULONG     ORINAPI DbxGetSequenceNr(PDBXGROUP table, ULONG record, PDBFIX index, ULONG limit) ORIN_NOEXCEPT;
ULONG     ORINAPI DbxQueryPerformanceCounter(PDBXGROUP table, ULONG mask, ULONG reset) ORIN_NOEXCEPT;

/* Copies a table between engines: each module name null or empty for the
 * built-in engine.  Records keep their states; returns 0 or an error code. */
USHORT    ORINAPI DbxCopyTableEx(const char *source, const char *destination, ULONG withStatus,
                                 const char *sourceModule, const char *destinationModule) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* DBX_H */
