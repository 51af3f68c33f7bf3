// A client handler plugged in with PrfOpenHandler that answers from a
// static table through PrfUtlTableHandler.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "prf.h"

namespace {

char colour[16] = "blue";
char width[8] = "80";
char fixedText[8] = "fixed";

PRFUTLTABLEENTRY table[] = {
    { "Display", "Colour", PRF_TABLE_STRING, 0, colour, sizeof colour },
    { "Display", "Width", PRF_TABLE_STRING, 0, width, sizeof width },
    { "System", "Version", PRF_TABLE_STRING | PRF_TABLE_READONLY, 0, fixedText, sizeof fixedText },
    { "System", "Magic", 0, 4242, nullptr, 0 },
    { "Display", "Colour", PRF_TABLE_STRING, 0, width, sizeof width },   // shadowed
    { nullptr, nullptr, 0, 0, nullptr, 0 },
};

struct ClientLog {
    std::vector<int> messages;
    USHORT lastCode = 0;
    bool opened = false, closed = false;
};

ULONG clientHandler(HPRF h, PRFCMD msg, void *param)
{
    ClientLog *log = (ClientLog *)PrfUtlQueryHandlerULongPtr(h);
    if (msg == PRF_CMD_OPEN) {
        log = (ClientLog *)param;
        PrfUtlSetHandlerULongPtr(h, (ULONG_PTR)log);
        log->opened = true;
    }
    log->messages.push_back(msg);
    if (msg == PRF_CMD_CLOSE)
        log->closed = true;
    PrfUtlInitTableHandler(h, msg, (PRFREQUEST *)param);
    if (msg < PRF_CMD_READ || msg > PRF_CMD_WRITE)
        return 0;
    return PrfUtlTableHandler(table, h, msg, (PRFREQUEST *)param, &log->lastCode);
}

ULONG failingHandler(HPRF, PRFCMD msg, void *)
{
    return msg == PRF_CMD_OPEN ? 4321 : 0;
}

struct Client {
    ClientLog log;
    HPRF h = nullptr;
    Client() { EXPECT_EQ(PrfOpenHandler(clientHandler, &log, &h), 0); }
    ~Client() { PrfCloseHandler(h); }
};

TEST(PrfClientHandler, OpenSendsOpenAndCloseSendsClose)
{
    ClientLog log;
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenHandler(clientHandler, &log, &h), 0);
    EXPECT_TRUE(log.opened);
    EXPECT_EQ(PrfUtlQueryHandlerLockCount(h), 1);
    EXPECT_EQ(PrfLockHandler(h, TRUE), 2);
    EXPECT_EQ(PrfCloseHandler(h), 0);
    EXPECT_FALSE(log.closed);
    EXPECT_EQ(PrfCloseHandler(h), 0);
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(log.messages.front(), PRF_CMD_OPEN);
    EXPECT_EQ(log.messages.back(), PRF_CMD_CLOSE);

    HPRF bad = (HPRF)1;
    EXPECT_EQ(PrfOpenHandler(failingHandler, nullptr, &bad), 4321);
    EXPECT_EQ(bad, nullptr);
}

TEST(PrfClientHandler, EachCallSendsItsMessage)
{
    Client c;
    char buf[64];
    ULONG size = sizeof buf;
    PrfQueryProfileData(c.h, "Display", "Colour", buf, &size);
    PrfQueryProfileData(c.h, "Display", NULL, buf, &size);
    PrfQueryProfileData(c.h, NULL, NULL, buf, &size);
    PrfWriteProfileString(c.h, "Display", "Colour", "red");
    PrfCreateSection(c.h, "New");
    PrfDestroySection(c.h, "New");
    PrfSetProfileDataSize(c.h, "Display", "Colour", 1);
    PrfWriteProfileDataOffset(c.h, "Display", "Colour", 1, "x", 1);
    PrfQueryProfileDataOffset(c.h, "Display", "Colour", 1, buf, &size);
    PrfCheckConsistent(c.h);
    PrfLockSection(c.h, "Display", TRUE, TRUE);
    PrfTransaction(c.h, TRUE);
    PrfTransaction(c.h, FALSE);
    // A list query may ask again to learn whether its buffer was enough.
    std::vector<int> sent;
    for (int m : c.log.messages)
        if (sent.empty() || sent.back() != m)
            sent.push_back(m);
    std::vector<int> expect = { 0, 4, 6, 5, 7, 2, 3, 10, 9, 8, 11, 12, 13, 14 };
    EXPECT_EQ(sent, expect);
    PrfWriteProfileString(c.h, "Display", "Colour", "blue");
}

