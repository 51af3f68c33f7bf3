/*
 * brc_header.cpp - the archive's header section: version, slot counts and
 * the counts of existing sections below them, comment, identifier, the
 * busy function and the header lock.
 *
 * "Max" counts are the slot counts stored in the header; "Nr" counts probe
 * every slot below them for an existing section.
 */
#include "archive/arcint.h"

#include <cstring>

#include "frame/boundary.h"

namespace orin::arc {
namespace {

using SectionName = std::string (*)(USHORT);

USHORT countSections(BrcArchive &a, const char *slotKey, SectionName name, USHORT *count) noexcept
{
    *count = 0;
    USHORT slots = 0;
    USHORT rc = readHeaderCount(a, slotKey, &slots);
    if (rc)
        return rc;
    return guardCode([&]() -> USHORT {
        for (USHORT n = 0; n < slots; n++)
            if (sectionExists(a.profile, name(n).c_str()))
                ++*count;
        return 0;
    });
}

USHORT slotExists(BrcArchive *archive, SectionName name, USHORT number) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return 0;
    try {
        return sectionExists(a->profile, name(number).c_str()) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

/* A string key read like a comment: with a buffer at most size bytes and
 * size = length + 1; without one size = stored length + 1.  A missing key
 * leaves an empty string, size 1 and 211. */
USHORT readTextKey(HPRF profile, const char *section, const char *key, char *buffer,
                   ULONG *size) noexcept
{
    if (size == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    ULONG stored = 0;
    USHORT rc = PrfQueryProfileSize(profile, section, key, &stored);
    if (rc) {
        if (buffer && *size)
            buffer[0] = '\0';
        *size = 1;
        return rc;
    }
    if (buffer == nullptr) {
        *size = stored;
        return 0;
    }
    if (*size == 0)
        return ORIN_ERR_BUFFER_TOO_SMALL;
    ULONG got = *size;
    rc = PrfQueryProfileData(profile, section, key, buffer, &got);
    if (rc && rc != ORIN_ERR_BUFFER_TOO_SMALL)
        return rc;
    if (got >= *size)
        got = *size - 1;
    buffer[got] = '\0';
    *size = ULONG(strlen(buffer)) + 1;
    return rc;
}

}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrcGetVersion(BrcArchive *archive, USHORT *version) noexcept
{
    if (version == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withArchive(archive, [&](BrcArchive &a) { return readHeaderCount(a, kKeyVersion, version); });
}

USHORT ORINAPI BrcGetMaxNrDocs(BrcArchive *archive, USHORT *count) noexcept
{
    if (count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *count = 0;
    return withArchive(archive, [&](BrcArchive &a) { return readHeaderCount(a, kKeyNrDocs, count); });
}

USHORT ORINAPI BrcGetMaxNrIx(BrcArchive *archive, USHORT *count) noexcept
{
    if (count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withArchive(archive, [&](BrcArchive &a) { return readHeaderCount(a, kKeyNrIndex, count); });
}

USHORT ORINAPI BrcGetMaxNrViews(BrcArchive *archive, USHORT *count) noexcept
{
    if (count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withArchive(archive, [&](BrcArchive &a) { return readHeaderCount(a, kKeyNrViews, count); });
}

USHORT ORINAPI BrcGetNrDocs(BrcArchive *archive, USHORT *count) noexcept
{
    if (count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *count = 0;
    return withArchive(archive, [&](BrcArchive &a) {
        return countSections(a, kKeyNrDocs, docSection, count);
    });
}

USHORT ORINAPI BrcGetNrIx(BrcArchive *archive, USHORT *count) noexcept
{
    if (count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *count = 0;
    return withArchive(archive, [&](BrcArchive &a) {
        return countSections(a, kKeyNrIndex, indexSection, count);
    });
}

USHORT ORINAPI BrcGetNrViews(BrcArchive *archive, USHORT *count) noexcept
{
    if (count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *count = 0;
    return withArchive(archive, [&](BrcArchive &a) {
        return countSections(a, kKeyNrViews, viewSection, count);
    });
}

USHORT ORINAPI BrcGetNrActiveDocs(BrcArchive *archive, USHORT *count) noexcept
{
    if (count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *count = 0;
    return withArchive(archive, [&](BrcArchive &a) { return countActiveDocs(a, count); });
}

USHORT ORINAPI BrcQueryDocExist(BrcArchive *archive, USHORT number) noexcept
{
    return slotExists(archive, docSection, number);
}

USHORT ORINAPI BrcQueryIxExist(BrcArchive *archive, USHORT number) noexcept
{
    return slotExists(archive, indexSection, number);
}

USHORT ORINAPI BrcQueryViewExist(BrcArchive *archive, USHORT number) noexcept
{
    return slotExists(archive, viewSection, number);
}

USHORT ORINAPI BrcGetHeaderInfo(BrcArchive *archive, BrcHeaderInfo *info) noexcept
{
    if (info == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    memset(info, 0, sizeof *info);
    return withArchive(archive, [&](BrcArchive &a) -> USHORT {
        info->profile = a.profile;
        USHORT rc = readHeaderCount(a, kKeyVersion, &info->version);
        if (rc == 0)
            rc = readHeaderCount(a, kKeyNrDocs, &info->maxDocs);
        if (rc == 0)
            rc = countSections(a, kKeyNrDocs, docSection, &info->docs);
        if (rc == 0)
            rc = countActiveDocs(a, &info->activeDocs);
        if (rc == 0)
            rc = readHeaderCount(a, kKeyNrIndex, &info->maxIndexes);
        if (rc == 0)
            rc = countSections(a, kKeyNrIndex, indexSection, &info->indexes);
        if (rc == 0)
            rc = readHeaderCount(a, kKeyNrViews, &info->maxViews);
        if (rc == 0)
            rc = countSections(a, kKeyNrViews, viewSection, &info->views);
        if (rc == 0)
            rc = PrfQueryProfileString(a.profile, kHeader, kKeyId, "", info->id, sizeof info->id);
        return rc;
    });
}

USHORT ORINAPI BrcGetID(BrcArchive *archive, char *buffer, ULONG size) noexcept
{
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    return withArchive(archive, [&](BrcArchive &a) {
        return PrfQueryProfileString(a.profile, kHeader, kKeyId, "", buffer, size);
    });
}

USHORT ORINAPI BrcGetComment(BrcArchive *archive, char *buffer, ULONG *size) noexcept
{
    return withArchive(archive, [&](BrcArchive &a) {
        return readTextKey(a.profile, kHeader, kKeyComment, buffer, size);
    });
}

USHORT ORINAPI BrcSetComment(BrcArchive *archive, const char *text) noexcept
{
    return withArchive(archive, [&](BrcArchive &a) {
        return PrfWriteProfileString(a.profile, kHeader, kKeyComment, text);
    });
}

char *ORINAPI BrcGetDateTimeStamp(const DATETIME *dt, char *buffer, ULONG size) noexcept
{
    static char shared[16];
    if (buffer == nullptr) {
        buffer = shared;
        size = sizeof shared;
    }
    if (size == 0)
        return buffer;
    try {
        std::string stamp = dateTimeStamp(dt);
        size_t n = std::min<size_t>(stamp.size(), size - 1);
        memcpy(buffer, stamp.data(), n);
        buffer[n] = '\0';
    } catch (...) {
        buffer[0] = '\0';
    }
    return buffer;
}

PFNBRCBUSY ORINAPI BrcSetBusyFunc(BrcArchive *archive, PFNBRCBUSY busy, ULONGLONG user,
                                  USHORT interval) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return nullptr;
    PFNBRCBUSY previous = a->busy;
    a->busy = busy;
    a->busyUser = user;
    a->busyInterval = interval;
    return previous;
}

USHORT ORINAPI BrcLockHeader(BrcArchive *archive, BOOL lock) noexcept
{
    return withArchive(archive, [&](BrcArchive &a) { return lockHeader(a, lock != FALSE); });
}
