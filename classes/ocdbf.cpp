/*
 * ocdbf.cpp - OcDbf: an object over one open table of the record layer
 * (table/dbf_table.h).  Every member checks that a table is open, forwards
 * and turns the layer's code into non-zero / 0 with the code kept.
 */
#include <cstring>
#include <string>
#include "ocdbf.h"
#include "strlst.h"
#include "table/dbf_table.h"

using orin::table::DbfTable;

OcDbf::OcDbf() : m_lastError(0), m_table(nullptr) {}

OcDbf::~OcDbf()
{
    Close();
}

int OcDbf::Done(USHORT rc)
{
    m_lastError = rc;
    return rc == 0;
}

int OcDbf::Fail(ULONG code)
{
    m_lastError = code;
    return 0;
}

bool OcDbf::HasTable()
{
    if (m_table != nullptr)
        return true;
    m_lastError = ORIN_ERR_INVALID_HANDLE;
    return false;
}

int OcDbf::Open(const char *name, ULONG shared, ULONG denyOthers, ULONG readOnly)
{
    Close();
    orin::table::OpenMode mode{shared != 0, denyOthers != 0, readOnly != 0};
    return Done(DbfTable::open(name, mode, &m_table));
}

int OcDbf::Create(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared,
                  ULONG withStatus)
{
    Close();
    USHORT rc = DbfTable::create(name, fields, count, withStatus != 0);
    return rc && rc != DBX_ERR_EXISTS ? Fail(rc) : Open(name, shared);
}

int OcDbf::Close()
{
    if (!HasTable())
        return 0;
    m_table->close();
    delete m_table;
    m_table = nullptr;
    return Done(0);
}

int OcDbf::Seek(ULONG record)
{
    if (!HasTable())
        return 0;
    return Done(m_table->seek(record) ? 0 : DBX_FAILED);
}

ULONG OcDbf::QueryNrRecords()
{
    if (!HasTable())
        return 0;
    m_lastError = 0;
    return m_table->queryCount();
}

int OcDbf::Lock(ULONG record)
{
    if (!HasTable())
        return 0;
    if (!m_table->seek(record))
        return Fail(DBX_FAILED);
    return Done(m_table->lockRecord(record, true) ? 0 : DBX_BUSY);
}

int OcDbf::Unlock(ULONG record)
{
    if (!HasTable())
        return 0;
    if (!m_table->seek(record))
        return Fail(DBX_FAILED);
    m_table->unlockRecord(record);
    return Done(0);
}

int OcDbf::Read(ULONG record, ULONG lock)
{
    if (!HasTable())
        return 0;
    return Done(m_table->read(record, lock != 0));
}

int OcDbf::ReadFast(ULONG record)
{
    return Read(record, 0);
}

int OcDbf::ReadBuf(ULONG record, ULONG lock, void *buffer, ULONG raw)
{
    if (!HasTable())
        return 0;
    if (buffer == nullptr)
        return Fail(ORIN_ERR_INVALID_PARAM);
    return Done(m_table->readInto(record, lock != 0, static_cast<uint8_t *>(buffer), raw != 0));
}

int OcDbf::Write(ULONG record, DBX_WRITECMD command)
{
    if (!HasTable())
        return 0;
    return Done(m_table->write(record, command));
}

int OcDbf::Delete(ULONG record, ULONG set, ULONG freeze)
{
    if (!HasTable())
        return 0;
    return Done(m_table->changeState(record, set != 0, freeze != 0));
}

int OcDbf::SpecialKeepRecord(ULONG record)
{
    if (!HasTable())
        return 0;
    return Done(m_table->keep(record));
}

int OcDbf::Status(ULONG record, char state)
{
    if (!HasTable())
        return 0;
    bool locked = false;
    int s = m_table->diskState(record, &locked);
    if (s < 0)
        return Fail(DBX_FAILED);
    m_lastError = 0;
    return state == 0 ? locked : s == state;
}