TEST(PrfClientHandler, TableReadsAndWrites)
{
    Client c;
    char buf[64];
    EXPECT_EQ(PrfQueryProfileString(c.h, "Display", "Colour", NULL, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "blue");
    EXPECT_EQ(PrfWriteProfileString(c.h, "Display", "Colour", "a colour too long"), 0);
    EXPECT_STREQ(colour, "a colour too lo");                   // capacity 16
    EXPECT_EQ(PrfWriteProfileString(c.h, "Display", "Colour", NULL), 0);
    EXPECT_STREQ(colour, "");
    EXPECT_EQ(PrfWriteProfileString(c.h, "Display", "Colour", "blue"), 0);
    EXPECT_EQ(PrfWriteProfileString(c.h, "System", "Version", "new"), ORIN_ERR_ACCESS_DENIED);
    EXPECT_STREQ(fixedText, "fixed");
    EXPECT_EQ(PrfQueryProfileString(c.h, "System", "Magic", NULL, buf, sizeof buf),
              PRF_ERR_NOSTRING);
    EXPECT_EQ(c.log.lastCode, 4242);
    EXPECT_EQ(PrfQueryProfileString(c.h, "System", "Nothing", NULL, buf, sizeof buf),
              PRF_ERR_NOTSERVED);
    EXPECT_EQ(PrfCreateSection(c.h, "X"), 0);                  // the client answered 0
    ULONG size = 2;
    EXPECT_EQ(PrfQueryProfileData(c.h, "Display", "Width", buf, &size), 0);
    EXPECT_EQ(std::string(buf, size), "80");
    size = 1;
    EXPECT_EQ(PrfQueryProfileData(c.h, "Display", "Width", buf, &size),
              ORIN_ERR_BUFFER_TOO_SMALL);
}

TEST(PrfClientHandler, TableLists)
{
    Client c;
    char buf[64];
    EXPECT_EQ(PrfQueryProfileString(c.h, NULL, NULL, NULL, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Display~System~");
    EXPECT_EQ(PrfQueryProfileString(c.h, "Display", NULL, NULL, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Colour~Width~");
    EXPECT_EQ(PrfQueryProfileString(c.h, "None", NULL, NULL, buf, sizeof buf),
              PRF_ERR_NOTSERVED);
    // Without a buffer every entry counts, repeats included.
    ULONG size = 0;
    EXPECT_EQ(PrfQueryProfileSize(c.h, NULL, NULL, &size), 0);
    EXPECT_EQ(size, 8u * 3 + 7 * 2 + 1);
    EXPECT_EQ(PrfQueryProfileString(c.h, NULL, NULL, NULL, buf, 10),
              ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_STREQ(buf, "Display~");
}

TEST(PrfClientHandler, DirectTableCalls)
{
    PRFREQUEST rq = {};
    USHORT code = 0;
    rq.section = "Display";
    rq.key = "Width";
    EXPECT_EQ(PrfUtlTableHandler(table, nullptr, PRF_CMD_READ, &rq, &code), 0u);
    EXPECT_EQ(rq.length, 2u);
    EXPECT_EQ(PrfUtlTableHandler(table, nullptr, PRF_CMD_CHECK, &rq, &code), PRF_ERR_NOTSERVED);
    EXPECT_EQ(PrfUtlTableHandler(table, nullptr, PRF_CMD_READ, nullptr, &code),
              PRF_ERR_NOTSERVED);
    char out[4] = "abc";
    rq.data = out;
    rq.size = sizeof out;
    rq.length = 9;
    EXPECT_EQ(PrfUtlInitTableHandler(nullptr, PRF_CMD_LISTSECTIONS, &rq), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(rq.length, 0u);
}

} // namespace
