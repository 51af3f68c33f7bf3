/*
 * ocfile.cpp - OcFbf and OcFile: thin objects over one buffered file or
 * one plain file.
 *
 * Every member forwards to the family call, keeps its code in
 * m_lastError and turns it into 1 (success) or 0 (failure).  A member
 * called while no file is open answers 0 with the invalid-handle code.
 */
#include "ocfile.h"

/* ---- OcFbf ---- */

OcFbf::OcFbf() : m_handle(NULL), m_lastError(0) {}

OcFbf::~OcFbf()
{
    if (m_handle != NULL)
        FbfClose(m_handle);
}

int OcFbf::Result(USHORT rc)
{
    m_lastError = rc;
    return rc == 0;
}

int OcFbf::Open(const char *name, ULONG openFlags, ULONG openMode, ULONG attribute,
                ULONG initialSize, void *nameSpace)
{
    ULONG action = 0;

    if (m_handle != NULL)
        Close();
    if (nameSpace == NULL)
        nameSpace = KnlNamGetDefaultNS();
    return Result(FbfOpen((ULONG_PTR)nameSpace, name, &m_handle, &action, initialSize,
                          attribute, openFlags, openMode, 0));
}

int OcFbf::Close()
{
    USHORT rc = FbfClose(m_handle);    /* invalid handle when none is open */
    m_handle = NULL;
    return Result(rc);
}

int OcFbf::Read(void *buffer, ULONG count, ULONG *read)
{
    return Result(FbfRead(m_handle, buffer, count, read));
}

int OcFbf::Write(const void *buffer, ULONG count, ULONG *written)
{
    return Result(FbfWrite(m_handle, buffer, count, written));
}

int OcFbf::ChgFilePtr(LONG distance, ULONG method, ULONG *newPos)
{
    return Result(FbfChgFilePtr(m_handle, distance, method, newPos));
}

int OcFbf::FileLocks(FILELOCK *unlockRange, FILELOCK *lockRange)
{
    return Result(FbfFileLocks(m_handle, unlockRange, lockRange));
}

int OcFbf::LockRange(ULONG offset, ULONG length)
{
    FILELOCK range = {offset, length, 1};
    return FileLocks(NULL, &range);
}

int OcFbf::NewSize(ULONG newLength)
{
    return Result(FbfNewSize(m_handle, newLength));
}

int OcFbf::QueryFileSize(ULONG *length)
{
    return Result(FbfQueryLength(m_handle, length));
}

ULONG OcFbf::Tell() const
{
    return FbfTell(m_handle);
}

int OcFbf::AtEof()
{
    ULONG length = 0;

    if (!QueryFileSize(&length))
        return 1;
    return FbfTell(m_handle) >= length;
}

/* ---- OcFile ---- */

OcFile::OcFile() : m_nameSpace(NULL), m_handle(0), m_open(0), m_lastError(0) {}

OcFile::~OcFile()
{
    if (m_open)
        KnlNamClose(m_nameSpace, m_handle);
}

int OcFile::Result(USHORT rc)
{
    m_lastError = rc;
    return rc == 0;
}

int OcFile::Open(const char *name, ULONG openFlags, ULONG openMode, ULONG attribute,
                 ULONG initialSize, void *nameSpace)
{
    ULONG action = 0;
    USHORT rc;

    if (m_open)
        Close();
    m_nameSpace = nameSpace != NULL ? nameSpace : KnlNamGetDefaultNS();
    if (name == NULL)
        return Result(ORIN_ERR_INVALID_PARAM);
    rc = KnlNamOpen(m_nameSpace, name, &m_handle, &action, initialSize, attribute, openFlags,
                    openMode, 0);
    m_open = rc == 0;
    return Result(rc);
}

int OcFile::Close()
{
    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    m_open = 0;
    return Result(KnlNamClose(m_nameSpace, m_handle));
}

int OcFile::Read(void *buffer, ULONG count, ULONG *read)
{
    ULONG done = 0;

    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    if (buffer == NULL && count != 0)
        return Result(ORIN_ERR_INVALID_PARAM);
    USHORT rc = KnlNamRead(m_nameSpace, m_handle, buffer, count, &done);
    if (read != NULL)
        *read = done;
    return Result(rc);
}

int OcFile::Write(const void *buffer, ULONG count, ULONG *written)
{
    ULONG done = 0;

    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    if (buffer == NULL && count != 0)
        return Result(ORIN_ERR_INVALID_PARAM);
    USHORT rc = KnlNamWrite(m_nameSpace, m_handle, buffer, count, &done);
    if (written != NULL)
        *written = done;
    return Result(rc);
}

int OcFile::ChgFilePtr(LONG distance, ULONG method, ULONG *newPos)
{
    ULONG pos = 0;

    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    USHORT rc = KnlNamChgFilePtr(m_nameSpace, m_handle, distance, method, &pos);
    if (newPos != NULL)
        *newPos = pos;
    return Result(rc);
}

int OcFile::FileLocks(FILELOCK *unlockRange, FILELOCK *lockRange)
{
    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    return Result(KnlNamFileLocksEx(m_nameSpace, m_handle, unlockRange, lockRange));
}

int OcFile::LockRange(ULONG offset, ULONG length)
{
    FILELOCK range = {offset, length, 1};
    return FileLocks(NULL, &range);
}

int OcFile::NewSize(ULONG newLength)
{
    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    return Result(KnlNamNewSize(m_nameSpace, m_handle, newLength));
}

int OcFile::QueryFileSize(ULONG *length)
{
    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    if (length == NULL)
        return Result(ORIN_ERR_INVALID_PARAM);
    return Result(KnlNamQFileSize(m_nameSpace, m_handle, length));
}

int OcFile::AtEof()
{
    ULONG length = 0, pos = 0;

    if (!QueryFileSize(&length) || !ChgFilePtr(0, KNLNAM_SEEK_CURRENT, &pos))
        return 1;
    return pos >= length;
}
