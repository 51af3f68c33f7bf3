/*
 * ocprf.cpp - OcPrf: a thin object over one open profile.
 *
 * Every member forwards to the Prf call, keeps its code in m_lastError,
 * counts a non-zero code in m_errCount and turns the code into 1 (success)
 * or 0 (failure).  The Prf calls answer 6 for a null handle themselves, so
 * a member called while nothing is open fails and counts like any other.
 *
 * Open tries the profile-file handler first.  A file in the first format
 * makes that handler answer PRF_ERR_OLDVERSION; the object then hands the
 * file to the legacy opener and remembers that it did (m_legacy).
 *
 * OpenTemp lets the file-name layer make a unique temporary file, closes
 * and removes it at once and opens a new profile under the name; Close
 * removes the file again.
 *
 * Enumerate reads the '~'-separated list of sections or keys, keeps the
 * names that begin with the prefix and returns them as a string list.
 */
#include <stdlib.h>
#include <string.h>
#include <string>
#include <utility>
#include "ocprf.h"
#include "frame/boundary.h"
#include "frame/scope.h"
#include "str.h"
#include "strlst.h"

constexpr char LIST_SEPARATOR = '~';

/* Opens a profile file in the first format with its own handler. */
static USHORT openLegacyProfile(void *nameSpace, HPRF *h, const char *fileName,
                                USHORT openFlags, VBFFUNCS *funcStruct)
{
    constexpr USHORT kFirstFit = 0x0020;   // the block-file flags every profile is made with
    PRFFALOPEN rec = {nameSpace, fileName, kFirstFit, openFlags, funcStruct};
    *h = NULL;
    return PrfOpenHandler(PrfFal100Handler, &rec, h);
}

OcPrf::OcPrf()
    : m_handle(NULL), m_nameSpace(NULL), m_temp(0), m_legacy(0), m_lastError(0), m_errCount(0)
{
    m_fileName[0] = 0;
}

OcPrf::~OcPrf()
{
    if (m_handle != NULL)
        Close();
}

