/*
 * ocixd.cpp - OcIxd: a thin object over one Ixd index handle.
 *
 * Every member forwards to the Ixd call, stores the error word the call
 * left and turns the call's result into non-zero (success) or 0.  A member
 * called while no index is open answers 0 with the invalid-handle code.
 * A successful step that had to re-find a removed current key keeps the
 * call's warning (IXD_ERR_KEY_VANISHED) as its error, so Ok() tells the
 * two apart.  Moving an object hands its index over; the source is left
 * with none open.
 */
#include <utility>
#include "ocixd.h"

OcIxd::OcIxd() : m_ix(nullptr), m_lastError(0) {}

OcIxd::~OcIxd()
{
    if (m_ix != nullptr)
        IxdClose(m_ix);
}

OcIxd::OcIxd(OcIxd &&other) noexcept
    : m_ix(std::exchange(other.m_ix, nullptr)), m_lastError(other.m_lastError)
{
}

OcIxd &OcIxd::operator=(OcIxd &&other) noexcept
{
    if (this != &other) {
        if (m_ix != nullptr)
            IxdClose(m_ix);
        m_ix = std::exchange(other.m_ix, nullptr);
        m_lastError = other.m_lastError;
    }
    return *this;
}

int OcIxd::Result(USHORT rc)
{
    return rc == 0;
}

int OcIxd::NotOpen()
{
    m_lastError = ORIN_ERR_INVALID_HANDLE;
    return 0;
}

int OcIxd::Open(const char *name, USHORT keyLength, ULONG shared, VBFFUNCS *funcs)
{
    Close();
    m_ix = IxdOpen(name, keyLength, shared, funcs, &m_lastError);
    return m_ix != nullptr;
}

int OcIxd::Create(const char *name, USHORT keyLength, USHORT nodeSize, ULONG userAreaSize,
                  ULONG shared, VBFFUNCS *funcs)
{
    Close();
    m_ix = IxdCreate(name, keyLength, shared, nodeSize, userAreaSize, funcs, &m_lastError);
    return m_ix != nullptr;
}

void OcIxd::Attach(PIX ix)
{
    Close();
    m_ix = ix;
    m_lastError = 0;
}

int OcIxd::Close()
{
    if (m_ix == nullptr)
        return NotOpen();
    IxdClose(m_ix);
    m_ix = nullptr;
    m_lastError = 0;
    return 1;
}

int OcIxd::Enter(const void *key, ULONG record)
{
    return m_ix ? Result(IxdEnter(m_ix, key, record, &m_lastError)) : NotOpen();
}

int OcIxd::Remove(const void *key, ULONG record)
{
    return m_ix ? Result(IxdRemove(m_ix, key, record, &m_lastError)) : NotOpen();
}

int OcIxd::Retrieve(const void *key, ULONG record)
{
    return m_ix ? Result(IxdRetrieve(m_ix, key, record, &m_lastError)) : NotOpen();
}

int OcIxd::Search(const void *key, void *outKey, ULONG *record)
{
    return m_ix ? Result(IxdSearch(m_ix, key, outKey, record, &m_lastError)) : NotOpen();
}

int OcIxd::SearchBack(const void *key, void *outKey, ULONG *record)
{
    return m_ix ? Result(IxdSearchBack(m_ix, key, outKey, record, &m_lastError)) : NotOpen();
}

int OcIxd::SearchID(const void *key, ULONG record, void *outKey, ULONG *outRecord)
{
    if (!m_ix)
        return NotOpen();
    return Result(IxdSearchID(m_ix, key, record, outKey, outRecord, &m_lastError));
}

int OcIxd::First(void *outKey, ULONG *record)
{
    return m_ix ? Result(IxdFirst(m_ix, outKey, record, &m_lastError)) : NotOpen();
}

int OcIxd::Last(void *outKey, ULONG *record)
{
    return m_ix ? Result(IxdLast(m_ix, outKey, record, &m_lastError)) : NotOpen();
}

int OcIxd::Next(void *outKey, ULONG *record)
{
    return m_ix ? Result(IxdNext(m_ix, outKey, record, &m_lastError)) : NotOpen();
}

int OcIxd::Prev(void *outKey, ULONG *record)
{
    return m_ix ? Result(IxdPrev(m_ix, outKey, record, &m_lastError)) : NotOpen();
}

int OcIxd::Skip(SHORT count, void *outKey, ULONG *record)
{
    return m_ix ? Result(IxdSkipkey(m_ix, count, outKey, record, &m_lastError)) : NotOpen();
}

ULONG OcIxd::QueryNrKeys()
{
    ULONG n = 0;

    if (!m_ix)
        return NotOpen();
    return Result(IxdQueryNrKeys(m_ix, &n, &m_lastError)) ? n : 0;
}

/* The counting call has no error word: its result stands in for it. */
ULONG OcIxd::QueryNrRecords(const char *prefix)
{
    ULONG n = 0;

    if (!m_ix)
        return NotOpen();
    m_lastError = IxdGetNrRecords(m_ix, prefix, &n);
    return m_lastError == 0 ? n : 0;
}

int OcIxd::QueryTreeChanged()
{
    ULONG changed = 0;

    if (!m_ix)
        return NotOpen();
    return Result(IxdQueryTreeChanged(m_ix, &changed, &m_lastError)) ? static_cast<int>(changed) : 0;
}

USHORT OcIxd::QueryTreeVersion()
{
    USHORT version = 0;

    if (!m_ix)
        return static_cast<USHORT>(NotOpen());
    return Result(IxdQueryTreeVersion(m_ix, &version, &m_lastError)) ? version : 0;
}

USHORT OcIxd::QueryKeyBufLength()
{
    if (!m_ix)
        return static_cast<USHORT>(NotOpen());
    m_lastError = 0;
    return IxdQueryKeyBufLength(m_ix);
}

USHORT OcIxd::QueryKeyLength(const char *fileName)
{
    if (fileName)
        return IxdQueryKeySize(fileName, &m_lastError);
    if (!m_ix)
        return static_cast<USHORT>(NotOpen());
    m_lastError = 0;
    return IxdQueryKeyLength(m_ix);
}
