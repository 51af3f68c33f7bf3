/*
 * bench_prf.cpp - profiles next to the registry and private-profile INI
 * files, in the same run.
 *
 * 10,000 string keys of 20 to 200 bytes in 100 sections are written and
 * read back through a profile file (not shared, then shared between
 * processes), through the registry (values of 100 sub-keys of a test key
 * under HKEY_CURRENT_USER) and through an INI file (a tenth of the keys:
 * each INI write rewrites the whole file).  Then 1 MiB values go
 * through a profile (in 16 KiB pieces) and the registry.  Figures are
 * operations (or MiB) per second and the profile's speed as a multiple
 * of each peer's.  The process's peak working set follows: a profile keeps
 * the tables and values it has seen in memory, up to 64 MiB.
 *
 * A shared profile takes and releases the file's header lock around every
 * call, so its ceiling is a lock/unlock pair of that range (shared pairs
 * for reads, exclusive ones for writes).  The pairs are timed alongside
 * the shared calls - after every kLockChunk calls as many pairs on a lock
 * file of their own, timed apart - so both figures see the same load on
 * the machine, and the shared rates are printed as a fraction of them.
 */
#include <windows.h>
#include <psapi.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>
#include "knl.h"
#include "knlnam.h"
#include "prf.h"
#include "vbf.h"
#include "vfile/fbfint.h"

namespace {

constexpr int kKeys = 10000;
constexpr int kSections = 100;
constexpr int kMinValue = 20;
constexpr int kValueSpan = 181;                 /* lengths 20..200 */
constexpr int kBigValue = 1024 * 1024;
constexpr int kBigCount = 16;
constexpr const char *kRegRoot = "Software\\Orin\\BenchPrf";
constexpr const char *kPrfFile = "bench_prf.prf";
constexpr const char *kPrfShared = "bench_prf_shared.prf";
constexpr const char *kIniFile = ".\\bench_prf.ini";
constexpr int kIniKeys = kKeys / 10;            /* the INI calls rewrite the file: fewer */
constexpr const char *kLockFile = "bench_prf.lck";
constexpr ULONG kHeaderLockOffset = 0;          /* the block file's header lock range */
constexpr ULONG kHeaderLockLength = 12;
constexpr int kLockChunk = 500;

char sections[kSections][16];
char keys[kKeys][16];
char values[kKeys][kValueSpan + kMinValue + 1];

struct ProfileCloser {
    void operator()(HPRF h) const noexcept { PrfCloseProfile(h); }
};
using Profile = std::unique_ptr<std::remove_pointer_t<HPRF>, ProfileCloser>;

struct KeyCloser {
    void operator()(HKEY k) const noexcept { RegCloseKey(k); }
};
using RegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

double now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

void makeData()
{
    for (int i = 0; i < kSections; i++)
        sprintf(sections[i], "section%03d", i);
    for (int i = 0; i < kKeys; i++) {
        int len = kMinValue + (i * 37) % kValueSpan;
        sprintf(keys[i], "key%05d", i);
        for (int j = 0; j < len; j++)
            values[i][j] = (char)('a' + (i + j * 7) % 26);
        values[i][len] = 0;
    }
}

struct Rates {
    double write, read;
};

/* What the shared calls were measured against. */
struct Floors {
    Rates ceiling = {0, 0};       /* lock/unlock pairs per second */
    Rates transfers = {0, 0};     /* system reads and writes per call */
    Rates transferMicros = {0, 0};/* one transfer inside a hold */
    Rates floor = {0, 0};         /* a pair plus the call's transfers */
};

/* Operating-system transfers the buffered files made so far. */
ULONG64 osTransfers()
{
    FBFCACHESTATS st;
    FbfQueryCacheStats(&st);
    return st.osReads + st.osWrites;
}

/* Times calls with, for a shared run, lock/unlock pairs of the header
 * lock range alongside: after every kLockChunk calls as many pairs, and
 * a fifth as many holds of the lock in which kHoldTransfers transfers are
 * made (a 2-byte read, then writes of 100 bytes at scattered offsets, as
 * a call makes them), all timed apart from the calls.  A transfer inside
 * a hold costs more than one alone on this host, so the floor of a call
 * is a pair plus its own transfers at the in-hold rate. */
class Alongside {
public:
    Alongside(HVBF lockFile, ULONG exclusive) : lockFile_(lockFile), exclusive_(exclusive)
    {
        transfersBefore_ = osTransfers();
        start_ = now();
    }
    void called()
    {
        if (++calls_ % kLockChunk == 0 && lockFile_ != nullptr) {
            callTime_ += now() - start_;
            ULONG64 before = osTransfers();
            lockPairs();
            holds();
            ownTransfers_ += osTransfers() - before;
            start_ = now();
        }
    }
    double callRate()
    {
        callTime_ += now() - start_;
        callTransfers_ = (double)(osTransfers() - transfersBefore_ - ownTransfers_) / calls_;
        start_ = now();
        return calls_ / callTime_;
    }
    double pairRate() const { return pairTime_ > 0 ? pairs_ / pairTime_ : 0; }
    /* System reads and writes per call. */
    double transfersPerCall() const { return callTransfers_; }
    /* Seconds per transfer made while the lock is held. */
    double transferInHold() const
    {
        if (holds_ == 0 || pairs_ == 0)
            return 0;
        return (holdTime_ / holds_ - pairTime_ / pairs_) / kHoldTransfers;
    }
    /* Calls per second at the floor: a pair and the call's transfers. */
    double floorRate() const
    {
        return 1 / (pairTime_ / pairs_ + callTransfers_ * transferInHold());
    }

private:
    static constexpr int kHoldTransfers = 7;

