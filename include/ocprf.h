/*
 * ocprf.h - OcPrf: an object over one open profile.
 *
 * The object holds the profile handle, the name space and file name it
 * was opened with, whether the file is a temporary one it made itself,
 * whether the file is in the first (legacy) format, the code of the last
 * call and a count of failed calls.  Every member forwards to the Prf
 * call of the same meaning, keeps its code (LastError / GetLastError),
 * counts a non-zero code as a failure and returns 1 for success and 0
 * for failure.  The destructor closes a profile still open.
 *
 * The object owns its handle: it cannot be copied; moving it hands the
 * open profile (and a temporary file's removal) to the target and leaves
 * the source closed.
 */
#ifndef OCPRF_H
#define OCPRF_H

#include "prf.h"
#include "knlnam.h"

#ifdef __cplusplus

class ORIN_CLASS OcPrf {
public:
    OcPrf();
    virtual ~OcPrf();
    OcPrf(const OcPrf &) = delete;
    OcPrf &operator=(const OcPrf &) = delete;
    OcPrf(OcPrf &&other) noexcept;
    OcPrf &operator=(OcPrf &&other) noexcept;

    /* Opens (or, unless read-only, creates) a profile file.  A temporary
     * profile made by OpenTemp is removed again by Close. */
    int Open(void *nameSpace, const char *fileName, USHORT openFlags = 0,
             VBFFUNCS *funcStruct = NULL);
    int OpenTemp(USHORT openFlags = 0, VBFFUNCS *funcStruct = NULL);
    int Close();

    int QueryString(const char *section, const char *key, char *buffer, ULONG size,
                    const char *defaultValue = NULL);
    int WriteString(const char *section, const char *key, const char *value);
    int QueryData(const char *section, const char *key, void *buffer, ULONG *size);
    int WriteData(const char *section, const char *key, const void *data, ULONG length);
    int QuerySize(const char *section, const char *key, ULONG *size);
    int QueryLong(const char *section, const char *key, LONG *value);
    int WriteLong(const char *section, const char *key, LONG value);
    int CreateSection(const char *section);
    int DeleteSection(const char *section);
    int DeleteKey(const char *section, const char *key);
    int LockSection(const char *section, BOOL create, BOOL lock);
    int Transaction(BOOL begin);
    int CheckConsistent();

    /* The names of all sections (section null) or of the keys of one
     * section that begin with prefix (null or "" keeps all), as a string
     * list of strlst.h; the caller releases it with free.  Null on
     * failure, with the code in GetLastError. */
    char *Enumerate(const char *section, const char *prefix = NULL, BOOL caseSensitive = FALSE);

    USHORT GetLastError() const { return m_lastError; }
    USHORT LastError() const { return m_lastError; }
    ULONG  GetErrCount() const { return m_errCount; }
    void   ResetErrCount() { m_errCount = 0; }
    HPRF   Handle() const { return m_handle; }
    int    IsOpen() const { return m_handle != NULL; }
    int    IsTemp() const { return m_temp; }
    int    IsLegacy() const { return m_legacy; }
    const char *FileName() const { return m_fileName; }
    void  *NameSpace() const { return m_nameSpace; }

protected:
    int Result(USHORT rc);

    HPRF   m_handle;
    void  *m_nameSpace;
    char   m_fileName[KNLNAM_MAXPATH];
    int    m_temp;
    int    m_legacy;
    USHORT m_lastError;
    ULONG  m_errCount;
};

#endif /* __cplusplus */

#endif /* OCPRF_H */
