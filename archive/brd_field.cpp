/*
 * brd_field.cpp - changing fields: set (with file references, quotes and
 * OEM conversion), set string/data, delete.
 *
 * A new field gets a fresh information record and its value, and joins
 * the document's list last; when anything fails the field is deleted
 * again, so a failed set of a new field leaves nothing behind, and a
 * process killed meanwhile leaves no listed field without a value.  A
 * deleted field leaves the list on disk first, for the same reason.  Every
 * value write of a document is wrapped by the index seam (keysBefore /
 * keysAfter) so open indexes follow the value.  The template is no
 * document: its values are stored as given and no index is touched.
 *
 * Field names must be 1 to 31 characters without ','; others get 87.
 */
#include "archive/arcint.h"

#include <cctype>
#include <cstring>

#include "dos.h"
#include "frame/boundary.h"
#include "knl.h"
#include "knlnam.h"

namespace orin::arc {
namespace {

/* The value's text without a final zero byte that lies inside the length. */
std::string_view textOf(const void *value, ULONG length) noexcept
{
    std::string_view v(static_cast<const char *>(value), length);
    if (!v.empty() && v.back() == '\0')
        v.remove_suffix(1);
    return v;
}

/* Full, upper-cased, normalised form of a path, as compared with the
 * archive's own file name. */
std::string canonicalPath(void *ns, const std::string &path)
{
    char in[KNLNAM_MAXPATH] = {};
    char full[KNLNAM_MAXPATH] = {};
    snprintf(in, sizeof in, "%s", path.c_str());
    if (KnlNamExpandPath(ns, in, full, sizeof full) != 0)
        snprintf(full, sizeof full, "%s", in);
    for (char *c = full; *c; c++)
        *c = char(toupper(static_cast<unsigned char>(*c)));
    KnlNamNormalizePathEx(ns, full, 0);
    return full;
}

USHORT writeValue(BrdDocument &d, const char *name, const void *data, ULONG length, bool maintain)
{
    static const char kEmpty = 0;
    if (data == nullptr || length == 0) {
        data = &kEmpty;
        length = 0;
    }
    if (maintain)
        keysBefore(d, name);
    USHORT rc = PrfWriteProfileData(d.archive->profile, d.section,
                                    valueKey(listedName(d, name)).c_str(), data, length);
    if (maintain)
        keysAfter(d, name);
    return rc;
}

struct SetRequest {
    const char *name;
    USHORT type;
    const void *value;
    ULONG length;
    bool compressed;
    bool isTemplate;
};

/* Stores the value; *infoWritten tells that a file copy has already
 * written the information. */
USHORT storeValue(BrdDocument &d, const SetRequest &rq, PRFFLDINFO &info, bool *infoWritten)
{
    BrcArchive &a = *d.archive;
    bool maintain = !rq.isTemplate;
    if (rq.value == nullptr || rq.length == 0)
        return writeValue(d, rq.name, nullptr, 0, maintain);
    std::string path;
    if (!rq.isTemplate && isFileReference(rq.value, rq.length, &path)) {
        std::string full = canonicalPath(a.anchor, path);
        if (_stricmp(full.c_str(), canonicalPath(a.anchor, a.fileName).c_str()) == 0)
            return BRC_ERR_OWN_FILE;
        USHORT rc = writeFieldInfo(d, rq.name, &info);
        if (rc)
            return rc;
        // The copy keeps the information current itself.
        *infoWritten = true;
        return BrdFldCopyFromDisk(&d, rq.name, full.c_str(), rq.compressed);
    }
    std::string_view v = stripQuotes(rq.value, rq.length);
    if (rq.isTemplate || a.ansi)
        return writeValue(d, rq.name, v.data(), ULONG(v.size()), maintain);
    std::string oem(v);
    KnlAnsiToOemBuff(oem.c_str(), oem.data(), ULONG(oem.size()));
    return writeValue(d, rq.name, oem.data(), ULONG(oem.size()), maintain);
}

USHORT setField(BrdDocument &d, const SetRequest &rq) noexcept
{
    if (!validFieldName(rq.name))
        return ORIN_ERR_INVALID_PARAM;
    return guardCode([&]() -> USHORT {
        PRFFLDINFO info;
        bool created = false;
        USHORT rc = findField(d, rq.name, rq.type, nullptr);
        if (rc == 0) {
            if ((rc = readFieldInfo(d, rq.name, &info)) != 0)
                return rc;
            DosGetDateTime(&info.lastUpdate);
        } else if (rc == BRC_ERR_NO_FIELD) {
            // The name is listed only once the value and its information
            // are stored, so that a process killed in between leaves no
            // listed field without them: the list waits in the cache and
            // is written below (shared mode) or on close.
            if ((rc = appendFieldNameLater(d, rq.name)) != 0)
                return rc;
            created = true;
            PrfFldInfoInit(&info, rq.type);
            info.compressed = rq.compressed ? 1 : 0;
        } else {
            return rc;
        }
        bool infoWritten = false;
        rc = storeValue(d, rq, info, &infoWritten);
        if (rc == 0 && !infoWritten)
            rc = writeFieldInfo(d, rq.name, &info);
        if (rc == 0 && created && d.archive->shared())
            rc = flushFieldList(d);
        if (rc && created)
            BrdFldDelete(&d, rq.name);
        return rc;
    });
}

USHORT setExistingValue(BrdDocument *document, const char *name, const void *data,
                        ULONG length) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (name == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    if (!hasField(*d, name))
        return BRC_ERR_NO_FIELD;
    return guardCode([&]() -> USHORT {
        USHORT rc = writeValue(*d, name, data, length, !d->isTemplate());
        return rc ? rc : markFieldUpdated(*d, name, false);
    });
}

}  // namespace

bool isFileReference(const void *value, ULONG length, std::string *path)
{
    std::string_view v = textOf(value, length);
    if (v.size() < 2 || v.front() != '[' || v.back() != ']')
        return false;
    std::string_view inner = v.substr(1, v.size() - 2);
    if (inner.size() > KNLNAM_MAXPATH - 1)
        inner = inner.substr(0, KNLNAM_MAXPATH - 1);
    while (!inner.empty() && isspace(static_cast<unsigned char>(inner.front())))
        inner.remove_prefix(1);
    while (!inner.empty() && isspace(static_cast<unsigned char>(inner.back())))
        inner.remove_suffix(1);
    *path = inner;
    return true;
}

std::string_view stripQuotes(const void *value, ULONG length) noexcept
{
    std::string_view all(static_cast<const char *>(value), length);
    std::string_view v = textOf(value, length);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.substr(1, v.size() - 2);
    return all;
}

USHORT writeFieldValue(BrdDocument &d, const char *name, const void *data, ULONG length) noexcept
{
    return guardCode([&] { return writeValue(d, name, data, length, !d.isTemplate()); });
}

USHORT markFieldUpdated(BrdDocument &d, const char *name, bool created) noexcept
{
    PRFFLDINFO info;
    USHORT rc = readFieldInfo(d, name, &info);
    if (rc)
        return rc;
    PrfFldInfoSetUpdate(&info);
    if (created)
        info.created = info.lastUpdate;
    return writeFieldInfo(d, name, &info);
}

}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrdFldSet(BrdDocument *document, const char *name, USHORT type, const void *value,
                         ULONG length, BOOL compressed) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    return setField(*d, SetRequest{name, type, value, length, compressed != FALSE, d->isTemplate()});
}

