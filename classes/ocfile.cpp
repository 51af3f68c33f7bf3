/*
 * ocfile.cpp - OcFbf and OcFile: thin objects over one buffered file or
 * one plain file.
 *
 * Every member forwards to the family call, keeps its code in
 * m_lastError and turns it into 1 (success) or 0 (failure).  A member
 * called while no file is open answers 0 with the invalid-handle code.
 * Moving an object hands its file over; the source is left closed.
 */
#include <utility>
#include "ocfile.h"

/* ---- OcFbf ---- */

OcFbf::OcFbf() : m_handle(nullptr), m_lastError(0) {}

OcFbf::~OcFbf()
{
    if (m_handle != nullptr)
        FbfClose(m_handle);
}

OcFbf::OcFbf(OcFbf &&other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_lastError(other.m_lastError)
{
}

OcFbf &OcFbf::operator=(OcFbf &&other) noexcept
{
    if (this != &other) {
        if (m_handle != nullptr)
            FbfClose(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
        m_lastError = other.m_lastError;
    }
    return *this;
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

    if (m_handle != nullptr)
        Close();
    if (nameSpace == nullptr)
        nameSpace = KnlNamGetDefaultNS();
    return Result(FbfOpen(reinterpret_cast<ULONG_PTR>(nameSpace), name, &m_handle, &action, initialSize,
                          attribute, openFlags, openMode, 0));
}

int OcFbf::Close()
{
    USHORT rc = FbfClose(m_handle);    /* invalid handle when none is open */
    m_handle = nullptr;
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
    return FileLocks(nullptr, &range);
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

OcFile::OcFile() : m_nameSpace(nullptr), m_handle(0), m_open(0), m_lastError(0) {}

OcFile::~OcFile()
{
    if (m_open)
        KnlNamClose(m_nameSpace, m_handle);
}

OcFile::OcFile(OcFile &&other) noexcept
    : m_nameSpace(other.m_nameSpace), m_handle(other.m_handle),
      m_open(std::exchange(other.m_open, 0)), m_lastError(other.m_lastError)
{
}

OcFile &OcFile::operator=(OcFile &&other) noexcept
{
    if (this != &other) {
        if (m_open)
            KnlNamClose(m_nameSpace, m_handle);
        m_nameSpace = other.m_nameSpace;
        m_handle = other.m_handle;
        m_open = std::exchange(other.m_open, 0);
        m_lastError = other.m_lastError;
    }
    return *this;
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
    m_nameSpace = nameSpace != nullptr ? nameSpace : KnlNamGetDefaultNS();
    if (name == nullptr)
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
    if (buffer == nullptr && count != 0)
        return Result(ORIN_ERR_INVALID_PARAM);
    USHORT rc = KnlNamRead(m_nameSpace, m_handle, buffer, count, &done);
    if (read != nullptr)
        *read = done;
    return Result(rc);
}

int OcFile::Write(const void *buffer, ULONG count, ULONG *written)
{
    ULONG done = 0;

    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    if (buffer == nullptr && count != 0)
        return Result(ORIN_ERR_INVALID_PARAM);
    USHORT rc = KnlNamWrite(m_nameSpace, m_handle, buffer, count, &done);
    if (written != nullptr)
        *written = done;
    return Result(rc);
}

int OcFile::ChgFilePtr(LONG distance, ULONG method, ULONG *newPos)
{
    ULONG pos = 0;

    if (!m_open)
        return Result(ORIN_ERR_INVALID_HANDLE);
    USHORT rc = KnlNamChgFilePtr(m_nameSpace, m_handle, distance, method, &pos);
    if (newPos != nullptr)
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
    return FileLocks(nullptr, &range);
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
    if (length == nullptr)
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
