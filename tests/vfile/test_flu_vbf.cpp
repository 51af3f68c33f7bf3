// The chopped-file back-end through VbfOpen: reads across volume
// boundaries, seeks over the whole file (random ones over many sizes
// against the original), Getch and Gets at the ends of volumes, length
// and name queries, writes in place, the open flags it refuses, volumes
// found through the volume-change callback, damaged headers and sizes
// that disagree, the volume limit, and calls on a closed back-end.
#include <cstdlib>
#include <memory>
#include "flutest.h"

using namespace flutest;

namespace {

struct TableFree {
    void operator()(VBFFUNCS *t) const { std::free(t); }
};

// What the volume-change callback is asked, and how it answers.
struct Changer {
    struct Call {
        std::string path, dir;
        USHORT volume;
    };
    std::vector<Call> calls;
    std::function<ULONG(char *path, char *dir, USHORT volume)> answer;

    static ULONG ORINAPI callback(void *, char *path, char *dir, USHORT volume, void *user)
    {
        auto *c = static_cast<Changer *>(user);
        c->calls.push_back({path, dir, volume});
        return c->answer ? c->answer(path, dir, volume) : 0;
    }
};

class FluVbf : public Scratch {
protected:
    FluVbf() : Scratch("flu_vbf"), table_(FluChopAllocVbfFuncStruct(ns())) {}
    void TearDown() override
    {
        ChopVbfSetVolumeChangeCallback(nullptr, nullptr);
        for (HVBF h : open_)
            VbfClose(h);
        Scratch::TearDown();
    }

    HVBF open(const std::string &first, ULONG mode = VBF_MODE_READ | VBF_SHARE_DENY_NONE)
    {
        HVBF h = nullptr;
        ULONG action = 0;
        USHORT rc = VbfOpen(ns(), at(first).c_str(), &h, &action, 0, VBF_ATTR_NORMAL,
                            VBF_OPEN_EXISTING, mode, table_.get());
        EXPECT_EQ(rc, 0);
        if (h)
            open_.push_back(h);
        return h;
    }
    void close(HVBF h)
    {
        std::erase(open_, h);
        EXPECT_EQ(VbfClose(h), 0);
    }
    std::string readAt(HVBF h, ULONG pos, ULONG n, USHORT expectRc = 0)
    {
        std::string out(n, '\0');
        ULONG got = 0;
        EXPECT_EQ(VbfChgFilePtr(h, (LONG)pos, VBF_FILE_BEGIN, nullptr), 0);
        EXPECT_EQ(VbfRead(h, out.data(), n, &got), expectRc);
        out.resize(got);
        return out;
    }

