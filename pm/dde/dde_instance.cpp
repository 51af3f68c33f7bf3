/*
 * dde_instance.cpp - the process's DDE instance and the application
 * callback, name service, blocked callbacks and the presence test.
 *
 * The system calls DdeCallback, which hands all eight values to the
 * application's callback and gives back its result cut to 32 bits (sign
 * extended, so the block value 0xFFFFFFFF stays the system's block value).
 * A server tells it is running by accepting conversations on the presence
 * topic; OpmDdeCheckOpmServer opens one and closes it at once.
 */
#include "pm/dde/ddeint.h"

namespace orin::dde {

namespace {

DWORD ddeInstance = 0;
OPMDDECALLBACK appCallback = nullptr;

HDDEDATA CALLBACK DdeCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                              HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2)
{
    if (appCallback == nullptr)
        return nullptr;
    HDDEDATA result = appCallback(type, format, conv, hsz1, hsz2, data, data1, data2);
    auto low = static_cast<LONG>(reinterpret_cast<ULONG_PTR>(result));
    return reinterpret_cast<HDDEDATA>(static_cast<LONG_PTR>(low));
}

}  // namespace

DWORD instance() noexcept
{
    return ddeInstance;
}

}  // namespace orin::dde

using namespace orin::dde;

USHORT ORINAPI OpmDdeInitialize(OPMDDECALLBACK callback, ULONG flags) noexcept
{
    ddeInstance = 0;
    DWORD made = 0;
    UINT rc = DdeInitializeA(&made, DdeCallback, flags, 0);
    if (rc != DMLERR_NO_ERROR) {
        appCallback = nullptr;
        return static_cast<USHORT>(rc);
    }
    ddeInstance = made;
    appCallback = callback;
    return 0;
}

void ORINAPI OpmDdeUninitialize(void) noexcept
{
    if (ddeInstance != 0)
        DdeUninitialize(ddeInstance);
    ddeInstance = 0;
}

DWORD ORINAPI OpmDdeSetInstance(DWORD inst) noexcept
{
    DWORD previous = ddeInstance;
    ddeInstance = inst;
    return previous;
}

USHORT ORINAPI OpmDdeGetLastError(void) noexcept
{
    return static_cast<USHORT>(DdeGetLastError(ddeInstance));
}

LONG_PTR ORINAPI OpmDdeNameService(HSZ service, ULONG flags) noexcept
{
    if (ddeInstance == 0)
        return -1;
    return reinterpret_cast<LONG_PTR>(DdeNameService(ddeInstance, service, nullptr, flags));
}

BOOL ORINAPI OpmDdeEnableBlockedCallback(HCONV conv) noexcept
{
    return DdeEnableCallback(ddeInstance, conv, EC_ENABLEALL);
}

ULONG ORINAPI OpmDdeBlockCallback(void) noexcept
{
    return OPMDDE_BLOCK;
}

const char *ORINAPI OpmDdeQueryPresenceTopic(void) noexcept
{
    return OPMDDE_PRESENCE_TOPIC;
}

USHORT ORINAPI OpmDdeCheckOpmServer(const char *service, BOOL *running) noexcept
{
    if (running != nullptr)
        *running = FALSE;
    if (ddeInstance == 0)
        return kFail;
    StringHandle name(service), topic(OPMDDE_PRESENCE_TOPIC);
    if (name.failed() || topic.failed())
        return OpmDdeGetLastError();
    Conversation conv;
    if (conv.connect(name.get(), topic.get()) && running != nullptr)
        *running = TRUE;
    return 0;
}
