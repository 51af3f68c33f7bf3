/*
 * test_brd_document.cpp - documents: numbering and slot counts, open and
 * delete, active state and status, history, look-up, document names,
 * the template and the memo/redline delegation.
 */
#include <gtest/gtest.h>
#include <cstring>
#include <vector>
#include "arctest.h"

using namespace arctest;

namespace {

class DocumentTest : public ::testing::TestWithParam<USHORT> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrcCreate(nullptr, arc.out(), file.c_str(), GetParam()), 0);
    }
    USHORT add(const char *id, BOOL active = TRUE, const char *site = "site")
    {
        Doc d;
        EXPECT_EQ(BrdAddDocument(arc, d.out(), site, id, active, FALSE), 0);
        return BrdGetDocNumber(d);
    }
    USHORT remove(USHORT n)
    {
        Doc d;
        USHORT rc = BrdOpenDocument(arc, d.out(), n, FALSE);
        return rc ? rc : BrdDeleteDocument(d.release());
    }
    int slots()
    {
        USHORT n = 0;
        return BrcGetMaxNrDocs(arc, &n) == 0 ? n : -1;
    }
    int documents()
    {
        USHORT n = 0;
        return BrcGetNrDocs(arc, &n) == 0 ? n : -1;
    }
    ScratchDir dir{"arc_document"};
    std::string file = dir.path("docs.arc");
    Archive arc;
};

TEST_P(DocumentTest, NumbersAreSlotsAndOnlyTheLastIsGivenBack)
{
    EXPECT_EQ(add("a"), 0);
    EXPECT_EQ(add("b"), 1);
    EXPECT_EQ(add("c"), 2);
    EXPECT_EQ(slots(), 3);
    ASSERT_EQ(remove(1), 0);
    EXPECT_EQ(slots(), 3);
    EXPECT_EQ(documents(), 2);
    ASSERT_EQ(remove(2), 0);
    EXPECT_EQ(slots(), 2);
    EXPECT_EQ(documents(), 1);
    EXPECT_EQ(add("d"), 2);
    EXPECT_EQ(remove(1), BRC_ERR_NO_DOC);
    Doc d;
    EXPECT_EQ(BrdOpenDocument(arc, d.out(), 1, FALSE), BRC_ERR_NO_DOC);
    EXPECT_EQ(d.d, nullptr);
    EXPECT_EQ(BrdOpenDocument(arc, d.out(), 2, TRUE), 0);
}

TEST_P(DocumentTest, DeleteRemovesTheSectionAndItsAnnotations)
{
    Doc d;
    ASSERT_EQ(BrdAddDocument(arc, d.out(), "site", "x", TRUE, TRUE), 0);
    ASSERT_EQ(setText(d, "A", "1"), 0);
    ASSERT_EQ(setText(d, "B", "2"), 0);
    HPRF p = BrcGetPrfHandle(arc);
    ASSERT_EQ(PrfWriteProfileString(p, "Doc_0.MEMOS", "note", "m"), 0);
    ASSERT_EQ(PrfWriteProfileString(p, "Doc_0.REDLINES", "layer", "r"), 0);
    ASSERT_EQ(BrdDeleteDocument(d.release()), 0);
    for (const char *s : {"Doc_0", "Doc_0.MEMOS", "Doc_0.REDLINES"}) {
        ULONG size;
        EXPECT_EQ(PrfQueryProfileSize(p, s, nullptr, &size), ORIN_ERR_NO_KEY) << s;
    }
    EXPECT_EQ(slots(), 0);
}

TEST_P(DocumentTest, HeaderInformation)
{
    Doc d;
    ASSERT_EQ(BrdAddDocument(arc, d.out(), "the site", "the id", TRUE, FALSE), 0);
    ASSERT_EQ(setText(d, "F1", "x"), 0);
    ASSERT_EQ(setText(d, "F2", "y"), 0);
    BrdHeaderInfo info;
    ASSERT_EQ(BrdGetHeaderInfo(d, &info), 0);
    EXPECT_STREQ(info.appSite, "the site");
    EXPECT_STREQ(info.docId, "the id");
    EXPECT_EQ(info.active, 1u);
    EXPECT_EQ(info.activeOnEntrance, 1u);
    EXPECT_EQ(info.nrFields, 2);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(info.entrance.year, now.wYear);
    EXPECT_GE(info.entrance.month, 1);
    std::string stamp = str(BrcGetPrfHandle(arc), "Doc_0", "DTEntrance");
    EXPECT_EQ(stamp.size(), 14u);
    EXPECT_EQ(stamp.substr(0, 4), std::to_string(info.entrance.year));
    // Long texts are cut to their fields' sizes.
    std::string longId(100, 'i');
    Doc e;
    ASSERT_EQ(BrdAddDocument(arc, e.out(), "s", longId.c_str(), TRUE, FALSE), 0);
    char id[BRD_DOCID_SIZE + 10];
    ASSERT_EQ(BrdGetDocID(e, id, sizeof id), 0);
    EXPECT_EQ(strlen(id), size_t(BRD_DOCID_SIZE - 1));
}

