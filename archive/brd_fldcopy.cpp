/*
 * brd_fldcopy.cpp - a field's value against a disk file: copied out,
 * copied in, compared.
 *
 * The field side is always a field file (brd_fldvbf.cpp): the stored
 * bytes for the copies, the content for the comparison (through the zip
 * layer when the value is compressed).  The disk side is a buffered file opened with the archive's
 * anchor as name space.  A compressed value is expanded on the way out
 * and, when asked, compressed on the way in (one gzip member); other
 * values are copied plainly: a buffer of 32 768 bytes (halved while an
 * allocation fails, down to 512), read and write until a read comes back
 * short, 112 when a write takes less than was read; then the source's
 * level-1 file information (its dates) goes to the destination, whose
 * failure is ignored.
 *
 * Choices made where the behaviour was left open:
 *  - Copying out and comparing need a listed field (57526 otherwise, as
 *    for BrdFldCompare).  Copying in to a field the document does not list
 *    registers it first, as BrdFldGetVbf does with create; when the copy
 *    then fails the field is deleted again.
 *  - The zip layer reads nothing but compressed files, so a comparison
 *    takes it only for a compressed value; a plain value is compared as
 *    stored.
 *  - A read-only target is refused with 65 unless overwriting is asked,
 *    by its attribute and not only by a failing open: an owner the
 *    system lets write anyway (an administrator under some hosts) gets
 *    the same answer.
 *  - "Attributes to normal" before overwriting is the empty attribute set
 *    (the file calls know no bit for normal), and only the attribute bits
 *    a file can be given (read-only, hidden, system, archive) are copied
 *    from the field to the disk file; failures of that step are ignored,
 *    like those of the file dates.
 *  - Copying in stamps nothing but compressed flag and attribute word:
 *    the dates are what the plain copy carried over (none for a
 *    compressed copy), and the updated flag stays as it was.
 */
#include "archive/brd_fldvbf.h"

#include <memory>
#include <new>

#include "frame/boundary.h"
#include "knl.h"
#include "knlnam.h"
#include "vfile/vbf_owner.h"
#include "zip.h"

namespace orin::arc {
namespace {

constexpr ULONG kCopyBuffer = 32768;
constexpr ULONG kCompareBuffer = 64512;
constexpr ULONG kSmallestBuffer = 512;
constexpr USHORT kErrTargetNotWritable = 65;
constexpr ULONG kAttrNone = 0;
constexpr ULONG kSettableAttributes =
    KNLNAM_ATTR_READONLY | KNLNAM_ATTR_HIDDEN | KNLNAM_ATTR_SYSTEM | KNLNAM_ATTR_ARCHIVE;

/* A buffer of `wanted` bytes, or of half that while allocating fails,
 * never below kSmallestBuffer; null (and *size 0) when even that fails. */
std::unique_ptr<BYTE[]> halvingBuffer(ULONG wanted, ULONG *size) noexcept
{
    for (ULONG n = wanted; n >= kSmallestBuffer; n /= 2) {
        if (auto p = std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[n])) {
            *size = n;
            return p;
        }
    }
    *size = 0;
    return nullptr;
}

/* The plain copy from where both handles stand. */
USHORT plainCopy(HVBF source, HVBF target) noexcept
{
    ULONG size = 0;
    auto buffer = halvingBuffer(kCopyBuffer, &size);
    if (buffer == nullptr)
        return ORIN_ERR_NO_MEMORY;
    for (;;) {
        ULONG got = 0;
        USHORT rc = VbfRead(source, buffer.get(), size, &got);
        if (rc != 0)
            return rc;
        if (got != 0) {
            ULONG put = 0;
            rc = VbfWrite(target, buffer.get(), got, &put);
            if (rc != 0)
                return rc;
            if (put < got)
                return ORIN_ERR_DISK_FULL;
        }
        if (got < size)
            break;
    }
    VBFFILESTATUS st;
    if (VbfQFileInfo(source, VBF_INFO_LEVEL_STANDARD, &st, sizeof st) == 0)
        VbfSetFileInfo(target, VBF_INFO_LEVEL_STANDARD, &st, sizeof st);
    return 0;
}

USHORT openDiskFile(BrdDocument &d, const char *path, ULONG flags, ULONG mode, UniqueVbf *file) noexcept
{
    HVBF h = nullptr;
    ULONG action = 0;
    USHORT rc = VbfOpen(d.archive->anchor, path, &h, &action, 0, VBF_ATTR_NORMAL, flags, mode,
                        nullptr);
    file->reset(h);
    return rc;
}

USHORT openField(BrdDocument &d, const char *name, FieldOpen purpose, bool plain,
                 UniqueVbf *file) noexcept
{
    HVBF h = nullptr;
    USHORT rc = openFieldFile(d, name, purpose, plain, &h);
    file->reset(h);
    return rc;
}

/* The document of a call, with its arguments checked: 6 or 87. */
USHORT checkCall(BrdDocument *document, const char *name, const char *path, BrdDocument **d) noexcept
{
    *d = liveDocument(document);
    if (*d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    return name == nullptr || path == nullptr ? ORIN_ERR_INVALID_PARAM : 0;
}

/* Reads both streams a slice at a time; *result as in BrdFldCompare. */
USHORT compareStreams(HVBF stored, HVBF given, USHORT mode, USHORT *result) noexcept
{
    ULONG size = 0;
    auto buffer = halvingBuffer(kCompareBuffer, &size);
    if (buffer == nullptr)
        return ORIN_ERR_NO_MEMORY;
    ULONG half = size / 2;
    BYTE *storedPart = buffer.get();
    BYTE *givenPart = buffer.get() + half;
    for (;;) {
        ULONG storedGot = 0;
        ULONG givenGot = 0;
        USHORT rc = VbfRead(stored, storedPart, half, &storedGot);
        if (rc == 0)
            rc = VbfRead(given, givenPart, half, &givenGot);
        if (rc != 0)
            return rc;
        *result = compareBytes(storedPart, storedGot, givenPart, givenGot, mode);
        if (*result != 0 || storedGot < half || givenGot < half)
            return 0;
    }
}

/* Whether path names an existing file marked read-only. */
bool readOnlyOnDisk(void *anchor, const char *path) noexcept
{
    ULONG attributes = 0;
    return KnlNamQFileMode(anchor, path, &attributes) == 0
        && (attributes & KNLNAM_ATTR_READONLY) != 0;
}

/* Deletes a partly written file; the thread's last error stays. */
void discardFile(void *anchor, const char *path) noexcept
{
    USHORT lastError = KnlGetLastError();
    KnlNamDelete(anchor, path);
    KnlSetLastError(lastError);
}

/* The copy in, once both files are open. */
USHORT copyIn(BrdDocument &d, const char *name, HVBF disk, bool compress) noexcept
{
    UniqueVbf field;
    USHORT rc = openField(d, name, FieldOpen::CopyIn, false, &field);
    if (rc != 0)
        return rc;
    rc = compress ? ZipCompressVbfFiles(disk, field.get(), 0) : plainCopy(disk, field.get());
    USHORT closed = VbfClose(field.release());
    return rc != 0 ? rc : closed;
}

/* Compressed flag and attribute word after a copy in. */
USHORT noteCopyIn(BrdDocument &d, const char *name, const char *path, bool compress) noexcept
{
    PRFFLDINFO info;
    USHORT rc = readFieldInfo(d, name, &info);
    if (rc != 0)
        return rc;
    info.compressed = compress ? 1 : 0;
    ULONG attributes = 0;
    if (KnlNamQFileMode(d.archive->anchor, path, &attributes) == 0)
        info.attributes = static_cast<USHORT>(attributes);
    return writeFieldInfo(d, name, &info);
}

}  // namespace
}  // namespace orin::arc

