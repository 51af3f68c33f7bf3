/*
 * prf_names.cpp - section and key names as the profile calls hand them to a
 * handler.
 *
 * A name is copied into one half of the handle's scratch buffer (section
 * in the first, key in the second), trimmed of leading and trailing
 * blanks, refused when empty or when it holds the list separator '~', and
 * converted to the OEM code page when the profile stores such names in
 * OEM.  The separator test steps over DBCS characters, whose trail byte
 * may have the value of '~' without being one.  When a name does not fit
 * its half, the buffer grows to twice (length + 2) characters, keeping the
 * section half.
 */
#include <stdlib.h>
#include <string.h>
#include "profile/prfint.h"
#include "frame/knlint.h"
#include "knl.h"

constexpr char PRF_BLANK = ' ';

BOOL prfNameIsValid(const char *name)
{
    const BYTE *p = (const BYTE *)name;
    if (!p || !*p)
        return FALSE;
    while (*p) {
        if (*p == PRF_LIST_SEPARATOR)
            return FALSE;
        if (knlLeadByte[*p] && p[1])
            p++;                          /* the trail byte is no separator */
        p++;
    }
    return TRUE;
}

static USHORT growBuffer(HPRF h, ULONG length)
{
    ULONG cap = length + 2;
    char *buf = (char *)calloc(cap, 2);
    if (!buf)
        return ORIN_ERR_NO_MEMORY;
    if (h->nameBuffer && h->nameCapacity)
        memcpy(buf, h->nameBuffer, h->nameCapacity);      /* keep the section */
    free(h->nameBuffer);
    h->nameBuffer = buf;
    h->nameCapacity = cap;
    return 0;
}

USHORT prfNormaliseName(HPRF h, int half, const char *name, BOOL oem, const char **out)
{
    size_t start = 0, end;
    char *dst;

    if (!name)
        return ORIN_ERR_INVALID_NAME;
    end = strlen(name);
    while (start < end && name[start] == PRF_BLANK)
        start++;
    while (end > start && name[end - 1] == PRF_BLANK)
        end--;
    if (end - start + 1 > h->nameCapacity || !h->nameBuffer) {
        USHORT rc;
        if (end - start > 0xFFFFFFF0UL / 2)
            return ORIN_ERR_NO_MEMORY;
        rc = growBuffer(h, (ULONG)(end - start));
        if (rc)
            return rc;
    }
    dst = h->nameBuffer + (size_t)half * h->nameCapacity;
    memcpy(dst, name + start, end - start);
    dst[end - start] = 0;
    if (!prfNameIsValid(dst))
        return ORIN_ERR_INVALID_NAME;
    if (oem)
        KnlAnsiToOemBuff(dst, dst, (ULONG)(end - start));
    *out = dst;
    return 0;
}
