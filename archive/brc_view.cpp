/*
 * brc_view.cpp - named views: a sort definition and a display definition
 * kept in "View_<n>" under a name that is unique ignoring case.
 *
 * Defining a view with a name that exists replaces that view's texts in
 * place; a new name takes the lowest free slot, or NrViews, which then
 * grows by one.  Slots are chosen under the header lock.  Both texts must
 * read as definitions and are stored as given.  A failed write leaves no
 * view section behind.
 */
#include "archive/brc_ixint.h"

#include <cstring>
#include <new>

#include "frame/scope.h"

namespace orin::arc::ix {
namespace {

constexpr size_t kViewNameSize = BRC_FIELD_NAME_MAX + 1;

bool sameName(std::string_view a, std::string_view b) noexcept
{
    return a.size() == b.size() && (a.empty() || _strnicmp(a.data(), b.data(), a.size()) == 0);
}

/* The slot of the view called `name`, else the lowest free one, else
 * `slots`. */
USHORT viewSlot(BrcArchive &a, USHORT slots, std::string_view name)
{
    USHORT free = slots;
    for (USHORT n = 0; n < slots; n++) {
        std::string section = viewSection(n);
        if (!sectionExists(a.profile, section.c_str())) {
            if (free == slots)
                free = n;
            continue;
        }
        char stored[kViewNameSize] = {};
        USHORT rc = PrfQueryProfileString(a.profile, section.c_str(), kKeyViewName, "", stored,
                                          sizeof stored);
        if ((rc == 0 || rc == ORIN_ERR_BUFFER_TOO_SMALL) && sameName(stored, name))
            return n;
    }
    return free;
}

USHORT writeView(BrcArchive &a, const std::string &section, std::string_view name,
                 const char *sort, const char *display)
{
    std::string storedName(name);
    USHORT rc = PrfWriteProfileString(a.profile, section.c_str(), kKeyViewName, storedName.c_str());
    if (rc == 0)
        rc = PrfWriteProfileString(a.profile, section.c_str(), kKeyIxFields, sort);
    if (rc == 0)
        rc = PrfWriteProfileString(a.profile, section.c_str(), kKeyVwFields, display);
    return rc;
}

USHORT defineView(BrcArchive &a, std::string_view name, const char *sort, const char *display,
                  USHORT *number)
{
    USHORT rc = lockHeader(a, true);
    if (rc)
        return rc;
    auto unlock = scopeExit([&] { lockHeader(a, false); });
    USHORT slots = 0;
    rc = readHeaderCount(a, kKeyNrViews, &slots);
    if (rc && rc != ORIN_ERR_NO_KEY)
        return rc;
    USHORT n = viewSlot(a, slots, name);
    if (n == kNoNumber)
        return ORIN_ERR_GENERAL;   // every slot number is taken
    *number = n;
    Segments parsed;
    rc = parseDefinition(sort, &parsed);
    if (rc == 0)
        rc = parseDefinition(display, &parsed);
    if (rc)
        return rc;
    std::string section = viewSection(n);
    rc = writeView(a, section, name, sort, display);
    if (rc == 0 && n == slots)
        rc = writeHeaderCount(a, kKeyNrViews, USHORT(slots + 1));
    if (rc)
        PrfDestroySection(a.profile, section.c_str());
    return rc;
}

}  // namespace
}  // namespace orin::arc::ix

using namespace orin::arc;
using namespace orin::arc::ix;

USHORT ORINAPI BrcVwDefine(BrcArchive *archive, const char *name, const char *sortDefinition,
                           const char *displayDefinition, USHORT *number) noexcept
{
    USHORT ignored;
    if (number == nullptr)
        number = &ignored;
    *number = kNoNumber;
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (name == nullptr || *name == '\0' || sortDefinition == nullptr ||
        displayDefinition == nullptr)
        return ORIN_ERR_INVALID_PARAM;
    std::string_view cut(name, strnlen(name, BRC_FIELD_NAME_MAX));
    try {
        return defineView(*a, cut, sortDefinition, displayDefinition, number);
    } catch (const std::bad_alloc &) {
        return ORIN_ERR_NO_MEMORY;
    }
}
