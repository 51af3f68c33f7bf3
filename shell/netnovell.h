/*
 * netnovell.h - the Novell client entry points the network layer uses,
 * filled by NetInitNetworking with the loaded functions or with
 * substitutes that report failure.
 */
#ifndef NETNOVELL_H
#define NETNOVELL_H

#include "orinbase.h"

#define NOVELL_LOCK_EXCLUSIVE 1
#define NOVELL_LOCK_SHARED    3
#define NOVELL_ADDRESS_SIZE   12    /* network (4), node (6), socket (2) */
#define NOVELL_NAME_MAX       260

typedef struct _NETNOVELLAPI {
    LONG (WINAPI *callsInit)(void *, void *);
    LONG (WINAPI *defaultConnection)(ULONG *conn);
    LONG (WINAPI *connectionNumber)(ULONG conn, USHORT *number);
    LONG (WINAPI *internetAddress)(ULONG conn, USHORT number, BYTE *address);
    LONG (WINAPI *logRecord)(HANDLE h, ULONG offset, ULONG length, BYTE flags, USHORT timeout);
    LONG (WINAPI *clearRecord)(HANDLE h, ULONG offset, ULONG length);
    LONG (WINAPI *createContext)(void);
    LONG (WINAPI *whoAmI)(LONG context, char *name);
    LONG (WINAPI *freeContext)(LONG context);
} NETNOVELLAPI;

extern NETNOVELLAPI netNovell;

#endif /* NETNOVELL_H */