TEST_P(DocumentTest, ActiveStateFollowsTheEntrance)
{
    Doc on, off;
    ASSERT_EQ(BrdAddDocument(arc, on.out(), "site", "on", TRUE, FALSE), 0);
    ASSERT_EQ(BrdAddDocument(arc, off.out(), "site", "off", FALSE, FALSE), 0);
    ULONG v = 7;
    EXPECT_EQ(BrdGetActive(off, &v), 0);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(BrdSetActive(off, TRUE), BRC_ERR_NOT_ACTIVE);
    EXPECT_EQ(BrdGetActive(off, &v), 0);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(BrdSetActive(on, FALSE), 0);
    EXPECT_EQ(BrdGetActive(on, &v), 0);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(BrdSetActive(on, TRUE), 0);
    EXPECT_EQ(BrdGetActive(on, &v), 0);
    EXPECT_EQ(v, 1u);
    EXPECT_EQ(BrdGetActiveOnEntrance(off, &v), 0);
    EXPECT_EQ(v, 0u);
}

TEST_P(DocumentTest, StatusTellsInactiveForeignUpdatedAndClean)
{
    Doc d;
    ASSERT_EQ(BrdAddDocument(arc, d.out(), "mine", "x", TRUE, FALSE), 0);
    ASSERT_EQ(setText(d, "F", "v"), 0);
    USHORT status = 0;
    ASSERT_EQ(BrdGetStatus(d, "mine", &status), 0);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(BrdGetStatus(d, "yours", &status), 0);
    EXPECT_EQ(status, 1);
    ULONG updated = 0;
    EXPECT_EQ(BrdGetUpdated(d, &updated), 0);
    EXPECT_EQ(updated, 1u);
    EXPECT_EQ(BrdResetUpdated(d), 0);
    EXPECT_EQ(BrdGetStatus(d, "mine", &status), 0);
    EXPECT_EQ(status, 4);
    EXPECT_EQ(BrdGetUpdated(d, &updated), 0);
    EXPECT_EQ(updated, 0u);
    // Setting an existing field keeps its flag; SetString raises it.
    ASSERT_EQ(setText(d, "F", "w"), 0);
    EXPECT_EQ(BrdGetStatus(d, "mine", &status), 0);
    EXPECT_EQ(status, 4);
    ASSERT_EQ(BrdFldSetString(d, "F", "z"), 0);
    EXPECT_EQ(BrdGetStatus(d, "mine", &status), 0);
    EXPECT_EQ(status, 3);
    ASSERT_EQ(BrdSetActive(d, FALSE), 0);
    EXPECT_EQ(BrdGetStatus(d, "mine", &status), 0);
    EXPECT_EQ(status, 2);
}

TEST_P(DocumentTest, HistoryIsAppendedWithoutSeparators)
{
    Doc d;
    ASSERT_EQ(BrdAddDocument(arc, d.out(), "site", "x", TRUE, FALSE), 0);
    ULONG size = 5;
    EXPECT_EQ(BrdGetHistory(d, nullptr, &size), ORIN_ERR_NO_KEY);
    EXPECT_EQ(size, 1u);
    ASSERT_EQ(BrdHistoryPrintf(d, "%s", "a"), 0);
    ASSERT_EQ(BrdHistoryPrintf(d, "b"), 0);
    char buf[64];
    size = sizeof buf;
    ASSERT_EQ(BrdGetHistory(d, buf, &size), 0);
    EXPECT_STREQ(buf, "ab");
    EXPECT_EQ(size, 3u);
    ASSERT_EQ(BrdHistoryPrintf(d, "-%d-", 42), 0);
    size = sizeof buf;
    ASSERT_EQ(BrdGetHistory(d, buf, &size), 0);
    EXPECT_STREQ(buf, "ab-42-");
}

