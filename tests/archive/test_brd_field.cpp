/*
 * test_brd_field.cpp - fields: set with quotes, file references and
 * types, the information record, the field list in both modes, set
 * string/data, delete, compare, and values in an OEM archive.
 */
#include <gtest/gtest.h>
#include <cstring>
#include "arctest.h"

using namespace arctest;

namespace {

class FieldTest : public ::testing::TestWithParam<USHORT> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(BrcCreate(nullptr, arc.out(), file.c_str(), GetParam()), 0);
        ASSERT_EQ(BrdAddDocument(arc, doc.out(), "site", "id", TRUE, FALSE), 0);
    }
    bool shared() const { return GetParam() != 0; }
    std::string stored(const char *key) { return str(BrcGetPrfHandle(arc), "Doc_0", key); }
    USHORT compare(const char *name, const char *value, USHORT mode)
    {
        USHORT r = 1234;
        EXPECT_EQ(BrdFldCompare(doc, name, value, ULONG(strlen(value)), mode, &r), 0);
        return r;
    }
    ScratchDir dir{"arc_field"};
    std::string file = dir.path("docs.arc");
    Archive arc;
    Doc doc;
};

TEST_P(FieldTest, NewFieldGetsAFreshInformationRecord)
{
    ASSERT_EQ(BrdFldSet(doc, "Title", 'T', "hello", 5, FALSE), 0);
    std::string info = stored("Info.Title");
    // type;0;updated;attributes;compressed;created;updated;;
    ASSERT_EQ(info.size(), strlen("T;0;1;0;0;") + 14 + 1 + 14 + 2) << info;
    EXPECT_EQ(info.substr(0, 10), "T;0;1;0;0;");
    EXPECT_EQ(info.substr(10, 14), info.substr(25, 14));
    EXPECT_EQ(info.substr(info.size() - 2), ";;");
    EXPECT_EQ(fieldValue(doc, "Title"), "hello");
    PRFFLDINFO fi;
    ASSERT_EQ(BrdFldGetInfo(doc, "Title", &fi), 0);
    EXPECT_EQ(fi.type, 'T');
    EXPECT_EQ(fi.size, 5u);
    EXPECT_EQ(fi.updated, 1);
    ASSERT_EQ(BrdFldSet(doc, "Packed", 'B', "xyz", 3, TRUE), 0);
    USHORT c = 0;
    EXPECT_EQ(BrdFldGetCompressed(doc, "Packed", &c), 0);
    EXPECT_EQ(c, 1);
}

TEST_P(FieldTest, QuotesAreStrippedAndTypesMustAgree)
{
    ASSERT_EQ(BrdFldSet(doc, "Q", 'T', "\"abc\"", 5, FALSE), 0);
    EXPECT_EQ(fieldValue(doc, "Q"), "abc");
    ASSERT_EQ(BrdFldSet(doc, "Z", 'T', "\"abc\"", 6, FALSE), 0);   // final zero inside
    EXPECT_EQ(fieldValue(doc, "Z"), "abc");
    ASSERT_EQ(BrdFldSet(doc, "One", 'T', "\"", 1, FALSE), 0);
    EXPECT_EQ(fieldValue(doc, "One"), "\"");
    EXPECT_EQ(BrdFldSet(doc, "Q", 'N', "1", 1, FALSE), BRC_ERR_FIELD_TYPE);
    USHORT type = 0;
    EXPECT_EQ(BrdFindField(doc, "Q", 'N', &type), BRC_ERR_FIELD_TYPE);
    EXPECT_EQ(type, 'T');
    EXPECT_EQ(BrdFindField(doc, "q", 'T', nullptr), 0);
    EXPECT_EQ(BrdFindField(doc, "nope", 0, nullptr), BRC_ERR_NO_FIELD);
    // Type 0 accepts the stored one.
    ASSERT_EQ(BrdFldSet(doc, "Q", 0, "new", 3, FALSE), 0);
    EXPECT_EQ(fieldValue(doc, "Q"), "new");
    EXPECT_EQ(BrdFldGetType(doc, "Q", &type), 0);
    EXPECT_EQ(type, 'T');
}

