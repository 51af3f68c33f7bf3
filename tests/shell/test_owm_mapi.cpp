// The mail and telephony entry points against the stand-in MAPI32.DLL and
// TAPI32.DLL beside this program: when mail counts as enabled, how the
// binding is counted, loaded and freed, how MAPI results are translated,
// that arguments and structures pass through unchanged, the file-name
// list of OwmMAPISendDocuments, and the telephony call.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <string>
#include "owmmapi.h"
#include "knl.h"
#include "shell/owmint.h"
#include "shell/mail_settings.h"
#include "testutil.h"

namespace {

using namespace mailtest;

class MailTest : public ::testing::Test {
protected:
    SavedSwitches saved;
    testutil::ScratchFile store{"owm_mapi_test.store"};
    void SetUp() override
    {
        KnlInitCP();
        KnlInitDBCSEv();
        setEnv("FAKEMAPI_STORE", store.name.c_str());
        setEnv("FAKEMAPI_FAIL", nullptr);
        setEnv("FAKETAPI_RESULT", nullptr);
        clearCallLog();
        enableMail();
    }
    void TearDown() override
    {
        while (orin::owm::mapiUses() > 0)
            OwmMAPIUninit();
    }
    LHANDLE logon()
    {
        LHANDLE session = 0;
        EXPECT_EQ(OwmMAPILogon(0, (LPSTR) "tester", (LPSTR) "secret", 0, 0, &session), 0);
        return session;
    }
};

// ---- when mail is enabled ----

TEST_F(MailTest, ProfileZeroAndNoRegistryValueMeansNoMail)
{
    disableMail();
    EXPECT_EQ(OwmMAPIAvailable(), 0);
    EXPECT_EQ(OwmMAPIInit(), ORIN_ERR_GENERAL);
    LHANDLE session = 0;
    EXPECT_EQ(OwmMAPILogon(0, (LPSTR) "tester", (LPSTR) "secret", 0, 0, &session),
              ORIN_ERR_GENERAL);
    EXPECT_EQ(session, 0u);
    EXPECT_FALSE(mapiLoaded());
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPILogon"), "");   // the double never ran
}

TEST_F(MailTest, RegistryValueDecidesWhenTheProfileSaysNothing)
{
    struct Case {
        const char *what;
        void (*set)();
        bool enabled;
    } cases[] = {
        {"string 1", [] { setRegString("1"); }, true},
        {"string 0", [] { setRegString("0"); }, false},
        {"string 10", [] { setRegString("10"); }, true},      // only the first character counts
        {"empty string", [] { setRegString(""); }, false},
        {"number 1", [] { setRegNumber(1); }, true},
        {"number 2", [] { setRegNumber(2); }, false},
        {"string longer than 10 bytes", [] { setRegString("1234567890AB"); }, false},
        {"absent", [] { writeRegValue(std::nullopt); }, false},
    };
    setProfileMail("0");
    for (const Case &c : cases) {
        c.set();
        EXPECT_EQ(orin::owm::mailEnabled(), c.enabled) << c.what;
        EXPECT_EQ(OwmMAPIAvailable(), c.enabled ? 1 : 0) << c.what;
    }
    setRegString("0");
    setProfileMail("1");
    EXPECT_EQ(OwmMAPIAvailable(), 1) << "the profile's 1 wins over the registry's 0";
    EXPECT_FALSE(mapiLoaded()) << "OwmMAPIAvailable undoes its init";
}

// ---- counting, loading and freeing ----

TEST_F(MailTest, NestedInitsNeedAsManyUninits)
{
    ASSERT_FALSE(mapiLoaded());
    ASSERT_EQ(OwmMAPIInit(), 0);
    ASSERT_EQ(OwmMAPIInit(), 0);
    EXPECT_TRUE(mapiLoaded());
    EXPECT_EQ(OwmMAPIUninit(), 0);
    EXPECT_TRUE(mapiLoaded()) << "one use is still held";
    EXPECT_EQ(OwmMAPIUninit(), 0);
    EXPECT_FALSE(mapiLoaded());
    EXPECT_EQ(OwmMAPIUninit(), ORIN_ERR_GENERAL) << "no use left to release";
    EXPECT_EQ(orin::owm::mapiUses(), 0u);
}

TEST_F(MailTest, EachCallLoadsAndFreesUnlessTheCallerHoldsAUse)
{
    LHANDLE session = logon();
    EXPECT_NE(session, 0u);
    EXPECT_FALSE(mapiLoaded());

    ASSERT_EQ(OwmMAPIInit(), 0);
    HMODULE held = GetModuleHandleA("MAPI32.DLL");
    EXPECT_EQ(OwmMAPILogoff(session, 0, 0, 0), 0);
    EXPECT_EQ(GetModuleHandleA("MAPI32.DLL"), held) << "the caller's use keeps it loaded";
    EXPECT_EQ(orin::owm::mapiUses(), 1u);
    EXPECT_EQ(OwmMAPIUninit(), 0);
    EXPECT_FALSE(mapiLoaded());
}

// ---- result translation ----

TEST_F(MailTest, ResultTranslationTable)
{
    // What each Simple MAPI result must become; every other code is general.
    auto expected = [](ULONG mapi) -> USHORT {
        switch (mapi) {
        case 0: return 0;
        case 1: return 995;
        case 4: return 112;
        case 5: return 8;
        case 6: case 12: return 5;
        case 11: return 2;
        case 13: return 29;
        default: return 65535;
        }
    };
    for (ULONG code = 0; code <= 40; code++)
        EXPECT_EQ(orin::owm::translateMapiResult(code), expected(code)) << code;
    EXPECT_EQ(orin::owm::translateMapiResult(0xFFFFFFFF), 65535);
}

TEST_F(MailTest, ResultsOfTheLibraryAreTranslated)
{
    LHANDLE session = 1;
    setEnv("FAKEMAPI_FAIL", "MAPILogon=26");
    EXPECT_EQ(OwmMAPILogon(0, (LPSTR) "tester", (LPSTR) "secret", 0, 0, &session), 65535);
    setEnv("FAKEMAPI_FAIL", "MAPILogon=16");        // no messages
    EXPECT_EQ(OwmMAPILogon(0, (LPSTR) "tester", (LPSTR) "secret", 0, 0, &session), 65535);
    setEnv("FAKEMAPI_FAIL", "MAPILogon=1");
    EXPECT_EQ(OwmMAPILogon(0, (LPSTR) "tester", (LPSTR) "secret", 0, 0, &session), 995);
    setEnv("FAKEMAPI_FAIL", "MAPIDeleteMail=13");
    EXPECT_EQ(OwmMAPIDeleteMail(session, 0, (LPSTR) "x", 0, 0), 29);
    setEnv("FAKEMAPI_FAIL", nullptr);
    // the double's own refusals
    EXPECT_EQ(OwmMAPILogon(0, (LPSTR) "tester", (LPSTR) "wrong", 0, 0, &session), 65535);
    MapiMessage msg{};
    MapiRecipDesc to{0, MAPI_TO, (LPSTR) "Alice", nullptr, 0, nullptr};
    MapiFileDesc missing{0, 0, (ULONG)-1, (LPSTR) "no_such_attachment.txt", nullptr, nullptr};
    msg.nRecipCount = 1;
    msg.lpRecips = &to;
    msg.nFileCount = 1;
    msg.lpFiles = &missing;
    EXPECT_EQ(OwmMAPISendMail(0, 0, &msg, 0, 0), ORIN_ERR_FILE_NOT_FOUND);
}

// ---- arguments and structures pass through ----

TEST_F(MailTest, MessageRoundTripThroughTheStructures)
{
    testutil::ScratchFile attachment("owm_mapi_attach.txt");
    ASSERT_TRUE(testutil::writeFile(attachment.name, "figures"));
    LHANDLE session = logon();

    BYTE bobId[] = {0x00, 0xB0, 0xB0, 0x01};
    MapiRecipDesc recips[2] = {{0, MAPI_TO, (LPSTR) "alice", nullptr, 0, nullptr},
                               {0, MAPI_CC, (LPSTR) "Bob Baker", (LPSTR) "bob@example.org",
                                sizeof bobId, bobId}};
    MapiFileDesc file{0, MAPI_OLE, 3, (LPSTR) attachment.name.c_str(), (LPSTR) "figures.txt",
                      nullptr};
    MapiMessage msg{0, (LPSTR) "Figures", (LPSTR) "Attached.", nullptr, nullptr, nullptr,
                    MAPI_RECEIPT_REQUESTED, nullptr, 2, recips, 1, &file};
    ASSERT_EQ(OwmMAPISendMail(session, 0, &msg, MAPI_LOGON_UI, 0), 0);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPISendMail"), "1");

    char id[512] = "";
    ASSERT_EQ(OwmMAPIFindNext(session, 0, nullptr, (LPSTR) "", MAPI_UNREAD_ONLY, 0, id), 0);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIFindNext"), "|32");
    lpMapiMessage read = nullptr;
    ASSERT_EQ(OwmMAPIReadMail(session, 0, id, 0, 0, &read), 0);
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->lpszSubject, "Figures");
    EXPECT_STREQ(read->lpszNoteText, "Attached.");
    EXPECT_EQ(read->lpszMessageType, nullptr);
    EXPECT_EQ(read->flFlags, ULONG(MAPI_UNREAD | MAPI_SENT | MAPI_RECEIPT_REQUESTED));
    ASSERT_NE(read->lpOriginator, nullptr);
    EXPECT_STREQ(read->lpOriginator->lpszName, "Test User");
    ASSERT_EQ(read->nRecipCount, 2u);
    EXPECT_STREQ(read->lpRecips[0].lpszName, "Alice Archer");      // resolved by the double
    EXPECT_STREQ(read->lpRecips[0].lpszAddress, "alice@example.org");
    EXPECT_EQ(read->lpRecips[1].ulRecipClass, ULONG(MAPI_CC));
    ASSERT_EQ(read->lpRecips[1].ulEIDSize, sizeof bobId);
    EXPECT_EQ(memcmp(read->lpRecips[1].lpEntryID, bobId, sizeof bobId), 0);
    ASSERT_EQ(read->nFileCount, 1u);
    EXPECT_EQ(read->lpFiles[0].flFlags, ULONG(MAPI_OLE));
    EXPECT_EQ(read->lpFiles[0].nPosition, 3u);
    EXPECT_STREQ(read->lpFiles[0].lpszFileName, "figures.txt");
    EXPECT_EQ(env("FAKEMAPI_BUFFERS"), "1");
    EXPECT_EQ(OwmMAPIFreeBuffer(read), 0);
    EXPECT_EQ(env("FAKEMAPI_BUFFERS"), "0");

