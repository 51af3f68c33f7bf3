/*
 * test_orin_arc.cpp - `orin arc` run as a program on archives the test
 * builds through the library: what each command prints (the expectations
 * read back through the archive calls), exit statuses for a bad archive,
 * document number or field, byte-identical put/get round trips, index
 * listings and rebuilds, and check finding faults planted behind the
 * archive's back.
 */
#include <gtest/gtest.h>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>
#include "arctest.h"

using namespace arctest;
using prfdisk::DiskProfile;

namespace {

/* What a run printed: standard output byte for byte, standard error apart. */
using Output = testutil::CommandResult;

/* Runs `orin.exe ARGS` through the command interpreter. */
Output orin(const std::string &args)
{
    return testutil::runCommand("orin.exe " + args, "arc_tool_stderr.txt");
}

/* The lines of a listing, without their line ends. */
std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(line);
    }
    return out;
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

std::string stamp(const DATETIME &dt)
{
    char text[32];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", dt.year, dt.month, dt.day,
             dt.hours, dt.minutes, dt.seconds);
    return text;
}

/* Bytes of every value, long enough to need several reads and to shrink
 * when compressed. */
std::string sampleBytes()
{
    std::string data;
    for (int i = 0; i < 70000; i++)
        data += static_cast<char>(i % 7 == 0 ? i % 256 : 'a' + i % 5);
    return data;
}

class ArcTool : public ::testing::Test {
protected:
    /* Four documents, the second deleted again (a hole), the third added
     * inactive; text fields and a comment. */
    void SetUp() override
    {
        Archive a;
        ASSERT_EQ(BrcCreate(nullptr, a.out(), file.c_str(), 0), 0);
        ASSERT_EQ(BrcSetComment(a, "known archive"), 0);
        addDoc(a, "Site A", "alpha", TRUE, {{"NAME", "Miller"}, {"CITY", "Oslo"}});
        addDoc(a, "Site B", "beta", TRUE, {});
        addDoc(a, "Site A", "gamma", FALSE, {{"NAME", "Adams"}});
        addDoc(a, "Site C", "delta", TRUE, {{"NAME", "Berg"}});
        Doc d;
        ASSERT_EQ(BrdOpenDocument(a, d.out(), 1, FALSE), 0);
        ASSERT_EQ(BrdDeleteDocument(d.release()), 0);
        ASSERT_EQ(a.close(), 0);
    }

    void addDoc(BrcArchive *a, const char *site, const char *id, BOOL active,
                std::vector<std::pair<const char *, std::string>> fields)
    {
        Doc d;
        ASSERT_EQ(BrdAddDocument(a, d.out(), site, id, active, FALSE), 0);
        for (auto &[name, value] : fields)
            ASSERT_EQ(setText(d, name, value), 0);
    }

    /* Runs a command on the test's archive. */
    Output arc(const std::string &command, const std::string &args = "")
    {
        return orin("arc " + command + " " + file + (args.empty() ? "" : " " + args));
    }

    ScratchDir dir{"arc_tool"};
    std::string file = dir.path("known.arc");
};

/* ---- Listings -------------------------------------------------------------------- */

TEST_F(ArcTool, InfoShowsHeaderAndCounts)
{
    Output r = arc("info");
    ASSERT_EQ(r.status, 0) << r.err;
    Archive a;
    ASSERT_EQ(BrcOpenReadonly(nullptr, a.out(), file.c_str(), 2), 0);
    BrcHeaderInfo info;
    ASSERT_EQ(BrcGetHeaderInfo(a, &info), 0);
    std::vector<std::string> got = lines(r.out);
    std::vector<std::string> want = {
        "version     " + std::to_string(info.version),
        "flavour     plain",
        "strings     ANSI",
        "id          " + std::string(info.id),
        "comment     known archive",
        "documents   " + std::to_string(info.docs) + " in " + std::to_string(info.maxDocs) +
            " slots, " + std::to_string(info.activeDocs) + " active",
        "indexes     0 in 0 slots",
        "views       0 in 0 slots",
    };
    EXPECT_EQ(got, want);
    EXPECT_EQ(info.docs, 3);
    EXPECT_EQ(info.activeDocs, 2);
}

TEST_F(ArcTool, InfoTellsTheFlavourAndTheCodePage)
{
    std::string other = dir.path("flavour.arc");
    ASSERT_EQ(orin("arc create " + other + " --archive").status, 0);
    Output r = orin("arc info " + other);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "flavour     archive\r\n")) << r.out;
    {
        DiskProfile p(other);
        ASSERT_EQ(p.rc, 0);
        ASSERT_EQ(PrfWriteProfileData(p.h, "BrcHeader", "Ansi", nullptr, 0), 0);
    }
    r = orin("arc info " + other);
    EXPECT_TRUE(contains(r.out, "strings     OEM\r\n")) << r.out;
    EXPECT_EQ(orin("arc create " + other).status, 1);   // exists already
}