int OcDbf::IsDeleted(ULONG record) { return Status(record, DBX_STATE_DELETED); }
int OcDbf::IsFrozen(ULONG record) { return Status(record, DBX_STATE_FROZEN); }
int OcDbf::IsKeeped(ULONG record) { return Status(record, DBX_STATE_KEPT); }
int OcDbf::IsLocked(ULONG record) { return Status(record, 0); }

ULONG OcDbf::Append(ULONG lock)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    ULONG record = m_table->append(lock != 0);
    m_lastError = record == DBX_NO_RECORD ? DBX_FAILED : 0;
    return record;
}

int OcDbf::QueryField(const DBXFIELDDES *field, char *buffer, USHORT size)
{
    if (!HasTable())
        return 0;
    return Done(m_table->queryField(field, buffer, size));
}

int OcDbf::SetField(const DBXFIELDDES *field, const char *value, int length)
{
    if (!HasTable())
        return 0;
    if (value == nullptr)
        return Fail(ORIN_ERR_INVALID_PARAM);
    size_t n = length < 0 ? std::strlen(value) : size_t(length);
    return Done(m_table->setField(field, value, n));
}

const DBXFIELDDES *OcDbf::QueryFieldHandle(const char *name)
{
    if (!HasTable())
        return nullptr;
    const DBXFIELDDES *f = m_table->fieldByName(name);
    m_lastError = f ? 0 : DBX_ERR_UNKNOWN_FIELD;
    return f;
}

int OcDbf::CopyFieldDes(DBXFIELDDES *fields, USHORT count)
{
    if (!HasTable())
        return 0;
    if (fields == nullptr)
        return Fail(ORIN_ERR_INVALID_PARAM);
    return Done(m_table->copyFieldDes(fields, count) ? 0 : DBX_ERR_MISMATCH);
}

const DBXFIELDDES *OcDbf::QueryFieldNr(USHORT index)
{
    if (!HasTable())
        return nullptr;
    if (index >= m_table->nFields) {
        Fail(ORIN_ERR_INVALID_PARAM);
        return nullptr;
    }
    m_lastError = 0;
    return &m_table->fields[index];
}

USHORT OcDbf::QueryNrFields()
{
    if (!HasTable())
        return 0;
    m_lastError = 0;
    return m_table->nFields;
}

USHORT OcDbf::QueryFieldIndex(const char *name)
{
    if (!HasTable())
        return 0xFFFF;
    USHORT i = m_table->fieldIndex(name);
    m_lastError = i == 0xFFFF ? DBX_ERR_UNKNOWN_FIELD : 0;
    return i;
}

USHORT OcDbf::FieldSize(const DBXFIELDDES *field)
{
    if (!HasTable())
        return 0;
    if (field == nullptr)
        return USHORT(Fail(ORIN_ERR_INVALID_PARAM));
    m_lastError = 0;
    return field->length;
}

BYTE *OcDbf::QueryBuffer()
{
    if (!HasTable())
        return nullptr;
    m_lastError = 0;
    return m_table->buffer.data();
}

USHORT OcDbf::QueryBufferSize()
{
    if (!HasTable())
        return 0;
    m_lastError = 0;
    return m_table->recordLength;
}

ULONG OcDbf::QueryCurrentRecord()
{
    if (!HasTable())
        return 0;
    m_lastError = 0;
    return m_table->current;
}

int OcDbf::StartTransaction()
{
    if (!HasTable())
        return 0;
    return Done(m_table->startTransaction() ? 0 : DBX_FAILED);
}

int OcDbf::EndTransaction()
{
    if (!HasTable())
        return 0;
    return Done(m_table->endTransaction() ? 0 : DBX_FAILED);
}

char *OcDbf::GetFieldNameList()
{
    if (!HasTable())
        return nullptr;
    std::string text;
    for (const auto &f : m_table->fields)
        text += std::string(f.name) + ";";
    if (!text.empty())
        text.pop_back();
    m_lastError = 0;
    return StrLstCreateList(text.c_str(), ';');
}
