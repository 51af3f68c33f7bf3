// Resource modules: the language code and module file names, the
// "Can't find file" box answered by a user thread (OK retries, Cancel stops
// all later boxes), the counted system resource module, the resource path,
// and string and raw resource loads compared with the system's own reads
// of the same file loaded as data.
#include <gtest/gtest.h>
#include <string>
#include "boxanswer.h"
#include "dos.h"
#include "win.h"

namespace {

using boxanswer::Answer;
using boxanswer::Answerer;

// The system's own reading of a module's string, as a peer.
std::string peerString(const char *file, UINT id)
{
    HMODULE data = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char buf[256] = "";
    if (data != nullptr) {
        LoadStringA(data, id, buf, sizeof buf);
        FreeLibrary(data);
    }
    return buf;
}

std::string systemString(UINT id)
{
    char buf[256] = "?";
    OpmLoadString(id, buf, sizeof buf);
    return buf;
}

TEST(ResourceLanguage, OnlyThreeLetterCodesAreTaken)
{
    struct Case { const char *code; const char *expected; };
    const Case cases[] = {{"fra", "fra"}, {"de", "eng"}, {"deu", "deu"}, {nullptr, "eng"},
                          {"deut", "eng"}, {"", "eng"}, {"xyz", "xyz"}};
    for (const Case &c : cases) {
        DosSetResourceLanguage(c.code);
        EXPECT_STREQ(DosGetResourceLanguage(), c.expected) << (c.code ? c.code : "(null)");
    }
    DosSetResourceLanguage("eng");
}

TEST(ResourceModules, MissingModuleAsksUntilCancelledThenStaysSilent)
{
    DeleteFileA("fraocl.dll");
    DosSetResourceLanguage("fra");
    {
        // OK with the file still missing shows the box again; the second OK
        // finds the file the "user" has just put in place.
        Answerer user(Answerer::Script{{IDOK}, {IDOK, [] { CopyFileA("engocl.dll", "fraocl.dll", FALSE); }}});
        HMODULE module = WinGetSystemResourceModule();
        user.stop();
        ASSERT_NE(module, nullptr);
        ASSERT_EQ(user.texts().size(), 2u);
        EXPECT_EQ(user.texts()[0], "FRAOCL.DLL");
        EXPECT_EQ(user.texts()[1], "FRAOCL.DLL");
        EXPECT_EQ(systemString(OCL_IDS_LANGUAGE), peerString("engocl.dll", OCL_IDS_LANGUAGE));
        EXPECT_EQ(WinQuerySystemResourceModuleUses(), 1u);
        EXPECT_EQ(WinGetSystemResourceModule(), module);
        EXPECT_EQ(WinQuerySystemResourceModuleUses(), 2u);
        EXPECT_TRUE(WinFreeSystemResourceModule(0));
        EXPECT_EQ(WinQuerySystemResourceModuleUses(), 1u);
        EXPECT_TRUE(WinFreeSystemResourceModule(0));
        EXPECT_EQ(WinQuerySystemResourceModuleUses(), 0u);
        EXPECT_FALSE(WinFreeSystemResourceModule(0));
    }
    EXPECT_TRUE(DeleteFileA("fraocl.dll")) << "the module must be unloaded when its last use goes";

    DosSetResourceLanguage("xyz");
    {
        Answerer user(Answerer::Script{{IDCANCEL}});
        HMODULE module = reinterpret_cast<HMODULE>(1);
        EXPECT_EQ(_DosLoadInternalModule("zzz", &module), 0xFFFF);
        user.stop();
        EXPECT_EQ(module, nullptr);
        ASSERT_EQ(user.texts().size(), 1u);
        EXPECT_EQ(user.texts()[0], "XYZZZZ.DLL");
    }
    {
        Answerer user;
        HMODULE module = nullptr;
        EXPECT_EQ(_DosLoadInternalModule("abc", &module), 0xFFFF);
        EXPECT_EQ(WinGetSystemResourceModule(), nullptr);
        char buf[16] = "old";
        EXPECT_EQ(OpmLoadString(OCL_IDS_ALLFILES, buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "");
        Sleep(200);
        user.stop();
        EXPECT_TRUE(user.texts().empty()) << "after Cancel no module may ask again";
    }
    DosSetResourceLanguage("eng");
}

TEST(ResourceModules, SystemModuleFollowsTheLanguage)
{
    Answerer user;  // none expected: both modules are beside the program
    DosSetResourceLanguage("eng");
    WinFreeSystemResourceModule(1);
    for (UINT id : {OCL_IDS_ALLFILES, OCL_IDS_OPENFILE, OCL_IDS_NOFILE})
        EXPECT_EQ(systemString(id), peerString("engocl.dll", id));
    EXPECT_EQ(systemString(OCL_IDS_ALLFILES), "All files");
    char small[4] = "";
    EXPECT_EQ(WinLoadString(WinGetSystemResourceModule(), OCL_IDS_ALLFILES, sizeof small, small), 3);
    EXPECT_STREQ(small, "All");
    EXPECT_EQ(WinLoadString(WinGetSystemResourceModule(), 4711, sizeof small, small), 0);
    EXPECT_STREQ(small, "");

    EXPECT_TRUE(WinFreeSystemResourceModule(1));
    DosSetResourceLanguage("deu");
    EXPECT_EQ(systemString(OCL_IDS_ALLFILES), peerString("deuocl.dll", OCL_IDS_ALLFILES));
    EXPECT_EQ(systemString(OCL_IDS_LANGUAGE), "Deutsch");
    WinFreeSystemResourceModule(1);
    DosSetResourceLanguage("eng");
    user.stop();
    EXPECT_TRUE(user.texts().empty());
}

TEST(ResourceModules, ResourcePathAndRawResources)
{
    CreateDirectoryA("resmod_dir", nullptr);
    ASSERT_TRUE(CopyFileA("engocl.dll", "resmod_dir\\engtst.dll", FALSE));
    DosSetResourceLanguage("eng");
    Answerer user;  // a box, if any, is cancelled (the never-ask flag may be clear)
    DosSetResourcePath(nullptr);
    HMODULE module = nullptr;
    EXPECT_EQ(_DosLoadInternalModule("tst", &module), 0xFFFF);

    EXPECT_EQ(DosSetResourcePath("resmod_dir"), 0);
    char full[MAX_PATH] = "";
    GetFullPathNameA("resmod_dir", sizeof full, full, nullptr);
    EXPECT_STRCASEEQ(DosGetResourcePath(), full);
    ASSERT_EQ(_DosLoadInternalModule("tst", &module), 0);
    ASSERT_NE(module, nullptr);

    // The raw menu resource is the same bytes the system finds in the file.
    void *menu = nullptr;
    ASSERT_EQ(DosGetResource2(module, 4 /* menu */, OCL_MENU_MAIN, &menu), 0);
    HMODULE data = LoadLibraryExA("resmod_dir\\engtst.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(data, nullptr);
    HRSRC peer = FindResourceA(data, MAKEINTRESOURCEA(OCL_MENU_MAIN), MAKEINTRESOURCEA(4));
    ASSERT_NE(peer, nullptr);
    DWORD size = SizeofResource(data, peer);
    const void *peerBytes = LockResource(LoadResource(data, peer));
    ASSERT_GT(size, 8u);
    EXPECT_EQ(memcmp(menu, peerBytes, size), 0);
    FreeLibrary(data);
    EXPECT_EQ(DosFreeResource2(module, menu), 0);
    EXPECT_EQ(DosFreeResource(menu), 0);

    void *none = reinterpret_cast<void *>(1);
    EXPECT_NE(DosGetResource2(module, 4, 999, &none), 0);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(DosGetResource2(module, 4, OCL_MENU_MAIN, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(DosFreeResource(nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(_DosLoadInternalModule(nullptr, &module), 0xFFFF);
    EXPECT_EQ(_DosLoadInternalModule("tst", nullptr), 0xFFFF);

    ASSERT_EQ(_DosLoadInternalModule("tst", &module), 0);
    EXPECT_EQ(DosFreeModule(module), 0);
    EXPECT_EQ(DosFreeModule(module), 0);  // two loads, two frees
    EXPECT_NE(DosFreeModule(nullptr), 0);
    DosSetResourcePath(nullptr);
    EXPECT_STREQ(DosGetResourcePath(), "");
    user.stop();
    EXPECT_TRUE(DeleteFileA("resmod_dir\\engtst.dll"));
    RemoveDirectoryA("resmod_dir");
}

}  // namespace
