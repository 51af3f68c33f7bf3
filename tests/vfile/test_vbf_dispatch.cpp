// The Vbf dispatchers over tables that the test builds itself: which slots
// a table of a given length reaches, the FileLocksEx fallback, how VbfOpen
// and VbfClose treat a caller's table, and bad handles.
#include <gtest/gtest.h>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>
#include "vbf.h"

namespace {

// A back-end that records the last call and answers a chosen code.
struct Recorder {
    std::vector<std::string> calls;
    USHORT answer = 0;
    ULONG_PTR lastContext = 0, lastExtra = 0;
    FILELOCK *lastUnlock = nullptr, *lastLock = nullptr;
    LONG lastDistance = 0;
    ULONG lastMethod = 0;
};
Recorder rec;
int backendToken;    // its address is the back-end handle

#define CHECK_BACKEND(h) EXPECT_EQ((h), &backendToken)

USHORT fakeOpen(ULONG_PTR ctx, const char *name, void **backend, ULONG *action, ULONG,
                ULONG, ULONG, ULONG, ULONG_PTR extra)
{
    rec.calls.push_back(std::string("Open:") + name);
    rec.lastContext = ctx;
    rec.lastExtra = extra;
    if (rec.answer == 0)
        *backend = &backendToken;
    return rec.answer;
}
USHORT fakeClose(void *h) { CHECK_BACKEND(h); rec.calls.push_back("Close"); return rec.answer; }
USHORT fakeChgFilePtr(void *h, LONG d, ULONG m, ULONG *pos)
{
    CHECK_BACKEND(h);
    rec.calls.push_back("ChgFilePtr");
    rec.lastDistance = d;
    rec.lastMethod = m;
    if (pos)
        *pos = 77;
    return rec.answer;
}
USHORT fakeRead(void *h, void *, ULONG, ULONG *) { CHECK_BACKEND(h); rec.calls.push_back("Read"); return rec.answer; }
USHORT fakeReadDirect(void *h, void *, ULONG, ULONG *) { CHECK_BACKEND(h); rec.calls.push_back("ReadDirect"); return rec.answer; }
USHORT fakeWrite(void *h, const void *, ULONG, ULONG *) { CHECK_BACKEND(h); rec.calls.push_back("Write"); return rec.answer; }
USHORT fakeGetch(void *h, BYTE *) { CHECK_BACKEND(h); rec.calls.push_back("Getch"); return rec.answer; }
USHORT fakeGets(void *h, char *, ULONG, ULONG *) { CHECK_BACKEND(h); rec.calls.push_back("Gets"); return rec.answer; }
USHORT fakeFlush(void *h) { CHECK_BACKEND(h); rec.calls.push_back("Flush"); return rec.answer; }
USHORT fakeFileLocks(void *h, FILELOCK *u, FILELOCK *l)
{
    CHECK_BACKEND(h);
    rec.calls.push_back("FileLocks");
    rec.lastUnlock = u;
    rec.lastLock = l;
    return rec.answer;
}
USHORT fakeFileLocksEx(void *h, FILELOCK *u, FILELOCK *l)
{
    CHECK_BACKEND(h);
    rec.calls.push_back("FileLocksEx");
    rec.lastUnlock = u;
    rec.lastLock = l;
    return rec.answer;
}
ULONG fakeTell(void *h) { CHECK_BACKEND(h); rec.calls.push_back("Tell"); return 123456; }
USHORT fakeQueryLength(void *h, ULONG *) { CHECK_BACKEND(h); rec.calls.push_back("QueryLength"); return rec.answer; }
USHORT fakeNewSize(void *h, ULONG) { CHECK_BACKEND(h); rec.calls.push_back("NewSize"); return rec.answer; }
USHORT fakeQueryFilename(void *h, char *, ULONG) { CHECK_BACKEND(h); rec.calls.push_back("QueryFilename"); return rec.answer; }
USHORT fakeQFileInfo(void *h, ULONG, void *, ULONG) { CHECK_BACKEND(h); rec.calls.push_back("QFileInfo"); return rec.answer; }
USHORT fakeSetFileInfo(void *h, ULONG, void *, ULONG) { CHECK_BACKEND(h); rec.calls.push_back("SetFileInfo"); return rec.answer; }
USHORT fakeMap(void *h, void **, ULONG, ULONG, ULONG) { CHECK_BACKEND(h); rec.calls.push_back("MapViewOfFile"); return rec.answer; }
USHORT fakeUnmap(void *h) { CHECK_BACKEND(h); rec.calls.push_back("UnmapViewOfFile"); return rec.answer; }

VBFFUNCS fullTable()
{
    VBFFUNCS t;
    memset(&t, 0, sizeof t);
    t.cb = sizeof t;
    t.context = 0xC0FFEE;
    t.Open = fakeOpen;
    t.Close = fakeClose;
    t.ChgFilePtr = fakeChgFilePtr;
    t.Read = fakeRead;
    t.ReadDirect = fakeReadDirect;
    t.Write = fakeWrite;
    t.Getch = fakeGetch;
    t.Gets = fakeGets;
    t.Flush = fakeFlush;
    t.FileLocks = fakeFileLocks;
    t.FileLocksEx = fakeFileLocksEx;
    t.Tell = fakeTell;
    t.QueryLength = fakeQueryLength;
    t.NewSize = fakeNewSize;
    t.QueryFilename = fakeQueryFilename;
    t.QFileInfo = fakeQFileInfo;
    t.SetFileInfo = fakeSetFileInfo;
    t.MapViewOfFile = fakeMap;
    t.UnmapViewOfFile = fakeUnmap;
    t.extra = 0xE1;
    return t;
}

HVBF openOn(VBFFUNCS *t)
{
    HVBF h = nullptr;
    rec = Recorder();
    EXPECT_EQ(VbfOpen(nullptr, "x.dat", &h, nullptr, 0, 128, 1, 2, t), 0);
    rec.calls.clear();
    return h;
}

// Calls every dispatcher once; returns each one's result by slot name.
std::vector<std::pair<std::string, ULONG>> callAll(HVBF h)
{
    char buf[8];
    BYTE ch;
    ULONG n;
    void *view;
    FILELOCK lk = {0, 1, 0};
    return {
        {"ChgFilePtr", VbfChgFilePtr(h, 0, 0, &n)},
        {"Read", VbfRead(h, buf, 1, &n)},
        {"ReadDirect", VbfReadDirect(h, buf, 1, &n)},
        {"Write", VbfWrite(h, buf, 1, &n)},
        {"Getch", VbfGetch(h, &ch)},
        {"Gets", VbfGets(h, buf, sizeof buf, &n)},
        {"Flush", VbfFlush(h)},
        {"FileLocks", VbfFileLocks(h, nullptr, &lk)},
        {"Tell", VbfTell(h)},
        {"QueryLength", VbfQueryLength(h, &n)},
        {"NewSize", VbfNewSize(h, 1)},
        {"QueryFilename", VbfQueryFilename(h, buf, sizeof buf)},
        {"QFileInfo", VbfQFileInfo(h, 1, buf, sizeof buf)},
        {"SetFileInfo", VbfSetFileInfo(h, 1, buf, sizeof buf)},
        {"MapViewOfFile", VbfMapViewOfFile(h, &view, 1, 0, 0)},
        {"UnmapViewOfFile", VbfUnmapViewOfFile(h)},
    };
}

} // namespace