    std::unique_ptr<VBFFUNCS, TableFree> table_;
    std::vector<HVBF> open_;
};

TEST_F(FluVbf, ReadAcrossTheFirstBoundary)
{
    const std::string src = data(1000);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    HVBF h = open("DATA.DAT");
    EXPECT_EQ(readAt(h, 400 - 20, 40), src.substr(380, 40));
    EXPECT_EQ(VbfTell(h), 420u);
    EXPECT_EQ(readAt(h, 700, 400), src.substr(700));       // clipped at the end
    EXPECT_EQ(VbfTell(h), 1000u);
    EXPECT_EQ(readAt(h, 1000, 10), "");
    EXPECT_EQ(readAt(h, 5000, 10), "");
    EXPECT_EQ(readAt(h, 0, 1000), src);
    std::string direct(40, '\0');
    ULONG got = 0;
    ASSERT_EQ(VbfChgFilePtr(h, 770, VBF_FILE_BEGIN, nullptr), 0);
    EXPECT_EQ(VbfReadDirect(h, direct.data(), 40, &got), 0);
    EXPECT_EQ(got, 40u);
    EXPECT_EQ(direct, src.substr(770, 40));
}

TEST_F(FluVbf, RandomSeeksMatchTheOriginal)
{
    std::mt19937 gen(7);
    for (int round = 0; round < 25; round++) {
        size_t size = 300 + gen() % 15000;
        ULONG volumeSize = 250 + gen() % 2000;
        if (size <= volumeSize)
            size = volumeSize + 1 + gen() % 500;
        const std::string src = data(size, round + 100);
        SCOPED_TRACE("size " + std::to_string(size) + " volume " + std::to_string(volumeSize));
        ASSERT_EQ(chop(src, "R.DAT", volumeSize), 0);
        HVBF h = open("R.DAT");
        for (int i = 0; i < 40; i++) {
            ULONG pos = gen() % (size + 20), n = gen() % (2 * volumeSize);
            std::string want = pos < size ? src.substr(pos, n) : "";
            ASSERT_EQ(readAt(h, pos, n), want) << pos << "+" << n;
        }
        close(h);
    }
}

TEST_F(FluVbf, SeekMethodsOverTheWholeFile)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    HVBF h = open("DATA.DAT");
    ULONG pos = 1;
    EXPECT_EQ(VbfChgFilePtr(h, 500, VBF_FILE_BEGIN, &pos), 0);
    EXPECT_EQ(pos, 500u);
    EXPECT_EQ(VbfChgFilePtr(h, 300, VBF_FILE_CURRENT, &pos), 0);
    EXPECT_EQ(pos, 800u);
    EXPECT_EQ(VbfChgFilePtr(h, -10, VBF_FILE_END, &pos), 0);
    EXPECT_EQ(pos, 990u);
    EXPECT_EQ(VbfChgFilePtr(h, -2000, VBF_FILE_CURRENT, &pos), 0);
    EXPECT_EQ(pos, 0u);
    EXPECT_EQ(VbfChgFilePtr(h, 5, 3, &pos), 87);
    EXPECT_EQ(VbfTell(h), 0u);
    EXPECT_EQ(VbfChgFilePtr(h, 20, VBF_FILE_END, &pos), 0);   // beyond the end: nothing to read
    EXPECT_EQ(pos, 1020u);
}

TEST_F(FluVbf, GetchAndGetsAcrossVolumes)
{
    std::string text;
    std::vector<std::string> lines;
    for (int i = 0; text.size() < 2000; i++) {
        lines.push_back("line " + std::to_string(i) + std::string(i % 37, 'x'));
        text += lines.back() + "\r\n";
    }
    ASSERT_EQ(chop(text, "TEXT.TXT", 260), 0);
    HVBF h = open("TEXT.TXT");
    char buf[128];
    ULONG consumed = 0, pos = 0;
    for (const auto &want : lines) {
        ASSERT_EQ(VbfGets(h, buf, sizeof buf, &consumed), 0);
        EXPECT_EQ(std::string(buf), want);
        EXPECT_EQ(consumed, want.size() + 2);
        pos += consumed;
        EXPECT_EQ(VbfTell(h), pos);
    }
    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &consumed), 0);   // at the end: an empty line
    EXPECT_EQ(consumed, 0u);
    EXPECT_STREQ(buf, "");
    // A buffer too small for the line: its bytes are the line.
    ASSERT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfGets(h, buf, 4, &consumed), 0);
    EXPECT_STREQ(buf, "lin");
    EXPECT_EQ(consumed, 3u);
    // Getch over a boundary (248 data bytes per volume), then at the end.
    BYTE c = 0;
    ASSERT_EQ(VbfChgFilePtr(h, 247, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfGetch(h, &c), 0);
    EXPECT_EQ(c, (BYTE)text[247]);
    ASSERT_EQ(VbfGetch(h, &c), 0);
    EXPECT_EQ(c, (BYTE)text[248]);
    ASSERT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_END, nullptr), 0);
    ASSERT_EQ(VbfGetch(h, &c), 0);
    EXPECT_EQ(c, 0xFF);
    EXPECT_EQ(VbfTell(h), (ULONG)text.size());
}

