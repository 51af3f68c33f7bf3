/* A stand-in for the host's assisted-telephony library (TAPI32.DLL), for
 * tests: tapiRequestMakeCall leaves its arguments in the environment
 * variable FAKETAPI_CALL ("destination|application|party|comment", null
 * shown as "(null)") and answers the number in FAKETAPI_RESULT (default
 * 0), or TAPIERR_INVALDESTADDRESS (-4) for an empty destination. */
#include <windows.h>
#include <cstdlib>
#include <string>

namespace {

constexpr LONG kInvalidDestAddress = -4;

std::string show(LPCSTR text)
{
    return text ? text : "(null)";
}

}  // namespace

extern "C" __declspec(dllexport) LONG WINAPI tapiRequestMakeCall(LPCSTR dest, LPCSTR app,
                                                                 LPCSTR party, LPCSTR comment)
{
    std::string call = show(dest) + "|" + show(app) + "|" + show(party) + "|" + show(comment);
    SetEnvironmentVariableA("FAKETAPI_CALL", call.c_str());
    if (!dest || !*dest)
        return kInvalidDestAddress;
    char result[32];
    DWORD n = GetEnvironmentVariableA("FAKETAPI_RESULT", result, sizeof result);
    return n > 0 && n < sizeof result ? std::strtol(result, nullptr, 10) : 0;
}