TEST(VbfDispatch, EachLengthReachesExactlyTheSlotsItCovers)
{
    // Minimum lengths of the dispatchers, in the order callAll uses.
    const ULONG minimum[] = {40, 48, 56, 64, 72, 80, 88, 96, 112, 120, 128, 136, 144, 152, 160, 168};
    for (ULONG_PTR cb = 16; cb <= VBF_FUNCS_SIZE; cb += 8) {
        VBFFUNCS t = fullTable();
        HVBF h = openOn(&t);
        ASSERT_NE(h, nullptr);
        t.cb = cb;    // shorten the table after the open
        rec.answer = 7;
        auto results = callAll(h);
        size_t expectCalls = 0;
        for (size_t i = 0; i < results.size(); i++) {
            bool reached = cb >= minimum[i];
            SCOPED_TRACE(results[i].first + " at length " + std::to_string(cb));
            if (results[i].first == "Tell")
                EXPECT_EQ(results[i].second, reached ? 123456u : 50u);
            else
                EXPECT_EQ(results[i].second, reached ? 7u : 50u);
            expectCalls += reached;
        }
        EXPECT_EQ(rec.calls.size(), expectCalls) << "length " << cb;
        t.cb = VBF_FUNCS_SIZE;
        rec.answer = 0;
        EXPECT_EQ(VbfClose(h), 0);
    }
}