TEST_F(FluVbf, LengthNewSizeNameAndLocks)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    HVBF h = open("DATA.DAT");
    char name[MAX_PATH];
    ASSERT_EQ(VbfQueryFilename(h, name, sizeof name), 0);      // nothing opened yet
    EXPECT_EQ(std::string(name), full("DATA.DAT"));
    ULONG length = 0;
    ASSERT_EQ(VbfQueryLength(h, &length), 0);
    EXPECT_EQ(length, 1000u);
    EXPECT_EQ(VbfNewSize(h, 1000), 0);
    EXPECT_EQ(VbfNewSize(h, 5000), 0);
    EXPECT_EQ(VbfNewSize(h, 999), 0xFFFF);
    ASSERT_EQ(VbfQueryLength(h, &length), 0);
    EXPECT_EQ(length, 1000u);
    ASSERT_EQ(VbfChgFilePtr(h, 900, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfQueryFilename(h, name, sizeof name), 0);
    EXPECT_EQ(std::string(name), full("DATA.D02"));
    ASSERT_EQ(VbfQueryFilename(h, name, 5), 0);
    EXPECT_EQ(std::string(name), full("DATA.D02").substr(0, 4));
    EXPECT_EQ(VbfFlush(h), 0);
    FILELOCK lock = {0, 10, 1};
    EXPECT_EQ(VbfFileLocks(h, nullptr, &lock), 0);
    EXPECT_EQ(VbfFileLocksEx(h, &lock, &lock), 0);
    BYTE one;
    EXPECT_EQ(VbfGetch(h, nullptr), 87);
    EXPECT_EQ(VbfRead(h, nullptr, 1, nullptr), 87);
    EXPECT_EQ(VbfGets(h, nullptr, 10, nullptr), 87);
    EXPECT_EQ(VbfQueryLength(h, nullptr), 87);
    EXPECT_EQ(VbfQFileInfo(h, 1, &one, 1), 50);
}

TEST_F(FluVbf, CreateAndReplaceFlagsAreRefused)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    for (ULONG flags : {0x10ul, 0x11ul, 0x12ul, 0x02ul}) {
        HVBF h = nullptr;
        EXPECT_EQ(VbfOpen(ns(), at("DATA.DAT").c_str(), &h, nullptr, 0, VBF_ATTR_NORMAL, flags,
                          VBF_MODE_READ, table_.get()), 87) << flags;
        EXPECT_EQ(h, nullptr);
    }
}

// Volume 0 is opened by the first operation that needs it; seeking
// without any volume is 65535, other calls give the open's error.
TEST_F(FluVbf, VolumeZeroIsOpenedLazily)
{
    HVBF h = open("LATER.DAT");
    ASSERT_NE(h, nullptr);
    ULONG length;
    EXPECT_EQ(VbfQueryLength(h, &length), 2);
    EXPECT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr), 0xFFFF);
    const std::string src = data(1000, 8);
    ASSERT_EQ(chop(src, "LATER.DAT", 400), 0);         // the file appears afterwards
    EXPECT_EQ(readAt(h, 390, 20), src.substr(390, 20));
}

TEST_F(FluVbf, WritesStayWithinTheVolumes)
{
    const std::string src = data(1000, 12);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    HVBF ro = open("DATA.DAT");
    ULONG done = 9;
    ASSERT_EQ(VbfChgFilePtr(ro, 10, VBF_FILE_BEGIN, nullptr), 0);
    EXPECT_EQ(VbfWrite(ro, "x", 1, &done), 5);          // opened for reading
    close(ro);

    HVBF h = open("DATA.DAT", VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE);
    const std::string patch(50, 'P');
    ASSERT_EQ(VbfChgFilePtr(h, 370, VBF_FILE_BEGIN, nullptr), 0);
    EXPECT_EQ(VbfWrite(h, patch.data(), 50, &done), 0);
    EXPECT_EQ(done, 50u);
    ASSERT_EQ(VbfChgFilePtr(h, 990, VBF_FILE_BEGIN, nullptr), 0);
    EXPECT_EQ(VbfWrite(h, patch.data(), 20, &done), 112);     // the file does not grow
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(readAt(h, 360, 70), src.substr(360, 10) + patch + src.substr(420, 10));
    close(h);
    std::string expected = src;
    expected.replace(370, 50, patch);
    expected.replace(990, 10, patch.substr(0, 10));
    ASSERT_EQ(FluFileMerge(ns(), at("DATA.DAT").c_str(), at("out.bin").c_str(), nullptr, nullptr),
              0);
    EXPECT_EQ(testutil::readFile(at("out.bin")), expected);
    EXPECT_EQ(testutil::readFile(at("DATA.D01")).size(), 400u);
}

