/*
 * flu_vbf.cpp - the chopped-file Vbf back-end: a chopped file read (and
 * rewritten in place) as if it were one file.
 *
 * Open only records the name, the open mode and a fresh ChopFile; volume
 * 0 is opened by the first operation that needs the file.  The create and
 * replace open flags are refused with 87: a chopped file is never made
 * through this table.  Positions run over the whole file; a transfer
 * moves at most the bytes left before the total length, volume by volume
 * (a short transfer inside a volume is 65535), so a read from the end of
 * one volume continues at the start of the next.  A write never grows the
 * file: what would go beyond its end is refused with 112.  Getch stores
 * 0xFF at the end; Gets reads a line ending at CR LF and leaves the
 * position behind it.  NewSize keeps the length and only accepts a size
 * not below it.  Locks succeed without locking: nothing here ever waits.
 *
 * Back-end handles are records of a handle pool; a handle that is not
 * live (closed, or made up) answers 65535.
 */
#include <cstdlib>
#include <cstring>
#include "vfile/fluint.h"
#include "frame/boundary.h"
#include "frame/handle_pool.h"

namespace orin::flu {
namespace {

constexpr ULONG kTellInvalid = 0xFFFFFFFF;
constexpr ULONG kRefusedOpenFlags = KNLNAM_OPEN_REPLACE | KNLNAM_OPEN_CREATE;
constexpr BYTE kEndOfFileByte = 0xFF;
constexpr char kCr = '\r';
constexpr char kLf = '\n';

constinit HandlePool<ChopFile> chopFiles;

using VolumeOp = USHORT (*)(HVBF, BYTE *, ULONG, ULONG *);

USHORT readOp(HVBF h, BYTE *data, ULONG count, ULONG *done)
{
    return VbfRead(h, data, count, done);
}

USHORT readDirectOp(HVBF h, BYTE *data, ULONG count, ULONG *done)
{
    return VbfReadDirect(h, data, count, done);
}

USHORT writeOp(HVBF h, BYTE *data, ULONG count, ULONG *done)
{
    return VbfWrite(h, data, count, done);
}

/* Moves up to count bytes at the position, volume by volume. */
USHORT transfer(ChopFile &f, VolumeOp op, BYTE *data, ULONG count, ULONG *done)
{
    ULONG moved = 0;
    USHORT rc = data == nullptr && count != 0 ? ORIN_ERR_INVALID_PARAM : f.start();
    ULONG left = rc == 0 && f.position < f.total() ? f.total() - f.position : 0;
    ULONG n = count < left ? count : left;
    while (rc == 0 && moved < n) {
        ULONG offset = 0, available = 0, got = 0;
        if ((rc = f.openAt(f.position, &offset, &available)) != 0)
            break;
        ULONG piece = n - moved < available ? n - moved : available;
        rc = VbfChgFilePtr(f.volume(), static_cast<LONG>(kHeaderSize + offset), VBF_FILE_BEGIN,
                           nullptr);
        if (rc == 0)
            rc = op(f.volume(), data + moved, piece, &got);
        moved += got;
        f.position += got;
        if (rc == 0 && got != piece)
            rc = ORIN_ERR_GENERAL;
    }
    if (done != nullptr)
        *done = moved;
    return rc;
}

USHORT chopClose(ChopFile &f)
{
    USHORT rc = f.close();
    chopFiles.destroy(&f);
    return rc;
}

USHORT chopChgFilePtr(ChopFile &f, LONG distance, ULONG method, ULONG *newPos)
{
    if (f.start() != 0)
        return ORIN_ERR_GENERAL;
    LONGLONG base;
    switch (method) {
    case VBF_FILE_BEGIN:   base = 0; break;
    case VBF_FILE_CURRENT: base = f.position; break;
    case VBF_FILE_END:     base = f.total(); break;
    default:               return ORIN_ERR_INVALID_PARAM;
    }
    LONGLONG target = base + distance;
    ULONG pos = target < 0 ? 0 : target > LONGLONG{kTellInvalid} ? kTellInvalid
                                                                  : static_cast<ULONG>(target);
    if (pos < f.total()) {
        ULONG offset, available;
        if (USHORT rc = f.openAt(pos, &offset, &available); rc != 0)
            return rc;
    }
    f.position = pos;
    if (newPos != nullptr)
        *newPos = pos;
    return 0;
}

USHORT chopRead(ChopFile &f, void *buffer, ULONG count, ULONG *done)
{
    return transfer(f, readOp, static_cast<BYTE *>(buffer), count, done);
}

USHORT chopReadDirect(ChopFile &f, void *buffer, ULONG count, ULONG *done)
{
    return transfer(f, readDirectOp, static_cast<BYTE *>(buffer), count, done);
}

USHORT chopWrite(ChopFile &f, const void *buffer, ULONG count, ULONG *done)
{
    ULONG moved = 0;
    USHORT rc = transfer(f, writeOp, static_cast<BYTE *>(const_cast<void *>(buffer)), count,
                         &moved);
    if (done != nullptr)
        *done = moved;
    return rc == 0 && moved < count ? ORIN_ERR_DISK_FULL : rc;
}

USHORT chopGetch(ChopFile &f, BYTE *ch)
{
    if (ch == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    ULONG got = 0;
    USHORT rc = transfer(f, readOp, ch, 1, &got);
    if (rc == 0 && got == 0)
        *ch = kEndOfFileByte;
    return rc;
}

USHORT chopGets(ChopFile &f, char *buffer, ULONG size, ULONG *consumed)
{
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    ULONG lineStart = f.position, got = 0;
    USHORT rc = transfer(f, readOp, reinterpret_cast<BYTE *>(buffer), size - 1, &got);
    buffer[got] = 0;
    ULONG used = got;
    for (ULONG i = 0; i + 1 < got; i++) {
        if (buffer[i] == kCr && buffer[i + 1] == kLf) {
            buffer[i] = 0;
            used = i + 2;
            break;
        }
    }
    if (rc == 0)
        f.position = lineStart + used;
    if (consumed != nullptr)
        *consumed = used;
    return rc;
}

USHORT chopFlush(ChopFile &f)
{
    return f.volume() != nullptr ? VbfFlush(f.volume()) : 0;
}

/* Chopped files are opened read-only in practice; a lock never waits. */
USHORT chopFileLocks(ChopFile &, FILELOCK *, FILELOCK *)
{
    return 0;
}

USHORT chopQueryLength(ChopFile &f, ULONG *length)
{
    if (length == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    USHORT rc = f.start();
    if (rc == 0)
        *length = f.total();
    return rc;
}

USHORT chopNewSize(ChopFile &f, ULONG newLength)
{
    USHORT rc = f.start();
    return rc != 0 ? rc : newLength >= f.total() ? 0 : ORIN_ERR_GENERAL;
}

USHORT chopQueryFilename(ChopFile &f, char *buffer, ULONG size)
{
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    lstrcpynA(buffer, f.currentName(), static_cast<int>(size < kPathRoom ? size : kPathRoom));
    return 0;
}

USHORT chopOpen(ULONG_PTR context, const char *name, void **backend, ULONG *action, ULONG,
                ULONG, ULONG openFlags, ULONG openMode, ULONG_PTR) noexcept
{
    if (name == nullptr || backend == nullptr || (openFlags & kRefusedOpenFlags) != 0)
        return ORIN_ERR_INVALID_PARAM;
    auto f = chopFiles.tryMake();
    if (f == nullptr)
        return ORIN_ERR_NO_MEMORY;
    USHORT rc = f->init(reinterpret_cast<void *>(context), name, openMode);
    if (rc != 0)
        return rc;
    if (action != nullptr)
        *action = KNLNAM_ACTION_EXISTED;
    *backend = f.release();
    return 0;
}

/* A table slot over an operation on a live ChopFile. */
template <auto Op>
struct Slot;

template <class... Args, USHORT (*Op)(ChopFile &, Args...)>
struct Slot<Op> {
    static USHORT call(void *h, Args... args) noexcept
    {
        ChopFile *f = chopFiles.get(h);
        if (f == nullptr)
            return ORIN_ERR_GENERAL;
        return guardCode([&] { return Op(*f, args...); });
    }
};

ULONG chopTell(void *h) noexcept
{
    ChopFile *f = chopFiles.get(h);
    return f != nullptr ? f->position : kTellInvalid;
}

}  // namespace
}  // namespace orin::flu

using namespace orin::flu;

VBFFUNCS *ORINAPI FluChopAllocVbfFuncStruct(void *nameSpace) noexcept
{
    auto *t = static_cast<VBFFUNCS *>(std::calloc(1, sizeof(VBFFUNCS)));
    if (t == nullptr)
        return nullptr;
    t->cb = sizeof *t;
    t->context = reinterpret_cast<ULONG_PTR>(nameSpace);
    t->Open = chopOpen;
    t->Close = Slot<&chopClose>::call;
    t->ChgFilePtr = Slot<&chopChgFilePtr>::call;
    t->Read = Slot<&chopRead>::call;
    t->ReadDirect = Slot<&chopReadDirect>::call;
    t->Write = Slot<&chopWrite>::call;
    t->Getch = Slot<&chopGetch>::call;
    t->Gets = Slot<&chopGets>::call;
    t->Flush = Slot<&chopFlush>::call;
    t->FileLocks = Slot<&chopFileLocks>::call;
    t->FileLocksEx = Slot<&chopFileLocks>::call;
    t->Tell = chopTell;
    t->QueryLength = Slot<&chopQueryLength>::call;
    t->NewSize = Slot<&chopNewSize>::call;
    t->QueryFilename = Slot<&chopQueryFilename>::call;
    t->extra = 0;
    return t;
}
