// The DDE instance and the handle calls, without a server: what the calls
// answer before initialisation, the instance swap, string handles in code
// page 1004 and data handles read back through the family's own calls.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "opmdde.h"

TEST(OpmDdeInstance, CallsBeforeInitialisationFailCleanly)
{
    OpmDdeUninitialize();
    EXPECT_EQ(OpmDdeSetInstance(0), 0u);
    EXPECT_EQ(OpmDdeNameService(nullptr, OPMDDE_DNS_REGISTER), -1);
    BOOL running = TRUE;
    EXPECT_EQ(OpmDdeCheckOpmServer("anything", &running), 65535);
    EXPECT_EQ(running, FALSE);
    char buf[8] = "xxxxxxx";
    EXPECT_EQ(OpmDdeFullRequest(nullptr, "anything", "Data", "item", buf, sizeof buf), 65535);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(OpmDdeFullPoke(nullptr, "anything", "Data", nullptr, "x", 2), 65535);
    EXPECT_EQ(OpmDdeCreateStringHandle("text"), nullptr);
    EXPECT_EQ(OpmDdeConnect("anything", "Data"), nullptr);
    EXPECT_STREQ(OpmDdeQueryPresenceTopic(), "OPM_ServerPresence_Test");
    EXPECT_EQ(OpmDdeBlockCallback(), 0xFFFFFFFFu);
}

TEST(OpmDdeInstance, InitialiseSwapAndEnd)
{
    ASSERT_EQ(OpmDdeInitialize(nullptr, APPCMD_CLIENTONLY), 0);
    DWORD inst = OpmDdeSetInstance(0);
    EXPECT_NE(inst, 0u);
    EXPECT_EQ(OpmDdeCreateStringHandle("text"), nullptr);  // no instance now
    EXPECT_EQ(OpmDdeSetInstance(inst), 0u);
    HSZ h = OpmDdeCreateStringHandle("text");
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(OpmDdeFreeStringHandle(h), 0);
    BOOL running = TRUE;
    EXPECT_EQ(OpmDdeCheckOpmServer("NoSuchOrinServiceHere", &running), 0);
    EXPECT_EQ(running, FALSE);
    EXPECT_EQ(OpmDdeCheckOpmServer("NoSuchOrinServiceHere", nullptr), 0);
    OpmDdeUninitialize();
    EXPECT_EQ(OpmDdeSetInstance(0), 0u);
    EXPECT_EQ(OpmDdeNameService(nullptr, OPMDDE_DNS_REGISTER), -1);
}

TEST(OpmDdeInstance, StringHandlesUseTheAnsiCodePage)
{
    ASSERT_EQ(OpmDdeInitialize(nullptr, APPCMD_CLIENTONLY), 0);
    const char text[] = "Gr\xFC\xDF" "e K\xE4se";  // Windows-ANSI letters above 0x7F
    HSZ a = OpmDdeCreateStringHandle(text);
    HSZ same = OpmDdeCreateStringHandle("GR\xFC\xDF" "E K\xE4SE");
    HSZ other = OpmDdeCreateStringHandle("other");
    ASSERT_NE(a, nullptr);
    char buf[32];
    EXPECT_EQ(OpmDdeQueryString(a, buf, sizeof buf), strlen(text));
    EXPECT_STREQ(buf, text);
    EXPECT_EQ(OpmDdeCmpStringHandles(a, same), 0);  // DDE names ignore case
    EXPECT_NE(OpmDdeCmpStringHandles(a, other), 0);
    EXPECT_EQ(OpmDdeKeepStringHandle(a), 0);
    EXPECT_EQ(OpmDdeFreeStringHandle(a), 0);
    EXPECT_EQ(OpmDdeQueryString(a, buf, sizeof buf), strlen(text));  // kept once more
    EXPECT_EQ(OpmDdeFreeStringHandle(a), 0);
    OpmDdeFreeStringHandle(same);
    OpmDdeFreeStringHandle(other);
    OpmDdeUninitialize();
}

TEST(OpmDdeInstance, DataHandlesHoldWhatWasGiven)
{
    ASSERT_EQ(OpmDdeInitialize(nullptr, APPCMD_CLIENTONLY), 0);
    HSZ item = OpmDdeCreateStringHandle("item");
    HDDEDATA d = OpmDdeCreateDataHandle("abc", 4, item, 0);
    ASSERT_NE(d, nullptr);
    char buf[16];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(OpmDdeGetData(d, buf, sizeof buf, 0), 4u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(OpmDdeGetData(d, buf, 2, 1), 2u);
    EXPECT_EQ(std::string(buf, 2), "bc");
    HDDEDATA grown = OpmDdeAddData(d, "defg", 5, 3);
    ASSERT_NE(grown, nullptr);
    DWORD size = 0;
    BYTE *p = OpmDdeAccessData(grown, &size);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(size, 8u);
    EXPECT_STREQ((const char *)p, "abcdefg");
    EXPECT_EQ(OpmDdeUnaccessData(grown), 0);
    EXPECT_EQ(OpmDdeFreeDataHandle(grown), 0);
    OpmDdeFreeStringHandle(item);
    OpmDdeUninitialize();
}
