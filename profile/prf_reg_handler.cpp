/*
 * prf_reg_handler.cpp - profiles kept in the system registry.
 *
 * A profile opened with PrfWinRegHandlerOpen(subKey) is the registry key
 * HKEY_LOCAL_MACHINE\Software\Orin\<subKey>; each section is a sub-key of
 * it and each key a named value of the section.  Strings are REG_SZ
 * (stored with their terminator, as the system's readers expect), type 1
 * is a 4-byte REG_DWORD, anything else REG_BINARY; reading reports
 * REG_SZ as a string, REG_DWORD as type 1 and the rest as binary data.
 * Sections are created only by PrfCreateSection: a write to a missing
 * section gives 211.  Offsets and sizes (messages 8 to 10) are not
 * served (50); checks, locks and transactions succeed doing nothing.
 *
 * The handler's word holds a heap copy of the profile's key path.
 */
#include <windows.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "frame/boundary.h"
#include "profile/prfint.h"

namespace orin::prf {

namespace {

constexpr const char *kRegistryRoot = "Software\\Orin\\";
constexpr USHORT kTypeUlong = 1;
constexpr ULONG kDwordSize = 4;

// Owns an open registry key.
class RegKey {
public:
    RegKey() = default;
    ~RegKey()
    {
        if (k_)
            RegCloseKey(k_);
    }
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;

    bool open(const std::string &path, REGSAM access)
    {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &k_) == ERROR_SUCCESS)
            return true;
        k_ = NULL;
        return false;
    }
    HKEY get() const { return k_; }
    HKEY *out() { return &k_; }

private:
    HKEY k_ = NULL;
};

const std::string &rootOf(HPRF h)
{
    return *reinterpret_cast<const std::string *>(h->handlerData);
}

std::string sectionPath(HPRF h, const char *section)
{
    return rootOf(h) + "\\" + section;
}

// Copies a '~' list into the caller's buffer as far as it fits.
void giveList(const std::string &list, PRFREQUEST *rq)
{
    rq->length = (ULONG)list.size();
    if (rq->data && rq->size) {
        ULONG n = std::min<ULONG>(rq->size - 1, (ULONG)list.size());
        memcpy(rq->data, list.data(), n);
        ((char *)rq->data)[n] = 0;
    }
}

USHORT open(HPRF h, const char *subKey)
{
    if (!subKey || !*subKey)
        return ORIN_ERR_GENERAL;
    h->handlerData = reinterpret_cast<ULONG_PTR>(new std::string(std::string(kRegistryRoot) + subKey));
    return 0;
}

USHORT createSection(HPRF h, const char *section)
{
    RegKey k;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, sectionPath(h, section).c_str(), 0, NULL, 0,
                        KEY_WRITE, NULL, k.out(), &disposition) != ERROR_SUCCESS)
        return ORIN_ERR_ACCESS_DENIED;
    return disposition == REG_OPENED_EXISTING_KEY ? PRF_ERR_EXISTS : 0;
}

USHORT destroySection(HPRF h, const char *section)
{
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, sectionPath(h, section).c_str()) == ERROR_SUCCESS
               ? 0 : ORIN_ERR_NO_KEY;
}

USHORT dataTypeOf(DWORD regType)
{
    return regType == REG_SZ ? PRF_TYPE_STRING : regType == REG_DWORD ? kTypeUlong : PRF_TYPE_BINARY;
}

// A value larger than the caller's buffer is cut to it (the size query
// tells the whole length), as the other handlers do.
USHORT read(HPRF h, PRFREQUEST *rq)
{
    RegKey k;
    if (!k.open(sectionPath(h, rq->section), KEY_READ))
        return ORIN_ERR_NO_KEY;
    DWORD type = 0, size = rq->data ? rq->size : 0;
    LONG r = RegQueryValueExA(k.get(), rq->key, NULL, &type, (BYTE *)rq->data, &size);
    if (r == ERROR_MORE_DATA && rq->data) {
        std::vector<BYTE> whole(size);
        r = RegQueryValueExA(k.get(), rq->key, NULL, &type, whole.data(), &size);
        size = std::min<DWORD>(size, rq->size);
        if (r == ERROR_SUCCESS)
            memcpy(rq->data, whole.data(), size);
    }
    if (r != ERROR_SUCCESS)
        return ORIN_ERR_NO_KEY;
    rq->length = size;
    rq->dataType = dataTypeOf(type);
    return 0;
}

