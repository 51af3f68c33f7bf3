/*
 * brc.h - document archives: a profile file with a fixed schema that keeps
 * numbered documents, their named fields, indexes over field values and
 * named views.
 *
 * Sections of an archive: "BrcHeader" (version 100, creation stamp, slot
 * counts NrDocs/NrIndex/NrViews, flavour, code page, comment, scrambled
 * password), "Doc_<n>" per document, "Template", "Index_<n>" per index
 * (its definition and its Ixd tree as an in-profile file) and "View_<n>"
 * per view.  A document section holds AppSite, DocID, DTEntrance, Active,
 * ActiveOnEntrance, the field list "Fields" (names joined by ','), History,
 * and per field Info.<name> (field information text) and Value.<name>.
 *
 * Open modes are those of the profile: 0 exclusive, 1 shared (section locks,
 * field lists written through), 2 read-only.  Every call returns an error
 * code (0 = success) unless stated; profile and index errors pass through.
 * A handle that is null, closed or not of this family gives 6.
 */
#ifndef BRC_H
#define BRC_H

#include "orinbase.h"
#include "dat.h"
#include "ixd.h"
#include "prf.h"
#include "vbf.h"

ORIN_BEGIN_DECLS

/* Error codes of the family. */
#define BRC_ERR_VERSION         57514  /* "Version" is not 100 */
#define BRC_ERR_ACTIVE_DOCS     57515  /* BrcDelete: active documents remain */
#define BRC_ERR_NO_DOC          57516  /* no such document, or no match */
#define BRC_ERR_IS_ARCHIVE      57517  /* plain open of an "archive" archive */
#define BRC_ERR_NOT_ARCHIVE     57518  /* "archive" open of a plain archive */
#define BRC_ERR_PASSWORD        57519  /* wrong, null or empty password */
#define BRC_ERR_NOT_ACTIVE      57524  /* document was not active on entrance */
#define BRC_ERR_OWN_FILE        57525  /* field value names the archive itself */
#define BRC_ERR_NO_FIELD        57526  /* field not in the document's list */
#define BRC_ERR_FIELD_TYPE      57527  /* field has another type */
#define BRC_ERR_DEFINITION      57534  /* definition text syntax error or too long */
#define BRC_ERR_NO_INDEX        57535  /* no index with that number or definition */
#define BRC_ERR_INDEX_IN_USE    57536  /* index still in use after a deleting close */
#define BRC_ERR_GENERAL         65535  /* cancelled, no key, unknown entry */

#define BRC_VERSION             100
#define BRC_TEMPLATE_NUMBER     65535  /* document number of the template */
#define BRC_FIELD_NAME_MAX      31
#define BRC_ID_SIZE             346
#define BRD_APPSITE_SIZE        304
#define BRD_DOCID_SIZE          40
#define BRC_FIELD_TYPE_FILE     70     /* 'F': a field that holds a file name */

/* Segment flags of index and view definitions. */
#define BRC_SEG_RIGHT           0x0001 /* R: pad before the value */
#define BRC_SEG_CENTER          0x0002 /* C: pad on both sides */
#define BRC_SEG_REQUIRED        0x0080 /* N: no key without the field */

/* Busy phases. */
#define BRC_BUSY_START          1
#define BRC_BUSY_END            2
#define BRC_BUSY_PROGRESS       3

/* Compare modes of BrdFldCompare. */
#define BRD_COMPARE_EXACT       0
#define BRD_COMPARE_PREFIX      2

typedef struct BrcArchive BrcArchive;       /* archive handle */
typedef struct BrdDocument BrdDocument;     /* document handle */
typedef struct BrcIndexEntry BrcIndexEntry; /* an open archive index */

typedef struct _BRCHEADERINFO {
    USHORT version;
    USHORT maxDocs;             /* NrDocs: document slot count */
    USHORT docs;                /* existing document sections */
    USHORT activeDocs;
    USHORT maxIndexes;
    USHORT indexes;
    USHORT maxViews;
    USHORT views;
    char   id[BRC_ID_SIZE];
    HPRF   profile;
} BRCHEADERINFO, BrcHeaderInfo;

typedef struct _BRDHEADERINFO {
    char     appSite[BRD_APPSITE_SIZE];
    char     docId[BRD_DOCID_SIZE];
    ULONG    activeOnEntrance;
    ULONG    active;
    DATETIME entrance;
    USHORT   nrFields;
} BRDHEADERINFO, BrdHeaderInfo;

