/*
 * brd_docinfo.cpp - what a document says about itself: application site,
 * identifier, entrance time, active state, status, the updated flags of
 * its fields and its history text.
 */
#include "archive/arcint.h"

#include <cstdarg>
#include <cstring>

#include "frame/boundary.h"
#include "knl.h"
#include "str.h"

namespace orin::arc {
namespace {

constexpr ULONG kHistoryLineSize = 512;

USHORT readFlag(BrdDocument &d, const char *key, ULONG *value) noexcept
{
    USHORT v = 0;
    USHORT rc = PrfQueryProfileUShort(d.archive->profile, d.section, key, &v);
    *value = v != 0;
    return rc;
}

/* Calls f(name, info) for every field whose information can be read. */
template <class F>
USHORT forEachFieldInfo(BrdDocument &d, F &&f) noexcept
{
    USHORT rc = 0;
    const std::string *list = fieldList(d, &rc);
    if (rc || list == nullptr)
        return rc;
    return guardCode([&]() -> USHORT {
        for (const std::string &name : splitFieldList(*list)) {
            PRFFLDINFO info;
            if (readFieldInfo(d, name.c_str(), &info) == 0)
                if (f(name, info))
                    break;
        }
        return 0;
    });
}

bool anyFieldUpdated(BrdDocument &d) noexcept
{
    bool updated = false;
    forEachFieldInfo(d, [&](const std::string &, const PRFFLDINFO &info) {
        updated = info.updated != 0;
        return updated;
    });
    return updated;
}

}  // namespace
}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrdGetHeaderInfo(BrdDocument *document, BrdHeaderInfo *info) noexcept
{
    if (info == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    memset(info, 0, sizeof *info);
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        USHORT rc = readDocString(d, kKeyAppSite, info->appSite, sizeof info->appSite);
        if (rc == 0)
            rc = readDocString(d, kKeyDocId, info->docId, sizeof info->docId);
        if (rc == 0)
            rc = readFlag(d, kKeyActiveOnEntrance, &info->activeOnEntrance);
        if (rc == 0)
            rc = readFlag(d, kKeyActive, &info->active);
        if (rc == 0)
            rc = BrdGetDTEntrance(&d, &info->entrance);
        if (rc == 0)
            rc = BrdGetNrFields(&d, &info->nrFields);
        return rc;
    });
}

USHORT ORINAPI BrdGetAppSite(BrdDocument *document, char *buffer, ULONG size) noexcept
{
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) {
        return readDocString(d, kKeyAppSite, buffer, size);
    });
}

USHORT ORINAPI BrdGetDocID(BrdDocument *document, char *buffer, ULONG size) noexcept
{
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) {
        return readDocString(d, kKeyDocId, buffer, size);
    });
}

USHORT ORINAPI BrdGetDTEntrance(BrdDocument *document, DATETIME *dt) noexcept
{
    if (dt == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        char stamp[32];
        USHORT rc = readDocString(d, kKeyEntrance, stamp, sizeof stamp);
        *dt = parseDateTimeStamp(rc == 0 ? stamp : "");
        return rc;
    });
}

USHORT ORINAPI BrdGetActive(BrdDocument *document, ULONG *active) noexcept
{
    if (active == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) { return readFlag(d, kKeyActive, active); });
}

USHORT ORINAPI BrdGetActiveOnEntrance(BrdDocument *document, ULONG *active) noexcept
{
    if (active == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) {
        return readFlag(d, kKeyActiveOnEntrance, active);
    });
}

USHORT ORINAPI BrdSetActive(BrdDocument *document, BOOL active) noexcept
{
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        HPRF p = d.archive->profile;
        if (!active)
            return PrfWriteProfileUShort(p, d.section, kKeyActive, 0);
        ULONG allowed = 0;
        USHORT rc = readFlag(d, kKeyActiveOnEntrance, &allowed);
        if (rc)
            return rc;
        if (!allowed)
            return BRC_ERR_NOT_ACTIVE;
        return PrfWriteProfileUShort(p, d.section, kKeyActive, 1);
    });
}

USHORT ORINAPI BrdGetArchive(BrdDocument *document, ULONG *isArchive) noexcept
{
    if (isArchive == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *isArchive = 0;
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        USHORT v = 0;
        USHORT rc = PrfQueryProfileUShort(d.archive->profile, kHeader, kKeyArchive, &v);
        if (rc == ORIN_ERR_NO_KEY)
            return 0;
        *isArchive = v != 0;
        return rc;
    });
}

USHORT ORINAPI BrdGetStatus(BrdDocument *document, const char *appSite, USHORT *status) noexcept
{
    if (status == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        ULONG active = 0;
        USHORT rc = readFlag(d, kKeyActive, &active);
        if (rc || !active) {
            *status = 2;
            return rc;
        }
        char site[BRD_APPSITE_SIZE];
        readDocString(d, kKeyAppSite, site, sizeof site);
        if (strcmp(site, appSite ? appSite : "") != 0) {
            *status = 1;
            return 0;
        }
        *status = anyFieldUpdated(d) ? 3 : 4;
        return 0;
    });
}

USHORT ORINAPI BrdGetUpdated(BrdDocument *document, ULONG *updated) noexcept
{
    if (updated == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        *updated = anyFieldUpdated(d);
        return 0;
    });
}

USHORT ORINAPI BrdResetUpdated(BrdDocument *document) noexcept
{
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        forEachFieldInfo(d, [&](const std::string &name, PRFFLDINFO info) {
            info.updated = 0;
            writeFieldInfo(d, name.c_str(), &info);
            return false;
        });
        return 0;
    });
}

USHORT ORINAPI BrdGetHistory(BrdDocument *document, char *buffer, ULONG *size) noexcept
{
    return withDocument(document, [&](BrdDocument &d) {
        return readTextKey(d.archive->profile, d.section, kKeyHistory, buffer, size);
    });
}

USHORT ORINAPI BrdHistoryPrintf(BrdDocument *document, const char *format, ...) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (format == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    char line[kHistoryLineSize];
    va_list ap;
    va_start(ap, format);
    StrVSNprintf(line, sizeof line, format, ap);
    va_end(ap);
    line[sizeof line - 1] = '\0';
    if (!d->archive->ansi)
        KnlAnsiToOem(line, line);
    HPRF p = d->archive->profile;
    ULONG size = 0;
    USHORT rc = PrfQueryProfileSize(p, d->section, kKeyHistory, &size);
    ULONG end = rc == 0 && size > 0 ? size - 1 : 0;
    if (rc && rc != ORIN_ERR_NO_KEY)
        return rc;
    ULONG length = ULONG(strlen(line));
    if (length == 0)
        return 0;
    return PrfWriteProfileDataOffset(p, d->section, kKeyHistory, end, line, length);
}
