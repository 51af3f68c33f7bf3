/*
 * owm_mapi.cpp - the Simple MAPI binding and the forwarding entry points.
 *
 * "MAPI32.DLL" is loaded on demand when mail is enabled, with all twelve
 * entry points or not at all (owm_binding.h).  Each OwmMAPI call takes a
 * use of the binding for the length of the call, passes its arguments on
 * unchanged and translates the result into this library's error codes; a
 * caller that holds a use of its own (OwmMAPIInit) keeps the library
 * loaded between calls.
 */
#include <windows.h>
#include <cstring>
#include "owmmapi.h"
#include "shell/owm_binding.h"
#include "shell/owmint.h"

namespace orin::owm {
namespace {

constexpr char kMailSection[] = "Mail";
constexpr char kMailValue[] = "MAPI";
constexpr char kMessagingKey[] = "SOFTWARE\\Microsoft\\Windows Messaging Subsystem";
constexpr DWORD kEnabledValueMax = 10;     // bytes of the registry value read at most

/* Entry-point slots, in the order of kMapiNames. */
enum MapiEntry : std::size_t {
    kLogon, kLogoff, kSendMail, kSendDocuments, kFindNext, kReadMail, kSaveMail,
    kDeleteMail, kFreeBuffer, kAddress, kDetails, kResolveName, kMapiEntries
};

constexpr CountedLibrary<kMapiEntries>::Names kMapiNames = {
    "MAPILogon", "MAPILogoff", "MAPISendMail", "MAPISendDocuments", "MAPIFindNext",
    "MAPIReadMail", "MAPISaveMail", "MAPIDeleteMail", "MAPIFreeBuffer", "MAPIAddress",
    "MAPIDetails", "MAPIResolveName"};

CountedLibrary<kMapiEntries> mapi("MAPI32.DLL", kMapiNames);

/* <mapi.h> names no function type for this one. */
typedef ULONG(WINAPI MapiFreeBufferFn)(LPVOID memory);

bool registryEnablesMail() noexcept
{
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMessagingKey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    UniqueRegKey key(opened);
    BYTE data[kEnabledValueMax] = {};
    DWORD type = 0, size = sizeof data;
    if (RegQueryValueExA(key.get(), kMailValue, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return false;
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        return size > 0 && data[0] == '1';
    DWORD number;
    return type == REG_DWORD && size == sizeof number &&
           (memcpy(&number, data, sizeof number), number == 1);
}

/* A use of the binding for the length of one call. */
class MapiUse {
public:
    MapiUse() noexcept : held_(OwmMAPIInit() == 0) {}
    ~MapiUse()
    {
        if (held_)
            OwmMAPIUninit();
    }
    MapiUse(const MapiUse &) = delete;
    MapiUse &operator=(const MapiUse &) = delete;
    explicit operator bool() const noexcept { return held_; }

private:
    bool held_;
};

/* Calls entry point `slot` (of Simple MAPI function type F) with args. */
template <class F, class... Args>
USHORT forward(MapiEntry slot, Args... args) noexcept
{
    MapiUse use;
    if (!use)
        return ORIN_ERR_GENERAL;
    return translateMapiResult(mapi.entry<F>(slot)(args...));
}

}  // namespace

bool mailEnabled() noexcept
{
    if (GetProfileIntA(kMailSection, kMailValue, 0) == 1)
        return true;
    return registryEnablesMail();
}

USHORT translateMapiResult(ULONG result) noexcept
{
    switch (result) {
    case SUCCESS_SUCCESS:                   return 0;
    case MAPI_USER_ABORT:                   return OWM_MAPI_ERR_USER_ABORT;
    case MAPI_E_DISK_FULL:                  return ORIN_ERR_DISK_FULL;
    case MAPI_E_INSUFFICIENT_MEMORY:        return ORIN_ERR_NO_MEMORY;
    case MAPI_E_ACCESS_DENIED:
    case MAPI_E_ATTACHMENT_OPEN_FAILURE:    return ORIN_ERR_ACCESS_DENIED;
    case MAPI_E_ATTACHMENT_NOT_FOUND:       return ORIN_ERR_FILE_NOT_FOUND;
    case MAPI_E_ATTACHMENT_WRITE_FAILURE:   return OWM_MAPI_ERR_WRITE_FAULT;
    default:                                return ORIN_ERR_GENERAL;
    }
}

ULONG mapiUses() noexcept
{
    return mapi.uses();
}

}  // namespace orin::owm

using namespace orin::owm;

USHORT ORINAPI OwmMAPIInit(void) noexcept
{
    if (mapi.uses() > 0)
        return mapi.acquire() ? 0 : ORIN_ERR_GENERAL;
    if (!mailEnabled())
        return ORIN_ERR_GENERAL;
    return mapi.acquire() ? 0 : ORIN_ERR_GENERAL;
}

USHORT ORINAPI OwmMAPIUninit(void) noexcept
{
    return mapi.release() ? 0 : ORIN_ERR_GENERAL;
}

USHORT ORINAPI OwmMAPIAvailable(void) noexcept
{
    if (OwmMAPIInit() != 0)
        return 0;
    OwmMAPIUninit();
    return 1;
}

USHORT ORINAPI OwmMAPILogon(ULONG_PTR uiParam, LPSTR profileName, LPSTR password, FLAGS flags,
                            ULONG reserved, LPLHANDLE session) noexcept
{
    return forward<MAPILOGON>(kLogon, uiParam, profileName, password, flags, reserved, session);
}

USHORT ORINAPI OwmMAPILogoff(LHANDLE session, ULONG_PTR uiParam, FLAGS flags,
                             ULONG reserved) noexcept
{
    return forward<MAPILOGOFF>(kLogoff, session, uiParam, flags, reserved);
}

USHORT ORINAPI OwmMAPISendMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message,
                               FLAGS flags, ULONG reserved) noexcept
{
    return forward<MAPISENDMAIL>(kSendMail, session, uiParam, message, flags, reserved);
}

/* Without file names, the list is built from the paths' file parts; when
 * no block can be had for it, the call goes on with null file names. */
USHORT ORINAPI OwmMAPISendDocuments(ULONG_PTR uiParam, LPSTR delimiter, LPSTR filePaths,
                                    LPSTR fileNames, ULONG reserved) noexcept
{
    orin::UniqueMalloc<char> built;
    bool namesGiven = fileNames && *fileNames;
    if (!namesGiven && delimiter && *delimiter && filePaths) {
        built.reset(fileNameList(delimiter, filePaths));
        fileNames = built.get();
    }
    return forward<MAPISENDDOCUMENTS>(kSendDocuments, uiParam, delimiter, filePaths, fileNames,
                                      reserved);
}

USHORT ORINAPI OwmMAPIFindNext(LHANDLE session, ULONG_PTR uiParam, LPSTR messageType,
                               LPSTR seedMessageId, FLAGS flags, ULONG reserved,
                               LPSTR messageId) noexcept
{
    return forward<MAPIFINDNEXT>(kFindNext, session, uiParam, messageType, seedMessageId, flags,
                                 reserved, messageId);
}

USHORT ORINAPI OwmMAPIReadMail(LHANDLE session, ULONG_PTR uiParam, LPSTR messageId, FLAGS flags,
                               ULONG reserved, lpMapiMessage *message) noexcept
{
    return forward<MAPIREADMAIL>(kReadMail, session, uiParam, messageId, flags, reserved, message);
}

USHORT ORINAPI OwmMAPISaveMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message,
                               FLAGS flags, ULONG reserved, LPSTR messageId) noexcept
{
    return forward<MAPISAVEMAIL>(kSaveMail, session, uiParam, message, flags, reserved, messageId);
}

