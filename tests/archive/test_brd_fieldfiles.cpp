/*
 * test_brd_fieldfiles.cpp - field values as files: copies to and from disk
 * (plain and compressed, a 50 MiB file among them), comparison with disk
 * files, read-only targets, attributes and dates carried over, the field
 * virtual files of BrdFldGetVbf (information after close, file
 * information, the zip layer) and the files opened only for comparison.
 *
 * Linked statically: the comparison and copy-out files are opened through
 * the internal seam, which no public call hands out.  The compressed
 * values are checked with zlib's decoder here and, after the run, with
 * the host's gzip (zip_host_check.sh on fldfix\out).
 */
#include <gtest/gtest.h>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include "arctest.h"
#include "archive/brd_fldvbf.h"
#include "dos.h"
#include "knlnam.h"
#include "vfile/ziptest.h"

using namespace arctest;

namespace {

constexpr USHORT kMode2Prefix = BRD_COMPARE_PREFIX;
constexpr USHORT kSmaller = 65535;
constexpr USHORT kGreater = 1;
constexpr USHORT kTargetNotWritable = 65;

/* Bytes that look random but compress: words drawn by a small generator. */
std::string compressibleBytes(size_t size, uint32_t seed)
{
    static const char *const kWords[] = {
        "archive ", "document ", "field ", "value ", "index ", "profile ", "section ",
        "key ", "\r\n", "0123 ", "4567 ", "89ab ", "cdef ", "zip ", "file ", "disk ",
    };
    std::string out;
    out.reserve(size + 16);
    uint32_t x = seed;
    while (out.size() < size) {
        x = x * 1664525u + 1013904223u;
        if ((x >> 28) == 0)
            out.push_back(char(x >> 8));      // a stray byte now and then
        else
            out += kWords[(x >> 24) & 15];
    }
    out.resize(size);
    return out;
}

std::string randomBytes(size_t size, uint32_t seed)
{
    std::string out(size, '\0');
    uint32_t x = seed;
    for (char &c : out) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return out;
}

/* Local time as the FILETIME the system keeps. */
FILETIME localFileTime(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s)
{
    SYSTEMTIME st = {};
    st.wYear = y;
    st.wMonth = mo;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    FILETIME local, utc = {};
    SystemTimeToFileTime(&st, &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

bool setFileTimes(const std::string &path, const FILETIME &created, const FILETIME &written)
{
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = SetFileTime(h, &created, nullptr, &written) != 0;
    CloseHandle(h);
    return ok;
}

/* The file's times as 14 digits of local time, seconds rounded down to
 * even (the FAT words keep two-second steps). */
std::string stampOf(const FILETIME &utc)
{
    FILETIME local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &st);
    char buf[32];
    snprintf(buf, sizeof buf, "%04u%02u%02u%02u%02u%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
             st.wMinute, st.wSecond & ~1u);
    return buf;
}

bool fileTimes(const std::string &path, FILETIME *created, FILETIME *written)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    *created = data.ftCreationTime;
    *written = data.ftLastWriteTime;
    return true;
}

std::string stampOf(const DATETIME &dt)
{
    char buf[32];
    snprintf(buf, sizeof buf, "%04u%02u%02u%02u%02u%02u", dt.year, dt.month, dt.day, dt.hours,
             dt.minutes, dt.seconds);
    return buf;
}

std::string now()
{
    char buf[16] = {};
    BrcGetDateTimeStamp(nullptr, buf, sizeof buf);
    return buf;
}

/* A file's attributes may be anything; the folder must still go. */
void makeDeletable(const std::string &path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

/* The whole of a virtual file from its start. */
std::string readAll(HVBF h)
{
    std::string out;
    char buf[4096];
    ULONG got = 0;
    EXPECT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr), 0);
    do {
        got = 0;
        if (VbfRead(h, buf, sizeof buf, &got) != 0)
            break;
        out.append(buf, got);
    } while (got == sizeof buf);
    return out;
}

USHORT writeAll(HVBF h, const std::string &bytes)
{
    ULONG done = 0;
    USHORT rc = VbfWrite(h, bytes.data(), ULONG(bytes.size()), &done);
    return rc != 0 ? rc : done == bytes.size() ? 0 : ORIN_ERR_DISK_FULL;
}