TEST_P(FieldTest, ReferenceToTheArchiveItselfCreatesNoField)
{
    std::string ref = "[ " + file + " ]";
    EXPECT_EQ(BrdFldSet(doc, "Self", 'F', ref.data(), ULONG(ref.size()), FALSE), BRC_ERR_OWN_FILE);
    EXPECT_EQ(BrdFldQueryExist(doc, "Self"), 0);
    EXPECT_EQ(stored("Info.Self"), "<none>");
    // Another spelling of the same file.
    std::string upper = file;
    for (char &ch : upper)
        ch = char(toupper((unsigned char)ch));
    ref = "[" + upper + "]";
    EXPECT_EQ(BrdFldSet(doc, "Self", 'F', ref.data(), ULONG(ref.size()), FALSE), BRC_ERR_OWN_FILE);
    USHORT n = 9;
    EXPECT_EQ(BrdGetNrFields(doc, &n), 0);
    EXPECT_EQ(n, 0);
}

TEST_P(FieldTest, EmptyValuesAreZeroLength)
{
    ASSERT_EQ(BrdFldSet(doc, "E", 'T', nullptr, 0, FALSE), 0);
    EXPECT_EQ(fieldValue(doc, "E"), "");
    ULONG size = 9;
    EXPECT_EQ(BrdFldGetSize(doc, "E", &size), 0);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(BrdFldSet(doc, "E", 'T', "x", 0, FALSE), 0);
    EXPECT_EQ(fieldValue(doc, "E"), "");
}

