/*
 * dbx_index.cpp - the indexes of the built-in engine: key building,
 * attaching (open, create, build), unique checks, and the record writes
 * that keep maintained indexes in step inside a table transaction.
 *
 * The engine keeps, per table, a copy of the record as this process
 * locked it: a write compares the keys of that copy with the keys of the
 * record buffer and moves only the entries whose key changed.
 */
#include <cassert>
#include <cstdio>
#include <cstring>
#include "str.h"
#include "table/dbx_engine.h"

namespace orin::dbx {
namespace {

bool enterKey(PDBFIX ix, const BYTE *key, ULONG record)
{
    ULONG err = 0;
    return IxdEnter(ix->ix, key, record, &err) == 0;
}

USHORT removeKey(PDBFIX ix, const BYTE *key, ULONG record)
{
    ULONG err = 0;
    return IxdRemove(ix->ix, key, record, &err) == 0 ? 0 : USHORT(err);
}

/* Moves one maintained index from the old record image to the new one. */
/* A maintained index whose key for the record differs between the images. */
struct KeyMove {
    PDBFIX ix;
    std::vector<BYTE> oldKey, newKey;
};

std::vector<KeyMove> keyMoves(PDBXGROUP t, const BYTE *oldRec, const BYTE *newRec)
{
    std::vector<KeyMove> moves;
    for (auto ix : t->index) {
        if (ix == nullptr || !(ix->flags & DBX_IXF_MAINTAIN))
            continue;
        KeyMove m{ix, std::vector<BYTE>(ix->keyLength), std::vector<BYTE>(ix->keyLength)};
        buildKey(t, ix, oldRec, m.oldKey.data());
        buildKey(t, ix, newRec, m.newKey.data());
        if (m.oldKey != m.newKey)
            moves.push_back(std::move(m));
    }
    return moves;
}

void moveEntry(const KeyMove &m, ULONG record)
{
    PDBFIX ix = m.ix;
    USHORT rc = removeKey(ix, m.oldKey.data(), record);
    if (rc == 0 || (rc == IXD_ERR_NOT_FOUND && (ix->flags & DBX_IXF_ENTERNEW)))
        enterKey(ix, m.newKey.data(), record);
}

bool fileExists(const std::string &name)
{
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void freeIndex(PDBXGROUP t, PDBFIX ix)
{
    for (auto &slot : t->index)
        if (slot == ix) {
            slot = nullptr;
            --t->nIndexes;
        }
    if (t->current == ix)
        t->current = nullptr;
    if (ix->ix)
        IxdClose(ix->ix);
    delete ix;
}

PDBFIX attachFailed(PDBXGROUP t, PDBFIX ix, ULONG code, ULONG *error)
{
    if (ix)
        freeIndex(t, ix);
    t->lastError = code;
    if (error)
        *error = code;
    return nullptr;
}

/* Opens or creates the index file as the attach flags say. */
ULONG openIndexFile(PDBXGROUP t, PDBFIX ix, ULONG attachFlags, ULONG shared)
{
    ULONG err = 0;
    if (attachFlags & DBX_ATTACH_REPLACE)
        DeleteFileA(ix->fileName);
    if (fileExists(ix->fileName)) {
        ix->ix = IxdOpen(ix->fileName, ix->keyLength, shared, nullptr, &err);
        return ix->ix ? 0 : err;
    }
    if (attachFlags & DBX_ATTACH_CREATE) {
        ix->ix = IxdCreate(ix->fileName, ix->keyLength, shared, 0, 0, nullptr, &err);
        return ix->ix ? 0 : err;
    }
    if (!(attachFlags & DBX_ATTACH_BUILD))
        return DBX_ERR_NO_INDEX_FILE;
    ix->ix = IxdCreate(ix->fileName, ix->keyLength, 0, 0, 0, nullptr, &err);
    if (!ix->ix)
        return err;
    bool built = buildIndex(t, ix) == 0;
    IxdClose(ix->ix);
    ix->ix = nullptr;
    if (!built) {
        DeleteFileA(ix->fileName);
        return DBX_ERR_BUILD;
    }
    ix->ix = IxdOpen(ix->fileName, ix->keyLength, shared, nullptr, &err);
    return ix->ix ? 0 : err;
}

}  // namespace

PDBFIX resolve(PDBXGROUP t, PDBFIX ix)
{
    if (ix == nullptr)
        return t->current;
    for (auto slot : t->index)
        if (slot == ix)
            return ix;
    return nullptr;
}

USHORT fail(PDBXGROUP t, ULONG code, USHORT result)
{
    t->lastError = code;
    return result;
}

/* Each field's raw bytes at its key position, padded with spaces and
 * upper-cased (single-byte characters only) unless the index keeps case. */
void buildKey(PDBXGROUP t, PDBFIX ix, const BYTE *record, BYTE *key)
{
    std::memset(key, ' ', ix->keyLength);
    USHORT limit = std::min<USHORT>(ix->keyLength, MAX_KEY_CHARS);
    for (USHORT i = 0; i < ix->nFields; ++i) {
        const DBXFIELDDES &f = t->table->fields[ix->fieldNr[i]];
        USHORT pos = ix->fieldPos[i];
        if (pos >= limit)
            break;
        std::memcpy(key + pos, record + f.offset, std::min<USHORT>(f.length, USHORT(limit - pos)));
    }
    if (ix->flags & DBX_IXF_CASE)
        return;
    for (USHORT i = 0; i < ix->keyLength; ++i) {
        if (ChrIsDBCSLeadByte(key[i]) && i + 1 < ix->keyLength)
            ++i;
        else
            key[i] = BYTE(ChrToUpper(key[i]));
    }
}

bool blankKey(const BYTE *key, USHORT length)
{
    for (USHORT i = 0; i < length; ++i)
        if (key[i] != ' ' && key[i] != 0)
            return false;
    return true;
}

bool Transaction::tryStart()
{
    auto *table = m_t->table;
    if (orin::table::fastPaths()) {
        if (!table->lockHeader())
            return false;
        m_held = true;
    }
    if (table->startTransaction())
        return true;
    if (m_held)
        table->unlockHeader();
    m_held = false;
    return false;
}

Transaction::Transaction(PDBXGROUP t, bool needed) : m_t(t)
{
    if (!needed || !(t->flags & GROUP_SHARED))
        return;
    ULONGLONG deadline = GetTickCount64() + transactionTimeout();
    while (!tryStart()) {
        if (GetTickCount64() >= deadline) {
            m_ok = false;
            return;
        }
        Sleep(TRANSACTION_RETRY_MS);
    }
    m_active = true;
}

Transaction::~Transaction()
{
    if (m_active)
        m_t->table->endTransaction();
    if (m_held)
        m_t->table->unlockHeader();
}

std::string indexFileName(const char *table, ULONG number)
{
    char ext[8];
    std::snprintf(ext, sizeof ext, "I%02lu", number + 1);
    return orin::table::withExtension(table, ext);
}

PDBFIX attachIndex(PDBXGROUP t, USHORT nr, const char *name, const char *const *fields,
                   USHORT count, ULONG attachFlags, ULONG shared, ULONG *error)
{
    if (t->nIndexes >= DBX_MAX_INDEXES)
        return attachFailed(t, nullptr, DBX_ERR_TOO_MANY_INDEXES, error);
    if (fields == nullptr || count == 0 || count > DBX_MAX_KEY_FIELDS ||
        (nr >= INDEX_NUMBER_LIMIT && (name == nullptr || *name == 0)))
        return attachFailed(t, nullptr, ORIN_ERR_INVALID_PARAM, error);
    auto ix = new (std::nothrow) DBFIX{};
    if (ix == nullptr)
        return attachFailed(t, nullptr, DBX_ERR_NO_MEMORY, error);
    ULONG keyLength = 0;
    for (USHORT i = 0; i < count; ++i) {
        USHORT f = t->table->fieldIndex(fields[i]);
        if (f == 0xFFFF) {
            delete ix;
            return attachFailed(t, nullptr, DBX_ERR_UNKNOWN_FIELD, error);
        }
        ix->fieldNr[i] = f;
        ix->fieldPos[i] = USHORT(keyLength);
        keyLength += t->table->fields[f].length;
    }
    if (keyLength > DBX_MAX_KEY) {
        delete ix;
        return attachFailed(t, nullptr, DBX_ERR_KEY_TOO_LONG, error);
    }
    ix->nFields = count;
    ix->keyLength = USHORT(keyLength);
    // Invariant: every key field lies inside the key, so key building never
    // writes past keyLength bytes.
    assert(ix->fieldPos[count - 1] + t->table->fields[ix->fieldNr[count - 1]].length == keyLength);
    ix->flags = USHORT((attachFlags >> 4) & 0x0F);
    std::string file = nr < INDEX_NUMBER_LIMIT ? indexFileName(t->name, nr) : std::string(name);
    std::snprintf(ix->fileName, sizeof ix->fileName, "%s", file.c_str());
    for (auto &slot : t->index)
        if (slot == nullptr) {
            slot = ix;
            ++t->nIndexes;
            break;
        }
    ULONG rc = openIndexFile(t, ix, attachFlags, shared);
    if (rc != 0)
        return attachFailed(t, ix, rc, error);
    if (t->current == nullptr) {
        t->current = ix;
        if (t->table->flags & orin::table::TF_BUFFER_VALID)
            syncIndex(t, ix);
    }
    t->lastError = 0;
    if (error)
        *error = 0;
    return ix;
}

USHORT detachIndex(PDBXGROUP t, PDBFIX ix, ULONG deleteFile)
{
    ix = resolve(t, ix);
    if (ix == nullptr)
        return fail(t, ORIN_ERR_INVALID_PARAM);
    std::string file = ix->fileName;
    freeIndex(t, ix);
    if (deleteFile)
        DeleteFileA(file.c_str());
    return fail(t, 0, 0);
}

USHORT buildIndex(PDBXGROUP t, PDBFIX ix)
{
    enum { PHASE_START = 1, PHASE_END = 2, PHASE_PROGRESS = 3, START_PERCENT = 10 };
    ULONG count = t->table->queryCount();
    if (t->busy && t->busy(t, count, START_PERCENT, PHASE_START, t->busyUser)) {
        t->busy(t, count, 0, PHASE_END, t->busyUser);
        return fail(t, DBX_ERR_BUILD);
    }
    std::vector<BYTE> record(t->table->recordLength), key(ix->keyLength);
    bool finished = true;
    for (ULONG r = 1; r <= count && finished; ++r) {
        if (!t->table->readRaw(r, record.data())) {
            finished = false;
            break;
        }
        ++t->counters[COUNTER_READS];
        if (t->busy && t->busyInterval && r % t->busyInterval == 0 &&
            t->busy(t, r, ULONG(100ULL * r / count), PHASE_PROGRESS, t->busyUser)) {
            finished = false;
            break;
        }
        char state = t->table->stateOf(record.data());
        if (record[0] == DBX_STATE_DELETED || state == DBX_STATE_DELETED || state == DBX_STATE_FROZEN)
            continue;
        buildKey(t, ix, record.data(), key.data());
        finished = enterKey(ix, key.data(), r);
    }
    if (t->busy)
        t->busy(t, count, 0, PHASE_END, t->busyUser);
    return finished ? fail(t, 0, 0) : fail(t, DBX_ERR_BUILD);
}

USHORT checkUnique(PDBXGROUP t, ULONG record, ULONG blankFields, USHORT *outIndex, char *outKey,
                   USHORT keySize, ULONG *error)
{
    auto *table = t->table;
    auto setError = [&](ULONG code) { if (error) *error = code; t->lastError = code; };
    if (record == 0 || record != table->current || !(table->flags & orin::table::TF_BUFFER_VALID)) {
        setError(DBX_ERR_ACCESS_DENIED);
        return DBX_FAILED;
    }
    setError(0);
    for (USHORT slot = 0; slot < DBX_MAX_INDEXES; ++slot) {
        PDBFIX ix = t->index[slot];
        if (ix == nullptr || !(ix->flags & DBX_IXF_UNIQUE))
            continue;
        std::vector<BYTE> key(ix->keyLength), found(ix->keyLength);
        buildKey(t, ix, table->buffer.data(), key.data());
        if (blankKey(key.data(), ix->keyLength))
            continue;
        ULONG err = 0, rec = 0;
        bool duplicate = false;
        USHORT rc = IxdSearch(ix->ix, key.data(), found.data(), &rec, &err);
        while (rc == 0 && found == key && !duplicate) {
            duplicate = rec != record;
            rc = IxdNext(ix->ix, found.data(), &rec, &err);
        }
        syncIndex(t, ix);
        if (!duplicate)
            continue;
        setError(DBX_ERR_DUPLICATE);
        if (outIndex)
            *outIndex = slot;
        if (outKey && keySize) {
            USHORT n = std::min<USHORT>(ix->keyLength, USHORT(keySize - 1));
            std::memcpy(outKey, key.data(), n);
            outKey[n] = 0;
        }
        if (blankFields)
            for (USHORT i = 0; i < ix->nFields; ++i) {
                const DBXFIELDDES &f = table->fields[ix->fieldNr[i]];
                std::memset(table->buffer.data() + f.offset, ' ', f.length);
            }
        return DBX_FAILED;
    }
    return 0;
}

/* A write that touches the indexes runs inside the table transaction, with
 * the old keys taken from the copy of the record as this process locked it. */
USHORT writeCmd(PDBXGROUP t, ULONG record, ULONG command)
{
    auto *table = t->table;
    if (command > DBX_WRITE_REREAD)
        return fail(t, ORIN_ERR_INVALID_PARAM);
    if (command == DBX_WRITE_RELEASE) {
        if (t->copyRecord == record)
            t->copyRecord = 0;
        USHORT rc = table->write(record, command);
        return fail(t, rc, rc);
    }
    if (t->copyRecord != record || command == DBX_WRITE_REREAD) {
        t->copyRecord = 0;
        if (!table->readRaw(record, t->copy))
            return fail(t, DBX_FAILED);
        ++t->counters[COUNTER_READS];
    }
    if (table->statusPos != 0 && !table->lockedIn(t->copy))
        return fail(t, DBX_FAILED);
    /* A write that moves no index entry needs no transaction. */
    auto moves = keyMoves(t, t->copy, table->buffer.data());
    USHORT rc;
    {
        Transaction tx(t, !moves.empty());
        if (!tx.ok())
            return fail(t, ORIN_ERR_LOCK_VIOLATION);
        for (const auto &m : moves)
            moveEntry(m, record);
        rc = table->write(record, command == DBX_WRITE_REREAD ? ULONG(DBX_WRITE_UNLOCK) : command);
    }
    if (rc == 0)
        ++t->counters[COUNTER_WRITES];
    if (rc == 0 && command == DBX_WRITE_KEEPLOCK) {
        std::memcpy(t->copy, table->buffer.data(), table->recordLength);
        t->copyRecord = record;
    } else {
        t->copyRecord = 0;
    }
    return fail(t, rc, rc);
}

/* An appended record enters the maintained indexes with its keys at once. */
ULONG append(PDBXGROUP t, ULONG lock)
{
    auto *table = t->table;
    bool indexed = false;
    for (auto ix : t->index)
        indexed = indexed || (ix && (ix->flags & DBX_IXF_MAINTAIN));
    Transaction tx(t, indexed);
    if (!tx.ok()) {
        fail(t, ORIN_ERR_LOCK_VIOLATION);
        return DBX_NO_RECORD;
    }
    ULONG record = table->append(lock != 0);
    if (record != DBX_NO_RECORD) {
        ++t->counters[COUNTER_WRITES];
        for (auto ix : t->index)
            if (ix && (ix->flags & DBX_IXF_MAINTAIN)) {
                std::vector<BYTE> key(ix->keyLength);
                buildKey(t, ix, table->buffer.data(), key.data());
                enterKey(ix, key.data(), record);
            }
        if (lock) {
            std::memcpy(t->copy, table->buffer.data(), table->recordLength);
            t->copyRecord = record;
        }
    }
    fail(t, record == DBX_NO_RECORD ? ULONG(DBX_FAILED) : 0UL);
    return record;
}

USHORT replaceKey(PDBXGROUP t, PDBFIX ix, ULONG record, const void *oldKey, const void *newKey)
{
    ix = resolve(t, ix);
    if (ix == nullptr || oldKey == nullptr || newKey == nullptr || !(ix->flags & DBX_IXF_MAINTAIN))
        return fail(t, ORIN_ERR_INVALID_PARAM);
    if (std::memcmp(oldKey, newKey, ix->keyLength) == 0)
        return fail(t, 0, 0);
    if (t->copyRecord != record) {
        if (!t->table->readRaw(record, t->copy))
            return fail(t, DBX_FAILED);
        ++t->counters[COUNTER_READS];
        t->copyRecord = 0;
    }
    if (t->table->statusPos != 0 && !t->table->lockedIn(t->copy))
        return fail(t, DBX_FAILED);
    Transaction tx(t, true);
    if (!tx.ok())
        return fail(t, ORIN_ERR_LOCK_VIOLATION);
    USHORT rc = removeKey(ix, static_cast<const BYTE *>(oldKey), record);
    if (rc == 0 && !enterKey(ix, static_cast<const BYTE *>(newKey), record))
        rc = DBX_FAILED;
    return rc ? fail(t, rc) : fail(t, 0, 0);
}

USHORT syncIndex(PDBXGROUP t, PDBFIX ix)
{
    ix = resolve(t, ix);
    auto *table = t->table;
    if (ix == nullptr || table->current == 0 || !(table->flags & orin::table::TF_BUFFER_VALID))
        return fail(t, DBX_FAILED);
    std::vector<BYTE> key(ix->keyLength);
    buildKey(t, ix, table->buffer.data(), key.data());
    ULONG err = 0;
    return IxdRetrieve(ix->ix, key.data(), table->current, &err) == 0 ? fail(t, 0, 0) : fail(t, err);
}

/* Deleting or freezing also removes the record's keys from the maintained
 * indexes; bringing it back enters them again. */
USHORT deleteRecordIx(PDBXGROUP t, ULONG record, ULONG set, ULONG freeze)
{
    USHORT rc = t->table->changeState(record, set != 0, freeze != 0);
    if (rc != 0)
        return fail(t, rc, rc);
    if (t->copyRecord == record)
        t->copyRecord = 0;
    for (auto ix : t->index)
        if (ix && (ix->flags & DBX_IXF_MAINTAIN)) {
            std::vector<BYTE> key(ix->keyLength);
            buildKey(t, ix, t->table->buffer.data(), key.data());
            if (set)
                removeKey(ix, key.data(), record);
            else
                enterKey(ix, key.data(), record);
        }
    return fail(t, 0, 0);
}

}  // namespace orin::dbx
