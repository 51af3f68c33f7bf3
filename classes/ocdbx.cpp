/*
 * ocdbx.cpp - OcDbx: a table through the current engine's slots.  The
 * engine is taken when a table is opened and kept until it is closed, so
 * an object never mixes two engines.  Members called while no table is
 * open answer their failure value with the invalid-handle code.
 */
#include <cstring>
#include <string>
#include "ocdbx.h"
#include "table/abd_format.h"
#include "table/dbf_table.h"

namespace {
constexpr ULONG ATTACH_PLAIN = DBX_ATTACH_BUILD | DBX_ATTACH_MAINTAIN | DBX_ATTACH_ENTERNEW; /* 50 */
constexpr ULONG ATTACH_UNIQUE = ATTACH_PLAIN | DBX_ATTACH_UNIQUE;                            /* 114 */
}

bool OcDbx::HasTable()
{
    if (m_table != nullptr)
        return true;
    m_lastError = ORIN_ERR_INVALID_HANDLE;
    return false;
}

/* The engine's last code after a call. */
#define CODE() (m_lastError = m_vtbl->QueryInfo(m_table, DBXINFO_LASTERROR))

OcDbx::OcDbx() : m_vtbl(nullptr), m_table(nullptr), m_lastError(0) {}

OcDbx::~OcDbx()
{
    Close();
}

int OcDbx::Result(USHORT rc)
{
    CODE();
    if (rc != 0 && m_lastError == 0)
        m_lastError = rc;
    return rc == 0;
}

ULONG OcDbx::Record(ULONG record)
{
    CODE();
    return record;
}

int OcDbx::Open(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared)
{
    Close();
    m_vtbl = DbxGetVtbl();
    m_table = m_vtbl->Open(name, fields, count, shared, 0, &m_lastError);
    return m_table != nullptr;
}

int OcDbx::Create(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared)
{
    Close();
    m_vtbl = DbxGetVtbl();
    m_table = m_vtbl->Create(name, fields, count, shared, 1, &m_lastError);
    return m_table != nullptr;
}

int OcDbx::Open(const char *name, ULONG mode, ULONG flags)
{
    Close();
    if (name == nullptr) {
        m_lastError = ORIN_ERR_INVALID_PARAM;
        return 0;
    }
    orin::table::AbdDescription d;
    std::string file = orin::table::withExtension(name, "abd");
    if (!orin::table::readDescription(file.c_str(), d)) {
        m_lastError = ORIN_ERR_FILE_NOT_FOUND;
        return 0;
    }
    ULONG shared = mode & OCDBX_SHARED;
    USHORT n = USHORT(d.fields.size());
    if (!Open(name, d.fields.data(), n, shared) &&
        !((flags & OCDBX_CREATE) && m_lastError == DBX_ERR_FILE_NOT_FOUND &&
          Create(name, d.fields.data(), n, shared)))
        return 0;
    for (size_t i = 0; i < d.indexes.size(); ++i) {
        std::vector<const char *> names;
        for (const auto &f : d.indexes[i].fields)
            names.push_back(f.c_str());
        ULONG attach = d.indexes[i].unique ? ATTACH_UNIQUE : ATTACH_PLAIN;
        if (!AttachIndex(USHORT(i), nullptr, names.data(), USHORT(names.size()), attach, shared)) {
            ULONG code = m_lastError;
            Close();
            m_lastError = code;
            return 0;
        }
    }
    return 1;
}

int OcDbx::FileOp(ULONG mode, const char *name, const char *target, ULONG index)
{
    PDBXVTBL v = m_vtbl ? m_vtbl : DbxGetVtbl();
    m_lastError = v->FileOp(mode, name, target, index);
    return m_lastError == 0;
}

int OcDbx::Close()
{
    if (!HasTable())
        return 0;
    m_lastError = m_vtbl->Close(m_table);
    m_table = nullptr;
    return m_lastError == 0;
}

PFNDBXBUSY OcDbx::SetBusyFunc(PFNDBXBUSY fn, void *user, USHORT interval)
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->SetBusyFunc(m_table, fn, user, interval);
}

PDBFIX OcDbx::QueryIndex(USHORT nr)
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->QueryIndex(m_table, nr);
}

PDBFIX OcDbx::QueryIndex()
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->QueryCurrentIndex(m_table);
}

