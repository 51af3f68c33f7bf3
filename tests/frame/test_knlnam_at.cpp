// Reads and writes at an offset in one system call against the seek and
// transfer they stand for: on two copies of one file each case runs both
// ways and must give the same result code, the same bytes, the same file
// pointer afterwards and, for writes, the same file.  Cases: inside the
// file, across and past its end, empty transfers, the largest offsets a
// seek reaches and the first one it does not, a range another handle has
// locked, a read-only handle and a closed one.  Every case runs again with
// the offset side opened for transfers at offsets only (no transfer
// pointer: everything but the pointer must agree), and such a handle must
// still answer seeks, size changes and locks as an ordinary one does.
#include <gtest/gtest.h>
#include <string>
#include "frame/knlnam_at.h"
#include "testutil.h"

namespace {

using testutil::ScratchFile;

void *ns() { return KnlNamGetDefaultNS(); }

KNLHFILE openFile(const std::string &name, ULONG access, bool atOnly = false)
{
    KNLHFILE h = 0;
    ULONG action;
    bool opened = false;
    if (atOnly) {
        EXPECT_EQ(orin::knlnam::openForTransfersAt(name.c_str(), &h, &action, 0, 0,
                                                   KNLNAM_OPEN_EXISTING,
                                                   access | KNLNAM_SHARE_DENYNONE, &opened), 0);
        EXPECT_TRUE(opened);
    } else {
        EXPECT_EQ(KnlNamOpen(ns(), name.c_str(), &h, &action, 0, 0, KNLNAM_OPEN_EXISTING,
                             access | KNLNAM_SHARE_DENYNONE, 0), 0);
    }
    return h;
}

// What one transfer did: its code, the bytes it moved and where the
// handle's pointer stood afterwards.
struct Outcome {
    USHORT rc;
    ULONG done;
    std::string bytes;
    ULONG pointer;
    bool operator==(const Outcome &o) const
    {
        return rc == o.rc && done == o.done && bytes == o.bytes && pointer == o.pointer;
    }
};

std::ostream &operator<<(std::ostream &os, const Outcome &o)
{
    return os << "rc " << o.rc << ", " << o.done << " bytes, pointer " << o.pointer;
}

ULONG pointerOf(KNLHFILE h)
{
    ULONG pos = 0;
    KnlNamChgFilePtr(ns(), h, 0, KNLNAM_SEEK_CURRENT, &pos);
    return pos;
}

Outcome seekAndRead(KNLHFILE h, ULONG offset, ULONG count)
{
    std::string buf(count, '\0');
    ULONG done = 0;
    USHORT rc = KnlNamChgFilePtr(ns(), h, (LONG)offset, KNLNAM_SEEK_BEGIN, nullptr);
    if (rc == 0)
        rc = KnlNamRead(ns(), h, buf.data(), count, &done);
    return {rc, done, buf.substr(0, done), pointerOf(h)};
}

Outcome readAt(KNLHFILE h, ULONG offset, ULONG count)
{
    std::string buf(count, '\0');
    ULONG done = 0;
    USHORT rc = orin::knlnam::readAt(h, offset, buf.data(), count, &done);
    return {rc, done, buf.substr(0, done), pointerOf(h)};
}

Outcome seekAndWrite(KNLHFILE h, ULONG offset, const std::string &data)
{
    ULONG done = 0;
    USHORT rc = KnlNamChgFilePtr(ns(), h, (LONG)offset, KNLNAM_SEEK_BEGIN, nullptr);
    if (rc == 0)
        rc = KnlNamWrite(ns(), h, data.data(), (ULONG)data.size(), &done);
    return {rc, done, "", pointerOf(h)};
}

Outcome writeAt(KNLHFILE h, ULONG offset, const std::string &data)
{
    ULONG done = 0;
    USHORT rc = orin::knlnam::writeAt(h, offset, data.data(), (ULONG)data.size(), &done);
    return {rc, done, "", pointerOf(h)};
}

std::string content(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; i++)
        s[i] = (char)('A' + i * 7 % 26);
    return s;
}

// The parameter: whether the offset side's handle is one for transfers at
// offsets only.
class PositionedTransfers : public ::testing::TestWithParam<bool> {
protected:
    ScratchFile plainFile{"nam_at_plain.dat"}, atFile{"nam_at_offset.dat"};
    KNLHFILE plain = 0, at = 0;
    const std::string start = content(10000);

    void SetUp() override
    {
        ASSERT_TRUE(testutil::writeFile(plainFile.name, start));
        ASSERT_TRUE(testutil::writeFile(atFile.name, start));
        plain = openFile(plainFile.name, KNLNAM_ACCESS_READWRITE);
        at = openFile(atFile.name, KNLNAM_ACCESS_READWRITE, GetParam());
    }
    /* A handle without a transfer pointer leaves its pointer where it was. */
    void expectSame(Outcome got, const Outcome &want)
    {
        if (GetParam())
            got.pointer = want.pointer;
        EXPECT_EQ(got, want);
    }
    void TearDown() override
    {
        KnlNamClose(ns(), plain);
        KnlNamClose(ns(), at);
    }
};

