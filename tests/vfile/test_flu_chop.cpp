// Chopping files into volumes on real files: volume sizes and the header
// bytes read back by the test itself, the plain copy of a source that
// fits, the smallest volume size, the volume limit, the events with their
// values, and failures answered by the callback with a retry or an
// abandon.
#include "flutest.h"

using namespace flutest;

namespace {

class FluChop : public Scratch {
protected:
    FluChop() : Scratch("flu_chop") {}

    // Reads the volumes back: their data joined, checking each header.
    std::string joinVolumes(const std::vector<std::string> &names, unsigned long total)
    {
        std::string joined;
        for (unsigned i = 0; i < names.size(); i++) {
            std::string v = testutil::readFile(names[i]);
            Header h = headerOf(v);
            EXPECT_EQ(h.magic, std::string("CHOP1\0", 6)) << names[i];
            EXPECT_EQ(h.index, i) << names[i];
            EXPECT_EQ(h.total, total) << names[i];
            joined += v.substr(12);
        }
        return joined;
    }
};

TEST_F(FluChop, ThousandBytesInVolumesOf400)
{
    const std::string src = data(1000);
    ASSERT_EQ(chop(src, "DATA.DAT", 400), 0);
    auto names = volumeNames("DATA", "DAT", 3);
    const size_t sizes[] = {400, 400, 236};      // 388, 388 and 224 bytes of data
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(testutil::readFile(names[i]).size(), sizes[i]) << names[i];
    EXPECT_FALSE(testutil::fileExists(at("DATA.D03")));
    // The exact bytes of the first header.
    std::string v0 = testutil::readFile(names[0]);
    EXPECT_EQ(v0.substr(0, 12), std::string("CHOP1\0\0\0\xE8\x03\0\0", 12));
    EXPECT_EQ(joinVolumes(names, 1000), src);
}

TEST_F(FluChop, EventsBeforeAndAfterEachVolume)
{
    Recorder rec;
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400, &rec), 0);
    auto n = volumeNames("DATA", "DAT", 3);
    std::vector<Event> expected = {
        {1, 0, 3, n[0]}, {4, 0, 3, n[0]}, {1, 1, 2, n[1]},
        {4, 1, 3, n[1]}, {1, 2, 1, n[2]}, {4, 2, 3, n[2]},
    };
    EXPECT_EQ(rec.events, expected);
}

TEST_F(FluChop, SourceThatFitsIsCopiedWithoutHeader)
{
    Recorder rec;
    const std::string src = data(400, 7);
    ASSERT_EQ(chop(src, "COPY.DAT", 400, &rec), 0);
    EXPECT_EQ(testutil::readFile(at("COPY.DAT")), src);
    EXPECT_FALSE(testutil::fileExists(at("COPY.D01")));
    EXPECT_TRUE(rec.events.empty());
    // An existing target is replaced.
    ASSERT_EQ(chop("short", "COPY.DAT", 400), 0);
    EXPECT_EQ(testutil::readFile(at("COPY.DAT")), "short");
    // One byte more is chopped.
    ASSERT_EQ(chop(data(401, 7), "CUT.DAT", 400), 0);
    EXPECT_EQ(testutil::readFile(at("CUT.D01")).size(), 12u + 13u);
}

TEST_F(FluChop, VolumeSizeBelow244CountsAs256)
{
    const std::string src = data(1000, 3);
    ASSERT_EQ(chop(src, "SMALL.DAT", 243), 0);
    auto names = volumeNames("SMALL", "DAT", 5);   // 4 x 244 data bytes + 24
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(testutil::readFile(names[i]).size(), 256u);
    EXPECT_EQ(testutil::readFile(names[4]).size(), 36u);
    EXPECT_EQ(joinVolumes(names, 1000), src);

    ASSERT_EQ(chop(src, "EXACT.DAT", 244), 0);   // 244 itself stays: 232 data bytes
    auto exact = volumeNames("EXACT", "DAT", 5);
    EXPECT_EQ(testutil::readFile(exact[0]).size(), 244u);
    EXPECT_EQ(testutil::readFile(exact[4]).size(), 12u + 1000 - 4 * 232);
    EXPECT_EQ(joinVolumes(exact, 1000), src);
}

TEST_F(FluChop, MoreThan1100VolumesAreRefused)
{
    const ULONG share = 244 - 12;
    Recorder rec;
    EXPECT_EQ(chop(data(1100 * share + 1), "MANY.DAT", 244, &rec), 0xFFFF);
    EXPECT_TRUE(rec.events.empty());
    EXPECT_FALSE(testutil::fileExists(at("MANY.DAT")));
}