    // read once: no longer unread
    EXPECT_EQ(OwmMAPIFindNext(session, 0, nullptr, nullptr, MAPI_UNREAD_ONLY, 0, id),
              ORIN_ERR_GENERAL);
    lpMapiRecipDesc found = nullptr;
    EXPECT_EQ(OwmMAPIResolveName(session, 0, (LPSTR) "Bob", 0, 0, &found), ORIN_ERR_GENERAL)
        << "ambiguous";
    ASSERT_EQ(OwmMAPIResolveName(session, 0, (LPSTR) "brown", 9, 0, &found), 0);
    EXPECT_STREQ(found->lpszAddress, "brown@example.org");
    EXPECT_EQ(OwmMAPIDetails(session, 0, found, 0x401, 0), 0);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIDetails"), "Bob Brown|00B0B002|1025");
    OwmMAPIFreeBuffer(found);
    EXPECT_EQ(env("FAKEMAPI_BUFFERS"), "0");
    EXPECT_EQ(OwmMAPILogoff(session, 0, 0, 0), 0);
    EXPECT_EQ(OwmMAPILogoff(session, 0, 0, 0), ORIN_ERR_GENERAL) << "session is gone";
}

// ---- OwmMAPISendDocuments' file names ----

TEST_F(MailTest, SendDocumentsBuildsFileNamesFromThePaths)
{
    EXPECT_EQ(OwmMAPISendDocuments(0, (LPSTR) ";", (LPSTR) "C:\\a\\x.txt;C:\\b\\y.doc", nullptr, 0),
              0);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPISendDocuments"), ";|C:\\a\\x.txt;C:\\b\\y.doc|x.txt;y.doc");
    // names given: passed as they are
    EXPECT_EQ(OwmMAPISendDocuments(0, (LPSTR) ";", (LPSTR) "C:\\a\\x.txt", (LPSTR) "report.txt", 0),
              0);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPISendDocuments"), ";|C:\\a\\x.txt|report.txt");
    // no delimiter: nothing is built
    EXPECT_EQ(OwmMAPISendDocuments(0, nullptr, (LPSTR) "C:\\a\\x.txt", nullptr, 0), 0);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPISendDocuments"), "(null)|C:\\a\\x.txt|(null)");
}

