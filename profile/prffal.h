/*
 * prffal.h - the profile file format kept in a FAL block file, and the
 * internal calls of its handler (PrfFalHandler).
 *
 * File layout (all integers little-endian):
 *   FAL block 0 (user header, 3980 bytes): PRFFHEADER - version string,
 *       991 bucket block ids, next section id, in-update count, checksum.
 *   One FAL block per non-empty bucket: section table "@Sec", checksum,
 *       then PRFFSECREC records (each followed by its NUL-terminated name).
 *   One FAL block per section with keys: key table "@Key", checksum,
 *       header length, section id, section name, then PRFFKEYREC records
 *       (name, then the block ids of the value's pieces).
 *   One FAL block per 16 KiB of a value: PRFFPIECE (18 bytes), key name,
 *       data.
 * Every structure carries the profile checksum (KnlCrc16) computed with its
 * own checksum field zero.  The in-update count is raised on disk for the
 * duration of every change, so a profile left half-written is refused.
 */
#ifndef PRFFAL_H
#define PRFFAL_H

#include <atomic>
#include "profile/prfint.h"
#include "profile/falint.h"
#include "profile/prf_fal_cache.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PRFF_VERSION_CURRENT "PRFF203"
#define PRFF_VERSION_200     "PRFF200"
#define PRFF_VERSION_201     "PRFF201"
#define PRFF_VERSION_100     "PRFF100"
#define PRFF_VERSION_COMPARE 7            /* characters compared */
#define PRFF_BUCKETS         991
#define PRFF_HEADER_SIZE     3980
#define PRFF_INUPDATE_OFFSET 3976         /* inUpdate and checksum: 4 bytes */
#define PRFF_INUPDATE_BYTES  4
#define PRFF_SEC_MAGIC       "@Sec"
#define PRFF_KEY_MAGIC       "@Key"
#define PRFF_VAL_MAGIC       "@Val"
#define PRFF_MAGIC_SIZE      4
#define PRFF_PIECE_SHIFT     14
#define PRFF_PIECE_SIZE      (1UL << PRFF_PIECE_SHIFT)   /* 16384 */
#define PRFF_PIECE_MASK      (PRFF_PIECE_SIZE - 1)
#define PRFF_SECTION_LOCKED  0x0001
#define PRFF_TABLE_GRANULARITY 128        /* FAL granularity for table writes */
/* The largest table a FAL block holds when sizes round to 128: its total
 * size must stay within 16 bits.  Tables never reach 64 KiB. */
#define PRFF_TABLE_MAX       (0x10000UL - PRFF_TABLE_GRANULARITY - FAL_HDR_VARIABLE)
#define PRFF_FAL_FLAGS_CLEAR 0x0001       /* cleared from the caller's FAL flags */
/* Largest piece block the FAL file can hold (header and name included). */
#define PRFF_MAX_PIECE_BLOCK (FAL_MAX_TOTAL - FAL_HDR_VARIABLE - 2 * PRFF_TABLE_GRANULARITY)

#pragma pack(push, 1)
typedef struct _PRFFHEADER {
    char   version[8];
    ULONG  bucket[PRFF_BUCKETS];
    ULONG  nextSectionId;
    USHORT inUpdate;
    USHORT checksum;
} PRFFHEADER;

typedef struct _PRFFSECHEAD {             /* start of a section table */
    char   magic[PRFF_MAGIC_SIZE];
    USHORT checksum;
} PRFFSECHEAD;

typedef struct _PRFFSECREC {              /* followed by the name and a NUL */
    USHORT recordLength;
    USHORT flags;
    ULONG  sectionId;
    ULONG  keyTable;
} PRFFSECREC;

typedef struct _PRFFKEYHEAD {             /* followed by the section name and a NUL */
    char   magic[PRFF_MAGIC_SIZE];
    USHORT checksum;
    USHORT headerLength;
    ULONG  sectionId;
} PRFFKEYHEAD;

typedef struct _PRFFKEYREC {              /* name, NUL, then blockCount ULONG ids */
    USHORT recordLength;
    USHORT blockCount;
    ULONG  valueLength;
} PRFFKEYREC;