// Volume 1 lives in another folder: the callback names it and answers 1;
// the place is remembered, so going back and forth asks only once.
TEST_F(FluVbf, MissingVolumeFoundThroughTheCallback)
{
    const std::string src = data(1000, 13);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    ASSERT_TRUE(CreateDirectoryA(at("disk2").c_str(), nullptr));
    ASSERT_TRUE(MoveFileA(at("DATA.D01").c_str(), at("disk2\\DATA.D01").c_str()));
    Changer changer;
    changer.answer = [&](char *path, char *, USHORT) -> ULONG {
        lstrcpynA(path, at("disk2\\DATA.D01").c_str(), FLU_PATH_SIZE + 1);
        return 1;
    };
    ChopVbfSetVolumeChangeCallback(Changer::callback, &changer);
    HVBF h = open("DATA.DAT");
    EXPECT_EQ(readAt(h, 380, 40), src.substr(380, 40));
    ASSERT_EQ(changer.calls.size(), 1u);
    EXPECT_EQ(changer.calls[0].volume, 1);
    EXPECT_EQ(changer.calls[0].path, full("DATA.D01"));
    EXPECT_EQ(changer.calls[0].dir, full("DATA.D01").substr(0, full("DATA.D01").size() - 8));
    char name[MAX_PATH];
    ASSERT_EQ(VbfQueryFilename(h, name, sizeof name), 0);
    EXPECT_EQ(std::string(name), at("disk2\\DATA.D01"));
    EXPECT_EQ(readAt(h, 0, 1000), src);
    EXPECT_EQ(changer.calls.size(), 1u);
}

// The callback may name only another folder; the volume's file name is
// looked for there.
TEST_F(FluVbf, CallbackMayChangeOnlyTheFolder)
{
    const std::string src = data(1000, 14);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    ASSERT_TRUE(CreateDirectoryA(at("disk3").c_str(), nullptr));
    ASSERT_TRUE(MoveFileA(at("DATA.D02").c_str(), at("disk3\\DATA.D02").c_str()));
    Changer changer;
    changer.answer = [&](char *, char *dir, USHORT) -> ULONG {
        lstrcpynA(dir, full("disk3").c_str(), FLU_PATH_SIZE + 1);
        return 1;
    };
    ChopVbfSetVolumeChangeCallback(Changer::callback, &changer);
    HVBF h = open("DATA.DAT");
    EXPECT_EQ(readAt(h, 0, 1000), src);
    ASSERT_EQ(changer.calls.size(), 1u);
    EXPECT_EQ(changer.calls[0].volume, 2);
}

// Answering 1 without a change tries the same place again (the volume
// comes back meanwhile); answering 0 gives up with the error.
TEST_F(FluVbf, RetryAndGiveUp)
{
    const std::string src = data(1000, 15);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    ASSERT_TRUE(MoveFileA(at("DATA.D01").c_str(), at("away").c_str()));
    Changer changer;
    changer.answer = [&](char *, char *, USHORT) -> ULONG {
        if (changer.calls.size() < 3)
            return 1;
        MoveFileA(at("away").c_str(), at("DATA.D01").c_str());
        return 1;
    };
    ChopVbfSetVolumeChangeCallback(Changer::callback, &changer);
    HVBF h = open("DATA.DAT");
    EXPECT_EQ(readAt(h, 0, 1000), src);
    EXPECT_EQ(changer.calls.size(), 3u);
    close(h);

    ASSERT_TRUE(MoveFileA(at("DATA.D01").c_str(), at("away").c_str()));
    changer.calls.clear();
    changer.answer = nullptr;                             // gives up at once
    h = open("DATA.DAT");
    EXPECT_EQ(readAt(h, 300, 200, 2), src.substr(300, 88));
    EXPECT_EQ(changer.calls.size(), 1u);
    ChopVbfSetVolumeChangeCallback(nullptr, nullptr);
    EXPECT_EQ(VbfChgFilePtr(h, 500, VBF_FILE_BEGIN, nullptr), 2);
    EXPECT_EQ(VbfTell(h), 388u);                          // a failed seek keeps the position
}

