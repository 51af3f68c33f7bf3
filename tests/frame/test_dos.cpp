// Process services through the exported interface: the timer table and
// its limits, threads (including a wait that keeps dispatching window
// messages), the environment buffer, the path search, temporary names,
// date-time queries checked against the system, and file size and time.
#include <gtest/gtest.h>
#include <string>
#include "dos.h"
#include "knlnam.h"
#include "testutil.h"

namespace {

using testutil::ScratchFile;
using testutil::writeFile;

// Each test gets a fresh, balanced timer table.
class Timers : public ::testing::Test {
protected:
    void SetUp() override
    {
        while (DosTimerTerm() != 0xFFFF) {
        }
        ASSERT_EQ(DosTimerInit(), 0);
    }
    void TearDown() override { DosTimerTerm(); }
};

TEST_F(Timers, TableLimits)
{
    USHORT id = 0xAAAA;
    for (int i = 1; i <= DOS_TIMER_COUNT; i++) {
        ASSERT_EQ(DosTimerStart(10000, &id), 0);
        ASSERT_EQ(id, i);                                  // first free slot, ids from 1
    }
    EXPECT_EQ(DosTimerStart(10000, &id), DOS_ERR_NO_TIMER);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(DosTimerStop(37), 0);
    EXPECT_EQ(DosTimerStart(5, &id), 0);
    EXPECT_EQ(id, 37);                                     // the freed slot is reused
    EXPECT_EQ(DosTimerStop(0), DOS_ERR_INVALID_TIMER);
    EXPECT_EQ(DosTimerStop(101), DOS_ERR_INVALID_TIMER);
    EXPECT_EQ(DosTimerStart(5, nullptr), ORIN_ERR_INVALID_PARAM);
}

TEST_F(Timers, ReadingAndExpiry)
{
    USHORT past, future;
    ULONG ms = 99;
    ASSERT_EQ(DosTimerStart(0, &past), 0);
    ASSERT_EQ(DosTimerStart(60000, &future), 0);
    Sleep(20);
    EXPECT_EQ(DosTimerRead(past, &ms), 0);
    EXPECT_EQ(ms, 0u);
    EXPECT_EQ(DosTimerExpired(past), 1);
    EXPECT_EQ(DosTimerRead(future, &ms), 0);
    EXPECT_GT(ms, 50000u);
    EXPECT_LE(ms, 60000u);
    EXPECT_EQ(DosTimerExpired(future), 0);
    EXPECT_EQ(DosTimerExpired(0), 1);
    EXPECT_EQ(DosTimerStop(future), 0);
    EXPECT_EQ(DosTimerRead(future, &ms), DOS_ERR_INVALID_TIMER);
    EXPECT_EQ(DosTimerRead(0, &ms), DOS_ERR_INVALID_TIMER);
    EXPECT_EQ(DosTimerStop(future), DOS_ERR_INVALID_TIMER);
}

TEST_F(Timers, QueryFirstFindsTheSoonest)
{
    ULONG ms = 77;
    EXPECT_EQ(DosTimerQueryFirst(&ms), 0);
    EXPECT_EQ(ms, 0u);
    USHORT id;
    for (int i = 0; i < DOS_TIMER_COUNT - 1; i++)
        ASSERT_EQ(DosTimerStart(500000 + i, &id), 0);
    ASSERT_EQ(DosTimerStart(100000, &id), 0);
    ASSERT_EQ(id, 100);
    EXPECT_EQ(DosTimerQueryFirst(&ms), 1);
    EXPECT_LE(ms, 100000u);
    EXPECT_GT(ms, 90000u);
    EXPECT_EQ(DosTimerQueryFirst(nullptr), 1);
}

TEST(DosTimerUse, InitClearsOnlyOnFirstUse)
{
    while (DosTimerTerm() != 0xFFFF) {
    }
    EXPECT_EQ(DosTimerTerm(), 0xFFFF);
    ASSERT_EQ(DosTimerInit(), 0);
    USHORT id;
    ASSERT_EQ(DosTimerStart(100000, &id), 0);
    EXPECT_EQ(DosTimerInit(), 0);                      // second use: the timer survives
    EXPECT_EQ(DosTimerReinit(), 0);
    EXPECT_EQ(DosTimerExpired(id), 0);
    EXPECT_EQ(DosTimerTerm(), 2);
    EXPECT_EQ(DosTimerTerm(), 1);
    EXPECT_EQ(DosTimerTerm(), 0);
    EXPECT_EQ(DosTimerTerm(), 0xFFFF);
    ASSERT_EQ(DosTimerInit(), 0);                      // first use again: cleared
    EXPECT_EQ(DosTimerExpired(id), 1);
    DosTimerTerm();
}

DWORD WINAPI storeArgument(void *arg)
{
    *(volatile LONG *)arg = 42;
    return 0;
}

struct WaitArgs {
    HANDLE started;
    HANDLE never;
};

// Says it runs, then waits for an event that never comes.
DWORD WINAPI waitForever(void *arg)
{
    WaitArgs *a = (WaitArgs *)arg;
    SetEvent(a->started);
    WaitForSingleObject(a->never, INFINITE);
    return 0;
}

TEST(DosThreads, CreateSuspendResumeWait)
{
    volatile LONG value = 0;
    HANDLE t = nullptr;
    ASSERT_EQ(DosCreateThread(&t, storeArgument, (void *)&value, CREATE_SUSPENDED, 0), 0);
    ASSERT_NE(t, nullptr);
    Sleep(20);
    EXPECT_EQ(value, 0);                               // created suspended
    EXPECT_EQ(DosResumeThread(t), 0);
    EXPECT_EQ(DosWaitThread(&t, DOS_WAIT_THREAD), 0);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(DosWaitThread(&t, DOS_WAIT_THREAD), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(DosCreateThread(nullptr, storeArgument, nullptr, 0, 0), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(DosCreateThread(&t, nullptr, nullptr, 0, 0), ORIN_ERR_INVALID_PARAM);
}

// Made-up thread handles and null are refused with a code; a failed wait
// leaves the caller's handle as it was.
TEST(DosThreads, MadeUpHandlesAreRefused)
{
    for (HANDLE h : {(HANDLE)0x12345670, (HANDLE)nullptr}) {
        EXPECT_NE(DosSuspendThread(h), 0);
        EXPECT_NE(DosResumeThread(h), 0);
        EXPECT_NE(DosKillThread(h), 0);
    }
    HANDLE bogus = (HANDLE)0x12345670;
    EXPECT_NE(DosWaitThread(&bogus, DOS_WAIT_THREAD), 0);
    EXPECT_NE(DosWaitThread(&bogus, DOS_WAIT_DISPATCH), 0);
    EXPECT_EQ(bogus, (HANDLE)0x12345670);
}

TEST(DosThreads, KillEndsAThread)
{
    WaitArgs args = { CreateEventA(nullptr, TRUE, FALSE, nullptr),
                      CreateEventA(nullptr, TRUE, FALSE, nullptr) };
    HANDLE t = nullptr;
    ASSERT_EQ(DosCreateThread(&t, waitForever, &args, 0, 0), 0);
    // A thread killed while the system still starts it up may take the
    // loader's lock with it, and the process then hangs at its exit: kill
    // it only once it runs its own code.
    ASSERT_EQ(WaitForSingleObject(args.started, 10000), WAIT_OBJECT_0);
    HANDLE watch;
    DuplicateHandle(GetCurrentProcess(), t, GetCurrentProcess(), &watch, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    EXPECT_EQ(DosSuspendThread(t), 0);
    EXPECT_EQ(DosResumeThread(t), 0);
    EXPECT_EQ(DosKillThread(t), 0);
    EXPECT_EQ(WaitForSingleObject(watch, 5000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeThread(watch, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(watch);
    CloseHandle(args.started);
    CloseHandle(args.never);
    EXPECT_NE(DosSuspendThread(nullptr), 0);
}

struct PostArgs {
    DWORD target;
    HANDLE go;
};

// Posts a message to the waiting thread, then ends once told to.
DWORD WINAPI postThenEnd(void *arg)
{
    PostArgs *p = (PostArgs *)arg;
    PostThreadMessageA(p->target, WM_APP + 1, 0, 0);
    WaitForSingleObject(p->go, 10000);
    return 0;
}

LONG dispatched;
LRESULT CALLBACK countingProc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == WM_APP + 2) {
        dispatched++;
        SetEvent((HANDLE)l);                           // lets the worker end
        return 0;
    }
    return DefWindowProcA(h, msg, w, l);
}

TEST(DosThreads, WaitWhileDispatchingMessages)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = countingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OrinDosWaitTest";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    ASSERT_NE(wnd, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // a message already queued for a window must be dispatched by the wait
    PostMessageA(wnd, WM_APP + 2, 0, (LPARAM)go);
    PostArgs args = { GetCurrentThreadId(), go };
    HANDLE t = nullptr;
    dispatched = 0;
    ASSERT_EQ(DosCreateThread(&t, postThenEnd, &args, 0, 0), 0);
    EXPECT_EQ(DosWaitThread(&t, DOS_WAIT_DISPATCH), 0);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(dispatched, 1);
    DestroyWindow(wnd);
    CloseHandle(go);
    HANDLE dummy = (HANDLE)1;
    EXPECT_EQ(DosWaitThread(&dummy, 9), ORIN_ERR_INVALID_PARAM);
}

TEST(DosEnvironment, ScanEnv)
{
    const char *value = "unchanged";
    SetEnvironmentVariableA("ORIN_T_EMPTY", "");
    EXPECT_EQ(DosScanEnv("ORIN_T_EMPTY", &value), DOS_ERR_ENV_NOT_FOUND);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(DosScanEnv("ORIN_T_NEVER_SET", &value), DOS_ERR_ENV_NOT_FOUND);
    ASSERT_EQ(DosSetEnvVal("ORIN_T_VAR", "abc;def"), 0);
    ASSERT_EQ(DosScanEnv("ORIN_T_VAR", &value), 0);
    EXPECT_STREQ(value, "abc;def");
    // the longest value that fits is 1,023 bytes; 1,024 does not
    std::string fits(DOS_ENV_BUFFER - 1, 'v'), tooLong(DOS_ENV_BUFFER, 'w');
    SetEnvironmentVariableA("ORIN_T_VAR", fits.c_str());
    ASSERT_EQ(DosScanEnv("ORIN_T_VAR", &value), 0);
    EXPECT_EQ(std::string(value), fits);
    SetEnvironmentVariableA("ORIN_T_VAR", tooLong.c_str());
    EXPECT_EQ(DosScanEnv("ORIN_T_VAR", &value), DOS_ERR_ENV_NOT_FOUND);
    EXPECT_EQ(DosScanEnv(nullptr, &value), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(DosSetEnvVal("ORIN_T_VAR", nullptr), 0);   // removes it
    EXPECT_EQ(DosScanEnv("ORIN_T_VAR", nullptr), DOS_ERR_ENV_NOT_FOUND);
    SetEnvironmentVariableA("ORIN_T_EMPTY", nullptr);
}

TEST(DosEnvironment, SearchAlongAPathList)
{
    CreateDirectoryA("dos_sp.dir", nullptr);
    ScratchFile f("dos_sp.dir\\found.txt"), here("dos_sp_here.txt");
    ASSERT_TRUE(writeFile(f.name, "x"));
    ASSERT_TRUE(writeFile(here.name, "x"));
    char out[KNLNAM_MAXPATH];
    EXPECT_EQ(DosSearchPath(0, "none;dos_sp.dir", "found.txt", out, sizeof out), 0);
    EXPECT_STREQ(out, "dos_sp.dir\\found.txt");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_EQ(DosSearchPath(DOS_SEARCH_CUR_DIRECTORY, "none", here.name.c_str(), out, sizeof out), 0);
    EXPECT_EQ(std::string(out), std::string(cwd) + "\\" + here.name);
    SetEnvironmentVariableA("ORIN_T_PATH", "dos_sp.dir");
    EXPECT_EQ(DosSearchPath(DOS_SEARCH_ENVIRONMENT, "ORIN_T_PATH", "found.txt", out, sizeof out), 0);
    SetEnvironmentVariableA("ORIN_T_PATH", nullptr);
    EXPECT_EQ(DosSearchPath(DOS_SEARCH_ENVIRONMENT, "ORIN_T_PATH", "found.txt", out, sizeof out),
              DOS_ERR_ENV_NOT_FOUND);
    EXPECT_EQ(DosSearchPath(0, "none", "found.txt", out, sizeof out), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(DosSearchPath(0, "dos_sp.dir", "found.txt", out, 20), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(DosSearchPath(0, "dos_sp.dir", "found.txt", out, 21), 0);   // 20 + terminator
    RemoveDirectoryA("dos_sp.dir");
}

TEST(DosQueries, TempNamesVersionAndTime)
{
    char cwd[MAX_PATH], name[KNLNAM_MAXPATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    ASSERT_EQ(DosGetTempFileName(cwd, "ot", name, sizeof name), 0);
    EXPECT_TRUE(testutil::fileExists(name));             // the system creates it
    EXPECT_EQ(std::string(name).rfind(std::string(cwd) + "\\ot", 0), 0u);
    DeleteFileA(name);
    EXPECT_EQ(DosGetTempFileName(cwd, "ot", name, 5), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_NE(DosGetTempFileName("no_such_dir_here", "ot", name, sizeof name), 0);

    USHORT version = 0;
    EXPECT_EQ(DosGetVersion(&version), 0);
    EXPECT_EQ(version, (USHORT)(GetVersion() & 0xFFFF));

    DATETIME dt;
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    ASSERT_EQ(DosGetDateTime(&dt), 0);
    GetLocalTime(&after);
    EXPECT_EQ(dt.timezone, -1);
    EXPECT_EQ(dt.hundredths, 0);
    EXPECT_TRUE(dt.year == before.wYear || dt.year == after.wYear);
    EXPECT_TRUE(dt.day == before.wDay || dt.day == after.wDay);
    EXPECT_TRUE(dt.weekday == before.wDayOfWeek || dt.weekday == after.wDayOfWeek);
    EXPECT_EQ(DosGetDateTime(nullptr), ORIN_ERR_INVALID_PARAM);

    TIME_ZONE_INFORMATION tz;
    DWORD answer = GetTimeZoneInformation(&tz);
    ULONG bias = 12345;
    EXPECT_EQ(DosGetTimeZoneInformation(&bias), answer);
    EXPECT_EQ((LONG)bias, tz.Bias);
    EXPECT_EQ(DosSleep(1), 0);
    UINT old = DosSetErrorMode(SEM_FAILCRITICALERRORS);
    EXPECT_EQ(DosSetErrorMode(old), (UINT)SEM_FAILCRITICALERRORS);
    EXPECT_EQ(DosCopySoundOn(1), 0);
    EXPECT_EQ(DosCopySoundOn(0), 1);
}

TEST(DosQueries, FileSizeAndDateTime)
{
    ScratchFile f("dos_fsdt.txt");
    ASSERT_TRUE(writeFile(f.name, "0123456789"));
    HANDLE h = CreateFileA(f.name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
    SYSTEMTIME st = {};
    st.wYear = 2021; st.wMonth = 7; st.wDay = 4; st.wHour = 9; st.wMinute = 30; st.wSecond = 14;
    FILETIME local, utc;
    SystemTimeToFileTime(&st, &local);
    LocalFileTimeToFileTime(&local, &utc);
    SetFileTime(h, nullptr, nullptr, &utc);
    CloseHandle(h);

    ULONG size = 0;
    DATETIME dt;
    ASSERT_EQ(GetFileSizeDateTime(KnlNamGetDefaultNS(), f.name.c_str(), &size, &dt), 0);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(dt.year, 2021);
    EXPECT_EQ(dt.month, 7);
    EXPECT_EQ(dt.day, 4);
    EXPECT_EQ(dt.hours, 9);
    EXPECT_EQ(dt.minutes, 30);
    EXPECT_EQ(dt.seconds, 14);
    EXPECT_EQ(dt.weekday, 0);                            // a Sunday

    EXPECT_EQ(GetFileSizeDateTime(KnlNamGetDefaultNS(), "dos_no_file.txt", &size, &dt), 0xFFFF);
    EXPECT_EQ(dt.year, 1980);
    EXPECT_EQ(dt.month, 1);
    EXPECT_EQ(dt.day, 1);
    EXPECT_EQ(dt.hours, 0);
    EXPECT_EQ(dt.timezone, -1);
}

TEST(DosQueries, MemReplaceByte)
{
    char buf[] = "a-b-c-d";
    EXPECT_EQ(MemReplaceByte(buf, '-', '+', 5), buf);
    EXPECT_STREQ(buf, "a+b+c-d");                        // only count bytes
    EXPECT_EQ(MemReplaceByte(nullptr, 'a', 'b', 10), nullptr);
    EXPECT_EQ(MemReplaceByte(buf, 'x', 'y', 0), buf);
}

} // namespace
