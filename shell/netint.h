/*
 * netint.h - the network layer's internal calls used by the file-name
 * layer: whether the optional Novell client is loaded, and its physical
 * record locks.  A build or machine without the client answers "not
 * loaded" and the callers use the system's own calls.
 */
#ifndef NETINT_H
#define NETINT_H

#include "orinbase.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A DWORD switch under HKLM\Software\Orin\Shared: TRUE when non-zero. */
BOOL NetSharedFlag(const char *valueName);

/* Non-zero when the client libraries are loaded with their entry points. */
BOOL NetNovellLoaded(void);

/* Record locks through the client.  *handled is FALSE when the handle is
 * not on a volume the client serves; the caller then locks itself. */
USHORT NetNovellLockRecord(HANDLE h, ULONG offset, ULONG length, BOOL exclusive,
                           BOOL *handled) noexcept;
USHORT NetNovellUnlockRecord(HANDLE h, ULONG offset, ULONG length, BOOL *handled) noexcept;

/* Drive-mapping seam for tests: replaces the host's enumeration of
 * connected disk resources by a fixed list of (drive, remote) pairs and
 * forgets any table already built.  count 0 restores the host's list. */
typedef struct _NETMAPPING {
    char drive;                 /* drive letter */
    const char *remote;         /* remote name, \\server\share */
} NETMAPPING;
void NetSetMappingSource(const NETMAPPING *list, int count);

/* The host queries behind the identity calls, replaceable by tests.
 * Each answers like the system call it stands for. */
typedef struct _NETHOSTAPI {
    DWORD (*globalNetStatus)(void);              /* 0, or 1222 without network */
    DWORD (*userName)(char *buf, DWORD *size);   /* network user, default net */
    BOOL  (*computerName)(char *buf, DWORD *size);
} NETHOSTAPI;
/* Replaces the host queries; NULL restores the system's. */
void NetSetHostApi(const NETHOSTAPI *api);

#ifdef __cplusplus
}
#endif

#endif /* NETINT_H */