using namespace orin::arc;

USHORT ORINAPI BrdFldCompareWithDisk(BrdDocument *document, const char *name, const char *path,
                                     USHORT mode, USHORT *result) noexcept
{
    BrdDocument *d = nullptr;
    USHORT rc = checkCall(document, name, path, &d);
    if (rc == 0 && result == nullptr)
        rc = ORIN_ERR_INVALID_PARAM;
    if (rc == 0)
        rc = findField(*d, name, 0, nullptr);
    PRFFLDINFO info;
    if (rc == 0)
        rc = readFieldInfo(*d, name, &info);
    if (rc != 0)
        return rc;
    orin::UniqueVbf disk;
    orin::UniqueVbf field;
    rc = openDiskFile(*d, path, VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_WRITE, &disk);
    if (rc == 0)
        rc = openField(*d, name, FieldOpen::Compare, info.compressed != 0, &field);
    if (rc == 0)
        rc = compareStreams(field.get(), disk.get(), mode, result);
    return rc;
}

USHORT ORINAPI BrdFldCopyToDisk(BrdDocument *document, const char *name, const char *path,
                                BOOL overwriteReadOnly) noexcept
{
    BrdDocument *d = nullptr;
    USHORT rc = checkCall(document, name, path, &d);
    if (rc == 0)
        rc = findField(*d, name, 0, nullptr);
    if (rc != 0)
        return rc;
    void *anchor = d->archive->anchor;
    PRFFLDINFO info;
    orin::UniqueVbf field;
    rc = readFieldInfo(*d, name, &info);
    if (rc == 0)
        rc = openField(*d, name, FieldOpen::CopyOut, false, &field);
    if (rc != 0)
        return rc;
    if (overwriteReadOnly)
        KnlNamSetFileMode(anchor, path, kAttrNone);
    else if (readOnlyOnDisk(anchor, path))
        return kErrTargetNotWritable;
    orin::UniqueVbf disk;
    rc = openDiskFile(*d, path, VBF_CREATE_OR_REPLACE, VBF_MODE_WRITE | VBF_SHARE_DENY_ALL, &disk);
    if (rc != 0)
        return KnlNamQFileExist(anchor, path) ? kErrTargetNotWritable : rc;
    rc = info.compressed ? ZipCompressVbfFiles(field.get(), disk.get(), 1)
                         : plainCopy(field.get(), disk.get());
    USHORT closed = VbfClose(disk.release());
    if (rc == 0)
        rc = closed;
    if (rc != 0) {
        discardFile(anchor, path);
        return rc;
    }
    KnlNamSetFileMode(anchor, path, info.attributes & kSettableAttributes);
    return 0;
}

USHORT ORINAPI BrdFldCopyFromDisk(BrdDocument *document, const char *name, const char *path,
                                  BOOL compress) noexcept
{
    BrdDocument *d = nullptr;
    USHORT rc = checkCall(document, name, path, &d);
    if (rc != 0)
        return rc;
    rc = findField(*d, name, 0, nullptr);
    bool listed = rc == 0;
    if (rc != 0 && rc != BRC_ERR_NO_FIELD)
        return rc;
    orin::UniqueVbf disk;
    rc = openDiskFile(*d, path, VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_WRITE, &disk);
    if (rc == 0 && !listed)
        rc = registerField(*d, name, compress != 0);
    if (rc != 0)
        return rc;
    rc = copyIn(*d, name, disk.get(), compress != 0);
    USHORT noted = noteCopyIn(*d, name, path, compress != 0);
    if (rc != 0 && !listed)
        BrdFldDelete(d, name);
    return rc != 0 ? rc : noted;
}
