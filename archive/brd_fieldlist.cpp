/*
 * brd_fieldlist.cpp - the document's field list: the names of its fields
 * in creation order, joined by ',' in the key "Fields".
 *
 * The list is cached in the document handle.  In shared mode a document
 * that is neither locked nor dirty re-reads it on every use (another
 * process may have changed it) and every change is written at once; in the
 * other modes changes stay in memory and are written on close.
 */
#include "archive/arcint.h"

#include <cstring>

namespace orin::arc {

static bool sameName(std::string_view a, std::string_view b) noexcept
{
    return a.size() == b.size() && _strnicmp(a.data(), b.data(), a.size()) == 0;
}

static std::string_view cutName(std::string_view name) noexcept
{
    return name.substr(0, BRC_FIELD_NAME_MAX);
}

std::vector<std::string> splitFieldList(std::string_view list)
{
    std::vector<std::string> names;
    if (list.empty())
        return names;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string_view item = list.substr(start, comma == std::string_view::npos
                                                       ? std::string_view::npos
                                                       : comma - start);
        names.emplace_back(cutName(item));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return names;
}

int findInFieldList(std::string_view list, std::string_view name) noexcept
{
    if (list.empty())
        return -1;
    name = cutName(name);
    int index = 0;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string_view item = list.substr(start, comma == std::string_view::npos
                                                       ? std::string_view::npos
                                                       : comma - start);
        if (sameName(cutName(item), name))
            return index;
        if (comma == std::string_view::npos)
            return -1;
        start = comma + 1;
        index++;
    }
}

static USHORT readFieldList(BrdDocument &d) noexcept
{
    HPRF profile = d.archive->profile;
    ULONG size = 0;
    USHORT rc = PrfQueryProfileSize(profile, d.section, kKeyFields, &size);
    if (rc == ORIN_ERR_NO_KEY)
        return 0;
    if (rc)
        return rc;
    if (size <= 1)
        return 0;
    try {
        std::string text(size, '\0');
        rc = PrfQueryProfileString(profile, d.section, kKeyFields, "", text.data(), size);
        if (rc)
            return rc;
        text.resize(strlen(text.c_str()));
        if (!text.empty())
            d.fields = std::move(text);
    } catch (...) {
        return ORIN_ERR_NO_MEMORY;
    }
    return 0;
}

/* A list that could not be read is not cached: the next call reads
 * again, and nobody takes "no fields" for the document's list. */
static USHORT rereadFieldList(BrdDocument &d) noexcept
{
    d.fields.reset();
    USHORT rc = readFieldList(d);
    d.fieldsCached = rc == 0;
    if (rc)
        d.fields.reset();
    return rc;
}

const std::string *fieldList(BrdDocument &d, USHORT *rc) noexcept
{
    USHORT dummy;
    if (rc == nullptr)
        rc = &dummy;
    *rc = 0;
    bool stale = d.archive->shared() && !d.locked && !d.fieldsDirty;
    if (!d.fieldsCached || stale)
        *rc = rereadFieldList(d);
    return d.fields ? &*d.fields : nullptr;
}

USHORT storeFieldList(BrdDocument &d, std::optional<std::string> list) noexcept
{
    if (list && list->empty())
        list.reset();
    if (d.archive->shared()) {
        HPRF profile = d.archive->profile;
        USHORT rc = list ? PrfWriteProfileString(profile, d.section, kKeyFields, list->c_str())
                         : PrfWriteProfileString(profile, d.section, kKeyFields, nullptr);
        if (rc == ORIN_ERR_NO_KEY && !list)
            rc = 0;
        if (rc) {
            d.fields.reset();
            d.fieldsCached = false;
            return rc;
        }
        d.fieldsDirty = false;
    } else {
        d.fieldsDirty = true;
    }
    d.fields = std::move(list);
    d.fieldsCached = true;
    return 0;
}

USHORT flushFieldList(BrdDocument &d) noexcept
{
    if (!d.fieldsDirty)
        return 0;
    HPRF profile = d.archive->profile;
    USHORT rc = d.fields ? PrfWriteProfileString(profile, d.section, kKeyFields, d.fields->c_str())
                         : PrfWriteProfileString(profile, d.section, kKeyFields, nullptr);
    if (rc == ORIN_ERR_NO_KEY && !d.fields)
        rc = 0;
    if (rc == 0)
        d.fieldsDirty = false;
    return rc;
}

std::string listedName(BrdDocument &d, std::string_view name)
{
    const std::string *list = fieldList(d, nullptr);
    int at = list ? findInFieldList(*list, name) : -1;
    if (at < 0)
        return std::string(name);
    return splitFieldList(*list)[size_t(at)];
}

bool validFieldName(const char *name) noexcept
{
    if (name == nullptr)
        return false;
    size_t n = strlen(name);
    return n > 0 && n <= BRC_FIELD_NAME_MAX && strchr(name, ',') == nullptr;
}

USHORT appendFieldName(BrdDocument &d, const char *name)
{
    USHORT rc = 0;
    const std::string *list = fieldList(d, &rc);
    if (rc)
        return rc;
    return storeFieldList(d, list ? *list + "," + name : std::string(name));
}

USHORT appendFieldNameLater(BrdDocument &d, const char *name)
{
    USHORT rc = 0;
    const std::string *list = fieldList(d, &rc);
    if (rc)
        return rc;
    d.fields = list ? *list + "," + name : std::string(name);
    d.fieldsCached = true;
    d.fieldsDirty = true;
    return 0;
}

bool hasField(BrdDocument &d, std::string_view name) noexcept
{
    const std::string *list = fieldList(d, nullptr);
    return list != nullptr && findInFieldList(*list, name) >= 0;
}

}  // namespace orin::arc
