/*
 * prf_rebuild.cpp - names and final moves of a profile rebuilt beside the
 * original; see prf_rebuild.h.
 */
#include <string.h>
#include "profile/prf_rebuild.h"

namespace orin::prf {

namespace {

constexpr const char *kBuiltExt = "$$$";
constexpr const char *kBackupExt = "BAK";

// A fresh, empty file in `dir` (the system's temporary directory when
// null); its name goes to `name`.
USHORT makeFreshName(void *ns, const char *dir, char *name)
{
    KNLHFILE h;
    USHORT rc = KnlNamCreateTempFile(ns, dir, 0, &h, name, KNLNAM_MAXPATH);
    if (!rc)
        KnlNamClose(ns, h);
    return rc;
}

USHORT withExtension(void *ns, const char *fileName, const char *ext, char *out)
{
    if (strlen(fileName) >= KNLNAM_MAXPATH)
        return ORIN_ERR_INVALID_NAME;
    strcpy(out, fileName);
    return KnlNamSetExt(ns, out, ext);
}

}  // namespace

RebuildFiles::RebuildFiles(void *nameSpace, const char *fileName)
    : ns_(nameSpace), fileName_(fileName)
{
}

RebuildFiles::~RebuildFiles()
{
    if (*built_ && !installed_)
        KnlNamDelete(ns_, built_);
}

USHORT RebuildFiles::prepare()
{
    USHORT rc = withExtension(ns_, fileName_, kBuiltExt, built_);
    if (!rc && KnlNamIsTheSameFile(built_, fileName_))
        rc = makeFreshName(ns_, NULL, built_);
    else if (!rc)
        KnlNamDelete(ns_, built_);
    if (rc) {
        *built_ = 0;
        return rc;
    }
    backupPossible_ = withExtension(ns_, fileName_, kBackupExt, backup_) == 0
                      && !KnlNamIsTheSameFile(backup_, fileName_);
    return 0;
}

// Moves the profile file to the backup name, or without a backup to a
// fresh name in its own directory (a move never crosses volumes then).
USHORT RebuildFiles::moveAside(bool keepBackup, char *aside)
{
    if (keepBackup && backupPossible_) {
        strcpy(aside, backup_);
    } else {
        char dir[KNLNAM_MAXPATH], file[KNLNAM_MAXPATH];
        USHORT rc = KnlNamSplitPathInDF(ns_, fileName_, dir, file);
        if (!rc)
            rc = makeFreshName(ns_, *dir ? dir : ".", aside);
        if (rc)
            return rc;
    }
    return KnlNamMoveDev(ns_, fileName_, aside);
}

USHORT RebuildFiles::install(bool keepBackup)
{
    char aside[KNLNAM_MAXPATH];
    USHORT rc = moveAside(keepBackup, aside);
    if (rc) {
        if (!(keepBackup && backupPossible_))
            KnlNamDelete(ns_, aside);     // the fresh name made for it
        return rc;
    }
    rc = KnlNamMoveDev(ns_, built_, fileName_);
    if (rc) {
        // Bring the original back; a copy when it cannot be moved.
        if (KnlNamMoveDev(ns_, aside, fileName_) != 0)
            KnlNamCopy(ns_, aside, fileName_, KNLNAM_COPY_REPLACE, 0);
        return rc;
    }
    installed_ = true;
    if (!(keepBackup && backupPossible_))
        KnlNamDelete(ns_, aside);
    return 0;
}

}  // namespace orin::prf
