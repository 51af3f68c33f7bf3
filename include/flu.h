/*
 * flu.h - chopped multi-volume files: a file too large for one medium is
 * cut into numbered volume files, each starting with a 12-byte header,
 * and merged again later; a Vbf back-end reads (and rewrites in place) a
 * chopped file as if it were one file.
 *
 * Volume header (little-endian): bytes 0..5 "CHOP1" and a NUL, bytes 6..7
 * the volume index (0 for the first volume), bytes 8..11 the length of the
 * whole chopped file.  The data of the file follows, volume after volume.
 *
 * Volume names.  The name given for the first volume (volume 0) is
 * expanded and normalised; volume 0 keeps it.  When its extension is a
 * three-digit number, or a letter and a two-digit number, numbering
 * continues from that number; otherwise it starts at 0.  Volume number n
 * (above 0) gets the extension made of the first character of the base
 * extension ("0" when it has none) and n in two digits while n is below
 * 100, else n in three digits (n - 1000 from 1000 on): DATA.DAT, DATA.D01
 * ... DATA.D99, DATA.100, DATA.101 ...
 *
 * Calls return 0 or an error code.
 */
#ifndef FLU_H
#define FLU_H

#include "orinbase.h"
#include "vbf.h"

ORIN_BEGIN_DECLS

/* Error codes of the family. */
#define FLU_ERR_NOT_CHOPPED   0xE0DC   /* 57564: not a chopped volume, or sizes disagree */
#define FLU_ERR_WRONG_VOLUME  0xE0DD   /* 57565: another volume than expected, or too many */

#define FLU_HEADER_SIZE       12
#define FLU_ANY_VOLUME        0xFFFF   /* FluQueryChopped: any volume index */
#define FLU_MAX_CHOP_VOLUMES  1100     /* FluFileChop refuses more (65535) */
#define FLU_MAX_VBF_VOLUMES   1000     /* volumes the back-end reaches */
#define FLU_MIN_VOLUME_SIZE   244      /* a smaller volume size ... */
#define FLU_SMALL_VOLUME_SIZE 256      /* ... is taken as this one */
#define FLU_PATH_SIZE         259      /* characters the callbacks may write */

/* Events of FluFileChop and FluFileMerge.  The callback gets the volume's
 * name in path (room for FLU_PATH_SIZE characters and a terminator) and
 * may change it; for FLU_EVENT_ERROR and FLU_EVENT_DISK_FULL a zero result
 * tries the volume again (with the path as the callback left it) and a
 * non-zero result abandons the operation with the error.  The results of
 * the other events are ignored. */
#define FLU_EVENT_NEXT_VOLUME 1   /* chop, before a volume: value = volumes still to write */
#define FLU_EVENT_READ_VOLUME 2   /* merge, before opening a volume: value = 65535 */
#define FLU_EVENT_ERROR       3   /* a volume failed: value = the error */
#define FLU_EVENT_VOLUME_DONE 4   /* chop, after a volume: value = number of volumes */
#define FLU_EVENT_DISK_FULL   5   /* chop, a volume did not fit: value = the error (112) */

typedef ULONG (ORINAPI *PFNFLUEVENT)(USHORT event, USHORT volumeIndex, ULONG value,
                                     char *path, ULONG pathSize, void *userData);

/* The back-end's volume-change callback: called when a volume cannot be
 * opened or is not the expected one.  path holds the volume's name and
 * directory its folder (each with room for FLU_PATH_SIZE characters).  A
 * non-zero result asks for another attempt: with path when the callback
 * changed it, else with the volume's file name in directory when the
 * callback changed that; zero gives up with the error. */
typedef ULONG (ORINAPI *PFNCHOPVOLUMECHANGE)(void *nameSpace, char *path, char *directory,
                                             USHORT volumeIndex, void *userData);

/* Cuts sourceName into volumes of at most volumeSize bytes named after
 * targetName.  A source not longer than volumeSize is copied to
 * targetName unchanged (no header).  Each volume holds volumeSize - 12
 * bytes of data; volumeSize below FLU_MIN_VOLUME_SIZE counts as
 * FLU_SMALL_VOLUME_SIZE.  More than FLU_MAX_CHOP_VOLUMES volumes: 65535.
 * Without a callback the first failure ends the chop.  A volume that
 * failed before it held any data is deleted. */
USHORT ORINAPI FluFileChop(void *nameSpace, const char *sourceName, const char *targetName,
                           ULONG volumeSize, PFNFLUEVENT callback, void *userData) ORIN_NOEXCEPT;

/* Joins the volumes that start with firstVolumeName into targetName
 * (created or replaced).  A failed merge deletes the incomplete target. */
USHORT ORINAPI FluFileMerge(void *nameSpace, const char *firstVolumeName, const char *targetName,
                            PFNFLUEVENT callback, void *userData) ORIN_NOEXCEPT;

/* *isChopped = 1 when the file is a chopped volume with the index given
 * (FLU_ANY_VOLUME: any index), else 0; a file that is no volume answers 0
 * with result 0, an unreadable file its error. */
USHORT ORINAPI FluQueryChopped(void *nameSpace, const char *name, USHORT volumeIndex,
                               BOOL *isChopped) ORIN_NOEXCEPT;

/* The names of all volumes of the chopped file whose first volume is
 * firstName, each followed by the separator (a NUL when separator is 0),
 * the whole list then terminated.  With *size 0, list is a char ** that
 * receives an allocated list (release it with free()); otherwise list is
 * a buffer of *size bytes, filled with as much as fits (111 when not all
 * of it did).  *size receives the length of the list without its final
 * terminator.  A volume that cannot be read or has a wrong header: 65535. */
USHORT ORINAPI FluChopEnumNames(void *nameSpace, const char *firstName, void *list,
                                ULONG *size, char separator) ORIN_NOEXCEPT;

/* A fresh 176-byte table of the chopped-file back-end (context word =
 * nameSpace), or null when out of memory; the caller frees it with free().
 * Opened through VbfOpen with the name of the first volume, it reads and
 * seeks over the whole file; writes stay within the existing volumes.
 * The create and replace open flags are refused (87). */
VBFFUNCS *ORINAPI FluChopAllocVbfFuncStruct(void *nameSpace) ORIN_NOEXCEPT;

/* Sets the process-wide volume-change callback (null: none); returns 0. */
USHORT ORINAPI ChopVbfSetVolumeChangeCallback(PFNCHOPVOLUMECHANGE callback,
                                              void *userData) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* FLU_H */
