// Internal tables: the character table before locale set-up, the DBCS
// lead-byte table, the system format builder and the locale names that
// KnlInitCP hands to the date family.
#include <gtest/gtest.h>
#include <string>
#include "frame/knlint.h"
#include "text/datint.h"

namespace {

// Must run before anything in this program calls KnlInitCP.
TEST(KnlTables, A_BeforeLocaleSetUpTheUpperHalfHoldsCodePage850Pairs)
{
    EXPECT_EQ(knlCharTable[0x81].flags, 0x41);   // u diaeresis
    EXPECT_EQ(knlCharTable[0x81].other, 0x9A);
    EXPECT_EQ(knlCharTable[0x9A].flags, 0x42);
    EXPECT_EQ(knlCharTable[0x9A].other, 0x81);
    EXPECT_EQ(knlCharTable[0x87].other, 0x80);   // c cedilla
    EXPECT_EQ(knlCharTable[0x98].flags, 0x41);   // own partner, lower
    EXPECT_EQ(knlCharTable[0x98].other, 0x98);
    EXPECT_EQ(knlCharTable[0xE1].flags, 0x42);   // own partner, upper
    EXPECT_EQ(knlCharTable[0xE1].other, 0xE1);
    EXPECT_EQ(knlCharTable[0xB0].flags, 0x40);   // a box-drawing shade
    EXPECT_EQ(knlCharTable[0xB0].other, '?');
    EXPECT_EQ(knlCharTable[0xFF].flags, 0x00);
    EXPECT_EQ(knlCharTable[0xFF].other, '?');
    int lower = 0, upper = 0;
    for (int c = 128; c < 256; c++) {
        lower += (knlCharTable[c].flags & KNL_CT_LOWER) != 0;
        upper += (knlCharTable[c].flags & KNL_CT_UPPER) != 0;
    }
    EXPECT_EQ(lower, 31);
    EXPECT_EQ(upper, 31);
}

TEST(KnlTables, LeadBytesOfTheAnsiCodePage)
{
    KnlInitDBCSEv();
    if (GetACP() == 932) {
        EXPECT_EQ(knlDbcsEnabled, 1);
        EXPECT_EQ(knlLeadByte[0x81], 1);
        EXPECT_EQ(knlLeadByte[0x9F], 1);
        EXPECT_EQ(knlLeadByte[0xA0], 0);
        EXPECT_EQ(knlLeadByte[0xB1], 0);         // half-width katakana
        EXPECT_EQ(knlLeadByte[0xE0], 1);
        EXPECT_EQ(knlLeadByte[0xFC], 1);
    } else {
        EXPECT_EQ(knlDbcsEnabled, 0);
        for (int b = 0; b < 256; b++)
            EXPECT_EQ(knlLeadByte[b], 0) << b;
    }
    for (int b = 0; b < 128; b++)
        EXPECT_EQ(knlLeadByte[b], 0);
}

std::pair<std::string, std::string> build(const char *sep, const char *order,
                                          const char *century, const char *dlz,
                                          const char *mlz, const char *tsep,
                                          const char *tfmt, const char *hlz)
{
    KNLLOCALEFMT lf = {sep, tsep, order, tfmt, century, hlz, dlz, mlz};
    char d[DAT_FMT_SIZE], t[DAT_FMT_SIZE];
    KnlBuildSysFormats(&lf, d, sizeof d, t, sizeof t);
    return {d, t};
}

TEST(KnlFormats, BuiltFromLocaleItems)
{
    auto de = build(".", "1", "1", "1", "1", ":", "1", "1");
    EXPECT_EQ(de.first, "[0D].[0M].[Y]");
    EXPECT_EQ(de.second, "[0i]:[0m]");
    auto us = build("/", "0", "1", "0", "0", ":", "0", "0");
    EXPECT_EQ(us.first, "[M]/[D]/[Y]");
    EXPECT_EQ(us.second, "[h]:[0m] [A]");
    auto ymd = build("-", "2", "0", "0", "1", ".", "0", "1");
    EXPECT_EQ(ymd.first, "[0Z]-[0M]-[D]");
    EXPECT_EQ(ymd.second, "[0h].[0m] [A]");
}

std::string locale(LCTYPE item)
{
    char buf[80];
    GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buf, sizeof buf);
    return buf;
}

TEST(KnlFormats, MonthAndDayNamesSundayFirst)
{
    KnlInitCP();
    EXPECT_EQ(DatMonthName(1, 0), locale(LOCALE_SMONTHNAME1));
    EXPECT_EQ(DatMonthName(12, 0), locale(LOCALE_SMONTHNAME12));
    EXPECT_EQ(DatMonthName(3, 1), locale(LOCALE_SABBREVMONTHNAME3));
    EXPECT_EQ(DatDayName(0, 0), locale(LOCALE_SDAYNAME7));     // Sunday
    EXPECT_EQ(DatDayName(1, 0), locale(LOCALE_SDAYNAME1));     // Monday
    EXPECT_EQ(DatDayName(6, 1), locale(LOCALE_SABBREVDAYNAME6));
    EXPECT_EQ(DatDayName(0, 1), locale(LOCALE_SABBREVDAYNAME7));

    KnlTerminate(0);                 // drops the locale names
    EXPECT_STREQ(DatMonthName(1, 0), "January");
    EXPECT_STREQ(DatDayName(0, 1), "Sun");
}

} // namespace
