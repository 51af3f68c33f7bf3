// The mail and telephony builtins end to end: Lisp scripts against the
// stand-in MAPI32.DLL and TAPI32.DLL (tests/shell), which keep a mailbox
// in a scratch file and leave each call's arguments in the environment.
// Records are checked against texts written out here from the double's
// address book and the record layout; every case is also a leak check of
// nodes, interpreter heap blocks and MAPI buffers.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>
#include "lsp.h"
#include "lsp_fixture.h"
#include "shell/mail_settings.h"
#include "testutil.h"

namespace {

using namespace mailtest;

const char kAliceRecord[] =
    "((class \"to\") (name \"Alice Archer\") (address \"alice@example.org\") (entryid \"00A11CE0\"))";
const char kBobBakerCc[] =
    "((class \"cc\") (name \"Bob Baker\") (address \"bob@example.org\") (entryid \"00B0B001\"))";
const char kOwnerRecord[] =
    "((class \"orig\") (name \"Test User\") (address \"tester@example.org\") (entryid \"007E5701\"))";

class LispMail : public LispSessionTest {
protected:
    SavedSwitches saved;
    testutil::ScratchFile store{"lsp_mail_test.store"};
    testutil::ScratchFile attachment{"lsp_mail_attach.txt"};
    char out[8192];

