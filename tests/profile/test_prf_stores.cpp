// Profiles in the registry and in INI files: what the handlers write is
// read back with the system's own calls (RegQueryValueExA,
// GetPrivateProfileStringA), and what those calls write is read through
// the handlers.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "prf.h"
#include "testutil.h"

namespace {

constexpr const char *kSubKey = "OrinTestStores";
constexpr const char *kRoot = "Software\\Orin\\OrinTestStores";

struct RegProfile {
    HPRF h;
    RegProfile()
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot);
        h = PrfWinRegHandlerOpen(kSubKey);
    }
    ~RegProfile()
    {
        PrfCloseProfile(h);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRoot);
    }
};

// What the system reads from the profile's section key.
bool systemValue(const char *section, const char *key, DWORD *type, std::string *data)
{
    std::string path = std::string(kRoot) + "\\" + section;
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = RegQueryValueExA(k, key, NULL, type, NULL, &size) == ERROR_SUCCESS;
    data->assign(size, '\0');
    ok = ok && RegQueryValueExA(k, key, NULL, type, (BYTE *)data->data(), &size) == ERROR_SUCCESS;
    RegCloseKey(k);
    return ok;
}

void systemWrite(const char *section, const char *key, DWORD type, const void *data, DWORD size)
{
    std::string path = std::string(kRoot) + "\\" + section;
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &k, NULL),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, key, 0, type, (const BYTE *)data, size), ERROR_SUCCESS);
    RegCloseKey(k);
}

std::string list(HPRF h, const char *section, USHORT *rc = nullptr)
{
    char buf[1024] = "";
    ULONG size = sizeof buf;
    USHORT r = PrfQueryProfileData(h, section, NULL, buf, &size);
    if (rc)
        *rc = r;
    return std::string(buf, size);
}

// ---- Registry -----------------------------------------------------------------------

TEST(PrfRegistry, SectionsAreMadeOnlyByCreateSection)
{
    RegProfile p;
    ASSERT_NE(p.h, nullptr);
    EXPECT_EQ(PrfWriteProfileString(p.h, "Paths", "root", "C:\\orin"), ORIN_ERR_NO_KEY);
    DWORD type;
    std::string data;
    EXPECT_FALSE(systemValue("Paths", "root", &type, &data));
    EXPECT_EQ(PrfCreateSection(p.h, "Paths"), 0);
    EXPECT_EQ(PrfCreateSection(p.h, "Paths"), PRF_ERR_EXISTS);
    EXPECT_EQ(PrfWriteProfileString(p.h, "Paths", "root", "C:\\orin"), 0);
    ASSERT_TRUE(systemValue("Paths", "root", &type, &data));
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_EQ(data, std::string("C:\\orin", 8));       // with its terminator

    EXPECT_EQ(PrfDestroySection(p.h, "Paths"), 0);
    EXPECT_FALSE(systemValue("Paths", "root", &type, &data));
    EXPECT_EQ(PrfDestroySection(p.h, "Paths"), ORIN_ERR_NO_KEY);
}

