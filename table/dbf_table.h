/*
 * dbf_table.h - one open dBase III table file: the record layer under
 * OcDbf and the built-in engine.
 *
 * Records are numbered from 1 and read into one record buffer.  In shared
 * mode every operation takes a byte-range lock: the header lock on header
 * bytes 4-7 (the record count) and a record lock over the record's bytes;
 * outside shared mode every lock succeeds at once.  A locking read marks
 * the record locked for update by setting bit 7 of its status byte on
 * disk; a write clears it again (see DBX_WRITECMD).  Header byte 14 is the
 * table's transaction flag.
 *
 * The header lock nests: a caller that takes it around several steps (the
 * engine holds it from the start of a transaction to its end) makes the
 * steps' own header locks free, so the whole piece of work costs one lock
 * round trip.  Positioned reads and writes move the handle's file pointer
 * and use plain ReadFile/WriteFile: an OVERLAPPED offset on a synchronous
 * handle costs the host a completion notice per call.  setFastPaths(false)
 * turns both back into one lock per step and OVERLAPPED I/O, which the
 * tests use to show that both ways leave the same bytes and answers.
 */
#ifndef TABLE_DBF_TABLE_H
#define TABLE_DBF_TABLE_H

#include <cstdint>
#include <string>
#include <vector>
#include "dbx.h"
#include "table/dbf_format.h"

namespace orin::table {

/* A Win32 file handle owned alone. */
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE h) : m_h(h) {}
    ~FileHandle() { reset(); }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    void reset(HANDLE h = INVALID_HANDLE_VALUE);
    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

bool readAt(HANDLE h, uint32_t offset, void *buffer, uint32_t size);
bool writeAt(HANDLE h, uint32_t offset, const void *buffer, uint32_t size);

/* The switch of the fast paths described above; on unless a test turns it off. */
bool fastPaths();
void setFastPaths(bool on);

/* Process-wide counts of the system work of table files: lock round trips
 * (one lock plus its unlock), record and header reads, writes. */
struct IoCounts {
    uint32_t lockPairs = 0;
    uint32_t reads = 0;
    uint32_t writes = 0;
};
IoCounts ioCounts();
void resetIoCounts();

/* Flags of an open table. */
constexpr uint16_t TF_SHARED = 0x01;
constexpr uint16_t TF_MODIFIED = 0x02;
constexpr uint16_t TF_BUFFER_VALID = 0x04;
constexpr uint16_t TF_BUFFER_CHANGED = 0x08;
constexpr uint16_t TF_READONLY = 0x10;

struct OpenMode {
    bool shared = false;
    bool denyOthers = false;
    bool readOnly = false;
};

}  // namespace orin::table

struct _dbftable {
    orin::table::FileHandle file;
    std::vector<DBXFIELDDES> fields;
    uint16_t nFields = 0;
    uint16_t recordLength = 0;
    uint16_t headerLength = 0;
    uint32_t count = 0;
    uint32_t current = 0;
    uint32_t bufferRecord = 0;
    uint16_t flags = 0;
    std::vector<uint8_t> buffer;
    uint16_t statusPos = 0;
    uint16_t headerHolds = 0;   /* nesting depth of the header lock */

    /* Opening, creating, closing: 0 or the table error code. */
    static USHORT open(const char *name, orin::table::OpenMode mode, _dbftable **out);
    static USHORT create(const char *name, const DBXFIELDDES *fields, USHORT count, bool withStatus);
    void close();

    bool shared() const { return flags & orin::table::TF_SHARED; }
    uint32_t recordOffset(uint32_t record) const
    {
        return headerLength + (record - 1) * uint32_t(recordLength);
    }

    /* Locks (shared mode only).  The header lock nests (see above). */
    bool lockHeader();
    void unlockHeader();
    bool lockRecord(uint32_t record, bool writer);
    void unlockRecord(uint32_t record);

    uint32_t queryCount();
    bool seek(uint32_t record);
    USHORT read(uint32_t record, bool lock);
    USHORT readInto(uint32_t record, bool lock, uint8_t *target, bool raw);
    /* Reads a record image without lock and without moving the current record. */
    bool readRaw(uint32_t record, uint8_t *target);
    USHORT write(uint32_t record, ULONG command);
    USHORT changeState(uint32_t record, bool set, bool freeze);
    USHORT keep(uint32_t record);
    uint32_t append(bool lock);
    void clearBuffer();

    /* The state of a record image: DBX_STATE_* and whether bit 7 is set. */
    char stateOf(const uint8_t *record) const;
    bool lockedIn(const uint8_t *record) const;
    /* State of a record on disk (-1 when it cannot be read). */
    int diskState(uint32_t record, bool *locked);

    const DBXFIELDDES *fieldByName(const char *name) const;
    USHORT fieldIndex(const char *name) const;
    USHORT queryField(const DBXFIELDDES *f, char *out, USHORT size) const;
    USHORT setField(const DBXFIELDDES *f, const char *value, size_t length);
    bool copyFieldDes(DBXFIELDDES *given, USHORT count);

    bool startTransaction();
    bool endTransaction();
};

namespace orin::table {
using DbfTable = ::_dbftable;

/* A table name with the extension forced (e.g. "DBF"). */
std::string withExtension(const char *name, const char *ext);
}  // namespace orin::table

#endif