TEST(FileNameList, SplitsAtEachDelimiterAndKeepsFileParts)
{
    struct Case {
        const char *delimiter, *paths, *names;
    } cases[] = {
        {";", "C:\\a\\x.txt;C:\\b\\y.doc", "x.txt;y.doc"},
        {"::", "C:\\one\\a.b::D:\\two\\three\\c::e.f", "a.b::c::e.f"},
        {";", "plain.txt", "plain.txt"},
        {";", "C:\\dir\\end.txt;", "end.txt;"},
        {",", "\\\\server\\share\\doc.rtf,rel\\sub\\n.txt", "doc.rtf,n.txt"},
    };
    for (const Case &c : cases) {
        char *list = orin::owm::fileNameList(c.delimiter, c.paths);
        ASSERT_NE(list, nullptr);
        EXPECT_STREQ(list, c.names) << c.paths;
        free(list);
    }
    // a path that cannot be split whole: longer than a file name may be
    std::string longPath(300, 'p');
    char *list = orin::owm::fileNameList(";", (longPath + ";C:\\x\\short").c_str());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::string(list), longPath.substr(0, 259) + ";short");
    free(list);
}

// ---- telephony ----

TEST_F(MailTest, TelephonyResultPassesUnchanged)
{
    EXPECT_EQ(OwmTapiRequestMakeCall("555-0100", "Orin", nullptr, "hello"), 0);
    EXPECT_EQ(env("FAKETAPI_CALL"), "555-0100|Orin|(null)|hello");
    EXPECT_EQ(GetModuleHandleA("TAPI32.DLL"), nullptr) << "freed after the call";
    setEnv("FAKETAPI_RESULT", "-3");
    EXPECT_EQ(OwmTapiRequestMakeCall("555-0100", "Orin", "Ann", nullptr), -3);
    setEnv("FAKETAPI_RESULT", "7");
    EXPECT_EQ(OwmTapiRequestMakeCall("555-0100", "Orin", "Ann", nullptr), 7);
    EXPECT_EQ(OwmTapiRequestMakeCall("", "Orin", nullptr, nullptr), -4);
    EXPECT_EQ(orin::owm::tapiUses(), 0u);
}

}  // namespace
