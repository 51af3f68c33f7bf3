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
 * The profile's name is its key path (prf_store_handler.h).
 */
#include <windows.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "profile/prf_store_handler.h"

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

std::string sectionPath(const std::string &root, const char *section)
{
    return root + "\\" + section;
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

USHORT createSection(const std::string &root, const char *section)
{
    RegKey k;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, sectionPath(root, section).c_str(), 0, NULL, 0,
                        KEY_WRITE, NULL, k.out(), &disposition) != ERROR_SUCCESS)
        return ORIN_ERR_ACCESS_DENIED;
    return disposition == REG_OPENED_EXISTING_KEY ? PRF_ERR_EXISTS : 0;
}

USHORT destroySection(const std::string &root, const char *section)
{
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, sectionPath(root, section).c_str()) == ERROR_SUCCESS
               ? 0 : ORIN_ERR_NO_KEY;
}

USHORT dataTypeOf(DWORD regType)
{
    return regType == REG_SZ ? PRF_TYPE_STRING : regType == REG_DWORD ? kTypeUlong : PRF_TYPE_BINARY;
}

// A value larger than the caller's buffer is cut to it (the size query
// tells the whole length), as the other handlers do.
USHORT read(const std::string &root, PRFREQUEST *rq)
{
    RegKey k;
    if (!k.open(sectionPath(root, rq->section), KEY_READ))
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

USHORT listSections(const std::string &root, PRFREQUEST *rq)
{
    RegKey k;
    if (!k.open(root, KEY_READ))
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

USHORT listKeys(const std::string &root, PRFREQUEST *rq)
{
    RegKey k;
    if (!k.open(sectionPath(root, rq->section), KEY_READ))
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

USHORT write(const std::string &root, PRFREQUEST *rq)
{
    RegKey k;
    if (!rq->key)
        return ORIN_ERR_INVALID_NAME;
    if (!k.open(sectionPath(root, rq->section), KEY_WRITE))
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

struct Registry {
    static std::string nameFor(const char *subKey)
    {
        return *subKey ? std::string(kRegistryRoot) + subKey : std::string();
    }
    static USHORT createSection(const std::string &n, const char *s) { return orin::prf::createSection(n, s); }
    static USHORT destroySection(const std::string &n, const char *s) { return orin::prf::destroySection(n, s); }
    static USHORT read(const std::string &n, PRFREQUEST *rq) { return orin::prf::read(n, rq); }
    static USHORT listSections(const std::string &n, PRFREQUEST *rq) { return orin::prf::listSections(n, rq); }
    static USHORT listKeys(const std::string &n, PRFREQUEST *rq) { return orin::prf::listKeys(n, rq); }
    static USHORT write(const std::string &n, PRFREQUEST *rq) { return orin::prf::write(n, rq); }
};

}  // namespace

}  // namespace orin::prf

ULONG ORINAPI PrfWinRegHandler(HPRF h, PRFCMD msg, void *param) noexcept
{
    return orin::prf::storeHandler<orin::prf::Registry>(h, msg, param);
}

HPRF ORINAPI PrfWinRegHandlerOpen(const char *subKey) noexcept
{
    HPRF h = NULL;
    return PrfOpenHandler(PrfWinRegHandler, (void *)subKey, &h) == 0 ? h : NULL;
}
