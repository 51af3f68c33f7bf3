/*
 * prf100_convert.cpp - PrfFalConvert100to200: a first-format profile
 * copied into the current format under its own name.
 *
 * The old profile is opened with its own handler (not shared, so nobody
 * changes it meanwhile), a new profile is built beside it under the "$$$"
 * name, and every value of every section is read whole and written whole
 * through the ordinary profile calls.  A section whose key list cannot be
 * read, or that has no keys, is left out.  The new file stays marked "in
 * update" until the copy is complete, so a process killed while converting
 * leaves a new file nothing will open.  Only a complete new file takes the
 * old one's place, and the old one is always kept under the "BAK" name
 * (prf_rebuild.h); on any error the "$$$" file goes and the profile file
 * is left as it was.
 */
#include <string>
#include <vector>
#include "frame/boundary.h"
#include "profile/prf_copy.h"

namespace orin::prf {

namespace {

constexpr bool kKeepBackup = true;

USHORT copyValue(HPRF src, HPRF dst, const char *section, const char *key)
{
    ULONG size = 0;
    USHORT rc = PrfQueryProfileSize(src, section, key, &size);
    if (rc)
        return rc;
    std::vector<BYTE> value(size);           // room for a terminator: never empty
    rc = PrfQueryProfileData(src, section, key, value.data(), &size);
    return rc ? rc : PrfWriteProfileData(dst, section, key, value.data(), size);
}

USHORT copySections(HPRF src, HPRF dst)
{
    std::vector<std::string> sections, keys;
    USHORT rc = listNames(src, NULL, sections);
    for (size_t s = 0; !rc && s < sections.size(); s++) {
        const char *section = sections[s].c_str();
        if (listNames(src, section, keys) != 0)
            continue;
        for (size_t k = 0; !rc && k < keys.size(); k++)
            rc = copyValue(src, dst, section, keys[k].c_str());
    }
    return rc;
}

USHORT convert(void *ns, const char *fileName)
{
    return rebuildProfile(ns, fileName, PrfFal100Handler, false, kKeepBackup, copySections);
}

}  // namespace

}  // namespace orin::prf

USHORT ORINAPI PrfFalConvert100to200(void *nameSpace, const char *fileName) noexcept
{
    return orin::guardCode([&] { return orin::prf::convert(nameSpace, fileName); });
}
