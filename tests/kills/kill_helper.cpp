// Second process of the kill tests: waits for the test's "go" event (it is
// started ahead of its turn), makes a store, signals that it is ready,
// then runs the store's workload (killwork.h) until it is killed.
// After each operation returns successfully, "j id" (operation number,
// and the block id it left for the block file, else 0) goes to the log
// with one WriteFile, before the next operation starts.
//   kill_helper STORE FILE SEED LOG READY GO
//   STORE: fal | prf | prf-shared | ixd | ixd-shared | prffile | arc | arc-shared | dbf
// (for the archive, the id logged is the document the operation worked
// on; for the table, the record)
// Exit codes: 0 the workload ran out without a kill, 2 bad arguments,
// 3 the store did not open, 4 the log did not open, 5 an operation failed,
// 6 no "go" came.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "arcops.h"
#include "ixd.h"
#include "killwork.h"
#include "dbfkill.h"
#include "ocdbf.h"
#include "prf.h"
#include "profile/falint.h"

using namespace killwork;

namespace {

constexpr int kMaxOperations = 1000000;
constexpr int kOpenFailed = 3, kLogFailed = 4, kOperationFailed = 5, kNoGo = 6;
constexpr DWORD kGoTimeout = 300000;

/* Waits for the test to let this helper go. */
bool waitForGo(const char *event)
{
    HANDLE e = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, event);
    if (!e)
        return false;
    bool go = WaitForSingleObject(e, kGoTimeout) == WAIT_OBJECT_0;
    CloseHandle(e);
    return go;
}

/* The log of finished operations: written through, never buffered here. */
class Log {
public:
    explicit Log(const char *name)
        : h_(CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL))
    {
    }
    ~Log()
    {
        if (ok())
            CloseHandle(h_);
    }
    Log(const Log &) = delete;
    Log &operator=(const Log &) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    void finished(int j, unsigned long id)
    {
        char line[48];
        int n = snprintf(line, sizeof line, "%d %lu\n", j, id);
        DWORD written = 0;
        WriteFile(h_, line, DWORD(n), &written, NULL);
    }

private:
    HANDLE h_;
};

struct Args {
    const char *file;
    unsigned seed;
    Log *log;
    const char *event;
};

void ready(const char *event)
{
    HANDLE e = OpenEventA(EVENT_MODIFY_STATE, FALSE, event);
    if (e) {
        SetEvent(e);
        CloseHandle(e);
    }
}

int failed(int j, unsigned rc)
{
    fprintf(stderr, "kill_helper: operation %d gave %u\n", j, rc);
    return kOperationFailed;
}

int runFal(const Args &a)
{
    HFAL h = nullptr;
    if (FalCreate(nullptr, a.file, &h, 0, 0, 0, 0, nullptr))
        return kOpenFailed;
    ready(a.event);
    FalWork work(a.seed);
    ULONG ids[FalWork::kSlots] = {};
    for (int j = 0; j < kMaxOperations; j++) {
        FalOp op = work.next();
        ULONG &id = ids[op.slot];
        ULONG n = ULONG(op.data.size());
        USHORT rc = 0;
        switch (op.kind) {
        case FalOp::kAlloc: rc = FalAllocBlock(h, &id, n, op.data.data(), n); break;
        case FalOp::kWrite: rc = FalWriteBlock(h, id, 0, op.data.data(), n); break;
        case FalOp::kRealloc: rc = FalReallocBlock(h, &id, n, op.data.data(), n); break;
        case FalOp::kFree: rc = FalFreeBlock(h, id); id = 0; break;
        }
        if (rc)
            return failed(j, rc);
        a.log->finished(j, id);
    }
    FalClose(h);
    return 0;
}

int runPrf(const Args &a, USHORT flags)
{
    HPRF h = nullptr;
    if (PrfOpenProfile(nullptr, &h, a.file, flags))
        return kOpenFailed;
    ready(a.event);
    PrfWork work(a.seed);
    for (int j = 0; j < kMaxOperations; j++) {
        PrfOp op = work.next();
        USHORT rc;
        if (op.key.empty())
            rc = PrfDestroySection(h, op.section.c_str());
        else if (op.erase)
            rc = PrfWriteProfileData(h, op.section.c_str(), op.key.c_str(), nullptr, 0);
        else
            rc = PrfWriteProfileData(h, op.section.c_str(), op.key.c_str(), op.value.data(),
                                     ULONG(op.value.size()));
        // Deleting what is not there changes nothing, as in the model.
        if (rc == ORIN_ERR_NO_KEY && (op.erase || op.key.empty()))
            rc = 0;
        if (rc)
            return failed(j, rc);
        a.log->finished(j, 0);
    }
    PrfCloseProfile(h);
    return 0;
}