    void lockPairs()
    {
        double s = now();
        for (int i = 0; i < kLockChunk; i++) {
            FILELOCK lock = {kHeaderLockOffset, kHeaderLockLength, exclusive_};
            FILELOCK unlock = {kHeaderLockOffset, kHeaderLockLength, 0};
            pairs_ += VbfFileLocksEx(lockFile_, nullptr, &lock) == 0
                      && VbfFileLocks(lockFile_, &unlock, nullptr) == 0;
        }
        pairTime_ += now() - s;
    }
    void holds()
    {
        static char bytes[100];
        ULONG done = 0;
        double s = now();
        for (int i = 0; i < kLockChunk / 5; i++) {
            FILELOCK lock = {kHeaderLockOffset, kHeaderLockLength, exclusive_};
            FILELOCK unlock = {kHeaderLockOffset, kHeaderLockLength, 0};
            VbfFileLocksEx(lockFile_, nullptr, &lock);
            VbfChgFilePtr(lockFile_, 8, VBF_FILE_BEGIN, nullptr);
            VbfReadDirect(lockFile_, bytes, 2, &done);
            for (int k = 1; k < kHoldTransfers; k++) {
                VbfChgFilePtr(lockFile_, (LONG)((holds_ * 7 + k) * 4099 % 65536), VBF_FILE_BEGIN,
                              nullptr);
                VbfWrite(lockFile_, bytes, sizeof bytes, &done);
            }
            VbfFileLocks(lockFile_, &unlock, nullptr);
            holds_++;
        }
        holdTime_ += now() - s;
    }