PDBFIX OcDbx::AttachIndex(USHORT nr, const char *name, const char *const *fields, USHORT count,
                          ULONG attachFlags, ULONG shared)
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->AttachIndex(m_table, nr, name, fields, count, attachFlags, shared, &m_lastError);
}

int OcDbx::SetCurrentIndex(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->SetCurrentIndex(m_table, ix));
}

USHORT OcDbx::QueryNrFieldsInIndex(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryNrFieldsInIndex(m_table, ix);
}

USHORT OcDbx::QueryFieldInIndex(PDBFIX ix, USHORT i)
{
    if (!HasTable())
        return 0xFFFF;
    return m_vtbl->QueryFieldInIndex(m_table, ix, i);
}

int OcDbx::DetachIndex(PDBFIX ix, ULONG del)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->DetachIndex(m_table, ix, del));
}

int OcDbx::BuildIndex(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->BuildIndex(m_table, ix));
}

PDBFIX OcDbx::DupIndexOnFieldDes(const DBXFIELDDES *f)
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->DupIndexOnFieldDes(m_table, f);
}

int OcDbx::Read(ULONG record, ULONG lock)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->Read(m_table, record, lock));
}

int OcDbx::ReadFast(ULONG record)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->ReadFast(m_table, record));
}

int OcDbx::CheckUnique(ULONG record, ULONG blankFields, USHORT *index, char *key, USHORT keySize)
{
    if (!HasTable())
        return 0;
    USHORT rc = m_vtbl->CheckUnique(m_table, record, blankFields, index, key, keySize, &m_lastError);
    return rc == 0;
}

int OcDbx::WriteCmd(ULONG record, DBX_WRITECMD cmd)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->WriteCmd(m_table, record, cmd));
}

ULONG OcDbx::Append(ULONG lock)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    return Record(m_vtbl->Append(m_table, lock));
}

ULONG OcDbx::NextRec(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return Record(m_vtbl->NextRec(m_table, ix));
}

ULONG OcDbx::CurrRec(PDBFIX ix)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    return Record(m_vtbl->CurrRec(m_table, ix));
}

ULONG OcDbx::CheckRec(PDBFIX ix, ULONG record, ULONG *other)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    return Record(m_vtbl->CheckRec(m_table, ix, record, other));
}

ULONG OcDbx::NextPrevNRec(LONG n, PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return Record(m_vtbl->NextPrevNRec(m_table, ix, n));
}

ULONG OcDbx::FirstRec(PDBFIX ix)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    return Record(m_vtbl->FirstRec(m_table, ix));
}

ULONG OcDbx::PrevRec(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return Record(m_vtbl->PrevRec(m_table, ix));
}

ULONG OcDbx::LastRec(PDBFIX ix)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    return Record(m_vtbl->LastRec(m_table, ix));
}

ULONG OcDbx::SearchKey(const char *key, PDBFIX ix)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    return Record(m_vtbl->SearchKey(m_table, ix, key, key ? USHORT(std::strlen(key)) : 0));
}

ULONG OcDbx::SearchKeyExact(const char *key, PDBFIX ix)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    return Record(m_vtbl->SearchKeyExact(m_table, ix, key, key ? USHORT(std::strlen(key)) : 0));
}

ULONG OcDbx::SearchKeyBack(const char *key, PDBFIX ix)
{
    if (!HasTable())
        return DBX_NO_RECORD;
    return Record(m_vtbl->SearchKeyBack(m_table, ix, key, key ? USHORT(std::strlen(key)) : 0));
}

int OcDbx::ExistsRec(ULONG record)
{
    if (!HasTable())
        return 0;
    return m_vtbl->ExistsRec(m_table, record);
}

int OcDbx::SyncIndex(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->SyncIndex(m_table, ix));
}

int OcDbx::SyncIndices()
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->SyncIndices(m_table));
}

int OcDbx::SyncRecord()
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->SyncRecord(m_table));
}

int OcDbx::GetCurrentKey(PDBFIX ix, void *b, USHORT n)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->GetCurrentKey(m_table, ix, b, n));
}

int OcDbx::ReplaceKey(PDBFIX ix, ULONG record, const void *oldKey, const void *newKey)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->ReplaceKey(m_table, ix, record, oldKey, newKey));
}

