/*
 * dde_conv.cpp - conversations: connect and disconnect, text requests,
 * pokes and execute commands.
 *
 * Every transaction is synchronous, in the text format, with the 20-minute
 * time-out.  A poke carries an item; data sent without an item goes as an
 * execute command.  Names given as text become string handles for the one
 * call and are freed before it returns.
 * Around each transaction, dde_acks.cpp clears the acknowledgements some
 * hosts' servers send after a request's data.
 */
#include <cstring>
#include "pm/dde/ddeint.h"
#include "win.h"

namespace orin::dde {

Conversation::~Conversation()
{
    if (m_conv != nullptr)
        DdeDisconnect(m_conv);
}

bool Conversation::connect(HSZ service, HSZ topic) noexcept
{
    if (m_conv == nullptr)
        m_conv = DdeConnect(instance(), service, topic, nullptr);
    return m_conv != nullptr;
}

InputDisabled::InputDisabled(HWND hwnd) noexcept : m_hwnd(hwnd)
{
    if (m_hwnd != nullptr)
        WinEnableWindowInput(m_hwnd, FALSE);
}

InputDisabled::~InputDisabled()
{
    if (m_hwnd != nullptr)
        WinEnableWindowInput(m_hwnd, TRUE);
}

USHORT requestItem(HCONV conv, HSZ item, void *buffer, ULONG size) noexcept
{
    dropStaleAcks(conv);
    HDDEDATA answer = DdeClientTransaction(nullptr, 0, conv, item, OPMDDE_FORMAT,
                                           OPMDDE_XTYP_REQUEST, OPMDDE_TIMEOUT, nullptr);
    if (answer == nullptr)
        return kFail;
    awaitTrailingAck(conv);
    if (buffer != nullptr)
        DdeGetData(answer, static_cast<LPBYTE>(buffer), size, 0);
    DdeFreeDataHandle(answer);
    return 0;
}

USHORT sendData(HCONV conv, HSZ item, const void *data, DWORD length) noexcept
{
    UINT type = item != nullptr ? OPMDDE_XTYP_POKE : OPMDDE_XTYP_EXECUTE;
    dropStaleAcks(conv);
    HDDEDATA done = DdeClientTransaction(static_cast<LPBYTE>(const_cast<void *>(data)), length,
                                         conv, item, OPMDDE_FORMAT, type, OPMDDE_TIMEOUT, nullptr);
    if (done != nullptr)
        return 0;
    // A failure the host gave no error for still must not read as success.
    UINT error = DdeGetLastError(instance());
    return error != DMLERR_NO_ERROR ? static_cast<USHORT>(error) : kFail;
}

}  // namespace orin::dde

using namespace orin::dde;

HCONV ORINAPI OpmDdeConnect(const char *service, const char *topic) noexcept
{
    StringHandle serviceName(service), topicName(topic);
    if (serviceName.failed() || topicName.failed())
        return nullptr;
    return DdeConnect(instance(), serviceName.get(), topicName.get(), nullptr);
}

USHORT ORINAPI OpmDdeDisconnect(HCONV conv) noexcept
{
    return DdeDisconnect(conv) ? 0 : kFail;
}

USHORT ORINAPI OpmDdeRequest(HCONV conv, const char *item, char *buffer, ULONG size) noexcept
{
    StringHandle itemName(item);
    if (itemName.failed())
        return kFail;
    return requestItem(conv, itemName.get(), buffer, size);
}

USHORT ORINAPI OpmDdePoke(HCONV conv, const char *item, const char *text) noexcept
{
    if (text == nullptr)
        return kNoData;
    StringHandle itemName(item);
    if (itemName.failed())
        return OpmDdeGetLastError();
    return sendData(conv, itemName.get(), text, static_cast<DWORD>(strlen(text) + 1));
}
