/*
 * opmdde.h - OpmDde: dynamic data exchange through the system's DDE
 * management library.
 *
 * One DDE instance per process (OpmDdeInitialize .. OpmDdeUninitialize) is
 * used by every call.  Strings and data are ANSI text: string handles use
 * code page 1004 and every transaction the plain-text format (1).  The
 * synchronous transactions wait up to 20 minutes.  The application's
 * callback receives every DDE callback unchanged; its result is cut to 32
 * bits (sign-extended, so OpmDdeBlockCallback()'s value still blocks).
 *
 * Results: 0 for success; 65535 for a failed connection, request or handle
 * operation; 87 for missing data; otherwise the DDE error of the instance
 * (DMLERR_*), as each declaration says.  Conversation, string and data
 * handles are the system's, passed through unchanged.
 *
 * The full calls (OpmDdeFullRequest/Poke and their Ex forms) do one whole
 * exchange: disable the window's input, connect, start the server program
 * (show command 10, no waiting) and connect once more when the first try
 * fails, request or send, disconnect, free the names, enable the window's
 * input again.  Without a DDE instance they answer 65535 and start nothing.
 */
#ifndef OPMDDE_H
#define OPMDDE_H

#include "orinbase.h"
#include <ddeml.h>

ORIN_BEGIN_DECLS

/* The topic every server accepts so that others can tell it is running. */
#define OPMDDE_PRESENCE_TOPIC "OPM_ServerPresence_Test"

#define OPMDDE_CODEPAGE      1004        /* Windows-ANSI string handles */
#define OPMDDE_FORMAT        1           /* plain text */
#define OPMDDE_XTYP_REQUEST  0x20B0
#define OPMDDE_XTYP_POKE     0x4090
#define OPMDDE_XTYP_EXECUTE  0x4050
#define OPMDDE_TIMEOUT       1200000UL   /* ms: 20 minutes */
#define OPMDDE_FAIL          65535
#define OPMDDE_BLOCK         0xFFFFFFFFUL
/* Flags an application initialises with before registering its service:
 * no self-connections, no registration or unregistration notices. */
#define OPMDDE_APP_INIT_FLAGS 0x181000UL
#define OPMDDE_DNS_REGISTER   1

typedef HDDEDATA (CALLBACK *OPMDDECALLBACK)(UINT type, UINT format, HCONV conv, HSZ hsz1,
                                            HSZ hsz2, HDDEDATA data, ULONG_PTR data1,
                                            ULONG_PTR data2);

/* Instance */
USHORT ORINAPI OpmDdeInitialize(OPMDDECALLBACK callback, ULONG flags) ORIN_NOEXCEPT;
void   ORINAPI OpmDdeUninitialize(void) ORIN_NOEXCEPT;
DWORD  ORINAPI OpmDdeSetInstance(DWORD instance) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeGetLastError(void) ORIN_NOEXCEPT;
LONG_PTR ORINAPI OpmDdeNameService(HSZ service, ULONG flags) ORIN_NOEXCEPT;  /* -1: no instance */
BOOL   ORINAPI OpmDdeEnableBlockedCallback(HCONV conv) ORIN_NOEXCEPT;
ULONG  ORINAPI OpmDdeBlockCallback(void) ORIN_NOEXCEPT;
/* A null service asks whether any server answers on the presence topic. */
USHORT ORINAPI OpmDdeCheckOpmServer(const char *service, BOOL *running) ORIN_NOEXCEPT;
const char *ORINAPI OpmDdeQueryPresenceTopic(void) ORIN_NOEXCEPT;

/* Strings and data */
HSZ    ORINAPI OpmDdeCreateStringHandle(const char *text) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeKeepStringHandle(HSZ hsz) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeFreeStringHandle(HSZ hsz) ORIN_NOEXCEPT;
DWORD  ORINAPI OpmDdeQueryString(HSZ hsz, char *buffer, DWORD size) ORIN_NOEXCEPT;
int    ORINAPI OpmDdeCmpStringHandles(HSZ a, HSZ b) ORIN_NOEXCEPT;
HDDEDATA ORINAPI OpmDdeCreateDataHandle(const void *data, DWORD length, HSZ item,
                                        UINT commands) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeFreeDataHandle(HDDEDATA data) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeUnaccessData(HDDEDATA data) ORIN_NOEXCEPT;
HDDEDATA ORINAPI OpmDdeAddData(HDDEDATA data, const void *source, DWORD length,
                               DWORD offset) ORIN_NOEXCEPT;
DWORD  ORINAPI OpmDdeGetData(HDDEDATA data, void *target, DWORD size, DWORD offset) ORIN_NOEXCEPT;
BYTE  *ORINAPI OpmDdeAccessData(HDDEDATA data, DWORD *size) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdePostAdvise(const char *topic, const char *item) ORIN_NOEXCEPT;

/* Conversations */
HCONV  ORINAPI OpmDdeConnect(const char *service, const char *topic) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeDisconnect(HCONV conv) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeRequest(HCONV conv, const char *item, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdePoke(HCONV conv, const char *item, const char *text) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeFullRequest(HWND hwnd, const char *service, const char *topic,
                                 const char *item, char *buffer, ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeFullRequestEx(HWND hwnd, const char *program, const char *service,
                                   const char *topic, const char *item, char *buffer,
                                   ULONG size) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeFullPoke(HWND hwnd, const char *service, const char *topic,
                              const char *item, const void *data, ULONG length) ORIN_NOEXCEPT;
USHORT ORINAPI OpmDdeFullPokeEx(HWND hwnd, const char *program, const char *service,
                                const char *topic, const char *item, const void *data,
                                ULONG length) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* OPMDDE_H */
