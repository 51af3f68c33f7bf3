/*
 * zip_backend.cpp - the compressed-file Vbf back-end: a compressed file
 * read and written as if it were plain, through a temporary plain copy.
 *
 * Open opens the compressed file with the caller's words, through the
 * table in the caller's extra word (21) when there is one, and creates a
 * temporary file in the system's temporary folder.  The copy is made
 * lazily: the first operation that needs the plain bytes (reads, writes,
 * seeks from the current position or the end, size and file information)
 * inflates the compressed file into it and moves to the position noted
 * by the seeks from the start made before.  Tell answers that noted
 * position until then.  QueryLength first tries the trailer of a single
 * gzip member, so a caller that only asks the size does not pay for an
 * inflation.  A handle opened with the create/replace flags (0x12) has a
 * new, empty file and works on the copy from the start; a compressed
 * file of length 0 (created and never written) inflates to nothing.
 *
 * Writes and size changes mark the handle dirty; Close then deflates the
 * copy into the compressed file from its start and cuts it behind the new
 * member.  A handle that only read leaves the compressed file untouched.
 * The copy is opened for reading and writing whatever the caller's access
 * (the back-end fills it), with the caller's sharing bits; a caller that
 * opened for reading only may not write (5).  When inflating fails the
 * copy is emptied and every call but Close answers the failure.
 *
 * Handles live in a HandlePool: a closed or made-up handle answers 6.
 * Nothing is shared between handles, so different handles may be used on
 * different threads at once.
 */
#include <cstdlib>
#include "dos.h"
#include "frame/handle_pool.h"
#include "frame/knlnamint.h"
#include "vfile/vbf_slot.h"
#include "vfile/zipint.h"

namespace orin::zip {
namespace {

using knlnam::kOpenAccessMask;
using vbfslot::kTellFailed;
constexpr char kTempPrefix[] = "ozp";

/* A temporary file's name, deleted when the owner goes. */
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    ~TempFile()
    {
        if (name_[0] != 0)
            KnlNamDelete(nameSpace_, name_);
    }

