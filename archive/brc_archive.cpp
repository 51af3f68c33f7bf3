/*
 * brc_archive.cpp - opening, creating, closing, deleting and packing
 * archives.
 *
 * Every open and create call runs one routine: check the file, open the
 * profile, write the header when creating (with the profile marked corrupt
 * while it is incomplete), check version and flavour, pick the code page
 * and open the indexes the header lists.  A failure anywhere closes what
 * was opened and returns nothing to the caller.
 *
 * The existence checks look at the disk only for archives on disk files:
 * with caller-supplied virtual-file functions the profile open itself
 * reports a missing file.  After a create with a non-zero mode the profile
 * is reopened shared through the same functions it was created with.
 */
#include "archive/arcint.h"

#include <cstdlib>

#include "frame/boundary.h"
#include "knlnam.h"
#include "net.h"

namespace orin::arc {
namespace {

enum class Flavour { kPlain, kArchive };

struct OpenRequest {
    void *anchor;
    const char *fileName;
    USHORT mode;
    VBFFUNCS *funcs;
    bool create;
    Flavour flavour;
    bool readOnly;
};


/* Closes whatever part of the archive is open and frees the handle; the
 * result is the profile's close. */
USHORT discardArchive(BrcArchive *a) noexcept
{
    closeAllIndexes(*a);
    USHORT rc = a->profile ? PrfCloseProfile(a->profile) : 0;
    a->profile = nullptr;
    free(a->prfFileFuncs);
    freeArchive(a);
    return rc;
}

USHORT writeNewHeader(BrcArchive &a, Flavour flavour) noexcept
{
    return guardCode([&]() -> USHORT {
        HPRF p = a.profile;
        USHORT rc = PrfWriteProfileUShort(p, kHeader, kKeyVersion, BRC_VERSION);
        if (rc)
            return rc;
        char station[512] = {};
        NetGetNetworkStationID(station);
        std::string id = dateTimeStamp(nullptr) + station;
        if (id.size() >= BRC_ID_SIZE)
            id.resize(BRC_ID_SIZE - 1);
        if ((rc = PrfWriteProfileString(p, kHeader, kKeyId, id.c_str())) != 0)
            return rc;
        for (const char *key : {kKeyNrDocs, kKeyNrIndex, kKeyNrViews})
            if ((rc = PrfWriteProfileUShort(p, kHeader, key, 0)) != 0)
                return rc;
        if (flavour == Flavour::kArchive &&
            (rc = PrfWriteProfileUShort(p, kHeader, kKeyArchive, 1)) != 0)
            return rc;
        if ((rc = PrfWriteProfileUShort(p, kHeader, kKeyAnsi, 1)) != 0)
            return rc;
        a.ansi = true;
        return 0;
    });
}

/* Writes the header of a new archive; reopens it shared when asked. */
USHORT createHeader(BrcArchive &a, const OpenRequest &rq) noexcept
{
    PrfFalSetCorrupt(a.profile, TRUE);
    USHORT rc = writeNewHeader(a, rq.flavour);
    PrfFalSetCorrupt(a.profile, FALSE);
    if (rc || rq.mode == 0)
        return rc;
    rc = PrfCloseProfile(a.profile);
    a.profile = nullptr;
    if (rc == 0)
        rc = PrfOpenProfileOnVbf(rq.anchor, &a.profile, rq.fileName, PRF_OPEN_SHARED, rq.funcs);
    if (rc) {
        a.profile = nullptr;
        KnlNamDelete(rq.anchor, rq.fileName);
    }
    return rc;
}

USHORT checkHeader(BrcArchive &a, Flavour flavour) noexcept
{
    USHORT version = 0;
    USHORT rc = PrfQueryProfileUShort(a.profile, kHeader, kKeyVersion, &version);
    if (rc)
        return rc;
    if (version != BRC_VERSION)
        return BRC_ERR_VERSION;
    USHORT isArchive = 0;
    if (PrfQueryProfileUShort(a.profile, kHeader, kKeyArchive, &isArchive) != 0)
        isArchive = 0;
    if (flavour == Flavour::kPlain && isArchive != 0)
        return BRC_ERR_IS_ARCHIVE;
    if (flavour == Flavour::kArchive && isArchive == 0)
        return BRC_ERR_NOT_ARCHIVE;
    USHORT ansi = 0;
    if (PrfQueryProfileUShort(a.profile, kHeader, kKeyAnsi, &ansi) != 0 || ansi == 0) {
        a.ansi = false;
        PrfSetOemMode(a.profile, PRF_OEM_VALUES | PRF_OEM_KEYS | PRF_OEM_SECTIONS);
    } else {
        a.ansi = true;
    }
    return 0;
}

USHORT openArchive(const OpenRequest &rq, BrcArchive **out) noexcept
{
    if (out == nullptr || rq.fileName == nullptr || *rq.fileName == '\0')
        return ORIN_ERR_INVALID_PARAM;
    *out = nullptr;
    if (rq.funcs == nullptr) {
        bool exists = KnlNamQFileExist(rq.anchor, rq.fileName) != 0;
        if (!rq.create && !exists)
            return ORIN_ERR_FILE_NOT_FOUND;
        if (rq.create && exists)
            return ORIN_ERR_ACCESS_DENIED;
    }
    BrcArchive *a = nullptr;
    USHORT rc = guardCode([&]() -> USHORT {
        a = newArchive();
        a->fileName = rq.fileName;
        return 0;
    });
    if (rc) {
        if (a)
            freeArchive(a);
        return rc;
    }
    USHORT profileMode = rq.readOnly ? PRF_OPEN_READONLY : rq.create ? 0 : rq.mode;
    rc = PrfOpenProfileOnVbf(rq.anchor, &a->profile, rq.fileName, profileMode, rq.funcs);
    if (rc) {
        a->profile = nullptr;
        discardArchive(a);
        return rc;
    }
    a->anchor = rq.anchor;
    a->openMode = rq.readOnly ? 0 : rq.mode;
    a->prfFileFuncs = PrfFileAllocVbfFuncStruct(rq.anchor);
    if (a->prfFileFuncs == nullptr)
        rc = ORIN_ERR_NO_MEMORY;
    if (rc == 0 && rq.create)
        rc = createHeader(*a, rq);
    if (rc == 0)
        rc = checkHeader(*a, rq.flavour);
    if (rc == 0)
        rc = openListedIndexes(*a);
    if (rc) {
        discardArchive(a);
        return rc;
    }
    *out = a;
    return 0;
}

USHORT openWith(void *anchor, BrcArchive **out, const char *name, USHORT mode, VBFFUNCS *funcs,
                bool create, Flavour flavour, bool readOnly) noexcept
{
    return openArchive(OpenRequest{anchor, name, mode, funcs, create, flavour, readOnly}, out);
}

}  // namespace

/* Counts documents whose "Active" is non-zero; slots without it are skipped. */
USHORT countActiveDocs(BrcArchive &a, USHORT *count) noexcept
{
    *count = 0;
    USHORT slots = 0;
    USHORT rc = readHeaderCount(a, kKeyNrDocs, &slots);
    if (rc)
        return rc;
    for (USHORT n = 0; n < slots; n++) {
        USHORT active = 0;
        rc = PrfQueryProfileUShort(a.profile, docSection(n).c_str(), kKeyActive, &active);
        if (rc == ORIN_ERR_NO_KEY)
            continue;
        if (rc)
            return rc;
        if (active)
            ++*count;
    }
    return 0;
}

}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

