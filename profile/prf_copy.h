/*
 * prf_copy.h - what the operations that copy one profile into another
 * (pack, conversion of a first-format profile) share: a profile handle
 * that closes itself, and the '~' list of sections or of a section's keys
 * read into a vector of names.
 */
#ifndef PRF_COPY_H
#define PRF_COPY_H

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

}  // namespace orin::prf

#endif /* PRF_COPY_H */