TEST(VbfDispatch, EmptySlotsAnswerNotSupportedAndResultsPassUnchanged)
{
    VBFFUNCS t = fullTable();
    HVBF h = openOn(&t);
    t.Read = nullptr;
    t.Tell = nullptr;
    char buf[4];
    ULONG n = 0;
    EXPECT_EQ(VbfRead(h, buf, 4, &n), 50);
    EXPECT_EQ(VbfTell(h), 50u);
    EXPECT_TRUE(rec.calls.empty());

    rec.answer = 0xE0DD;    // a family code reaches the caller untouched
    ULONG pos = 0;
    EXPECT_EQ(VbfChgFilePtr(h, -12, 2, &pos), 0xE0DD);
    EXPECT_EQ(rec.lastDistance, -12);
    EXPECT_EQ(rec.lastMethod, 2u);
    EXPECT_EQ(pos, 77u);
    rec.answer = 0;
    EXPECT_EQ(VbfClose(h), 0);
}

TEST(VbfDispatch, FileLocksExFallsBackToFileLocks)
{
    FILELOCK unlock = {10, 2, 0}, lock = {20, 4, 0};

    // Length 104 with the FileLocksEx slot empty.
    VBFFUNCS t = fullTable();
    HVBF h = openOn(&t);
    t.cb = 104;
    t.FileLocksEx = nullptr;
    EXPECT_EQ(VbfFileLocksEx(h, &unlock, &lock), 0);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0], "FileLocks");
    EXPECT_EQ(rec.lastUnlock, &unlock);
    EXPECT_EQ(rec.lastLock, &lock);

    // Length 104 with the slot filled: the slot itself.
    t.FileLocksEx = fakeFileLocksEx;
    rec.calls.clear();
    EXPECT_EQ(VbfFileLocksEx(h, nullptr, &lock), 0);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0], "FileLocksEx");

    // Length 96: the Ex slot lies beyond the table even though it is
    // filled; Tell is out of reach too.
    t.cb = 96;
    rec.calls.clear();
    EXPECT_EQ(VbfFileLocksEx(h, nullptr, &lock), 0);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0], "FileLocks");
    EXPECT_EQ(VbfTell(h), 50u);

    // Length 88: neither lock slot.
    t.cb = 88;
    EXPECT_EQ(VbfFileLocksEx(h, nullptr, &lock), 50);
    EXPECT_EQ(VbfFileLocks(h, nullptr, &lock), 50);
    t.cb = VBF_FUNCS_SIZE;
    EXPECT_EQ(VbfClose(h), 0);
}

TEST(VbfOpenClose, OpenGetsContextWordAndExtraWordOfTheTable)
{
    VBFFUNCS t = fullTable();
    HVBF h = nullptr;
    rec = Recorder();
    ASSERT_EQ(VbfOpen(nullptr, "name.txt", &h, nullptr, 0, 128, 1, 2, &t), 0);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0], "Open:name.txt");
    EXPECT_EQ(rec.lastContext, 0xC0FFEEu);
    EXPECT_EQ(rec.lastExtra, 0xE1u);
    EXPECT_EQ(VbfClose(h), 0);

    // A table too short to hold word 21 hands Open 0 for it.
    t.cb = 24;
    rec = Recorder();
    ASSERT_EQ(VbfOpen(nullptr, "n", &h, nullptr, 0, 128, 1, 2, &t), 0);
    EXPECT_EQ(rec.lastExtra, 0u);
    t.cb = VBF_FUNCS_SIZE;
    EXPECT_EQ(VbfClose(h), 0);
}