// 1100 volumes exactly: the names run D01..D99, 100..999, then 000, 001 ...
TEST_F(FluChop, ElevenHundredVolumesAndTheirNames)
{
    const ULONG share = 244 - 12;
    const std::string src = data(1100 * share, 11);
    Recorder rec;
    ASSERT_EQ(chop(src, "MANY.DAT", 244, &rec), 0);
    ASSERT_EQ(rec.only(4).size(), 1100u);
    const std::pair<unsigned, const char *> edges[] = {
        {0, "MANY.DAT"}, {1, "MANY.D01"}, {99, "MANY.D99"}, {100, "MANY.100"},
        {101, "MANY.101"}, {999, "MANY.999"}, {1000, "MANY.000"}, {1001, "MANY.001"},
        {1099, "MANY.099"},
    };
    for (auto [i, name] : edges) {
        EXPECT_EQ(rec.only(1)[i].path, full(name)) << i;
        EXPECT_EQ(headerOf(testutil::readFile(at(name))).index, i) << name;
    }
    EXPECT_EQ(rec.only(1)[1099].value, 1u);
    EXPECT_EQ(joinVolumes(volumeNames("MANY", "DAT", 1100), src.size()), src);
}

// The callback sends volume 1 to a folder that does not exist: event 3
// with the error; putting the path back and answering 0 writes it again.
TEST_F(FluChop, FailedVolumeWrittenAgainAfterRetry)
{
    const std::string src = data(1000, 5);
    Recorder rec;
    std::string good;
    rec.answer = [&](const Event &e, char *path, ULONG size) -> ULONG {
        EXPECT_EQ(size, 259u);
        if (e.event == 1 && e.volume == 1) {
            good = path;
            lstrcpynA(path, at("nowhere\\DATA.D01").c_str(), (int)size + 1);
        }
        if (e.event == 3)
            lstrcpynA(path, good.c_str(), (int)size + 1);
        return 0;
    };
    ASSERT_EQ(chop(src, "DATA.DAT", 400, &rec), 0);
    auto n = volumeNames("DATA", "DAT", 3);
    auto errors = rec.only(3);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].volume, 1);
    EXPECT_EQ(errors[0].value, 3u);                   // path not found
    EXPECT_EQ(errors[0].path, at("nowhere\\DATA.D01"));
    EXPECT_EQ(rec.only(4).size(), 3u);
    EXPECT_EQ(rec.only(4)[1].path, n[1]);
    EXPECT_EQ(joinVolumes(n, 1000), src);
}

TEST_F(FluChop, NonZeroAnswerAbandonsTheChop)
{
    Recorder rec;
    rec.answer = [&](const Event &e, char *path, ULONG size) -> ULONG {
        if (e.event == 1 && e.volume == 1)
            lstrcpynA(path, at("nowhere\\DATA.D01").c_str(), (int)size + 1);
        return e.event == 3 ? 1 : 0;
    };
    EXPECT_EQ(chop(data(1000), "DATA.DAT", 400, &rec), 3);
    EXPECT_EQ(rec.only(3).size(), 1u);
    EXPECT_EQ(rec.only(4).size(), 1u);                 // volume 0 only
    EXPECT_TRUE(testutil::fileExists(at("DATA.DAT")));
    EXPECT_FALSE(testutil::fileExists(at("DATA.D02")));
}

TEST_F(FluChop, WithoutCallbackTheFirstFailureEndsTheChop)
{
    EXPECT_EQ(chop(data(1000), "nowhere\\DATA.DAT", 400), 3);
    ASSERT_TRUE(testutil::writeFile(at("src.bin"), data(1000)));
    EXPECT_EQ(FluFileChop(ns(), at("missing.bin").c_str(), at("X.DAT").c_str(), 400, nullptr,
                          nullptr), 2);
    EXPECT_EQ(FluFileChop(ns(), nullptr, at("X.DAT").c_str(), 400, nullptr, nullptr), 87);
    EXPECT_EQ(FluFileChop(ns(), at("src.bin").c_str(), nullptr, 400, nullptr, nullptr), 87);
    std::string tooLong(300, 'a');
    EXPECT_EQ(FluFileChop(ns(), at("src.bin").c_str(), tooLong.c_str(), 400, nullptr, nullptr),
              123);
}

}  // namespace
