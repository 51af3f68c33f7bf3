/*
 * test_brc_index.cpp - archive indexes and views through the public calls:
 * definition texts, key building, entries and their uses, maintenance as
 * documents change, rebuilds with the busy function, navigation, the
 * indexes of a reopened archive, shared mode and views.
 */
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/ixtest.h"
#include "brc.h"

namespace {

using ixtest::ArchiveTest;

std::string bytes(const void *data, size_t length)
{
    return std::string(static_cast<const char *>(data), length);
}

BrcIxSegment segment(const char *name, USHORT length, USHORT flags)
{
    BrcIxSegment s{};
    strncpy(s.name, name, sizeof s.name - 1);
    s.length = length;
    s.flags = flags;
    return s;
}

std::string definitionText(BrcArchive *a, USHORT number)
{
    char text[300] = {};
    EXPECT_EQ(BrcIxGetIxDefStr(a, number, text, sizeof text), 0);
    return text;
}

USHORT maxIndexes(BrcArchive *a)
{
    USHORT count = 0xFFFF;
    EXPECT_EQ(BrcGetMaxNrIx(a, &count), 0);
    return count;
}

// ---- Definitions ----

using IndexDefinition = ArchiveTest;

TEST_F(IndexDefinition, ParsesIntoSegmentsAndIsWrittenBackTheSame)
{
    BrcIndexEntry *e = open("NAME,10,R;DATE,8,LN");
    ASSERT_NE(e, nullptr);
    USHORT number = BrcIxQueryNumber(a, e);
    ASSERT_NE(number, 0xFFFF);

    BrcIxSegment *segments = nullptr;
    USHORT count = 0;
    ASSERT_EQ(BrcIxGetIxDef(a, number, &segments, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(segments[0].name, "NAME");
    EXPECT_EQ(segments[0].length, 10);
    EXPECT_EQ(segments[0].flags, BRC_SEG_RIGHT);
    EXPECT_STREQ(segments[1].name, "DATE");
    EXPECT_EQ(segments[1].length, 8);
    EXPECT_EQ(segments[1].flags, BRC_SEG_REQUIRED);
    free(segments);

    EXPECT_EQ(BrcIxQueryKeyLength(a, e), 18);
    EXPECT_EQ(definitionText(a, number), "NAME,10,R;DATE,8,LN");
}

TEST_F(IndexDefinition, BlanksAndLayoutCharactersAreSkipped)
{
    BrcIndexEntry *e = open("  NAME,10, R N\r\n;B,3,\tC;C,2,");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(definitionText(a, BrcIxQueryNumber(a, e)), "NAME,10,RN;B,3,C;C,2,L");
    EXPECT_EQ(BrcIxQueryKeyLength(a, e), 15);
    // The same definition in another spelling is found, not defined again.
    USHORT number = 0xFFFF;
    EXPECT_EQ(BrcIxFindStr(a, "name,10,NR;b,3,C;c,2,L", &number), 0);
    EXPECT_EQ(number, BrcIxQueryNumber(a, e));
    EXPECT_EQ(maxIndexes(a), 1);
}

TEST_F(IndexDefinition, SyntaxErrors)
{
    USHORT number = 0;
    for (const char *bad : {"NAME,10,X", "NAME,10,RLX", "NAME,10,r", "NAME10", "", "   ",
                            "A,1,L;B", "A,1,L;;"}) {
        EXPECT_EQ(BrcIxFindStr(a, bad, &number), BRC_ERR_DEFINITION) << "'" << bad << "'";
        EXPECT_EQ(number, 0xFFFF);
        BrcIndexEntry *e = nullptr;
        EXPECT_EQ(BrcIxOpenStr(a, bad, &e), BRC_ERR_DEFINITION) << "'" << bad << "'";
        EXPECT_EQ(e, nullptr);
    }
    EXPECT_EQ(maxIndexes(a), 0);
    // Well-formed but not defined.
    EXPECT_EQ(BrcIxFindStr(a, "A,1,L;", &number), BRC_ERR_NO_INDEX);
    EXPECT_EQ(number, 0xFFFF);
}

TEST_F(IndexDefinition, TextMustFitIn256Bytes)
{
    // Blanks among the flags are allowed, but not beyond 255 characters.
    std::string padded = "A,1,L" + std::string(250, ' ');
    USHORT number;
    EXPECT_EQ(BrcIxFindStr(a, padded.c_str(), &number), BRC_ERR_NO_INDEX);
    padded += ' ';
    EXPECT_EQ(BrcIxFindStr(a, padded.c_str(), &number), BRC_ERR_DEFINITION);

    // Seven 31-character names with length 1: 7 * 35 + 6 = 251 characters;
    // a length of 10000 adds 4 (255 in all), another of 10 one more.
    std::vector<BrcIxSegment> segments;
    for (char c = 'A'; c < 'A' + 7; c++)
        segments.push_back(segment(std::string(31, c).c_str(), 1, 0));
    segments[0].length = 10000;
    EXPECT_EQ(BrcIxFind(a, segments.data(), 7, &number), BRC_ERR_NO_INDEX);
    segments[1].length = 10;
    EXPECT_EQ(BrcIxFind(a, segments.data(), 7, &number), BRC_ERR_DEFINITION);
    BrcIndexEntry *e = nullptr;
    EXPECT_EQ(BrcIxOpen(a, segments.data(), 7, &e), BRC_ERR_DEFINITION);
    EXPECT_EQ(maxIndexes(a), 0);
}

TEST_F(IndexDefinition, SegmentsAreFoundAsTheirTextWouldBe)
{
    BrcIndexEntry *byText = open("NAME,4,R;X,2,CN");
    ASSERT_NE(byText, nullptr);
    // R wins over C; case of names does not matter; unknown bits are dropped.
    BrcIxSegment s[2] = {segment("name", 4, BRC_SEG_RIGHT | BRC_SEG_CENTER | 0x0100),
                         segment("x", 2, BRC_SEG_CENTER | BRC_SEG_REQUIRED)};
    USHORT number = 0xFFFF;
    EXPECT_EQ(BrcIxFind(a, s, 2, &number), 0);
    EXPECT_EQ(number, BrcIxQueryNumber(a, byText));
    BrcIndexEntry *bySegments = nullptr;
    EXPECT_EQ(BrcIxOpen(a, s, 2, &bySegments), 0);
    EXPECT_EQ(bySegments, byText);
    EXPECT_EQ(BrcIxClose(a, bySegments), 0);

    // Another length, flag or count is another definition.
    s[1].flags = BRC_SEG_CENTER;
    EXPECT_EQ(BrcIxFind(a, s, 2, &number), BRC_ERR_NO_INDEX);
    EXPECT_EQ(BrcIxFind(a, s, 1, &number), BRC_ERR_NO_INDEX);
    // A name the text form cannot carry, and no segments at all.
    BrcIxSegment comma = segment("A,B", 3, 0);
    EXPECT_EQ(BrcIxFind(a, &comma, 1, &number), BRC_ERR_DEFINITION);
    EXPECT_EQ(BrcIxFind(a, s, 0, &number), BRC_ERR_DEFINITION);
}

TEST_F(IndexDefinition, MissingDefinitions)
{
    BrcIxSegment *segments = reinterpret_cast<BrcIxSegment *>(1);
    USHORT count = 7;
    EXPECT_EQ(BrcIxGetIxDef(a, 0, &segments, &count), BRC_ERR_NO_INDEX);
    EXPECT_EQ(segments, nullptr);
    EXPECT_EQ(count, 0);
    char text[16];
    EXPECT_EQ(BrcIxGetIxDefStr(a, 3, text, sizeof text), BRC_ERR_NO_INDEX);
    BrcIndexEntry *e = nullptr;
    EXPECT_EQ(BrcIxOpenNr(a, 0, &e), BRC_ERR_NO_INDEX);
    EXPECT_EQ(BrcIxGetIxDef(nullptr, 0, &segments, &count), ORIN_ERR_INVALID_HANDLE);
}

TEST_F(IndexDefinition, LowestMatchingNumberIsFound)
{
    BrcIndexEntry *first = open("A,3,L");
    BrcIndexEntry *second = open("B,3,L");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(BrcIxQueryNumber(a, first), 0);
    EXPECT_EQ(BrcIxQueryNumber(a, second), 1);
    // A copy of definition 0 written into slot 2 by hand: 0 is still found.
    HPRF p = BrcGetPrfHandle(a);
    ASSERT_EQ(PrfWriteProfileString(p, "Index_2", "IxFields", "A,3,L"), 0);
    ASSERT_EQ(PrfWriteProfileUShort(p, "BrcHeader", "NrIndex", 3), 0);
    USHORT number = 0xFFFF;
    EXPECT_EQ(BrcIxFindStr(a, "a,3,L", &number), 0);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(BrcIxFindStr(a, "B,3,L", &number), 0);
    EXPECT_EQ(number, 1);
}

// ---- Keys ----

using IndexKeys = ArchiveTest;

class DocumentKeys : public ArchiveTest {
protected:
    BrdDocument *d = nullptr;
    void SetUp() override
    {
        ArchiveTest::SetUp();
        USHORT n = addDoc({{"F", "ab"}, {"G", "xyz"}});
        ASSERT_EQ(BrdOpenDocument(a, &d, n, FALSE), 0);
    }
    void TearDown() override
    {
        if (d != nullptr) {
            EXPECT_EQ(BrdCloseDocument(d), 0);
        }
        ArchiveTest::TearDown();
    }
    std::string key(std::vector<BrcIxSegment> s, USHORT length, USHORT expect = 0)
    {
        std::string out(length, '\x7f');
        EXPECT_EQ(BrcIxVwQueryKeyFromDoc(d, s.data(), USHORT(s.size()), TRUE, out.data(), length),
                  expect);
        return out;
    }
    std::string line(std::vector<BrcIxSegment> s, USHORT length)
    {
        std::string out(length, '\x7f');
        EXPECT_EQ(BrcIxVwQueryKeyFromDoc(d, s.data(), USHORT(s.size()), FALSE, out.data(), length), 0);
        return out;
    }
};

TEST_F(DocumentKeys, RightJustifiedSegment)
{
    EXPECT_EQ(key({segment("F", 5, BRC_SEG_RIGHT)}, 5), bytes("\0\0\0ab", 5));
    EXPECT_EQ(line({segment("F", 5, BRC_SEG_RIGHT)}, 6), bytes("   ab\0", 6));
}

TEST_F(DocumentKeys, CentredSegment)
{
    EXPECT_EQ(key({segment("F", 6, BRC_SEG_CENTER)}, 6), bytes("\0\0ab\0\0", 6));
    EXPECT_EQ(line({segment("F", 6, BRC_SEG_CENTER)}, 7), bytes("  ab  \0", 7));
    // An odd padding puts the smaller half before the value.
    EXPECT_EQ(line({segment("F", 5, BRC_SEG_CENTER)}, 6), bytes(" ab  \0", 6));
    // R wins over C.
    EXPECT_EQ(line({segment("F", 5, BRC_SEG_CENTER | BRC_SEG_RIGHT)}, 6), bytes("   ab\0", 6));
}

TEST_F(DocumentKeys, LeftSegmentsCutAndShareTheSpace)
{
    EXPECT_EQ(key({segment("F", 1, 0)}, 1), "a");
    EXPECT_EQ(key({segment("G", 2, 0), segment("f", 3, 0)}, 5), bytes("xyab\0", 5));
    // A display line of 7 bytes has room for 6: G gets only two of its four.
    EXPECT_EQ(line({segment("F", 4, 0), segment("G", 4, BRC_SEG_RIGHT)}, 7), bytes("ab  xy\0", 7));
    // A key buffer shorter than the key length ends the key there.
    EXPECT_EQ(key({segment("F", 4, 0), segment("G", 4, 0)}, 5), bytes("ab\0\0x", 5));
    // A segment of length 0 ends the key; the rest of the buffer is zero.
    EXPECT_EQ(key({segment("F", 2, 0), segment("G", 0, 0), segment("F", 2, 0)}, 4),
              bytes("ab\0\0", 4));
}

TEST_F(DocumentKeys, MissingFields)
{
    // Required: no key.  Not required: an empty value.
    key({segment("F", 3, 0), segment("Z", 2, BRC_SEG_RIGHT | BRC_SEG_REQUIRED)}, 5, BRC_ERR_GENERAL);
    EXPECT_EQ(key({segment("F", 3, 0), segment("Z", 2, BRC_SEG_RIGHT)}, 5), bytes("ab\0\0\0", 5));
    // A display line is built either way.
    EXPECT_EQ(line({segment("F", 3, 0), segment("Z", 2, BRC_SEG_REQUIRED)}, 6), bytes("ab   \0", 6));
}

TEST_F(DocumentKeys, AtMost260BytesOfAValue)
{
    std::string value(300, 'v');
    ASSERT_EQ(BrdFldSet(d, "LONG", 'C', value.data(), ULONG(value.size()), FALSE), 0);
    std::string k = key({segment("LONG", 300, 0)}, 300);
    EXPECT_EQ(k, std::string(260, 'v') + std::string(40, '\0'));
    std::string r = key({segment("LONG", 300, BRC_SEG_RIGHT)}, 300);
    EXPECT_EQ(r, std::string(40, '\0') + std::string(260, 'v'));
}

TEST_F(DocumentKeys, KeyOfADocumentByNumber)
{
    BrcIndexEntry *e = open("G,4,R;F,3,L");
    ASSERT_NE(e, nullptr);
    std::string k(7, '\x7f');
    ASSERT_EQ(BrcIxQueryKeyFromDocNr(a, e, BrdGetDocNumber(d), k.data()), 0);
    EXPECT_EQ(k, bytes("\0xyzab\0", 7));
    EXPECT_EQ(BrcIxQueryKeyFromDocNr(a, e, 77, k.data()), BRC_ERR_NO_DOC);
}

TEST_F(DocumentKeys, BadArguments)
{
    BrcIxSegment s = segment("F", 2, 0);
    char buffer[4];
    EXPECT_EQ(BrcIxVwQueryKeyFromDoc(nullptr, &s, 1, TRUE, buffer, 2), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrcIxVwQueryKeyFromDoc(d, nullptr, 1, TRUE, buffer, 2), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(BrcIxVwQueryKeyFromDoc(d, &s, 1, FALSE, buffer, 0), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(BrcIxQueryKeyFromDocNr(a, reinterpret_cast<BrcIndexEntry *>(buffer), 0, buffer),
              BRC_ERR_GENERAL);
}

// ---- Entries ----

using IndexEntries = ArchiveTest;

TEST_F(IndexEntries, SameDefinitionSameEntryCountedInUses)
{
    BrcIndexEntry *e1 = open("F,3,L");
    BrcIndexEntry *e2 = open("f,3,L");
    ASSERT_NE(e1, nullptr);
    EXPECT_EQ(e1, e2);
    EXPECT_EQ(BrcIxOpenNr(a, 0, &e2), 0);
    EXPECT_EQ(e1, e2);
    EXPECT_EQ(BrcIxClose(a, e1), 0);
    EXPECT_EQ(BrcIxClose(a, e1), 0);
    EXPECT_EQ(BrcIxQueryNumber(a, e1), 0);   // one use left
    EXPECT_EQ(BrcIxClose(a, e1), 0);
    EXPECT_EQ(BrcIxQueryNumber(a, e1), 0xFFFF);
    EXPECT_EQ(BrcIxQueryKeyLength(a, e1), 0);
    EXPECT_EQ(BrcIxClose(a, e1), BRC_ERR_GENERAL);
    EXPECT_EQ(BrcQueryIxExist(a, 0), 1);       // closing keeps the index
}

TEST_F(IndexEntries, DeleteWhileInUse)
{
    BrcIndexEntry *e = open("F,3,L");
    open("F,3,L");
    open("G,3,L");
    EXPECT_EQ(BrcIxDelete(a, e), BRC_ERR_INDEX_IN_USE);
    EXPECT_EQ(BrcIxQueryNumber(a, e), 0);
    EXPECT_EQ(BrcQueryIxExist(a, 0), 1);
    EXPECT_EQ(BrcIxDelete(a, e), 0);
    EXPECT_EQ(BrcIxQueryNumber(a, e), 0xFFFF);
    EXPECT_EQ(BrcQueryIxExist(a, 0), 0);
    EXPECT_EQ(maxIndexes(a), 2);   // slot 0 is a hole, not the highest
}

TEST_F(IndexEntries, SlotsReusedAndTheHighestGivenBack)
{
    BrcIndexEntry *e0 = open("A,1,L");
    BrcIndexEntry *e1 = open("B,1,L");
    BrcIndexEntry *e2 = open("C,1,L");
    EXPECT_EQ(maxIndexes(a), 3);
    EXPECT_EQ(BrcIxDelete(a, e1), 0);
    BrcIndexEntry *reused = open("D,1,L");
    EXPECT_EQ(BrcIxQueryNumber(a, reused), 1);
    EXPECT_EQ(maxIndexes(a), 3);
    // Deleting 0 leaves NrIndex; deleting the highest lowers it by one only.
    EXPECT_EQ(BrcIxDelete(a, e0), 0);
    EXPECT_EQ(maxIndexes(a), 3);
    EXPECT_EQ(BrcIxDelete(a, e2), 0);
    EXPECT_EQ(maxIndexes(a), 2);
    EXPECT_EQ(BrcIxDelete(a, reused), 0);
    EXPECT_EQ(maxIndexes(a), 1);
    USHORT count = 9;
    EXPECT_EQ(BrcGetNrIx(a, &count), 0);
    EXPECT_EQ(count, 0);
}

TEST_F(IndexEntries, DeleteByNumber)
{
    open("A,1,L");
    BrcIndexEntry *e1 = open("B,1,L");
    EXPECT_EQ(BrcIxDeleteNr(a, 0), BRC_ERR_INDEX_IN_USE);
    EXPECT_EQ(BrcIxClose(a, e1), 0);
    EXPECT_EQ(BrcIxDeleteNr(a, 1), 0);
    EXPECT_EQ(BrcQueryIxExist(a, 1), 0);
    EXPECT_EQ(maxIndexes(a), 1);
    EXPECT_EQ(BrcIxDeleteNr(a, 1), 0);    // nothing there: nothing done
    EXPECT_EQ(BrcIxDeleteNr(a, 500), 0);
    EXPECT_EQ(BrcQueryIxExist(a, 0), 1);
}

TEST_F(IndexEntries, DefaultIndexIsTheFirstOpened)
{
    addDoc({{"A", "2"}, {"B", "1"}});
    addDoc({{"A", "1"}, {"B", "2"}});
    BrcIndexEntry *byA = open("A,1,L");
    BrcIndexEntry *byB = open("B,1,L");
    EXPECT_EQ(BrcIxQueryNumber(a, nullptr), BrcIxQueryNumber(a, byA));
    USHORT first = 0xFFFF;
    EXPECT_EQ(BrcIxFirst(a, nullptr, &first), 0);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(BrcIxFirst(a, byB, &first), 0);
    EXPECT_EQ(first, 0);
    // Closed, it stops being the default; the next one opened takes over.
    EXPECT_EQ(BrcIxClose(a, byA), 0);
    EXPECT_EQ(BrcIxQueryNumber(a, nullptr), 0xFFFF);
    EXPECT_EQ(BrcIxQueryNrKeys(a, nullptr), 0UL);
    EXPECT_EQ(BrcIxFirst(a, nullptr, &first), BRC_ERR_GENERAL);
    EXPECT_EQ(first, 0xFFFF);
    open("A,1,L");
    EXPECT_EQ(BrcIxQueryNumber(a, nullptr), 0);
}

TEST_F(IndexEntries, UnknownEntriesAndHandles)
{
    BrcIndexEntry *e = open("A,1,L");
    int notAnEntry = 0;
    auto *bogus = reinterpret_cast<BrcIndexEntry *>(&notAnEntry);
    EXPECT_EQ(BrcIxClose(a, bogus), BRC_ERR_GENERAL);
    EXPECT_EQ(BrcIxDelete(a, nullptr), BRC_ERR_GENERAL);
    EXPECT_EQ(BrcIxBuildIx(a, bogus), BRC_ERR_GENERAL);
    EXPECT_EQ(BrcIxQueryNumber(a, bogus), 0xFFFF);
    EXPECT_EQ(BrcIxClose(nullptr, e), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrcIxOpenStr(nullptr, "A,1,L", &e), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrcIxOpenStr(a, "A,1,L", nullptr), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(BrcVwDefine(nullptr, "v", "A,1,L", "A,1,L", nullptr), ORIN_ERR_INVALID_HANDLE);
}

// ---- Maintenance and rebuild ----

using IndexMaintenance = ArchiveTest;

TEST_F(IndexMaintenance, IndexCreatedOverADocumentWithoutRequiredField)
{
    addDoc({{"F", "a"}});
    addDoc({{"G", "b"}});
    BrcIndexEntry *e = nullptr;
    EXPECT_EQ(BrcIxOpenStr(a, "F,3,LN", &e), BRC_ERR_GENERAL);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(BrcQueryIxExist(a, 0), 0);   // the failed build deleted it
    EXPECT_EQ(maxIndexes(a), 0);
    EXPECT_EQ(BrcIxQueryNumber(a, nullptr), 0xFFFF);
}

TEST_F(IndexMaintenance, EqualKeysInRecordNumberByteOrder)
{
    BrcIndexEntry *e = open("F,2,L");
    for (int i = 0; i < 258; i++)
        addDoc({{"F", "k"}});
    std::vector<USHORT> order = walk(e);
    ASSERT_EQ(order.size(), 258u);
    // Little-endian numbers as bytes: 0, 256, 1, 257, 2, 3, ...
    EXPECT_EQ(order[0], 0);
    EXPECT_EQ(order[1], 256);
    EXPECT_EQ(order[2], 1);
    EXPECT_EQ(order[3], 257);
    EXPECT_EQ(order[4], 2);
    EXPECT_EQ(order[257], 255);
}

struct BusyCall {
    USHORT total, value, phase;
};

struct BusyLog {
    std::vector<BusyCall> calls;
    int cancelAt = -1;   // index of the call to answer with "cancel"
};

USHORT ORINAPI recordBusy(BrcArchive *, USHORT total, USHORT value, USHORT phase, ULONGLONG user)
{
    auto *log = reinterpret_cast<BusyLog *>(user);
    log->calls.push_back({total, value, phase});
    return int(log->calls.size()) - 1 == log->cancelAt ? 1 : 0;
}

class IndexRebuild : public ArchiveTest {
protected:
    BusyLog log;
    BrcIndexEntry *e = nullptr;
    std::vector<USHORT> order;

    void SetUp() override
    {
        ArchiveTest::SetUp();
        for (const char *v : {"e", "c", "a", "d", "b"})
            addDoc({{"F", v}});
        e = open("F,1,L");
        ASSERT_NE(e, nullptr);
        order = walk(e);
        ASSERT_EQ(order, (std::vector<USHORT>{2, 4, 1, 3, 0}));
    }
    void busy(USHORT interval)
    {
        BrcSetBusyFunc(a, recordBusy, reinterpret_cast<ULONGLONG>(&log), interval);
    }
    std::vector<USHORT> phases() const
    {
        std::vector<USHORT> out;
        for (const BusyCall &c : log.calls)
            out.push_back(c.phase);
        return out;
    }
    std::vector<USHORT> values() const
    {
        std::vector<USHORT> out;
        for (const BusyCall &c : log.calls)
            out.push_back(c.value);
        return out;
    }
};

TEST_F(IndexRebuild, BusyFunctionHearsStartProgressAndEnd)
{
    busy(2);
    ASSERT_EQ(BrcIxBuildIx(a, e), 0);
    EXPECT_EQ(phases(), (std::vector<USHORT>{1, 3, 3, 3, 2}));
    EXPECT_EQ(values(), (std::vector<USHORT>{10, 0, 40, 80, 0}));
    for (const BusyCall &c : log.calls)
        EXPECT_EQ(c.total, 5);
    EXPECT_EQ(walk(e), order);
    EXPECT_EQ(BrcIxQueryNrKeys(a, e), 5UL);   // emptied first: no pair twice
}

TEST_F(IndexRebuild, IntervalZeroReportsEveryDocument)
{
    busy(0);
    ASSERT_EQ(BrcIxBuildIx(a, e), 0);
    EXPECT_EQ(phases(), (std::vector<USHORT>{1, 3, 3, 3, 3, 3, 2}));
    EXPECT_EQ(values(), (std::vector<USHORT>{10, 0, 20, 40, 60, 80, 0}));
}

TEST_F(IndexRebuild, CancelAtStart)
{
    busy(1);
    log.cancelAt = 0;
    EXPECT_EQ(BrcIxBuildIx(a, e), BRC_ERR_GENERAL);
    EXPECT_EQ(phases(), (std::vector<USHORT>{1, 2}));
    EXPECT_EQ(BrcIxQueryNrKeys(a, e), 0UL);
}

TEST_F(IndexRebuild, CancelDuringProgress)
{
    busy(1);
    log.cancelAt = 3;   // before document 2
    EXPECT_EQ(BrcIxBuildIx(a, e), BRC_ERR_GENERAL);
    EXPECT_EQ(phases(), (std::vector<USHORT>{1, 3, 3, 3, 2}));
    EXPECT_EQ(walk(e), (std::vector<USHORT>{1, 0}));
}

TEST_F(IndexRebuild, EmptySlotsArePassedOver)
{
    deleteDoc(1);
    ASSERT_EQ(BrcIxBuildIx(a, e), 0);
    EXPECT_EQ(walk(e), (std::vector<USHORT>{2, 4, 3, 0}));
    EXPECT_EQ(BrcIxBuildIx(a, nullptr), 0);   // the default index
    EXPECT_EQ(BrcIxQueryNrKeys(a, nullptr), 4UL);
}

// ---- Navigation ----

class IndexNavigation : public ArchiveTest {
protected:
    BrcIndexEntry *e = nullptr;
    void SetUp() override
    {
        ArchiveTest::SetUp();
        e = open("F,1,LN");   // order: 1 a, 3 b, 0 c, 2 d
        ASSERT_NE(e, nullptr);
        for (const char *v : {"c", "a", "d", "b"})
            addDoc({{"F", v}});
        addDoc({{"G", "no key"}});
    }
    std::pair<USHORT, USHORT> step(USHORT from, SHORT steps)
    {
        USHORT reached = 0x1234;
        USHORT rc = BrcIxNextPrev(a, e, from, steps, &reached);
        return {rc, reached};
    }
};

TEST_F(IndexNavigation, FirstLastAndSteps)
{
    USHORT n = 0;
    EXPECT_EQ(BrcIxFirst(a, e, &n), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(BrcIxLast(a, e, &n), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(step(1, 1), std::make_pair(USHORT(0), USHORT(3)));
    EXPECT_EQ(step(1, 2), std::make_pair(USHORT(0), USHORT(0)));
    EXPECT_EQ(step(2, -3), std::make_pair(USHORT(0), USHORT(1)));
    EXPECT_EQ(step(3, 0), std::make_pair(USHORT(0), USHORT(3)));
}

TEST_F(IndexNavigation, SteppingPastAnEndStopsOnTheBoundary)
{
    EXPECT_EQ(step(2, 1), std::make_pair(USHORT(IXD_ERR_NOT_FOUND), USHORT(2)));
    EXPECT_EQ(step(0, 5), std::make_pair(USHORT(IXD_ERR_NOT_FOUND), USHORT(2)));
    EXPECT_EQ(step(1, -1), std::make_pair(USHORT(IXD_ERR_NOT_FOUND), USHORT(1)));
    EXPECT_EQ(step(0, -9), std::make_pair(USHORT(IXD_ERR_NOT_FOUND), USHORT(1)));
}

TEST_F(IndexNavigation, DocumentsWithoutPlaceInTheIndex)
{
    EXPECT_EQ(step(4, 1), std::make_pair(USHORT(BRC_ERR_NO_DOC), USHORT(0xFFFF)));   // no key
    EXPECT_EQ(step(9, 1), std::make_pair(USHORT(BRC_ERR_NO_DOC), USHORT(0xFFFF)));   // no document
    EXPECT_EQ(BrcIxNextPrev(a, e, 1, 1, nullptr), ORIN_ERR_INVALID_PARAM);
}

using EmptyIndex = ArchiveTest;

TEST_F(EmptyIndex, HasNeitherFirstNorLast)
{
    BrcIndexEntry *none = open("NOPE,2,LN");
    ASSERT_NE(none, nullptr);
    USHORT n = 0;
    EXPECT_EQ(BrcIxQueryNrKeys(a, none), 0UL);
    EXPECT_EQ(BrcIxFirst(a, none, &n), IXD_ERR_NOT_FOUND);
    EXPECT_EQ(n, 0xFFFF);
    n = 0;
    EXPECT_EQ(BrcIxLast(a, none, &n), IXD_ERR_NOT_FOUND);
    EXPECT_EQ(n, 0xFFFF);
}

// ---- The archive's life ----

using IndexLife = ArchiveTest;

TEST_F(IndexLife, IndexesReopenWithTheArchive)
{
    BrcIndexEntry *byF = open("F,2,L");
    BrcIndexEntry *byG = open("G,2,R;F,1,L");
    for (int i = 0; i < 30; i++)
        addDoc({{"F", std::string(1, char('a' + (i * 7) % 26))}, {"G", std::to_string(i % 9)}});
    std::vector<USHORT> orderF = walk(byF), orderG = walk(byG);
    ASSERT_EQ(orderF.size(), 30u);

    reopen();
    // Both are open already: listed indexes come with the archive.
    EXPECT_EQ(BrcIxQueryNrKeys(a, nullptr), 30UL);
    USHORT doc = addDoc({{"F", "zz"}, {"G", "0"}});   // kept current without an open call
    orderF.push_back(doc);
    byF = open("F,2,L");
    byG = open("G,2,R;F,1,L");
    EXPECT_EQ(BrcIxQueryNumber(a, byF), 0);
    EXPECT_EQ(walk(byF), orderF);
    std::vector<USHORT> newG = walk(byG);
    ASSERT_EQ(newG.size(), 31u);
    newG.erase(std::find(newG.begin(), newG.end(), doc));
    EXPECT_EQ(newG, orderG);
    // The uses from the open calls end; the archive's own use remains.
    EXPECT_EQ(BrcIxClose(a, byF), 0);
    EXPECT_EQ(BrcIxQueryNumber(a, byF), 0);
}

TEST_F(IndexLife, ArchiveWithALostTreeBuildsItAgainOnOpen)
{
    BrcIndexEntry *e = open("F,2,L");
    addDoc({{"F", "b"}});
    addDoc({{"F", "a"}});
    ASSERT_EQ(walk(e), (std::vector<USHORT>{1, 0}));
    closeArchive();
    {
        prfdisk::DiskProfile p(file);
        ASSERT_EQ(p.rc, 0);
        ASSERT_EQ(PrfWriteProfileData(p.h, "Index_0", "Tree", nullptr, 0), 0);
    }
    reopen();
    EXPECT_EQ(walk(nullptr), (std::vector<USHORT>{1, 0}));
}

TEST_F(IndexLife, ReadOnlyArchiveWalksItsIndexes)
{
    BrcIndexEntry *e = open("F,2,L");
    addDoc({{"F", "b"}});
    addDoc({{"F", "a"}});
    ASSERT_EQ(walk(e), (std::vector<USHORT>{1, 0}));
    closeArchive();
    ASSERT_EQ(BrcOpenReadonly(nullptr, &a, file.c_str(), 0), 0);
    EXPECT_EQ(walk(nullptr), (std::vector<USHORT>{1, 0}));
    EXPECT_EQ(BrcIxQueryNrKeys(a, nullptr), 2UL);
}

TEST_F(IndexLife, SharedArchive)
{
    BrcIndexEntry *e = open("F,2,L");
    addDoc({{"F", "b"}});
    addDoc({{"F", "a"}});
    PIX ix = reinterpret_cast<PIX>(1);
    EXPECT_EQ(BrcOpenHixNr(a, 0, &ix), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(ix, nullptr);
    EXPECT_EQ(BrcOpenHixStr(a, "F,2,L", &ix), ORIN_ERR_ACCESS_DENIED);

    reopen(1);
    EXPECT_EQ(BrcIxDeleteNr(a, 0), ORIN_ERR_ACCESS_DENIED);
    ASSERT_EQ(BrcOpenHixNr(a, 0, &ix), 0);
    ASSERT_NE(ix, nullptr);
    ULONG keys = 0, record = 0, error = 0;
    EXPECT_EQ(IxdQueryNrKeys(ix, &keys, &error), 0);
    EXPECT_EQ(keys, 2UL);
    char key[2];
    EXPECT_EQ(IxdFirst(ix, key, &record, &error), 0);
    EXPECT_EQ(record, 1UL);
    EXPECT_EQ(bytes(key, 2), bytes("a\0", 2));
    // Changes through the archive show through the raw handle.
    USHORT doc = addDoc({{"F", "0"}});
    EXPECT_EQ(IxdFirst(ix, key, &record, &error), 0);
    EXPECT_EQ(record, ULONG(doc));
    IxdClose(ix);

    EXPECT_EQ(BrcOpenHixStr(a, "f,2,L", &ix), 0);
    ASSERT_NE(ix, nullptr);
    IxdClose(ix);
    EXPECT_EQ(BrcOpenHixStr(a, "G,2,L", &ix), BRC_ERR_NO_INDEX);
    EXPECT_EQ(BrcOpenHixNr(a, 4, &ix), BRC_ERR_NO_INDEX);

    // A deleting close only closes in shared mode.
    e = open("F,2,L");
    EXPECT_EQ(BrcIxDelete(a, e), 0);
    EXPECT_EQ(BrcIxDelete(a, e), 0);
    EXPECT_EQ(BrcQueryIxExist(a, 0), 1);
}

// ---- Views ----

using Views = ArchiveTest;

std::string viewValue(BrcArchive *a, USHORT number, const char *key)
{
    char text[300] = {};
    std::string section = "View_" + std::to_string(number);
    EXPECT_EQ(PrfQueryProfileString(BrcGetPrfHandle(a), section.c_str(), key, "", text,
                                    sizeof text), 0) << section << " " << key;
    return text;
}

TEST_F(Views, DefineAndReplaceByNameInAnyCase)
{
    USHORT first = 0xFFFF, second = 0xFFFF, again = 0xFFFF;
    ASSERT_EQ(BrcVwDefine(a, "Main", "A,5,L", "A,10,L;B,4,R", &first), 0);
    ASSERT_EQ(BrcVwDefine(a, "Other", "B,2,L", "B,2,L", &second), 0);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    ASSERT_EQ(BrcVwDefine(a, "MAIN", "C,3,R", "C,3,C", &again), 0);
    EXPECT_EQ(again, first);
    EXPECT_EQ(viewValue(a, 0, "IxFields"), "C,3,R");
    EXPECT_EQ(viewValue(a, 0, "VwFields"), "C,3,C");
    EXPECT_EQ(viewValue(a, 1, "IxFields"), "B,2,L");
    USHORT count = 0;
    EXPECT_EQ(BrcGetMaxNrViews(a, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(BrcGetNrViews(a, &count), 0);
    EXPECT_EQ(count, 2);
}

TEST_F(Views, DefinitionsMustParse)
{
    USHORT number = 0x1234;
    EXPECT_EQ(BrcVwDefine(a, "V", "A,5,X", "A,5,L", &number), BRC_ERR_DEFINITION);
    EXPECT_EQ(number, 0);   // the slot is reported whatever happened
    EXPECT_EQ(BrcQueryViewExist(a, 0), 0);
    EXPECT_EQ(BrcVwDefine(a, "V", "A,5,L", "A5", &number), BRC_ERR_DEFINITION);
    USHORT count = 9;
    EXPECT_EQ(BrcGetMaxNrViews(a, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(BrcVwDefine(a, "V", "A,5,L", "A,5,L", nullptr), 0);
    EXPECT_EQ(BrcQueryViewExist(a, 0), 1);
}

TEST_F(Views, FreeSlotsAreReused)
{
    USHORT n = 0;
    ASSERT_EQ(BrcVwDefine(a, "one", "A,1,L", "A,1,L", &n), 0);
    ASSERT_EQ(BrcVwDefine(a, "two", "A,1,L", "A,1,L", &n), 0);
    ASSERT_EQ(PrfDestroySection(BrcGetPrfHandle(a), "View_0"), 0);
    ASSERT_EQ(BrcVwDefine(a, "three", "A,1,L", "A,1,L", &n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(viewValue(a, 0, "Name"), "three");
    ASSERT_EQ(BrcVwDefine(a, "Two", "B,1,L", "B,1,L", &n), 0);
    EXPECT_EQ(n, 1);
    // Names are kept to 31 characters and compared so.
    std::string longName(40, 'n');
    ASSERT_EQ(BrcVwDefine(a, longName.c_str(), "A,1,L", "A,1,L", &n), 0);
    EXPECT_EQ(n, 2);
    ASSERT_EQ(BrcVwDefine(a, std::string(31, 'N').c_str(), "A,1,L", "A,1,L", &n), 0);
    EXPECT_EQ(n, 2);
}

}  // namespace
