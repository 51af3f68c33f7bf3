/*
 * brd_fieldinfo.cpp - reading fields: the field list, the information
 * record of each field (Info.<name>) and the raw value (Value.<name>).
 */
#include "archive/arcint.h"

#include <algorithm>
#include <cstring>

#include "frame/boundary.h"

namespace orin::arc {
namespace {

/* Reads the information of a field and hands it to pick. */
template <class F>
USHORT withInfo(BrdDocument *document, const char *name, F &&pick) noexcept
{
    if (name == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        PRFFLDINFO info;
        USHORT rc = BrdFldGetInfo(&d, name, &info);
        if (rc == 0)
            pick(info);
        return rc;
    });
}

}  // namespace

USHORT readFieldInfo(BrdDocument &d, const char *name, PRFFLDINFO *info) noexcept
{
    memset(info, 0, sizeof *info);
    return guardCode([&] {
        return PrfQueryProfileFldInfo(d.archive->profile, d.section, infoKey(listedName(d, name)).c_str(), info);
    });
}

USHORT writeFieldInfo(BrdDocument &d, const char *name, const PRFFLDINFO *info) noexcept
{
    return guardCode([&] {
        return PrfWriteProfileFldInfo(d.archive->profile, d.section,
                                      infoKey(listedName(d, name)).c_str(), info);
    });
}

USHORT readFieldValue(BrdDocument &d, const char *name, void *buffer, ULONG size,
                      ULONG *length) noexcept
{
    *length = 0;
    return guardCode([&]() -> USHORT {
        ULONG got = size;
        USHORT rc = PrfQueryProfileDataOffset(d.archive->profile, d.section,
                                              valueKey(listedName(d, name)).c_str(), 0, buffer,
                                              &got);
        if (rc == 0)
            *length = got;
        return rc;
    });
}

/* Whether name is in the list (57526 when not); its stored type too. */
USHORT findField(BrdDocument &d, const char *name, USHORT expectedType, USHORT *type) noexcept
{
    USHORT rc = 0;
    const std::string *list = fieldList(d, &rc);
    if (rc)
        return rc;   // unknown, not absent: a set must not add it again
    if (list == nullptr || findInFieldList(*list, name) < 0)
        return BRC_ERR_NO_FIELD;
    if (expectedType == 0 && type == nullptr)
        return 0;
    PRFFLDINFO info;
    if (readFieldInfo(d, name, &info) != 0)
        return BRC_ERR_NO_FIELD;
    if (type)
        *type = info.type;
    if (expectedType != 0 && info.type != expectedType)
        return BRC_ERR_FIELD_TYPE;
    return 0;
}

}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrdGetNrFields(BrdDocument *document, USHORT *count) noexcept
{
    if (count == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *count = 0;
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        USHORT rc = 0;
        const std::string *list = fieldList(d, &rc);
        if (list)
            *count = USHORT(std::count(list->begin(), list->end(), ',') + 1);
        return rc;
    });
}

USHORT ORINAPI BrdFldGetName(BrdDocument *document, USHORT index, char *buffer, ULONG size) noexcept
{
    if (buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    buffer[0] = '\0';
    return withDocument(document, [&](BrdDocument &d) {
        return guardCode([&]() -> USHORT {
            USHORT rc = 0;
            const std::string *list = fieldList(d, &rc);
            if (rc)
                return rc;
            std::vector<std::string> names = list ? splitFieldList(*list) : std::vector<std::string>{};
            if (index >= names.size())
                return BRC_ERR_NO_FIELD;
            size_t n = std::min<size_t>(names[index].size(), size - 1);
            memcpy(buffer, names[index].data(), n);
            buffer[n] = '\0';
            return 0;
        });
    });
}

USHORT ORINAPI BrdFldQueryExist(BrdDocument *document, const char *name) noexcept
{
    BrdDocument *d = liveDocument(document);
    return d && name && hasField(*d, name) ? 1 : 0;
}

USHORT ORINAPI BrdFindField(BrdDocument *document, const char *name, USHORT expectedType,
                            USHORT *type) noexcept
{
    if (name == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) {
        return findField(d, name, expectedType, type);
    });
}

USHORT ORINAPI BrdFldGetInfo(BrdDocument *document, const char *name, PRFFLDINFO *info) noexcept
{
    if (name == nullptr || info == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        USHORT rc = readFieldInfo(d, name, info);
        if (rc)
            return rc;
        ULONG size = 0;
        rc = guardCode([&] {
            return PrfQueryProfileSize(d.archive->profile, d.section,
                                       valueKey(listedName(d, name)).c_str(), &size);
        });
        info->size = rc == 0 && size > 0 ? size - 1 : 0;
        return 0;
    });
}

USHORT ORINAPI BrdFldGetType(BrdDocument *document, const char *name, USHORT *type) noexcept
{
    if (type == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfo(document, name, [&](const PRFFLDINFO &i) { *type = i.type; });
}

USHORT ORINAPI BrdFldGetSize(BrdDocument *document, const char *name, ULONG *size) noexcept
{
    if (size == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    *size = 0;
    return withInfo(document, name, [&](const PRFFLDINFO &i) { *size = i.size; });
}

USHORT ORINAPI BrdFldGetUpdated(BrdDocument *document, const char *name, USHORT *updated) noexcept
{
    if (updated == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfo(document, name, [&](const PRFFLDINFO &i) { *updated = i.updated; });
}

USHORT ORINAPI BrdFldGetCompressed(BrdDocument *document, const char *name,
                                   USHORT *compressed) noexcept
{
    if (compressed == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfo(document, name, [&](const PRFFLDINFO &i) { *compressed = i.compressed; });
}

USHORT ORINAPI BrdFldGetAttrib(BrdDocument *document, const char *name, USHORT *attributes) noexcept
{
    if (attributes == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfo(document, name, [&](const PRFFLDINFO &i) { *attributes = i.attributes; });
}

USHORT ORINAPI BrdFldGetDTCreate(BrdDocument *document, const char *name, DATETIME *dt) noexcept
{
    if (dt == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfo(document, name, [&](const PRFFLDINFO &i) { *dt = i.created; });
}

USHORT ORINAPI BrdFldGetDTUpdate(BrdDocument *document, const char *name, DATETIME *dt) noexcept
{
    if (dt == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withInfo(document, name, [&](const PRFFLDINFO &i) { *dt = i.lastUpdate; });
}

USHORT ORINAPI BrdFldSetAttrib(BrdDocument *document, const char *name, USHORT attributes) noexcept
{
    if (name == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) -> USHORT {
        PRFFLDINFO info;
        USHORT rc = readFieldInfo(d, name, &info);
        if (rc)
            return rc;
        info.attributes = attributes;
        return writeFieldInfo(d, name, &info);
    });
}

USHORT ORINAPI BrdFldGetString(BrdDocument *document, const char *name, char *buffer, ULONG size) noexcept
{
    if (name == nullptr || buffer == nullptr || size == 0)
        return ORIN_ERR_INVALID_PARAM;
    return withDocument(document, [&](BrdDocument &d) {
        return guardCode([&] {
            return PrfQueryProfileString(d.archive->profile, d.section,
                                         valueKey(listedName(d, name)).c_str(), "",
                                         buffer, size);
        });
    });
}