USHORT ORINAPI OwmMAPIDeleteMail(LHANDLE session, ULONG_PTR uiParam, LPSTR messageId,
                                 FLAGS flags, ULONG reserved) noexcept
{
    return forward<MAPIDELETEMAIL>(kDeleteMail, session, uiParam, messageId, flags, reserved);
}

USHORT ORINAPI OwmMAPIFreeBuffer(LPVOID memory) noexcept
{
    return forward<MapiFreeBufferFn>(kFreeBuffer, memory);
}

USHORT ORINAPI OwmMAPIAddress(LHANDLE session, ULONG_PTR uiParam, LPSTR caption,
                              ULONG editFields, LPSTR labels, ULONG recipCount,
                              lpMapiRecipDesc recips, FLAGS flags, ULONG reserved,
                              LPULONG newRecipCount, lpMapiRecipDesc *newRecips) noexcept
{
    return forward<MAPIADDRESS>(kAddress, session, uiParam, caption, editFields, labels,
                                recipCount, recips, flags, reserved, newRecipCount, newRecips);
}

USHORT ORINAPI OwmMAPIDetails(LHANDLE session, ULONG_PTR uiParam, lpMapiRecipDesc recip,
                              FLAGS flags, ULONG reserved) noexcept
{
    return forward<MAPIDETAILS>(kDetails, session, uiParam, recip, flags, reserved);
}

USHORT ORINAPI OwmMAPIResolveName(LHANDLE session, ULONG_PTR uiParam, LPSTR name, FLAGS flags,
                                  ULONG reserved, lpMapiRecipDesc *recip) noexcept
{
    return forward<MAPIRESOLVENAME>(kResolveName, session, uiParam, name, flags, reserved, recip);
}