OcPrf::OcPrf(OcPrf &&other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_nameSpace(other.m_nameSpace),
      m_temp(std::exchange(other.m_temp, 0)), m_legacy(std::exchange(other.m_legacy, 0)),
      m_lastError(other.m_lastError), m_errCount(other.m_errCount)
{
    memcpy(m_fileName, other.m_fileName, sizeof m_fileName);
    other.m_fileName[0] = 0;
}

OcPrf &OcPrf::operator=(OcPrf &&other) noexcept
{
    if (this != &other) {
        if (m_handle != NULL)
            Close();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_nameSpace = other.m_nameSpace;
        m_temp = std::exchange(other.m_temp, 0);
        m_legacy = std::exchange(other.m_legacy, 0);
        m_lastError = other.m_lastError;
        m_errCount = other.m_errCount;
        memcpy(m_fileName, other.m_fileName, sizeof m_fileName);
        other.m_fileName[0] = 0;
    }
    return *this;
}

int OcPrf::Result(USHORT rc)
{
    m_lastError = rc;
    if (rc)
        m_errCount++;
    return rc == 0;
}

int OcPrf::Open(void *nameSpace, const char *fileName, USHORT openFlags,
                VBFFUNCS *funcStruct)
{
    USHORT rc;

    if (m_handle != NULL)
        Close();
    m_temp = 0;
    m_legacy = 0;
    m_fileName[0] = 0;
    if (!fileName || !*fileName)
        return Result(ORIN_ERR_INVALID_PARAM);
    if (strlen(fileName) >= sizeof m_fileName)
        return Result(ORIN_ERR_INVALID_NAME);
    rc = PrfOpenProfileOnVbf(nameSpace, &m_handle, fileName, openFlags, funcStruct);
    if (rc == PRF_ERR_OLDVERSION) {
        rc = openLegacyProfile(nameSpace, &m_handle, fileName, openFlags, funcStruct);
        m_legacy = rc == 0;
    }
    if (rc) {
        m_handle = NULL;
        return Result(rc);
    }
    m_nameSpace = nameSpace;
    strcpy(m_fileName, fileName);
    return Result(0);
}

int OcPrf::OpenTemp(USHORT openFlags, VBFFUNCS *funcStruct)
{
    char name[KNLNAM_MAXPATH];
    KNLHFILE file = 0;
    USHORT rc;

    if (m_handle != NULL)
        Close();
    rc = KnlNamCreateTempFile(NULL, NULL, 0, &file, name, sizeof name);
    if (rc)
        return Result(rc);
    KnlNamClose(NULL, file);
    rc = KnlNamDelete(NULL, name);
    if (rc)
        return Result(rc);
    if (!Open(NULL, name, (USHORT)(openFlags & ~PRF_OPEN_READONLY), funcStruct))
        return 0;
    m_temp = 1;
    return 1;
}

/* Closing always releases the handle; removing a temporary file that is
 * already gone (a profile kept by another back-end never had one) is not
 * a failure. */
int OcPrf::Close()
{
    USHORT rc;

    if (m_handle == NULL)
        return Result(ORIN_ERR_INVALID_HANDLE);
    rc = PrfCloseProfile(m_handle);
    m_handle = NULL;
    if (m_temp) {
        USHORT del = KnlNamDelete(m_nameSpace, m_fileName);
        if (!rc && del != ORIN_ERR_FILE_NOT_FOUND)
            rc = del;
        m_temp = 0;
    }
    m_legacy = 0;
    return Result(rc);
}

int OcPrf::QueryString(const char *section, const char *key, char *buffer, ULONG size,
                       const char *defaultValue)
{
    return Result(PrfQueryProfileString(m_handle, section, key, defaultValue, buffer, size));
}

int OcPrf::WriteString(const char *section, const char *key, const char *value)
{
    return Result(PrfWriteProfileString(m_handle, section, key, value));
}

int OcPrf::QueryData(const char *section, const char *key, void *buffer, ULONG *size)
{
    return Result(PrfQueryProfileData(m_handle, section, key, buffer, size));
}

int OcPrf::WriteData(const char *section, const char *key, const void *data, ULONG length)
{
    return Result(PrfWriteProfileData(m_handle, section, key, data, length));
}

int OcPrf::QuerySize(const char *section, const char *key, ULONG *size)
{
    return Result(PrfQueryProfileSize(m_handle, section, key, size));
}

int OcPrf::QueryLong(const char *section, const char *key, LONG *value)
{
    return Result(PrfQueryProfileLong(m_handle, section, key, value));
}

int OcPrf::WriteLong(const char *section, const char *key, LONG value)
{
    return Result(PrfWriteProfileLong(m_handle, section, key, value));
}

int OcPrf::CreateSection(const char *section)
{
    return Result(PrfCreateSection(m_handle, section));
}

int OcPrf::DeleteSection(const char *section)
{
    return Result(PrfDestroySection(m_handle, section));
}

/* Writing no data deletes a key; a null key would delete every key of the
 * section, which is not what deleting one key means. */
int OcPrf::DeleteKey(const char *section, const char *key)
{
    if (!key)
        return Result(ORIN_ERR_INVALID_NAME);
    return Result(PrfWriteProfileData(m_handle, section, key, NULL, 0));
}

int OcPrf::LockSection(const char *section, BOOL create, BOOL lock)
{
    return Result(PrfLockSection(m_handle, section, create, lock));
}

int OcPrf::Transaction(BOOL begin)
{
    return Result(PrfTransaction(m_handle, begin));
}

int OcPrf::CheckConsistent()
{
    return Result(PrfCheckConsistent(m_handle));
}

/* True when name begins with prefix, character by character. */
static bool hasPrefix(const char *name, const char *prefix, size_t prefixChars,
                      BOOL caseSensitive)
{
    if (prefixChars == 0)
        return true;
    return (caseSensitive ? StrCNCmp(name, prefix, prefixChars)
                          : StrCNICmp(name, prefix, prefixChars)) == 0;
}

/* The names of a '~' list that begin with prefix, each followed by '~'. */
static std::string keepPrefixed(char *names, const char *prefix, BOOL caseSensitive)
{
    std::string kept;
    size_t prefixChars = prefix ? StrCLen(prefix) : 0;
    for (char *name = names; *name;) {
        char *end = StrChr(name, LIST_SEPARATOR);
        if (end)
            *end = 0;
        if (hasPrefix(name, prefix, prefixChars, caseSensitive)) {
            kept += name;
            kept += (char)LIST_SEPARATOR;
        }
        if (!end)
            break;
        name = end + 1;
    }
    return kept;
}

char *OcPrf::Enumerate(const char *section, const char *prefix, BOOL caseSensitive)
{
    ULONG size = 0;
    std::string kept;

    if (!QuerySize(section, NULL, &size))
        return NULL;
    orin::UniqueMalloc<char> names((char *)malloc(size ? size : 1));
    if (!names) {
        Result(ORIN_ERR_NO_MEMORY);
        return NULL;
    }
    if (!Result(PrfQueryProfileString(m_handle, section, NULL, NULL, names.get(),
                                      size ? size : 1)))
        return NULL;
    USHORT rc = orin::guardCode([&] {
        kept = keepPrefixed(names.get(), prefix, caseSensitive);
        return USHORT(0);
    });
    if (rc) {
        Result(rc);
        return NULL;
    }
    /* A string list holds at most STRLST_MAX_BYTES bytes. */
    if (kept.size() + 2 > STRLST_MAX_BYTES) {
        Result(ORIN_ERR_BUFFER_TOO_SMALL);
        return NULL;
    }
    char *list = StrLstCreateList(kept.c_str(), LIST_SEPARATOR);
    if (!list)
        Result(ORIN_ERR_NO_MEMORY);
    return list;
}
