/*
 * dbx_attach.cpp - the process-wide engine: attaching the built-in engine
 * or one loaded from a module that exports "DbxGetEngineVtbl", the
 * transaction time-out, table file management, sequence numbers, counters
 * and the copy of a table from one engine to another.
 */
#include <cstring>
#include <string>
#include "table/dbx_engine.h"

namespace orin::dbx {
namespace {

constexpr UINT QUIET_ERROR_MODE = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;   /* 32769 */
constexpr ULONG DEFAULT_SEQUENCE_LIMIT = 10000;
constexpr ULONG MAX_INDEX_FILES = 99;
constexpr size_t COUNTERS = 4;
typedef PDBXVTBL (*PFNGETVTBL)(ULONG);

/* Suppresses critical-error boxes for its lifetime. */
class QuietErrors {
public:
    QuietErrors() : m_old(SetErrorMode(QUIET_ERROR_MODE)) {}
    ~QuietErrors() { SetErrorMode(m_old); }
private:
    UINT m_old;
};

/* An engine as loaded: its table and the module that supplied it. */
struct Engine {
    PDBXVTBL vtbl = nullptr;
    HMODULE module = nullptr;
};

Engine current;
ULONG timeoutMs = DEFAULT_TRANSACTION_TIMEOUT;

void unload(Engine &e)
{
    if (e.vtbl && e.vtbl->Term)
        e.vtbl->Term();
    if (e.module)
        FreeLibrary(e.module);
    e = Engine{};
}

/* Loads an engine (empty or null name: the built-in one) and runs its
 * initialiser; false leaves e empty. */
bool load(const char *module, ULONG parameter, Engine &e)
{
    e = Engine{};
    if (module == nullptr || *module == 0) {
        e.vtbl = DbxGetEngineVtbl(parameter);
    } else {
        QuietErrors quiet;
        e.module = LoadLibraryA(module);
        auto get = e.module ? reinterpret_cast<PFNGETVTBL>(GetProcAddress(e.module, "DbxGetEngineVtbl"))
                            : nullptr;
        e.vtbl = get ? get(parameter) : nullptr;
    }
    if (e.vtbl == nullptr || (e.vtbl->Init && !e.vtbl->Init())) {
        if (e.module)
            FreeLibrary(e.module);
        e = Engine{};
        return false;
    }
    return true;
}

std::vector<std::string> indexFiles(const std::string &table)
{
    std::vector<std::string> files;
    for (ULONG i = 0; i < MAX_INDEX_FILES; ++i) {
        std::string name = indexFileName(table.c_str(), i);
        if (GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES)
            files.push_back(name);
    }
    return files;
}

USHORT lastErrorOr(BOOL ok)
{
    return ok ? 0 : USHORT(GetLastError() ? GetLastError() : ORIN_ERR_GENERAL);
}

/* Copies one record's fields and state from one engine's table to another's. */
bool copyRecord(PDBXVTBL from, PDBXGROUP src, ULONG record, PDBXVTBL to, PDBXGROUP dst)
{
    if (from->ReadFast(src, record) != 0)
        return false;
    ULONG added = to->Append(dst, 1);
    if (added == DBX_NO_RECORD)
        return false;
    ULONG n = to->QueryInfo(dst, DBXINFO_NRFIELDS);
    char value[256];
    for (USHORT i = 0; i < n; ++i) {
        const DBXFIELDDES *df = to->QueryFieldDes(dst, i);
        const DBXFIELDDES *sf = df ? from->QueryFieldDesByName(src, df->name) : nullptr;
        if (sf == nullptr || std::strcmp(sf->name, DBX_STATUS_FIELD) == 0)
            continue;
        from->QueryField(src, sf, value, sizeof value);
        to->SetField(dst, df, value, USHORT(std::strlen(value)));
    }
    if (to->WriteCmd(dst, added, DBX_WRITE_UNLOCK) != 0)
        return false;
    if (from->QueryFlags(src, record, DBX_FLAG_ARCHIVED))
        to->SetFlags(dst, added, DBX_FLAG_ARCHIVED, 1);
    if (from->QueryFlags(src, record, DBX_FLAG_FROZEN))
        to->DeleteRecord(dst, added, 1, 1);
    if (from->QueryFlags(src, record, DBX_FLAG_DELETED))
        to->DeleteRecord(dst, added, 1, 0);
    return true;
}

USHORT copyTable(PDBXVTBL from, PDBXVTBL to, const char *source, const char *destination,
                 ULONG withStatus)
{
    ULONG err = 0;
    PDBXGROUP src = from->Open(source, nullptr, 0, 0, 0, &err);
    if (src == nullptr)
        return USHORT(err);
    std::vector<DBXFIELDDES> fields;
    ULONG n = from->QueryInfo(src, DBXINFO_NRFIELDS);
    for (USHORT i = 0; i < n; ++i) {
        const DBXFIELDDES *f = from->QueryFieldDes(src, i);
        if (f && std::strcmp(f->name, DBX_STATUS_FIELD) != 0)
            fields.push_back(*f);
    }
    PDBXGROUP dst = to->Create(destination, fields.data(), USHORT(fields.size()), 0, withStatus, &err);
    if (dst == nullptr) {
        from->Close(src);
        return USHORT(err);
    }
    ULONG count = from->QueryNrRecords(src);
    USHORT rc = 0;
    for (ULONG r = 1; r <= count && rc == 0; ++r)
        if (!copyRecord(from, src, r, to, dst))
            rc = DBX_FAILED;
    to->Close(dst);
    from->Close(src);
    return rc;
}

}  // namespace

ULONG transactionTimeout()
{
    return timeoutMs;
}

USHORT tableFileOp(ULONG mode, const char *name, const char *target, ULONG index)
{
    QuietErrors quiet;
    if (name == nullptr || *name == 0)
        return ORIN_ERR_INVALID_PARAM;
    std::string table = orin::table::withExtension(name, "DBF");
    bool needsTarget = mode == DBX_FILE_COPY || mode == DBX_FILE_MOVE;
    if (needsTarget && (target == nullptr || *target == 0))
        return ORIN_ERR_INVALID_PARAM;
    std::string other = needsTarget ? orin::table::withExtension(target, "DBF") : std::string();
    switch (mode) {
    case DBX_FILE_CHECK: {
        orin::table::DbfTable *t = nullptr;
        USHORT rc = orin::table::DbfTable::open(table.c_str(), {false, false, true}, &t);
        if (t) {
            t->close();
            delete t;
        }
        return rc;
    }
    case DBX_FILE_COPY:
    case DBX_FILE_MOVE: {
        auto move = [&](const std::string &a, const std::string &b) {
            return mode == DBX_FILE_COPY ? CopyFileA(a.c_str(), b.c_str(), TRUE)
                                         : MoveFileA(a.c_str(), b.c_str());
        };
        USHORT rc = lastErrorOr(move(table, other));
        for (ULONG i = 0; i < MAX_INDEX_FILES && rc == 0; ++i) {
            std::string ix = indexFileName(table.c_str(), i);
            if (GetFileAttributesA(ix.c_str()) != INVALID_FILE_ATTRIBUTES)
                rc = lastErrorOr(move(ix, indexFileName(other.c_str(), i)));
        }
        return rc;
    }
    case DBX_FILE_DELETE: {
        USHORT rc = lastErrorOr(DeleteFileA(table.c_str()));
        for (const auto &ix : indexFiles(table))
            DeleteFileA(ix.c_str());
        return rc;
    }
    case DBX_FILE_DELETE_INDEX:
        if (index < INDEX_NUMBER_LIMIT)
            return lastErrorOr(DeleteFileA(indexFileName(table.c_str(), index).c_str()));
        return target ? lastErrorOr(DeleteFileA(target)) : USHORT(ORIN_ERR_INVALID_PARAM);
    default:
        return ORIN_ERR_INVALID_PARAM;
    }
}

}  // namespace orin::dbx

