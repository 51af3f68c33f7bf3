/*
 * vbfint.h - the Vbf handle record and helpers shared by the virtual-file
 * sources.  Not part of the exported interface.
 */
#ifndef VBFINT_H
#define VBFINT_H

#include "vbf.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The handle record (heap, zero-initialised). */
struct _VBF {
    VBFFUNCS *table;
    void     *backend;
    ULONG     ownsTable;    /* 1: the table was allocated for this handle */
};

/* Builds a handle around an existing back-end handle and a table that the
 * handle will own; null (table untouched) when out of memory. */
HVBF VbfWrapBackend(VBFFUNCS *table, void *backend);

/* FAT date and time words as the file-status record holds them: the date
 * is day | month << 5 | (year - 1900) mod 128 << 9 (0 outside 1980..2107),
 * the time seconds / 2 | minute << 5 | hour << 11, both in local time. */
void VbfFileTimeToFat(const FILETIME *utc, ULONG *fatDate, ULONG *fatTime);
void VbfFatToFileTime(ULONG fatDate, ULONG fatTime, FILETIME *utc);

#ifdef __cplusplus
}
#endif

#endif /* VBFINT_H */
