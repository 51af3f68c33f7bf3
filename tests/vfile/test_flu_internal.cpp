// Inside the chopped-file family: the volume header codec, the volume
// naming rule (numbering edges, continued numbering, a double-byte first
// character of the extension), the copy buffer's fall-backs with the chop
// still right on the smallest buffer, a full medium (event 5) with the
// partial volume kept or deleted, and a merge target that runs full.
// Runs under code pages 1252 and 932.
#include <cstring>
#include "flutest.h"
#include "vfile/fluint.h"

using namespace flutest;
using namespace orin::flu;

namespace {

class FluInternal : public Scratch {
protected:
    FluInternal() : Scratch("flu_internal") {}
    void TearDown() override
    {
        writeSeam.inject(0);
        Scratch::TearDown();
    }

    std::string nameOf(const VolumeNames &names, ULONG index)
    {
        char out[kPathRoom];
        EXPECT_EQ(names.name(index, out), 0) << index;
        return out;
    }
};

TEST_F(FluInternal, HeaderCodec)
{
    BYTE bytes[kHeaderSize];
    encodeHeader({0x1234, 0xA1B2C3D4}, bytes);
    std::string s(reinterpret_cast<char *>(bytes), kHeaderSize);
    EXPECT_EQ(s, makeHeader(0x1234, 0xA1B2C3D4));
    VolumeHeader h;
    ASSERT_EQ(decodeHeader(bytes, kHeaderSize, &h), 0);
    EXPECT_EQ(h.index, 0x1234);
    EXPECT_EQ(h.totalSize, 0xA1B2C3D4u);
    EXPECT_EQ(decodeHeader(bytes, kHeaderSize - 1, &h), FLU_ERR_NOT_CHOPPED);
    bytes[5] = 'x';                                   // the NUL after the magic
    EXPECT_EQ(decodeHeader(bytes, kHeaderSize, &h), FLU_ERR_NOT_CHOPPED);
    EXPECT_EQ(checkHeader({3, 100}, 3, 100), 0);
    EXPECT_EQ(checkHeader({0xFFFF, 100}, 7, 100), 0);
    EXPECT_EQ(checkHeader({4, 100}, 3, 100), FLU_ERR_WRONG_VOLUME);
    EXPECT_EQ(checkHeader({3, 101}, 3, 100), FLU_ERR_NOT_CHOPPED);
}

TEST_F(FluInternal, NumberingContinuesFromANumberedExtension)
{
    struct Case {
        const char *base, *one, *two;
    } cases[] = {
        {"A.005", "A.006", "A.007"},     // three digits
        {"A.123", "A.124", "A.125"},
        {"A.D98", "A.D99", "A.100"},     // a letter and two digits
        {"A.x00", "A.x01", "A.x02"},
        {"A.1234", "A.101", "A.102"},    // four digits: no number, lead '1'
        {"A.-05", "A.-01", "A.-02"},     // not a letter
        {"A.AB", "A.A01", "A.A02"},
        {"A", "A.001", "A.002"},         // no extension
        {"A.", "A.001", "A.002"},        // only a point
        {"dir.x\\A", "dir.x\\A.001", "dir.x\\A.002"},
    };
    for (const auto &c : cases) {
        VolumeNames names;
        ASSERT_EQ(names.init(ns(), at(c.base).c_str()), 0) << c.base;
        EXPECT_EQ(nameOf(names, 1), full(c.one)) << c.base;
        EXPECT_EQ(nameOf(names, 2), full(c.two)) << c.base;
    }
}

TEST_F(FluInternal, NamesTooLongOrMissing)
{
    VolumeNames names;
    EXPECT_EQ(names.init(ns(), nullptr), 87);
    EXPECT_EQ(names.init(ns(), std::string(300, 'a').c_str()), 123);
    // A base that just fits: a longer extension does not.
    std::string dir = fullPath(".") + "\\";
    std::string base = dir + std::string(259 - dir.size() - 2, 'n') + ".D";
    ASSERT_EQ(base.size(), 259u);
    ASSERT_EQ(names.init(ns(), base.c_str()), 0);
    char out[kPathRoom];
    EXPECT_EQ(names.name(0, out), 0);
    EXPECT_EQ(names.name(1, out), 123);
}

// The first character of the extension is taken whole: under code page
// 932 0x82 0xA0 is one character, under 1252 two.
TEST_F(FluInternal, DoubleByteFirstCharacterStaysWhole)
{
    const std::string lead("\x82\xA0", 2);
    VolumeNames names;
    ASSERT_EQ(names.init(ns(), at("K." + lead + "Z").c_str()), 0);
    std::string one = nameOf(names, 1);
    std::string ext = one.substr(one.rfind('.') + 1);
    if (IsDBCSLeadByte(0x82))
        EXPECT_EQ(ext, lead + "01");
    else
        EXPECT_EQ(ext, lead.substr(0, 1) + "01");
}

// ---- copy buffer ------------------------------------------------------------

std::vector<size_t> asked;
size_t allowUpTo;

void *limitedAlloc(size_t n)
{
    asked.push_back(n);
    return n <= allowUpTo ? std::malloc(n) : nullptr;
}

TEST_F(FluInternal, CopyBufferHalvesThenFallsBackToEightBytes)
{
    struct Case {
        size_t allow, size;
    } cases[] = {{1u << 20, 32256}, {5000, 4032}, {1008, 1008}, {1007, 8}, {7, 0}};
    for (const auto &c : cases) {
        asked.clear();
        allowUpTo = c.allow;
        CopyBuffer b = takeCopyBuffer(limitedAlloc);
        EXPECT_EQ(b.size, c.size) << c.allow;
        EXPECT_EQ(b.data != nullptr, c.size != 0) << c.allow;
    }
    std::vector<size_t> all = {32256, 16128, 8064, 4032, 2016, 1008, 8};
    EXPECT_EQ(asked, all);
}

TEST_F(FluInternal, ChopWithTheSmallestBuffers)
{
    const std::string src = data(3000, 21);
    ASSERT_TRUE(testutil::writeFile(at("src.bin"), src));
    for (size_t allow : {size_t{8}, size_t{1008}}) {
        allowUpTo = allow;
        ASSERT_EQ(chopFile(ns(), at("src.bin").c_str(), at("S.DAT").c_str(), 700,
                           Events(nullptr, nullptr), limitedAlloc), 0);
        ASSERT_EQ(FluFileMerge(ns(), at("S.DAT").c_str(), at("out.bin").c_str(), nullptr,
                               nullptr), 0);
        EXPECT_EQ(testutil::readFile(at("out.bin")), src) << allow;
    }
    allowUpTo = 0;
    EXPECT_EQ(chopFile(ns(), at("src.bin").c_str(), at("S.DAT").c_str(), 700,
                       Events(nullptr, nullptr), limitedAlloc), 8);
}

// ---- a full medium ----------------------------------------------------------

// Step 1 writes volume 0's header, step 2 its data (one chunk each): a
// header cut short leaves a volume without data, which is deleted; data
// cut short leaves a partial volume, which stays until the retry.
TEST_F(FluInternal, FullMediumIsEventFive)
{
    const std::string src = data(1000, 22);
    struct Case {
        int step;
        bool keptPartial;
    } cases[] = {{1, false}, {2, true}};
    for (const auto &c : cases) {
        Recorder rec;
        bool existed = true;
        std::string partial;
        rec.answer = [&](const Event &e, char *, ULONG) -> ULONG {
            if (e.event == 5) {
                existed = testutil::fileExists(at("F.DAT"));
                partial = testutil::readFile(at("F.DAT"));
            }
            return 1;
        };
        writeSeam.inject(c.step);
        EXPECT_EQ(chop(src, "F.DAT", 400, &rec), 112);
        ASSERT_EQ(rec.only(5).size(), 1u) << c.step;
        EXPECT_EQ(rec.only(5)[0].value, 112u);
        EXPECT_EQ(rec.only(3).size(), 0u);
        EXPECT_EQ(existed, c.keptPartial) << c.step;
        if (c.keptPartial) {
            EXPECT_EQ(partial, makeHeader(0, 1000) + src.substr(0, 388 / 2));
        }
        DeleteFileA(at("F.DAT").c_str());
    }
    // Answering 0 writes the volume again, whole.
    Recorder rec;
    writeSeam.inject(4);                        // volume 1's data
    ASSERT_EQ(chop(src, "F.DAT", 400, &rec), 0);
    auto full5 = rec.only(5);
    ASSERT_EQ(full5.size(), 1u);
    EXPECT_EQ(full5[0].volume, 1);
    EXPECT_EQ(rec.only(4).size(), 3u);
    ASSERT_EQ(FluFileMerge(ns(), at("F.DAT").c_str(), at("out.bin").c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(testutil::readFile(at("out.bin")), src);
}

// The merge target runs full in the middle of volume 1 (the second data
// write): the retry cuts the target back to where the volume began.
TEST_F(FluInternal, FullTargetDuringMerge)
{
    const std::string src = data(1000, 23);
    ASSERT_EQ(chop(src, "M.DAT", 400), 0);
    for (ULONG answer : {0ul, 1ul}) {
        Recorder rec;
        rec.answer = [&](const Event &e, char *, ULONG) -> ULONG {
            return e.event == 3 ? answer : 0;
        };
        writeSeam.inject(2);
        USHORT rc = FluFileMerge(ns(), at("M.DAT").c_str(), at("out.bin").c_str(),
                                 Recorder::callback, &rec);
        auto errors = rec.only(3);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].volume, 1);
        EXPECT_EQ(errors[0].value, 112u);
        if (answer == 0) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(testutil::readFile(at("out.bin")), src);
        } else {
            EXPECT_EQ(rc, 112);
            EXPECT_FALSE(testutil::fileExists(at("out.bin")));
        }
    }
}

}  // namespace
