/*
 * dbf_table.cpp - the record layer of a dBase III table file: opening with
 * the header checks and repairs, record addressing, locking reads, write
 * commands, state changes, appends, fields and the transaction flag.
 */
#include <atomic>
#include <cassert>
#include <cctype>
#include <cstring>
#include "knlnam.h"
#include "str.h"
#include "table/dbf_table.h"

namespace orin::table {
namespace {

constexpr ULONG ERROR_TOO_MANY_OPEN = 4;
constexpr ULONG ERROR_INVALID_ACCESS_CODE = 12;
constexpr uint8_t SPACE = ' ';

DWORD shareFor(OpenMode mode)
{
    if (mode.shared)
        return mode.denyOthers ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    return mode.readOnly ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
}

USHORT mapOpenError(DWORD err)
{
    switch (err) {
    case ERROR_FILE_NOT_FOUND: case ERROR_TOO_MANY_OPEN: case ERROR_INVALID_ACCESS_CODE:
        return USHORT(err);
    case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION:
        return DBX_ERR_ACCESS_DENIED;
    default:
        return DBX_ERR_OPEN;
    }
}

std::atomic<bool> fastPathsOn{true};
std::atomic<uint32_t> lockPairCount{0}, readCount{0}, writeCount{0};

bool lockRange(HANDLE h, uint32_t offset, uint32_t length, bool exclusive)
{
    FILELOCK fl{offset, length, exclusive ? 1UL : 0UL};
    lockPairCount.fetch_add(1, std::memory_order_relaxed);
    return KnlNamFileLocksEx(nullptr, HandleToULong(h), nullptr, &fl) == 0;
}

/* Moves the file pointer for a positioned read or write (fast path). */
bool seekTo(HANDLE h, uint32_t offset)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) != 0;
}

void unlockRange(HANDLE h, uint32_t offset, uint32_t length)
{
    FILELOCK fl{offset, length, 0};
    KnlNamFileLocksEx(nullptr, HandleToULong(h), &fl, nullptr);
}

void today(uint8_t date[3])
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    date[0] = uint8_t(st.wYear % 100);
    date[1] = uint8_t(st.wMonth);
    date[2] = uint8_t(st.wDay);
}

/* The header checks and repairs of an opening: memo bit and count. */
USHORT loadHeader(DbfTable &t, bool writable)
{
    uint8_t raw[HEADER_SIZE];
    if (!readAt(t.file.get(), 0, raw, HEADER_SIZE))
        return DBX_ERR_BAD_HEADER;
    DbfHeader h = decodeHeader(raw);
    if (h.headerLength < HEADER_SIZE + DESCRIPTOR_SIZE + 1 || h.recordLength < 2)
        return DBX_ERR_BAD_HEADER;
    std::vector<uint8_t> area(h.headerLength - HEADER_SIZE);
    if (!readAt(t.file.get(), HEADER_SIZE, area.data(), uint32_t(area.size())))
        return DBX_ERR_BAD_HEADER;
    if (!decodeDescriptors(area.data(), area.size(), t.fields))
        return DBX_ERR_BAD_HEADER;
    const auto &last = t.fields.back();
    if (uint32_t(last.offset) + last.length > h.recordLength)
        return DBX_ERR_BAD_HEADER;

    t.nFields = uint16_t(t.fields.size());
    t.headerLength = h.headerLength;
    t.recordLength = h.recordLength;
    t.statusPos = std::strcmp(t.fields[0].name, DBX_STATUS_FIELD) == 0 && t.fields[0].length == 1
                      ? t.fields[0].offset : 0;

    bool memo = false;
    for (const auto &f : t.fields)
        memo = memo || isMemo(f.type);
    uint8_t version = uint8_t(memo ? h.version | VERSION_MEMO_BIT : h.version & ~VERSION_MEMO_BIT);
    if (version != h.version && writable)
        writeAt(t.file.get(), 0, &version, 1);

    LARGE_INTEGER size;
    GetFileSizeEx(t.file.get(), &size);
    uint64_t expected = uint64_t(h.headerLength) + 1 + uint64_t(h.count) * h.recordLength;
    t.count = h.count;
    if (uint64_t(size.QuadPart) != expected) {
        uint64_t data = uint64_t(size.QuadPart) > h.headerLength ? size.QuadPart - h.headerLength : 0;
        t.count = uint32_t(data / h.recordLength);
        uint8_t rawCount[COUNT_SIZE];
        std::memcpy(rawCount, &t.count, COUNT_SIZE);
        if (writable)
            writeAt(t.file.get(), COUNT_OFFSET, rawCount, COUNT_SIZE);
    }
    return 0;
}

}  // namespace

