/*
 * ocdbf.h - OcDbf: direct access to one dBase III table file (the record
 * layer of the built-in engine, dbx.h for the file layout).
 *
 * Members that act return non-zero for success and 0 on failure, keeping
 * the code for GetLastError(); record operations keep DBX_FAILED (65535)
 * for an invalid record, an I/O error or a refused state change and
 * DBX_BUSY (65534) for a record another process holds.  Record numbers
 * start at 1; 0 and 0xFFFFFFFF designate no record.
 *
 * Open(name, shared, denyOthers, readOnly): shared tables allow other
 * processes (or deny them reading and writing when asked); other tables
 * allow only readers.  Create(name, fields, count, shared, withStatus)
 * makes the file only when it does not exist, then opens it (an existing
 * table is opened as it is); withStatus puts the status field
 * "ORINSTATUS" first.
 * GetFieldNameList returns a string list (strlst.h) released with free().
 */
#ifndef OCDBF_H
#define OCDBF_H

#include "dbx.h"

#ifdef __cplusplus

class ORIN_CLASS OcDbf {
public:
    OcDbf();
    virtual ~OcDbf();
    OcDbf(const OcDbf &) = delete;
    OcDbf &operator=(const OcDbf &) = delete;

    int Open(const char *name, ULONG shared = 0, ULONG denyOthers = 0, ULONG readOnly = 0);
    int Create(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared = 0,
               ULONG withStatus = 1);
    int Close();

    int   Seek(ULONG record);
    ULONG QueryNrRecords();
    int   Lock(ULONG record);
    int   Unlock(ULONG record);
    int   Read(ULONG record, ULONG lock = 0);
    int   ReadFast(ULONG record);
    int   ReadBuf(ULONG record, ULONG lock, void *buffer, ULONG raw);
    int   Write(ULONG record, DBX_WRITECMD command);
    int   Delete(ULONG record, ULONG set, ULONG freeze);
    int   SpecialKeepRecord(ULONG record);
    int   IsDeleted(ULONG record);
    int   IsLocked(ULONG record);
    int   IsFrozen(ULONG record);
    int   IsKeeped(ULONG record);
    ULONG Append(ULONG lock = 0);

    int    QueryField(const DBXFIELDDES *field, char *buffer, USHORT size);
    int    SetField(const DBXFIELDDES *field, const char *value, int length = -1);
    const DBXFIELDDES *QueryFieldHandle(const char *name);
    int    CopyFieldDes(DBXFIELDDES *fields, USHORT count);
    const DBXFIELDDES *QueryFieldNr(USHORT index);
    USHORT QueryNrFields();
    USHORT QueryFieldIndex(const char *name);
    USHORT FieldSize(const DBXFIELDDES *field);
    BYTE  *QueryBuffer();
    USHORT QueryBufferSize();
    ULONG  QueryCurrentRecord();

    int   StartTransaction();
    int   EndTransaction();
    char *GetFieldNameList();
    ULONG GetLastError() const { return m_lastError; }
    int   Ok() const { return m_lastError == 0; }

protected:
    bool HasTable();   /* false (with the invalid-handle code) when none is open */
    int Done(USHORT rc);
    int Fail(ULONG code);
    int Status(ULONG record, char state);

    ULONG m_lastError;
    struct _dbftable *m_table;
};

#endif /* __cplusplus */

#endif /* OCDBF_H */
