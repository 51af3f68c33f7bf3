/*
 * owmmapi.h - mail through the host's Simple MAPI library and telephone
 * calls through its assisted-telephony call, both loaded at run time.
 *
 * The OwmMAPI calls take the arguments of the Simple MAPI functions of the
 * same name, unchanged and in the same order (the structures are those of
 * the system's <mapi.h>), and answer with this library's error codes:
 * MAPI's user abort becomes 995, disk full 112, insufficient memory 8,
 * access denied and attachment open failure 5, attachment not found 2,
 * attachment write failure 29, and every other MAPI failure
 * ORIN_ERR_GENERAL.  A host without mail enabled, without "MAPI32.DLL" or
 * without all twelve entry points answers ORIN_ERR_GENERAL to every call.
 *
 * Mail counts as enabled when the value "MAPI" of section "Mail" of the
 * Windows profile is 1, or else when the value "MAPI" under
 * HKLM\SOFTWARE\Microsoft\Windows Messaging Subsystem is a text starting
 * with '1' or the number 1.
 *
 * The library is loaded for each call and freed after it, unless the
 * caller holds a use of its own: OwmMAPIInit raises a use count (0, or
 * ORIN_ERR_GENERAL when MAPI is not usable) and OwmMAPIUninit lowers it.
 * The counts are process-wide and unguarded: one thread at a time.
 */
#ifndef OWMMAPI_H
#define OWMMAPI_H

#include "orinbase.h"
#include <mapi.h>

ORIN_BEGIN_DECLS

#define OWM_MAPI_ERR_USER_ABORT       995   /* MAPI_USER_ABORT */
#define OWM_MAPI_ERR_WRITE_FAULT      29    /* MAPI_E_ATTACHMENT_WRITE_FAILURE */

USHORT ORINAPI OwmMAPIInit(void) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPIUninit(void) ORIN_NOEXCEPT;
/* 1 when mail is enabled and the library has every entry point. */
USHORT ORINAPI OwmMAPIAvailable(void) ORIN_NOEXCEPT;

USHORT ORINAPI OwmMAPILogon(ULONG_PTR uiParam, LPSTR profileName, LPSTR password, FLAGS flags,
                            ULONG reserved, LPLHANDLE session) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPILogoff(LHANDLE session, ULONG_PTR uiParam, FLAGS flags,
                             ULONG reserved) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPISendMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message,
                               FLAGS flags, ULONG reserved) ORIN_NOEXCEPT;
/* With fileNames null or empty, and a delimiter and paths given, the file
 * names passed on are the file parts of the paths, joined by the
 * delimiter ("C:\a\x.txt;C:\b\y.doc" gives "x.txt;y.doc"). */
USHORT ORINAPI OwmMAPISendDocuments(ULONG_PTR uiParam, LPSTR delimiter, LPSTR filePaths,
                                    LPSTR fileNames, ULONG reserved) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPIFindNext(LHANDLE session, ULONG_PTR uiParam, LPSTR messageType,
                               LPSTR seedMessageId, FLAGS flags, ULONG reserved,
                               LPSTR messageId) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPIReadMail(LHANDLE session, ULONG_PTR uiParam, LPSTR messageId, FLAGS flags,
                               ULONG reserved, lpMapiMessage *message) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPISaveMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message,
                               FLAGS flags, ULONG reserved, LPSTR messageId) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPIDeleteMail(LHANDLE session, ULONG_PTR uiParam, LPSTR messageId,
                                 FLAGS flags, ULONG reserved) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPIFreeBuffer(LPVOID memory) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPIAddress(LHANDLE session, ULONG_PTR uiParam, LPSTR caption,
                              ULONG editFields, LPSTR labels, ULONG recipCount,
                              lpMapiRecipDesc recips, FLAGS flags, ULONG reserved,
                              LPULONG newRecipCount, lpMapiRecipDesc *newRecips) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPIDetails(LHANDLE session, ULONG_PTR uiParam, lpMapiRecipDesc recip,
                              FLAGS flags, ULONG reserved) ORIN_NOEXCEPT;
USHORT ORINAPI OwmMAPIResolveName(LHANDLE session, ULONG_PTR uiParam, LPSTR name, FLAGS flags,
                                  ULONG reserved, lpMapiRecipDesc *recip) ORIN_NOEXCEPT;

/* Asks the telephony service to dial: the result of "tapiRequestMakeCall"
 * of "TAPI32.DLL" unchanged (0, or a negative TAPIERR_ code), or
 * ORIN_ERR_GENERAL when that library or entry point is missing. */
LONG ORINAPI OwmTapiRequestMakeCall(LPCSTR destAddress, LPCSTR appName, LPCSTR calledParty,
                                    LPCSTR comment) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* OWMMAPI_H */