/* Archive and document per test, in exclusive (0) or shared (1) mode. */
class FieldFiles : public ::testing::TestWithParam<USHORT> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrcCreate(nullptr, arc.out(), file.c_str(), GetParam()), 0);
        ASSERT_EQ(BrdAddDocument(arc, doc.out(), "site", "id", TRUE, FALSE), 0);
    }
    std::string info(const std::string &name)
    {
        return str(BrcGetPrfHandle(arc), "Doc_0", ("Info." + name).c_str());
    }
    void setInfo(const std::string &name, const std::string &text)
    {
        ASSERT_EQ(PrfWriteProfileString(BrcGetPrfHandle(arc), "Doc_0", ("Info." + name).c_str(),
                                        text.c_str()),
                  0);
    }
    USHORT compare(const char *name, const std::string &disk, USHORT mode = 0)
    {
        writeFile(dir.path("cmp.bin"), disk);
        USHORT r = 1234;
        USHORT rc = BrdFldCompareWithDisk(doc, name, dir.path("cmp.bin").c_str(), mode, &r);
        EXPECT_EQ(rc, 0);
        return rc == 0 ? r : USHORT(4321);
    }
    ScratchDir dir{"arc_fldfiles"};
    std::string file = dir.path("docs.arc");
    Archive arc;
    Doc doc;
};

INSTANTIATE_TEST_SUITE_P(Modes, FieldFiles, ::testing::Values(USHORT(0), USHORT(1)));

/* ---- Copies ----------------------------------------------------------------- */

TEST_P(FieldFiles, CopiesInAndOutAreByteIdentical)
{
    // Around the 32 768-byte copy buffer: empty, short, exact, and longer.
    const size_t sizes[] = {0, 1, 32767, 32768, 3 * 32768 + 17};
    for (bool compress : {false, true}) {
        for (size_t size : sizes) {
            SCOPED_TRACE(std::to_string(size) + (compress ? " compressed" : " plain"));
            std::string bytes = randomBytes(size, uint32_t(size) + 7);
            std::string in = dir.path("in.bin"), out = dir.path("out.bin");
            ASSERT_TRUE(writeFile(in, bytes));
            ASSERT_EQ(BrdFldCopyFromDisk(doc, "Body", in.c_str(), compress), 0);
            USHORT flag = 9;
            ASSERT_EQ(BrdFldGetCompressed(doc, "Body", &flag), 0);
            EXPECT_EQ(flag, compress ? 1 : 0);
            std::string raw = fieldValue(doc, "Body");
            if (compress) {
                ASSERT_GE(raw.size(), 18u);
                EXPECT_EQ(raw.substr(0, 2), "\x1f\x8b");
                std::string plain;
                ASSERT_TRUE(ziptest::referenceGunzip(raw, &plain));
                EXPECT_TRUE(plain == bytes);
            } else {
                EXPECT_TRUE(raw == bytes) << raw.size() << " bytes stored";
            }
            ASSERT_EQ(BrdFldCopyToDisk(doc, "Body", out.c_str(), FALSE), 0);
            EXPECT_TRUE(readFile(out) == bytes) << readFile(out).size() << " bytes out";
        }
    }
    USHORT n = 0;
    ASSERT_EQ(BrdGetNrFields(doc, &n), 0);
    EXPECT_EQ(n, 1);                       // copied over and over into one field
}