void FileHandle::reset(HANDLE h)
{
    if (m_h != INVALID_HANDLE_VALUE)
        CloseHandle(m_h);
    m_h = h;
}

bool fastPaths() { return fastPathsOn.load(std::memory_order_relaxed); }
void setFastPaths(bool on) { fastPathsOn.store(on, std::memory_order_relaxed); }

IoCounts ioCounts()
{
    IoCounts c;
    c.lockPairs = lockPairCount.load(std::memory_order_relaxed);
    c.reads = readCount.load(std::memory_order_relaxed);
    c.writes = writeCount.load(std::memory_order_relaxed);
    return c;
}

void resetIoCounts()
{
    lockPairCount = 0;
    readCount = 0;
    writeCount = 0;
}

bool readAt(HANDLE h, uint32_t offset, void *buffer, uint32_t size)
{
    DWORD done = 0;
    readCount.fetch_add(1, std::memory_order_relaxed);
    if (fastPaths())
        return seekTo(h, offset) && ReadFile(h, buffer, size, &done, nullptr) && done == size;
    OVERLAPPED ov{};
    ov.Offset = offset;
    return ReadFile(h, buffer, size, &done, &ov) && done == size;
}

bool writeAt(HANDLE h, uint32_t offset, const void *buffer, uint32_t size)
{
    DWORD done = 0;
    writeCount.fetch_add(1, std::memory_order_relaxed);
    if (fastPaths())
        return seekTo(h, offset) && WriteFile(h, buffer, size, &done, nullptr) && done == size;
    OVERLAPPED ov{};
    ov.Offset = offset;
    return WriteFile(h, buffer, size, &done, &ov) && done == size;
}

std::string withExtension(const char *name, const char *ext)
{
    std::string s(name);
    size_t slash = s.find_last_of("\\/:");
    size_t dot = s.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        s.erase(dot);
    return s + "." + ext;
}

}  // namespace orin::table

using namespace orin::table;

