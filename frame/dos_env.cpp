/*
 * dos_env.cpp - environment variables and search along a path list.
 *
 * DosScanEnv reads a variable into a library-owned buffer of 1,024 bytes,
 * one per thread, and hands out a pointer into it, valid until the same
 * thread's next read (so threads may read at once); a
 * variable that is absent, empty or does not fit is "not found" (203).
 * DosSearchPath joins each entry of a ';'-separated list with the file
 * name and stops at the first that exists.
 */
#include <string.h>
#include "dos.h"
#include "knlnam.h"
#include "frame/knlnamint.h"

namespace orin::dos {
namespace {

thread_local char envBuffer[DOS_ENV_BUFFER];

}  // namespace
}  // namespace orin::dos

using namespace orin::dos;


USHORT ORINAPI DosScanEnv(const char *name, const char **value) noexcept
{
    DWORD n;
    if (value)
        *value = NULL;
    if (!name || !*name)
        return ORIN_ERR_INVALID_PARAM;
    n = GetEnvironmentVariableA(name, envBuffer, sizeof envBuffer);
    if (n == 0 || n >= sizeof envBuffer) {
        envBuffer[0] = 0;
        return DOS_ERR_ENV_NOT_FOUND;
    }
    if (value)
        *value = envBuffer;
    return 0;
}

USHORT ORINAPI DosSetEnvVal(const char *name, const char *value) noexcept
{
    if (!name || !*name)
        return ORIN_ERR_INVALID_PARAM;
    if (!SetEnvironmentVariableA(name, value))
        return (USHORT)(GetLastError() & 0xFFFF);
    return 0;
}

USHORT ORINAPI DosSearchPath(ULONG flags, const char *list, const char *file, char *out,
                             USHORT size) noexcept
{
    void *ns = KnlNamGetDefaultNS();
    USHORT err;

    if (!file || !list)
        return ORIN_ERR_INVALID_PARAM;
    if (out && size)
        out[0] = 0;
    if ((flags & DOS_SEARCH_CUR_DIRECTORY) && KnlNamQFileExist(ns, file)) {
        char cwd[KNL_MAX_PATH], joined[KNL_MAX_PATH];
        if ((err = KnlNamGetCwd(ns, cwd, sizeof cwd)) != 0)
            return err;
        KnlNamMakePathFromDF(ns, joined, cwd, file);
        if (!out || strlen(joined) >= size)
            return ORIN_ERR_BUFFER_TOO_SMALL;
        strcpy(out, joined);
        return 0;
    }
    if (flags & DOS_SEARCH_ENVIRONMENT) {
        if ((err = DosScanEnv(list, &list)) != 0)
            return err;
    }
    return knlNamSearchList(ns, list, file, out, size);
}
