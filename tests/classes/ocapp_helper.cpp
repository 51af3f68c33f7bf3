// A second application for the start-up tests: an OcApp that registers the
// DDE service named on its command line, writes "<service>.ready" with
// "dde 1" or "dde 0" (whether it registered), then runs its message loop.
// Topic "Data" answers the request "pid" with its process id; the execute
// "quit" ends it, as do 30 s without one.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "ocapp.h"

namespace {

const UINT kSafetyTimeoutMs = 30000;
std::string service = "OcAppTestService";

std::string text(HSZ hsz)
{
    char buf[256] = "";
    OpmDdeQueryString(hsz, buf, sizeof buf);
    return buf;
}

HDDEDATA CALLBACK serve(UINT type, UINT, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                        ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT: {
        std::string topic = text(hsz1);
        return (HDDEDATA)(ULONG_PTR)(topic == "Data" || topic == OPMDDE_PRESENCE_TOPIC);
    }
    case XTYP_REQUEST:
        if (text(hsz2) == "pid") {
            std::string pid = std::to_string(GetCurrentProcessId());
            return OpmDdeCreateDataHandle(pid.c_str(), (DWORD)pid.size() + 1, hsz2, 0);
        }
        return nullptr;
    case XTYP_EXECUTE: {
        char command[32] = "";
        OpmDdeGetData(data, command, sizeof command - 1, 0);
        if (strcmp(command, "quit") == 0)
            PostQuitMessage(0);
        return (HDDEDATA)DDE_FACK;
    }
    default:
        return nullptr;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        service = argv[1];
    OcApp app(nullptr, service.c_str(), serve);
    FILE *ready = fopen((service + ".ready").c_str(), "w");
    if (ready != nullptr) {
        fprintf(ready, "dde %d\n", app.IsDdeInit() ? 1 : 0);
        fclose(ready);
    }
    SetTimer(nullptr, 0, kSafetyTimeoutMs, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(1); });
    return app.Dispatch();
}