TEST(VbfOpenClose, RejectedOpenLeavesCallersTableAndReturnsItsCode)
{
    // The table lives on the heap as a plain block: if VbfOpen freed it,
    // the bytes would no longer be ours (and a double free would follow).
    auto *t = new VBFFUNCS(fullTable());
    VBFFUNCS copy = *t;
    HVBF h = reinterpret_cast<HVBF>(1);
    rec = Recorder();
    rec.answer = 32;    // sharing violation from the back-end
    EXPECT_EQ(VbfOpen(nullptr, "busy.dat", &h, nullptr, 0, 128, 1, 2, t), 32);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(memcmp(t, &copy, sizeof copy), 0);
    rec.answer = 0;
    ASSERT_EQ(VbfOpen(nullptr, "again.dat", &h, nullptr, 0, 128, 1, 2, t), 0);
    EXPECT_EQ(VbfClose(h), 0);
    EXPECT_EQ(memcmp(t, &copy, sizeof copy), 0);
    delete t;
}

TEST(VbfOpenClose, CloseFailureStillEndsTheHandleAndIsReported)
{
    VBFFUNCS t = fullTable();
    HVBF h = openOn(&t);
    rec.answer = 5;
    EXPECT_EQ(VbfClose(h), 5);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0], "Close");
}

TEST(VbfBadInput, NullHandlesAndShortTablesAnswerWithCodes)
{
    char buf[4];
    ULONG n;
    EXPECT_EQ(VbfClose(nullptr), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(VbfRead(nullptr, buf, 4, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(VbfWrite(nullptr, buf, 4, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(VbfFileLocksEx(nullptr, nullptr, nullptr), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(VbfTell(nullptr), 0xFFFFFFFFu);

    // Tables that end before their Open slot, or leave it empty.
    for (ULONG_PTR cb : {0u, 8u, 16u}) {
        VBFFUNCS t = fullTable();
        t.cb = cb;
        HVBF h = reinterpret_cast<HVBF>(1);
        rec = Recorder();
        EXPECT_EQ(VbfOpen(nullptr, "x", &h, nullptr, 0, 128, 1, 2, &t), 50) << cb;
        EXPECT_EQ(h, nullptr);
        EXPECT_TRUE(rec.calls.empty());
    }
    VBFFUNCS t = fullTable();
    t.Open = nullptr;
    HVBF h = nullptr;
    EXPECT_EQ(VbfOpen(nullptr, "x", &h, nullptr, 0, 128, 1, 2, &t), 50);
    EXPECT_EQ(VbfOpen(nullptr, nullptr, &h, nullptr, 0, 128, 1, 2, &t), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(VbfOpen(nullptr, "x", nullptr, nullptr, 0, 128, 1, 2, &t), ORIN_ERR_INVALID_PARAM);

    // A table whose Close slot is missing still lets the handle go.
    t = fullTable();
    h = openOn(&t);
    t.cb = 24;
    EXPECT_EQ(VbfClose(h), 50);
}

// A handle that was closed, or one the family never made, answers the
// invalid-handle code without anything being called through it, even when
// it looks like a live record (the made-up one points at a real table).
TEST(VbfBadInput, ClosedAndMadeUpHandlesAnswerInvalidHandle)
{
    VBFFUNCS t = fullTable();
    HVBF closed = openOn(&t);
    ASSERT_NE(closed, nullptr);
    ASSERT_EQ(VbfClose(closed), 0);
    struct { VBFFUNCS *table; void *backend; ULONG ownsTable; } lookalike = {&t, &backendToken, 0};
    HVBF madeUp = reinterpret_cast<HVBF>(&lookalike);

    for (HVBF h : {closed, madeUp}) {
        rec.calls.clear();
        for (auto &[slot, rc] : callAll(h)) {
            SCOPED_TRACE(slot);
            EXPECT_EQ(rc, slot == "Tell" ? 0xFFFFFFFFu : (ULONG)ORIN_ERR_INVALID_HANDLE);
        }
        FILELOCK lk = {0, 1, 1};
        EXPECT_EQ(VbfFileLocksEx(h, nullptr, &lk), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(VbfClose(h), ORIN_ERR_INVALID_HANDLE);
        ILockBytes *lb = reinterpret_cast<ILockBytes *>(1);
        EXPECT_EQ(VbfCreateILockBytesOnVbf(h, &lb), E_INVALIDARG);
        EXPECT_EQ(lb, nullptr);
        EXPECT_TRUE(rec.calls.empty()) << rec.calls.front();
    }
}
