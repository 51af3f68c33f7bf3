// The error log, reached through its export ordinals as applications
// reach it: states, markers, append and create modes, failures.
#include <gtest/gtest.h>
#include <string>
#include "knl.h"
#include "testutil.h"

namespace {

using testutil::readFile;
using testutil::ScratchFile;

struct ErrLog {
    USHORT (*open)(const char *, BOOL);
    USHORT (__cdecl *printf)(const char *, ...);
    void (*stop)(void);
    void (*resume)(void);
    USHORT (*close)(void);
    ErrLog()
    {
        HMODULE dll = GetModuleHandleA("orin.dll");
        open = (decltype(open))GetProcAddress(dll, MAKEINTRESOURCEA(KNL_ORD_ERRLOGOPEN));
        printf = (decltype(printf))GetProcAddress(dll, MAKEINTRESOURCEA(KNL_ORD_ERRLOGPRINTF));
        stop = (decltype(stop))GetProcAddress(dll, MAKEINTRESOURCEA(KNL_ORD_ERRLOGSTOP));
        resume = (decltype(resume))GetProcAddress(dll, MAKEINTRESOURCEA(KNL_ORD_ERRLOGRESUME));
        close = (decltype(close))GetProcAddress(dll, MAKEINTRESOURCEA(KNL_ORD_ERRLOGCLOSE));
    }
};

const std::string STARTED = "\r\n *** Error Logging Started ***\r\n";
const std::string STOPPED = "\r\n *** Error Logging Stopped ***\r\n";
const std::string RESUMED = "\r\n *** Error Logging Resumed ***\r\n";
const std::string CLOSED = "\r\n *** Error Logging Closed ***\r\n";

TEST(KnlErrLog, StatesAndMarkers)
{
    ErrLog log;
    ScratchFile f("errlog_states.err");
    ASSERT_EQ(log.open("errlog_states", FALSE), 1);     // extension forced
    EXPECT_EQ(log.open("other", FALSE), 1);             // already open: unchanged
    EXPECT_EQ(log.printf("code %u in %s", 57484u, "FalOpen"), 1);
    log.stop();
    log.stop();                                          // second stop: no marker
    EXPECT_EQ(log.printf("dropped"), 0);
    log.resume();
    log.resume();
    EXPECT_EQ(log.printf("again"), 1);
    EXPECT_EQ(log.close(), 0);
    EXPECT_EQ(log.close(), 0);
    EXPECT_EQ(log.printf("closed"), 0);
    EXPECT_EQ(readFile(f.name), STARTED + "code 57484 in FalOpen\r\n" + STOPPED + RESUMED +
                                "again\r\n" + CLOSED);
    EXPECT_FALSE(testutil::fileExists("other.err"));
}

TEST(KnlErrLog, AppendKeepsAndCreateEmpties)
{
    ErrLog log;
    ScratchFile f("errlog_modes.err");
    testutil::writeFile(f.name, "old\r\n");
    ASSERT_EQ(log.open("errlog_modes.txt", TRUE), 1);   // .txt becomes .err
    log.printf("new");
    log.close();
    EXPECT_EQ(readFile(f.name), "old\r\n" + STARTED + "new\r\n" + CLOSED);

    ASSERT_EQ(log.open("errlog_modes", FALSE), 1);
    log.close();
    EXPECT_EQ(readFile(f.name), STARTED + CLOSED);
}

TEST(KnlErrLog, LongTextIsCut)
{
    ErrLog log;
    ScratchFile f("errlog_long.err");
    ASSERT_EQ(log.open("errlog_long", FALSE), 1);
    std::string big(2000, 'x');
    log.printf("%s", big.c_str());
    log.close();
    EXPECT_EQ(readFile(f.name), STARTED + std::string(511, 'x') + "\r\n" + CLOSED);
}

TEST(KnlErrLog, OpenFailureLeavesTheLogClosed)
{
    ErrLog log;
    EXPECT_EQ(log.open("Q:\\no\\such\\directory\\log", FALSE), 0);
    EXPECT_EQ(log.printf("nothing"), 0);
    log.stop();
    log.resume();
    EXPECT_EQ(log.close(), 0);
}

} // namespace