int OcDbx::AddToIndex(PDBFIX ix, ULONG r)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->AddToIndex(m_table, ix, r));
}

int OcDbx::RemoveFromIndex(PDBFIX ix, ULONG r)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->RemoveFromIndex(m_table, ix, r));
}

ULONG OcDbx::QueryNrRecords()
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryNrRecords(m_table);
}

ULONG OcDbx::QueryNrKeys(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryNrKeys(m_table, ix);
}

int OcDbx::QueryChanged(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryChanged(m_table, ix);
}

ULONG OcDbx::QueryCurrentRecord()
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryCurrentRecord(m_table);
}

int OcDbx::UpdateRec()
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->UpdateRec(m_table));
}

int OcDbx::IsBufValid()
{
    if (!HasTable())
        return 0;
    return m_vtbl->IsBufValid(m_table);
}

int OcDbx::DeleteRecord(ULONG r, ULONG s, ULONG f)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->DeleteRecord(m_table, r, s, f));
}

int OcDbx::DeleteRecordIx(ULONG r, ULONG s, ULONG f)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->DeleteRecordIx(m_table, r, s, f));
}

int OcDbx::SpecialKeepRecord(ULONG r)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->SpecialKeepRecord(m_table, r));
}

int OcDbx::QueryField(const DBXFIELDDES *f, char *buffer, USHORT size)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->QueryField(m_table, f, buffer, size));
}

int OcDbx::QueryField(const char *name, char *buffer, USHORT size)
{
    return QueryField(QueryFieldDes(name), buffer, size);
}

int OcDbx::SetField(const DBXFIELDDES *f, const char *value, int length)
{
    if (!HasTable())
        return 0;
    if (value == nullptr)
        return Result(DBX_FAILED);
    USHORT n = USHORT(length < 0 ? std::strlen(value) : size_t(length));
    return Result(m_vtbl->SetField(m_table, f, value, n));
}

int OcDbx::SetField(const char *name, const char *value, int length)
{
    return SetField(QueryFieldDes(name), value, length);
}

const DBXFIELDDES *OcDbx::QueryFieldDes(const char *name)
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->QueryFieldDesByName(m_table, name);
}

const DBXFIELDDES *OcDbx::QueryFieldDes(USHORT nr)
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->QueryFieldDes(m_table, nr);
}

USHORT OcDbx::QueryFieldSize(const DBXFIELDDES *f)
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryFieldSize(m_table, f);
}

BYTE *OcDbx::QueryBuffer()
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->QueryBuffer(m_table);
}

int OcDbx::VerifyBuffer()
{
    if (!HasTable())
        return 0;
    return m_vtbl->VerifyBuffer(m_table);
}

int OcDbx::SetBuffer(const void *b, USHORT n)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->SetBuffer(m_table, b, n));
}

int OcDbx::ClearBuffer()
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->ClearBuffer(m_table));
}

USHORT OcDbx::QueryBufferSize()
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryBufferSize(m_table);
}

USHORT OcDbx::QueryFieldIndex(const char *name)
{
    if (!HasTable())
        return 0xFFFF;
    return m_vtbl->QueryFieldIndex(m_table, name);
}

USHORT OcDbx::QueryKeyLength(PDBFIX ix)
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryKeyLength(m_table, ix);
}

PIX OcDbx::QueryIndexHix(PDBFIX ix)
{
    if (!HasTable())
        return nullptr;
    return m_vtbl->QueryIndexHix(m_table, ix);
}

ULONG OcDbx::QueryInfo(DBXINFO item)
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryInfo(m_table, item);
}

int OcDbx::SetInfo(DBXINFO item, ULONG v)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->SetInfo(m_table, item, v));
}

ULONG OcDbx::QueryFlags(ULONG r, DBX_FLAG f)
{
    if (!HasTable())
        return 0;
    return m_vtbl->QueryFlags(m_table, r, f);
}

int OcDbx::SetFlags(ULONG r, DBX_FLAG f, ULONG v)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->SetFlags(m_table, r, f, v));
}

int OcDbx::CopyFlags(ULONG record, OcDbx &from, ULONG fromRecord)
{
    if (!HasTable())
        return 0;
    return Result(m_vtbl->CopyFlags(m_table, record, from.m_table, fromRecord));
}
