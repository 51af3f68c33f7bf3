// Merging volumes on real files: the round trip over many random sizes,
// the events, a volume with a wrong index fixed by the callback before
// the retry, damaged and missing volumes, volumes moved by the callback,
// and what is left of a target when the merge fails.
#include "flutest.h"

using namespace flutest;

namespace {

class FluMerge : public Scratch {
protected:
    FluMerge() : Scratch("flu_merge") {}

    USHORT merge(const std::string &first, Recorder *rec = nullptr)
    {
        return FluFileMerge(ns(), at(first).c_str(), at("out.bin").c_str(),
                            rec ? Recorder::callback : nullptr, rec);
    }
    std::string merged() { return testutil::readFile(at("out.bin")); }
};

TEST_F(FluMerge, RoundTripOverRandomSizes)
{
    std::mt19937 gen(20240611);
    for (int round = 0; round < 40; round++) {
        size_t size = gen() % 20000;
        ULONG volumeSize = 200 + gen() % 3000;
        const std::string src = data(size, round);
        SCOPED_TRACE("size " + std::to_string(size) + " volume " + std::to_string(volumeSize));
        ASSERT_EQ(chop(src, "R.DAT", volumeSize), 0);
        if (size <= volumeSize) {
            EXPECT_EQ(testutil::readFile(at("R.DAT")), src);
            continue;
        }
        ASSERT_EQ(merge("R.DAT"), 0);
        EXPECT_EQ(merged(), src);
    }
}

// The second volume claims to be volume 5: event 3 with 57565; the
// callback mends the header and answers 0, and the volume is read again.
TEST_F(FluMerge, WrongIndexMendedByTheCallback)
{
    const std::string src = data(1000, 2);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    patchFile(at("DATA.D01"), 6, std::string("\x05\x00", 2));
    Recorder rec;
    rec.answer = [&](const Event &e, char *, ULONG) -> ULONG {
        if (e.event == 3)
            patchFile(at("DATA.D01"), 6, std::string("\x01\x00", 2));
        return 0;
    };
    ASSERT_EQ(merge("DATA.DAT", &rec), 0);
    auto n = volumeNames("DATA", "DAT", 3);
    std::vector<Event> expected = {{2, 0, 65535, n[0]}, {2, 1, 65535, n[1]}, {3, 1, 57565, n[1]},
                                   {2, 1, 65535, n[1]}, {2, 2, 65535, n[2]}};
    EXPECT_EQ(rec.events, expected);
    EXPECT_EQ(merged(), src);
}

TEST_F(FluMerge, NonZeroAnswerEndsTheMergeAndDropsTheTarget)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    patchFile(at("DATA.D02"), 6, std::string("\x05\x00", 2));
    Recorder rec;
    rec.answer = [](const Event &e, char *, ULONG) -> ULONG { return e.event == 3 ? 1 : 0; };
    EXPECT_EQ(merge("DATA.DAT", &rec), 57565);
    EXPECT_EQ(rec.only(3).size(), 1u);
    EXPECT_FALSE(testutil::fileExists(at("out.bin")));
    // Without a callback the first failure ends it the same way.
    EXPECT_EQ(merge("DATA.DAT"), 57565);
    EXPECT_FALSE(testutil::fileExists(at("out.bin")));
}

TEST_F(FluMerge, IndexAbove65534FitsAnyPlace)
{
    const std::string src = data(1000, 4);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    patchFile(at("DATA.D01"), 6, std::string("\xFF\xFF", 2));
    ASSERT_EQ(merge("DATA.DAT"), 0);
    EXPECT_EQ(merged(), src);
}

TEST_F(FluMerge, DamagedVolumes)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    // The first volume decides before the target is touched.
    ASSERT_TRUE(testutil::writeFile(at("out.bin"), "keep"));
    EXPECT_EQ(merge("DATA.D01"), 57565);               // not volume 0
    EXPECT_EQ(merge("src.bin"), 57564);                // no magic
    EXPECT_EQ(merge("absent.DAT"), 2);
    EXPECT_EQ(testutil::readFile(at("out.bin")), "keep");

    Recorder rec;
    rec.answer = [](const Event &, char *, ULONG) -> ULONG { return 1; };
    patchFile(at("DATA.D02"), 0, "CHOP2");
    EXPECT_EQ(merge("DATA.DAT", &rec), 57564);
    ASSERT_EQ(rec.only(3).size(), 1u);
    EXPECT_EQ(rec.only(3)[0].volume, 2);
    patchFile(at("DATA.D02"), 0, "CHOP1");

    patchFile(at("DATA.D01"), 8, makeHeader(1, 999).substr(8));   // another total size
    EXPECT_EQ(merge("DATA.DAT"), 57564);
    patchFile(at("DATA.D01"), 8, makeHeader(1, 1000).substr(8));
    ASSERT_TRUE(testutil::writeFile(at("DATA.D02"), makeHeader(2, 1000).substr(0, 7)));
    EXPECT_EQ(merge("DATA.DAT"), 57564);               // a header cut short
    DeleteFileA(at("DATA.D02").c_str());
    EXPECT_EQ(merge("DATA.DAT"), 2);                   // a volume missing
    EXPECT_FALSE(testutil::fileExists(at("out.bin")));
}

// A volume the callback finds elsewhere, before opening it (event 2) or
// after it was not found (event 3).
TEST_F(FluMerge, VolumesMovedByTheCallback)
{
    const std::string src = data(1000, 9);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    ASSERT_TRUE(CreateDirectoryA(at("disk2").c_str(), nullptr));
    ASSERT_TRUE(MoveFileA(at("DATA.D01").c_str(), at("disk2\\DATA.D01").c_str()));
    ASSERT_TRUE(MoveFileA(at("DATA.D02").c_str(), at("disk2\\DATA.D02").c_str()));
    Recorder rec;
    rec.answer = [&](const Event &e, char *path, ULONG size) -> ULONG {
        if ((e.event == 2 && e.volume == 1) || (e.event == 3 && e.volume == 2)) {
            std::string moved = at("disk2\\DATA.D0") + std::to_string(e.volume);
            lstrcpynA(path, moved.c_str(), (int)size + 1);
        }
        return 0;
    };
    ASSERT_EQ(merge("DATA.DAT", &rec), 0);
    EXPECT_EQ(merged(), src);
    ASSERT_EQ(rec.only(3).size(), 1u);
    EXPECT_EQ(rec.only(3)[0].value, 2u);               // volume 2 not found where expected
}

TEST_F(FluMerge, TargetMustNotBeTheFirstVolume)
{
    const std::string src = data(1000, 6);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    const std::string before = testutil::readFile(at("DATA.DAT"));
    EXPECT_EQ(FluFileMerge(ns(), at("DATA.DAT").c_str(), full("DATA.DAT").c_str(), nullptr,
                           nullptr), 87);
    EXPECT_EQ(testutil::readFile(at("DATA.DAT")), before);
    EXPECT_EQ(FluFileMerge(ns(), at("DATA.DAT").c_str(), nullptr, nullptr, nullptr), 87);
    EXPECT_EQ(FluFileMerge(ns(), nullptr, at("out.bin").c_str(), nullptr, nullptr), 87);
}

}  // namespace