typedef struct _PRFFPIECE {               /* followed by the key name and a NUL */
    char   magic[PRFF_MAGIC_SIZE];
    USHORT checksum;                      /* of these 18 bytes, with offsets 4 and 8 zero */
    USHORT nameChecksum;                  /* of the key name and its NUL */
    USHORT reserved;
    USHORT headerLength;                  /* offset of the data */
    USHORT pieceIndex;
    ULONG  sectionId;
} PRFFPIECE;
#pragma pack(pop)

static_assert(sizeof(PRFFHEADER) == PRFF_HEADER_SIZE, "profile header is 3980 bytes");
static_assert(offsetof(PRFFHEADER, inUpdate) == PRFF_INUPDATE_OFFSET, "in-update count at 3976");
static_assert(sizeof(PRFFSECHEAD) == 6, "section table head is 6 bytes");
static_assert(sizeof(PRFFSECREC) == 12, "section record is 12 bytes");
static_assert(sizeof(PRFFKEYHEAD) == 12, "key table head is 12 bytes");
static_assert(sizeof(PRFFKEYREC) == 8, "key record is 8 bytes");
static_assert(sizeof(PRFFPIECE) == 18, "value piece head is 18 bytes");

/* A table as loaded from its block (or made in memory for a new one). */
typedef struct _PRFFTABLE {
    BOOL   loaded;
    ULONG  id;                            /* FAL block, 0 when not on disk */
    ULONG  owner;                         /* bucket (sections) or section id (keys) */
    BYTE  *bytes;
    ULONG  length;
    ULONG  capacity;
    orin::prf::KeyIndex index;            /* key tables: names to records */
} PRFFTABLE;

/* The handler's state of one open profile; the handle's word names it and
 * is checked against the pool of states (prf_fal_handler.cpp). */
typedef struct _PRFFAL {
    ~_PRFFAL();
    HFAL       fal;
    void      *nameSpace;
    PRFFHEADER hdr;
    USHORT     seenCount;                 /* FAL update count of hdr */
    PRFFTABLE  sec;
    PRFFTABLE  key;
    USHORT     openFlags;
    BOOL       fullWritePending;
    BOOL       bucketChanged;             /* in the current update */
    BOOL       verifyNames;
    BOOL       verifyChecksums;           /* checksums checked, old versions relabelled */
    BOOL       broken;                    /* a change failed half-way: no more writes */
    BYTE      *scratch;                   /* piece buffer */
    ULONG      scratchSize;
    orin::prf::FalCache cache;            /* other tables, key indexes, pieces */
    BOOL       updateBegun;               /* the current message began writing */
    PRFFHEADER sealed;                    /* the header as last sealed for a write */
    BOOL       sealedKnown;
} PRFFAL;

/* The shape of a value before and after a write. */
typedef struct _PRFFPLAN {
    ULONG start, end;                     /* value bytes written */
    BOOL  truncate;
    ULONG oldLength, oldCount;
    ULONG newLength, newCount;
} PRFFPLAN;

/* Sizes derived from the layout. */
#define PRFF_SECREC_SIZE(nameLen)   ((ULONG)sizeof(PRFFSECREC) + (nameLen) + 1)
#define PRFF_KEYHEAD_SIZE(nameLen)  ((ULONG)sizeof(PRFFKEYHEAD) + (nameLen) + 1)
#define PRFF_KEYREC_SIZE(nameLen, n) ((ULONG)sizeof(PRFFKEYREC) + (nameLen) + 1 + 4 * (ULONG)(n))
#define PRFF_PIECEHEAD_SIZE(nameLen) ((ULONG)sizeof(PRFFPIECE) + (nameLen) + 1)

/* Process-wide default of verifyChecksums for profiles opened from now on
 * (on unless a test turns it off). */
extern std::atomic<BOOL> prfFalVerifyChecksums;

