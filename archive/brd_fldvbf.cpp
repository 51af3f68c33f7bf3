/*
 * brd_fldvbf.cpp - field values as virtual files: BrdFldGetVbf and the
 * files the disk copies open (see brd_fldvbf.h).
 *
 * A field file is opened through a chain of tables made for it alone.
 * First comes the wrapper's table; its extra word (slot 21, which VbfOpen
 * hands to Open) holds the next table: the zip layer's when the value is
 * to be seen as its content, whose own slot 21 then holds the
 * profile-file table, or else the profile-file table directly.  The file
 * name "@PRFHANDLE@<handle>;<section>~Value.<name>" is resolved by the
 * profile-file back-end to the value key.  The wrapper's Open makes the
 * per-file record and opens the inner file through the next table; from
 * then on the record owns the chain, and closing the file frees it.
 *
 * The wrapper forwards every operation to the inner file and adds:
 *  - writes, size changes and setting file information are refused with 5
 *    when the file was opened only to be read (comparisons, copies out);
 *  - file information, level 1 only (else 124), made from the field's
 *    information: the creation date-time in the creation words, the
 *    update date-time in the last-access and last-write words (packed FAT
 *    words), the file's length as both sizes, the attribute word;
 *  - setting level-1 information turns the creation and last-write words
 *    back into the field's creation and update date-times and writes the
 *    information; sizes and attributes are not taken over;
 *  - the close (BrdVbfClose) closes the inner file, stamps the
 *    information (a created value: updated, created and updated now; an
 *    update that wrote: updated, updated now), refreshes the index keys
 *    captured at open, and frees the chain.
 *
 * Choices made where the behaviour was left open:
 *  - BrdFldGetVbf with create on a field the document does not list
 *    registers it before the value is opened: the name is appended to the
 *    list and a fresh information record written (type 'F', the one type
 *    the library gives fields itself, since a zero type cannot be kept in
 *    the information text).  If the open fails the field is deleted again.
 *  - The close writes the information only when it changes it, so a file
 *    opened for update that was only read leaves the archive untouched (a
 *    read-only archive too).
 *  - FAT years are counted as in the library's other file calls: 7 bits
 *    from 1900 that wrap at 128, so 1980 to 2107 survive a round trip; a
 *    date-time outside those years packs into zero words, and zero words
 *    leave a date-time as it is.
 *  - A file may outlive its document handle: its close then only closes
 *    the file and frees the chain, and its information calls answer 6.
 */
#include "archive/brd_fldvbf.h"

#include <cstring>
#include <memory>
#include <string>

#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "vfile/vbf_slot.h"
#include "frame/scope.h"
#include "vfile/vbf_owner.h"
#include "zip.h"

