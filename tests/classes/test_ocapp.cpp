// OcApp: INI settings next to the executable, string loads and their
// fallback texts, COwmResMod, the default frame read back element by
// element against the system's own reading of engocl.dll, the default
// client procedure's routing to the virtual handlers, and the message loop.
#include <gtest/gtest.h>
#include <algorithm>
#include <stdio.h>
#include <string>
#include <vector>
#include "boxanswer.h"
#include "dos.h"
#include "ocapp.h"

namespace {

std::string exeDir()
{
    char exe[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string s = exe;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

void writeFile(const std::string &name, const std::string &text)
{
    FILE *f = fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs(text.c_str(), f);
    fclose(f);
}

TEST(OcAppIni, SettingsComeFromTheIniBesideTheProgram)
{
    std::string ini = exeDir() + "test_ocapp_settings.ini";
    writeFile(ini, "[Other]\nx=1\n[System]\nResource32Path=ocapp_res\nResourceLanguage=deu\n");
    DosSetResourceLanguage("eng");
    DosSetResourcePath(nullptr);
    {
        OcApp app("test_ocapp_settings.ini");
        EXPECT_STRCASEEQ(app.GetIniName(), ini.c_str());
        EXPECT_STREQ(DosGetResourceLanguage(), "deu");
        char full[MAX_PATH] = "";
        GetFullPathNameA((exeDir() + "ocapp_res").c_str(), sizeof full, full, nullptr);
        EXPECT_STRCASEEQ(DosGetResourcePath(), full);
        EXPECT_STREQ(app.IniQueryKey("System", "ResourceLanguage"), "deu");
        EXPECT_STREQ(app.IniQueryKey("Other", "x"), "1");
        EXPECT_STREQ(app.IniQueryKey("Other", "missing"), "");

        // Without an extension the name gets ".ini"; a missing file is refused
        // and the name in use stays.
        EXPECT_TRUE(app.IniSet("test_ocapp_settings"));
        EXPECT_STRCASEEQ(app.GetIniName(), ini.c_str());
        EXPECT_FALSE(app.IniSet("no_such_file.ini"));
        EXPECT_STRCASEEQ(app.GetIniName(), ini.c_str());
    }
    // A language of the wrong length is ignored; a missing INI changes nothing.
    writeFile(ini, "[System]\nResourceLanguage=de\n");
    {
        DosSetResourceLanguage("fra");
        OcApp app("test_ocapp_settings.ini");
        EXPECT_STREQ(DosGetResourceLanguage(), "fra");
    }
    {
        OcApp app("no_such_file.ini");
        EXPECT_STREQ(app.GetIniName(), "");
        EXPECT_STREQ(app.IniQueryKey("System", "ResourceLanguage"), "");
        EXPECT_STREQ(DosGetResourceLanguage(), "fra");
    }
    DeleteFileA(ini.c_str());
    DosSetResourceLanguage("eng");
    DosSetResourcePath(nullptr);
}

TEST(OcAppStrings, FallbackTextsNameTheIdAndModule)
{
    DosSetResourceLanguage("eng");
    OcApp app;
    // The test program has no string table: both forms fall back.
    EXPECT_STREQ(app.LoadString(77), "Error Loading String, ID=77");
    char buf[128] = "", expected[128] = "";
    EXPECT_FALSE(app.LoadString(78, buf, sizeof buf));
    snprintf(expected, sizeof expected, "Error loading resource string 78 from %lX",
             (unsigned long)(ULONG_PTR)app.GetResource());
    EXPECT_STREQ(buf, expected);

    HMODULE ocl = nullptr;
    ASSERT_EQ(_DosLoadInternalModule("ocl", &ocl), 0);
    app.SetResource(ocl);
    EXPECT_STREQ(app.LoadString(OCL_IDS_OPENFILE), "Open file");
    EXPECT_TRUE(app.LoadString(OCL_IDS_NOFILE, buf, sizeof buf));
    EXPECT_STREQ(buf, "No file");
    EXPECT_STREQ(app.LoadString(1), "Error Loading String, ID=1");
}

TEST(OcAppStrings, ResourceModuleObjects)
{
    COwmResMod own("");
    EXPECT_EQ(own.GetResource(), GetModuleHandleA(nullptr));

    COwmResMod ocl("ocl");
    char buf[64] = "";
    EXPECT_EQ(ocl.LoadString(OCL_IDS_ALLFILES, buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "All files");
    EXPECT_EQ(ocl.LoadAccelTable(1), nullptr);  // it has none
    EXPECT_EQ(ocl.LoadBitmap(1), nullptr);

    boxanswer::Answerer user;  // the missing module's box, if any, is cancelled
    COwmResMod missing("zzz");
    EXPECT_EQ(missing.LoadString(5, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Resource module zzz, string ID 5");
    EXPECT_EQ(missing.LoadString(6, buf, sizeof buf, "Fallback"), 0);
    EXPECT_STREQ(buf, "Fallback");
    EXPECT_EQ((HMODULE)missing, nullptr);
    EXPECT_EQ(missing.LoadPointer(1), nullptr);
    EXPECT_EQ(missing.LoadAccelTable(1), nullptr);
    char tiny[8] = "";
    EXPECT_EQ(missing.LoadString(5, tiny, sizeof tiny), 0);
    EXPECT_STREQ(tiny, "Resourc");
    user.stop();
    EXPECT_LE(user.texts().size(), 1u);
}

// Records what the default client procedure passes to the handlers.
struct RecordingApp : OcApp {
    std::vector<USHORT> commands;
    int sizes = 0, paints = 0, notifies = 0;
    int *destroyed = nullptr;
    bool paintHadPs = false;

    MRESULT OnWM_COMMAND(MPARAM mp1, MPARAM) override
    {
        commands.push_back(SHORT1FROMMP(mp1));
        return nullptr;
    }
    MRESULT OnWM_SIZE(MPARAM, MPARAM) override { sizes++; return nullptr; }
    MRESULT OnWM_PAINT(HPS hps) override
    {
        paints++;
        paintHadPs = hps != nullptr;
        return nullptr;
    }
    MRESULT OnWM_NOTIFY(MPARAM, MPARAM) override { notifies++; return MPFROMLONG(5); }
    MRESULT OnWM_DESTROY() override
    {
        if (destroyed)
            (*destroyed)++;
        return nullptr;
    }
};

// Menu items (text and id, depth first) of a native menu.
void collectMenu(HMENU menu, std::vector<std::string> &out)
{
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        char text[128] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        out.push_back(std::string(text) + "#" + std::to_string(GetMenuItemID(menu, i)));
        if (HMENU sub = GetSubMenu(menu, i))
            collectMenu(sub, out);
    }
}

TEST(OcAppFrame, DefaultFrameHasEveryElement)
{
    DosSetResourceLanguage("eng");
    int destroyed = 0;
    {
        RecordingApp app;
        app.destroyed = &destroyed;
        ASSERT_TRUE(app.CreateFrame(nullptr, 0, 0, "Orin test"));
        HWND frame = app.GetFrameWindow(), client = app.GetClientWindow();
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(client, nullptr);
        EXPECT_EQ(app.GetFrameFlags(), 0x403FUL);
        EXPECT_FALSE(app.CreateFrame(nullptr, 0, 0, "second"));

        LONG style = GetWindowLongA(frame, GWL_STYLE);
        for (LONG bit : {WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
            EXPECT_EQ(style & bit, bit) << std::hex << bit;
        EXPECT_EQ(WinWindowFromID(frame, PM_FID_VERTSCROLL), nullptr);
        EXPECT_EQ(WinWindowFromID(frame, PM_FID_HORZSCROLL), nullptr);
        EXPECT_NE((HICON)SendMessageA(frame, WM_GETICON, ICON_BIG, 0), nullptr);

        // Menu 1000 as the system reads it from engocl.dll.
        HMODULE data = LoadLibraryExA("engocl.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        HMENU peer = LoadMenuA(data, MAKEINTRESOURCEA(OCL_MENU_MAIN));
        ASSERT_NE(peer, nullptr);
        std::vector<std::string> want, got;
        collectMenu(peer, want);
        ASSERT_NE(GetMenu(frame), nullptr);
        collectMenu(GetMenu(frame), got);
        EXPECT_EQ(got, want);
        EXPECT_GE(want.size(), 5u);
        DestroyMenu(peer);
        FreeLibrary(data);

        char text[64] = "";
        WinQueryClassName(client, sizeof text, text);
        EXPECT_STREQ(text, "OcAppDefClass");
        EXPECT_EQ(WinQueryWindowPtr(client, 0), &app);
        WinQueryWindowText(frame, sizeof text, text);
        EXPECT_STREQ(text, "Orin test");
        EXPECT_TRUE(app.SetTitle("Renamed"));
        WinQueryWindowText(frame, sizeof text, text);
        EXPECT_STREQ(text, "Renamed");

        // The client procedure's routing.
        WinSendMsg(client, PM_WM_COMMAND, MPFROMLONG(4711), MPFROMLONG(PM_CMDSRC_MENU));
        ASSERT_EQ(app.commands.size(), 1u);
        EXPECT_EQ(app.commands[0], 4711);
        EXPECT_EQ(WinSendMsg(client, PM_WM_NOTIFY, nullptr, nullptr), MPFROMLONG(5));
        EXPECT_EQ(app.notifies, 1);
        EXPECT_EQ(WinSendMsg(client, 0x1FF, MPFROMLONG(1), nullptr), nullptr);
        int sizesBefore = app.sizes;
        WinSetWindowPos(frame, nullptr, 10, 10, 420, 330, PM_SWP_SIZE | PM_SWP_MOVE);
        EXPECT_GT(app.sizes, sizesBefore);
        WinInvalidateRect(client, nullptr, FALSE);
        WinUpdateWindow(client);
        EXPECT_GT(app.paints, 0);
        EXPECT_TRUE(app.paintHadPs);

        // Accelerator keys go through the application's table.
        ACCEL f5 = {FVIRTKEY, VK_F5, 555};
        app.SetHAC(CreateAcceleratorTableA(&f5, 1));
        PM_QMSG q = {};
        q.hwnd = client;
        q.native = {client, WM_KEYDOWN, VK_F5, 0};
        EXPECT_EQ(WinSendMsg(client, PM_WM_TRANSLATEACCEL, &q, nullptr), MPFROMLONG(1));
        q.native.wParam = VK_F6;
        EXPECT_EQ(WinSendMsg(client, PM_WM_TRANSLATEACCEL, &q, nullptr), nullptr);
        // The table is the application's, so the client answers with
        // whatever table the application has now.
        EXPECT_EQ(WinQueryAccelTable(app.GetHAB(), nullptr), app.GetHAC());
        ACCEL f6 = {FVIRTKEY, VK_F6, 556};
        HACCEL other = CreateAcceleratorTableA(&f6, 1);
        WinSetAccelTable(app.GetHAB(), other, nullptr);
        EXPECT_EQ(WinSendMsg(client, PM_WM_TRANSLATEACCEL, &q, nullptr), MPFROMLONG(1));
        app.SetHAC(other);

        // The loop dispatches until the quit message.
        WinPostMsg(client, PM_WM_COMMAND, MPFROMLONG(99), nullptr);
        WinPostMsg(client, PM_WM_QUIT, nullptr, nullptr);
        app.Dispatch();
        EXPECT_NE(std::find(app.commands.begin(), app.commands.end(), 99), app.commands.end());
        EXPECT_EQ(destroyed, 0);
        EXPECT_TRUE(WinDestroyWindow(frame));
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 1) << "a destroyed frame is not destroyed again";
    EXPECT_EQ(WinQueryAccelTable(nullptr, nullptr), (HACCEL)nullptr) << "gone with the OcApp";
}

TEST(OcAppFrame, FrameWithOwnFlagsAndBadCalls)
{
    HWND left = nullptr;
    {
        OcApp app;
        ASSERT_TRUE(app.CreateFrame(nullptr, 0, PM_FCF_TITLEBAR | PM_FCF_VERTSCROLL, "Plain"));
        EXPECT_EQ(app.GetFrameFlags(), PM_FCF_TITLEBAR | PM_FCF_VERTSCROLL);
        EXPECT_NE(WinWindowFromID(app.GetFrameWindow(), PM_FID_VERTSCROLL), nullptr);
        EXPECT_EQ(GetMenu(app.GetFrameWindow()), nullptr);
        EXPECT_FALSE(app.LoadString(1, nullptr, 10));
        EXPECT_STREQ(app.IniQueryKey(nullptr, nullptr), "");
        left = app.GetFrameWindow();
    }
    EXPECT_FALSE(IsWindow(left)) << "the destructor destroys the frame";
    OcApp other;
    EXPECT_FALSE(other.CreateFrame("NoSuchClientClass", 7, 0, "x"));
    EXPECT_FALSE(other.SetTitle("x"));
    EXPECT_EQ(other.GetFrameWindow(), nullptr);
}

}  // namespace
