/*
 * lsq_file.cpp - ProgramFile over the file-system layer, and the search
 * for a program file by name.
 *
 * Files are read with writing denied to others and created with all
 * access denied, through KnlNamOpen.  A program name is resolved as the
 * script wrote it (with `/` for the directory delimiter) and, when no such
 * file exists, by its file part along the search path (KnlNamSearchPath).
 */
#include <cstring>
#include "lisp/lsq.h"
#include "lisp/lsq_file.h"

namespace orin::lsp {

ProgramFile::~ProgramFile()
{
    if (!open_)
        return;
    KnlNamClose(ns_, h_);
    if (!keep_)
        KnlNamDelete(ns_, name_);
}

USHORT ProgramFile::openRead(const char *name)
{
    ULONG action;
    USHORT rc = KnlNamOpen(ns_, name, &h_, &action, 0, 0, KNLNAM_OPEN_EXISTING,
                           KNLNAM_SHARE_DENYWRITE, 0);
    open_ = rc == 0;
    return rc;
}

USHORT ProgramFile::create(const char *name)
{
    ULONG action;
    if (strlen(name) >= sizeof name_)
        return ORIN_ERR_INVALID_NAME;
    USHORT rc = KnlNamOpen(ns_, name, &h_, &action, 0, 0, KNLNAM_OPEN_CREATE,
                           KNLNAM_ACCESS_WRITE | KNLNAM_SHARE_DENYALL, 0);
    open_ = rc == 0;
    if (open_) {
        strcpy(name_, name);
        keep_ = false;
    }
    return rc;
}

long ProgramFile::read(void *buf, std::size_t count)
{
    ULONG done = 0;
    if (!open_ || KnlNamRead(ns_, h_, buf, static_cast<ULONG>(count), &done) != 0)
        return -1;
    return static_cast<long>(done);
}

bool ProgramFile::write(const void *buf, std::size_t count)
{
    ULONG done = 0;
    return open_ && KnlNamWrite(ns_, h_, buf, static_cast<ULONG>(count), &done) == 0 &&
           done == count;
}

long long ProgramFile::size()
{
    ULONG size = 0;
    if (!open_ || KnlNamQFileSize(ns_, h_, &size) != 0)
        return -1;
    return size;
}

/* ---- resolving a program name ---- */

namespace {

/* The part of a path after its last directory delimiter or drive colon
 * (DBCS-aware: a trail byte never counts as a delimiter). */
const char *filePart(const char *path, char delim)
{
    const char *part = path;
    for (const char *p = path; *p; p += lspCharLen(p))
        if (*p == delim || *p == ':')
            part = p + 1;
    return part;
}

}  // namespace

bool lspPlatformName(const char *name, char *out, std::size_t size)
{
    char delim = KnlNamQDirDelimChr(KnlNamGetDefaultNS());
    if (!name || strlen(name) >= size)
        return false;
    strcpy(out, name);
    for (char *p = out; *p; p += lspCharLen(p))
        if (*p == '/')
            *p = delim;
    return true;
}

bool lspResolveProgram(const char *name, char *out, std::size_t size)
{
    void *ns = KnlNamGetDefaultNS();
    char local[KNLNAM_MAXPATH];

    if (!name || !*name || !lspPlatformName(name, local, sizeof local))
        return false;
    if (KnlNamQFileExist(ns, local) == 1) {
        if (strlen(local) >= size)
            return false;
        strcpy(out, local);
        return true;
    }
    USHORT cap = static_cast<USHORT>(size > 0xFFFF ? 0xFFFF : size);
    return KnlNamSearchPath(ns, 0, lspSearchPath(), filePart(local, KnlNamQDirDelimChr(ns)),
                            out, cap) == 0;
}

}  // namespace orin::lsp