    void SetUp() override
    {
        setEnv("FAKEMAPI_STORE", store.name.c_str());
        setEnv("FAKEMAPI_FAIL", nullptr);
        setEnv("FAKETAPI_RESULT", nullptr);
        clearCallLog();
        setEnv("FAKEMAPI_BUFFERS", "0");
        enableMail();
        ASSERT_TRUE(testutil::writeFile(attachment.name, "1,2,3\n"));
        startSession(8192, nullptr);
    }
    void TearDown() override
    {
        EXPECT_EQ(env("FAKEMAPI_BUFFERS"), "0") << "every MAPI buffer is given back";
        LispSessionTest::TearDown();
    }
    unsigned run(const std::string &text)
    {
        out[0] = 0;
        return LspParseExpressions(s, text.c_str(), out, sizeof out, nullptr);
    }
    std::string value(const std::string &text)
    {
        unsigned code = run(text);
        EXPECT_EQ(code, 0u) << text << ": " << lastErr();
        return out;
    }
    std::string lastErr()
    {
        char buf[1000];
        LspGetLastErr(s, buf, sizeof buf);
        return buf;
    }
    void expectTypeError(const std::string &text, const char *offending)
    {
        EXPECT_EQ(run(text), unsigned(LSPERR_TYPE)) << text;
        EXPECT_EQ(lastErr(), offending) << text;
    }
};

TEST_F(LispMail, SendFindReadSaveDeleteAndResolve)
{
    EXPECT_EQ(value("(setq s (mapilogon \"tester\" \"secret\"))"), "4097");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPILogon"), "tester|secret|4105");
    EXPECT_EQ(value(
        "(mapisendmail s '((subject \"Quarterly figures\") (text \"See the sheet.\") (flags \"r\")"
        " (recipients (((class \"to\") (name \"alice\"))"
        "              ((class \"CC\") (name \"Bob Baker\") (address \"bob@example.org\")"
        "               (entryid \"00b0b001\"))))"
        " (files (((pathname \"lsp_mail_attach.txt\") (filename \"figures.txt\") (position 0)"
        "          (flags \"o\"))))))"), "T");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPISendMail"), "1");

    std::string id = value("(setq id (mapifindnext s \"\" \"u\"))");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIFindNext"), "|32");
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(value("(mapifindnext s id)"), "NIL") << "only one message";

    // the whole record, every key of message, recipient and file
    value("(setq m (mapireadmail s id))");
    std::string date = value("(car (cdr (assoc 'date m)))");
    int y, mo, d, h, mi;
    ASSERT_EQ(sscanf(date.c_str(), "%4d/%2d/%2d %2d:%2d", &y, &mo, &d, &h, &mi), 5) << date;
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(y, now.wYear);
    std::string expected =
        "((subject \"Quarterly figures\") (text \"See the sheet.\") (date \"" + date +
        "\") (convid \"CONV-" + id + "\") (flags \"SUR\") (originator " + kOwnerRecord +
        ") (recipients (" + kAliceRecord + " " + kBobBakerCc +
        ")) (files (((flags \"O\") (position 0) (pathname \"lsp_mail_attach.txt\")"
        " (filename \"figures.txt\")))))";
    EXPECT_EQ(value("m"), expected);
    EXPECT_EQ(value("m:subject"), "Quarterly figures");
    EXPECT_EQ(value("(car (cdr (assoc 'NAME (car (cdr (assoc 'Originator m))))))"), "Test User");
    EXPECT_EQ(value("(car (cdr (assoc 'flags (mapireadmail s id))))"), "SR") << "read once";

    // envelope only: no text, no files; peeking leaves it as it is
    EXPECT_EQ(value("(list (assoc 'text (mapireadmail s id \"E\")) (assoc 'files (mapireadmail s id \"pe\")))"),
              "(NIL NIL)");

    // a change saved under the same id reads back as it was saved
    value("(setq m2 (setassoc 'flags (setassoc 'subject m \"Revised figures\") \"U\"))");
    EXPECT_EQ(value("(mapisavemail s m2 id)"), id);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPISaveMail"), id + "|1");
    std::string revised = expected;
    revised.replace(revised.find("Quarterly"), 9, "Revised");
    revised.replace(revised.find("\"SUR\""), 5, "\"U\"");
    EXPECT_EQ(value("(mapireadmail s id \"p\")"), revised);
    EXPECT_EQ(value("(mapifindnext s \"\" \"U\")"), id) << "saved as unread";
    std::string draft = value("(mapisavemail s '((subject \"Draft\")) \"\" \"n\")");
    EXPECT_NE(draft, id);
    EXPECT_EQ(value("(mapireadmail s \"" + draft + "\" \"p\")"),
              "((subject \"Draft\") (flags \"\"))");

    EXPECT_EQ(value("(mapideletemail s id)"), "T");
    EXPECT_EQ(value("(mapireadmail s id)"), "NIL");
    EXPECT_EQ(value("(mapideletemail s id)"), "NIL");
    EXPECT_EQ(value("(mapifindnext s \"\")"), draft);

    EXPECT_EQ(value("(mapiresolvename s \"alice\")"), kAliceRecord);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIResolveName"), "alice|9");
    EXPECT_EQ(value("(mapiresolvename s \"Bob\" \"ux\")"), "NIL") << "two Bobs";
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIResolveName"), "Bob|1025");

    EXPECT_EQ(value("(mapilogoff s)"), "T");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPILogoff"), "4097|2");
    EXPECT_EQ(value("(mapifindnext s \"\")"), "NIL") << "session ended";
}

TEST_F(LispMail, AddressBookDetailsAndDocuments)
{
    value("(setq s (mapilogon \"tester\" \"secret\" \"unsdp\"))");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPILogon"), "tester|secret|4123");
    EXPECT_EQ(value("(length (mapiaddress s \"Pick\" 2 \"\" nil))"), "4");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIAddress"), "Pick|2|(null)|0|1");
    EXPECT_EQ(value("(mapiaddress s \"Pick\" 1.0 \"To:\" '(((class \"bcc\") (name \"brown\"))) \"N\")"),
              "(((class \"bcc\") (name \"Bob Brown\") (address \"brown@example.org\")"
              " (entryid \"00B0B002\")))");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIAddress"), "Pick|1|To:|1|2");

    EXPECT_EQ(value("(mapidetails s (mapiresolvename s \"alice\"))"), "T");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIDetails"), "Alice Archer|00A11CE0|1");
    EXPECT_EQ(value("(mapidetails s '((name \"Nobody\") (entryid \"0102\")) \"xu\")"), "NIL");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPIDetails"), "Nobody|0102|1025");

    EXPECT_EQ(value(R"((mapisenddocuments ";" "C:\\a\\x.txt;C:\\b\\y.doc" ""))"), "T");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPISendDocuments"), ";|C:\\a\\x.txt;C:\\b\\y.doc|x.txt;y.doc");
    EXPECT_EQ(value("(mapilogoff s \"us\")"), "T");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPILogoff"), "4097|3");
    EXPECT_EQ(value("(mapilogon \"tester\" \"wrong\")"), "NIL");
}

TEST_F(LispMail, AvailabilityFollowsTheSwitches)
{
    EXPECT_EQ(value("(mapiavailable)"), "T");
    disableMail();
    EXPECT_EQ(value("(mapiavailable)"), "NIL");
    EXPECT_EQ(value("(mapilogon \"tester\" \"secret\")"), "NIL");
    setRegString("1");
    EXPECT_EQ(value("(mapiavailable)"), "T");
}

TEST_F(LispMail, TapiCallPassesItsResultIntoTheErrorWord)
{
    EXPECT_EQ(value("(tapicall \"555-0100\")"), "T");
    EXPECT_EQ(env("FAKETAPI_CALL"), "555-0100|Lisp|(null)|(null)");
    setEnv("FAKETAPI_RESULT", "1234");
    EXPECT_EQ(run("(tapicall \"555-0199\")"), 1234u);
    EXPECT_EQ(lastErr(), "555-0199");
    setEnv("FAKETAPI_RESULT", "-2");                 // TAPIERR_NOREQUESTRECIPIENT
    EXPECT_EQ(run("(tapicall \"555-0199\")"), 0xFFFEu);
    EXPECT_EQ(run("(tapicall \"\")"), 0xFFFCu) << "TAPIERR_INVALDESTADDRESS";
}

TEST_F(LispMail, WrongArgumentTypes)
{
    expectTypeError("(mapilogon 1 \"x\")", "1");
    expectTypeError("(mapilogon \"tester\" 'pw)", "pw");
    expectTypeError("(mapilogoff \"4097\")", "4097");
    expectTypeError("(mapifindnext 1 2)", "2");
    expectTypeError("(mapideletemail 1 'id)", "id");
    expectTypeError("(mapireadmail 1.5 \"x\")", "1.5");
    expectTypeError("(mapisendmail 1 \"text\")", "text");
    expectTypeError("(mapisendmail 1 '((recipients 5)))", "5");
    expectTypeError("(mapisendmail 1 '((recipients (((name \"a\") (entryid \"XYZ\"))))))", "XYZ");
    expectTypeError("(mapisavemail 1 nil 7)", "7");
    expectTypeError("(mapidetails 1 \"x\")", "x");
    expectTypeError("(mapiaddress 1 \"c\" \"2\" \"\" nil)", "2");
    expectTypeError("(mapiaddress 1 \"c\" 2 \"\" 'x)", "x");
    expectTypeError("(mapiresolvename 1 3)", "3");
    expectTypeError("(mapisenddocuments \";\" 1 \"\")", "1");
    expectTypeError("(tapicall 5551234)", "5551234");
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPISendMail"), "") << "no call reached the library";
}

// The table's argument counts, as the functions are documented.
TEST_F(LispMail, ArgumentCounts)
{
    struct Arity {
        const char *name;
        int min, max;
    } table[] = {
        {"mapiavailable", 0, 0}, {"mapisenddocuments", 3, 3}, {"mapilogon", 2, 3},
        {"mapilogoff", 1, 2}, {"mapifindnext", 2, 3}, {"mapideletemail", 2, 2},
        {"mapiresolvename", 2, 3}, {"mapidetails", 2, 3}, {"mapiaddress", 5, 6},
        {"mapireadmail", 2, 3}, {"mapisavemail", 3, 4}, {"mapisendmail", 2, 3},
        {"tapicall", 1, 1},
    };
    auto call = [](const char *name, int args) {
        std::string text = std::string("(") + name;
        for (int i = 0; i < args; i++)
            text += " 1";
        return text + ")";
    };
    for (const Arity &a : table) {
        if (a.min > 0) {
            EXPECT_EQ(run(call(a.name, a.min - 1)), unsigned(LSPERR_TOOFEW)) << a.name;
        }
        EXPECT_EQ(run(call(a.name, a.max + 1)), unsigned(LSPERR_TOOMANY)) << a.name;
    }
}

}  // namespace
