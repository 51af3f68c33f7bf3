/*
 * prf_rebuild.h - the files of an operation that rebuilds a profile file
 * beside the original (pack, repair, conversion): the name the new file is
 * built under, the backup name, and the moves that put the new file in
 * place.
 *
 * The new file is built under the profile's name with the extension "$$$"
 * (or under a fresh temporary name when that is the profile's own name).
 * Only a complete new file is put in place: the original is first moved
 * aside - to the "BAK" name when a backup is kept, else to a fresh name
 * in its own directory - the new file is moved to the profile's name, and
 * a failure of that move brings the original back.  So the profile file
 * is either the old one or the new one, never something in between.
 */
#ifndef PRF_REBUILD_H
#define PRF_REBUILD_H

#include "orinbase.h"
#include "knlnam.h"

namespace orin::prf {

class RebuildFiles {
public:
    RebuildFiles(void *nameSpace, const char *fileName);
    ~RebuildFiles();                      // deletes a new file not put in place
    RebuildFiles(const RebuildFiles &) = delete;
    RebuildFiles &operator=(const RebuildFiles &) = delete;

    // Derives the names and deletes an old "$$$" file; 0 or an error code.
    USHORT prepare();
    const char *builtName() const { return built_; }
    // True when a backup can be kept: the "BAK" name is not the profile's.
    bool backupPossible() const { return backupPossible_; }
    // Puts the new (closed) file in place; 0 or the error of the move
    // that failed, the profile file then being the original.
    USHORT install(bool keepBackup);

private:
    USHORT moveAside(bool keepBackup, char *aside);

    void *ns_;
    const char *fileName_;
    char built_[KNLNAM_MAXPATH] = "";
    char backup_[KNLNAM_MAXPATH] = "";
    bool backupPossible_ = false;
    bool installed_ = false;
};

}  // namespace orin::prf

#endif /* PRF_REBUILD_H */