USHORT listSections(HPRF h, PRFREQUEST *rq)
{
    RegKey k;
    if (!k.open(rootOf(h), KEY_READ))
        return ORIN_ERR_NO_KEY;
    std::string list;
    char name[MAX_PATH + 1];
    for (DWORD i = 0;; i++) {
        DWORD n = sizeof name;
        if (RegEnumKeyExA(k.get(), i, name, &n, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        list.append(name, n).push_back(PRF_LIST_SEPARATOR);
    }
    giveList(list, rq);
    return 0;
}

USHORT listKeys(HPRF h, PRFREQUEST *rq)
{
    RegKey k;
    if (!k.open(sectionPath(h, rq->section), KEY_READ))
        return ORIN_ERR_NO_KEY;
    std::string list;
    DWORD longest = 0;
    RegQueryInfoKeyA(k.get(), NULL, NULL, NULL, NULL, NULL, NULL, NULL, &longest, NULL, NULL, NULL);
    std::vector<char> name(longest + 2);
    for (DWORD i = 0;; i++) {
        DWORD n = (DWORD)name.size();
        if (RegEnumValueA(k.get(), i, name.data(), &n, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (n > 0)                                  // not the unnamed default value
            list.append(name.data(), n).push_back(PRF_LIST_SEPARATOR);
    }
    giveList(list, rq);
    return 0;
}

USHORT write(HPRF h, PRFREQUEST *rq)
{
    RegKey k;
    if (!k.open(sectionPath(h, rq->section), KEY_WRITE))
        return ORIN_ERR_NO_KEY;
    LONG r;
    if (!rq->data) {
        r = RegDeleteValueA(k.get(), rq->key);
    } else if (rq->dataType == PRF_TYPE_STRING) {
        std::string text((const char *)rq->data, rq->size);
        r = RegSetValueExA(k.get(), rq->key, 0, REG_SZ, (const BYTE *)text.c_str(),
                           (DWORD)text.size() + 1);
    } else if (rq->dataType == kTypeUlong) {
        DWORD v = 0;
        memcpy(&v, rq->data, std::min<ULONG>(rq->size, kDwordSize));
        r = RegSetValueExA(k.get(), rq->key, 0, REG_DWORD, (const BYTE *)&v, kDwordSize);
    } else {
        r = RegSetValueExA(k.get(), rq->key, 0, REG_BINARY, (const BYTE *)rq->data, rq->size);
    }
    return r == ERROR_SUCCESS ? 0 : ORIN_ERR_NO_KEY;
}

ULONG serve(HPRF h, PRFCMD msg, void *param)
{
    PRFREQUEST *rq = (PRFREQUEST *)param;
    if (msg == PRF_CMD_OPEN)
        return open(h, (const char *)param);
    if (!h->handlerData)
        return ORIN_ERR_INVALID_HANDLE;
    switch (msg) {
    case PRF_CMD_CLOSE:
        delete reinterpret_cast<std::string *>(h->handlerData);
        h->handlerData = 0;
        return 0;
    case PRF_CMD_CREATESECTION:
        return param ? createSection(h, (const char *)param) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_DESTROYSECTION:
        return param ? destroySection(h, (const char *)param) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_READ:
        return rq && rq->section && rq->key ? read(h, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_LISTSECTIONS:
        return rq ? listSections(h, rq) : ORIN_ERR_INVALID_PARAM;
    case PRF_CMD_LISTKEYS:
        return rq && rq->section ? listKeys(h, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_WRITE:
        return rq && rq->section && rq->key ? write(h, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_READOFFSET:
    case PRF_CMD_WRITEOFFSET:
    case PRF_CMD_SETSIZE:
        return ORIN_ERR_NOT_SUPPORTED;
    default:
        return 0;
    }
}

}  // namespace

}  // namespace orin::prf

ULONG ORINAPI PrfWinRegHandler(HPRF h, PRFCMD msg, void *param) noexcept
{
    return orin::guardCode([&]() -> USHORT {
        return prfIsValid(h) ? (USHORT)orin::prf::serve(h, msg, param) : ORIN_ERR_INVALID_HANDLE;
    });
}

HPRF ORINAPI PrfWinRegHandlerOpen(const char *subKey) noexcept
{
    HPRF h = NULL;
    return PrfOpenHandler(PrfWinRegHandler, (void *)subKey, &h) == 0 ? h : NULL;
}
