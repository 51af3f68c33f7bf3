/*
 * prf_file.cpp - a whole file kept in one value of a profile.
 *
 * An in-profile file is named "PROFILE;SECTION~KEY": PROFILE is a profile
 * file name, or "@PRFHANDLE@" and the 16 hexadecimal digits of a profile
 * handle that is already open (and stays the caller's).  The file's bytes
 * are the key's value; reads and writes go through the offset variants
 * of the profile calls at the handle's position, so a value of any
 * length is reached piece by piece.  File locks lock the key's section
 * (a lock stored with the section, seen by every process); nested locks
 * by one handle only count.
 *
 * PrfFileAllocVbfFuncStruct gives these calls as a Vbf back-end, so any
 * consumer of virtual files (an index, say) can keep its file in a
 * profile value.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include <string>
#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "profile/prfint.h"

struct _PRFFILE {
    void *nameSpace;
    std::string profilePart;          // as given: a file name or "@PRFHANDLE@..."
    std::string section;
    std::string key;
    HPRF profile = NULL;
    bool ownsProfile = false;         // opened here, so closed here
    ULONG position = 0;
    USHORT lockDepth = 0;
    USHORT openFlags = 0;
    ULONG openMode = 0;
};

namespace orin::prf {

namespace {

constexpr const char *kHandlePrefix = "@PRFHANDLE@";
constexpr size_t kHandleDigits = 16;
constexpr ULONG kOpenCreate = 0x10;
constexpr ULONG kOpenReplace = 0x02;
constexpr ULONG kOpenExisting = 0x01;
constexpr ULONG kModeAccess = 0x03;
constexpr ULONG kModeDenyNone = 0x40;
constexpr ULONG kActionExisted = 1, kActionCreated = 2, kActionReplaced = 3;
constexpr int kLockAttempts = 10;
constexpr DWORD kLockWaitMs = 500;
constexpr ULONG kGetsFirstRound = 128;

HandlePool<_PRFFILE> files;

_PRFFILE *fileOf(HPRFFILE h) { return files.get(h); }

bool writable(const _PRFFILE *f) { return (f->openMode & kModeAccess) != 0; }

// Splits "PROFILE;SECTION~KEY"; false when a separator is missing.
bool splitName(const char *name, _PRFFILE *f)
{
    const char *semi = strchr(name, ';');
    const char *tilde = semi ? strchr(semi + 1, '~') : nullptr;
    if (!semi || !tilde)
        return false;
    f->profilePart.assign(name, semi);
    f->section.assign(semi + 1, tilde);
    f->key.assign(tilde + 1);
    return true;
}

// The handle named by "@PRFHANDLE@" + 16 hex digits; null for a zero or
// malformed one.
HPRF handleFromName(const std::string &part)
{
    std::string digits = part.substr(strlen(kHandlePrefix));
    if (digits.size() != kHandleDigits
        || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return NULL;
    return reinterpret_cast<HPRF>(static_cast<ULONG_PTR>(strtoull(digits.c_str(), nullptr, 16)));
}

USHORT attachProfile(_PRFFILE *f)
{
    if (f->profilePart.rfind(kHandlePrefix, 0) == 0) {
        f->profile = handleFromName(f->profilePart);
        if (!f->profile)
            return ORIN_ERR_FILE_NOT_FOUND;
        return prfIsValid(f->profile) ? 0 : ORIN_ERR_INVALID_HANDLE;
    }
    USHORT flags = (f->openMode & kModeDenyNone) ? PRF_OPEN_SHARED
                   : writable(f)                 ? 0
                                                 : PRF_OPEN_READONLY;
    USHORT rc = PrfOpenProfile(f->nameSpace, &f->profile, f->profilePart.c_str(), flags);
    f->ownsProfile = rc == 0;
    return rc;
}

USHORT openValue(_PRFFILE *f, ULONG *action, ULONG initialSize)
{
    ULONG size = 0;
    USHORT rc = PrfQueryProfileSize(f->profile, f->section.c_str(), f->key.c_str(), &size);
    bool missing = rc == ORIN_ERR_NO_KEY;
    if (rc && !(missing && (f->openFlags & kOpenCreate)))
        return rc;
    if (!missing && f->openFlags == kOpenCreate)
        return ORIN_ERR_ACCESS_DENIED;               // asked to create, but it exists
    if (!missing && !(f->openFlags & (kOpenExisting | kOpenReplace)))
        return ORIN_ERR_INVALID_PARAM;
    ULONG done = kActionExisted;
    if (missing || ((f->openFlags & kOpenReplace) && writable(f))) {
        rc = PrfSetProfileDataSize(f->profile, f->section.c_str(), f->key.c_str(), initialSize);
        if (rc)
            return rc;
        done = missing ? kActionCreated : kActionReplaced;
    }
    if (action)
        *action = done;
    return 0;
}

ULONG valueLength(_PRFFILE *f, USHORT *rc)
{
    ULONG size = 0;
    *rc = PrfQueryProfileSize(f->profile, f->section.c_str(), f->key.c_str(), &size);
    return *rc || size == 0 ? 0 : size - 1;         // the size has room for a terminator
}

USHORT lockSection(_PRFFILE *f)
{
    if (f->lockDepth) {
        f->lockDepth++;
        return 0;
    }
    USHORT rc = ORIN_ERR_LOCK_VIOLATION;
    for (int attempt = 0; attempt < kLockAttempts; attempt++) {
        rc = PrfLockSection(f->profile, f->section.c_str(), FALSE, TRUE);
        if (rc != ORIN_ERR_LOCK_VIOLATION)
            break;
        Sleep(kLockWaitMs);
    }
    if (!rc)
        f->lockDepth = 1;
    return rc;
}

USHORT unlockSection(_PRFFILE *f)
{
    if (!f->lockDepth)
        return ORIN_ERR_LOCK_VIOLATION;
    if (--f->lockDepth)
        return 0;
    return PrfLockSection(f->profile, f->section.c_str(), FALSE, FALSE);
}

// Where the first CR LF of the n bytes at p starts; n when there is none.
ULONG findCrLf(const char *p, ULONG n)
{
    for (ULONG i = 0; i + 1 < n; i++)
        if (p[i] == '\r' && p[i + 1] == '\n')
            return i;
    return n;
}

// Runs op on the handle's record, or answers 6 for a handle that is not one.
template <class Op>
USHORT withFile(HPRFFILE h, Op op)
{
    return guardCode([&]() -> USHORT {
        _PRFFILE *f = fileOf(h);
        return f ? op(f) : ORIN_ERR_INVALID_HANDLE;
    });
}

}  // namespace

}  // namespace orin::prf

using orin::prf::withFile;

USHORT ORINAPI PrfFileOpen(void *nameSpace, const char *name, HPRFFILE *handle, ULONG *action,
                           ULONG initialSize, ULONG attribute, ULONG openFlags,
                           ULONG openMode) noexcept
{
    (void)attribute;
    return orin::guardCode([&]() -> USHORT {
        if (!handle)
            return ORIN_ERR_INVALID_PARAM;
        *handle = NULL;
        if (!name)
            return ORIN_ERR_INVALID_NAME;
        auto f = orin::prf::files.make();
        f->nameSpace = nameSpace;
        f->openFlags = (USHORT)openFlags;
        f->openMode = openMode;
        if (!orin::prf::splitName(name, f.get()))
            return ORIN_ERR_INVALID_NAME;
        USHORT rc = orin::prf::attachProfile(f.get());
        if (!rc)
            rc = orin::prf::openValue(f.get(), action, initialSize);
        if (rc) {
            if (f->ownsProfile)
                PrfCloseProfile(f->profile);
            return rc;
        }
        *handle = f.release();
        return 0;
    });
}

USHORT ORINAPI PrfFileClose(HPRFFILE h) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        if (f->ownsProfile)
            PrfCloseProfile(f->profile);
        orin::prf::files.destroy(f);
        return 0;
    });
}

USHORT ORINAPI PrfFileRead(HPRFFILE h, void *buffer, ULONG count, ULONG *read) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        ULONG n = count;
        if (read)
            *read = 0;
        if (!buffer && count)
            return ORIN_ERR_INVALID_PARAM;
        if (count == 0)
            return 0;
        USHORT rc = PrfQueryProfileDataOffset(f->profile, f->section.c_str(), f->key.c_str(),
                                              f->position, buffer, &n);
        if (rc)
            return rc;
        f->position += n;
        if (read)
            *read = n;
        return 0;
    });
}

USHORT ORINAPI PrfFileGetch(HPRFFILE h, BYTE *ch) noexcept
{
    ULONG n = 0;
    USHORT rc = PrfFileRead(h, ch, 1, &n);
    return rc ? rc : n == 1 ? 0 : ORIN_ERR_GENERAL;
}

USHORT ORINAPI PrfFileWrite(HPRFFILE h, const void *data, ULONG count, ULONG *written) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        if (written)
            *written = 0;
        if (!orin::prf::writable(f))
            return ORIN_ERR_ACCESS_DENIED;
        if (!data && count)
            return ORIN_ERR_INVALID_PARAM;
        if (count == 0)
            return 0;
        USHORT rc = PrfWriteProfileDataOffset(f->profile, f->section.c_str(), f->key.c_str(),
                                              f->position, data, count);
        if (rc)
            return rc;
        f->position += count;
        if (written)
            *written = count;
        return 0;
    });
}

USHORT ORINAPI PrfFileGets(HPRFFILE h, char *buffer, ULONG size, ULONG *consumed) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        if (consumed)
            *consumed = 0;
        if (!buffer || size == 0)
            return ORIN_ERR_INVALID_PARAM;
        ULONG start = f->position, first = std::min(size - 1, orin::prf::kGetsFirstRound), got = 0;
        USHORT rc = PrfFileRead(h, buffer, first, &got);
        if (!rc && got == first && orin::prf::findCrLf(buffer, got) == got
            && size - 1 > orin::prf::kGetsFirstRound) {
            ULONG more = 0;
            rc = PrfFileRead(h, buffer + got, size - 1 - got, &more);
            got += more;
        }
        if (rc)
            return rc;
        ULONG line = orin::prf::findCrLf(buffer, got);
        ULONG used = line < got ? line + 2 : got;
        buffer[line] = 0;
        f->position = start + used;
        if (consumed)
            *consumed = used;
        return 0;
    });
}

USHORT ORINAPI PrfFileChgFilePtr(HPRFFILE h, LONG distance, ULONG method, ULONG *newPos) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        LONGLONG base;
        if (method == VBF_FILE_BEGIN) {
            base = 0;
        } else if (method == VBF_FILE_CURRENT) {
            base = f->position;
        } else if (method == VBF_FILE_END) {
            USHORT rc;
            ULONG length = orin::prf::valueLength(f, &rc);
            if (rc)
                return 0;                       // the length is unknown: stay
            base = length;
        } else {
            return ORIN_ERR_INVALID_PARAM;
        }
        f->position = (ULONG)std::max<LONGLONG>(0, base + distance);
        if (newPos)
            *newPos = f->position;
        return 0;
    });
}

ULONG ORINAPI PrfFileTell(HPRFFILE h) noexcept
{
    _PRFFILE *f = orin::prf::fileOf(h);
    return f ? f->position : 0;
}

USHORT ORINAPI PrfFileQueryLength(HPRFFILE h, ULONG *length) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        if (!length)
            return ORIN_ERR_INVALID_PARAM;
        USHORT rc;
        *length = orin::prf::valueLength(f, &rc);
        return rc;
    });
}

USHORT ORINAPI PrfFileNewSize(HPRFFILE h, ULONG newLength) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        if (!orin::prf::writable(f))
            return ORIN_ERR_ACCESS_DENIED;
        return PrfSetProfileDataSize(f->profile, f->section.c_str(), f->key.c_str(), newLength);
    });
}

USHORT ORINAPI PrfFileFlush(HPRFFILE h) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT { return PrfFalFlush(f->profile); });
}

USHORT ORINAPI PrfFileQueryFilename(HPRFFILE h, char *buffer, ULONG size) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        std::string name = f->profilePart + ";" + f->section + "~" + f->key;
        if (!buffer || name.size() + 1 > size)
            return ORIN_ERR_BUFFER_TOO_SMALL;
        memcpy(buffer, name.c_str(), name.size() + 1);
        return 0;
    });
}

USHORT ORINAPI PrfFileFileLocks(HPRFFILE h, FILELOCK *unlockRange, FILELOCK *lockRange) noexcept
{
    return withFile(h, [&](_PRFFILE *f) -> USHORT {
        USHORT rc = 0;
        if (unlockRange)
            rc = orin::prf::unlockSection(f);
        if (!rc && lockRange)
            rc = orin::prf::lockSection(f);
        return rc;
    });
}

/* ---- As a Vbf back-end ------------------------------------------------------------ */

