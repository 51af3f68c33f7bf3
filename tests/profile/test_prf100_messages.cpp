// The first-format handler as a message handler: the messages it does not
// serve, bad handles and bad arguments, the lock each message takes, and
// two processes' worth of handles sharing one file.
#include <gtest/gtest.h>
#include <cstring>
#include <vector>
#include "prf100test.h"
#include "prfdisk.h"

using namespace prf100test;

namespace {

TEST(Prf100Messages, OnlyMessagesZeroToSevenAreServed)
{
    MemProfile p("unserved.prf");
    ASSERT_EQ(p.rc, 0);
    ASSERT_EQ(write(p.h, "S", "k", "0123456789"), 0);
    p.close();
    Bytes before = bytesOf("unserved.prf");
    ASSERT_EQ(p.open(), 0);
    for (int msg : {8, 9, 10, 11, 12, 13, 14, 15, 99, -1}) {
        char buf[4];
        PRFREQUEST rq = request("S", "k", buf, sizeof buf);
        EXPECT_EQ(send(p.h, (PRFCMD)msg, &rq), (ULONG)PRF_ERR_NOTSERVED) << msg;
    }
    char buf[4];
    ULONG size = sizeof buf;
    EXPECT_EQ(PrfWriteProfileDataOffset(p.h, "S", "k", 2, "ab", 2), PRF_ERR_NOTSERVED);
    EXPECT_EQ(PrfQueryProfileDataOffset(p.h, "S", "k", 2, buf, &size), PRF_ERR_NOTSERVED);
    EXPECT_EQ(PrfSetProfileDataSize(p.h, "S", "k", 3), PRF_ERR_NOTSERVED);
    EXPECT_EQ(PrfCheckConsistent(p.h), PRF_ERR_NOTSERVED);
    EXPECT_EQ(PrfLockSection(p.h, "S", TRUE, TRUE), PRF_ERR_NOTSERVED);
    EXPECT_EQ(PrfTransaction(p.h, TRUE), PRF_ERR_NOTSERVED);
    EXPECT_EQ(PrfTransaction(p.h, FALSE), PRF_ERR_NOTSERVED);
    EXPECT_EQ(value(p.h, "S", "k"), "0123456789");
    p.close();
    EXPECT_EQ(bytesOf("unserved.prf"), before);
}

TEST(Prf100Messages, BadHandlesGetTheirCode)
{
    EXPECT_EQ(PrfFal100Handler(nullptr, PRF_CMD_LISTSECTIONS, nullptr), (ULONG)ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(Prf100CloseProfile(nullptr), 0);
    HPRF made = nullptr;
    EXPECT_EQ(Prf100OpenProfile(nullptr, nullptr, "x.prf", 0), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(Prf100OpenProfile(nullptr, &made, nullptr, 0), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(PrfOpenHandler(PrfFal100Handler, nullptr, &made), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(made, nullptr);

    // A closed handle.
    HPRF closed;
    {
        MemProfile p("closed.prf");
        ASSERT_EQ(p.rc, 0);
        closed = p.h;
    }
    PRFREQUEST rq = request(nullptr, nullptr);
    EXPECT_EQ(send(closed, PRF_CMD_LISTSECTIONS, &rq), (ULONG)ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(send(closed, PRF_CMD_CLOSE, nullptr), (ULONG)ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(send((HPRF)&rq, PRF_CMD_LISTSECTIONS, &rq), (ULONG)ORIN_ERR_INVALID_HANDLE);

    // A handle of the current handler, and the other way round.
    memvbf::files().erase("current.prf");
    HPRF current = nullptr;
    ASSERT_EQ(PrfOpenProfileOnVbf(nullptr, &current, "current.prf", 0, memvbf::table()), 0);
    for (int msg = 1; msg <= 7; msg++)
        EXPECT_EQ(send(current, (PRFCMD)msg, &rq), (ULONG)ORIN_ERR_INVALID_HANDLE) << msg;
    EXPECT_EQ(write(current, "S", "k", "v"), 0);
    PrfCloseProfile(current);

    MemProfile p("legacy.prf");
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(PrfFalHandler(p.h, PRF_CMD_LISTSECTIONS, &rq), (ULONG)ORIN_ERR_INVALID_HANDLE);
    // An open profile is not opened again over its state.
    PRFFALOPEN rec = {nullptr, "other.prf", 0x0020, 0, memvbf::table()};
    EXPECT_EQ(send(p.h, PRF_CMD_OPEN, &rec), (ULONG)ORIN_ERR_INVALID_HANDLE);
    // The handler's word is the caller's to spoil; it is checked, not trusted.
    ULONG_PTR word = PrfUtlQueryHandlerULongPtr(p.h);
    PrfUtlSetHandlerULongPtr(p.h, (ULONG_PTR)&rq);
    EXPECT_EQ(send(p.h, PRF_CMD_LISTSECTIONS, &rq), (ULONG)ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(PrfWriteProfileString(p.h, "S", "k", "v"), ORIN_ERR_INVALID_HANDLE);
    PrfUtlSetHandlerULongPtr(p.h, word);
    EXPECT_EQ(write(p.h, "S", "k", "v"), 0);
}

TEST(Prf100Messages, BadArgumentsGetTheirCode)
{
    MemProfile p("args.prf");
    ASSERT_EQ(p.rc, 0);
    ASSERT_EQ(write(p.h, "S", "k", "v"), 0);
    for (PRFCMD msg : {PRF_CMD_READ, PRF_CMD_LISTSECTIONS, PRF_CMD_LISTKEYS, PRF_CMD_WRITE})
        EXPECT_EQ(send(p.h, msg, nullptr), (ULONG)ORIN_ERR_INVALID_PARAM) << msg;
    EXPECT_EQ(send(p.h, PRF_CMD_CREATESECTION, nullptr), (ULONG)ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(send(p.h, PRF_CMD_DESTROYSECTION, nullptr), (ULONG)ORIN_ERR_INVALID_NAME);
    PRFREQUEST rq = request(nullptr, "k");
    EXPECT_EQ(send(p.h, PRF_CMD_READ, &rq), (ULONG)ORIN_ERR_INVALID_NAME);
    rq = request("S", nullptr);
    EXPECT_EQ(send(p.h, PRF_CMD_READ, &rq), (ULONG)ORIN_ERR_INVALID_NAME);
    rq = request(nullptr, nullptr);
    EXPECT_EQ(send(p.h, PRF_CMD_LISTKEYS, &rq), (ULONG)ORIN_ERR_INVALID_NAME);
    rq = request(nullptr, "k", (void *)"v", 1);
    EXPECT_EQ(send(p.h, PRF_CMD_WRITE, &rq), (ULONG)ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(value(p.h, "S", "k"), "v");
}

// ---- Locks --------------------------------------------------------------------

// The in-memory back-end, noting every lock and unlock of a range.
struct LockLog {
    static inline std::vector<std::string> events;
    static USHORT lockEx(void *, FILELOCK *unlock, FILELOCK *lock)
    {
        if (unlock)
            events.push_back("unlock");
        if (lock)
            events.push_back(lock->exclusive ? "exclusive" : "shared");
        return 0;
    }
    static USHORT lock(void *, FILELOCK *unlock, FILELOCK *lock) { return lockEx(nullptr, unlock, lock); }
    static VBFFUNCS *table()
    {
        static VBFFUNCS t;
        t = *memvbf::table();
        t.FileLocks = lock;
        t.FileLocksEx = lockEx;
        return &t;
    }
};

// Reads hold the header lock shared, changes exclusive, once for the whole
// message, and give it back.
TEST(Prf100Messages, ReadsLockSharedAndChangesExclusive)
{
    MemProfile p("locks.prf");
    ASSERT_EQ(p.rc, 0);
    p.close();
    ASSERT_EQ(p.open(PRF_OPEN_SHARED, LockLog::table()), 0);
    const std::vector<std::string> shared = {"shared", "unlock"}, exclusive = {"exclusive", "unlock"};
    auto check = [&](const char *what, const std::vector<std::string> &want, USHORT rc, USHORT got) {
        EXPECT_EQ(got, rc) << what;
        EXPECT_EQ(LockLog::events, want) << what;
        LockLog::events.clear();
    };
    char buf[64];
    ULONG size = sizeof buf;
    LockLog::events.clear();
    check("create", exclusive, 0, PrfCreateSection(p.h, "A"));
    check("write", exclusive, 0, write(p.h, "B", "k", std::string(500, 'v')));
    check("rewrite", exclusive, 0, write(p.h, "B", "k", std::string(900, 'w')));
    PRFREQUEST rq = request("B", "k", buf, sizeof buf);
    check("read", shared, 0, (USHORT)send(p.h, PRF_CMD_READ, &rq));
    rq = request(nullptr, nullptr, buf, sizeof buf);
    check("sections", shared, 0, (USHORT)send(p.h, PRF_CMD_LISTSECTIONS, &rq));
    rq = request("B", nullptr, buf, sizeof buf);
    check("keys", shared, 0, (USHORT)send(p.h, PRF_CMD_LISTKEYS, &rq));
    check("missing key", shared, ORIN_ERR_NO_KEY, PrfQueryProfileData(p.h, "B", "x", buf, &size));
    check("delete key", exclusive, 0, PrfWriteProfileData(p.h, "B", "k", nullptr, 0));
    check("delete missing", exclusive, ORIN_ERR_NO_KEY, PrfWriteProfileData(p.h, "B", "k", nullptr, 0));
    check("destroy", exclusive, 0, PrfDestroySection(p.h, "A"));
    check("not served", {}, PRF_ERR_NOTSERVED, PrfSetProfileDataSize(p.h, "B", "k", 1));
    check("transaction", {}, PRF_ERR_NOTSERVED, PrfTransaction(p.h, TRUE));
    check("bad argument", {}, ORIN_ERR_INVALID_PARAM, (USHORT)send(p.h, PRF_CMD_WRITE, nullptr));
    p.close();
}

// Nothing is cached between messages: handles of two openers of one file
// see each other's changes at once.
TEST(Prf100Messages, SharedHandlesSeeEachOthersChanges)
{
    prfdisk::ScratchDir dir("prf100_shared");
    std::string name = dir.path("shared.prf");
    HPRF a = nullptr, b = nullptr;
    ASSERT_EQ(Prf100OpenProfile(nullptr, &a, name.c_str(), PRF_OPEN_SHARED), 0);
    ASSERT_EQ(Prf100OpenProfile(nullptr, &b, name.c_str(), PRF_OPEN_SHARED), 0);
    for (int i = 0; i < 20; i++) {
        HPRF w = i % 2 ? a : b, r = i % 2 ? b : a;
        std::string key = "k" + std::to_string(i % 7), v(i * 97 % 2000, (char)('a' + i % 26));
        ASSERT_EQ(write(w, "S", key.c_str(), v), 0);
        EXPECT_EQ(value(r, "S", key.c_str()), v) << i;
        if (i % 5 == 4 && i < 19) {
            ASSERT_EQ(PrfDestroySection(r, "S"), 0);
            EXPECT_EQ(list(w), "");
        }
    }
    Prf100CloseProfile(a);
    Prf100CloseProfile(b);
    ASSERT_EQ(Prf100OpenProfile(nullptr, &a, name.c_str(), PRF_OPEN_READONLY), 0);
    EXPECT_EQ(list(a, "S"), "k1~k2~k3~k4~k5~");
    Prf100CloseProfile(a);
    prf100file::Bytes bytes;
    std::string text = testutil::readFile(name);
    bytes.assign(text.begin(), text.end());
    EXPECT_EQ(prf100file::decode(bytes).layout.size(), 1u);
}

}  // namespace