    HVBF lockFile_;
    ULONG exclusive_;
    double start_, callTime_ = 0, pairTime_ = 0, holdTime_ = 0;
    unsigned calls_ = 0, pairs_ = 0, holds_ = 0;
    ULONG64 transfersBefore_ = 0, ownTransfers_ = 0;
    double callTransfers_ = 0;
};

struct VbfCloser {
    void operator()(HVBF h) const noexcept
    {
        VbfClose(h);
        DeleteFileA(kLockFile);
    }
};
using LockFile = std::unique_ptr<std::remove_pointer_t<HVBF>, VbfCloser>;

LockFile openLockFile()
{
    HVBF h = nullptr;
    ULONG action = 0;
    if (VbfOpen(KnlNamGetDefaultNS(), kLockFile, &h, &action, 0, VBF_ATTR_NORMAL,
                VBF_CREATE_OR_REPLACE, VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE, nullptr) != 0)
        return nullptr;
    return LockFile(h);
}

int failed(const char *what, unsigned code)
{
    fprintf(stderr, "bench_prf: %s failed: %u\n", what, code);
    return 1;
}

/* A profile opened on a fresh file; null (and a message) on failure. */
Profile openFresh(const char *file, USHORT flags)
{
    HPRF h = NULL;
    DeleteFileA(file);
    USHORT rc = PrfOpenProfile(NULL, &h, file, flags);
    if (rc)
        failed("PrfOpenProfile", rc);
    return Profile(rc ? nullptr : h);
}

/* A registry key under the bench's root, made fresh; null on failure. */
RegKey createKey(HKEY parent, const char *name)
{
    HKEY k;
    if (RegCreateKeyExA(parent, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL))
        return nullptr;
    return RegKey(k);
}

/* With a ceiling to fill, the lock pairs are timed alongside the calls. */
int benchProfile(const char *file, USHORT flags, Rates *r, Floors *ceiling = nullptr)
{
    char buf[256];
    USHORT rc;
    Profile profile = openFresh(file, flags);
    if (!profile)
        return 1;
    LockFile lockFile = ceiling ? openLockFile() : nullptr;
    if (ceiling && !lockFile)
        return failed("VbfOpen", 1);
    HPRF h = profile.get();
    Alongside writes(lockFile.get(), 1);
    for (int i = 0; i < kKeys; i++) {
        if ((rc = PrfWriteProfileString(h, sections[i % kSections], keys[i], values[i])) != 0)
            return failed("PrfWriteProfileString", rc);
        writes.called();
    }
    r->write = writes.callRate();
    Alongside reads(lockFile.get(), 0);
    for (int i = 0; i < kKeys; i++) {
        rc = PrfQueryProfileString(h, sections[i % kSections], keys[i], NULL, buf, sizeof buf);
        if (rc || strcmp(buf, values[i]) != 0)
            return failed("PrfQueryProfileString", rc ? rc : 1);
        reads.called();
    }
    r->read = reads.callRate();
    if (ceiling) {
        ceiling->ceiling = {writes.pairRate(), reads.pairRate()};
        ceiling->transfers = {writes.transfersPerCall(), reads.transfersPerCall()};
        ceiling->transferMicros = {writes.transferInHold() * 1e6, reads.transferInHold() * 1e6};
        ceiling->floor = {writes.floorRate(), reads.floorRate()};
    }
    profile.reset();
    DeleteFileA(file);
    return 0;
}

int benchRegistry(Rates *r)
{
    std::vector<RegKey> sub;
    char buf[256];
    DWORD size, type;
    LONG rc;

    RegDeleteTreeA(HKEY_CURRENT_USER, kRegRoot);
    RegKey root = createKey(HKEY_CURRENT_USER, kRegRoot);
    if (!root)
        return failed("RegCreateKeyExA", 1);
    for (int i = 0; i < kSections; i++) {
        sub.push_back(createKey(root.get(), sections[i]));
        if (!sub.back())
            return failed("RegCreateKeyExA", 2);
    }
    double t = now();
    for (int i = 0; i < kKeys; i++)
        if ((rc = RegSetValueExA(sub[i % kSections].get(), keys[i], 0, REG_SZ,
                                 (const BYTE *)values[i], (DWORD)strlen(values[i]) + 1)) != 0)
            return failed("RegSetValueExA", (unsigned)rc);
    r->write = kKeys / (now() - t);
    t = now();
    for (int i = 0; i < kKeys; i++) {
        size = sizeof buf;
        rc = RegQueryValueExA(sub[i % kSections].get(), keys[i], NULL, &type, (BYTE *)buf, &size);
        if (rc || strcmp(buf, values[i]) != 0)
            return failed("RegQueryValueExA", rc ? (unsigned)rc : 1);
    }
    r->read = kKeys / (now() - t);
    sub.clear();
    root.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, kRegRoot);
    return 0;
}

int benchIni(Rates *r)
{
    char buf[256];
    DeleteFileA(kIniFile);
    double t = now();
    for (int i = 0; i < kIniKeys; i++)
        if (!WritePrivateProfileStringA(sections[i % kSections], keys[i], values[i], kIniFile))
            return failed("WritePrivateProfileStringA", GetLastError());
    r->write = kIniKeys / (now() - t);
    t = now();
    for (int i = 0; i < kIniKeys; i++) {
        GetPrivateProfileStringA(sections[i % kSections], keys[i], "", buf, sizeof buf, kIniFile);
        if (strcmp(buf, values[i]) != 0)
            return failed("GetPrivateProfileStringA", 1);
    }
    r->read = kIniKeys / (now() - t);
    DeleteFileA(kIniFile);
    return 0;
}

int benchBigProfile(Rates *r, const BYTE *data, BYTE *back)
{
    char key[16];
    USHORT rc;
    Profile profile = openFresh(kPrfFile, 0);
    if (!profile)
        return 1;
    HPRF h = profile.get();
    double t = now();
    for (int i = 0; i < kBigCount; i++) {
        sprintf(key, "big%d", i);
        if ((rc = PrfWriteProfileData(h, "big", key, data, kBigValue)) != 0)
            return failed("PrfWriteProfileData", rc);
    }
    r->write = kBigCount / (now() - t);
    t = now();
    for (int i = 0; i < kBigCount; i++) {
        ULONG size = kBigValue;
        sprintf(key, "big%d", i);
        rc = PrfQueryProfileData(h, "big", key, back, &size);
        if (rc || size != kBigValue || memcmp(back, data, kBigValue) != 0)
            return failed("PrfQueryProfileData", rc ? rc : 1);
    }
    r->read = kBigCount / (now() - t);
    profile.reset();
    DeleteFileA(kPrfFile);
    return 0;
}

