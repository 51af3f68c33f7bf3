/*
 * ocfile.h - file classes: OcFbf over a buffered file and OcFile over a
 * plain operating-system file opened by name.
 *
 * Each object holds one handle and the code of its last failure.  The
 * member functions return 1 for success and 0 for failure; the code is
 * then in LastError().  The destructor closes a handle still open.  An
 * object owns its handle alone: it cannot be copied, only moved, which
 * leaves the source with no file open.
 */
#ifndef OCFILE_H
#define OCFILE_H

#include "fbf.h"
#include "knlnam.h"

#ifdef __cplusplus

class ORIN_CLASS OcFbf {
public:
    OcFbf();
    virtual ~OcFbf();
    OcFbf(const OcFbf &) = delete;
    OcFbf &operator=(const OcFbf &) = delete;
    OcFbf(OcFbf &&other) noexcept;
    OcFbf &operator=(OcFbf &&other) noexcept;

    int Open(const char *name, ULONG openFlags = VBF_OPEN_EXISTING,
             ULONG openMode = VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE,
             ULONG attribute = VBF_ATTR_NORMAL, ULONG initialSize = 0, void *nameSpace = NULL);
    int Close();
    int Read(void *buffer, ULONG count, ULONG *read = NULL);
    int Write(const void *buffer, ULONG count, ULONG *written = NULL);
    int ChgFilePtr(LONG distance, ULONG method = VBF_FILE_BEGIN, ULONG *newPos = NULL);
    int FileLocks(FILELOCK *unlockRange, FILELOCK *lockRange);
    int LockRange(ULONG offset, ULONG length);
    int NewSize(ULONG newLength);
    int QueryFileSize(ULONG *length);
    int AtEof();
    ULONG Tell() const;
    USHORT LastError() const { return m_lastError; }
    HFBF Handle() const { return m_handle; }

protected:
    int Result(USHORT rc);

    HFBF   m_handle;
    USHORT m_lastError;
};

class ORIN_CLASS OcFile {
public:
    OcFile();
    virtual ~OcFile();
    OcFile(const OcFile &) = delete;
    OcFile &operator=(const OcFile &) = delete;
    OcFile(OcFile &&other) noexcept;
    OcFile &operator=(OcFile &&other) noexcept;

    int Open(const char *name, ULONG openFlags = KNLNAM_OPEN_EXISTING,
             ULONG openMode = KNLNAM_ACCESS_READWRITE | KNLNAM_SHARE_DENYNONE,
             ULONG attribute = 0, ULONG initialSize = 0, void *nameSpace = NULL);
    int Close();
    int Read(void *buffer, ULONG count, ULONG *read = NULL);
    int Write(const void *buffer, ULONG count, ULONG *written = NULL);
    int ChgFilePtr(LONG distance, ULONG method = KNLNAM_SEEK_BEGIN, ULONG *newPos = NULL);
    int FileLocks(FILELOCK *unlockRange, FILELOCK *lockRange);
    int LockRange(ULONG offset, ULONG length);
    int NewSize(ULONG newLength);
    int QueryFileSize(ULONG *length);
    int AtEof();
    USHORT LastError() const { return m_lastError; }
    int IsOpen() const { return m_open; }

protected:
    int Result(USHORT rc);

    void    *m_nameSpace;
    KNLHFILE m_handle;
    int      m_open;
    USHORT   m_lastError;
};

#endif /* __cplusplus */

#endif /* OCFILE_H */
