/*
 * prf_copy.cpp - the profile handle and the name lists of the copying
 * operations; see prf_copy.h.
 *
 * A list is asked for its length first and then read into a buffer of
 * that size, so it comes whole, and is split at every '~'.
 */
#include "profile/prf_copy.h"
#include "profile/prfint.h"
#include "profile/falint.h"

namespace orin::prf {

namespace {

constexpr USHORT kCopyFalFlags = FAL_FIRST_FIT;
constexpr USHORT kCopyOpenFlags = 0;            // not shared, read/write

}  // namespace

USHORT OpenProfile::open(PFNPRFHANDLER handler, void *ns, const char *fileName)
{
    PRFFALOPEN rec = {ns, fileName, kCopyFalFlags, kCopyOpenFlags, NULL};
    close();
    return PrfOpenHandler(handler, &rec, &h_);
}

USHORT OpenProfile::close()
{
    USHORT rc = h_ ? PrfCloseProfile(h_) : 0;
    h_ = NULL;
    return rc;
}

USHORT listNames(HPRF h, const char *section, std::vector<std::string> &names)
{
    ULONG size = 0;
    USHORT rc = PrfQueryProfileSize(h, section, NULL, &size);
    if (rc)
        return rc;
    std::string list(size, '\0');
    rc = PrfQueryProfileData(h, section, NULL, list.data(), &size);
    if (rc)
        return rc;
    list.resize(size);
    names.clear();
    size_t p = 0, sep;
    while ((sep = list.find(PRF_LIST_SEPARATOR, p)) != std::string::npos) {
        names.emplace_back(list, p, sep - p);
        p = sep + 1;
    }
    return 0;
}

}  // namespace orin::prf
