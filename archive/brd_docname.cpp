/*
 * brd_docname.cpp - the file names of a document: its main file (long and
 * short form) and the members of a document group, kept in fields of type
 * 'F'.  A plain archive stores only the name part of a path; an "archive"
 * archive stores the whole path.
 */
#include "archive/arcint.h"

#include <cctype>
#include <cstring>

#include "frame/boundary.h"
#include "knlnam.h"

namespace orin::arc {
namespace {

constexpr char kLongName[] = "MAINDOCLONGFN";
constexpr char kShortName[] = "MAINDOCFN";
constexpr char kGroupPrefix[] = "GROUPDOCFN";

bool isArchiveFlavour(BrcArchive &a) noexcept
{
    USHORT v = 0;
    return PrfQueryProfileUShort(a.profile, kHeader, kKeyArchive, &v) == 0 && v != 0;
}

/* The path as the archive keeps it. */
std::string kept(BrcArchive &a, const char *path)
{
    if (isArchiveFlavour(a))
        return path;
    char dir[KNLNAM_MAXPATH] = {};
    char file[KNLNAM_MAXPATH] = {};
    if (KnlNamSplitPathInDF(a.anchor, path, dir, file) != 0)
        return path;
    return file;
}

/* The short form of a path, or empty when the system has none. */
std::string shortPath(const char *path)
{
    char out[KNLNAM_MAXPATH] = {};
    if (KnlNamGetShortPathName(out, path) != 0 || out[0] == '\0')
        return {};
    return out;
}

USHORT setNameField(BrdDocument &d, const char *field, const std::string &value) noexcept
{
    return BrdFldSet(&d, field, BRC_FIELD_TYPE_FILE, value.c_str(), ULONG(value.size()), FALSE);
}

std::string trimmed(const char *text)
{
    std::string_view v(text);
    while (!v.empty() && isspace(static_cast<unsigned char>(v.front())))
        v.remove_prefix(1);
    while (!v.empty() && isspace(static_cast<unsigned char>(v.back())))
        v.remove_suffix(1);
    return std::string(v);
}

}  // namespace
}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrdSetDocName(BrdDocument *document, const char *path) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (path == nullptr)
        return BRC_ERR_GENERAL;
    return guardCode([&]() -> USHORT {
        BrcArchive &a = *d->archive;
        USHORT longRc = setNameField(*d, kLongName, kept(a, path));
        std::string shortForm = shortPath(path);
        USHORT shortRc = setNameField(*d, kShortName, kept(a, shortForm.empty() ? path
                                                                            : shortForm.c_str()));
        return longRc == 0 || shortRc == 0 ? 0 : BRC_ERR_GENERAL;
    });
}

USHORT ORINAPI BrdSetGroupDocName(BrdDocument *document, USHORT member, const char *path) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (path == nullptr)
        return BRC_ERR_GENERAL;
    return guardCode([&]() -> USHORT {
        char field[32];
        snprintf(field, sizeof field, "%s_%u", kGroupPrefix, member);
        std::string shortForm = shortPath(path);
        std::string value = kept(*d->archive, shortForm.empty() ? path : shortForm.c_str());
        return setNameField(*d, field, value) == 0 ? 0 : BRC_ERR_GENERAL;
    });
}

USHORT ORINAPI BrdGetDocName(BrdDocument *document, char *buffer, ULONG size) noexcept
{
    USHORT rc = BrdFldGetString(document, kLongName, buffer, size);
    if (rc == 0 || rc == ORIN_ERR_INVALID_HANDLE || rc == ORIN_ERR_INVALID_PARAM)
        return rc;
    return BrdFldGetString(document, kShortName, buffer, size);
}

USHORT ORINAPI BrdFindDocName(BrdDocument *document) noexcept
{
    BrdDocument *d = liveDocument(document);
    if (d == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (findField(*d, kLongName, BRC_FIELD_TYPE_FILE, nullptr) == 0)
        return 0;
    return findField(*d, kShortName, BRC_FIELD_TYPE_FILE, nullptr);
}

USHORT ORINAPI BrcFindDocFile(BrcArchive *archive, const char *fileName, USHORT *number) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (fileName == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    return guardCode([&]() -> USHORT {
        USHORT slots = 0;
        if (readHeaderCount(*a, kKeyNrDocs, &slots) != 0)
            return BRC_ERR_NO_DOC;
        std::string key = valueKey(kShortName);
        for (USHORT n = 0; n < slots; n++) {
            char value[KNLNAM_MAXPATH] = {};
            if (PrfQueryProfileString(a->profile, docSection(n).c_str(), key.c_str(), "", value,
                                      sizeof value) != 0)
                continue;
            if (_stricmp(trimmed(value).c_str(), fileName) == 0) {
                if (number)
                    *number = n;
                return 0;
            }
        }
        return BRC_ERR_NO_DOC;
    });
}
