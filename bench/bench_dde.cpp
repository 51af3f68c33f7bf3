// bench_dde.cpp - DDE request round trips per second between this process
// and a server process (the tests' dde_server_helper), through OpmDdeRequest
// and OpmDdeFullRequest next to the same exchanges made with the raw DDE
// management calls, in the same run (best of three alternating rounds).
// The raw loop also takes the acknowledgement this host's servers post
// after a request's data, as any client of one conversation must here
// (the library does the same).
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <dde.h>
#include "opmdde.h"

namespace {

const char kService[] = "dde_bench_server";
const char kTopic[] = "Data";
const int kRequests = 2000;
const int kFull = 300;

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

DWORD currentInstance()
{
    DWORD inst = OpmDdeSetInstance(0);
    OpmDdeSetInstance(inst);
    return inst;
}

bool running()
{
    BOOL r = FALSE;
    return OpmDdeCheckOpmServer(kService, &r) == 0 && r;
}

bool startServer()
{
    char cmd[] = "dde_server_helper.exe dde_bench_server";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 200 && !running(); i++)
        Sleep(50);
    return running();
}

void takeTrailingAck(HWND client)
{
    DWORD start = GetTickCount();
    MSG msg;
    while (!PeekMessageA(&msg, client, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE)) {
        if (GetTickCount() - start > 2000)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_POSTMESSAGE);
    }
    FreeDDElParam(WM_DDE_ACK, msg.lParam);
}

double rawRequests(DWORD inst, HCONV conv, HSZ item)
{
    char buf[64];
    CONVINFO info{};
    info.cb = sizeof info;
    DdeQueryConvInfo(conv, QID_SYNC, &info);
    double t0 = now();
    for (int i = 0; i < kRequests; i++) {
        HDDEDATA d = DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_REQUEST,
                                          OPMDDE_TIMEOUT, nullptr);
        if (!d) {
            printf("raw request %d failed: DDE error 0x%x\n", i, DdeGetLastError(inst));
            return -1;
        }
        takeTrailingAck(info.hwnd);
        DdeGetData(d, (LPBYTE)buf, sizeof buf, 0);
        DdeFreeDataHandle(d);
    }
    return kRequests / (now() - t0);
}

double orinRequests(HCONV conv)
{
    char buf[64];
    double t0 = now();
    for (int i = 0; i < kRequests; i++)
        if (OpmDdeRequest(conv, "alpha", buf, sizeof buf) != 0) {
            printf("OpmDdeRequest %d failed: DDE error 0x%x\n", i, OpmDdeGetLastError());
            return -1;
        }
    return kRequests / (now() - t0);
}

double rawFull(DWORD inst)
{
    char buf[64];
    double t0 = now();
    for (int i = 0; i < kFull; i++) {
        HSZ s = DdeCreateStringHandleA(inst, kService, CP_WINANSI);
        HSZ t = DdeCreateStringHandleA(inst, kTopic, CP_WINANSI);
        HSZ it = DdeCreateStringHandleA(inst, "alpha", CP_WINANSI);
        HCONV c = DdeConnect(inst, s, t, nullptr);
        HDDEDATA d = c ? DdeClientTransaction(nullptr, 0, c, it, CF_TEXT, XTYP_REQUEST,
                                              OPMDDE_TIMEOUT, nullptr) : nullptr;
        if (d) {
            DdeGetData(d, (LPBYTE)buf, sizeof buf, 0);
            DdeFreeDataHandle(d);
        }
        if (c)
            DdeDisconnect(c);
        DdeFreeStringHandle(inst, s);
        DdeFreeStringHandle(inst, t);
        DdeFreeStringHandle(inst, it);
        if (!d)
            return -1;
    }
    return kFull / (now() - t0);
}

double orinFull()
{
    char buf[64];
    double t0 = now();
    for (int i = 0; i < kFull; i++)
        if (OpmDdeFullRequest(nullptr, kService, kTopic, "alpha", buf, sizeof buf) != 0)
            return -1;
    return kFull / (now() - t0);
}

double best(double a, double b)
{
    return a > b ? a : b;
}

}  // namespace

int main()
{
    if (OpmDdeInitialize(nullptr, APPCMD_CLIENTONLY) != 0) {
        printf("DDE initialisation failed\n");
        return 1;
    }
    if (!running() && !startServer()) {
        printf("server did not start (dde_server_helper.exe beside this program?)\n");
        return 1;
    }
    DWORD inst = currentInstance();
    HSZ s = DdeCreateStringHandleA(inst, kService, CP_WINANSI);
    HSZ t = DdeCreateStringHandleA(inst, kTopic, CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(inst, "alpha", CP_WINANSI);
    double raw = 0, orin = 0, rawF = 0, orinF = 0;
    for (int round = 0; round < 3; round++) {
        // The host allows a client one conversation per service and topic:
        // the open one is closed before the full exchanges.
        HCONV conv = DdeConnect(inst, s, t, nullptr);
        if (round % 2 == 0) {
            raw = best(raw, rawRequests(inst, conv, item));
            orin = best(orin, orinRequests(conv));
        } else {
            orin = best(orin, orinRequests(conv));
            raw = best(raw, rawRequests(inst, conv, item));
        }
        DdeDisconnect(conv);
        rawF = best(rawF, rawFull(inst));
        orinF = best(orinF, orinFull());
    }
    printf("request on an open conversation: OpmDdeRequest     %7.0f/s   raw DDEML %7.0f/s   (%.2fx the raw time)\n",
           orin, raw, raw / orin);
    printf("connect+request+disconnect:      OpmDdeFullRequest %7.0f/s   raw DDEML %7.0f/s   (%.2fx the raw time)\n",
           orinF, rawF, rawF / orinF);
    OpmDdeFullPoke(nullptr, kService, kTopic, nullptr, "quit", 5);
    DdeFreeStringHandle(inst, s);
    DdeFreeStringHandle(inst, t);
    DdeFreeStringHandle(inst, item);
    OpmDdeUninitialize();
    return 0;
}