namespace {

USHORT openSlot(ULONG_PTR context, const char *name, void **backend, ULONG *action,
                ULONG initialSize, ULONG attribute, ULONG openFlags, ULONG openMode, ULONG_PTR)
{
    return PrfFileOpen(reinterpret_cast<void *>(context), name,
                       reinterpret_cast<HPRFFILE *>(backend), action, initialSize, attribute,
                       openFlags, openMode);
}

}  // namespace

VBFFUNCS *ORINAPI PrfFileAllocVbfFuncStruct(void *nameSpace) noexcept
{
    auto *t = static_cast<VBFFUNCS *>(calloc(1, sizeof(VBFFUNCS)));
    if (!t)
        return nullptr;
    t->cb = sizeof *t;
    t->context = reinterpret_cast<ULONG_PTR>(nameSpace);
    t->Open = openSlot;
    t->Close = reinterpret_cast<PFNVBFCLOSE>(PrfFileClose);
    t->ChgFilePtr = reinterpret_cast<PFNVBFCHGFILEPTR>(PrfFileChgFilePtr);
    t->Read = reinterpret_cast<PFNVBFREAD>(PrfFileRead);
    t->ReadDirect = reinterpret_cast<PFNVBFREAD>(PrfFileRead);
    t->Write = reinterpret_cast<PFNVBFWRITE>(PrfFileWrite);
    t->Getch = reinterpret_cast<PFNVBFGETCH>(PrfFileGetch);
    t->Gets = reinterpret_cast<PFNVBFGETS>(PrfFileGets);
    t->Flush = reinterpret_cast<PFNVBFFLUSH>(PrfFileFlush);
    t->FileLocks = reinterpret_cast<PFNVBFFILELOCKS>(PrfFileFileLocks);
    t->Tell = reinterpret_cast<PFNVBFTELL>(PrfFileTell);
    t->QueryLength = reinterpret_cast<PFNVBFQUERYLENGTH>(PrfFileQueryLength);
    t->NewSize = reinterpret_cast<PFNVBFNEWSIZE>(PrfFileNewSize);
    t->QueryFilename = reinterpret_cast<PFNVBFQUERYFILENAME>(PrfFileQueryFilename);
    return t;
}