TEST_P(PositionedTransfers, ReadsGiveWhatSeekAndReadGive)
{
    struct Case {
        ULONG offset, count;
    };
    const Case cases[] = {
        {0, 100},          {4000, 4096},    {9990, 100},  {10000, 10},
        {20000, 10},       {5000, 0},       {0, 10000},   {0x7FFFFFFF, 1},
        {0x80000000u, 1},  {0xFFFFFFF0u, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("offset " + std::to_string(c.offset) + ", " + std::to_string(c.count));
        Outcome want = seekAndRead(plain, c.offset, c.count);
        expectSame(readAt(at, c.offset, c.count), want);
        if (c.offset < start.size() && c.count != 0) {
            EXPECT_EQ(want.bytes, start.substr(c.offset, c.count));
        }
    }
}

TEST_P(PositionedTransfers, WritesLeaveTheSameFile)
{
    struct Case {
        ULONG offset, length;
    };
    const Case cases[] = {
        {0, 10}, {5000, 3000}, {9995, 20}, {12000, 5}, {11000, 0}, {0x7FFFFFF0u, 0},
        {0x80000000u, 4}, {0xFFFFFFFEu, 8},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE("offset " + std::to_string(c.offset) + ", " + std::to_string(c.length));
        std::string data(c.length, (char)('a' + n++));
        expectSame(writeAt(at, c.offset, data), seekAndWrite(plain, c.offset, data));
    }
    KnlNamClose(ns(), plain);
    KnlNamClose(ns(), at);
    plain = at = 0;
    std::string written = testutil::readFile(plainFile.name);
    EXPECT_EQ(written.size(), 12005u);
    EXPECT_EQ(written.substr(12000), "ddddd");
    EXPECT_EQ(written.substr(10015, 1985), std::string(1985, '\0')) << "the gap reads as zeros";
    EXPECT_TRUE(testutil::readFile(atFile.name) == written);
}

// A range another handle holds, a handle without write access and a
// closed handle fail with the same codes both ways.  (Whether a locked
// range refuses a transfer is the system's affair; the two ways must agree.)
TEST_P(PositionedTransfers, RefusalsGiveTheSameCodes)
{
    HANDLE locker = CreateFileA(atFile.name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    HANDLE plainLocker = CreateFileA(plainFile.name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    ASSERT_NE(plainLocker, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(locker, 2000, 0, 1000, 0));
    ASSERT_TRUE(LockFile(plainLocker, 2000, 0, 1000, 0));
    expectSame(readAt(at, 2500, 10), seekAndRead(plain, 2500, 10));
    expectSame(writeAt(at, 2500, "zz"), seekAndWrite(plain, 2500, "zz"));
    expectSame(readAt(at, 1000, 10), seekAndRead(plain, 1000, 10));
    CloseHandle(locker);
    CloseHandle(plainLocker);

    KNLHFILE readOnlyPlain = openFile(plainFile.name, 0),
             readOnlyAt = openFile(atFile.name, 0, GetParam());
    // (after a refused transfer the pointer is wherever the seek left it)
    Outcome refused = seekAndWrite(readOnlyPlain, 10, "x");
    EXPECT_NE(refused.rc, 0);
    EXPECT_EQ(writeAt(readOnlyAt, 10, "x").rc, refused.rc);
    KnlNamClose(ns(), readOnlyPlain);
    KnlNamClose(ns(), readOnlyAt);

    KNLHFILE closedPlain = openFile(plainFile.name, 0),
             closedAt = openFile(atFile.name, 0, GetParam());
    KnlNamClose(ns(), closedPlain);
    KnlNamClose(ns(), closedAt);
    Outcome closed = seekAndRead(closedPlain, 0, 10);
    EXPECT_EQ(closed.rc, ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(readAt(closedAt, 0, 10).rc, closed.rc);
    EXPECT_EQ(writeAt(closedAt, 0, "x").rc, closed.rc);
}

// The other calls on a handle for transfers at offsets only: a seek from
// the end answers the length, a new size is kept, a range lock excludes
// another handle and is given back, and a transfer after all that lands
// where it names.
TEST_P(PositionedTransfers, OtherCallsWorkOnTheHandle)
{
    ULONG pos = 0;
    ASSERT_EQ(KnlNamChgFilePtr(ns(), at, 0, KNLNAM_SEEK_END, &pos), 0);
    EXPECT_EQ(pos, start.size());
    ASSERT_EQ(KnlNamNewSize(ns(), at, 6000), 0);
    ASSERT_EQ(KnlNamChgFilePtr(ns(), at, 0, KNLNAM_SEEK_END, &pos), 0);
    EXPECT_EQ(pos, 6000u);

    FILELOCK range = {100, 50, 1};
    ASSERT_EQ(KnlNamFileLocksEx(ns(), at, nullptr, &range), 0);
    HANDLE other = CreateFileA(atFile.name.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(LockFile(other, 120, 0, 10, 0)) << "the range is held";
    ASSERT_EQ(KnlNamFileLocksEx(ns(), at, &range, nullptr), 0);
    EXPECT_TRUE(LockFile(other, 120, 0, 10, 0)) << "and given back";
    UnlockFile(other, 120, 0, 10, 0);
    CloseHandle(other);

    EXPECT_EQ(writeAt(at, 5990, "tail!").done, 5u);
    Outcome back = readAt(at, 5985, 100);
    EXPECT_EQ(back.bytes, start.substr(5985, 5) + "tail!" + start.substr(5995, 5));
}

INSTANTIATE_TEST_SUITE_P(Handles, PositionedTransfers, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "AtOffsetsOnly" : "Ordinary";
                         });

}  // namespace