TEST_F(FluVbf, DamagedHeaders)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    struct Case {
        size_t at;
        std::string bytes;
        USHORT rc;
    } cases[] = {
        {0, "CHOP9", 57564},                                   // magic
        {6, std::string("\x02\x00", 2), 57565},                // index
        {8, makeHeader(1, 1234).substr(8), 57564},             // total size
    };
    for (const auto &c : cases) {
        const std::string before = testutil::readFile(at("DATA.D01"));
        patchFile(at("DATA.D01"), c.at, c.bytes);
        HVBF h = open("DATA.DAT");
        EXPECT_EQ(readAt(h, 380, 40, c.rc).size(), 8u);
        close(h);
        ASSERT_TRUE(testutil::writeFile(at("DATA.D01"), before));
    }
    ASSERT_TRUE(testutil::writeFile(at("DATA.DAT"), "CHOP1"));  // shorter than a header
    HVBF h = open("DATA.DAT");
    ULONG length;
    EXPECT_EQ(VbfQueryLength(h, &length), 57564);
}

// A volume that changes its length after it was seen no longer fits
// (57564); the callback may put it right and ask for another attempt.
TEST_F(FluVbf, SizesThatDisagree)
{
    const std::string src = data(1000, 16);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    const std::string d1 = testutil::readFile(at("DATA.D01"));
    HVBF h = open("DATA.DAT");
    EXPECT_EQ(readAt(h, 0, 1000), src);
    ASSERT_TRUE(testutil::writeFile(at("DATA.D01"), d1 + "extra"));
    EXPECT_EQ(readAt(h, 380, 40, 57564).size(), 8u);
    Changer changer;
    changer.answer = [&](char *, char *, USHORT) -> ULONG {
        return testutil::writeFile(at("DATA.D01"), d1) ? 1 : 0;
    };
    ChopVbfSetVolumeChangeCallback(Changer::callback, &changer);
    EXPECT_EQ(readAt(h, 380, 40), src.substr(380, 40));
    EXPECT_EQ(changer.calls.size(), 1u);
}

// Volumes past number 999 are out of reach (57565).
TEST_F(FluVbf, AtMostAThousandVolumes)
{
    const ULONG share = 244 - 12;
    const std::string src = data(1002 * share, 17);
    ASSERT_EQ(chop(src, "MANY.DAT", 244), 0);
    HVBF h = open("MANY.DAT");
    EXPECT_EQ(readAt(h, 999 * share + 5, 10), src.substr(999 * share + 5, 10));
    EXPECT_EQ(VbfChgFilePtr(h, (LONG)(1000 * share), VBF_FILE_BEGIN, nullptr), 57565);
    std::string tail(20, '\0');
    ULONG got = 0;
    ASSERT_EQ(VbfChgFilePtr(h, (LONG)(1000 * share - 10), VBF_FILE_BEGIN, nullptr), 0);
    EXPECT_EQ(VbfRead(h, tail.data(), 20, &got), 57565);
    EXPECT_EQ(got, 10u);
}

TEST_F(FluVbf, ClosedOrMadeUpBackEndHandles)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    void *backend = nullptr;
    ULONG action = 0;
    ASSERT_EQ(table_->Open(table_->context, at("DATA.DAT").c_str(), &backend, &action, 0,
                           VBF_ATTR_NORMAL, VBF_OPEN_EXISTING, VBF_MODE_READ, 0), 0);
    EXPECT_EQ(action, 1u);
    char c;
    ULONG got;
    EXPECT_EQ(table_->Read(backend, &c, 1, &got), 0);
    EXPECT_EQ(table_->Close(backend), 0);
    EXPECT_EQ(table_->Read(backend, &c, 1, &got), 0xFFFF);
    EXPECT_EQ(table_->Close(backend), 0xFFFF);
    int madeUp = 0;
    EXPECT_EQ(table_->ChgFilePtr(&madeUp, 0, 0, nullptr), 0xFFFF);
    EXPECT_EQ(table_->Tell(&madeUp), 0xFFFFFFFFu);
    EXPECT_EQ(table_->Open(table_->context, nullptr, &backend, &action, 0, 0, 1, 0, 0), 87);
}

}  // namespace
