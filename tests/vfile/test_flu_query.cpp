// Questions about chopped files: whether a file is a given volume, and the
// list of all volume names, in an allocated block or the caller's buffer,
// with and without a separator, and when a volume is missing or damaged.
#include <cstdlib>
#include "flutest.h"

using namespace flutest;

namespace {

class FluQuery : public Scratch {
protected:
    FluQuery() : Scratch("flu_query") {}

    BOOL chopped(const std::string &name, USHORT index, USHORT *rc = nullptr)
    {
        BOOL is = 2;
        USHORT r = FluQueryChopped(ns(), at(name).c_str(), index, &is);
        if (rc)
            *rc = r;
        else
            EXPECT_EQ(r, 0) << name;
        return is;
    }

    // The list as an allocated block.
    USHORT list(const std::string &first, char separator, std::string *out, ULONG *size)
    {
        char *block = nullptr;
        *size = 0;
        USHORT rc = FluChopEnumNames(ns(), at(first).c_str(), &block, size, separator);
        if (rc == 0 && block) {
            out->assign(block, *size);
            EXPECT_EQ(block[*size], '\0');
            std::free(block);
        }
        return rc;
    }
};

TEST_F(FluQuery, WhichVolumeAFileIs)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    EXPECT_EQ(chopped("DATA.DAT", 0), TRUE);
    EXPECT_EQ(chopped("DATA.DAT", 1), FALSE);
    EXPECT_EQ(chopped("DATA.D02", 2), TRUE);
    EXPECT_EQ(chopped("DATA.D02", FLU_ANY_VOLUME), TRUE);
    EXPECT_EQ(chopped("src.bin", FLU_ANY_VOLUME), FALSE);        // no magic: 0, no error
    ASSERT_TRUE(testutil::writeFile(at("tiny"), "CHOP1"));
    EXPECT_EQ(chopped("tiny", FLU_ANY_VOLUME), FALSE);
    USHORT rc = 0;
    EXPECT_EQ(chopped("absent", 0, &rc), FALSE);
    EXPECT_EQ(rc, 2);
    EXPECT_EQ(FluQueryChopped(ns(), at("DATA.DAT").c_str(), 0, nullptr), 87);
    BOOL is;
    EXPECT_EQ(FluQueryChopped(ns(), nullptr, 0, &is), 87);
}

TEST_F(FluQuery, NamesInAnAllocatedList)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    auto n = volumeNames("DATA", "DAT", 3);
    std::string text;
    ULONG size = 0;
    ASSERT_EQ(list("DATA.DAT", ';', &text, &size), 0);
    EXPECT_EQ(text, n[0] + ";" + n[1] + ";" + n[2] + ";");
    EXPECT_EQ(size, text.size());
    ASSERT_EQ(list("DATA.DAT", '\0', &text, &size), 0);
    EXPECT_EQ(text, n[0] + '\0' + n[1] + '\0' + n[2] + '\0');
}

TEST_F(FluQuery, NamesInTheCallersBuffer)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    auto n = volumeNames("DATA", "DAT", 3);
    const std::string whole = n[0] + "\n" + n[1] + "\n" + n[2] + "\n";
    char buf[1024];
    ULONG size = sizeof buf;
    ASSERT_EQ(FluChopEnumNames(ns(), at("DATA.DAT").c_str(), buf, &size, '\n'), 0);
    EXPECT_EQ(std::string(buf), whole);
    EXPECT_EQ(size, whole.size());
    size = 10;
    EXPECT_EQ(FluChopEnumNames(ns(), at("DATA.DAT").c_str(), buf, &size, '\n'), 111);
    EXPECT_EQ(std::string(buf), whole.substr(0, 9));
    EXPECT_EQ(size, whole.size());
}

TEST_F(FluQuery, ListStopsWhereTheDataEnds)
{
    ASSERT_EQ(chop(data(776), "EVEN.DAT", 400), 0);      // exactly two full volumes
    ASSERT_TRUE(testutil::writeFile(at("EVEN.D02"), makeHeader(2, 776)));
    std::string text;
    ULONG size = 0;
    ASSERT_EQ(list("EVEN.DAT", '|', &text, &size), 0);
    EXPECT_EQ(text, full("EVEN.DAT") + "|" + full("EVEN.D01") + "|");
}

TEST_F(FluQuery, MissingOrDamagedVolumesGive65535)
{
    ASSERT_EQ(chop(data(1000), "DATA.DAT", 400), 0);
    std::string text;
    ULONG size = 0;
    patchFile(at("DATA.D01"), 6, std::string("\x03\x00", 2));
    EXPECT_EQ(list("DATA.DAT", ';', &text, &size), 0xFFFF);
    patchFile(at("DATA.D01"), 6, std::string("\x01\x00", 2));
    patchFile(at("DATA.D01"), 8, makeHeader(1, 1001).substr(8));
    EXPECT_EQ(list("DATA.DAT", ';', &text, &size), 0xFFFF);
    patchFile(at("DATA.D01"), 8, makeHeader(1, 1000).substr(8));
    ASSERT_EQ(list("DATA.DAT", ';', &text, &size), 0);
    DeleteFileA(at("DATA.D02").c_str());
    EXPECT_EQ(list("DATA.DAT", ';', &text, &size), 0xFFFF);
    EXPECT_EQ(list("src.bin", ';', &text, &size), 0xFFFF);
    EXPECT_EQ(list("absent", ';', &text, &size), 0xFFFF);
    EXPECT_EQ(FluChopEnumNames(ns(), at("DATA.DAT").c_str(), nullptr, &size, ';'), 87);
    char *block = nullptr;
    EXPECT_EQ(FluChopEnumNames(ns(), at("DATA.DAT").c_str(), &block, nullptr, ';'), 87);
}

}  // namespace