TEST(PrfRegistry, ValueTypesBothWays)
{
    RegProfile p;
    ASSERT_EQ(PrfCreateSection(p.h, "Types"), 0);
    const unsigned char bytes[] = {0, 1, 2, 0xFF, 0x7E};
    ASSERT_EQ(PrfWriteProfileData(p.h, "Types", "bin", bytes, sizeof bytes), 0);
    DWORD type;
    std::string data;
    ASSERT_TRUE(systemValue("Types", "bin", &type, &data));
    EXPECT_EQ(type, (DWORD)REG_BINARY);
    EXPECT_EQ(data, std::string((const char *)bytes, sizeof bytes));

    // A 4-byte number through the handler's own message.
    ULONG number = 0x12345678;
    PRFREQUEST rq = {"Types", "num", &number, 4, 0, 0, 0, PRF_TYPE_ULONG};
    ASSERT_EQ(PrfWinRegHandler(p.h, PRF_CMD_WRITE, &rq), 0u);
    ASSERT_TRUE(systemValue("Types", "num", &type, &data));
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(data, std::string((const char *)&number, 4));

    // Written by the system, read through the handler, types reported.
    DWORD dword = 77;
    systemWrite("Types", "sysdword", REG_DWORD, &dword, 4);
    systemWrite("Types", "sysstr", REG_SZ, "text", 5);
    systemWrite("Types", "sysmulti", REG_MULTI_SZ, "a\0b\0", 5);
    struct Case { const char *key; USHORT type; std::string data; } cases[] = {
        {"sysdword", PRF_TYPE_ULONG, std::string((const char *)&dword, 4)},
        {"sysstr", PRF_TYPE_STRING, std::string("text", 5)},
        {"sysmulti", PRF_TYPE_BINARY, std::string("a\0b\0", 5)},
        {"bin", PRF_TYPE_BINARY, std::string((const char *)bytes, sizeof bytes)},
    };
    for (const Case &c : cases) {
        char buf[64];
        PRFREQUEST read = {"Types", c.key, buf, sizeof buf, 0, 0, 0, 0xFF};
        ASSERT_EQ(PrfWinRegHandler(p.h, PRF_CMD_READ, &read), 0u) << c.key;
        EXPECT_EQ(read.dataType, c.type) << c.key;
        EXPECT_EQ(std::string(buf, read.length), c.data) << c.key;
    }
    char text[16];
    EXPECT_EQ(PrfQueryProfileString(p.h, "Types", "sysstr", "", text, sizeof text), 0);
    EXPECT_STREQ(text, "text");
    ULONG size = 0;
    EXPECT_EQ(PrfQueryProfileSize(p.h, "Types", "bin", &size), 0);
    EXPECT_EQ(size, sizeof bytes + 1);

    // A value longer than the buffer is cut, and the call says so.
    char small[3];
    size = sizeof small;
    EXPECT_EQ(PrfQueryProfileData(p.h, "Types", "bin", small, &size), ORIN_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::string(small, 3), std::string((const char *)bytes, 3));

    EXPECT_EQ(PrfWriteProfileData(p.h, "Types", "bin", NULL, 0), 0);
    EXPECT_FALSE(systemValue("Types", "bin", &type, &data));
    EXPECT_EQ(PrfQueryProfileSize(p.h, "Types", "bin", &size), ORIN_ERR_NO_KEY);
}

TEST(PrfRegistry, ListsOfSectionsAndKeys)
{
    RegProfile p;
    USHORT rc = 0;
    EXPECT_EQ(list(p.h, NULL, &rc), "");
    EXPECT_EQ(rc, ORIN_ERR_NO_KEY);                    // not even the profile's key yet
    ASSERT_EQ(PrfCreateSection(p.h, "One"), 0);
    ASSERT_EQ(PrfCreateSection(p.h, "Two"), 0);
    EXPECT_EQ(list(p.h, NULL, &rc), "One~Two~");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(list(p.h, "One", &rc), "");
    EXPECT_EQ(rc, 0);
    systemWrite("One", NULL, REG_SZ, "default", 8);   // the unnamed value is no key
    ASSERT_EQ(PrfWriteProfileString(p.h, "One", "a", "1"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "One", "b", "2"), 0);
    EXPECT_EQ(list(p.h, "One"), "a~b~");
    ULONG size = 0;
    EXPECT_EQ(PrfQueryProfileSize(p.h, "One", NULL, &size), 0);
    EXPECT_EQ(size, 5u);
    list(p.h, "Missing", &rc);
    EXPECT_EQ(rc, ORIN_ERR_NO_KEY);
}