/* prf_fal_tables.cpp: header, update bracket, tables and records. */
USHORT prffChecksum(const void *bytes, ULONG length);
int    prffBucketOf(const char *name);
void   prffInitHeader(PRFFHEADER *hdr);
void   prffSealHeader(PRFFHEADER *hdr);
BOOL   prffHeaderSound(const PRFFHEADER *hdr);
/* True when a table's checksum (its bytes 4-5) is right; needs length >= 6. */
BOOL   prffTableSound(BYTE *bytes, ULONG length);
USHORT prffReadHeader(PRFFAL *st);
USHORT prffWriteHeader(PRFFAL *st, BOOL full);
void   prffDropTables(PRFFAL *st);
USHORT prffBegin(PRFFAL *st, BOOL exclusive);
USHORT prffEnd(PRFFAL *st, USHORT rc, BOOL changed);
USHORT prffUpdateBegin(PRFFAL *st);
USHORT prffUpdateEnd(PRFFAL *st);
USHORT prffLoadSections(PRFFAL *st, int bucket);
USHORT prffLoadKeys(PRFFAL *st, const PRFFSECREC *sec, const char *sectionName);
PRFFSECREC *prffFindSection(PRFFAL *st, const char *name);
PRFFKEYREC *prffFindKey(PRFFAL *st, const char *name);
USHORT prffNextSection(const PRFFTABLE *t, ULONG *pos, PRFFSECREC **rec);
USHORT prffNextKey(const PRFFTABLE *t, ULONG *pos, PRFFKEYREC **rec);
const char *prffSectionName(const PRFFSECREC *rec);
const char *prffKeyName(const PRFFKEYREC *rec);
ULONG *prffKeyPieces(PRFFKEYREC *rec);
ULONG  prffKeysStart(const PRFFTABLE *t);
USHORT prffAddSection(PRFFAL *st, const char *name, USHORT flags, PRFFSECREC **rec);
void   prffRemoveSection(PRFFAL *st, PRFFSECREC *rec);
USHORT prffAddKey(PRFFAL *st, const char *name, PRFFKEYREC **rec);
USHORT prffResizeKey(PRFFAL *st, PRFFKEYREC **rec, USHORT blockCount);
void   prffRemoveKey(PRFFAL *st, PRFFKEYREC *rec);
USHORT prffSaveKeys(PRFFAL *st, PRFFSECREC **sec, const char *sectionName);
USHORT prffSaveSections(PRFFAL *st);

#ifdef __cplusplus
}

namespace orin::prf {

/* One message's hold on the profile's lock (prffBegin/prffEnd): end(rc,
 * changed) drops the tables after a failure, notes the update count of a
 * change and unlocks, answering rc or else the unlock's code.  A bracket
 * left without end() ends as a failed change, so no path keeps the lock
 * or trusts tables it may have left half changed. */
using Bracket = BasicBracket<PRFFAL *, prffBegin, prffEnd, ORIN_ERR_GENERAL>;

/* While one lives, profiles this thread opens neither check checksums nor
 * relabel old versions: the conversion of an old profile reads it so. */
class UncheckedOpen {
public:
    UncheckedOpen();
    ~UncheckedOpen();
    UncheckedOpen(const UncheckedOpen &) = delete;
    UncheckedOpen &operator=(const UncheckedOpen &) = delete;

private:
    bool previous_;
};

}  // namespace orin::prf

extern "C" {
#endif

/* prf_fal_value.cpp: value pieces. */
USHORT prffPieceChecksum(const PRFFPIECE *p);
USHORT prffReadValue(PRFFAL *st, const PRFFSECREC *sec, PRFFKEYREC *key, PRFREQUEST *rq);
USHORT prffPlanValue(PRFFAL *st, PRFFKEYREC **key, ULONG start, ULONG end, BOOL truncate,
                     PRFFPLAN *plan);
USHORT prffWriteValue(PRFFAL *st, ULONG sectionId, PRFFKEYREC **key, const PRFFPLAN *plan,
                      const void *data);
USHORT prffFreePieces(PRFFAL *st, PRFFKEYREC *key);
USHORT prffCheckPieces(PRFFAL *st, ULONG sectionId, PRFFKEYREC *key);

/* prf_fal_handler.cpp */
PRFFAL *prffStateOf(HPRF h);
void   PrfFalSetVerifyChecksums(BOOL on);

#ifdef __cplusplus
}
#endif

#endif /* PRFFAL_H */
