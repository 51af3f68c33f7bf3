// A host whose MAPI32.DLL lacks one of the twelve entry points (here
// MAPIDetails) and that has no TAPI32.DLL at all: nothing is bound,
// nothing stays loaded, and every call answers the general failure.
// Runs from a folder of its own that holds that MAPI32.DLL.
#include <gtest/gtest.h>
#include <windows.h>
#include "owmmapi.h"
#include "shell/owmint.h"
#include "shell/mail_settings.h"

namespace {

using namespace mailtest;

TEST(PartialMapi, AMissingEntryPointBindsNone)
{
    SavedSwitches saved;
    enableMail();
    clearCallLog();
    // the library is there, and has the others
    HMODULE lib = LoadLibraryA("MAPI32.DLL");
    ASSERT_NE(lib, nullptr);
    EXPECT_NE(GetProcAddress(lib, "MAPILogon"), nullptr);
    EXPECT_EQ(GetProcAddress(lib, "MAPIDetails"), nullptr);
    FreeLibrary(lib);
    ASSERT_FALSE(mapiLoaded());

    EXPECT_EQ(OwmMAPIInit(), ORIN_ERR_GENERAL);
    EXPECT_EQ(orin::owm::mapiUses(), 0u);
    EXPECT_FALSE(mapiLoaded()) << "unloaded again after the failed bind";
    EXPECT_EQ(OwmMAPIAvailable(), 0);
    LHANDLE session = 0;
    EXPECT_EQ(OwmMAPILogon(0, (LPSTR) "tester", (LPSTR) "secret", 0, 0, &session),
              ORIN_ERR_GENERAL);
    EXPECT_EQ(env("FAKEMAPI_CALL_MAPILogon"), "") << "MAPILogon was never called";
    EXPECT_EQ(OwmMAPIUninit(), ORIN_ERR_GENERAL);
    EXPECT_FALSE(mapiLoaded());
}

TEST(PartialMapi, NoTelephonyLibrary)
{
    EXPECT_EQ(OwmTapiRequestMakeCall("555-0100", "Orin", nullptr, nullptr), ORIN_ERR_GENERAL);
    EXPECT_EQ(orin::owm::tapiUses(), 0u);
    EXPECT_EQ(GetModuleHandleA("TAPI32.DLL"), nullptr);
}

}  // namespace
