// OcTable through the DLL: names without regard to case, slot reuse and
// growth in steps of ten, copied values, deletion.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "octable.h"

TEST(OcTable, NamesIgnoreCaseAndReuseSlots)
{
    int a = 1, b = 2, c = 3;
    OcTable t(3, 0);
    EXPECT_EQ(t.Slots(), 0u);  // allocated by the first add
    EXPECT_EQ(t.NameAdd("KEY", &a), 1);
    EXPECT_EQ(t.Slots(), 3u);
    EXPECT_EQ(t.NameAdd("Key", &b), 1);
    EXPECT_EQ(t.Count(), 1u);
    EXPECT_EQ(t.NameLookup("key"), &b);
    EXPECT_EQ(t.NameLookup("KEY "), nullptr);
    EXPECT_EQ(t.NameAdd(nullptr, &a), 0);
    EXPECT_EQ(t.NameLookup(nullptr), nullptr);

    t.NameAdd("two", &a);
    t.NameAdd("three", &c);
    EXPECT_EQ(t.Slots(), 3u);
    t.NameAdd("four", &c);
    EXPECT_EQ(t.Slots(), 13u);
    EXPECT_EQ(t.NameDelete("TWO"), 1);
    EXPECT_EQ(t.NameDelete("two"), 0);
    EXPECT_EQ(t.NameLookup("two"), nullptr);
    t.NameAdd("five", &a);  // takes the emptied slot: no growth
    EXPECT_EQ(t.Slots(), 13u);
    EXPECT_EQ(t.Count(), 4u);
    EXPECT_EQ(t.NameLookup("FOUR"), &c);
    t.Free();
    EXPECT_EQ(t.Count(), 0u);
    EXPECT_EQ(t.NameLookup("four"), nullptr);

    OcTable d;
    d.NameAdd("x", &a);
    EXPECT_EQ(d.Slots(), 100u);
}

TEST(OcTable, NamesAndSizedValuesAreCopies)
{
    char name[16] = "Alpha";
    char value[8] = "value1";
    OcTable t(0, sizeof value);
    ASSERT_EQ(t.NameAdd(name, value), 1);
    strcpy(name, "Beta");
    strcpy(value, "value2");
    const char *found = static_cast<const char *>(t.NameLookup("ALPHA"));
    ASSERT_NE(found, nullptr);
    EXPECT_NE(found, value);
    EXPECT_STREQ(found, "value1");
    EXPECT_EQ(t.NameLookup("beta"), nullptr);
    t.NameAdd("alpha", value);
    EXPECT_STREQ(static_cast<const char *>(t.NameLookup("Alpha")), "value2");
    EXPECT_EQ(t.NameDelete("alpha"), 1);
    EXPECT_EQ(t.Count(), 0u);
}
