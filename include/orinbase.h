/*
 * orinbase.h - types and conventions shared by every Orin family header.
 *
 * Every exported function returns either a 16-bit error code (0 = success)
 * or a failure value (0, NULL, -1) with the code left in the thread's last
 * error.  Codes below 0xE000 are the host's system error numbers; codes from
 * 0xE000 up belong to the library's families, one block each.
 */
#ifndef ORINBASE_H
#define ORINBASE_H

#include <windows.h>

#ifdef __cplusplus
#define ORIN_BEGIN_DECLS extern "C" {
#define ORIN_END_DECLS   }
#else
#define ORIN_BEGIN_DECLS
#define ORIN_END_DECLS
#endif

/* Exported functions use the platform's one x64 calling convention; the
 * export list lives in orin.def, so no per-function attribute is needed. */
#define ORINAPI

/* No exported function lets an exception out: C++ callers see that in the
 * declaration; C callers see nothing. */
#ifdef __cplusplus
#define ORIN_NOEXCEPT noexcept
#else
#define ORIN_NOEXCEPT
#endif

/* Exported classes (C++) are marked for export/import explicitly. */
#if defined(ORIN_STATIC)
#define ORIN_CLASS
#elif defined(ORIN_BUILD)
#define ORIN_CLASS __declspec(dllexport)
#else
#define ORIN_CLASS __declspec(dllimport)
#endif

/* System error numbers in common use across the library. */
#define ORIN_OK                   0
#define ORIN_ERR_FILE_NOT_FOUND   2
#define ORIN_ERR_PATH_NOT_FOUND   3
#define ORIN_ERR_TOO_MANY_FILES   4
#define ORIN_ERR_ACCESS_DENIED    5
#define ORIN_ERR_INVALID_HANDLE   6
#define ORIN_ERR_NO_MEMORY        8
#define ORIN_ERR_INVALID_DATA     13
#define ORIN_ERR_INVALID_DRIVE    15
#define ORIN_ERR_LOCK_VIOLATION   33
#define ORIN_ERR_WRONG_DISK       34
#define ORIN_ERR_NOT_SUPPORTED    50
#define ORIN_ERR_INVALID_PARAM    87
#define ORIN_ERR_BUFFER_TOO_SMALL 111
#define ORIN_ERR_DISK_FULL        112
#define ORIN_ERR_INVALID_NAME     123
#define ORIN_ERR_INVALID_LEVEL    124
#define ORIN_ERR_NO_KEY           211
#define ORIN_ERR_GENERAL          0xFFFF

/* The library's own code blocks (each family's header lists its codes). */
#define ORIN_ERRBASE_LISP     0xE013
#define ORIN_ERRBASE_PRINT    0xE064
#define ORIN_ERRBASE_PROFILE  0xE096
#define ORIN_ERRBASE_ARCHIVE  0xE0AA
#define ORIN_ERRBASE_INDEX    0xE0C8
#define ORIN_ERRBASE_CHOP     0xE0DC
#define ORIN_ERRBASE_GPI      0xE201
#define ORIN_ERRBASE_FBF      0xEA60
#define ORIN_ERR_NETWORK      0xFF20

#endif /* ORINBASE_H */