TEST_P(DocumentTest, FindDocByIdAndSite)
{
    USHORT n = 99;
    EXPECT_EQ(BrcFindDoc(arc, nullptr, "x", &n), BRC_ERR_NO_DOC);
    add("x", TRUE, "one");
    add("y", TRUE, "two");
    add("y", TRUE, "three");
    EXPECT_EQ(BrcFindDoc(arc, nullptr, "y", &n), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(BrcFindDoc(arc, "three", "y", &n), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(BrcFindDoc(arc, "one", "y", &n), BRC_ERR_NO_DOC);
    EXPECT_EQ(BrcFindDoc(arc, nullptr, "Y", &n), BRC_ERR_NO_DOC);
    ASSERT_EQ(remove(1), 0);
    EXPECT_EQ(BrcFindDoc(arc, nullptr, "y", &n), 0);
    EXPECT_EQ(n, 2);
}

TEST_P(DocumentTest, DocumentNamesOfAPlainArchiveKeepOnlyTheFileName)
{
    Doc d;
    ASSERT_EQ(BrdAddDocument(arc, d.out(), "site", "x", TRUE, FALSE), 0);
    std::string path = dir.path("Main Document.txt");
    ASSERT_TRUE(writeFile(path, "body"));
    EXPECT_EQ(BrdFindDocName(d), BRC_ERR_NO_FIELD);
    ASSERT_EQ(BrdSetDocName(d, path.c_str()), 0);
    char buf[300];
    ASSERT_EQ(BrdGetDocName(d, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Main Document.txt");
    EXPECT_EQ(BrdFindDocName(d), 0);
    USHORT type = 0;
    EXPECT_EQ(BrdFldGetType(d, "MAINDOCFN", &type), 0);
    EXPECT_EQ(type, BRC_FIELD_TYPE_FILE);
    ASSERT_EQ(BrdFldGetString(d, "MAINDOCFN", buf, sizeof buf), 0);
    EXPECT_EQ(strchr(buf, '\\'), nullptr) << buf;
    USHORT n = 9;
    EXPECT_EQ(BrcFindDocFile(arc, buf, &n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(BrcFindDocFile(arc, "nothing.txt", &n), BRC_ERR_NO_DOC);
    ASSERT_EQ(BrdSetGroupDocName(d, 3, path.c_str()), 0);
    EXPECT_EQ(BrdFldQueryExist(d, "GROUPDOCFN_3"), 1);
    EXPECT_EQ(BrdSetGroupDocName(d, 4, nullptr), BRC_ERR_GENERAL);
    // A MAINDOCFN of another type is not a document name.
    Doc e;
    ASSERT_EQ(BrdAddDocument(arc, e.out(), "site", "y", TRUE, FALSE), 0);
    ASSERT_EQ(setText(e, "MAINDOCFN", "x.txt", 'T'), 0);
    EXPECT_EQ(BrdFindDocName(e), BRC_ERR_FIELD_TYPE);
}

TEST_P(DocumentTest, TemplateTakesValuesAsGiven)
{
    Doc t;
    ASSERT_EQ(BrcOpenTemplate(arc, t.out()), 0);
    EXPECT_EQ(BrdGetDocNumber(t), BRC_TEMPLATE_NUMBER);
    std::string ref = "[" + file + "]";
    ASSERT_EQ(BrcTemplateFldSet(t, "Ref", 'T', ref.data(), ULONG(ref.size()), FALSE), 0);
    ASSERT_EQ(BrcTemplateFldSet(t, "Other", 'T', "v", 1, FALSE), 0);
    ASSERT_EQ(BrcCloseTemplate(t.d), 0);
    t.d = nullptr;
    HPRF p = BrcGetPrfHandle(arc);
    EXPECT_EQ(prfdisk::value(p, "Template", "Value.Ref"), ref);
    EXPECT_EQ(str(p, "Template", "Fields"), "Ref,Other");
    ASSERT_EQ(BrcOpenTemplate(arc, t.out()), 0);
    EXPECT_EQ(BrcTemplateFldDelete(t, "Ref"), 0);
    EXPECT_EQ(BrcTemplateFldDelete(t, "Ref"), BRC_ERR_NO_FIELD);
    t.close();
    EXPECT_EQ(str(p, "Template", "Fields"), "Other");
    // The template is no document slot.
    EXPECT_EQ(slots(), 0);
}

struct CopyLog {
    std::vector<std::string> calls;
};

USHORT ORINAPI copySection(void *context, HPRF to, HPRF from, const char *toSection,
                           const char *fromSection)
{
    auto *log = static_cast<CopyLog *>(context);
    log->calls.push_back(std::string(toSection) + "<-" + fromSection);
    return 0;
}

HPRF gCallerProfile;
std::vector<std::string> gKeyCalls;

USHORT ORINAPI copyKey(HPRF to, HPRF from, const char *toSection, const char *fromSection,
                       const char *toKey, const char *fromKey, ULONG flag)
{
    gKeyCalls.push_back(std::string(to == gCallerProfile ? "caller:" : "archive:") + toSection +
                        "/" + toKey + "<-" + fromSection + "/" + fromKey + "#" +
                        std::to_string(flag));
    return 42;
}

TEST_P(DocumentTest, MemosAndRedlinesGoThroughTheCallersCopy)
{
    Doc d;
    ASSERT_EQ(BrdAddDocument(arc, d.out(), "site", "x", TRUE, FALSE), 0);
    add("y");
    Doc second;
    ASSERT_EQ(BrdOpenDocument(arc, second.out(), 1, FALSE), 0);
    CopyLog log;
    HPRF mine = reinterpret_cast<HPRF>(&log);
    gCallerProfile = mine;
    EXPECT_EQ(BrdSetMemos(second, mine, copySection, &log, "MySection"), 0);
    EXPECT_EQ(BrdGetRedlines(second, mine, copySection, &log, "Theirs"), 0);
    EXPECT_EQ(BrdSetMemos(second, mine, nullptr, &log, "ignored"), 0);
    ASSERT_EQ(log.calls.size(), 2u);
    EXPECT_EQ(log.calls[0], "Doc_1.MEMOS<-MySection");
    EXPECT_EQ(log.calls[1], "Theirs<-Doc_1.REDLINES");
    gKeyCalls.clear();
    EXPECT_EQ(BrdSetMemoField(d, mine, copyKey, "S", "AKey", "CKey", 5), 42);
    EXPECT_EQ(BrdGetRedLayer(d, mine, copyKey, "S", "AKey", "CKey"), 42);
    ASSERT_EQ(gKeyCalls.size(), 2u);
    EXPECT_EQ(gKeyCalls[0], "archive:Doc_0.MEMOS/AKey<-S/CKey#5");
    EXPECT_EQ(gKeyCalls[1], "caller:S/CKey<-Doc_0.REDLINES/AKey#0");

    PRFFLDINFO info;
    PrfFldInfoInit(&info, 'M');
    ASSERT_EQ(BrdFldSetMemoInfo(d, "Note", &info), 0);
    EXPECT_EQ(str(BrcGetPrfHandle(arc), "Doc_0.MEMOS", "MM.InfoField.Note").substr(0, 6), "M;0;1;");
    PRFFLDINFO back;
    ASSERT_EQ(BrdFldGetMemoInfo(d, "Note", &back), 0);
    EXPECT_EQ(back.type, 'M');
    ASSERT_EQ(BrdFldSetRedLayerInfo(d, "L1", &info), 0);
    EXPECT_EQ(BrdFldGetRedLayerInfo(d, "L1", &back), 0);
    EXPECT_NE(BrdFldGetRedLayerInfo(d, "L2", &back), 0);
    EXPECT_EQ(BrdDeleteMemos(d), 0);
    EXPECT_NE(BrdFldGetMemoInfo(d, "Note", &back), 0);
    EXPECT_EQ(BrdDeleteRedlines(d), 0);
}

TEST_P(DocumentTest, DocumentHandlesAreChecked)
{
    Doc d;
    ASSERT_EQ(BrdAddDocument(arc, d.out(), "site", "x", TRUE, FALSE), 0);
    BrdDocument *stale = d.d;
    d.close();
    ULONG v;
    EXPECT_EQ(BrdGetActive(stale, &v), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrdCloseDocument(stale), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrdDeleteDocument(stale), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrdFldSet(stale, "F", 'T', "x", 1, FALSE), ORIN_ERR_INVALID_HANDLE);
    // A document of a closed archive is dead too.
    ASSERT_EQ(BrdOpenDocument(arc, d.out(), 0, FALSE), 0);
    BrdDocument *orphan = d.release();
    arc.close();
    EXPECT_EQ(BrdGetActive(orphan, &v), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(BrdGetPrfHandle(orphan), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Modes, DocumentTest, ::testing::Values(USHORT(0), USHORT(1)),
                         [](const auto &info) { return info.param ? "Shared" : "Exclusive"; });

}  // namespace
