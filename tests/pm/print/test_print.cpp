/*
 * test_print.cpp - printer presentation spaces on a real printer.
 *
 * The printer is the local CUPS PDF printer "OrinPDF" (scripts/start-cups)
 * as Wine's spooler sees it.  The tests check the PS against the device's
 * own capabilities, which path a document takes (a reserved spooler job or
 * the normal spooler), that an abort leaves no job and no spool file, the
 * all-lines-are-black decision against a model of the INI rule, and the
 * dialog path through a stand-in dialog.  The end-to-end documents are
 * left for the host check (pdf_host_check.sh), which reads the PDFs back:
 * their titles and page texts go to printfix/expect.txt.
 */
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include "pm/gpi/gpiint.h"
#include "pm/print/printint.h"
#include "pm/print/printfix.h"
#include <winspool.h>

namespace {

using namespace orin::pm::print;
using printfix::devNamesFor;
using printfix::titled;
constexpr const char *kPrinter = "OrinPDF";
constexpr const char *kHackKey = "SOFTWARE\\Orin\\Glimmer\\Settings";

/* The default printer as the system profile names it, or "" (no CUPS). */
std::string defaultDevice()
{
    char text[512] = "";
    GetProfileStringA("windows", "device", "", text, sizeof text);
    DeviceEntry e;
    return parseDeviceEntry(text, &e) ? e.device : std::string();
}

#define REQUIRE_PRINTER()                                                                  \
    do {                                                                                   \
        if (defaultDevice().empty())                                                       \
            GTEST_SKIP() << "no printer: CUPS is not running (scripts/start-cups)";        \
    } while (0)

void setHack(const DWORD *value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHackKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    if (value)
        RegSetValueExA(key, "NoPrintingHack", 0, REG_DWORD, reinterpret_cast<const BYTE *>(value),
                       sizeof *value);
    else
        RegDeleteValueA(key, "NoPrintingHack");
    RegCloseKey(key);
}

/* The spooler knows the job. */
bool spoolerHasJob(DWORD id)
{
    HANDLE h = nullptr;
    if (!OpenPrinterA(const_cast<char *>(kPrinter), &h, nullptr))
        return false;
    BYTE buf[4096];
    DWORD need = 0;
    BOOL known = GetJobA(h, id, 1, buf, sizeof buf, &need);
    ClosePrinter(h);
    return known != FALSE;
}

bool fileExists(const std::string &name)
{
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void writeIni(const char *body)
{
    std::ofstream(appIniFile(), std::ios::trunc) << body;
}

/* Titles that must never reach the printer, for the host check. */
void expectAbsent(const std::string &title)
{
    CreateDirectoryA("printfix", nullptr);
    std::ofstream("printfix\\absent.txt", std::ios::app) << title << '\n';
}

/* A fresh list of expectations for each run of the program. */
class FreshFixtures : public ::testing::Environment {
    void SetUp() override
    {
        DeleteFileA("printfix\\expect.txt");
        DeleteFileA("printfix\\absent.txt");
        SetDefaultPrinterA(kPrinter);     // when CUPS has other printers too
    }
};
const auto *const freshFixtures = ::testing::AddGlobalTestEnvironment(new FreshFixtures);

orin::pm::gpi::GpiPS *record(HPS hps) { return orin::pm::gpi::gpiFind(hps); }

class Print : public ::testing::Test {
protected:
    void SetUp() override
    {
        setHack(nullptr);
        writeIni("");
        WinPrinterInitDefault(nullptr);
    }
    void TearDown() override
    {
        setHack(nullptr);
        DeleteFileA(appIniFile().c_str());
    }
};

TEST(PrintSelection, DeviceEntryAndIniRule)
{
    DeviceEntry e;
    ASSERT_TRUE(parseDeviceEntry("OrinPDF,wineps.drv,CUPS:OrinPDF", &e));
    EXPECT_EQ(e.device, "OrinPDF");
    EXPECT_EQ(e.driver, "wineps.drv");
    EXPECT_EQ(e.port, "CUPS:OrinPDF");
    EXPECT_FALSE(parseDeviceEntry("", &e));
    EXPECT_FALSE(parseDeviceEntry("OnlyDevice", &e));
    EXPECT_FALSE(parseDeviceEntry(",drv,port", &e));

    // The INI file sits next to the program and shares its base name.
    std::string ini = appIniFile();
    EXPECT_NE(ini.find("test_print.ini"), std::string::npos) << ini;

    // INI contents -> (present, value) read back through the system's
    // private-profile calls, then the rule on a 2-colour and a colour device.
    struct Case { const char *body; bool present; const char *value; };
    const Case cases[] = {
        {"", false, ""},
        {"[System]\nPrintColorsAsBlack=0\n", true, "0"},
        {"[System]\nPrintColorsAsBlack=1\n", true, "1"},
        {"[System]\nPrintColorsAsBlack=\n", true, ""},
        {"[System]\nPrintColorsAsBlack=123456789\n", true, "1234567"},
        {"[Other]\nPrintColorsAsBlack=1\n", false, ""},
    };
    for (const Case &c : cases) {
        writeIni(c.body);
        std::string value;
        bool present = printColorsAsBlack(&value);
        ASSERT_EQ(present, c.present) << c.body;
        if (present) {
            EXPECT_EQ(value, c.value) << c.body;
        }
        const char *arg = present ? value.c_str() : nullptr;
        bool monoExpected = c.present && std::string(c.value) != "0";
        EXPECT_EQ(linesBlackFor(2, arg), monoExpected) << c.body;
        for (int colours : {-1, 0, 16, 256})
            EXPECT_FALSE(linesBlackFor(colours, arg)) << c.body << " colours " << colours;
    }
    DeleteFileA(ini.c_str());
}

TEST_F(Print, PrinterPSMatchesTheDevice)
{
    REQUIRE_PRINTER();
    HPS hps = WinGetPrinterPS(nullptr, 0);
    ASSERT_NE(hps, nullptr) << GetLastError();
    auto *ps = record(hps);
    ASSERT_NE(ps, nullptr);
    HDC peer = CreateDCA("wineps.drv", kPrinter, nullptr, nullptr);
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(ps->width, GetDeviceCaps(peer, HORZRES));
    EXPECT_EQ(ps->height, GetDeviceCaps(peer, VERTRES));
    DeleteDC(peer);
    EXPECT_EQ(GpiQueryColor(hps), -1);
    EXPECT_EQ(GpiQueryBackColor(hps), -2);
    EXPECT_EQ(GpiQueryMix(hps), 2);
    EXPECT_EQ(GpiQueryPattern(hps), 0);
    // Not a PS of the other kinds: their end calls refuse it.
    EXPECT_FALSE(GpiDestroyPS(hps));
    EXPECT_FALSE(WinReleasePS(hps));
    EXPECT_TRUE(WinDestroyPrinterPS(hps));
    EXPECT_FALSE(WinDestroyPrinterPS(hps));
    EXPECT_EQ(GetLastError(), PMERR_GPI_INV_HPS);
}

TEST_F(Print, LocalDocumentGoesToAReservedJobUnlessTheHackIsOff)
{
    REQUIRE_PRINTER();
    HPS hps = WinGetPrinterPS(nullptr, 0);
    ASSERT_NE(hps, nullptr);
    ASSERT_EQ(WinPrnStartDoc(hps, titled("OrinReserved").c_str()), 0);
    JobView job = currentJob();
    EXPECT_TRUE(job.reserved);
    ASSERT_EQ(WinPrnStartPage(hps), 0);
    ASSERT_EQ(WinPrnEndPage(hps), 0);
    EXPECT_EQ(WinPrnStartDoc(hps, "second"), PM_PRN_ERROR);   // one document at a time
    EXPECT_EQ(WinPrnAbortDoc(hps), 0);

    for (DWORD value : {1u, 0u}) {
        setHack(&value);
        ASSERT_EQ(WinPrnStartDoc(hps, titled("OrinHack").c_str()), 0);
        job = currentJob();
        EXPECT_TRUE(job.active);
        EXPECT_EQ(job.reserved, value != 0) << "NoPrintingHack=" << value;
        EXPECT_EQ(WinPrnAbortDoc(hps), 0);
    }
    EXPECT_FALSE(currentJob().active);
    WinDestroyPrinterPS(hps);
}

TEST_F(Print, AbortLeavesNoJobAndNoSpoolFile)
{
    REQUIRE_PRINTER();
    HPS hps = WinGetPrinterPS(nullptr, 0);
    ASSERT_NE(hps, nullptr);
    ASSERT_EQ(WinPrnStartDoc(hps, titled("OrinAborted").c_str()), 0);
    std::string spool = currentJob().spoolFile;
    ASSERT_FALSE(spool.empty());
    ASSERT_EQ(WinPrnStartPage(hps), 0);
    EXPECT_EQ(WinPrnTextOut(hps, 300, 300, "never printed", -1), 0);
    EXPECT_EQ(WinPrnEndPage(hps), 0);
    EXPECT_TRUE(spoolerHasJob(currentJob().jobId));    // the reservation is a job
    EXPECT_EQ(WinPrnAbortDoc(hps), 0);
    EXPECT_FALSE(fileExists(spool));
    // The context is usable again, and an aborted document sends nothing:
    // the host check finds no PDF with these titles.
    ASSERT_EQ(WinPrnStartDoc(hps, titled("OrinAbortedToo").c_str()), 0);
    ASSERT_EQ(WinPrnStartPage(hps), 0);
    EXPECT_EQ(WinPrnTextOut(hps, 300, 300, "never printed either", -1), 0);
    EXPECT_EQ(WinPrnAbortDoc(hps), 0);
    // A document left open when its PS goes is aborted the same way.
    ASSERT_EQ(WinPrnStartDoc(hps, titled("OrinLeftOpen").c_str()), 0);
    spool = currentJob().spoolFile;
    EXPECT_TRUE(WinDestroyPrinterPS(hps));
    EXPECT_FALSE(fileExists(spool));
    EXPECT_FALSE(currentJob().active);
    for (const char *name : {"OrinAborted", "OrinAbortedToo", "OrinLeftOpen", "OrinHack",
                             "OrinReserved"})
        expectAbsent(titled(name));
}

TEST_F(Print, BadCallsAnswerErrors)
{
    HPS bogus = reinterpret_cast<HPS>(static_cast<intptr_t>(0x1234));
    EXPECT_EQ(WinPrnStartDoc(nullptr, "x"), PM_PRN_ERROR);
    EXPECT_EQ(WinPrnStartDoc(bogus, "x"), PM_PRN_ERROR);
    EXPECT_EQ(WinPrnStartPage(bogus), PM_PRN_ERROR);
    EXPECT_EQ(WinPrnEndPage(nullptr), PM_PRN_ERROR);
    EXPECT_EQ(WinPrnEndDoc(bogus), PM_PRN_ERROR);
    EXPECT_EQ(WinPrnAbortDoc(nullptr), PM_PRN_ERROR);
    EXPECT_EQ(WinPrnTextOut(bogus, 0, 0, "x", 1), PM_PRN_ERROR);
    EXPECT_FALSE(WinDestroyPrinterPS(nullptr));
    PM_PRINTERPSREQ shortReq{2, 0};
    EXPECT_EQ(VM_WinGetPrinterPS(nullptr, &shortReq), nullptr);

    // A memory PS is no printer PS.
    HDC mem = CreateCompatibleDC(nullptr);
    PM_SIZEL size{10, 10};
    HPS memPS = GpiCreatePS(nullptr, mem, &size, PM_GPIA_ASSOC);
    ASSERT_NE(memPS, nullptr);
    EXPECT_FALSE(WinDestroyPrinterPS(memPS));
    EXPECT_EQ(WinPrnStartDoc(memPS, "x"), PM_PRN_ERROR);
    GpiDestroyPS(memPS);
    DeleteDC(mem);

    REQUIRE_PRINTER();
    HPS hps = WinGetPrinterPS(nullptr, 0);
    ASSERT_NE(hps, nullptr);
    EXPECT_EQ(WinPrnStartPage(hps), PM_PRN_ERROR);       // no document yet
    EXPECT_EQ(WinPrnEndDoc(hps), PM_PRN_ERROR);
    EXPECT_EQ(WinPrnTextOut(hps, 0, 0, nullptr, 3), PM_PRN_ERROR);
    EXPECT_EQ(WinPrnTextOut(hps, 0, 0, "abc", 0), 0);
    WinDestroyPrinterPS(hps);
}

/* ---- the dialog path, answered by a stand-in ---- */

DWORD seenFlags = 0;
bool confirm = false;
bool toFile = false;

BOOL WINAPI standInDialog(PRINTDLGA *pd)
{
    seenFlags = pd->Flags;
    if (!confirm)
        return FALSE;
    pd->hDevNames = devNamesFor("wineps.drv", kPrinter, "CUPS:OrinPDF");
    if (pd->Flags & PD_RETURNDC)
        pd->hDC = CreateDCA("wineps.drv", kPrinter, nullptr, nullptr);
    if (toFile)
        pd->Flags |= PD_PRINTTOFILE;
    return TRUE;
}

TEST_F(Print, DialogPathUsesWhatTheDialogAnswers)
{
    REQUIRE_PRINTER();
    PrintDialogFn old = setPrintDialog(&standInDialog);
    confirm = false;
    SetLastError(0);
    EXPECT_EQ(WinGetPrinterPS(nullptr, PD_NOSELECTION), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANCELLED);
    EXPECT_TRUE(seenFlags & PD_RETURNDC);
    EXPECT_TRUE(seenFlags & PD_NOSELECTION);
    EXPECT_EQ(WinPrinterSetup(nullptr), ERROR_CANCELLED);
    EXPECT_TRUE(seenFlags & PD_PRINTSETUP);

    confirm = true;
    selection().device.clear();
    EXPECT_EQ(WinPrinterSetup(nullptr), 0);
    EXPECT_EQ(selection().device, kPrinter);
    EXPECT_EQ(selection().port, "CUPS:OrinPDF");
    HPS hps = WinGetPrinterPS(nullptr, 1);
    ASSERT_NE(hps, nullptr);
    EXPECT_GT(record(hps)->height, 0);
    WinDestroyPrinterPS(hps);
    setPrintDialog(old);
}

TEST_F(Print, PrintToFileWritesTheNamedFile)
{
    REQUIRE_PRINTER();
    PrintDialogFn old = setPrintDialog(&standInDialog);
    confirm = toFile = true;
    ASSERT_EQ(WinPrinterSetup(nullptr), 0);
    CreateDirectoryA("printfix", nullptr);
    const char *out = "printfix\\tofile.prn";
    DeleteFileA(out);
    ASSERT_EQ(WinPrinterSetFileName(out), 0);
    HPS hps = WinGetPrinterPS(nullptr, 0);
    ASSERT_NE(hps, nullptr);
    ASSERT_EQ(WinPrnStartDoc(hps, titled("OrinToFile").c_str()), 0);
    EXPECT_FALSE(currentJob().reserved);
    ASSERT_EQ(WinPrnStartPage(hps), 0);
    EXPECT_EQ(WinPrnTextOut(hps, 300, 300, "to a file", -1), 0);
    ASSERT_EQ(WinPrnEndPage(hps), 0);
    ASSERT_EQ(WinPrnEndDoc(hps), 0);
    WinDestroyPrinterPS(hps);
    toFile = false;
    setPrintDialog(old);
    WinPrinterInitDefault(nullptr);
    std::ifstream in(out, std::ios::binary);
    std::string head(4, '\0');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "%!PS") << "the driver's PostScript went to the file";
    expectAbsent(titled("OrinToFile"));   // and not to the printer
}

/* ---- end to end: two pages of text and boxes through a printer PS ---- */

/* Prints one two-page document; its title and page texts go to the list
 * the host check reads. */
void printTwoPages(const std::string &title, const std::string &page1, const std::string &page2)
{
    HPS hps = WinGetPrinterPS(nullptr, 0);
    ASSERT_NE(hps, nullptr);
    LONG h = record(hps)->height;
    ASSERT_EQ(WinPrnStartDoc(hps, title.c_str()), 0);
    ASSERT_EQ(WinPrnStartPage(hps), 0);
    PM_POINTL at{300, h - 400};
    EXPECT_NE(GpiCharStringAt(hps, &at, static_cast<LONG>(page1.size()), page1.c_str()), 0);
    PM_POINTL corner{200, h - 200}, opposite{1800, h - 900};
    GpiMove(hps, &corner);
    EXPECT_NE(GpiBox(hps, PM_DRO_OUTLINE, &opposite, 0, 0), 0);
    ASSERT_EQ(WinPrnEndPage(hps), 0);
    ASSERT_EQ(WinPrnStartPage(hps), 0);
    EXPECT_EQ(WinPrnTextOut(hps, 300, 600, (page2 + " and more").c_str(),
                            static_cast<LONG>(page2.size())), 0);
    GpiMove(hps, &corner);
    EXPECT_NE(GpiBox(hps, PM_DRO_OUTLINEFILL, &opposite, 0, 0), 0);
    ASSERT_EQ(WinPrnEndPage(hps), 0);
    ASSERT_EQ(WinPrnEndDoc(hps), 0);
    EXPECT_FALSE(currentJob().active);
    EXPECT_TRUE(WinDestroyPrinterPS(hps));
    CreateDirectoryA("printfix", nullptr);
    std::ofstream("printfix\\expect.txt", std::ios::app)
        << title << '|' << page1 << '|' << page2 << '\n';
}

TEST_F(Print, TwoPageDocumentsReachThePrinter)
{
    REQUIRE_PRINTER();
    printTwoPages(titled("OrinReservedJob"), "Alpha reserved page one", "Bravo reserved page two");
    DWORD off = 0;
    setHack(&off);
    printTwoPages(titled("OrinNormalSpool"), "Charlie spooled page one",
                  "Delta spooled page two");
}

}  // namespace