TEST_P(FieldFiles, CopyInRegistersANewFieldAndKeepsAnExistingOnesType)
{
    std::string in = dir.path("in.txt");
    ASSERT_TRUE(writeFile(in, "contents"));
    ASSERT_EQ(BrdFldCopyFromDisk(doc, "New", in.c_str(), FALSE), 0);
    EXPECT_EQ(BrdFldQueryExist(doc, "New"), 1);
    USHORT type = 0;
    ASSERT_EQ(BrdFldGetType(doc, "New", &type), 0);
    EXPECT_EQ(type, BRC_FIELD_TYPE_FILE);
    EXPECT_EQ(fieldValue(doc, "New"), "contents");

    ASSERT_EQ(setText(doc, "Old", "x", 'T'), 0);
    ASSERT_EQ(BrdFldCopyFromDisk(doc, "Old", in.c_str(), FALSE), 0);
    ASSERT_EQ(BrdFldGetType(doc, "Old", &type), 0);
    EXPECT_EQ(type, 'T');
    EXPECT_EQ(fieldValue(doc, "Old"), "contents");

    // A missing disk file registers nothing.
    EXPECT_EQ(BrdFldCopyFromDisk(doc, "Ghost", dir.path("none.txt").c_str(), FALSE),
              ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(BrdFldQueryExist(doc, "Ghost"), 0);
    EXPECT_EQ(BrdFldCopyFromDisk(doc, "Bad,Name", in.c_str(), FALSE), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(BrdFldQueryExist(doc, "Bad"), 0);
}

TEST_P(FieldFiles, ReadOnlyTargetNeedsTheOverwriteFlag)
{
    ASSERT_EQ(setText(doc, "Body", "new contents"), 0);
    std::string out = dir.path("ro.txt");
    ASSERT_TRUE(writeFile(out, "old"));
    ASSERT_TRUE(SetFileAttributesA(out.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(BrdFldCopyToDisk(doc, "Body", out.c_str(), FALSE), kTargetNotWritable);
    EXPECT_EQ(readFile(out), "old");
    EXPECT_EQ(BrdFldCopyToDisk(doc, "Body", out.c_str(), TRUE), 0);
    EXPECT_EQ(readFile(out), "new contents");
    EXPECT_EQ(GetFileAttributesA(out.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    makeDeletable(out);

    // An existing target that another handle keeps to itself: 65 as well,
    // overwrite or not, and it stays.
    ASSERT_TRUE(writeFile(out, "held"));
    HANDLE held = CreateFileA(out.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(BrdFldCopyToDisk(doc, "Body", out.c_str(), FALSE), kTargetNotWritable);
    EXPECT_EQ(BrdFldCopyToDisk(doc, "Body", out.c_str(), TRUE), kTargetNotWritable);
    CloseHandle(held);
    EXPECT_EQ(readFile(out), "held");
    // A target that cannot be made at all gives the open's error, not 65.
    EXPECT_EQ(BrdFldCopyToDisk(doc, "Body", dir.path("no\\such\\dir.txt").c_str(), FALSE),
              ORIN_ERR_PATH_NOT_FOUND);
}

TEST_P(FieldFiles, FailedCopyOutLeavesNoFile)
{
    // Marked compressed, but the stored bytes are no compressed file.
    ASSERT_EQ(BrdFldSet(doc, "Broken", 'B', "not gzip at all", 15, TRUE), 0);
    std::string out = dir.path("broken.txt");
    EXPECT_EQ(BrdFldCopyToDisk(doc, "Broken", out.c_str(), FALSE), ZIP_ERR_FAILED);
    EXPECT_FALSE(fileExists(out));
    EXPECT_EQ(BrdFldCopyToDisk(doc, "Missing", out.c_str(), FALSE), BRC_ERR_NO_FIELD);
    EXPECT_FALSE(fileExists(out));
}

TEST_P(FieldFiles, AttributesAreCarriedBothWays)
{
    std::string in = dir.path("attr.txt");
    ASSERT_TRUE(writeFile(in, "abc"));
    ASSERT_TRUE(SetFileAttributesA(in.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ULONG disk = 0;
    ASSERT_EQ(KnlNamQFileMode(nullptr, in.c_str(), &disk), 0);
    ASSERT_EQ(BrdFldCopyFromDisk(doc, "Attr", in.c_str(), FALSE), 0);
    makeDeletable(in);
    USHORT attributes = 0;
    ASSERT_EQ(BrdFldGetAttrib(doc, "Attr", &attributes), 0);
    EXPECT_EQ(attributes, disk);
    EXPECT_EQ(attributes & (KNLNAM_ATTR_READONLY | KNLNAM_ATTR_HIDDEN),
              KNLNAM_ATTR_READONLY | KNLNAM_ATTR_HIDDEN);

    ASSERT_EQ(BrdFldSetAttrib(doc, "Attr", KNLNAM_ATTR_HIDDEN | KNLNAM_ATTR_SYSTEM), 0);
    std::string out = dir.path("attr-out.txt");
    ASSERT_EQ(BrdFldCopyToDisk(doc, "Attr", out.c_str(), FALSE), 0);
    DWORD got = GetFileAttributesA(out.c_str());
    makeDeletable(out);
    EXPECT_EQ(got & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(readFile(out), "abc");
}

TEST_P(FieldFiles, DatesAreCarriedBothWays)
{
    std::string in = dir.path("dated.txt");
    ASSERT_TRUE(writeFile(in, "dated"));
    ASSERT_TRUE(setFileTimes(in, localFileTime(2011, 3, 4, 5, 6, 8),
                             localFileTime(2019, 10, 11, 12, 13, 14)));
    FILETIME created, written;
    ASSERT_TRUE(fileTimes(in, &created, &written));
    ASSERT_EQ(stampOf(written), "20191011121314");
    ASSERT_EQ(BrdFldCopyFromDisk(doc, "Dated", in.c_str(), FALSE), 0);
    DATETIME dt;
    ASSERT_EQ(BrdFldGetDTUpdate(doc, "Dated", &dt), 0);
    EXPECT_EQ(stampOf(dt), "20191011121314");
    ASSERT_EQ(BrdFldGetDTCreate(doc, "Dated", &dt), 0);
    EXPECT_EQ(stampOf(dt), stampOf(created));   // whatever the file system kept

    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        if (compressed) {
            ASSERT_EQ(BrdFldCopyFromDisk(doc, "Dated", in.c_str(), TRUE), 0);
        }
        setInfo("Dated", std::string("F;0;0;0;") + (compressed ? "1" : "0")
                             + ";20050607080910;20070809101112;;");
        std::string out = dir.path("dated-out.txt");
        ASSERT_EQ(BrdFldCopyToDisk(doc, "Dated", out.c_str(), FALSE), 0);
        ASSERT_TRUE(fileTimes(out, &created, &written));
        EXPECT_EQ(stampOf(written), "20070809101112");
        EXPECT_EQ(readFile(out), "dated");
    }
}

/* ---- The 50 MiB file --------------------------------------------------------- */

TEST(FieldFilesLarge, FiftyMebibytesInAndOutBothWays)
{
    using Clock = std::chrono::steady_clock;
    ScratchDir dir("arc_fldlarge");
    Archive arc;
    Doc doc;
    ASSERT_EQ(BrcCreate(nullptr, arc.out(), dir.path("big.arc").c_str(), 0), 0);
    ASSERT_EQ(BrdAddDocument(arc, doc.out(), "site", "big", TRUE, FALSE), 0);
    const std::string bytes = compressibleBytes(50u << 20, 12345);
    std::string in = dir.path("big.bin"), out = dir.path("big-out.bin");
    ASSERT_TRUE(writeFile(in, bytes));
    DeleteFileA("fldfix\\out\\field50m.gz");
    DeleteFileA("fldfix\\out\\field50m");

    for (bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "plain");
        auto start = Clock::now();
        ASSERT_EQ(BrdFldCopyFromDisk(doc, "Big", in.c_str(), compress), 0);
        auto copiedIn = Clock::now();
        ASSERT_EQ(BrdFldCopyToDisk(doc, "Big", out.c_str(), FALSE), 0);
        auto copiedOut = Clock::now();
        std::string back = readFile(out);
        EXPECT_EQ(back.size(), bytes.size());
        EXPECT_TRUE(back == bytes);
        auto ms = [](auto a, auto b) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
        };
        printf("[ figures  ] 50 MiB %s: copy in %lld ms, copy out %lld ms\n",
               compress ? "compressed" : "plain", (long long)ms(start, copiedIn),
               (long long)ms(copiedIn, copiedOut));
        USHORT r = 1234;
        ASSERT_EQ(BrdFldCompareWithDisk(doc, "Big", in.c_str(), 0, &r), 0);
        EXPECT_EQ(r, 0);
    }
    std::string raw = fieldValue(doc, "Big");
    EXPECT_LT(raw.size(), bytes.size() / 2) << "the content was meant to compress";
    std::string plain;
    ASSERT_TRUE(ziptest::referenceGunzip(raw, &plain));
    EXPECT_TRUE(plain == bytes);
    // For the host's gzip -dc after the run.
    CreateDirectoryA("fldfix", nullptr);
    CreateDirectoryA("fldfix\\out", nullptr);
    ASSERT_TRUE(writeFile("fldfix\\out\\field50m.gz", raw));
    ASSERT_TRUE(writeFile("fldfix\\out\\field50m", bytes));
}

/* ---- Comparison with disk files ------------------------------------------------ */

TEST_P(FieldFiles, ComparesWithDiskFiles)
{
    // Longer than the two comparison halves of 32 256 bytes each.
    std::string stored = randomBytes(100000, 3);
    std::string in = dir.path("stored.bin");
    ASSERT_TRUE(writeFile(in, stored));
    ASSERT_EQ(BrdFldCopyFromDisk(doc, "Body", in.c_str(), FALSE), 0);

    EXPECT_EQ(compare("Body", stored), 0);
    EXPECT_EQ(compare("Body", stored.substr(0, 99999)), kGreater);      // stored longer
    EXPECT_EQ(compare("Body", stored + "x"), kSmaller);                 // stored shorter
    EXPECT_EQ(compare("Body", stored.substr(0, 32256)), kGreater);      // one half exactly
    EXPECT_EQ(compare("Body", stored.substr(0, 50000), kMode2Prefix), 0);
    EXPECT_EQ(compare("Body", stored + "x", kMode2Prefix), kSmaller);
    for (size_t at : {size_t(0), size_t(40000), size_t(99999)}) {
        SCOPED_TRACE(at);
        std::string higher = stored, lower = stored;
        higher[at] = char(0xFF);
        lower[at] = char(0x00);
        if (stored[at] != char(0xFF)) {
            EXPECT_EQ(compare("Body", higher), kSmaller);
        }
        if (stored[at] != char(0x00)) {
            EXPECT_EQ(compare("Body", lower), kGreater);
        }
    }

    // A compressed field is compared by its content.
    ASSERT_EQ(BrdFldCopyFromDisk(doc, "Packed", in.c_str(), TRUE), 0);
    EXPECT_EQ(compare("Packed", stored), 0);
    EXPECT_NE(compare("Packed", fieldValue(doc, "Packed")), 0);
    EXPECT_EQ(compare("Packed", stored.substr(0, 70000)), kGreater);

    USHORT r = 0;
    EXPECT_EQ(BrdFldCompareWithDisk(doc, "Nope", in.c_str(), 0, &r), BRC_ERR_NO_FIELD);
    EXPECT_EQ(BrdFldCompareWithDisk(doc, "Body", dir.path("none").c_str(), 0, &r),
              ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(BrdFldCompareWithDisk(doc, "Body", in.c_str(), 0, nullptr), ORIN_ERR_INVALID_PARAM);
}

/* ---- Field virtual files ---------------------------------------------------------- */

TEST_P(FieldFiles, CreateRegistersTheFieldAndStampsItOnClose)
{
    HVBF f = nullptr;
    EXPECT_EQ(BrdFldGetVbf(doc, "Made", FALSE, FALSE, &f), BRC_ERR_NO_FIELD);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(BrdFldQueryExist(doc, "Made"), 0);

    std::string before = now();
    ASSERT_EQ(BrdFldGetVbf(doc, "Made", TRUE, FALSE, &f), 0);
    EXPECT_EQ(BrdFldQueryExist(doc, "Made"), 1);
    ASSERT_EQ(writeAll(f, "made through a file"), 0);
    EXPECT_EQ(readAll(f), "made through a file");
    // An old date set while open is replaced by the close.
    setInfo("Made", "F;0;0;0;0;20010101000000;20010101000000;;");
    ASSERT_EQ(VbfClose(f), 0);
    std::string after = now();

    EXPECT_EQ(fieldValue(doc, "Made"), "made through a file");
    std::string text = info("Made");
    ASSERT_EQ(text.size(), 41u) << text;
    EXPECT_EQ(text.substr(0, 10), "F;0;1;0;0;");
    std::string created = text.substr(10, 14), updated = text.substr(25, 14);
    EXPECT_EQ(created, updated);
    EXPECT_LE(before, created);
    EXPECT_LE(created, after);

    // Compressed: the value is stored as one gzip member and read back plain.
    std::string content = compressibleBytes(70000, 9);
    ASSERT_EQ(BrdFldGetVbf(doc, "Zipped", TRUE, TRUE, &f), 0);
    ASSERT_EQ(writeAll(f, content), 0);
    ASSERT_EQ(VbfClose(f), 0);
    USHORT flag = 0;
    ASSERT_EQ(BrdFldGetCompressed(doc, "Zipped", &flag), 0);
    EXPECT_EQ(flag, 1);
    std::string plain;
    ASSERT_TRUE(ziptest::referenceGunzip(fieldValue(doc, "Zipped"), &plain));
    EXPECT_TRUE(plain == content);
    ASSERT_EQ(BrdFldGetVbf(doc, "Zipped", FALSE, FALSE, &f), 0);
    EXPECT_TRUE(readAll(f) == content);
    ASSERT_EQ(VbfClose(f), 0);

    // The list holds both, in creation order, and survives the document.
    ASSERT_EQ(doc.close(), 0);
    ASSERT_EQ(BrdOpenDocument(arc, doc.out(), 0, FALSE), 0);
    char name[40];
    ASSERT_EQ(BrdFldGetName(doc, 0, name, sizeof name), 0);
    EXPECT_STREQ(name, "Made");
    ASSERT_EQ(BrdFldGetName(doc, 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "Zipped");
}

TEST_P(FieldFiles, UpdateStampsOnlyWhenWritten)
{
    ASSERT_EQ(setText(doc, "Body", "0123456789"), 0);
    const std::string old = "T;0;0;0;0;20020304050607;20030405060708;;";
    setInfo("Body", old);

    HVBF f = nullptr;
    ASSERT_EQ(BrdFldGetVbf(doc, "Body", FALSE, FALSE, &f), 0);
    EXPECT_EQ(readAll(f), "0123456789");
    ASSERT_EQ(VbfClose(f), 0);
    EXPECT_EQ(info("Body"), old);          // only read: nothing changed

    std::string before = now();
    ASSERT_EQ(BrdFldGetVbf(doc, "Body", TRUE, TRUE, &f), 0);   // flags of an existing field ignored
    ASSERT_EQ(VbfChgFilePtr(f, 4, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(writeAll(f, "xy"), 0);
    ASSERT_EQ(VbfClose(f), 0);
    std::string after = now();
    EXPECT_EQ(fieldValue(doc, "Body"), "0123xy6789");
    std::string text = info("Body");
    EXPECT_EQ(text.substr(0, 25), "T;0;1;0;0;20020304050607;");
    std::string updated = text.substr(25, 14);
    EXPECT_LE(before, updated);
    EXPECT_LE(updated, after);

    // A compressed field is updated through its content.
    std::string content = compressibleBytes(5000, 4);
    ASSERT_EQ(BrdFldGetVbf(doc, "Packed", TRUE, TRUE, &f), 0);
    ASSERT_EQ(writeAll(f, content), 0);
    ASSERT_EQ(VbfClose(f), 0);
    ASSERT_EQ(BrdFldGetVbf(doc, "Packed", FALSE, FALSE, &f), 0);
    ULONG length = 0;
    ASSERT_EQ(VbfQueryLength(f, &length), 0);
    EXPECT_EQ(length, content.size());
    ASSERT_EQ(VbfChgFilePtr(f, 0, VBF_FILE_END, nullptr), 0);
    ASSERT_EQ(writeAll(f, "tail"), 0);
    ASSERT_EQ(VbfClose(f), 0);
    std::string plain;
    ASSERT_TRUE(ziptest::referenceGunzip(fieldValue(doc, "Packed"), &plain));
    EXPECT_TRUE(plain == content + "tail");
}

TEST_P(FieldFiles, FileInformationIsTheFieldsAndRoundTrips)
{
    ASSERT_EQ(setText(doc, "Body", "twelve bytes"), 0);
    setInfo("Body", "T;0;0;33;0;20040506070809;20080910111213;;");
    HVBF f = nullptr;
    ASSERT_EQ(BrdFldGetVbf(doc, "Body", FALSE, FALSE, &f), 0);
    VBFFILESTATUS st;
    EXPECT_EQ(VbfQFileInfo(f, 2, &st, sizeof st), ORIN_ERR_INVALID_LEVEL);
    EXPECT_EQ(VbfSetFileInfo(f, 2, &st, sizeof st), ORIN_ERR_INVALID_LEVEL);
    ASSERT_EQ(VbfQFileInfo(f, VBF_INFO_LEVEL_STANDARD, &st, sizeof st), 0);
    auto date = [](ULONG y, ULONG m, ULONG d) { return d | m << 5 | (y - 1900) << 9; };
    auto time = [](ULONG h, ULONG m, ULONG s) { return s / 2 | m << 5 | h << 11; };
    EXPECT_EQ(st.fdateCreation, date(2004, 5, 6));
    EXPECT_EQ(st.ftimeCreation, time(7, 8, 9));
    EXPECT_EQ(st.fdateLastWrite, date(2008, 9, 10));
    EXPECT_EQ(st.ftimeLastWrite, time(11, 12, 13));
    EXPECT_EQ(st.fdateLastAccess, st.fdateLastWrite);
    EXPECT_EQ(st.ftimeLastAccess, st.ftimeLastWrite);
    EXPECT_EQ(st.cbFile, 12u);
    EXPECT_EQ(st.cbFileAlloc, 12u);
    EXPECT_EQ(st.attrFile, 33);

    st.fdateCreation = date(1999, 12, 31);
    st.ftimeCreation = time(23, 59, 58);
    st.fdateLastWrite = date(2024, 2, 29);
    st.ftimeLastWrite = time(1, 2, 4);
    st.fdateLastAccess = date(1990, 1, 1);   // not taken over
    st.attrFile = 7;                          // not taken over
    st.cbFile = 99;                           // not taken over
    ASSERT_EQ(VbfSetFileInfo(f, VBF_INFO_LEVEL_STANDARD, &st, sizeof st), 0);
    VBFFILESTATUS again;
    ASSERT_EQ(VbfQFileInfo(f, VBF_INFO_LEVEL_STANDARD, &again, sizeof again), 0);
    EXPECT_EQ(again.fdateCreation, st.fdateCreation);
    EXPECT_EQ(again.ftimeCreation, st.ftimeCreation);
    EXPECT_EQ(again.fdateLastWrite, st.fdateLastWrite);
    EXPECT_EQ(again.ftimeLastWrite, st.ftimeLastWrite);
    EXPECT_EQ(again.fdateLastAccess, st.fdateLastWrite);
    EXPECT_EQ(again.attrFile, 33);
    EXPECT_EQ(again.cbFile, 12u);
    ASSERT_EQ(VbfClose(f), 0);
    DATETIME dt;
    ASSERT_EQ(BrdFldGetDTCreate(doc, "Body", &dt), 0);
    EXPECT_EQ(stampOf(dt), "19991231235958");
    ASSERT_EQ(BrdFldGetDTUpdate(doc, "Body", &dt), 0);
    EXPECT_EQ(stampOf(dt), "20240229010204");
    EXPECT_EQ(info("Body"), "T;0;0;33;0;19991231235958;20240229010204;;");

    // Years past 2027 wrap in the 7-bit field and come back.
    ASSERT_EQ(BrdFldGetVbf(doc, "Body", FALSE, FALSE, &f), 0);
    st.fdateLastWrite = ((2030 - 1900) % 128) << 9 | 6 << 5 | 15;
    ASSERT_EQ(VbfSetFileInfo(f, VBF_INFO_LEVEL_STANDARD, &st, sizeof st), 0);
    ASSERT_EQ(VbfClose(f), 0);
    ASSERT_EQ(BrdFldGetDTUpdate(doc, "Body", &dt), 0);
    EXPECT_EQ(stampOf(dt), "20300615010204");
}

TEST_P(FieldFiles, ReadOnlyFieldFilesRefuseWrites)
{
    std::string content = compressibleBytes(3000, 5);
    std::string in = dir.path("c.bin");
    ASSERT_TRUE(writeFile(in, content));
    ASSERT_EQ(BrdFldCopyFromDisk(doc, "Packed", in.c_str(), TRUE), 0);
    std::string raw = fieldValue(doc, "Packed");
    const std::string before = info("Packed");
    using orin::arc::FieldOpen;
    for (FieldOpen purpose : {FieldOpen::Compare, FieldOpen::CopyOut}) {
        SCOPED_TRACE(int(purpose));
        HVBF f = nullptr;
        bool plain = purpose == FieldOpen::Compare;
        ASSERT_EQ(orin::arc::openFieldFile(*doc.d, "Packed", purpose, plain, &f), 0);
        EXPECT_TRUE(readAll(f) == (plain ? content : raw));
        ULONG done = 77;
        EXPECT_EQ(VbfWrite(f, "x", 1, &done), ORIN_ERR_ACCESS_DENIED);
        EXPECT_EQ(done, 0u);
        EXPECT_EQ(VbfNewSize(f, 1), ORIN_ERR_ACCESS_DENIED);
        VBFFILESTATUS st;
        ASSERT_EQ(VbfQFileInfo(f, VBF_INFO_LEVEL_STANDARD, &st, sizeof st), 0);
        EXPECT_EQ(VbfSetFileInfo(f, VBF_INFO_LEVEL_STANDARD, &st, sizeof st),
                  ORIN_ERR_ACCESS_DENIED);
        ASSERT_EQ(VbfClose(f), 0);
    }
    EXPECT_TRUE(fieldValue(doc, "Packed") == raw);
    EXPECT_EQ(info("Packed"), before);
}

TEST_P(FieldFiles, ReadOnlyArchiveIsReadThroughFiles)
{
    ASSERT_EQ(setText(doc, "Body", "kept as it is"), 0);
    ASSERT_EQ(doc.close(), 0);
    ASSERT_EQ(arc.close(), 0);
    ASSERT_EQ(BrcOpenReadonly(nullptr, arc.out(), file.c_str(), 0), 0);
    ASSERT_EQ(BrdOpenDocument(arc, doc.out(), 0, FALSE), 0);
    const std::string before = info("Body");
    HVBF f = nullptr;
    ASSERT_EQ(BrdFldGetVbf(doc, "Body", FALSE, FALSE, &f), 0);
    EXPECT_EQ(readAll(f), "kept as it is");
    EXPECT_NE(writeAll(f, "no"), 0);
    EXPECT_EQ(VbfClose(f), 0);             // nothing written, nothing to stamp
    EXPECT_EQ(info("Body"), before);
    std::string out = dir.path("ro-out.txt");
    ASSERT_EQ(BrdFldCopyToDisk(doc, "Body", out.c_str(), FALSE), 0);
    EXPECT_EQ(readFile(out), "kept as it is");
    USHORT r = 1234;
    ASSERT_EQ(BrdFldCompareWithDisk(doc, "Body", out.c_str(), 0, &r), 0);
    EXPECT_EQ(r, 0);
    EXPECT_NE(BrdFldCopyFromDisk(doc, "Other", out.c_str(), FALSE), 0);
    EXPECT_EQ(BrdFldQueryExist(doc, "Other"), 0);
}

TEST_P(FieldFiles, ClosedOrMissingHandlesAreRefused)
{
    HVBF f = reinterpret_cast<HVBF>(1);
    EXPECT_EQ(BrdFldGetVbf(nullptr, "x", TRUE, FALSE, &f), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(BrdFldGetVbf(doc, nullptr, TRUE, FALSE, &f), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(BrdFldGetVbf(doc, "x", TRUE, FALSE, nullptr), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(BrdFldGetVbf(doc, "", TRUE, FALSE, &f), ORIN_ERR_INVALID_PARAM);

    // A file that outlives its document still closes.
    ASSERT_EQ(BrdFldGetVbf(doc, "Late", TRUE, FALSE, &f), 0);
    ASSERT_EQ(writeAll(f, "late"), 0);
    BrdDocument *stale = doc.d;
    ASSERT_EQ(doc.close(), 0);
    VBFFILESTATUS st;
    EXPECT_EQ(VbfQFileInfo(f, VBF_INFO_LEVEL_STANDARD, &st, sizeof st), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(VbfClose(f), 0);
    EXPECT_EQ(VbfClose(f), ORIN_ERR_INVALID_HANDLE);

    std::string path = dir.path("x.txt");
    ASSERT_TRUE(writeFile(path, "x"));
    USHORT r = 0;
    EXPECT_EQ(BrdFldGetVbf(stale, "Late", FALSE, FALSE, &f), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrdFldCopyToDisk(stale, "Late", path.c_str(), FALSE), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrdFldCopyFromDisk(stale, "Late", path.c_str(), FALSE), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrdFldCompareWithDisk(stale, "Late", path.c_str(), 0, &r), ORIN_ERR_INVALID_HANDLE);
}

}  // namespace
