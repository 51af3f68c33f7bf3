// Wrong handles given to every block-file and profile call: a closed
// handle, made-up values (a local's address, a freed heap block, a page
// given back to the system), and a handle of the other family.  Each call
// must answer as it does for a null handle, and the open handles used
// beside them keep working.  A profile handle whose word no longer names
// the file handler's state is refused the same way.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>
#include "profile/falint.h"
#include "prf.h"
#include "memvbf.h"

namespace {

// Values that look like handles but name no open record.
struct Impostors {
    std::vector<std::pair<std::string, void *>> all;
    Impostors(void *closed, void *otherFamily)
    {
        static long local[64];
        void *block = malloc(256);
        volatile std::uintptr_t address = reinterpret_cast<std::uintptr_t>(block);
        free(block);
        void *heap = reinterpret_cast<void *>(address);   // only its value is used
        void *page = VirtualAlloc(NULL, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        VirtualFree(page, 0, MEM_RELEASE);
        all = {{"closed", closed},
               {"local", local},
               {"freed heap block", heap},
               {"released page", page},
               {"low address", (void *)0x10},
               {"other family", otherFamily}};
    }
};

HFAL openFal(const char *name)
{
    HFAL h = nullptr;
    memvbf::files().erase(name);
    EXPECT_EQ(FalCreate(NULL, name, &h, FAL_FIRST_FIT, 16, 0, 0, memvbf::table()), 0);
    return h;
}

HPRF openPrf(const char *name)
{
    HPRF h = nullptr;
    memvbf::files().erase(name);
    EXPECT_EQ(PrfOpenProfileOnVbf(NULL, &h, name, 0, memvbf::table()), 0);
    return h;
}

using FalCall = std::function<long long(HFAL)>;

std::vector<std::pair<const char *, FalCall>> falCalls()
{
    static char buf[64];
    static ULONG v;
    return {
        {"FalGetBlock", [](HFAL h) { return FalGetBlock(h, 0, buf, 4); }},
        {"FalQueryTotalBlockSize", [](HFAL h) { return FalQueryTotalBlockSize(h, 0, &v); }},
        {"FalReadBlock", [](HFAL h) { return FalReadBlock(h, 0, 0, buf, 4); }},
        {"FalQueryBlockSize", [](HFAL h) { return FalQueryBlockSize(h, 0, &v); }},
        {"FalAllocBlock", [](HFAL h) { v = 0; return FalAllocBlock(h, &v, 4, "abcd", 4); }},
        {"FalReallocBlock", [](HFAL h) { v = 112; return FalReallocBlock(h, &v, 400, buf, 4); }},
        {"FalWriteBlock", [](HFAL h) { return FalWriteBlock(h, 0, 0, "ab", 2); }},
        {"FalFreeBlock", [](HFAL h) { return FalFreeBlock(h, 112); }},
        {"FalLock", [](HFAL h) { return FalLock(h, TRUE); }},
        {"FalUnlock", [](HFAL h) { return FalUnlock(h); }},
        {"FalQueryUpdateCount", [](HFAL h) { USHORT c; return FalQueryUpdateCount(h, &c); }},
        {"FalFlush", [](HFAL h) { return FalFlush(h); }},
        {"FalSyncHeader", [](HFAL h) { return FalSyncHeader(h); }},
        {"FalCheck", [](HFAL h) { return FalCheck(h); }},
        {"FalQueryFileName", [](HFAL h) { return (long long)(FalQueryFileName(h) != NULL); }},
        {"FalClose", [](HFAL h) { return FalClose(h); }},
    };
}

using PrfCall = std::function<long long(HPRF)>;

std::vector<std::pair<const char *, PrfCall>> prfCalls()
{
    static char buf[64];
    static ULONG size;
    static PRFFLDINFO info;
    static PRFREQUEST rq;
    static PRFFALOPEN rec = {NULL, "never-opened", FAL_FIRST_FIT, 0, memvbf::table()};
    return {
        {"PrfLockHandler", [](HPRF h) { return PrfLockHandler(h, TRUE); }},
        {"PrfUtlQueryHandlerLockCount", [](HPRF h) { return PrfUtlQueryHandlerLockCount(h); }},
        {"PrfUtlSetHandlerULongPtr", [](HPRF h) { PrfUtlSetHandlerULongPtr(h, 5); return 0; }},
        {"PrfUtlQueryHandlerULongPtr", [](HPRF h) { return (long long)PrfUtlQueryHandlerULongPtr(h); }},
        {"PrfUtlSetHandlerULong", [](HPRF h) { PrfUtlSetHandlerULong(h, 5); return 0; }},
        {"PrfUtlQueryHandlerULong", [](HPRF h) { return (long long)PrfUtlQueryHandlerULong(h); }},
        {"PrfSetOemMode", [](HPRF h) { return PrfSetOemMode(h, 1); }},
        {"PrfGetOemMode", [](HPRF h) { return PrfGetOemMode(h); }},
        {"PrfFalHandler", [](HPRF h) { return (long long)PrfFalHandler(h, PRF_CMD_READ, &rq); }},
        {"PrfFalOpenHandler", [](HPRF h) { return PrfFalOpenHandler(h, &rec); }},
        {"PrfFalTransaction", [](HPRF h) { return PrfFalTransaction(h, TRUE); }},
        {"PrfFalFlush", [](HPRF h) { return PrfFalFlush(h); }},
        {"PrfFalSetCorrupt", [](HPRF h) { return PrfFalSetCorrupt(h, TRUE); }},
        {"PrfCreateSection", [](HPRF h) { return PrfCreateSection(h, "s"); }},
        {"PrfDestroySection", [](HPRF h) { return PrfDestroySection(h, "s"); }},
        {"PrfLockSection", [](HPRF h) { return PrfLockSection(h, "s", TRUE, TRUE); }},
        {"PrfTransaction", [](HPRF h) { return PrfTransaction(h, TRUE); }},
        {"PrfCheckConsistent", [](HPRF h) { return PrfCheckConsistent(h); }},
        {"PrfQueryProfileSize", [](HPRF h) { return PrfQueryProfileSize(h, "s", "k", &size); }},
        {"PrfQueryProfileData", [](HPRF h) { size = 8; return PrfQueryProfileData(h, "s", "k", buf, &size); }},
        {"PrfQueryProfileDataOffset", [](HPRF h) { size = 8; return PrfQueryProfileDataOffset(h, "s", "k", 0, buf, &size); }},
        {"PrfQueryProfileString", [](HPRF h) { return PrfQueryProfileString(h, "s", "k", "d", buf, 8); }},
        {"PrfQueryProfileShort", [](HPRF h) { SHORT x; return PrfQueryProfileShort(h, "s", "k", &x); }},
        {"PrfQueryProfileUShort", [](HPRF h) { USHORT x; return PrfQueryProfileUShort(h, "s", "k", &x); }},
        {"PrfQueryProfileLong", [](HPRF h) { LONG x; return PrfQueryProfileLong(h, "s", "k", &x); }},
        {"PrfQueryProfileULong", [](HPRF h) { ULONG x; return PrfQueryProfileULong(h, "s", "k", &x); }},
        {"PrfQueryProfileKey", [](HPRF h) { return (long long)(PrfQueryProfileKey(h, "s", "k", FALSE) != NULL); }},
        {"PrfWriteProfileData", [](HPRF h) { return PrfWriteProfileData(h, "s", "k", "v", 1); }},
        {"PrfWriteProfileDataOffset", [](HPRF h) { return PrfWriteProfileDataOffset(h, "s", "k", 0, "v", 1); }},
        {"PrfWriteProfileString", [](HPRF h) { return PrfWriteProfileString(h, "s", "k", "v"); }},
        {"PrfWriteProfileShort", [](HPRF h) { return PrfWriteProfileShort(h, "s", "k", 1); }},
        {"PrfWriteProfileUShort", [](HPRF h) { return PrfWriteProfileUShort(h, "s", "k", 1); }},
        {"PrfWriteProfileLong", [](HPRF h) { return PrfWriteProfileLong(h, "s", "k", 1); }},
        {"PrfWriteProfileULong", [](HPRF h) { return PrfWriteProfileULong(h, "s", "k", 1); }},
        {"PrfSetProfileDataSize", [](HPRF h) { return PrfSetProfileDataSize(h, "s", "k", 4); }},
        {"PrfQueryProfileFldInfo", [](HPRF h) { return PrfQueryProfileFldInfo(h, "s", "k", &info); }},
        {"PrfWriteProfileFldInfo", [](HPRF h) { PrfFldInfoInit(&info, 1); return PrfWriteProfileFldInfo(h, "s", "k", &info); }},
        {"PrfFalCloseHandler", [](HPRF h) { return PrfFalCloseHandler(h); }},
    };
}

TEST(FalHandles, EveryCallRefusesWhatIsNoOpenFile)
{
    HFAL live = openFal("handles-live"), closed = openFal("handles-closed");
    HPRF prf = openPrf("handles-prf");
    ULONG kept = 0;
    ASSERT_EQ(FalAllocBlock(live, &kept, 5, "kept!", 5), 0);
    ASSERT_EQ(FalClose(closed), 0);
    Impostors bad(closed, prf);
    for (const auto &[callName, call] : falCalls()) {
        const long long expected = call(nullptr);
        for (const auto &[what, value] : bad.all) {
            SCOPED_TRACE(std::string(callName) + " on " + what);
            EXPECT_EQ(call((HFAL)value), expected);
        }
    }
    char buf[8] = {};
    EXPECT_EQ(FalGetBlock(live, kept, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "kept!");
    EXPECT_EQ(FalCheck(live), 0);
    EXPECT_EQ(FalClose(live), 0);
    EXPECT_EQ(PrfCloseProfile(prf), 0);
}

TEST(PrfHandles, EveryCallRefusesWhatIsNoOpenProfile)
{
    HPRF live = openPrf("prf-live"), closed = openPrf("prf-closed");
    HFAL fal = openFal("prf-other-family");
    ASSERT_EQ(PrfWriteProfileString(live, "sec", "key", "value"), 0);
    ASSERT_EQ(PrfCloseProfile(closed), 0);
    Impostors bad(closed, fal);
    for (const auto &[callName, call] : prfCalls()) {
        const long long expected = call(nullptr);
        for (const auto &[what, value] : bad.all) {
            SCOPED_TRACE(std::string(callName) + " on " + what);
            EXPECT_EQ(call((HPRF)value), expected);
        }
    }
    for (const auto &[what, value] : bad.all) {
        SCOPED_TRACE(what);
        EXPECT_EQ(PrfCloseProfile((HPRF)value), ORIN_ERR_GENERAL);
        EXPECT_EQ(PrfCloseHandler((HPRF)value), ORIN_ERR_GENERAL);
    }
    char buf[16] = {};
    EXPECT_EQ(PrfQueryProfileString(live, "sec", "key", NULL, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "value");
    EXPECT_EQ(PrfCheckConsistent(live), 0);
    EXPECT_EQ(PrfCloseProfile(live), 0);
    EXPECT_EQ(FalClose(fal), 0);
}

TEST(PrfHandles, AWordThatNamesNoProfileStateIsRefused)
{
    HPRF h = openPrf("prf-word");
    ASSERT_EQ(PrfWriteProfileString(h, "sec", "key", "value"), 0);
    const ULONG_PTR state = PrfUtlQueryHandlerULongPtr(h);
    void *page = VirtualAlloc(NULL, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    VirtualFree(page, 0, MEM_RELEASE);
    char buf[16] = {};
    for (ULONG_PTR word : {(ULONG_PTR)0, (ULONG_PTR)page, (ULONG_PTR)buf, state + 8}) {
        PrfUtlSetHandlerULongPtr(h, word);
        EXPECT_EQ(PrfQueryProfileString(h, "sec", "key", NULL, buf, sizeof buf),
                  ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(PrfWriteProfileString(h, "sec", "key", "other"), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(PrfFalFlush(h), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(PrfFalSetCorrupt(h, TRUE), ORIN_ERR_INVALID_HANDLE);
    }
    PrfUtlSetHandlerULongPtr(h, state);
    EXPECT_EQ(PrfQueryProfileString(h, "sec", "key", NULL, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "value");
    EXPECT_EQ(PrfCloseProfile(h), 0);
}

}  // namespace