typedef struct _BRCIXSEGMENT {
    char   name[BRC_FIELD_NAME_MAX + 1];
    USHORT length;
    USHORT flags;               /* BRC_SEG_* */
} BRCIXSEGMENT, BrcIxSegment;

/* Progress of an index rebuild; a non-zero answer cancels it. */
typedef USHORT (ORINAPI *PFNBRCBUSY)(BrcArchive *archive, USHORT total, USHORT value,
                                     USHORT phase, ULONGLONG user);

/* The caller's copy functions of the memo and redline calls:
 * copy(context, destination profile, source profile, destination section,
 * source section) and copy(destination profile, source profile,
 * destination section, source section, destination key, source key, flag). */
typedef USHORT (ORINAPI *PFNBRDCOPYSECTION)(void *context, HPRF destination, HPRF source,
                                            const char *destinationSection,
                                            const char *sourceSection);
typedef USHORT (ORINAPI *PFNBRDCOPYKEY)(HPRF destination, HPRF source,
                                        const char *destinationSection,
                                        const char *sourceSection,
                                        const char *destinationKey, const char *sourceKey,
                                        ULONG flag);

/* ---- Archives ---- */
USHORT ORINAPI BrcCreate(void *anchor, BrcArchive **archive, const char *fileName, USHORT mode) ORIN_NOEXCEPT;
USHORT ORINAPI BrcCreateOnVbf(void *anchor, BrcArchive **archive, const char *fileName, USHORT mode,
                              VBFFUNCS *funcs) ORIN_NOEXCEPT;
USHORT ORINAPI BrcCreateArchive(void *anchor, BrcArchive **archive, const char *fileName,
                                USHORT mode) ORIN_NOEXCEPT;
USHORT ORINAPI BrcCreateArchiveOnVbf(void *anchor, BrcArchive **archive, const char *fileName,
                                     USHORT mode, VBFFUNCS *funcs) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpen(void *anchor, BrcArchive **archive, const char *fileName, USHORT mode) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenOnVbf(void *anchor, BrcArchive **archive, const char *fileName, USHORT mode,
                            VBFFUNCS *funcs) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenArchive(void *anchor, BrcArchive **archive, const char *fileName,
                              USHORT mode) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenArchiveOnVbf(void *anchor, BrcArchive **archive, const char *fileName,
                                   USHORT mode, VBFFUNCS *funcs) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenReadonly(void *anchor, BrcArchive **archive, const char *fileName,
                               USHORT mode) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenReadonlyOnVbf(void *anchor, BrcArchive **archive, const char *fileName,
                                    USHORT mode, VBFFUNCS *funcs) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenArchiveReadonly(void *anchor, BrcArchive **archive, const char *fileName,
                                      USHORT mode) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenArchiveReadonlyOnVbf(void *anchor, BrcArchive **archive,
                                           const char *fileName, USHORT mode,
                                           VBFFUNCS *funcs) ORIN_NOEXCEPT;
USHORT ORINAPI BrcClose(BrcArchive *archive) ORIN_NOEXCEPT;
USHORT ORINAPI BrcDelete(void *anchor, const char *fileName) ORIN_NOEXCEPT;
USHORT ORINAPI BrcPack(void *anchor, const char *fileName, ULONG flags) ORIN_NOEXCEPT;
USHORT ORINAPI BrcSetCorrupt(BrcArchive *archive, BOOL flag) ORIN_NOEXCEPT;
HPRF   ORINAPI BrcGetPrfHandle(BrcArchive *archive) ORIN_NOEXCEPT;

