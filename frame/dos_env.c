/*
 * dos_env.c - environment variables and search along a path list.
 *
 * DosScanEnv reads a variable into one library-owned buffer of 1,024
 * bytes and hands out a pointer into it, valid until the next read; a
 * variable that is absent, empty or does not fit is "not found" (203).
 * DosSearchPath joins each entry of a ';'-separated list with the file
 * name and stops at the first that exists.
 */
#include <string.h>
#include "dos.h"
#include "knlnam.h"
#include "frame/knlint.h"

static char envBuffer[DOS_ENV_BUFFER];

USHORT ORINAPI DosScanEnv(const char *name, const char **value)
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

USHORT ORINAPI DosSetEnvVal(const char *name, const char *value)
{
    if (!name || !*name)
        return ORIN_ERR_INVALID_PARAM;
    if (!SetEnvironmentVariableA(name, value))
        return (USHORT)(GetLastError() & 0xFFFF);
    return 0;
}

static USHORT copyResult(const char *found, char *out, USHORT size)
{
    size_t n = strlen(found);
    if (!out || n >= size)
        return ORIN_ERR_BUFFER_TOO_SMALL;
    memcpy(out, found, n + 1);
    return 0;
}

USHORT ORINAPI DosSearchPath(ULONG flags, const char *list, const char *file, char *out,
                             USHORT size)
{
    void *ns = KnlNamGetDefaultNS();
    char candidate[KNL_MAX_PATH], entry[KNL_MAX_PATH];
    const char *p;
    USHORT err;

    if (!file || !list)
        return ORIN_ERR_INVALID_PARAM;
    if (out && size)
        out[0] = 0;
    if ((flags & DOS_SEARCH_CUR_DIRECTORY) && KnlNamQFileExist(ns, file)) {
        char cwd[KNL_MAX_PATH];
        if ((err = KnlNamGetCwd(ns, cwd, sizeof cwd)) != 0)
            return err;
        KnlNamMakePathFromDF(ns, candidate, cwd, file);
        return copyResult(candidate, out, size);
    }
    if (flags & DOS_SEARCH_ENVIRONMENT) {
        if ((err = DosScanEnv(list, &list)) != 0)
            return err;
    }
    for (p = list;;) {
        const char *end = strchr(p, ';');
        size_t len = end ? (size_t)(end - p) : strlen(p);
        if (len >= sizeof entry)
            len = sizeof entry - 1;
        memcpy(entry, p, len);
        entry[len] = 0;
        KnlNamMakePathFromDF(ns, candidate, entry, file);
        if (KnlNamQFileExist(ns, candidate))
            return copyResult(candidate, out, size);
        if (!end)
            return ORIN_ERR_FILE_NOT_FOUND;
        p = end + 1;
    }
}
