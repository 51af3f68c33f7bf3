// DDE server for the conversation tests and the benchmark, a process of
// its own: dde_server_helper [service].  Registers the service (default
// "dde_server_helper") the way an application does at start-up, unless a
// server of that name already runs, and appends its process id to
// "<service>.starts" in the working folder.  Topics "Data" and the
// presence topic are accepted.  Requests answer "value of <item>", or the
// log of pokes and executes ("log"), or the number of open conversations
// ("conversations"); pokes and executes are logged; the execute "advise"
// posts an advise of item "tick", "quit" ends the server, as do 60 s
// without any transaction.
#include <windows.h>
#include <cstdio>
#include <string>
#include "opmdde.h"

namespace {

const char *service = "dde_server_helper";
HSZ topicData, topicPresence;
std::string logText;
int conversations = 0;
int ticks = 0;
DWORD lastActivity;
const DWORD kIdleLimitMs = 60000;
const UINT kPostAdvise = WM_APP + 1;

std::string text(HSZ hsz)
{
    char buf[256] = "";
    OpmDdeQueryString(hsz, buf, sizeof buf);
    return buf;
}

std::string dataText(HDDEDATA data)
{
    char buf[1024] = "";
    DWORD n = OpmDdeGetData(data, buf, sizeof buf - 1, 0);
    buf[n < sizeof buf ? n : sizeof buf - 1] = '\0';
    return buf;
}

HDDEDATA answer(const std::string &s, HSZ item)
{
    return OpmDdeCreateDataHandle(s.c_str(), (DWORD)s.size() + 1, item, 0);
}

HDDEDATA CALLBACK serve(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                        ULONG_PTR, ULONG_PTR)
{
    lastActivity = GetTickCount();
    switch (type) {
    case XTYP_CONNECT:
        return (HDDEDATA)(ULONG_PTR)(OpmDdeCmpStringHandles(hsz1, topicData) == 0 ||
                                     OpmDdeCmpStringHandles(hsz1, topicPresence) == 0);
    case XTYP_CONNECT_CONFIRM:
        conversations++;
        return nullptr;
    case XTYP_DISCONNECT:
        conversations--;
        return nullptr;
    case XTYP_REQUEST: {
        std::string item = text(hsz2);
        if (item == "log")
            return answer(logText, hsz2);
        if (item == "conversations")
            return answer(std::to_string(conversations), hsz2);
        return answer("value of " + item, hsz2);
    }
    case XTYP_POKE:
        logText += "poke " + text(hsz2) + "=" + dataText(data) + " fmt=" + std::to_string(format) + ";";
        return (HDDEDATA)DDE_FACK;
    case XTYP_EXECUTE: {
        std::string command = dataText(data);
        logText += "execute " + command + ";";
        if (command == "quit")
            PostQuitMessage(0);
        else if (command == "advise")  // posted once this transaction is answered
            PostThreadMessageA(GetCurrentThreadId(), kPostAdvise, 0, 0);
        return (HDDEDATA)DDE_FACK;
    }
    case XTYP_ADVSTART:
        return (HDDEDATA)TRUE;
    case XTYP_ADVREQ:
        return answer("tick " + std::to_string(ticks), hsz2);
    }
    return nullptr;
}

void noteStart()
{
    std::string name = std::string(service) + ".starts";
    FILE *f = fopen(name.c_str(), "ab");
    if (f) {
        fprintf(f, "%lu\n", GetCurrentProcessId());
        fclose(f);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc > 1)
        service = argv[1];
    noteStart();
    if (OpmDdeInitialize(serve, OPMDDE_APP_INIT_FLAGS) != 0)
        return 2;
    BOOL running = FALSE;
    USHORT rc = OpmDdeCheckOpmServer(service, &running);
    if (rc != 0 || running) {
        fprintf(stderr, "dde_server_helper: %s (%u)\n", running ? "already running" : "no check", rc);
        OpmDdeUninitialize();
        return 3;
    }
    topicData = OpmDdeCreateStringHandle("Data");
    topicPresence = OpmDdeCreateStringHandle(OpmDdeQueryPresenceTopic());
    HSZ name = OpmDdeCreateStringHandle(service);
    if (OpmDdeNameService(name, OPMDDE_DNS_REGISTER) == 0)
        return 4;
    lastActivity = GetTickCount();
    SetTimer(nullptr, 0, 500, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr &&
            GetTickCount() - lastActivity > kIdleLimitMs)
            break;
        if (msg.message == kPostAdvise && msg.hwnd == nullptr) {
            ticks++;
            OpmDdePostAdvise("Data", "tick");
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    OpmDdeNameService(name, DNS_UNREGISTER);
    OpmDdeFreeStringHandle(name);
    OpmDdeFreeStringHandle(topicData);
    OpmDdeFreeStringHandle(topicPresence);
    OpmDdeUninitialize();
    return 0;
}