int runIxd(const Args &a, ULONG shared)
{
    ULONG error = 0;
    PIX ix = IxdCreate(a.file, kIxdKeyLength, shared, 256, 0, nullptr, &error);
    if (!ix)
        return kOpenFailed;
    ready(a.event);
    IxdWork work(a.seed);
    for (int j = 0; j < kMaxOperations; j++) {
        IxdOp op = work.next();
        USHORT rc = op.enter ? IxdEnter(ix, op.key.data(), op.record, &error)
                             : IxdRemove(ix, op.key.data(), op.record, &error);
        if (rc)
            return failed(j, rc);
        a.log->finished(j, 0);
    }
    IxdClose(ix);
    return 0;
}

int runPrfFile(const Args &a)
{
    std::string name = std::string(a.file) + ";files~doc";
    HPRFFILE f = nullptr;
    ULONG action = 0;
    if (PrfFileOpen(nullptr, name.c_str(), &f, &action, 0, 0, VBF_OPEN_OR_CREATE,
                    VBF_MODE_READWRITE))
        return kOpenFailed;
    ready(a.event);
    FileWork work(a.seed);
    for (int j = 0; j < kMaxOperations; j++) {
        FileOp op = work.next();
        ULONG done = 0;
        USHORT rc;
        if (op.kind == FileOp::kSeek)
            rc = PrfFileChgFilePtr(f, LONG(op.at), VBF_FILE_BEGIN, &done);
        else if (op.kind == FileOp::kCut)
            rc = PrfFileNewSize(f, op.at);
        else
            rc = PrfFileWrite(f, op.data.data(), ULONG(op.data.size()), &done);
        if (rc)
            return failed(j, rc);
        a.log->finished(j, 0);
    }
    PrfFileClose(f);
    return 0;
}

int runArc(const Args &a, USHORT mode)
{
    BrcArchive *archive = nullptr;
    if (arcops::create(a.file) || BrcOpen(nullptr, &archive, a.file, mode))
        return kOpenFailed;
    ready(a.event);
    ArcWork work(a.seed);
    for (int j = 0; j < kMaxOperations; j++) {
        unsigned number = 0;
        if (USHORT rc = arcops::apply(archive, work.next(), &number))
            return failed(j, rc);
        a.log->finished(j, number);
    }
    BrcClose(archive);
    return 0;
}

int runDbf(const Args &a)
{
    OcDbf t;
    if (!t.Create(a.file, kDbfFields, kDbfFieldCount, 0, 0))
        return kOpenFailed;
    ready(a.event);
    DbfWork work(a.seed);
    const DBXFIELDDES *name = t.QueryFieldHandle(kDbfName), *num = t.QueryFieldHandle(kDbfNum);
    for (int j = 0; j < kMaxOperations; j++) {
        DbfOp op = work.next();
        unsigned record = op.record;
        bool ok = true;
        if (op.kind == DbfOp::kDelete) {
            ok = t.Delete(record, 1, 0) != 0;
        } else {
            ok = op.kind == DbfOp::kAppend || t.ReadFast(record);
            ok = ok && t.SetField(name, op.values.name.c_str()) && t.SetField(num, op.values.num.c_str());
            if (ok && op.kind == DbfOp::kAppend)
                ok = (record = t.Append(0)) != DBX_NO_RECORD;
            else if (ok)
                ok = t.Write(record, DBX_WRITE_UNLOCK) != 0;
        }
        if (!ok)
            return failed(j, unsigned(t.GetLastError()));
        a.log->finished(j, record);
    }
    t.Close();
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 7)
        return 2;
    if (!waitForGo(argv[6]))
        return kNoGo;
    Log log(argv[4]);
    if (!log.ok())
        return kLogFailed;
    Args a{argv[2], unsigned(strtoul(argv[3], nullptr, 10)), &log, argv[5]};
    std::string store = argv[1];
    if (store == "fal")
        return runFal(a);
    if (store == "prf" || store == "prf-shared")
        return runPrf(a, store == "prf" ? 0 : PRF_OPEN_SHARED);
    if (store == "ixd" || store == "ixd-shared")
        return runIxd(a, store == "ixd" ? 0 : 1);
    if (store == "prffile")
        return runPrfFile(a);
    if (store == "dbf")
        return runDbf(a);
    if (store == "arc" || store == "arc-shared")
        return runArc(a, store == "arc" ? 0 : 1);
    return 2;
}