namespace orin::arc {
namespace {

constexpr int kFatYearBase = 1900;
constexpr int kFatYearWrap = 128;
constexpr int kFatFirstYear = 1980;
constexpr int kFatLastYear = 2107;
constexpr USHORT kRegisteredType = BRC_FIELD_TYPE_FILE;

/* The tables of one field file.  The wrapper's table comes first; its
 * context word points back here, its extra word at the next table. */
struct FieldChain {
    VBFFUNCS wrapper = {};
    UniqueMalloc<VBFFUNCS> zip;            // present when the content is wanted
    UniqueMalloc<VBFFUNCS> profileFile;
    BrdDocument *document = nullptr;
    std::string name;
    FieldOpen purpose = FieldOpen::CopyOut;
    CapturedKeys keysBefore;               // the document's keys at open
};

/* The per-file record behind the wrapper's back-end handle. */
struct FieldFile {
    UniqueVbf inner;
    std::unique_ptr<FieldChain> chain;
    bool wrote = false;
};

HandlePool<FieldFile> files;

bool readOnly(FieldOpen purpose) noexcept
{
    return purpose == FieldOpen::Compare || purpose == FieldOpen::CopyOut;
}

/* The purposes whose value changes, so the document's index keys follow. */
bool keepsKeys(const BrdDocument &document, FieldOpen purpose) noexcept
{
    return !readOnly(purpose) && !document.isTemplate();
}

struct OpenWords {
    ULONG flags;
    ULONG mode;
};

OpenWords openWords(FieldOpen purpose) noexcept
{
    switch (purpose) {
    case FieldOpen::Compare:
    case FieldOpen::CopyOut:
        return {VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_NONE};
    case FieldOpen::Update:
        return {VBF_OPEN_OR_CREATE, VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE};
    case FieldOpen::CopyIn:
    case FieldOpen::Create:
        break;
    }
    return {VBF_CREATE_OR_REPLACE, VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE};
}

/* ---- FAT date and time words ------------------------------------------------ */

void packDateTime(const DATETIME &dt, ULONG *date, ULONG *time) noexcept
{
    *date = 0;
    *time = 0;
    if (dt.year < kFatFirstYear || dt.year > kFatLastYear)
        return;
    *date = ULONG{dt.day} | ULONG{dt.month} << 5
          | static_cast<ULONG>((dt.year - kFatYearBase) % kFatYearWrap) << 9;
    *time = ULONG{dt.seconds} / 2 | ULONG{dt.minutes} << 5 | ULONG{dt.hours} << 11;
}

/* Zero words leave the date-time as it is. */
void unpackDateTime(ULONG date, ULONG time, DATETIME *dt) noexcept
{
    if (date == 0 && time == 0)
        return;
    int year = kFatYearBase + static_cast<int>((date >> 9) & 0x7F);
    if (year < kFatFirstYear)
        year += kFatYearWrap;
    *dt = DATETIME{};
    dt->year = static_cast<USHORT>(year);
    dt->month = static_cast<BYTE>((date >> 5) & 0x0F);
    dt->day = static_cast<BYTE>(date & 0x1F);
    dt->hours = static_cast<BYTE>((time >> 11) & 0x1F);
    dt->minutes = static_cast<BYTE>((time >> 5) & 0x3F);
    dt->seconds = static_cast<BYTE>((time & 0x1F) * 2);
    dt->timezone = -1;
}

/* ---- Operations on a live file ---------------------------------------------- */

/* BrdVbfClose: the inner file first, so the value is complete before the
 * information and the index keys are brought up to date. */
USHORT closeFile(FieldFile *f) noexcept
{
    USHORT rc = VbfClose(f->inner.release());
    const FieldChain &chain = *f->chain;
    USHORT stamped = 0;
    if (BrdDocument *d = liveDocument(chain.document)) {
        const char *name = chain.name.c_str();
        if (chain.purpose == FieldOpen::Create || (chain.purpose == FieldOpen::Update && f->wrote))
            stamped = markFieldUpdated(*d, name, chain.purpose == FieldOpen::Create);
        if (keepsKeys(*d, chain.purpose))
            moveKeys(*d, name, chain.keysBefore);
    }
    files.destroy(f);                      // frees the chain of tables
    return rc != 0 ? rc : stamped;
}

USHORT movePointer(FieldFile *f, LONG distance, ULONG method, ULONG *newPos) noexcept
{
    return VbfChgFilePtr(f->inner.get(), distance, method, newPos);
}

USHORT readBytes(FieldFile *f, void *buffer, ULONG count, ULONG *read) noexcept
{
    return VbfRead(f->inner.get(), buffer, count, read);
}

USHORT readDirect(FieldFile *f, void *buffer, ULONG count, ULONG *read) noexcept
{
    return VbfReadDirect(f->inner.get(), buffer, count, read);
}

USHORT writeBytes(FieldFile *f, const void *buffer, ULONG count, ULONG *written) noexcept
{
    if (written != nullptr)
        *written = 0;
    if (readOnly(f->chain->purpose))
        return ORIN_ERR_ACCESS_DENIED;
    ULONG done = 0;
    USHORT rc = VbfWrite(f->inner.get(), buffer, count, &done);
    if (done != 0)
        f->wrote = true;
    if (written != nullptr)
        *written = done;
    return rc;
}

USHORT readChar(FieldFile *f, BYTE *ch) noexcept
{
    return VbfGetch(f->inner.get(), ch);
}

USHORT readLine(FieldFile *f, char *buffer, ULONG size, ULONG *consumed) noexcept
{
    return VbfGets(f->inner.get(), buffer, size, consumed);
}

USHORT flushFile(FieldFile *f) noexcept
{
    return VbfFlush(f->inner.get());
}

USHORT lockRanges(FieldFile *f, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    return VbfFileLocks(f->inner.get(), unlockRange, lockRange);
}

USHORT lockRangesEx(FieldFile *f, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    return VbfFileLocksEx(f->inner.get(), unlockRange, lockRange);
}

ULONG position(FieldFile *f) noexcept
{
    return VbfTell(f->inner.get());
}

USHORT queryLength(FieldFile *f, ULONG *length) noexcept
{
    return VbfQueryLength(f->inner.get(), length);
}

USHORT newSize(FieldFile *f, ULONG length) noexcept
{
    if (readOnly(f->chain->purpose))
        return ORIN_ERR_ACCESS_DENIED;
    USHORT rc = VbfNewSize(f->inner.get(), length);
    if (rc == 0)
        f->wrote = true;
    return rc;
}

USHORT queryName(FieldFile *f, char *buffer, ULONG size) noexcept
{
    return VbfQueryFilename(f->inner.get(), buffer, size);
}

USHORT checkInfoArgs(ULONG level, const void *buffer, ULONG size) noexcept
{
    if (level != VBF_INFO_LEVEL_STANDARD)
        return ORIN_ERR_INVALID_LEVEL;
    return buffer == nullptr || size < VBF_FILESTATUS_SIZE ? ORIN_ERR_INVALID_PARAM : 0;
}

USHORT queryInfo(FieldFile *f, ULONG level, void *buffer, ULONG size) noexcept
{
    USHORT rc = checkInfoArgs(level, buffer, size);
    if (rc != 0)
        return rc;
    BrdDocument *d = liveDocument(f->chain->document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    PRFFLDINFO info;
    rc = readFieldInfo(*d, f->chain->name.c_str(), &info);
    ULONG length = 0;
    if (rc == 0)
        rc = VbfQueryLength(f->inner.get(), &length);
    if (rc != 0)
        return rc;
    VBFFILESTATUS st = {};
    packDateTime(info.created, &st.fdateCreation, &st.ftimeCreation);
    packDateTime(info.lastUpdate, &st.fdateLastWrite, &st.ftimeLastWrite);
    st.fdateLastAccess = st.fdateLastWrite;
    st.ftimeLastAccess = st.ftimeLastWrite;
    st.cbFile = length;
    st.cbFileAlloc = length;
    st.attrFile = info.attributes;
    std::memcpy(buffer, &st, VBF_FILESTATUS_SIZE);
    return 0;
}

USHORT setInfo(FieldFile *f, ULONG level, void *buffer, ULONG size) noexcept
{
    USHORT rc = checkInfoArgs(level, buffer, size);
    if (rc != 0)
        return rc;
    if (readOnly(f->chain->purpose))
        return ORIN_ERR_ACCESS_DENIED;
    BrdDocument *d = liveDocument(f->chain->document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    const char *name = f->chain->name.c_str();
    PRFFLDINFO info;
    rc = readFieldInfo(*d, name, &info);
    if (rc != 0)
        return rc;
    VBFFILESTATUS st;
    std::memcpy(&st, buffer, VBF_FILESTATUS_SIZE);
    unpackDateTime(st.fdateCreation, st.ftimeCreation, &info.created);
    unpackDateTime(st.fdateLastWrite, st.ftimeLastWrite, &info.lastUpdate);
    return writeFieldInfo(*d, name, &info);
}

USHORT mapView(FieldFile *f, void **view, ULONG bytes, ULONG offsetHigh, ULONG offsetLow) noexcept
{
    return VbfMapViewOfFile(f->inner.get(), view, bytes, offsetHigh, offsetLow);
}

USHORT unmapView(FieldFile *f) noexcept
{
    return VbfUnmapViewOfFile(f->inner.get());
}

/* ---- The wrapper's table ------------------------------------------------------ */

/* A table slot over an operation: looks the back-end handle up first. */
template <auto Op>
using Slot = vbfslot::Slot<files, Op>;

/* context: the chain; extra: the next table.  The chain passes to the
 * new record only when the open succeeds. */
USHORT openFile(ULONG_PTR context, const char *fileName, void **backend, ULONG *action,
                ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode,
                ULONG_PTR extra) noexcept
{
    if (backend == nullptr || fileName == nullptr || context == 0 || extra == 0)
        return ORIN_ERR_INVALID_PARAM;
    *backend = nullptr;
    auto *chain = reinterpret_cast<FieldChain *>(context);
    auto f = files.tryMake();
    if (f == nullptr)
        return ORIN_ERR_NO_MEMORY;
    HVBF inner = nullptr;
    USHORT rc = VbfOpen(chain->document->archive->anchor, fileName, &inner, action, initialSize,
                        attribute, openFlags, openMode, reinterpret_cast<VBFFUNCS *>(extra));
    if (rc != 0)
        return rc;
    f->inner.reset(inner);
    f->chain.reset(chain);
    *backend = f.release();
    return 0;
}

constexpr VBFFUNCS makeWrapper() noexcept
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
    t.Flush = Slot<&flushFile>::call;
    t.FileLocks = Slot<&lockRanges>::call;
    t.FileLocksEx = Slot<&lockRangesEx>::call;
    t.Tell = Slot<&position>::call;
    t.QueryLength = Slot<&queryLength>::call;
    t.NewSize = Slot<&newSize>::call;
    t.QueryFilename = Slot<&queryName>::call;
    t.QFileInfo = Slot<&queryInfo>::call;
    t.SetFileInfo = Slot<&setInfo>::call;
    t.MapViewOfFile = Slot<&mapView>::call;
    t.UnmapViewOfFile = Slot<&unmapView>::call;
    return t;
}

constexpr VBFFUNCS kWrapper = makeWrapper();

/* The chain for one file: wrapper -> [zip ->] profile file. */
std::unique_ptr<FieldChain> makeChain(BrdDocument &d, const char *name, FieldOpen purpose,
                                      bool plain)
{
    void *anchor = d.archive->anchor;
    auto chain = std::make_unique<FieldChain>();
    chain->document = &d;
    chain->name = name;
    chain->purpose = purpose;
    chain->profileFile.reset(PrfFileAllocVbfFuncStruct(anchor));
    if (chain->profileFile == nullptr)
        throw std::bad_alloc();
    VBFFUNCS *next = chain->profileFile.get();
    if (plain) {
        chain->zip.reset(ZipVbfAllocVbfFuncStruct(anchor));
        if (chain->zip == nullptr)
            throw std::bad_alloc();
        chain->zip->extra = reinterpret_cast<ULONG_PTR>(next);
        next = chain->zip.get();
    }
    chain->wrapper = kWrapper;
    chain->wrapper.context = reinterpret_cast<ULONG_PTR>(chain.get());
    chain->wrapper.extra = reinterpret_cast<ULONG_PTR>(next);
    return chain;
}

}  // namespace

USHORT openFieldFile(BrdDocument &d, const char *name, FieldOpen purpose, bool plain,
                     HVBF *file) noexcept
{
    *file = nullptr;
    return guardCode([&]() -> USHORT {
        auto chain = makeChain(d, name, purpose, plain);
        std::string fileName = profileFileName(d.archive->profile, d.section, valueKey(name));
        if (keepsKeys(d, purpose))
            chain->keysBefore = captureKeys(d, name);
        OpenWords words = openWords(purpose);
        ULONG action = 0;
        USHORT rc = VbfOpen(d.archive->anchor, fileName.c_str(), file, &action, 0,
                            VBF_ATTR_NORMAL, words.flags, words.mode, &chain->wrapper);
        if (rc != 0)
            return rc;                     // nothing changed
        chain.release();                   // now owned by the open file
        return 0;
    });
}

USHORT registerField(BrdDocument &d, const char *name, bool compressed) noexcept
{
    if (!validFieldName(name))
        return ORIN_ERR_INVALID_PARAM;
    return guardCode([&]() -> USHORT {
        USHORT rc = appendFieldName(d, name);
        if (rc != 0)
            return rc;
        PRFFLDINFO info;
        PrfFldInfoInit(&info, kRegisteredType);
        info.compressed = compressed ? 1 : 0;
        rc = writeFieldInfo(d, name, &info);
        if (rc != 0)
            BrdFldDelete(&d, name);
        return rc;
    });
}

}  // namespace orin::arc

using namespace orin::arc;

USHORT ORINAPI BrdFldGetVbf(BrdDocument *document, const char *name, BOOL create, BOOL compressed,
                            HVBF *file) noexcept
{
    if (file != nullptr)
        *file = nullptr;
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (name == nullptr || file == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    USHORT rc = findField(*d, name, 0, nullptr);
    if (rc == 0) {
        PRFFLDINFO info;
        rc = readFieldInfo(*d, name, &info);
        return rc != 0 ? rc : openFieldFile(*d, name, FieldOpen::Update, info.compressed != 0, file);
    }
    if (rc != BRC_ERR_NO_FIELD || !create)
        return rc;
    rc = registerField(*d, name, compressed != 0);
    if (rc != 0)
        return rc;
    rc = openFieldFile(*d, name, FieldOpen::Create, compressed != 0, file);
    if (rc != 0)
        BrdFldDelete(d, name);
    return rc;
}