TEST_F(ArcTool, DocsListsEveryDocumentOnce)
{
    Output r = arc("docs");
    ASSERT_EQ(r.status, 0) << r.err;
    Archive a;
    ASSERT_EQ(BrcOpenReadonly(nullptr, a.out(), file.c_str(), 2), 0);
    std::vector<std::string> want;
    for (USHORT n : {0, 2, 3}) {
        Doc d;
        ASSERT_EQ(BrdOpenDocument(a, d.out(), n, FALSE), 0);
        BrdHeaderInfo h;
        ASSERT_EQ(BrdGetHeaderInfo(d, &h), 0);
        want.push_back(std::to_string(n) + "\t" + h.appSite + "\t" + h.docId + "\t" +
                       std::to_string(h.active) + "\t" + stamp(h.entrance) + "\t" +
                       std::to_string(h.nrFields));
    }
    EXPECT_EQ(lines(r.out), want);
    EXPECT_TRUE(contains(r.out, "\tgamma\t0\t")) << r.out;   // the inactive one
}

TEST_F(ArcTool, FieldsListsNameTypeSizeAndStamps)
{
    Output r = arc("fields", "0");
    ASSERT_EQ(r.status, 0) << r.err;
    Archive a;
    ASSERT_EQ(BrcOpenReadonly(nullptr, a.out(), file.c_str(), 2), 0);
    Doc d;
    ASSERT_EQ(BrdOpenDocument(a, d.out(), 0, FALSE), 0);
    std::vector<std::string> want;
    for (const char *name : {"NAME", "CITY"}) {
        PRFFLDINFO info;
        ASSERT_EQ(BrdFldGetInfo(d, name, &info), 0);
        want.push_back(std::string(name) + "\t" + char(info.type) + "\t" +
                       std::to_string(info.size) + "\t" + std::to_string(info.compressed) +
                       "\t" + std::to_string(info.updated) + "\t" + stamp(info.created) +
                       "\t" + stamp(info.lastUpdate));
    }
    EXPECT_EQ(lines(r.out), want);
    EXPECT_TRUE(contains(r.out, "NAME\tT\t6\t0\t1\t")) << r.out;
}

/* ---- Exit statuses ------------------------------------------------------------- */

TEST_F(ArcTool, ExitStatusNamesWhatWentWrong)
{
    Output r = orin("arc info " + dir.path("missing.arc"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "error 2 ")) << r.err;

    std::string plain = dir.path("plain.prf");
    {
        DiskProfile p(plain);
        ASSERT_EQ(PrfWriteProfileString(p.h, "Some", "Key", "value"), 0);
    }
    EXPECT_EQ(orin("arc docs " + plain).status, 1);
    EXPECT_EQ(orin("arc check " + plain).status, 1);

    r = arc("fields", "7");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "error 57516")) << r.err;
    EXPECT_EQ(arc("fields", "1").status, 1);   // the deleted one
    EXPECT_EQ(arc("fields", "x").status, 2);
    EXPECT_EQ(arc("fields", "65535").status, 2);
    EXPECT_EQ(arc("fields", "-1").status, 2);
    r = arc("get", "0 NOSUCH");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "error 57526")) << r.err;
    EXPECT_EQ(arc("get", "0 NOSUCH " + dir.path("out.bin")).status, 1);
    EXPECT_EQ(arc("put", "7 F " + file).status, 1);
    EXPECT_EQ(arc("put", "0 F " + dir.path("missing.bin")).status, 1);
    EXPECT_EQ(lines(arc("fields", "0").out).size(), 2u);   // no field left behind
    EXPECT_EQ(arc("frobnicate").status, 2);
    EXPECT_EQ(arc("fields").status, 2);
    EXPECT_EQ(arc("put", "0 F x --squeeze").status, 2);
    EXPECT_EQ(orin("arc").status, 2);
    r = orin("arc --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "check ARCHIVE")) << r.out;
}

/* ---- Changes ------------------------------------------------------------------- */

TEST_F(ArcTool, AddPrintsTheNumberAndDeleteRemoves)
{
    Output r = arc("add", "\"Site D\" epsilon");
    ASSERT_EQ(r.status, 0) << r.err;
    USHORT found = 65535;
    {
        Archive a;
        ASSERT_EQ(BrcOpenReadonly(nullptr, a.out(), file.c_str(), 2), 0);
        ASSERT_EQ(BrcFindDoc(a, "Site D", "epsilon", &found), 0);
    }
    EXPECT_EQ(lines(r.out), std::vector<std::string>{std::to_string(found)});
    ASSERT_EQ(arc("delete", std::to_string(found)).status, 0);
    {
        Archive a;
        ASSERT_EQ(BrcOpenReadonly(nullptr, a.out(), file.c_str(), 2), 0);
        EXPECT_EQ(BrcFindDoc(a, "Site D", "epsilon", &found), BRC_ERR_NO_DOC);
        EXPECT_EQ(BrcQueryDocExist(a, 0), 1);
    }
    EXPECT_EQ(arc("delete", std::to_string(found)).status, 1);
}