int benchBigRegistry(Rates *r, const BYTE *data, BYTE *back)
{
    char key[16];
    RegDeleteTreeA(HKEY_CURRENT_USER, kRegRoot);
    RegKey root = createKey(HKEY_CURRENT_USER, kRegRoot);
    if (!root)
        return failed("RegCreateKeyExA", 1);
    double t = now();
    for (int i = 0; i < kBigCount; i++) {
        sprintf(key, "big%d", i);
        if (RegSetValueExA(root.get(), key, 0, REG_BINARY, data, kBigValue))
            return failed("RegSetValueExA", 1);
    }
    r->write = kBigCount / (now() - t);
    t = now();
    for (int i = 0; i < kBigCount; i++) {
        DWORD size = kBigValue, type;
        sprintf(key, "big%d", i);
        if (RegQueryValueExA(root.get(), key, NULL, &type, back, &size) || size != kBigValue
            || memcmp(back, data, kBigValue) != 0)
            return failed("RegQueryValueExA", 1);
    }
    r->read = kBigCount / (now() - t);
    root.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, kRegRoot);
    return 0;
}

void row(const char *what, const Rates *r, const char *unit)
{
    printf("  %-26s write %10.0f %s/s   read %10.0f %s/s\n", what, r->write, unit, r->read, unit);
}

void ratio(const char *what, const Rates *ours, const Rates *peer)
{
    printf("  profile / %-15s write x%.2f   read x%.2f\n", what, ours->write / peer->write,
           ours->read / peer->read);
}

}  // namespace

int main()
{
    Rates unshared = {0, 0}, shared = {0, 0}, reg = {0, 0}, ini = {0, 0};
    Floors floors;
    Rates bigPrf = {0, 0}, bigReg = {0, 0};
    std::vector<BYTE> data(kBigValue), back(kBigValue);

    KnlInitCP();
    KnlInitDBCSEv();
    makeData();
    for (int i = 0; i < kBigValue; i++)
        data[i] = (BYTE)(i * 131 + (i >> 9));
    if (benchProfile(kPrfFile, 0, &unshared) || benchProfile(kPrfShared, PRF_OPEN_SHARED, &shared, &floors)
        || benchRegistry(&reg) || benchIni(&ini)
        || benchBigProfile(&bigPrf, data.data(), back.data())
        || benchBigRegistry(&bigReg, data.data(), back.data()))
        return 1;
    printf("%d string keys (%d-%d bytes) in %d sections, operations per second:\n", kKeys,
           kMinValue, kMinValue + kValueSpan - 1, kSections);
    row("profile, not shared", &unshared, "op");
    row("profile, shared", &shared, "op");
    row("lock/unlock pair ceiling", &floors.ceiling, "op");
    row("floor: pair + transfers", &floors.floor, "op");
    row("registry (HKCU)", &reg, "op");
    row("INI file (1/10 of the keys)", &ini, "op");
    ratio("registry", &unshared, &reg);
    ratio("INI file", &unshared, &ini);
    printf("  shared profile / registry  write x%.2f   read x%.2f\n", shared.write / reg.write,
           shared.read / reg.read);
    printf("  shared profile / ceiling   write x%.2f   read x%.2f"
           "   (exclusive pairs for writes, shared for reads)\n",
           shared.write / floors.ceiling.write, shared.read / floors.ceiling.read);
    printf("  shared profile / floor     write x%.2f   read x%.2f"
           "   (%.2f / %.2f system transfers per call at %.1f / %.1f us inside a hold)\n",
           shared.write / floors.floor.write, shared.read / floors.floor.read,
           floors.transfers.write, floors.transfers.read, floors.transferMicros.write,
           floors.transferMicros.read);
    printf("%d values of 1 MiB (profile: 16 KiB pieces), MiB per second:\n", kBigCount);
    row("profile, not shared", &bigPrf, "MiB");
    row("registry (HKCU)", &bigReg, "MiB");
    ratio("registry", &bigPrf, &bigReg);
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    printf("peak working set of the process: %.1f MiB\n",
           (double)m.PeakWorkingSetSize / (1024.0 * 1024.0));
    return 0;
}
