/*
 * prf_ini_handler.cpp - profiles kept in an INI file through the system's
 * private-profile calls.
 *
 * A profile opened with PrfWinIniHandlerOpen(fileName) reads and writes
 * that INI file with GetPrivateProfileStringA and
 * WritePrivateProfileStringA; the file name is handed to them as given
 * (so a name without a folder means the system's Windows folder, as for
 * those calls).  Values are text: an empty value reads as missing (211).
 * The section list is not served (211); sections need no creating;
 * offsets and sizes give 50; everything else succeeds doing nothing.
 *
 * The profile's name is the file name (prf_store_handler.h).
 */
#include <windows.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "profile/prf_store_handler.h"

namespace orin::prf {

namespace {

constexpr ULONG kReadStep = 256;

// The whole answer of GetPrivateProfileStringA, in a buffer that grows
// by kReadStep until the answer is shorter than the buffer allows.
std::string readAll(const std::string &file, const char *section, const char *key)
{
    std::vector<char> buf;
    DWORD got;
    do {
        buf.resize(buf.size() + kReadStep);
        got = GetPrivateProfileStringA(section, key, "", buf.data(), (DWORD)buf.size(), file.c_str());
    } while (got >= buf.size() - 2);
    return std::string(buf.data(), got);
}

USHORT read(const std::string &file, PRFREQUEST *rq)
{
    if (!rq->data) {
        rq->length = (ULONG)readAll(file, rq->section, rq->key).size() + 1;
        return 0;
    }
    if (rq->size == 0) {
        rq->length = 0;
        return ORIN_ERR_NO_KEY;
    }
    DWORD got = GetPrivateProfileStringA(rq->section, rq->key, "", (char *)rq->data, rq->size,
                                         file.c_str());
    rq->length = got;
    rq->dataType = PRF_TYPE_STRING;
    return got ? 0 : ORIN_ERR_NO_KEY;
}

// The key names come separated by zero bytes; the list has '~' instead.
// Into a buffer go the whole names that fit, as the other handlers do.
USHORT listKeys(const std::string &file, PRFREQUEST *rq)
{
    std::string names = readAll(file, rq->section, NULL);
    std::replace(names.begin(), names.end(), '\0', PRF_LIST_SEPARATOR);
    if (!rq->data) {
        rq->length = (ULONG)names.size();
        return names.empty() ? ORIN_ERR_NO_KEY : 0;
    }
    ULONG fits = 0;
    for (size_t end; (end = names.find(PRF_LIST_SEPARATOR, fits)) != std::string::npos
                     && end + 1 <= rq->size;)
        fits = (ULONG)end + 1;
    memcpy(rq->data, names.data(), fits);
    if (fits < rq->size)
        ((char *)rq->data)[fits] = 0;
    rq->length = fits;
    return names.empty() ? ORIN_ERR_NO_KEY : 0;
}

USHORT write(const std::string &file, PRFREQUEST *rq)
{
    if (!rq->data) {
        WritePrivateProfileStringA(rq->section, rq->key, NULL, file.c_str());
        return 0;
    }
    std::string text((const char *)rq->data, rq->size);
    WritePrivateProfileStringA(rq->section, rq->key, text.c_str(), file.c_str());
    return 0;
}

struct IniFile {
    static std::string nameFor(const char *fileName) { return fileName; }
    static USHORT createSection(const std::string &, const char *) { return 0; }
    static USHORT destroySection(const std::string &file, const char *section)
    {
        WritePrivateProfileStringA(section, NULL, NULL, file.c_str());
        return 0;
    }
    static USHORT read(const std::string &f, PRFREQUEST *rq) { return orin::prf::read(f, rq); }
    static USHORT listSections(const std::string &, PRFREQUEST *) { return ORIN_ERR_NO_KEY; }
    static USHORT listKeys(const std::string &f, PRFREQUEST *rq) { return orin::prf::listKeys(f, rq); }
    static USHORT write(const std::string &f, PRFREQUEST *rq) { return orin::prf::write(f, rq); }
};

}  // namespace

}  // namespace orin::prf

ULONG ORINAPI PrfWinIniHandler(HPRF h, PRFCMD msg, void *param) noexcept
{
    return orin::prf::storeHandler<orin::prf::IniFile>(h, msg, param);
}

HPRF ORINAPI PrfWinIniHandlerOpen(const char *iniFileName) noexcept
{
    HPRF h = NULL;
    return PrfOpenHandler(PrfWinIniHandler, (void *)iniFileName, &h) == 0 ? h : NULL;
}