USHORT ORINAPI BrcTemplateFldSet(BrdDocument *document, const char *name, USHORT type,
                                 const void *value, ULONG length, BOOL compressed) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    return setField(*d, SetRequest{name, type, value, length, compressed != FALSE, true});
}

USHORT ORINAPI BrdFldSetString(BrdDocument *document, const char *name, const char *text) noexcept
{
    return setExistingValue(document, name, text, text ? ULONG(strlen(text)) : 0);
}

USHORT ORINAPI BrdFldSetData(BrdDocument *document, const char *name, const void *data,
                             ULONG length) noexcept
{
    return setExistingValue(document, name, data, length);
}

USHORT ORINAPI BrdFldDelete(BrdDocument *document, const char *name) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (name == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return guardCode([&]() -> USHORT {
        USHORT rc = 0;
        const std::string *list = fieldList(*d, &rc);
        int at = list ? findInFieldList(*list, name) : -1;
        if (at < 0)
            return BRC_ERR_NO_FIELD;
        std::vector<std::string> names = splitFieldList(*list);
        std::string listed = names[size_t(at)];
        std::string rest;
        for (size_t i = 0; i < names.size(); i++) {
            if (int(i) == at)
                continue;
            if (!rest.empty())
                rest += ',';
            rest += names[i];
        }
        if ((rc = storeFieldList(*d, rest.empty() ? std::nullopt : std::optional(rest))) != 0)
            return rc;
        // The name leaves the list on disk before the keys go (in every
        // mode), so that a process killed in between leaves no listed
        // field without its value.
        if ((rc = flushFieldList(*d)) != 0)
            return rc;
        HPRF p = d->archive->profile;
        PrfWriteProfileData(p, d->section, infoKey(listed).c_str(), nullptr, 0);
        rc = PrfWriteProfileData(p, d->section, valueKey(listed).c_str(), nullptr, 0);
        return rc == ORIN_ERR_NO_KEY ? USHORT(0) : rc;
    });
}

USHORT ORINAPI BrcTemplateFldDelete(BrdDocument *document, const char *name) noexcept
{
    return BrdFldDelete(document, name);
}
