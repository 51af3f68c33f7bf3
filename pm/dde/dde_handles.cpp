/*
 * dde_handles.cpp - string and data handles: thin forwards to the system
 * with the process's instance, code page 1004 and the text format, and the
 * owners the conversation calls use for the handles they make.
 */
#include "pm/dde/ddeint.h"

namespace orin::dde {

StringHandle::StringHandle(const char *text) noexcept
    : m_instance(instance()), m_hsz(nullptr), m_failed(false)
{
    if (text == nullptr)
        return;
    m_hsz = DdeCreateStringHandleA(m_instance, text, OPMDDE_CODEPAGE);
    m_failed = m_hsz == nullptr;
}

StringHandle::~StringHandle()
{
    if (m_hsz != nullptr)
        DdeFreeStringHandle(m_instance, m_hsz);
}

}  // namespace orin::dde

using namespace orin::dde;

namespace {

inline USHORT okOrFail(BOOL done)
{
    return done ? 0 : kFail;
}

}  // namespace

HSZ ORINAPI OpmDdeCreateStringHandle(const char *text) noexcept
{
    if (text == nullptr)
        return nullptr;
    return DdeCreateStringHandleA(instance(), text, OPMDDE_CODEPAGE);
}

USHORT ORINAPI OpmDdeKeepStringHandle(HSZ hsz) noexcept
{
    return okOrFail(DdeKeepStringHandle(instance(), hsz));
}

USHORT ORINAPI OpmDdeFreeStringHandle(HSZ hsz) noexcept
{
    return okOrFail(DdeFreeStringHandle(instance(), hsz));
}

DWORD ORINAPI OpmDdeQueryString(HSZ hsz, char *buffer, DWORD size) noexcept
{
    return DdeQueryStringA(instance(), hsz, buffer, size, OPMDDE_CODEPAGE);
}

int ORINAPI OpmDdeCmpStringHandles(HSZ a, HSZ b) noexcept
{
    return DdeCmpStringHandles(a, b);
}

HDDEDATA ORINAPI OpmDdeCreateDataHandle(const void *data, DWORD length, HSZ item,
                                        UINT commands) noexcept
{
    return DdeCreateDataHandle(instance(), static_cast<LPBYTE>(const_cast<void *>(data)), length,
                               0, item, OPMDDE_FORMAT, commands);
}

USHORT ORINAPI OpmDdeFreeDataHandle(HDDEDATA data) noexcept
{
    return okOrFail(DdeFreeDataHandle(data));
}

USHORT ORINAPI OpmDdeUnaccessData(HDDEDATA data) noexcept
{
    return okOrFail(DdeUnaccessData(data));
}

HDDEDATA ORINAPI OpmDdeAddData(HDDEDATA data, const void *source, DWORD length,
                               DWORD offset) noexcept
{
    return DdeAddData(data, static_cast<LPBYTE>(const_cast<void *>(source)), length, offset);
}

DWORD ORINAPI OpmDdeGetData(HDDEDATA data, void *target, DWORD size, DWORD offset) noexcept
{
    return DdeGetData(data, static_cast<LPBYTE>(target), size, offset);
}

BYTE *ORINAPI OpmDdeAccessData(HDDEDATA data, DWORD *size) noexcept
{
    return DdeAccessData(data, size);
}

USHORT ORINAPI OpmDdePostAdvise(const char *topic, const char *item) noexcept
{
    StringHandle topicName(topic), itemName(item);
    if (DdePostAdvise(instance(), topicName.get(), itemName.get()))
        return 0;
    return OpmDdeGetLastError();
}
