/*
 * dbx_engine.h - internals of the built-in table engine shared by its
 * files: the open-table record (struct _dbxgroup in dbx.h) helpers, key
 * building, the transaction with time-out and the index operations the
 * slots are made of.
 */
#ifndef TABLE_DBX_ENGINE_H
#define TABLE_DBX_ENGINE_H

#include <vector>
#include "dbx.h"
#include "table/dbf_table.h"

namespace orin::dbx {

constexpr USHORT DEFAULT_BUSY_INTERVAL = 16;
constexpr ULONG DEFAULT_TRANSACTION_TIMEOUT = 20000;
constexpr ULONG TRANSACTION_RETRY_MS = 200;
constexpr USHORT GROUP_SHARED = 0x01;
constexpr size_t COUNTER_READS = 2;    /* mask bit 4 */
constexpr size_t COUNTER_WRITES = 3;   /* mask bit 8 */
constexpr USHORT MAX_KEY_CHARS = 1023;
constexpr ULONG INDEX_NUMBER_LIMIT = 100;

PDBXVTBL builtinVtbl();
ULONG transactionTimeout();

/* True when t is a live table of the built-in engine. */
bool valid(PDBXGROUP t);
PDBFIX resolve(PDBXGROUP t, PDBFIX ix);
USHORT fail(PDBXGROUP t, ULONG code, USHORT result = DBX_FAILED);

/* The key of a record image for an index (keyLength bytes). */
void buildKey(PDBXGROUP t, PDBFIX ix, const BYTE *record, BYTE *key);
bool blankKey(const BYTE *key, USHORT length);

/* The table transaction of one engine write, from construction to
 * destruction.  Only a shared table has other users to keep in step; an
 * unshared one is this process's alone and needs no transaction flag.  In
 * a shared table the start is retried every 200 ms until the time-out.
 * With the fast paths the header lock is taken once and held from the
 * start of the transaction to its end, so the flag's set and clear and
 * every header step of the work between cost that one lock round trip;
 * while the flag is set by another process the lock is given back before
 * waiting, so that process can end its transaction. */
class Transaction {
public:
    /* needed false: no transaction at all (ok() is true). */
    Transaction(PDBXGROUP t, bool needed);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    bool ok() const { return m_ok; }

private:
    bool tryStart();
    PDBXGROUP m_t;
    bool m_active = false;   /* the flag is ours to clear */
    bool m_held = false;     /* the header lock is held across the work */
    bool m_ok = true;
};

/* Table file management (slot 2): DBX_FILE_* modes. */
USHORT tableFileOp(ULONG mode, const char *name, const char *target, ULONG index);

std::string indexFileName(const char *table, ULONG number);

/* Slots implemented by the index file (dbx_index.cpp). */
PDBFIX attachIndex(PDBXGROUP t, USHORT nr, const char *name, const char *const *fields,
                   USHORT count, ULONG attachFlags, ULONG shared, ULONG *error);
USHORT detachIndex(PDBXGROUP t, PDBFIX ix, ULONG deleteFile);
USHORT buildIndex(PDBXGROUP t, PDBFIX ix);
USHORT checkUnique(PDBXGROUP t, ULONG record, ULONG blankFields, USHORT *outIndex, char *outKey,
                   USHORT keySize, ULONG *error);
USHORT writeCmd(PDBXGROUP t, ULONG record, ULONG command);
ULONG  append(PDBXGROUP t, ULONG lock);
USHORT replaceKey(PDBXGROUP t, PDBFIX ix, ULONG record, const void *oldKey, const void *newKey);
USHORT syncIndex(PDBXGROUP t, PDBFIX ix);
USHORT deleteRecordIx(PDBXGROUP t, ULONG record, ULONG set, ULONG freeze);

/* Navigation (dbx_nav.cpp). */
ULONG nextRec(PDBXGROUP t, PDBFIX ix);
ULONG prevRec(PDBXGROUP t, PDBFIX ix);
ULONG firstRec(PDBXGROUP t, PDBFIX ix);
ULONG lastRec(PDBXGROUP t, PDBFIX ix);
ULONG currRec(PDBXGROUP t, PDBFIX ix);
ULONG nextPrevNRec(PDBXGROUP t, PDBFIX ix, LONG count);
ULONG searchKey(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length);
ULONG searchKeyExact(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length);
ULONG searchKeyBack(PDBXGROUP t, PDBFIX ix, const void *key, USHORT length);
ULONG checkRec(PDBXGROUP t, PDBFIX ix, ULONG record, ULONG *other);

}  // namespace orin::dbx

#endif
