/*
 * prf_fldinfo.cpp - field information records kept as string values.
 *
 * The text is "type;0;updated;attributes;compressed;created;lastUpdate;;"
 * with both date-times as 14 digits (year, month, day, hours, minutes,
 * seconds) through the date family's bracket templates.  Reading splits
 * the text at ';' and takes the fields back; a missing field gives 211.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "profile/prfint.h"
#include "dat.h"
#include "dos.h"

constexpr ULONG FLD_TEXT_SIZE = 128;
constexpr ULONG FLD_DATE_SIZE = 24;
#define FLD_DATE_FORMAT "[Y][0M][0D][0i][0m][0s]"
#define FLD_DEFAULT     "?"
constexpr int FLD_FIELDS = 7;               /* type .. lastUpdate */

USHORT ORINAPI PrfWriteProfileFldInfo(HPRF h, const char *section, const char *key,
                                      const PRFFLDINFO *info) noexcept
{
    char text[FLD_TEXT_SIZE], created[FLD_DATE_SIZE], updated[FLD_DATE_SIZE];
    if (!info)
        return PrfWriteProfileString(h, section, key, NULL);
    DatSprintf(created, sizeof created - 1, FLD_DATE_FORMAT, &info->created);
    DatSprintf(updated, sizeof updated - 1, FLD_DATE_FORMAT, &info->lastUpdate);
    snprintf(text, sizeof text, "%c;%ld;%d;%d;%d;%s;%s;%s;", (char)info->type, 0L,
             info->updated, info->attributes, info->compressed, created, updated, "");
    return PrfWriteProfileString(h, section, key, text);
}

USHORT ORINAPI PrfQueryProfileFldInfo(HPRF h, const char *section, const char *key,
                                      PRFFLDINFO *info) noexcept
{
    char text[FLD_TEXT_SIZE], *field[FLD_FIELDS], *p;
    int n;
    USHORT rc;

    if (!info)
        return ORIN_ERR_INVALID_PARAM;
    rc = PrfQueryProfileString(h, section, key, FLD_DEFAULT, text, sizeof text);
    if (rc && rc != ORIN_ERR_BUFFER_TOO_SMALL)
        return rc;
    for (n = 0, p = text; n < FLD_FIELDS; n++) {
        char *sep = strchr(p, ';');
        if (!sep)
            return ORIN_ERR_NO_KEY;
        *sep = 0;
        field[n] = p;
        p = sep + 1;
    }
    memset(info, 0, sizeof *info);
    info->type = (BYTE)field[0][0];
    info->updated = strcmp(field[2], "1") == 0;
    info->attributes = (USHORT)atoi(field[3]);
    info->compressed = strcmp(field[4], "1") == 0;
    DatScanf(&info->created, FLD_DATE_FORMAT, field[5], NULL);
    DatScanf(&info->lastUpdate, FLD_DATE_FORMAT, field[6], NULL);
    return 0;
}

void ORINAPI PrfFldInfoInit(PRFFLDINFO *info, USHORT type) noexcept
{
    if (!info)
        return;
    memset(info, 0, sizeof *info);
    info->type = type;
    info->updated = 1;
    DosGetDateTime(&info->created);
    info->lastUpdate = info->created;
}

void ORINAPI PrfFldInfoSetUpdate(PRFFLDINFO *info) noexcept
{
    if (!info)
        return;
    DosGetDateTime(&info->lastUpdate);
    info->updated = 1;
}

void ORINAPI PrfFldInfoSetAccess(PRFFLDINFO *info) noexcept
{
    (void)info;
}
