/*
 * badcall.cpp - running bad-call cases under a watchdog, and the scratch
 * file that must come through every case unchanged.
 */
#include "badcall.h"

#include <cstdio>
#include <memory>
#include <ostream>

#include "testutil.h"
#include "vbf.h"

namespace badcall {
namespace {

constexpr char kBesideName[] = "bc_beside.dat";
constexpr size_t kBesideSize = 10000;

HVBF beside = nullptr;
std::string besideBytes;

/* The case on the worker thread, named by the crash report. */
const Case *current = nullptr;

LONG WINAPI reportCrash(EXCEPTION_POINTERS *info)
{
    fprintf(stderr, "\n*** case %s crashed: exception %08lX at %p\n",
            current != nullptr ? current->name.c_str() : "?",
            static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct Job {
    const Case *c;
    bool refused = false;
};

DWORD WINAPI runJob(void *p)
{
    Job *job = static_cast<Job *>(p);
    job->refused = job->c->run();
    return 0;
}

}  // namespace

void addHandleCases(Table &table, const std::string &function, const HandleSource &source,
                    const std::function<bool(void *)> &call)
{
    table.push_back({function + "_NullHandle", [call] { return call(nullptr); }});
    table.push_back({function + "_ClosedHandle", [call, source] { return call(source.closed()); }});
    table.push_back({function + "_StackPointer", [call] {
                         alignas(16) unsigned char stack[512] = {};
                         return call(stack);
                     }});
    table.push_back({function + "_HandleOne", [call] { return call(reinterpret_cast<void *>(1)); }});
    if (source.foreign)
        table.push_back({function + "_ForeignHandle", [call, source] { return call(source.foreign()); }});
}

void addCase(Table &table, const std::string &function, const std::string &argument,
             std::function<bool()> call)
{
    table.push_back({function + "_" + argument, std::move(call)});
}

bool runGuarded(const Case &c, bool *refused)
{
    openBesideFile();
    SetUnhandledExceptionFilter(reportCrash);
    current = &c;
    // The job stays allocated when the thread is abandoned.
    auto *job = new Job{&c};
    HANDLE t = CreateThread(nullptr, 0, runJob, job, 0, nullptr);
    if (t == nullptr)
        return false;
    bool done = WaitForSingleObject(t, kWatchdogMs) == WAIT_OBJECT_0;
    CloseHandle(t);
    if (!done)
        return false;
    *refused = job->refused;
    delete job;
    return true;
}

void PrintTo(const Case &c, std::ostream *out)
{
    *out << c.name;
}

void makeFile(const char *name, size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('A' + i % 23);
    testutil::writeFile(name, bytes);
}

void openBesideFile()
{
    if (beside != nullptr)
        return;
    makeFile(kBesideName, kBesideSize);
    besideBytes = testutil::readFile(kBesideName);
    ULONG action = 0;
    ASSERT_EQ(VbfOpen(nullptr, kBesideName, &beside, &action, 0, VBF_ATTR_NORMAL,
                      VBF_OPEN_EXISTING, VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE, nullptr),
              0);
}

void checkBesideFile()
{
    EXPECT_EQ(testutil::readFile(kBesideName), besideBytes) << "file open beside changed";
    // The handle still reads what the file holds.
    ULONG pos = 1, read = 0;
    std::string back(kBesideSize, '\0');
    EXPECT_EQ(VbfChgFilePtr(beside, 0, VBF_FILE_BEGIN, &pos), 0);
    EXPECT_EQ(VbfRead(beside, back.data(), kBesideSize, &read), 0);
    EXPECT_EQ(back.substr(0, read), besideBytes) << "handle open beside disturbed";
}

}  // namespace badcall
