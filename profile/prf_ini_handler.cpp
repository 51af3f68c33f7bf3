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
 * The handler's word holds a heap copy of the file name.
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

constexpr ULONG kReadStep = 256;

const char *fileOf(HPRF h)
{
    return reinterpret_cast<const std::string *>(h->handlerData)->c_str();
}

// The whole answer of GetPrivateProfileStringA, in a buffer that grows
// by kReadStep until the answer is shorter than the buffer allows.
std::string readAll(HPRF h, const char *section, const char *key)
{
    std::vector<char> buf;
    DWORD got;
    do {
        buf.resize(buf.size() + kReadStep);
        got = GetPrivateProfileStringA(section, key, "", buf.data(), (DWORD)buf.size(), fileOf(h));
    } while (got >= buf.size() - 2);
    return std::string(buf.data(), got);
}

USHORT open(HPRF h, const char *fileName)
{
    if (!fileName || !*fileName)
        return ORIN_ERR_GENERAL;
    h->handlerData = reinterpret_cast<ULONG_PTR>(new std::string(fileName));
    return 0;
}

USHORT read(HPRF h, PRFREQUEST *rq)
{
    if (!rq->data) {
        rq->length = (ULONG)readAll(h, rq->section, rq->key).size() + 1;
        return 0;
    }
    if (rq->size == 0) {
        rq->length = 0;
        return ORIN_ERR_NO_KEY;
    }
    DWORD got = GetPrivateProfileStringA(rq->section, rq->key, "", (char *)rq->data, rq->size,
                                         fileOf(h));
    rq->length = got;
    rq->dataType = PRF_TYPE_STRING;
    return got ? 0 : ORIN_ERR_NO_KEY;
}

// The key names come separated by zero bytes; the list has '~' instead.
// Into a buffer go the whole names that fit, as the other handlers do.
USHORT listKeys(HPRF h, PRFREQUEST *rq)
{
    std::string names = readAll(h, rq->section, NULL);
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

USHORT write(HPRF h, PRFREQUEST *rq)
{
    if (!rq->data) {
        WritePrivateProfileStringA(rq->section, rq->key, NULL, fileOf(h));
        return 0;
    }
    std::string text((const char *)rq->data, rq->size);
    WritePrivateProfileStringA(rq->section, rq->key, text.c_str(), fileOf(h));
    return 0;
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
    case PRF_CMD_DESTROYSECTION:
        if (param)
            WritePrivateProfileStringA((const char *)param, NULL, NULL, fileOf(h));
        return 0;
    case PRF_CMD_READ:
        return rq && rq->section && rq->key ? read(h, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_LISTSECTIONS:
        return ORIN_ERR_NO_KEY;
    case PRF_CMD_LISTKEYS:
        return rq && rq->section ? listKeys(h, rq) : ORIN_ERR_INVALID_NAME;
    case PRF_CMD_WRITE:
        return rq && rq->section ? write(h, rq) : ORIN_ERR_INVALID_NAME;
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

ULONG ORINAPI PrfWinIniHandler(HPRF h, PRFCMD msg, void *param) noexcept
{
    return orin::guardCode([&]() -> USHORT {
        return prfIsValid(h) ? (USHORT)orin::prf::serve(h, msg, param) : ORIN_ERR_INVALID_HANDLE;
    });
}

HPRF ORINAPI PrfWinIniHandlerOpen(const char *iniFileName) noexcept
{
    HPRF h = NULL;
    return PrfOpenHandler(PrfWinIniHandler, (void *)iniFileName, &h) == 0 ? h : NULL;
}