    /* A fresh name in the system's temporary folder (the file exists). */
    bool make(void *nameSpace) noexcept
    {
        nameSpace_ = nameSpace;
        if (DosGetTempFileName(nullptr, kTempPrefix, name_, sizeof name_) == 0)
            return true;
        name_[0] = 0;
        return false;
    }
    const char *name() const noexcept { return name_; }

private:
    void *nameSpace_ = nullptr;
    char name_[MAX_PATH] = {};
};

/* The back-end handle.  The temporary name is declared first, so it is
 * deleted after both files are closed. */
struct ZipFile {
    TempFile temp;
    UniqueVbf compressed;
    UniqueVbf plain;                    // the temporary plain copy
    bool dirty = false;
    bool inflated = false;             // plain holds the contents
    ULONG openMode = 0;
    ULONG pending = 0;                 // position of seeks made before inflating
    USHORT failure = 0;                // result of a failed inflation
    bool lengthKnown = false;          // plainLength read from the trailer
    ULONG plainLength = 0;
};

HandlePool<ZipFile> files;

bool readOnly(const ZipFile &f) noexcept
{
    return (f.openMode & kOpenAccessMask) == VBF_MODE_READ;
}

/* Inflates the compressed file into the empty copy. */
USHORT fillCopy(ZipFile &f) noexcept
{
    ULONG length = 0;
    if (VbfQueryLength(f.compressed.get(), &length) == 0 && length == 0)
        return 0;
    USHORT rc = VbfChgFilePtr(f.compressed.get(), 0, VBF_FILE_BEGIN, nullptr);
    return rc != 0 ? rc : runCoder(f.compressed.get(), f.plain.get(), true);
}

/* Makes sure the copy holds the contents; the failure, if any, stays. */
USHORT inflated(ZipFile &f) noexcept
{
    if (f.failure != 0)
        return f.failure;
    if (f.inflated)
        return 0;
    USHORT rc = fillCopy(f);
    if (rc == 0)
        rc = VbfChgFilePtr(f.plain.get(), static_cast<LONG>(f.pending), VBF_FILE_BEGIN, nullptr);
    if (rc != 0) {
        VbfNewSize(f.plain.get(), 0);      // no partial plain bytes left lying about
        f.failure = rc;
        return rc;
    }
    f.inflated = true;
    return 0;
}

/* Deflates the copy back into the compressed file. */
USHORT deflateBack(ZipFile &f) noexcept
{
    USHORT rc = VbfChgFilePtr(f.plain.get(), 0, VBF_FILE_BEGIN, nullptr);
    if (rc == 0)
        rc = VbfChgFilePtr(f.compressed.get(), 0, VBF_FILE_BEGIN, nullptr);
    if (rc == 0)
        rc = runCoder(f.plain.get(), f.compressed.get(), false);
    return rc != 0 ? rc : cutBehindWritten(f.compressed.get());
}

USHORT openCopy(ZipFile &f, void *nameSpace, ULONG openMode) noexcept
{
    if (!f.temp.make(nameSpace))
        return ZIP_ERR_FAILED;
    HVBF plain = nullptr;
    ULONG action = 0;
    USHORT rc = VbfOpen(nameSpace, f.temp.name(), &plain, &action, 0, VBF_ATTR_NORMAL,
                        VBF_CREATE_OR_REPLACE, (openMode & ~kOpenAccessMask) | VBF_MODE_READWRITE,
                        nullptr);
    f.plain.reset(plain);
    return rc;
}

/* ---- Operations on a live handle ------------------------------------------ */

USHORT closeFile(ZipFile *f) noexcept
{
    USHORT rc = f->dirty ? deflateBack(*f) : 0;
    USHORT plainClosed = VbfClose(f->plain.release());
    USHORT compressedClosed = VbfClose(f->compressed.release());
    files.destroy(f);                   // deletes the copy
    return rc != 0 ? rc : compressedClosed != 0 ? compressedClosed : plainClosed;
}

USHORT movePointer(ZipFile *f, LONG distance, ULONG method, ULONG *newPos) noexcept
{
    if (f->failure == 0 && !f->inflated && method != VBF_FILE_CURRENT && method != VBF_FILE_END) {
        if (method == VBF_FILE_BEGIN)
            f->pending = distance < 0 ? 0 : static_cast<ULONG>(distance);
        if (newPos != nullptr)
            *newPos = f->pending;
        return 0;
    }
    USHORT rc = inflated(*f);
    return rc != 0 ? rc : VbfChgFilePtr(f->plain.get(), distance, method, newPos);
}

USHORT readBytes(ZipFile *f, void *buffer, ULONG count, ULONG *read) noexcept
{
    if (read != nullptr)
        *read = 0;
    USHORT rc = inflated(*f);
    return rc != 0 ? rc : VbfRead(f->plain.get(), buffer, count, read);
}

USHORT readDirect(ZipFile *f, void *buffer, ULONG count, ULONG *read) noexcept
{
    if (read != nullptr)
        *read = 0;
    USHORT rc = inflated(*f);
    return rc != 0 ? rc : VbfReadDirect(f->plain.get(), buffer, count, read);
}

USHORT writeBytes(ZipFile *f, const void *buffer, ULONG count, ULONG *written) noexcept
{
    if (written != nullptr)
        *written = 0;
    USHORT rc = inflated(*f);
    if (rc != 0)
        return rc;
    if (readOnly(*f))
        return ORIN_ERR_ACCESS_DENIED;
    f->dirty = true;
    return VbfWrite(f->plain.get(), buffer, count, written);
}

USHORT readChar(ZipFile *f, BYTE *ch) noexcept
{
    USHORT rc = inflated(*f);
    return rc != 0 ? rc : VbfGetch(f->plain.get(), ch);
}

USHORT readLine(ZipFile *f, char *buffer, ULONG size, ULONG *consumed) noexcept
{
    USHORT rc = inflated(*f);
    return rc != 0 ? rc : VbfGets(f->plain.get(), buffer, size, consumed);
}

USHORT flushCopy(ZipFile *f) noexcept
{
    return f->failure != 0 ? f->failure : VbfFlush(f->plain.get());
}

ULONG position(ZipFile *f) noexcept
{
    if (f->failure != 0)
        return kTellFailed;
    return f->inflated ? VbfTell(f->plain.get()) : f->pending;
}

USHORT queryLength(ZipFile *f, ULONG *length) noexcept
{
    if (length == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    if (f->failure == 0 && !f->inflated) {
        if (!f->lengthKnown)
            f->lengthKnown = gzipPlainLength(f->compressed.get(), &f->plainLength);
        if (f->lengthKnown) {
            *length = f->plainLength;
            return 0;
        }
    }
    USHORT rc = inflated(*f);
    return rc != 0 ? rc : VbfQueryLength(f->plain.get(), length);
}

USHORT newSize(ZipFile *f, ULONG newLength) noexcept
{
    USHORT rc = inflated(*f);
    if (rc != 0)
        return rc;
    if (readOnly(*f))
        return ORIN_ERR_ACCESS_DENIED;
    f->dirty = true;
    return VbfNewSize(f->plain.get(), newLength);
}

USHORT queryName(ZipFile *f, char *buffer, ULONG size) noexcept
{
    return f->failure != 0 ? f->failure : VbfQueryFilename(f->plain.get(), buffer, size);
}

USHORT queryInfo(ZipFile *f, ULONG level, void *buffer, ULONG size) noexcept
{
    USHORT rc = inflated(*f);
    return rc != 0 ? rc : VbfQFileInfo(f->plain.get(), level, buffer, size);
}

USHORT setInfo(ZipFile *f, ULONG level, void *buffer, ULONG size) noexcept
{
    USHORT rc = inflated(*f);
    return rc != 0 ? rc : VbfSetFileInfo(f->plain.get(), level, buffer, size);
}

/* ---- The table -------------------------------------------------------------- */

/* A table slot over an operation: looks the back-end handle up first. */
template <auto Op>
using Slot = vbfslot::Slot<files, Op>;

USHORT openFile(ULONG_PTR context, const char *fileName, void **backend, ULONG *action,
                ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                ULONG_PTR extra) noexcept
{
    if (backend == nullptr || fileName == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *backend = nullptr;
    auto f = files.tryMake();
    if (f == nullptr)
        return ORIN_ERR_NO_MEMORY;
    auto *nameSpace = reinterpret_cast<void *>(context);
    f->openMode = openMode;
    HVBF compressed = nullptr;
    USHORT rc = VbfOpen(nameSpace, fileName, &compressed, action, initialSize, attribute,
                        openFlags, openMode, reinterpret_cast<VBFFUNCS *>(extra));
    if (rc != 0)
        return rc;
    f->compressed.reset(compressed);
    rc = openCopy(*f, nameSpace, openMode);
    if (rc != 0)
        return rc;                     // the owners close and delete what was made
    f->inflated = openFlags == VBF_CREATE_OR_REPLACE;
    *backend = f.release();
    return 0;
}

constexpr VBFFUNCS makeTable() noexcept
{
    VBFFUNCS t = {};
    t.cb = sizeof t;
    t.Open = openFile;
    t.Close = Slot<&closeFile>::call;
    t.ChgFilePtr = Slot<&movePointer>::call;
    t.Read = Slot<&readBytes>::call;
    t.ReadDirect = Slot<&readDirect>::call;
    t.Write = Slot<&writeBytes>::call;
    t.Getch = Slot<&readChar>::call;
    t.Gets = Slot<&readLine>::call;
    t.Flush = Slot<&flushCopy>::call;
    t.Tell = Slot<&position>::call;
    t.QueryLength = Slot<&queryLength>::call;
    t.NewSize = Slot<&newSize>::call;
    t.QueryFilename = Slot<&queryName>::call;
    t.QFileInfo = Slot<&queryInfo>::call;
    t.SetFileInfo = Slot<&setInfo>::call;
    return t;
}

constexpr VBFFUNCS kTable = makeTable();

}  // namespace
}  // namespace orin::zip

/* Locks and mapped views are not offered: their slots stay empty (50). */
VBFFUNCS *ORINAPI ZipVbfAllocVbfFuncStruct(void *nameSpace) noexcept
{
    auto *t = static_cast<VBFFUNCS *>(std::malloc(sizeof(VBFFUNCS)));
    if (t == nullptr)
        return nullptr;
    *t = orin::zip::kTable;
    t->context = reinterpret_cast<ULONG_PTR>(nameSpace);
    t->extra = 0;
    return t;
}
