/*
 * dbx_builtin.cpp - the built-in engine's table of 66 slots: opening and
 * closing tables, the record and field slots over the table file layer,
 * and the slots whose work lives in dbx_index.cpp and dbx_nav.cpp.
 *
 * Every slot first checks that its table is live (opened by this engine
 * and not closed); a dead or made-up table answers the slot's failure
 * value without being touched.
 */
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>
#include "table/dbx_engine.h"

namespace orin::dbx {
namespace {

using orin::table::DbfTable;
using orin::table::TF_BUFFER_VALID;

std::mutex liveLock;
std::unordered_set<PDBXGROUP> liveTables;

PDBXGROUP openFailed(ULONG code, ULONG *error)
{
    if (error)
        *error = code;
    SetLastError(code);
    return nullptr;
}

void destroy(PDBXGROUP t)
{
    {
        std::lock_guard<std::mutex> g(liveLock);
        liveTables.erase(t);
    }
    for (auto &ix : t->index)
        if (ix) {
            IxdClose(ix->ix);
            delete ix;
            ix = nullptr;
        }
    if (t->table) {
        t->table->close();
        delete t->table;
    }
    delete[] t->copy;
    delete t;
}

PDBXGROUP openTable(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared,
                    ULONG withStatus, ULONG *error)
{
    if (name == nullptr || *name == 0)
        return openFailed(DBX_ERR_FILE_NOT_FOUND, error);
    std::string file = orin::table::withExtension(name, "DBF");
    DbfTable *table = nullptr;
    USHORT rc = DbfTable::open(file.c_str(), {shared != 0, false, false}, &table);
    if (rc != 0)
        return openFailed(rc, error);
    if (fields && count) {
        std::vector<DBXFIELDDES> mine(fields, fields + count);
        if (!table->copyFieldDes(mine.data(), count)) {
            table->close();
            delete table;
            return openFailed(DBX_ERR_MISMATCH, error);
        }
    }
    auto t = new (std::nothrow) DBXGROUP{};
    BYTE *copy = new (std::nothrow) BYTE[table->recordLength];
    if (t == nullptr || copy == nullptr) {
        delete t;
        delete[] copy;
        table->close();
        delete table;
        return openFailed(DBX_ERR_NO_MEMORY, error);
    }
    t->table = table;
    t->copy = copy;
    t->flags = shared ? GROUP_SHARED : 0;
    t->busyInterval = DEFAULT_BUSY_INTERVAL;
    std::snprintf(t->name, sizeof t->name, "%s", name);
    {
        std::lock_guard<std::mutex> g(liveLock);
        liveTables.insert(t);
    }
    if (error)
        *error = 0;
    return t;
}

PDBXGROUP createTable(const char *name, const DBXFIELDDES *fields, USHORT count, ULONG shared,
                      ULONG withStatus, ULONG *error)
{
    if (name == nullptr || *name == 0)
        return openFailed(ORIN_ERR_INVALID_PARAM, error);
    std::string file = orin::table::withExtension(name, "DBF");
    USHORT rc = DbfTable::create(file.c_str(), fields, count, true);
    if (rc != 0)
        return openFailed(rc, error);
    return openTable(name, nullptr, 0, shared, 0, error);
}

USHORT closeTable(PDBXGROUP t)
{
    destroy(t);
    return 0;
}

PFNDBXBUSY setBusy(PDBXGROUP t, PFNDBXBUSY fn, void *user, USHORT interval)
{
    PFNDBXBUSY old = t->busy;
    t->busy = fn;
    t->busyUser = user;
    t->busyInterval = interval;
    return old;
}

PDBFIX queryIndex(PDBXGROUP t, USHORT nr) { return nr < DBX_MAX_INDEXES ? t->index[nr] : nullptr; }
PDBFIX queryCurrentIndex(PDBXGROUP t) { return t->current; }

USHORT setCurrentIndex(PDBXGROUP t, PDBFIX ix)
{
    if (ix == nullptr || resolve(t, ix) == nullptr)
        return fail(t, ORIN_ERR_INVALID_PARAM);
    t->current = ix;
    return fail(t, 0, 0);
}

USHORT nrFieldsInIndex(PDBXGROUP t, PDBFIX ix)
{
    ix = resolve(t, ix);
    return ix ? ix->nFields : 0;
}

USHORT fieldInIndex(PDBXGROUP t, PDBFIX ix, USHORT i)
{
    ix = resolve(t, ix);
    return ix && i < ix->nFields ? ix->fieldNr[i] : 0xFFFF;
}

PDBFIX dupIndexOnFieldDes(PDBXGROUP t, const DBXFIELDDES *field)
{
    USHORT nr = field ? t->table->fieldIndex(field->name) : 0xFFFF;
    for (auto ix : t->index)
        if (ix && ix->fieldNr[0] == nr)
            return ix;
    return nullptr;
}

/* A locking read keeps a copy of the record for the index maintenance of
 * the write that releases it. */
USHORT readRecord(PDBXGROUP t, ULONG record, ULONG lock)
{
    USHORT rc = t->table->read(record, lock != 0);
    if (rc == 0) {
        ++t->counters[COUNTER_READS];
        if (lock) {
            std::memcpy(t->copy, t->table->buffer.data(), t->table->recordLength);
            t->copyRecord = record;
        }
    }
    return fail(t, rc, rc);
}

USHORT readFast(PDBXGROUP t, ULONG record) { return readRecord(t, record, 0); }

USHORT existsRec(PDBXGROUP t, ULONG record)
{
    bool locked = false;
    int s = t->table->diskState(record, &locked);
    return s == DBX_STATE_NORMAL || s == DBX_STATE_KEPT;
}

USHORT syncIndices(PDBXGROUP t)
{
    USHORT rc = 0;
    for (auto ix : t->index)
        if (ix && syncIndex(t, ix) != 0)
            rc = DBX_FAILED;
    return rc;
}

USHORT syncRecord(PDBXGROUP t)
{
    return t->table->current ? readRecord(t, t->table->current, 0) : fail(t, DBX_FAILED);
}

USHORT getCurrentKey(PDBXGROUP t, PDBFIX ix, void *buffer, USHORT size)
{
    ix = resolve(t, ix);
    if (ix == nullptr || buffer == nullptr)
        return fail(t, ORIN_ERR_INVALID_PARAM);
    IxdQueryCurrentKey(ix->ix, buffer, size);
    return fail(t, 0, 0);
}

/* Enters or removes the buffer's key for a record by hand. */
USHORT changeIndex(PDBXGROUP t, PDBFIX ix, ULONG record, bool enter)
{
    ix = resolve(t, ix);
    if (ix == nullptr || record == 0 || record == DBX_NO_RECORD)
        return fail(t, ORIN_ERR_INVALID_PARAM);
    std::vector<BYTE> key(ix->keyLength);
    buildKey(t, ix, t->table->buffer.data(), key.data());
    ULONG err = 0;
    USHORT rc = enter ? IxdEnter(ix->ix, key.data(), record, &err)
                      : IxdRemove(ix->ix, key.data(), record, &err);
    return rc ? fail(t, err) : fail(t, 0, 0);
}

USHORT addToIndex(PDBXGROUP t, PDBFIX ix, ULONG r) { return changeIndex(t, ix, r, true); }
USHORT removeFromIndex(PDBXGROUP t, PDBFIX ix, ULONG r) { return changeIndex(t, ix, r, false); }
ULONG nrRecords(PDBXGROUP t) { return t->table->queryCount(); }

ULONG nrKeys(PDBXGROUP t, PDBFIX ix)
{
    ix = resolve(t, ix);
    ULONG n = 0, err = 0;
    return ix && IxdQueryNrKeys(ix->ix, &n, &err) == 0 ? n : 0;
}

USHORT queryChanged(PDBXGROUP t, PDBFIX ix)
{
    ix = resolve(t, ix);
    ULONG changed = 0, err = 0;
    return ix && IxdQueryTreeChanged(ix->ix, &changed, &err) == 0 ? USHORT(changed) : 0;
}

ULONG currentRecord(PDBXGROUP t) { return t->table->current; }
USHORT updateRec(PDBXGROUP t) { return writeCmd(t, t->table->current, DBX_WRITE_UNLOCK); }
USHORT isBufValid(PDBXGROUP t) { return (t->table->flags & TF_BUFFER_VALID) != 0; }

USHORT deleteRecord(PDBXGROUP t, ULONG record, ULONG set, ULONG freeze)
{
    USHORT rc = t->table->changeState(record, set != 0, freeze != 0);
    if (t->copyRecord == record)
        t->copyRecord = 0;
    return fail(t, rc, rc);
}

USHORT keepRecord(PDBXGROUP t, ULONG record)
{
    USHORT rc = t->table->keep(record);
    return fail(t, rc, rc);
}

USHORT queryField(PDBXGROUP t, const DBXFIELDDES *f, char *buffer, USHORT size)
{
    return t->table->queryField(f, buffer, size);
}

USHORT setField(PDBXGROUP t, const DBXFIELDDES *f, const char *value, USHORT length)
{
    return t->table->setField(f, value, length);
}

const DBXFIELDDES *fieldDesByName(PDBXGROUP t, const char *name) { return t->table->fieldByName(name); }
USHORT fieldSize(PDBXGROUP t, const DBXFIELDDES *f) { return f ? f->length : 0; }
BYTE *queryBuffer(PDBXGROUP t) { return t->table->buffer.data(); }

/* 1 when the record on disk equals the buffer (lock bits aside). */
USHORT verifyBuffer(PDBXGROUP t)
{
    auto *table = t->table;
    std::vector<BYTE> disk(table->recordLength);
    if (!table->readRaw(table->current, disk.data()))
        return 0;
    std::vector<BYTE> mine(table->buffer);
    if (table->statusPos) {
        disk[table->statusPos] &= BYTE(~DBX_STATE_LOCKBIT);
        mine[table->statusPos] &= BYTE(~DBX_STATE_LOCKBIT);
    }
    return disk == mine;
}

USHORT setBuffer(PDBXGROUP t, const void *buffer, USHORT length)
{
    if (buffer == nullptr)
        return fail(t, ORIN_ERR_INVALID_PARAM);
    std::memcpy(t->table->buffer.data(), buffer, std::min(length, t->table->recordLength));
    return fail(t, 0, 0);
}

USHORT clearBuffer(PDBXGROUP t)
{
    t->table->clearBuffer();
    return 0;
}

USHORT bufferSize(PDBXGROUP t) { return t->table->recordLength; }

const DBXFIELDDES *fieldDes(PDBXGROUP t, USHORT nr)
{
    return nr < t->table->nFields ? &t->table->fields[nr] : nullptr;
}

USHORT fieldIndex(PDBXGROUP t, const char *name) { return t->table->fieldIndex(name); }

USHORT keyLength(PDBXGROUP t, PDBFIX ix)
{
    ix = resolve(t, ix);
    return ix ? ix->keyLength : 0;
}

PIX indexHix(PDBXGROUP t, PDBFIX ix)
{
    ix = resolve(t, ix);
    return ix ? ix->ix : nullptr;
}

ULONG queryInfo(PDBXGROUP t, ULONG item)
{
    switch (item) {
    case DBXINFO_NRFIELDS: return t->table->nFields;
    case DBXINFO_RECLENGTH: return t->table->recordLength;
    case DBXINFO_HEADERLENGTH: return t->table->headerLength;
    case DBXINFO_NRINDEXES: return t->nIndexes;
    case DBXINFO_SHARED: return t->flags & GROUP_SHARED;
    case DBXINFO_BUSYINTERVAL: return t->busyInterval;
    case DBXINFO_LASTERROR: return t->lastError;
    case DBXINFO_HASSTATUS: return t->table->statusPos != 0;
    default: return 0;
    }
}

USHORT setInfo(PDBXGROUP t, ULONG item, ULONG value)
{
    if (item == DBXINFO_BUSYINTERVAL)
        t->busyInterval = USHORT(value);
    else if (item == DBXINFO_LASTERROR)
        t->lastError = value;
    else
        return fail(t, ORIN_ERR_INVALID_PARAM);
    return 0;
}

ULONG queryFlags(PDBXGROUP t, ULONG record, ULONG flag)
{
    std::vector<BYTE> image(t->table->recordLength);
    if (!t->table->readRaw(record, image.data())) {
        fail(t, DBX_FAILED);
        return 0;
    }
    char s = t->table->stateOf(image.data());
    switch (flag) {
    case DBX_FLAG_DELETED: return s == DBX_STATE_DELETED;
    case DBX_FLAG_FROZEN: return s == DBX_STATE_FROZEN;
    case DBX_FLAG_ARCHIVED: return s == DBX_STATE_KEPT;
    case DBX_FLAG_LOCKED: return t->table->lockedIn(image.data());
    case DBX_FLAG_DELETEDDBF: return image[0] == DBX_STATE_DELETED;
    default: return 0;
    }
}

USHORT setFlags(PDBXGROUP t, ULONG record, ULONG flag, ULONG value)
{
    switch (flag) {
    case DBX_FLAG_DELETED: return deleteRecord(t, record, value != 0, 0);
    case DBX_FLAG_FROZEN: return deleteRecord(t, record, value != 0, 1);
    case DBX_FLAG_ARCHIVED: return value ? keepRecord(t, record) : deleteRecord(t, record, 0, 0);
    default: return fail(t, ORIN_ERR_INVALID_PARAM);
    }
}

USHORT copyFlags(PDBXGROUP to, ULONG toRecord, PDBXGROUP from, ULONG fromRecord)
{
    if (!valid(from))
        return fail(to, ORIN_ERR_INVALID_HANDLE);
    for (ULONG flag : {DBX_FLAG_DELETED, DBX_FLAG_FROZEN, DBX_FLAG_ARCHIVED})
        if (queryFlags(from, fromRecord, flag))
            return setFlags(to, toRecord, flag, 1);
    return 0;
}

/* Guards: each slot of the table runs only on a live table. */
template <auto Fn, auto Failure> struct Guard;
template <typename R, typename... A, R (*Fn)(PDBXGROUP, A...), auto Failure>
struct Guard<Fn, Failure> {
    static R call(PDBXGROUP t, A... a)
    {
        if (!valid(t)) {
            SetLastError(ORIN_ERR_INVALID_HANDLE);
            return R(Failure);
        }
        return Fn(t, a...);
    }
};

template <auto Fn> constexpr auto G = &Guard<Fn, DBX_FAILED>::call;
template <auto Fn> constexpr auto GN = &Guard<Fn, 0>::call;
template <auto Fn> constexpr auto GR = &Guard<Fn, DBX_NO_RECORD>::call;

}  // namespace

bool valid(PDBXGROUP t)
{
    std::lock_guard<std::mutex> g(liveLock);
    return t != nullptr && liveTables.count(t) != 0;
}

PDBXVTBL builtinVtbl()
{
    static DBXVTBL table = {
        openTable, createTable, tableFileOp, G<closeTable>, GN<setBusy>,
        GN<queryIndex>, GN<attachIndex>, G<setCurrentIndex>, GN<queryCurrentIndex>,
        GN<nrFieldsInIndex>, G<fieldInIndex>, G<detachIndex>, G<buildIndex>,
        GN<dupIndexOnFieldDes>, G<readRecord>, G<readFast>, G<checkUnique>, G<writeCmd>,
        GR<append>, GN<nextRec>, GR<currRec>, GR<checkRec>, GN<nextPrevNRec>, GR<firstRec>,
        GN<prevRec>, GR<lastRec>, GR<searchKey>, GR<searchKeyExact>, GR<searchKeyBack>,
        GN<existsRec>, G<syncIndex>, G<syncIndices>, G<syncRecord>, G<getCurrentKey>,
        G<replaceKey>, G<addToIndex>, G<removeFromIndex>, GN<nrRecords>, GN<nrKeys>,
        GN<queryChanged>, GN<currentRecord>, G<updateRec>, GN<isBufValid>, G<deleteRecord>,
        G<deleteRecordIx>, G<keepRecord>, G<queryField>, G<setField>, GN<fieldDesByName>,
        GN<fieldSize>, GN<queryBuffer>, GN<verifyBuffer>, G<setBuffer>, G<clearBuffer>,
        GN<bufferSize>, GN<fieldDes>, G<fieldIndex>, GN<keyLength>, GN<indexHix>,
        GN<queryInfo>, G<setInfo>, GN<queryFlags>, G<setFlags>, G<copyFlags>,
        nullptr, nullptr,
    };
    static_assert(sizeof table == DBX_SLOTS * sizeof(void *));
    return &table;
}

}  // namespace orin::dbx