using namespace orin::dbx;

ULONG ORINAPI DbxAttachEngine(const char *module, ULONG parameter) noexcept
{
    unload(current);
    Engine e;
    if (!load(module, parameter, e))
        return 0;
    current = e;
    return 1;
}

PDBXVTBL ORINAPI DbxGetEngineVtbl(ULONG parameter) noexcept
{
    return parameter == 0 ? builtinVtbl() : nullptr;
}

PDBXVTBL ORINAPI DbxGetVtbl(void) noexcept
{
    return current.vtbl ? current.vtbl : builtinVtbl();
}

ULONG ORINAPI DbxSetTransactionTimeout(ULONG milliseconds) noexcept
{
    ULONG old = timeoutMs;
    timeoutMs = milliseconds;
    return old;
}

/* Counts the keys before the record's pair, at most limit of them. */
ULONG ORINAPI DbxGetSequenceNr(PDBXGROUP t, ULONG record, PDBFIX index, ULONG limit) noexcept
{
    if (record == 0 || record == DBX_NO_RECORD || !valid(t))
        return 0;
    PDBFIX ix = resolve(t, index);
    if (ix == nullptr)
        return 0;
    auto *table = t->table;
    std::vector<BYTE> image(table->recordLength), key(ix->keyLength);
    const BYTE *rec = table->buffer.data();
    if (record != table->current || !(table->flags & orin::table::TF_BUFFER_VALID)) {
        if (!table->readRaw(record, image.data()))
            return 0;
        ++t->counters[COUNTER_READS];
        rec = image.data();
    }
    buildKey(t, ix, rec, key.data());
    ULONG err = 0, found = 0, n = 0;
    if (IxdRetrieve(ix->ix, key.data(), record, &err) != 0)
        return 0;
    ULONG most = limit ? limit : DEFAULT_SEQUENCE_LIMIT;
    while (n < most && IxdPrev(ix->ix, nullptr, &found, &err) == 0)
        ++n;
    IxdRetrieve(ix->ix, key.data(), record, &err);
    return n;
}

ULONG ORINAPI DbxQueryPerformanceCounter(PDBXGROUP t, ULONG mask, ULONG reset) noexcept
{
    if (!valid(t))
        return 0;
    ULONG sum = 0;
    for (size_t i = 0; i < COUNTERS; ++i)
        if (mask & (1u << i)) {
            sum += t->counters[i];
            if (reset)
                t->counters[i] = 0;
        }
    return sum;
}

USHORT ORINAPI DbxCopyTableEx(const char *source, const char *destination, ULONG withStatus,
                              const char *sourceModule, const char *destinationModule) noexcept
{
    if (source == nullptr || destination == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    Engine from, to;
    if (!load(sourceModule, 0, from))
        return ORIN_ERR_FILE_NOT_FOUND;
    if (!load(destinationModule, 0, to)) {
        unload(from);
        return ORIN_ERR_FILE_NOT_FOUND;
    }
    USHORT rc = copyTable(from.vtbl, to.vtbl, source, destination, withStatus);
    unload(to);
    unload(from);
    return rc;
}
