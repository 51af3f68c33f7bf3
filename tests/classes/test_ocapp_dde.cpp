// Two applications: a second OcApp started while another process serves
// the same DDE name finds it running and stays without DDE; the first one
// answers over DDE, and once it has gone the name can be registered again.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include "ocapp.h"

namespace {

const char kService[] = "OcAppTestService";
const char kReady[] = "OcAppTestService.ready";

HDDEDATA CALLBACK acceptNothing(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

// Waits while answering messages: another application's DDE start-up
// broadcasts to every top-level window, this program's included.
void pumpFor(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    while ((LONG)(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::string readFile(const char *name)
{
    char buf[64] = "";
    if (FILE *f = fopen(name, "r")) {
        fgets(buf, sizeof buf, f);
        fclose(f);
    }
    return buf;
}

TEST(OcAppDde, SecondApplicationFindsTheFirstRunning)
{
    {
        OcApp alone(nullptr, kService, acceptNothing);
        EXPECT_TRUE(alone.IsDdeInit()) << "nobody serves the name yet";
        OcApp noCallback(nullptr, kService, nullptr);
        EXPECT_FALSE(noCallback.IsDdeInit());
    }

    DeleteFileA(kReady);
    char cmd[] = "ocapp_helper.exe OcAppTestService";
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    for (int i = 0; i < 400 && readFile(kReady).empty(); i++)
        pumpFor(50);
    ASSERT_EQ(readFile(kReady), "dde 1\n");

    {
        OcApp second(nullptr, kService, acceptNothing);
        EXPECT_FALSE(second.IsDdeInit()) << "the first application's service answers";
        // The second asks the first instead.
        ASSERT_EQ(OpmDdeInitialize(acceptNothing, 0), 0);
        char pid[32] = "";
        EXPECT_EQ(OpmDdeFullRequest(nullptr, kService, "Data", "pid", pid, sizeof pid), 0);
        EXPECT_EQ(std::string(pid), std::to_string(pi.dwProcessId));
        EXPECT_EQ(OpmDdeFullPoke(nullptr, kService, "Data", nullptr, "quit", 5), 0);
        OpmDdeUninitialize();
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u) << "ended by the quit execute, not by its safety timer";
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DeleteFileA(kReady);

    OcApp again(nullptr, kService, acceptNothing);
    EXPECT_TRUE(again.IsDdeInit()) << "the name is free again";
}

}  // namespace