USHORT ORINAPI BrcGetVersion(BrcArchive *archive, USHORT *version) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetMaxNrDocs(BrcArchive *archive, USHORT *count) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetMaxNrIx(BrcArchive *archive, USHORT *count) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetMaxNrViews(BrcArchive *archive, USHORT *count) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetNrDocs(BrcArchive *archive, USHORT *count) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetNrIx(BrcArchive *archive, USHORT *count) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetNrViews(BrcArchive *archive, USHORT *count) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetNrActiveDocs(BrcArchive *archive, USHORT *count) ORIN_NOEXCEPT;
/* 1 when the slot's section exists, else 0. */
USHORT ORINAPI BrcQueryDocExist(BrcArchive *archive, USHORT number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcQueryIxExist(BrcArchive *archive, USHORT number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcQueryViewExist(BrcArchive *archive, USHORT number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetHeaderInfo(BrcArchive *archive, BrcHeaderInfo *info) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetID(BrcArchive *archive, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI BrcGetComment(BrcArchive *archive, char *buffer, ULONG *size) ORIN_NOEXCEPT;
USHORT ORINAPI BrcSetComment(BrcArchive *archive, const char *text) ORIN_NOEXCEPT;
/* Now (dt null) or dt as 14 digits YYYYMMDDhhmmss into buffer (at most
 * size - 1 characters) or, with a null buffer, into one static buffer;
 * returns the buffer used. */
char  *ORINAPI BrcGetDateTimeStamp(const DATETIME *dt, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI BrcSetPassword(BrcArchive *archive, const char *password) ORIN_NOEXCEPT;
USHORT ORINAPI BrcVerifyPassword(BrcArchive *archive, const char *password) ORIN_NOEXCEPT;
/* Returns the busy function installed before. */
PFNBRCBUSY ORINAPI BrcSetBusyFunc(BrcArchive *archive, PFNBRCBUSY busy, ULONGLONG user,
                                  USHORT interval) ORIN_NOEXCEPT;
USHORT ORINAPI BrcLockHeader(BrcArchive *archive, BOOL lock) ORIN_NOEXCEPT;

/* The template document. */
USHORT ORINAPI BrcOpenTemplate(BrcArchive *archive, BrdDocument **document) ORIN_NOEXCEPT;
USHORT ORINAPI BrcCloseTemplate(BrdDocument *document) ORIN_NOEXCEPT;
USHORT ORINAPI BrcTemplateFldSet(BrdDocument *document, const char *name, USHORT type,
                                 const void *value, ULONG length, BOOL compressed) ORIN_NOEXCEPT;
USHORT ORINAPI BrcTemplateFldDelete(BrdDocument *document, const char *name) ORIN_NOEXCEPT;

/* ---- Documents ---- */
USHORT ORINAPI BrdAddDocument(BrcArchive *archive, BrdDocument **document, const char *appSite,
                              const char *docId, BOOL active, BOOL keepLocked) ORIN_NOEXCEPT;
USHORT ORINAPI BrdOpenDocument(BrcArchive *archive, BrdDocument **document, USHORT number,
                               BOOL lock) ORIN_NOEXCEPT;
USHORT ORINAPI BrdCloseDocument(BrdDocument *document) ORIN_NOEXCEPT;
USHORT ORINAPI BrdDeleteDocument(BrdDocument *document) ORIN_NOEXCEPT;
USHORT ORINAPI BrdLockDocument(BrdDocument *document, BOOL lock) ORIN_NOEXCEPT;
HPRF   ORINAPI BrdGetPrfHandle(BrdDocument *document) ORIN_NOEXCEPT;
/* The document's number (65535 for the template), or 65535 for a bad handle. */
USHORT ORINAPI BrdGetDocNumber(BrdDocument *document) ORIN_NOEXCEPT;
USHORT ORINAPI BrcFindDoc(BrcArchive *archive, const char *appSite, const char *docId,
                          USHORT *number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcFindDocFile(BrcArchive *archive, const char *fileName, USHORT *number) ORIN_NOEXCEPT;

USHORT ORINAPI BrdGetHeaderInfo(BrdDocument *document, BrdHeaderInfo *info) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetAppSite(BrdDocument *document, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetDocID(BrdDocument *document, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetDTEntrance(BrdDocument *document, DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetActive(BrdDocument *document, ULONG *active) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetActiveOnEntrance(BrdDocument *document, ULONG *active) ORIN_NOEXCEPT;
USHORT ORINAPI BrdSetActive(BrdDocument *document, BOOL active) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetArchive(BrdDocument *document, ULONG *isArchive) ORIN_NOEXCEPT;
/* Status: 2 inactive, 1 entered by another application site, 3 a field
 * was updated, 4 no field updated. */
USHORT ORINAPI BrdGetStatus(BrdDocument *document, const char *appSite, USHORT *status) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetUpdated(BrdDocument *document, ULONG *updated) ORIN_NOEXCEPT;
USHORT ORINAPI BrdResetUpdated(BrdDocument *document) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetHistory(BrdDocument *document, char *buffer, ULONG *size) ORIN_NOEXCEPT;
USHORT ORINAPI BrdHistoryPrintf(BrdDocument *document, const char *format, ...) ORIN_NOEXCEPT;

/* Document file names (fields MAINDOCLONGFN, MAINDOCFN, GROUPDOCFN_<n>). */
USHORT ORINAPI BrdSetDocName(BrdDocument *document, const char *path) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetDocName(BrdDocument *document, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFindDocName(BrdDocument *document) ORIN_NOEXCEPT;
USHORT ORINAPI BrdSetGroupDocName(BrdDocument *document, USHORT member, const char *path) ORIN_NOEXCEPT;

/* ---- Fields ---- */
USHORT ORINAPI BrdGetNrFields(BrdDocument *document, USHORT *count) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetName(BrdDocument *document, USHORT index, char *buffer, ULONG size) ORIN_NOEXCEPT;
/* 1 when the field is in the document's list, else 0. */
USHORT ORINAPI BrdFldQueryExist(BrdDocument *document, const char *name) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFindField(BrdDocument *document, const char *name, USHORT expectedType,
                            USHORT *type) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetInfo(BrdDocument *document, const char *name, PRFFLDINFO *info) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetType(BrdDocument *document, const char *name, USHORT *type) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetSize(BrdDocument *document, const char *name, ULONG *size) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetUpdated(BrdDocument *document, const char *name, USHORT *updated) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetCompressed(BrdDocument *document, const char *name,
                                   USHORT *compressed) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetAttrib(BrdDocument *document, const char *name, USHORT *attributes) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetDTCreate(BrdDocument *document, const char *name, DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetDTUpdate(BrdDocument *document, const char *name, DATETIME *dt) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldSetAttrib(BrdDocument *document, const char *name, USHORT attributes) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetString(BrdDocument *document, const char *name, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldSet(BrdDocument *document, const char *name, USHORT type, const void *value,
                         ULONG length, BOOL compressed) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldSetString(BrdDocument *document, const char *name, const char *text) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldSetData(BrdDocument *document, const char *name, const void *data,
                             ULONG length) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldDelete(BrdDocument *document, const char *name) ORIN_NOEXCEPT;
/* result: 0 equal, 1 stored value greater (or longer), 65535 smaller. */
USHORT ORINAPI BrdFldCompare(BrdDocument *document, const char *name, const void *value,
                             ULONG length, USHORT mode, USHORT *result) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldCompareWithDisk(BrdDocument *document, const char *name, const char *path,
                                     USHORT mode, USHORT *result) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldCopyToDisk(BrdDocument *document, const char *name, const char *path,
                                BOOL overwriteReadOnly) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldCopyFromDisk(BrdDocument *document, const char *name, const char *path,
                                  BOOL compress) ORIN_NOEXCEPT;
/* The field's value as a virtual file (closed with VbfClose). */
USHORT ORINAPI BrdFldGetVbf(BrdDocument *document, const char *name, BOOL create, BOOL compressed,
                            HVBF *file) ORIN_NOEXCEPT;

/* Memos and redlines: the caller's copy function does the work. */
USHORT ORINAPI BrdSetMemos(BrdDocument *document, HPRF profile, PFNBRDCOPYSECTION copy,
                           void *context, const char *section) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetMemos(BrdDocument *document, HPRF profile, PFNBRDCOPYSECTION copy,
                           void *context, const char *section) ORIN_NOEXCEPT;
USHORT ORINAPI BrdSetMemoField(BrdDocument *document, HPRF profile, PFNBRDCOPYKEY copy,
                               const char *section, const char *archiveKey, const char *callerKey,
                               ULONG flag) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetMemoField(BrdDocument *document, HPRF profile, PFNBRDCOPYKEY copy,
                               const char *section, const char *archiveKey,
                               const char *callerKey) ORIN_NOEXCEPT;
USHORT ORINAPI BrdSetRedlines(BrdDocument *document, HPRF profile, PFNBRDCOPYSECTION copy,
                              void *context, const char *section) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetRedlines(BrdDocument *document, HPRF profile, PFNBRDCOPYSECTION copy,
                              void *context, const char *section) ORIN_NOEXCEPT;
USHORT ORINAPI BrdSetRedLayer(BrdDocument *document, HPRF profile, PFNBRDCOPYKEY copy,
                              const char *section, const char *archiveKey, const char *callerKey,
                              ULONG flag) ORIN_NOEXCEPT;
USHORT ORINAPI BrdGetRedLayer(BrdDocument *document, HPRF profile, PFNBRDCOPYKEY copy,
                              const char *section, const char *archiveKey,
                              const char *callerKey) ORIN_NOEXCEPT;
USHORT ORINAPI BrdDeleteMemos(BrdDocument *document) ORIN_NOEXCEPT;
USHORT ORINAPI BrdDeleteRedlines(BrdDocument *document) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetMemoInfo(BrdDocument *document, const char *name, PRFFLDINFO *info) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldSetMemoInfo(BrdDocument *document, const char *name,
                                 const PRFFLDINFO *info) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldGetRedLayerInfo(BrdDocument *document, const char *name,
                                     PRFFLDINFO *info) ORIN_NOEXCEPT;
USHORT ORINAPI BrdFldSetRedLayerInfo(BrdDocument *document, const char *name,
                                     const PRFFLDINFO *info) ORIN_NOEXCEPT;

/* ---- Indexes and views ---- */
/* The segments are allocated with malloc(); the caller frees them. */
USHORT ORINAPI BrcIxGetIxDef(BrcArchive *archive, USHORT number, BrcIxSegment **segments,
                             USHORT *count) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxGetIxDefStr(BrcArchive *archive, USHORT number, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxFind(BrcArchive *archive, const BrcIxSegment *segments, USHORT count,
                         USHORT *number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxFindStr(BrcArchive *archive, const char *text, USHORT *number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxOpen(BrcArchive *archive, const BrcIxSegment *segments, USHORT count,
                         BrcIndexEntry **entry) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxOpenStr(BrcArchive *archive, const char *text, BrcIndexEntry **entry) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxOpenNr(BrcArchive *archive, USHORT number, BrcIndexEntry **entry) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxClose(BrcArchive *archive, BrcIndexEntry *entry) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxDelete(BrcArchive *archive, BrcIndexEntry *entry) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxDeleteNr(BrcArchive *archive, USHORT number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxBuildIx(BrcArchive *archive, BrcIndexEntry *entry) ORIN_NOEXCEPT;
/* forIndex non-zero: an index key (no terminator, zero padding, 65535 when
 * an N segment's field is missing); 0: a display line (space padding,
 * zero-terminated). */
USHORT ORINAPI BrcIxVwQueryKeyFromDoc(BrdDocument *document, const BrcIxSegment *segments,
                                      USHORT count, BOOL forIndex, void *buffer,
                                      USHORT bufferLength) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxQueryKeyFromDocNr(BrcArchive *archive, BrcIndexEntry *entry, USHORT number,
                                      void *buffer) ORIN_NOEXCEPT;
/* Number of keys (0 on failure); a null entry is the default index. */
ULONG  ORINAPI BrcIxQueryNrKeys(BrcArchive *archive, BrcIndexEntry *entry) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxFirst(BrcArchive *archive, BrcIndexEntry *entry, USHORT *number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxLast(BrcArchive *archive, BrcIndexEntry *entry, USHORT *number) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxNextPrev(BrcArchive *archive, BrcIndexEntry *entry, USHORT number, SHORT steps,
                             USHORT *reached) ORIN_NOEXCEPT;
/* The index number and key length of an open entry (65535 / 0 when the
 * entry is not open on the archive). */
USHORT ORINAPI BrcIxQueryNumber(BrcArchive *archive, BrcIndexEntry *entry) ORIN_NOEXCEPT;
USHORT ORINAPI BrcIxQueryKeyLength(BrcArchive *archive, BrcIndexEntry *entry) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenHixNr(BrcArchive *archive, USHORT number, PIX *ix) ORIN_NOEXCEPT;
USHORT ORINAPI BrcOpenHixStr(BrcArchive *archive, const char *text, PIX *ix) ORIN_NOEXCEPT;
USHORT ORINAPI BrcVwDefine(BrcArchive *archive, const char *name, const char *sortDefinition,
                           const char *displayDefinition, USHORT *number) ORIN_NOEXCEPT;

ORIN_END_DECLS

#ifdef __cplusplus
static_assert(sizeof(BRCIXSEGMENT) == 36, "BrcIxSegment layout");
#endif

#endif /* BRC_H */
