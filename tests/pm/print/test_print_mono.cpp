/*
 * test_print_mono.cpp - the all-lines-are-black setting on a monochrome
 * printer, on paper.
 *
 * The monochrome printer is the CUPS queue "OrinGrey" (scripts/start-cups):
 * the PDF back-end with a grey-only PPD, which Wine's PostScript driver
 * obeys by writing every colour as a grey level (setgray).  What Wine's
 * driver does not do is report the device as monochrome: its GetDeviceCaps
 * answers NUMCOLORS -1 and BITSPIXEL 32 for every printer, whatever the PPD
 * says (so that compatible bitmaps are never 1 bit deep), where Windows
 * answers 2 colours for a monochrome printer.  The tests therefore put in
 * the colour-count query the answer Windows gives: 2 when the selected
 * printer cannot print colour (DeviceCapabilities DC_COLORDEVICE, which
 * Wine reads from the PPD), else the context's own NUMCOLORS.
 *
 * Every document draws a thick red line, a thick green box outline, a
 * magenta filled box and red text at known device positions; the positions,
 * the colours and whether lines must be black go to printfix/colours.txt,
 * and the host check (pdf_colour_check.py) renders the printed PDFs in grey
 * and reads the pixels back.
 */
#include <gtest/gtest.h>
#include <fstream>
#include <string>
#include <vector>
#include "pm/gpi/gpiint.h"
#include "pm/print/printint.h"
#include "pm/print/printfix.h"
#include "ocapp.h"
#include <winspool.h>

namespace {

using namespace orin::pm::print;
constexpr const char *kGrey = "OrinGrey";
constexpr const char *kColour = "OrinPDF";
constexpr int kMonochrome = 2;

/* PM colour indexes and the RGB values they stand for. */
constexpr LONG kRed = 2, kGreen = 4, kMagenta = 3;
constexpr COLORREF kRedRgb = RGB(255, 0, 0), kGreenRgb = RGB(0, 255, 0),
                   kMagentaRgb = RGB(255, 0, 255);
constexpr LONG kPenWidth = 40;

bool printerExists(const char *name)
{
    HANDLE h = nullptr;
    if (!OpenPrinterA(const_cast<char *>(name), &h, nullptr))
        return false;
    ClosePrinter(h);
    return true;
}

#define REQUIRE_PRINTERS()                                                                 \
    do {                                                                                   \
        if (!printerExists(kGrey) || !printerExists(kColour))                              \
            GTEST_SKIP() << "no CUPS printers (scripts/start-cups)";                       \
    } while (0)

bool canPrintColour(const std::string &device, const std::string &port)
{
    return DeviceCapabilitiesA(device.c_str(), port.c_str(), DC_COLORDEVICE, nullptr,
                               nullptr) != 0;
}

/* The colour count Windows reports for the selected printer. */
int coloursAsWindowsReports(HDC hdc)
{
    const Selection &sel = selection();
    if (!canPrintColour(sel.device, sel.port))
        return kMonochrome;
    return GetDeviceCaps(hdc, NUMCOLORS);
}

/* Puts a colour-count query in for the life of the object. */
struct ColourQuery {
    DeviceColorsFn old;
    explicit ColourQuery(DeviceColorsFn fn) : old(setDeviceColorsQuery(fn)) {}
    ~ColourQuery() { setDeviceColorsQuery(old); }
};

/* ---- choosing a printer through a stand-in print dialog ---- */

const char *dialogPrinter = kGrey;

BOOL WINAPI pickDialogPrinter(PRINTDLGA *pd)
{
    std::string port = std::string("CUPS:") + dialogPrinter;
    pd->hDevNames = printfix::devNamesFor("wineps.drv", dialogPrinter, port.c_str());
    return TRUE;
}

void selectPrinter(const char *name)
{
    dialogPrinter = name;
    PrintDialogFn old = setPrintDialog(&pickDialogPrinter);
    ASSERT_EQ(WinPrinterSetup(nullptr), 0);
    setPrintDialog(old);
    ASSERT_EQ(selection().device, name);
}

void writeIni(const char *body)
{
    std::ofstream(appIniFile(), std::ios::trunc) << body;
}

class Mono : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileA(appIniFile().c_str()); }
    void TearDown() override
    {
        DeleteFileA(appIniFile().c_str());
        WinPrinterInitDefault(nullptr);
    }
};

