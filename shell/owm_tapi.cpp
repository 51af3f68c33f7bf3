/*
 * owm_tapi.cpp - the assisted-telephony binding: "TAPI32.DLL" with its
 * entry point "tapiRequestMakeCall", loaded for each call (or while a
 * call is in progress) and freed when its last use is released.
 */
#include <windows.h>
#include "owmmapi.h"
#include "shell/owm_binding.h"
#include "shell/owmint.h"

namespace orin::owm {
namespace {

typedef LONG(WINAPI RequestMakeCallFn)(LPCSTR destAddress, LPCSTR appName, LPCSTR calledParty,
                                       LPCSTR comment);

constexpr std::size_t kRequestMakeCall = 0;
CountedLibrary<1> tapi("TAPI32.DLL", {"tapiRequestMakeCall"});

}  // namespace

ULONG tapiUses() noexcept
{
    return tapi.uses();
}

}  // namespace orin::owm

using namespace orin::owm;

LONG ORINAPI OwmTapiRequestMakeCall(LPCSTR destAddress, LPCSTR appName, LPCSTR calledParty,
                                    LPCSTR comment) noexcept
{
    if (!tapi.acquire())
        return ORIN_ERR_GENERAL;
    LONG result = tapi.entry<RequestMakeCallFn>(kRequestMakeCall)(destAddress, appName,
                                                                   calledParty, comment);
    tapi.release();
    return result;
}