TEST(PrfRegistry, UnservedAndEmptyMessages)
{
    RegProfile p;
    ASSERT_EQ(PrfCreateSection(p.h, "S"), 0);
    ASSERT_EQ(PrfWriteProfileString(p.h, "S", "k", "v"), 0);
    char buf[4];
    ULONG size = sizeof buf;
    EXPECT_EQ(PrfQueryProfileDataOffset(p.h, "S", "k", 0, buf, &size), ORIN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(PrfWriteProfileDataOffset(p.h, "S", "k", 0, "x", 1), ORIN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(PrfSetProfileDataSize(p.h, "S", "k", 3), ORIN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
    EXPECT_EQ(PrfLockSection(p.h, "S", FALSE, TRUE), 0);
    EXPECT_EQ(PrfTransaction(p.h, TRUE), 0);
    EXPECT_EQ(PrfTransaction(p.h, FALSE), 0);
    EXPECT_EQ(PrfWinRegHandlerOpen(""), nullptr);
    EXPECT_EQ(PrfWinRegHandlerOpen(nullptr), nullptr);

    // A handler word set by a caller is refused, never followed.
    ULONG_PTR word = PrfUtlQueryHandlerULongPtr(p.h);
    std::string decoy = "Software\\Orin\\OrinTestStores";
    PrfUtlSetHandlerULongPtr(p.h, reinterpret_cast<ULONG_PTR>(&decoy));
    EXPECT_EQ(PrfQueryProfileString(p.h, "S", "k", "", buf, sizeof buf), ORIN_ERR_INVALID_HANDLE);
    PrfUtlSetHandlerULongPtr(p.h, word);
    EXPECT_EQ(PrfQueryProfileString(p.h, "S", "k", "", buf, sizeof buf), 0);
}

// ---- INI files ------------------------------------------------------------------------

struct IniProfile {
    testutil::ScratchFile file;
    std::string path;
    HPRF h;
    explicit IniProfile(const char *name) : file(name)
    {
        char full[MAX_PATH];
        GetFullPathNameA(name, sizeof full, full, NULL);
        path = full;
        h = PrfWinIniHandlerOpen(path.c_str());
    }
    ~IniProfile() { PrfCloseProfile(h); }
    std::string system(const char *section, const char *key)
    {
        char buf[1024];
        GetPrivateProfileStringA(section, key, "<none>", buf, sizeof buf, path.c_str());
        return buf;
    }
};

TEST(PrfIniHandler, ValuesBothWays)
{
    IniProfile p("stores_values.ini");
    ASSERT_NE(p.h, nullptr);
    EXPECT_EQ(PrfWriteProfileString(p.h, "Paths", "root", "C:\\orin\\res"), 0);
    EXPECT_EQ(p.system("Paths", "root"), "C:\\orin\\res");
    WritePrivateProfileStringA("Paths", "sys", "from the system", p.path.c_str());
    char buf[64];
    EXPECT_EQ(PrfQueryProfileString(p.h, "Paths", "sys", "", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "from the system");

    // An empty value reads as missing: the default, and 211.
    WritePrivateProfileStringA("Paths", "empty", "", p.path.c_str());
    EXPECT_EQ(PrfQueryProfileString(p.h, "Paths", "empty", "dflt", buf, sizeof buf), ORIN_ERR_NO_KEY);
    EXPECT_STREQ(buf, "dflt");

    // The size of a value longer than the first read buffer.
    std::string longer(600, 'x');
    EXPECT_EQ(PrfWriteProfileString(p.h, "Paths", "long", longer.c_str()), 0);
    ULONG size = 0;
    EXPECT_EQ(PrfQueryProfileSize(p.h, "Paths", "long", &size), 0);
    EXPECT_EQ(size, longer.size() + 2);     // the handler counts a terminator, the call one more

    EXPECT_EQ(PrfWriteProfileData(p.h, "Paths", "sys", NULL, 0), 0);
    EXPECT_EQ(p.system("Paths", "sys"), "<none>");
    EXPECT_EQ(PrfDestroySection(p.h, "Paths"), 0);
    EXPECT_EQ(p.system("Paths", "root"), "<none>");
    EXPECT_EQ(PrfDestroySection(p.h, "Never"), 0);
}

TEST(PrfIniHandler, KeyListsAndUnservedMessages)
{
    IniProfile p("stores_lists.ini");
    ASSERT_TRUE(testutil::writeFile(p.path, "[S]\r\nalpha=1\r\nbeta = 2\r\n\r\n[T]\r\nx=y\r\n"));
    EXPECT_EQ(list(p.h, "S"), "alpha~beta~");
    ULONG size = 0;
    EXPECT_EQ(PrfQueryProfileSize(p.h, "S", NULL, &size), 0);
    EXPECT_EQ(size, 12u);
    USHORT rc = 0;
    EXPECT_EQ(list(p.h, "Missing", &rc), "");
    EXPECT_EQ(rc, ORIN_ERR_NO_KEY);
    list(p.h, NULL, &rc);
    EXPECT_EQ(rc, ORIN_ERR_NO_KEY);                     // the section list is not served
    EXPECT_EQ(PrfCreateSection(p.h, "New"), 0);
    char buf[4];
    size = sizeof buf;
    EXPECT_EQ(PrfQueryProfileDataOffset(p.h, "S", "alpha", 0, buf, &size), ORIN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(PrfSetProfileDataSize(p.h, "S", "alpha", 3), ORIN_ERR_NOT_SUPPORTED);
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
    EXPECT_EQ(PrfWinIniHandlerOpen(""), nullptr);
}

}  // namespace