void expectRoundTrip(ArcTool &t, const std::string &archive, const std::string &source,
                     const std::string &data, bool compress)
{
    SCOPED_TRACE(compress ? "compressed" : "plain");
    const char *field = compress ? "PACKED" : "RAW";
    std::string target = source + ".back";
    Output r = orin("arc put " + archive + " 2 " + field + " " + source +
                 (compress ? " --compress" : ""));
    ASSERT_EQ(r.status, 0) << r.err;
    r = orin("arc get " + archive + " 2 " + field);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == data) << "standard output differs, " << r.out.size() << " bytes";
    ASSERT_EQ(orin("arc get " + archive + " 2 " + field + " " + target).status, 0);
    EXPECT_TRUE(readFile(target) == data) << "the copied file differs";

    Archive a;
    ASSERT_EQ(BrcOpenReadonly(nullptr, a.out(), archive.c_str(), 2), 0);
    Doc d;
    ASSERT_EQ(BrdOpenDocument(a, d.out(), 2, FALSE), 0);
    PRFFLDINFO info;
    ASSERT_EQ(BrdFldGetInfo(d, field, &info), 0);
    EXPECT_EQ(info.type, 'B');
    EXPECT_EQ(info.compressed, compress ? 1 : 0);
    if (compress)
        EXPECT_LT(info.size, data.size());
    else
        EXPECT_EQ(info.size, data.size());
}

TEST_F(ArcTool, PutAndGetGiveBackTheSameBytes)
{
    std::string source = dir.path("sample.bin");
    std::string data = sampleBytes();
    ASSERT_TRUE(writeFile(source, data));
    expectRoundTrip(*this, file, source, data, false);
    expectRoundTrip(*this, file, source, data, true);

    // A second put replaces the value; the field keeps the type it has.
    std::string shorter = data.substr(0, 1000);
    ASSERT_TRUE(writeFile(source, shorter));
    ASSERT_EQ(arc("put", "2 NAME " + source).status, 0);
    Output r = arc("get", "2 NAME");
    EXPECT_TRUE(r.out == shorter);
    EXPECT_TRUE(contains(arc("fields", "2").out, "NAME\tT\t1000\t0\t")) << r.out;

    ASSERT_TRUE(writeFile(source, ""));
    ASSERT_EQ(arc("put", "2 EMPTY " + source).status, 0);
    r = arc("get", "2 EMPTY");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

/* ---- Indexes and check ----------------------------------------------------------- */

TEST_F(ArcTool, IndexListsDocumentsInKeyOrder)
{
    Output r = arc("index", "NAME,7,L");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "index 0 defined")) << r.err;
    std::vector<std::string> want = {"2\tAdams\\x00\\x00", "3\tBerg\\x00\\x00\\x00",
                                     "0\tMiller\\x00"};
    EXPECT_EQ(lines(r.out), want);

    // The same definition again is the same index, read-only this time.
    r = arc("index", "name,7,L");
    EXPECT_EQ(lines(r.out), want);
    EXPECT_EQ(r.err, "");
    r = arc("info");
    EXPECT_TRUE(contains(r.out, "indexes     1 in 1 slots\r\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "\r\nindex 0     NAME,7,L\r\n")) << r.out;

    // Right and centred segments; a missing field gives an empty value.
    r = arc("index", "NAME,6,R;CITY,6,C");
    ASSERT_EQ(r.status, 0) << r.err;
    want = {"3\t\\x00\\x00Berg\\x00\\x00\\x00\\x00\\x00\\x00",
            "2\t\\x00Adams\\x00\\x00\\x00\\x00\\x00\\x00",
            "0\tMiller\\x00Oslo\\x00"};
    EXPECT_EQ(lines(r.out), want);

    // A required field that two documents lack stops the first build; the
    // definition goes again.
    r = arc("index", "NAME,3,R;CITY,4,CN");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "error 65535")) << r.err;
    EXPECT_TRUE(contains(arc("info").out, "indexes     2 in 2 slots\r\n")) << r.err;
    // Key bytes that are no text, and the backslash, are escaped.
    std::string code = dir.path("code.bin");
    ASSERT_TRUE(writeFile(code, "a\\b\xE9\x01"));
    ASSERT_EQ(arc("put", "0 CODE " + code).status, 0);
    r = arc("index", "CODE,6,L");
    std::string zeros;
    for (int i = 0; i < 6; i++)
        zeros += "\\x00";
    want = {"2\t" + zeros, "3\t" + zeros, "0\ta\\\\b\\xE9\\x01\\x00"};
    EXPECT_EQ(lines(r.out), want);

    r = arc("index", "NAME,3,X");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "error 57534")) << r.err;
}