TEST_P(FieldTest, FieldListKeepsCreationOrderAndIsStoredByMode)
{
    for (const char *n : {"Beta", "Alpha", "Gamma"})
        ASSERT_EQ(setText(doc, n, n), 0);
    USHORT count = 0;
    ASSERT_EQ(BrdGetNrFields(doc, &count), 0);
    EXPECT_EQ(count, 3);
    char name[8];
    ASSERT_EQ(BrdFldGetName(doc, 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "Alpha");
    EXPECT_EQ(BrdFldGetName(doc, 3, name, sizeof name), BRC_ERR_NO_FIELD);
    ASSERT_EQ(BrdFldGetName(doc, 2, name, 3), 0);
    EXPECT_STREQ(name, "Ga");
    // Shared mode writes through at once; the other modes on close.
    EXPECT_EQ(stored("Fields"), shared() ? "Beta,Alpha,Gamma" : "<none>");
    ASSERT_EQ(BrdFldDelete(doc, "ALPHA"), 0);
    EXPECT_EQ(BrdFldDelete(doc, "Alpha"), BRC_ERR_NO_FIELD);
    EXPECT_EQ(stored("Info.Alpha"), "<none>");
    EXPECT_EQ(stored("Value.Alpha"), "<none>");
    doc.close();
    EXPECT_EQ(stored("Fields"), "Beta,Gamma");
    ASSERT_EQ(BrdOpenDocument(arc, doc.out(), 0, FALSE), 0);
    ASSERT_EQ(BrdFldDelete(doc, "Beta"), 0);
    ASSERT_EQ(BrdFldDelete(doc, "Gamma"), 0);
    EXPECT_EQ(BrdGetNrFields(doc, &count), 0);
    EXPECT_EQ(count, 0);
    doc.close();
    // Deleting the only field removes the key.
    EXPECT_EQ(stored("Fields"), "<none>");
}

TEST_P(FieldTest, BadFieldNamesAreRefused)
{
    EXPECT_EQ(setText(doc, "", "x"), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(setText(doc, "a,b", "x"), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(setText(doc, std::string(32, 'n').c_str(), "x"), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(setText(doc, std::string(31, 'n').c_str(), "x"), 0);
    EXPECT_EQ(BrdFldSet(doc, nullptr, 'T', "x", 1, FALSE), ORIN_ERR_INVALID_PARAM);
}

TEST_P(FieldTest, SetStringAndDataNeedAnExistingField)
{
    EXPECT_EQ(BrdFldSetString(doc, "S", "x"), BRC_ERR_NO_FIELD);
    EXPECT_EQ(BrdFldSetData(doc, "S", "x", 1), BRC_ERR_NO_FIELD);
    ASSERT_EQ(setText(doc, "S", "first"), 0);
    ASSERT_EQ(BrdResetUpdated(doc), 0);
    ASSERT_EQ(BrdFldSetString(doc, "S", "\"quoted\""), 0);
    EXPECT_EQ(fieldValue(doc, "S"), "\"quoted\"");
    USHORT updated = 0;
    EXPECT_EQ(BrdFldGetUpdated(doc, "S", &updated), 0);
    EXPECT_EQ(updated, 1);
    const char bytes[] = {1, 0, 2, 0, 3};
    ASSERT_EQ(BrdFldSetData(doc, "S", bytes, sizeof bytes), 0);
    EXPECT_EQ(fieldValue(doc, "S"), std::string(bytes, sizeof bytes));
    char text[16];
    ASSERT_EQ(BrdFldSetString(doc, "S", "plain"), 0);
    ASSERT_EQ(BrdFldGetString(doc, "S", text, sizeof text), 0);
    EXPECT_STREQ(text, "plain");
}

TEST_P(FieldTest, AttributesAndDates)
{
    ASSERT_EQ(setText(doc, "A", "x"), 0);
    ASSERT_EQ(BrdFldSetAttrib(doc, "A", 0x21), 0);
    USHORT attrib = 0;
    EXPECT_EQ(BrdFldGetAttrib(doc, "A", &attrib), 0);
    EXPECT_EQ(attrib, 0x21);
    DATETIME created{}, updated{};
    EXPECT_EQ(BrdFldGetDTCreate(doc, "A", &created), 0);
    EXPECT_EQ(BrdFldGetDTUpdate(doc, "A", &updated), 0);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(created.year, now.wYear);
    EXPECT_EQ(created.day, updated.day);
    EXPECT_NE(BrdFldGetAttrib(doc, "missing", &attrib), 0);
}

TEST_P(FieldTest, CompareModes)
{
    ASSERT_EQ(setText(doc, "C", "abcdef"), 0);
    EXPECT_EQ(compare("C", "abcdef", 0), 0);
    EXPECT_EQ(compare("C", "abc", 2), 0);
    EXPECT_EQ(compare("C", "abc", 0), 1);
    EXPECT_EQ(compare("C", "abcdefg", 2), 0xFFFF);
    EXPECT_EQ(compare("C", "abcdefg", 0), 0xFFFF);
    EXPECT_EQ(compare("C", "abd", 2), 0xFFFF);
    EXPECT_EQ(compare("C", "abb", 0), 1);
    EXPECT_EQ(compare("C", "\"abcdef\"", 0), 0);
    USHORT r;
    EXPECT_EQ(BrdFldCompare(doc, "none", "x", 1, 0, &r), BRC_ERR_NO_FIELD);
    // Only the first 260 bytes of a stored value take part.
    std::string big(1000, 'q');
    ASSERT_EQ(setText(doc, "Big", big), 0);
    EXPECT_EQ(compare("Big", std::string(260, 'q').c_str(), 0), 0);
}

TEST_P(FieldTest, ValuesOfAnOemArchiveAreStoredInTheOemCodePage)
{
    doc.close();
    ASSERT_EQ(PrfWriteProfileData(BrcGetPrfHandle(arc), "BrcHeader", "Ansi", nullptr, 0), 0);
    ASSERT_EQ(arc.close(), 0);
    ASSERT_EQ(BrcOpen(nullptr, arc.out(), file.c_str(), GetParam()), 0);
    ASSERT_EQ(BrdOpenDocument(arc, doc.out(), 0, FALSE), 0);
    const char *ansi = "caf\xe9";   // e acute in code page 1252
    ASSERT_EQ(setText(doc, "O", ansi), 0);
    std::string raw = fieldValue(doc, "O");
    char oem[8];
    KnlAnsiToOem(ansi, oem);
    EXPECT_EQ(raw, oem);
    char back[8];
    ASSERT_EQ(BrdFldGetString(doc, "O", back, sizeof back), 0);
    EXPECT_STREQ(back, ansi);
    // History is converted too.
    ASSERT_EQ(BrdHistoryPrintf(doc, "%s", ansi), 0);
    EXPECT_EQ(prfdisk::value(BrcGetPrfHandle(arc), "Doc_0", "History"), oem);
}

INSTANTIATE_TEST_SUITE_P(Modes, FieldTest, ::testing::Values(USHORT(0), USHORT(1)),
                         [](const auto &info) { return info.param ? "Shared" : "Exclusive"; });

}  // namespace