#define ORIN_ARC_OPEN(fn, create, flavour, readOnly)                                          \
    USHORT ORINAPI fn(void *anchor, BrcArchive **archive, const char *fileName,              \
                      USHORT mode) noexcept                                                   \
    {                                                                                         \
        return openWith(anchor, archive, fileName, mode, nullptr, create, flavour, readOnly); \
    }                                                                                         \
    USHORT ORINAPI fn##OnVbf(void *anchor, BrcArchive **archive, const char *fileName,       \
                             USHORT mode, VBFFUNCS *funcs) noexcept                           \
    {                                                                                         \
        return openWith(anchor, archive, fileName, mode, funcs, create, flavour, readOnly);   \
    }

ORIN_ARC_OPEN(BrcCreate, true, Flavour::kPlain, false)
ORIN_ARC_OPEN(BrcCreateArchive, true, Flavour::kArchive, false)
ORIN_ARC_OPEN(BrcOpen, false, Flavour::kPlain, false)
ORIN_ARC_OPEN(BrcOpenArchive, false, Flavour::kArchive, false)
ORIN_ARC_OPEN(BrcOpenReadonly, false, Flavour::kPlain, true)
ORIN_ARC_OPEN(BrcOpenArchiveReadonly, false, Flavour::kArchive, true)

USHORT ORINAPI BrcClose(BrcArchive *archive) noexcept
{
    BrcArchive *a = liveArchive(archive);
    return a ? discardArchive(a) : USHORT(ORIN_ERR_INVALID_HANDLE);
}

USHORT ORINAPI BrcDelete(void *anchor, const char *fileName) noexcept
{
    BrcArchive *a = nullptr;
    USHORT rc = BrcOpen(anchor, &a, fileName, 0);
    if (rc)
        return rc;
    USHORT active = 0;
    rc = countActiveDocs(*a, &active);
    if (rc == 0 && active == 0) {
        rc = BrcClose(a);
        if (rc == 0)
            KnlNamDelete(anchor, fileName);
        return rc;
    }
    BrcClose(a);
    return rc ? rc : BRC_ERR_ACTIVE_DOCS;
}

USHORT ORINAPI BrcPack(void *anchor, const char *fileName, ULONG flags) noexcept
{
    return PrfFalPack(anchor, fileName, flags != 0);
}

USHORT ORINAPI BrcSetCorrupt(BrcArchive *archive, BOOL flag) noexcept
{
    BrcArchive *a = liveArchive(archive);
    return a ? PrfFalSetCorrupt(a->profile, flag) : ORIN_ERR_INVALID_HANDLE;
}

HPRF ORINAPI BrcGetPrfHandle(BrcArchive *archive) noexcept
{
    BrcArchive *a = liveArchive(archive);
    return a ? a->profile : nullptr;
}
