/*
 * ocdbx.h - OcDbx: one table reached through the current database engine
 * (dbx.h), one member per engine slot.
 *
 * Open(name, mode, flags) reads the description file name + ".abd", opens
 * the table with the description's field descriptions (mode bit 0: shared
 * access) and attaches every index the description lists, numbered from
 * 0 in order, with the attach flags 50 (build when missing, maintained,
 * enter new keys) or 114 (the same, unique) when the index's flag byte is
 * set.  flags bit 0 (OCDBX_CREATE) creates a missing table from the
 * description first.  Members that act return non-zero for success;
 * queries return their value; GetLastError() holds the engine's code.
 *
 * Description file (little-endian): "ABD1", version "00" or "01".
 * Version 01: index count u16 at 530, field count u16 at 532, index
 * descriptions of 519 bytes from 536 (brace list such as {NAME}{DATE},
 * zero-terminated and padded to 518 bytes, then a flag byte), then 20-byte
 * field descriptions (DBXFIELDDES).  Version 00: counts at 140 and 142,
 * 129-byte index descriptions (128 text, 1 flag) from 144, then the
 * field descriptions.  Bytes 6-529 of version 01 are not interpreted.
 */
#ifndef OCDBX_H
#define OCDBX_H

#include "dbx.h"

#define OCDBX_SHARED   0x01   /* Open mode: shared access */
#define OCDBX_CREATE   0x01   /* Open flags: create a missing table */

#ifdef __cplusplus

class ORIN_CLASS OcDbx {
public:
    OcDbx();
    virtual ~OcDbx();
    OcDbx(const OcDbx &) = delete;
    OcDbx &operator=(const OcDbx &) = delete;

    int Open(const char *name, ULONG mode = 0, ULONG flags = 0);
    int Open(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared);
    int Create(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared = 0);
    int FileOp(ULONG mode, const char *name, const char *target = NULL, ULONG index = 0);
    int Close();
    PFNDBXBUSY SetBusyFunc(PFNDBXBUSY fn, void *user, USHORT interval);

    PDBFIX QueryIndex(USHORT nr);
    PDBFIX AttachIndex(USHORT nr, const char *name, const char *const *fields, USHORT count,
                       ULONG attachFlags, ULONG shared);
    int    SetCurrentIndex(PDBFIX ix);
    PDBFIX QueryIndex();
    USHORT QueryNrFieldsInIndex(PDBFIX ix);
    USHORT QueryFieldInIndex(PDBFIX ix, USHORT i);
    int    DetachIndex(PDBFIX ix, ULONG deleteFile = 0);
    int    BuildIndex(PDBFIX ix);
    PDBFIX DupIndexOnFieldDes(const DBXFIELDDES *field);

    int   Read(ULONG record, ULONG lock = 0);
    int   ReadFast(ULONG record);
    int   CheckUnique(ULONG record, ULONG blankFields = 0, USHORT *index = NULL, char *key = NULL,
                      USHORT keySize = 0);
    int   WriteCmd(ULONG record, DBX_WRITECMD command);
    int   Write(ULONG record) { return WriteCmd(record, DBX_WRITE_UNLOCK); }
    ULONG Append(ULONG lock = 0);

    ULONG NextRec(PDBFIX ix = NULL);
    ULONG CurrRec(PDBFIX ix = NULL);
    ULONG CheckRec(PDBFIX ix, ULONG record, ULONG *other);
    ULONG NextPrevNRec(LONG count, PDBFIX ix = NULL);
    ULONG FirstRec(PDBFIX ix = NULL);
    ULONG PrevRec(PDBFIX ix = NULL);
    ULONG LastRec(PDBFIX ix = NULL);
    ULONG SearchKey(const char *key, PDBFIX ix = NULL);
    ULONG SearchKeyExact(const char *key, PDBFIX ix = NULL);
    ULONG SearchKeyBack(const char *key, PDBFIX ix = NULL);
    int   ExistsRec(ULONG record);
    int   SyncIndex(PDBFIX ix = NULL);
    int   SyncIndices();
    int   SyncRecord();
    int   GetCurrentKey(PDBFIX ix, void *buffer, USHORT size);
    int   ReplaceKey(PDBFIX ix, ULONG record, const void *oldKey, const void *newKey);
    int   AddToIndex(PDBFIX ix, ULONG record);
    int   RemoveFromIndex(PDBFIX ix, ULONG record);
    ULONG QueryNrRecords();
    ULONG QueryNrKeys(PDBFIX ix = NULL);
    int   QueryChanged(PDBFIX ix = NULL);
    ULONG QueryCurrentRecord();
    int   UpdateRec();
    int   IsBufValid();
    int   DeleteRecord(ULONG record, ULONG set = 1, ULONG freeze = 0);
    int   DeleteRecordIx(ULONG record, ULONG set = 1, ULONG freeze = 0);
    int   SpecialKeepRecord(ULONG record);

    int    QueryField(const DBXFIELDDES *field, char *buffer, USHORT size);
    int    QueryField(const char *name, char *buffer, USHORT size);
    int    SetField(const DBXFIELDDES *field, const char *value, int length = -1);
    int    SetField(const char *name, const char *value, int length = -1);
    const DBXFIELDDES *QueryFieldDes(const char *name);
    const DBXFIELDDES *QueryFieldDes(USHORT nr);
    USHORT QueryFieldSize(const DBXFIELDDES *field);
    BYTE  *QueryBuffer();
    int    VerifyBuffer();
    int    SetBuffer(const void *buffer, USHORT length);
    int    ClearBuffer();
    USHORT QueryBufferSize();
    USHORT QueryFieldIndex(const char *name);
    USHORT QueryKeyLength(PDBFIX ix = NULL);
    PIX    QueryIndexHix(PDBFIX ix = NULL);
    ULONG  QueryInfo(DBXINFO item);
    int    SetInfo(DBXINFO item, ULONG value);
    ULONG  QueryFlags(ULONG record, DBX_FLAG flag);
    int    SetFlags(ULONG record, DBX_FLAG flag, ULONG value);
    int    CopyFlags(ULONG record, OcDbx &from, ULONG fromRecord);

    int    QueryArchived(ULONG record) { return QueryFlags(record, DBX_FLAG_ARCHIVED) != 0; }
    int    QueryDeleted(ULONG record) { return QueryFlags(record, DBX_FLAG_DELETED) != 0; }
    int    QueryDeletedDbf(ULONG record) { return QueryFlags(record, DBX_FLAG_DELETEDDBF) != 0; }
    int    QueryLocked(ULONG record) { return QueryFlags(record, DBX_FLAG_LOCKED) != 0; }
    USHORT QueryNrFields() { return USHORT(QueryInfo(DBXINFO_NRFIELDS)); }
    int    Active() const { return m_table != NULL; }
    ULONG  GetLastError() const { return m_lastError; }
    operator PDBXGROUP() const { return m_table; }

protected:
    bool HasTable();   /* false (with the invalid-handle code) when none is open */
    int Result(USHORT rc);
    ULONG Record(ULONG record);

    PDBXVTBL  m_vtbl;
    PDBXGROUP m_table;
    ULONG     m_lastError;
};

#endif /* __cplusplus */

#endif /* OCDBX_H */
