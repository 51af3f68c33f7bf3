/*
 * prf_copy.h - what the operations that copy one profile into another
 * (pack, conversion of a first-format profile) share: a profile handle
 * that closes itself, the '~' list of sections or of a section's keys
 * read into a vector of names, and the whole rebuild: a fresh profile made
 * beside the original, filled by the caller's copy, put in its place.
 */
#ifndef PRF_COPY_H
#define PRF_COPY_H

#include <functional>
#include <string>
#include <vector>
#include "prf.h"

namespace orin::prf {

// Owns a profile handle opened through a handler; closing it explicitly
// gives the handler's close result.
class OpenProfile {
public:
    OpenProfile() = default;
    ~OpenProfile() { close(); }
    OpenProfile(const OpenProfile &) = delete;
    OpenProfile &operator=(const OpenProfile &) = delete;

    // Opens a profile file by name (not shared, read/write) with the
    // handler given, creating it when it does not exist.
    USHORT open(PFNPRFHANDLER handler, void *ns, const char *fileName);
    USHORT close();
    HPRF get() const { return h_; }

private:
    HPRF h_ = NULL;
};

// The names of the sections (section null) or of a section's keys.
USHORT listNames(HPRF h, const char *section, std::vector<std::string> &names);

// Rebuilds profile file `fileName`: opens it with `sourceHandler` (without
// checksums when `unchecked`), builds a new profile under the work name
// of prf_rebuild.h, marked in update until `copy` has filled it, and puts
// it in place (keeping a backup when asked).  A missing file gives 2
// rather than being created; on any error the file is left as it was.
USHORT rebuildProfile(void *ns, const char *fileName, PFNPRFHANDLER sourceHandler,
                      bool unchecked, bool keepBackup,
                      const std::function<USHORT(HPRF source, HPRF target)> &copy);

}  // namespace orin::prf

#endif /* PRF_COPY_H */
