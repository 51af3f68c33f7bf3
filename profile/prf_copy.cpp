/*
 * prf_copy.cpp - the profile handle and the name lists of the copying
 * operations; see prf_copy.h.
 *
 * A list is asked for its length first and then read into a buffer of
 * that size, so it comes whole, and is split at every '~'.
 */
#include "profile/prf_copy.h"
#include "profile/prfint.h"
#include "profile/prffal.h"
#include "profile/prf_rebuild.h"
#include "knlnam.h"

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

USHORT rebuildProfile(void *ns, const char *fileName, PFNPRFHANDLER sourceHandler,
                      bool unchecked, bool keepBackup,
                      const std::function<USHORT(HPRF source, HPRF target)> &copy)
{
    if (!fileName || !*fileName)
        return ORIN_ERR_INVALID_NAME;
    // Opened for writing, a missing profile would be created: ask first.
    if (KnlNamQFileExist(ns, fileName) != 1)
        return ORIN_ERR_FILE_NOT_FOUND;
    OpenProfile source, target;
    USHORT rc;
    if (unchecked) {
        UncheckedOpen noChecks;
        rc = source.open(sourceHandler, ns, fileName);
    } else {
        rc = source.open(sourceHandler, ns, fileName);
    }
    if (rc)
        return rc;
    RebuildFiles files(ns, fileName);
    if ((rc = files.prepare()) != 0
        || (rc = target.open(PrfFalHandler, ns, files.builtName())) != 0)
        return rc;
    rc = PrfFalSetCorrupt(target.get(), TRUE);
    if (!rc)
        rc = copy(source.get(), target.get());
    if (!rc)
        rc = PrfFalSetCorrupt(target.get(), FALSE);
    USHORT closed = target.close();
    if (!rc)
        rc = closed;
    closed = source.close();
    if (!rc)
        rc = closed;
    return rc ? rc : files.install(keepBackup);
}

}  // namespace orin::prf