USHORT _dbftable::open(const char *name, OpenMode mode, _dbftable **out)
{
    *out = nullptr;
    if (name == nullptr || *name == 0)
        return DBX_ERR_FILE_NOT_FOUND;
    DWORD access = GENERIC_READ | (mode.readOnly ? 0 : GENERIC_WRITE);
    HANDLE h = CreateFileA(name, access, shareFor(mode), nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return mapOpenError(GetLastError());
    auto t = new (std::nothrow) _dbftable;
    if (t == nullptr) {
        CloseHandle(h);
        return DBX_ERR_NO_MEMORY;
    }
    t->file.reset(h);
    t->flags = uint16_t((mode.shared ? TF_SHARED : 0) | (mode.readOnly ? TF_READONLY : 0));
    USHORT rc = loadHeader(*t, !mode.readOnly);
    if (rc == 0 && !mode.readOnly) {
        if (!t->lockHeader())
            rc = DBX_ERR_LOCKED;
        else
            t->unlockHeader();
    }
    if (rc != 0) {
        delete t;
        return rc;
    }
    t->buffer.reserve(t->recordLength + 1u);   /* room for the end-of-file byte of an append */
    t->buffer.assign(t->recordLength, SPACE);
    *out = t;
    return 0;
}

USHORT _dbftable::create(const char *name, const DBXFIELDDES *given, USHORT count, bool withStatus)
{
    if (name == nullptr || *name == 0 || given == nullptr || count == 0)
        return ORIN_ERR_INVALID_PARAM;
    std::vector<DBXFIELDDES> fields;
    if (withStatus) {
        DBXFIELDDES status{};
        std::strcpy(status.name, DBX_STATUS_FIELD);
        status.type = 'C';
        status.length = 1;
        fields.push_back(status);
    }
    uint32_t total = 1;
    for (USHORT i = 0; i < count; ++i) {
        if (given[i].length == 0 || given[i].length > 255 || given[i].name[0] == 0)
            return ORIN_ERR_INVALID_PARAM;
        fields.push_back(given[i]);
        total += given[i].length;
    }
    if (total > 0xFFFF || fields.size() > MAX_FIELDS)
        return ORIN_ERR_INVALID_PARAM;

    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS
                   ? DBX_ERR_EXISTS : mapOpenError(GetLastError());
    FileHandle file(h);
    uint8_t date[3];
    today(date);
    auto image = encodeNewFile(fields, date[0], date[1], date[2]);
    if (!writeAt(h, 0, image.data(), uint32_t(image.size()))) {
        file.reset();
        DeleteFileA(name);
        return DBX_ERR_WRITE;
    }
    return 0;
}

void _dbftable::close()
{
    if ((flags & TF_MODIFIED) && lockHeader()) {
        uint8_t date[3];
        today(date);
        writeAt(file.get(), DATE_OFFSET, date, sizeof date);
        unlockHeader();
    }
    file.reset();
}

/* Invariant: headerHolds > 0 exactly while this handle holds the header lock. */
bool _dbftable::lockHeader()
{
    if (!shared())
        return true;
    if (headerHolds > 0 && fastPaths()) {
        ++headerHolds;
        return true;
    }
    if (!lockRange(file.get(), COUNT_OFFSET, COUNT_SIZE, true))
        return false;
    assert(headerHolds == 0);
    headerHolds = 1;
    return true;
}

void _dbftable::unlockHeader()
{
    if (!shared() || headerHolds == 0)
        return;
    if (--headerHolds == 0)
        unlockRange(file.get(), COUNT_OFFSET, COUNT_SIZE);
}

bool _dbftable::lockRecord(uint32_t record, bool writer)
{
    return !shared() || lockRange(file.get(), recordOffset(record), recordLength, writer);
}

void _dbftable::unlockRecord(uint32_t record)
{
    if (shared())
        unlockRange(file.get(), recordOffset(record), recordLength);
}

uint32_t _dbftable::queryCount()
{
    if (shared() && lockHeader()) {
        uint32_t n;
        if (readAt(file.get(), COUNT_OFFSET, &n, COUNT_SIZE))
            count = n;
        unlockHeader();
    }
    return count;
}

void _dbftable::clearBuffer()
{
    std::fill(buffer.begin(), buffer.end(), SPACE);
    flags &= uint16_t(~(TF_BUFFER_VALID | TF_BUFFER_CHANGED));
}

bool _dbftable::seek(uint32_t record)
{
    if (record == 0 || record == DBX_NO_RECORD) {
        flags &= uint16_t(~TF_BUFFER_VALID);
        return false;
    }
    if (record > count && shared())
        queryCount();
    if (record > count) {
        clearBuffer();
        return false;
    }
    current = record;
    return true;
}

bool _dbftable::readRaw(uint32_t record, uint8_t *target)
{
    if (record == 0 || record == DBX_NO_RECORD)
        return false;
    if (record > count && shared())
        queryCount();
    return record <= count && readAt(file.get(), recordOffset(record), target, recordLength);
}

USHORT _dbftable::readInto(uint32_t record, bool lock, uint8_t *target, bool raw)
{
    if (raw)
        return readRaw(record, target) ? 0 : DBX_FAILED;
    if (!seek(record))
        return DBX_FAILED;
    if (!lock)
        return readAt(file.get(), recordOffset(record), target, recordLength) ? 0 : DBX_FAILED;
    // Invariant: a positioned record lies inside the data area the count covers.
    assert(record >= 1 && record <= count);
    if (!lockRecord(record, true))
        return DBX_BUSY;
    USHORT rc = 0;
    if (!readAt(file.get(), recordOffset(record), target, recordLength))
        rc = DBX_FAILED;
    else if (statusPos != 0 && (target[statusPos] & DBX_STATE_LOCKBIT))
        rc = DBX_BUSY;
    else if (statusPos != 0) {
        target[statusPos] |= DBX_STATE_LOCKBIT;
        if (!writeAt(file.get(), recordOffset(record), target, statusPos + 1u))
            rc = DBX_FAILED;
    }
    unlockRecord(record);
    return rc;
}

USHORT _dbftable::read(uint32_t record, bool lock)
{
    USHORT rc = readInto(record, lock, buffer.data(), false);
    if (rc == 0) {
        bufferRecord = record;
        flags = uint16_t((flags | TF_BUFFER_VALID) & ~TF_BUFFER_CHANGED);
    } else {
        flags &= uint16_t(~TF_BUFFER_VALID);
    }
    return rc;
}

USHORT _dbftable::write(uint32_t record, ULONG command)
{
    if (record == 0 || record == DBX_NO_RECORD || (flags & TF_READONLY))
        return DBX_FAILED;
    if (record > count && shared())
        queryCount();
    if (record > count || command > DBX_WRITE_REREAD)
        return DBX_FAILED;
    if (!lockRecord(record, true))
        return DBX_BUSY;
    if (command != DBX_WRITE_KEEPLOCK && statusPos != 0)
        buffer[statusPos] &= uint8_t(~DBX_STATE_LOCKBIT);
    uint32_t length = command == DBX_WRITE_RELEASE ? statusPos + 1u : recordLength;
    bool ok = writeAt(file.get(), recordOffset(record), buffer.data(), length);
    if (ok && command != DBX_WRITE_RELEASE)
        flags |= TF_MODIFIED;
    unlockRecord(record);
    current = record;
    return ok ? 0 : DBX_FAILED;
}

char _dbftable::stateOf(const uint8_t *record) const
{
    if (statusPos == 0)
        return record[0] == DBX_STATE_DELETED ? DBX_STATE_DELETED : DBX_STATE_NORMAL;
    char s = char(record[statusPos] & ~DBX_STATE_LOCKBIT);
    return s == DBX_STATE_DELETED || s == DBX_STATE_FROZEN || s == DBX_STATE_KEPT ? s : DBX_STATE_NORMAL;
}

bool _dbftable::lockedIn(const uint8_t *record) const
{
    return statusPos != 0 && (record[statusPos] & DBX_STATE_LOCKBIT);
}

int _dbftable::diskState(uint32_t record, bool *locked)
{
    std::vector<uint8_t> image(recordLength);
    if (!readRaw(record, image.data()))
        return -1;
    if (locked)
        *locked = lockedIn(image.data());
    return stateOf(image.data());
}

/* Each state change takes the record with a locking read and ends with a
 * write: the whole record when the change is allowed, else only the first
 * bytes (which releases the record) and a refusal. */
USHORT _dbftable::changeState(uint32_t record, bool set, bool freeze)
{
    USHORT rc = read(record, true);
    if (rc != 0)
        return rc;
    char s = stateOf(buffer.data());
    bool deadNow = s == DBX_STATE_DELETED || s == DBX_STATE_FROZEN;
    bool allowed;
    uint8_t status, first = buffer[0];
    if (set && !freeze) {
        allowed = !deadNow;
        status = first = DBX_STATE_DELETED;
    } else if (!set) {
        allowed = deadNow;
        status = first = DBX_STATE_NORMAL;
    } else {
        allowed = !deadNow && statusPos != 0;
        status = DBX_STATE_FROZEN;
    }
    buffer[0] = first;
    if (statusPos != 0)
        buffer[statusPos] = uint8_t(status | DBX_STATE_LOCKBIT);
    rc = write(record, allowed ? DBX_WRITE_UNLOCK : DBX_WRITE_RELEASE);
    return rc != 0 ? rc : allowed ? 0 : DBX_FAILED;
}

USHORT _dbftable::keep(uint32_t record)
{
    USHORT rc = read(record, true);
    if (rc != 0)
        return rc;
    bool allowed = statusPos != 0 && buffer[0] == SPACE &&
                   (buffer[statusPos] & ~DBX_STATE_LOCKBIT) == SPACE;
    if (statusPos != 0)
        buffer[statusPos] = DBX_STATE_KEPT | DBX_STATE_LOCKBIT;
    rc = write(record, allowed ? DBX_WRITE_UNLOCK : DBX_WRITE_RELEASE);
    return rc != 0 ? rc : allowed ? 0 : DBX_FAILED;
}

uint32_t _dbftable::append(bool lock)
{
    if ((flags & TF_READONLY) || !lockHeader())
        return DBX_NO_RECORD;
    if (shared())
        readAt(file.get(), COUNT_OFFSET, &count, COUNT_SIZE);
    buffer[0] = SPACE;
    if (statusPos != 0)
        buffer[statusPos] = uint8_t(lock ? SPACE | DBX_STATE_LOCKBIT : SPACE);
    uint32_t at = headerLength + count * uint32_t(recordLength);
    uint8_t end = END_OF_DATA;
    uint32_t newCount = count + 1;
    buffer.push_back(END_OF_DATA);   /* the record and the end-of-file byte in one write */
    bool ok = writeAt(file.get(), at, buffer.data(), recordLength + 1u);
    buffer.pop_back();
    ok = ok && writeAt(file.get(), COUNT_OFFSET, &newCount, COUNT_SIZE);
    if (!ok) {
        writeAt(file.get(), at, &end, 1);
        unlockHeader();
        return DBX_NO_RECORD;
    }
    count = newCount;
    current = bufferRecord = newCount;
    flags |= TF_MODIFIED | TF_BUFFER_VALID;
    unlockHeader();
    return newCount;
}

const DBXFIELDDES *_dbftable::fieldByName(const char *name) const
{
    USHORT i = fieldIndex(name);
    return i == 0xFFFF ? nullptr : &fields[i];
}

USHORT _dbftable::fieldIndex(const char *name) const
{
    if (name == nullptr)
        return 0xFFFF;
    for (USHORT i = 0; i < nFields; ++i)
        if (std::strncmp(fields[i].name, name, NAME_LENGTH) == 0)
            return i;
    for (USHORT i = 0; i < nFields; ++i)
        if (_strnicmp(fields[i].name, name, NAME_LENGTH) == 0)
            return i;
    return 0xFFFF;
}

USHORT _dbftable::queryField(const DBXFIELDDES *f, char *out, USHORT size) const
{
    if (f == nullptr || out == nullptr || size == 0 || f->offset + f->length > recordLength)
        return DBX_FAILED;
    USHORT n = std::min<USHORT>(f->length, USHORT(size - 1));
    std::memcpy(out, buffer.data() + f->offset, n);
    out[n] = 0;
    return 0;
}

/* A character value cut inside a double-byte character loses the lead byte. */
USHORT _dbftable::setField(const DBXFIELDDES *f, const char *value, size_t length)
{
    if (f == nullptr || value == nullptr || f->offset + f->length > recordLength)
        return DBX_FAILED;
    size_t n = std::min<size_t>(length, f->length);
    if (f->typeClass == DBX_CLASS_CHAR && length > n) {
        size_t at = 0;
        while (at < n)
            at += ChrIsDBCSLeadByte(BYTE(value[at])) ? 2 : 1;
        if (at > n)
            --n;
    }
    uint8_t *dst = buffer.data() + f->offset;
    std::memcpy(dst, value, n);
    std::memset(dst + n, SPACE, f->length - n);
    flags |= TF_BUFFER_CHANGED;
    return 0;
}

bool _dbftable::copyFieldDes(DBXFIELDDES *given, USHORT n)
{
    for (USHORT i = 0; i < n; ++i) {
        USHORT at = fieldIndex(given[i].name);
        if (at == 0xFFFF)
            return false;
        const DBXFIELDDES &mine = fields[at];
        if (std::toupper(uint8_t(mine.type)) != std::toupper(uint8_t(given[i].type)) ||
            mine.length != given[i].length || mine.decimals != given[i].decimals)
            return false;
    }
    for (USHORT i = 0; i < n; ++i) {
        DBXFIELDDES &mine = fields[fieldIndex(given[i].name)];
        given[i].offset = mine.offset;
        mine.typeClass = given[i].typeClass;
    }
    return true;
}

bool _dbftable::startTransaction()
{
    if (!lockHeader())
        return false;
    uint8_t flag = 1;
    bool ok = readAt(file.get(), TRANSACTION_OFFSET, &flag, 1) && flag == 0;
    if (ok) {
        flag = 1;
        ok = writeAt(file.get(), TRANSACTION_OFFSET, &flag, 1);
    }
    unlockHeader();
    return ok;
}

bool _dbftable::endTransaction()
{
    if (!lockHeader())
        return false;
    uint8_t flag = 0;
    bool ok = writeAt(file.get(), TRANSACTION_OFFSET, &flag, 1);
    unlockHeader();
    return ok;
}