TEST_F(ArcTool, InfoShowsViews)
{
    {
        Archive a;
        ASSERT_EQ(BrcOpen(nullptr, a.out(), file.c_str(), 0), 0);
        USHORT n = 0;
        ASSERT_EQ(BrcVwDefine(a, "Names", "NAME,10,L", "NAME,10,L;CITY,5,R", &n), 0);
    }
    Output r = arc("info");
    EXPECT_TRUE(contains(r.out, "views       1 in 1 slots\r\n"
                                "view 0      Names | sort NAME,10,L | display NAME,10,L;CITY,5,R\r\n"))
        << r.out;
}

TEST_F(ArcTool, CheckFindsAMissingIndexKeyAndRebuildMendsIt)
{
    ASSERT_EQ(arc("index", "NAME,7,L").status, 0);
    std::string before = readFile(file);
    Output r = arc("check");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "no damage found")) << r.out;
    EXPECT_TRUE(readFile(file) == before) << "check changed the archive";
    {
        Archive a;
        ASSERT_EQ(BrcOpen(nullptr, a.out(), file.c_str(), 1), 0);
        PIX ix = nullptr;
        ASSERT_EQ(BrcOpenHixNr(a, 0, &ix), 0);
        ULONG error = 0;
        EXPECT_EQ(IxdRemove(ix, "Berg\0\0\0", 3, &error), 0) << error;
        EXPECT_EQ(IxdEnter(ix, "Ghost\0\0", 42, &error), 0) << error;
        IxdClose(ix);
    }
    r = arc("check");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "index 0: document 3 has no key")) << r.out;
    EXPECT_TRUE(contains(r.out, "index 0: a key for document 42, which does not exist")) << r.out;
    EXPECT_TRUE(contains(r.out, "2 problems found")) << r.out;

    r = arc("rebuild");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "1 index rebuilt")) << r.out;
    EXPECT_TRUE(contains(r.err, "rebuilding index 0 100%")) << r.err;
    r = arc("check");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(lines(arc("index", "NAME,7,L").out).size(), 3u);
}

TEST_F(ArcTool, CheckFindsAStaleKey)
{
    ASSERT_EQ(arc("index", "CITY,4,L").status, 0);
    {
        Archive a;
        ASSERT_EQ(BrcOpen(nullptr, a.out(), file.c_str(), 1), 0);
        PIX ix = nullptr;
        ASSERT_EQ(BrcOpenHixNr(a, 0, &ix), 0);
        ULONG error = 0;
        EXPECT_EQ(IxdRemove(ix, "Oslo", 0, &error), 0) << error;
        EXPECT_EQ(IxdEnter(ix, "Rome", 0, &error), 0) << error;
        IxdClose(ix);
    }
    Output r = arc("check");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "document 0 has the key \"Rome\", the document gives \"Oslo\""))
        << r.out;
}

TEST_F(ArcTool, CheckFindsFieldAndSlotFaults)
{
    {
        DiskProfile p(file);
        ASSERT_EQ(p.rc, 0);
        ASSERT_EQ(PrfWriteProfileData(p.h, "Doc_0", "Value.CITY", nullptr, 0), 0);
        ASSERT_EQ(PrfWriteProfileData(p.h, "Doc_3", "Info.NAME", nullptr, 0), 0);
        ASSERT_EQ(PrfWriteProfileString(p.h, "Doc_9", "DocID", "stray"), 0);
        ASSERT_EQ(PrfWriteProfileString(p.h, "Doc_1.MEMOS", "x", "orphan"), 0);
        ASSERT_EQ(PrfWriteProfileString(p.h, "View_0", "Name", "unlisted"), 0);
    }
    Output r = arc("check");
    EXPECT_EQ(r.status, 1);
    for (const char *problem : {"document 0: field CITY has no Value key",
                                "document 3: field NAME has no Info key",
                                "section Doc_9 lies beyond the document slot count 4",
                                "section Doc_1.MEMOS belongs to no document",
                                "section View_0 lies beyond the view slot count 0",
                                "5 problems found"})
        EXPECT_TRUE(contains(r.out, problem)) << problem << "\n" << r.out;
}

TEST_F(ArcTool, CheckRefusesAWrongVersion)
{
    {
        DiskProfile p(file);
        ASSERT_EQ(PrfWriteProfileUShort(p.h, "BrcHeader", "Version", 99), 0);
    }
    Output r = arc("check");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "header: version 99, not 100")) << r.out;
    EXPECT_EQ(arc("info").status, 1);
}

}  // namespace