/* The flag a printer PS gets on the selected printer. */
bool flagOnSelected()
{
    HPS hps = WinGetPrinterPS(nullptr, 0);
    EXPECT_NE(hps, nullptr);
    if (!hps)
        return false;
    bool black = orin::pm::gpi::gpiFind(hps)->allLinesBlack;
    WinDestroyPrinterPS(hps);
    return black;
}

TEST_F(Mono, GreyPrinterIsMonochromeButWineSaysOtherwise)
{
    REQUIRE_PRINTERS();
    selectPrinter(kGrey);
    EXPECT_FALSE(canPrintColour(kGrey, "CUPS:OrinGrey")) << "the grey PPD reached Wine";
    EXPECT_TRUE(canPrintColour(kColour, "CUPS:OrinPDF"));
    HDC dc = CreateDCA("wineps.drv", kGrey, nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    int wineAnswer = GetDeviceCaps(dc, NUMCOLORS);
    DeleteDC(dc);
    if (wineAnswer != kMonochrome) {
        // With the system's answer the grey printer counts as a colour one.
        writeIni("[System]\nPrintColorsAsBlack=1\n");
        EXPECT_FALSE(flagOnSelected()) << "NUMCOLORS " << wineAnswer;
    }
}

TEST_F(Mono, MonochromePrinterTakesTheIniSetting)
{
    REQUIRE_PRINTERS();
    ColourQuery windowsAnswer(&coloursAsWindowsReports);
    struct Case { const char *body; bool black; };
    // Black unless the value is missing or exactly "0" (7 characters read).
    const Case cases[] = {
        {"", false},
        {"[System]\nPrintColorsAsBlack=1\n", true},
        {"[System]\nPrintColorsAsBlack=yes\n", true},
        {"[System]\nPrintColorsAsBlack=\n", true},
        {"[System]\nPrintColorsAsBlack=00\n", true},
        {"[System]\nPrintColorsAsBlack=0\n", false},
        {"[System]\nPrintColorsAsBlack=00000000\n", true},
        {"[System]\nOther=1\n", false},
        {"[Other]\nPrintColorsAsBlack=1\n", false},
    };
    for (const char *printer : {kGrey, kColour}) {
        selectPrinter(printer);
        for (const Case &c : cases) {
            writeIni(c.body);
            bool expected = c.black && printer == kGrey;   // never on a colour printer
            EXPECT_EQ(flagOnSelected(), expected) << printer << ": " << c.body;
        }
    }
    // The print defaults are the same on both kinds of printer.
    writeIni("[System]\nPrintColorsAsBlack=1\n");
    selectPrinter(kGrey);
    HPS hps = WinGetPrinterPS(nullptr, 0);
    ASSERT_NE(hps, nullptr);
    EXPECT_EQ(GpiQueryColor(hps), -1);
    EXPECT_EQ(GpiQueryBackColor(hps), -2);
    EXPECT_EQ(GpiQueryMix(hps), 2);
    WinDestroyPrinterPS(hps);
}

TEST_F(Mono, QueryCanBePutBack)
{
    DeviceColorsFn first = setDeviceColorsQuery(&coloursAsWindowsReports);
    EXPECT_EQ(setDeviceColorsQuery(nullptr), &coloursAsWindowsReports);
    EXPECT_NE(setDeviceColorsQuery(first), &coloursAsWindowsReports);   // the system's again
}

/* ---- the application object's INI file ---- */

std::string besideProgram(const char *name)
{
    std::string exe = appIniFile();                 // the executable's, by default
    return exe.substr(0, exe.find_last_of("\\/") + 1) + name;
}

void writeFile(const std::string &name, const char *body)
{
    std::ofstream(name, std::ios::trunc) << body;
}

TEST_F(Mono, SettingComesFromTheApplicationObjectsIni)
{
    REQUIRE_PRINTERS();
    ColourQuery windowsAnswer(&coloursAsWindowsReports);
    selectPrinter(kGrey);
    const std::string programIni = appIniFile();
    const std::string black = besideProgram("mono_app_black.ini");
    const std::string plain = besideProgram("mono_app_plain.ini");
    writeIni("[System]\nPrintColorsAsBlack=0\n");
    writeFile(black, "[System]\nPrintColorsAsBlack=1\n");
    writeFile(plain, "[System]\nResourceLanguage=eng\n");
    EXPECT_FALSE(flagOnSelected()) << "the program's own INI says 0";
    {
        OcApp app("mono_app_black.ini");
        ASSERT_STRCASEEQ(app.GetIniName(), black.c_str());
        EXPECT_STRCASEEQ(appIniFile().c_str(), black.c_str());
        EXPECT_TRUE(flagOnSelected()) << "the application's INI says 1";
        EXPECT_TRUE(app.IniSet("mono_app_plain"));          // ".ini" added
        EXPECT_FALSE(flagOnSelected()) << "no value in the application's INI";
        EXPECT_FALSE(app.IniSet("mono_app_missing.ini"));   // refused: the name stays
        EXPECT_STRCASEEQ(appIniFile().c_str(), plain.c_str());
        writeFile(plain, "[System]\nPrintColorsAsBlack=yes\n");
        EXPECT_TRUE(flagOnSelected());
    }
    // The application has gone: the program's own INI again.
    EXPECT_EQ(appIniFile(), programIni);
    EXPECT_FALSE(flagOnSelected());
    writeIni("[System]\nPrintColorsAsBlack=7\n");
    EXPECT_TRUE(flagOnSelected());
    // An application without an INI file leaves the program's in place.
    {
        OcApp app("mono_app_missing.ini");
        EXPECT_STREQ(app.GetIniName(), "");
        EXPECT_EQ(appIniFile(), programIni);
        EXPECT_TRUE(flagOnSelected());
    }
    setAppIniFile(black.c_str());
    EXPECT_EQ(appIniFile(), black);
    setAppIniFile("");
    EXPECT_EQ(appIniFile(), programIni);
    DeleteFileA(black.c_str());
    DeleteFileA(plain.c_str());
}

/* ---- on paper ---- */

/* A device-pixel rectangle of the page and the colour drawn there. */
struct Feature {
    const char *kind;   // line, outline, fill, text
    RECT area;          // where the colour must be (text: where its glyphs lie)
    COLORREF rgb;
};

/* A device point as a PM point of a PS of height h. */
PM_POINTL pm(LONG x, LONG y, LONG h) { return PM_POINTL{x, h - 1 - y}; }

std::vector<Feature> drawSheet(HPS hps)
{
    LONG h = orin::pm::gpi::gpiFind(hps)->height;
    std::vector<Feature> drawn;
    const LONG half = kPenWidth / 2 - 6;        // inside the stroke, clear of its edge

    GpiSetPenWidth(hps, kPenWidth);
    GpiSetColor(hps, kRed);
    PM_POINTL from = pm(300, 300, h), to = pm(1500, 300, h);
    GpiMove(hps, &from);
    GpiLine(hps, &to);
    drawn.push_back({"line", {500, 300 - half, 1300, 300 + half}, kRedRgb});

    GpiSetColor(hps, kGreen);
    PM_POINTL corner = pm(300, 500, h), opposite = pm(1500, 1000, h);
    GpiMove(hps, &corner);
    GpiBox(hps, PM_DRO_OUTLINE, &opposite, 0, 0);
    drawn.push_back({"outline", {300 - half, 600, 300 + half, 900}, kGreenRgb});

    GpiSetColor(hps, kMagenta);
    corner = pm(400, 1200, h);
    opposite = pm(1400, 1600, h);
    GpiMove(hps, &corner);
    GpiBox(hps, PM_DRO_FILL, &opposite, 0, 0);
    drawn.push_back({"fill", {500, 1300, 1300, 1500}, kMagentaRgb});

    GpiSetColor(hps, kRed);
    const char text[] = "Colours on paper";
    PM_POINTL at = pm(300, 1900, h);
    GpiCharStringAt(hps, &at, sizeof text - 1, text);
    SIZE extent{};
    GetTextExtentPoint32A(orin::pm::gpi::gpiFind(hps)->hdc, text, sizeof text - 1, &extent);
    TEXTMETRICA tm{};
    GetTextMetricsA(orin::pm::gpi::gpiFind(hps)->hdc, &tm);
    drawn.push_back({"text", {300, 1900 - tm.tmAscent, 300 + extent.cx, 1900}, kRedRgb});
    return drawn;
}

/* Prints the sheet on the selected printer and leaves its description
 * for the host check: title|lines black|colour printer|dpi|offset x|
 * offset y|features. */
void printSheet(const std::string &title, bool linesBlack)
{
    HPS hps = WinGetPrinterPS(nullptr, 0);
    ASSERT_NE(hps, nullptr);
    ASSERT_EQ(orin::pm::gpi::gpiFind(hps)->allLinesBlack, linesBlack);
    HDC dc = orin::pm::gpi::gpiFind(hps)->hdc;
    ASSERT_EQ(WinPrnStartDoc(hps, title.c_str()), 0);
    ASSERT_EQ(WinPrnStartPage(hps), 0);
    std::vector<Feature> drawn = drawSheet(hps);
    ASSERT_EQ(WinPrnEndPage(hps), 0);
    bool colour = canPrintColour(selection().device, selection().port);
    std::string line = title + '|' + (linesBlack ? "1" : "0") + '|' + (colour ? "1" : "0") + '|' +
                       std::to_string(GetDeviceCaps(dc, LOGPIXELSX)) + '|' +
                       std::to_string(GetDeviceCaps(dc, PHYSICALOFFSETX)) + '|' +
                       std::to_string(GetDeviceCaps(dc, PHYSICALOFFSETY));
    for (const Feature &f : drawn) {
        char entry[128];
        snprintf(entry, sizeof entry, "|%s:%ld,%ld,%ld,%ld:%06lx", f.kind, f.area.left, f.area.top,
                 f.area.right, f.area.bottom, static_cast<unsigned long>(f.rgb));
        line += entry;
    }
    ASSERT_EQ(WinPrnEndDoc(hps), 0);
    EXPECT_TRUE(WinDestroyPrinterPS(hps));
    CreateDirectoryA("printfix", nullptr);
    std::ofstream("printfix\\colours.txt", std::ios::app) << line << '\n';
}

TEST_F(Mono, ColoursOnPaper)
{
    REQUIRE_PRINTERS();
    DeleteFileA("printfix\\colours.txt");
    ColourQuery windowsAnswer(&coloursAsWindowsReports);
    selectPrinter(kGrey);
    writeIni("[System]\nPrintColorsAsBlack=1\n");
    printSheet(printfix::titled("OrinGreyBlack"), true);
    DeleteFileA(appIniFile().c_str());
    printSheet(printfix::titled("OrinGreyNoIni"), false);
    writeIni("[System]\nPrintColorsAsBlack=0\n");
    printSheet(printfix::titled("OrinGreyZero"), false);
    selectPrinter(kColour);
    writeIni("[System]\nPrintColorsAsBlack=1\n");
    printSheet(printfix::titled("OrinColourBlack"), false);
}

}  // namespace
