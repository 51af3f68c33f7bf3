// OcPrf through the DLL: values kept across a reopen, failures counted
// with their codes, temporary profiles removed on close, name lists
// filtered by prefix with and without case, and moves that hand the open
// profile over while copies do not compile.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>
#include "ocprf.h"
#include "knl.h"
#include "memvbf.h"
#include "testutil.h"

using testutil::fileExists;
using testutil::ScratchFile;

namespace {

// The strings of a string list, in order; the list is released.
std::vector<std::string> takeList(char *list)
{
    std::vector<std::string> out;
    for (const char *p = list; p && *p; p += strlen(p) + 1)
        out.push_back(p);
    free(list);
    return out;
}

std::string queryString(OcPrf &p, const char *section, const char *key)
{
    char buf[256];
    memset(buf, 'X', sizeof buf);
    p.QueryString(section, key, buf, sizeof buf);
    return buf;
}

} // namespace

TEST(OcPrf, ValuesSurviveAReopen)
{
    ScratchFile f("ocprf_values.prf");
    const unsigned char blob[] = { 0, 1, 2, 0xFF, 0x7E, 0 };
    {
        OcPrf p;
        ASSERT_EQ(p.Open(NULL, f.name.c_str()), 1) << p.GetLastError();
        EXPECT_STREQ(p.FileName(), f.name.c_str());
        EXPECT_FALSE(p.IsTemp());
        EXPECT_EQ(p.WriteString("app", "title", "  hello world"), 1);
        EXPECT_EQ(p.WriteLong("app", "count", -123456), 1);
        EXPECT_EQ(p.WriteData("bin", "blob", blob, sizeof blob), 1);
        EXPECT_EQ(p.WriteString("app", "gone", "x"), 1);
        EXPECT_EQ(p.DeleteKey("app", "gone"), 1);
        EXPECT_EQ(p.CreateSection("empty"), 1);
        EXPECT_EQ(p.GetErrCount(), 0u);
        // The destructor closes the profile.
    }
    OcPrf p;
    ASSERT_EQ(p.Open(NULL, f.name.c_str(), PRF_OPEN_READONLY), 1) << p.GetLastError();
    EXPECT_EQ(queryString(p, "app", "title"), "  hello world");
    LONG n = 0;
    EXPECT_EQ(p.QueryLong("app", "count", &n), 1);
    EXPECT_EQ(n, -123456);
    unsigned char back[16] = {};
    ULONG size = sizeof back;
    EXPECT_EQ(p.QueryData("bin", "blob", back, &size), 1);
    ASSERT_EQ(size, sizeof blob);
    EXPECT_EQ(memcmp(back, blob, sizeof blob), 0);
    EXPECT_EQ(p.QuerySize("app", "title", &size), 1);
    EXPECT_EQ(size, strlen("  hello world") + 1);
    EXPECT_EQ(p.QueryString("app", "gone", (char *)back, sizeof back), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_NO_KEY);
    // A read-only profile refuses writes and keeps its values.
    EXPECT_EQ(p.WriteString("app", "title", "changed"), 0);
    EXPECT_NE(p.GetLastError(), 0);
    EXPECT_EQ(queryString(p, "app", "title"), "  hello world");
    EXPECT_EQ(p.Close(), 1);
    EXPECT_FALSE(p.IsOpen());
}

TEST(OcPrf, FailuresAreCountedUntilReset)
{
    ScratchFile f("ocprf_errors.prf");
    OcPrf p;

    // Nothing open yet: the invalid-handle code, counted.
    EXPECT_EQ(p.WriteString("s", "k", "v"), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(p.Close(), 0);
    EXPECT_EQ(p.GetErrCount(), 2u);
    p.ResetErrCount();

    ASSERT_EQ(p.Open(NULL, f.name.c_str()), 1);
    ASSERT_EQ(p.WriteString("s", "k", "v"), 1);
    char buf[16];
    EXPECT_EQ(p.QueryString("s", "missing", buf, sizeof buf, "dflt"), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_NO_KEY);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(p.GetErrCount(), 1u);

    EXPECT_EQ(p.WriteString("s", "a~b", "v"), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(p.DeleteSection("nowhere"), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_NO_KEY);
    EXPECT_EQ(p.CreateSection("s"), 0);
    EXPECT_EQ(p.GetLastError(), PRF_ERR_EXISTS);
    EXPECT_EQ(p.DeleteKey("s", NULL), 0);
    EXPECT_EQ(p.GetErrCount(), 5u);

    // Success clears the last error but not the count.
    EXPECT_EQ(p.QueryString("s", "k", buf, sizeof buf), 1);
    EXPECT_EQ(p.GetLastError(), 0);
    EXPECT_EQ(p.GetErrCount(), 5u);
    p.ResetErrCount();
    EXPECT_EQ(p.GetErrCount(), 0u);
    EXPECT_EQ(p.GetLastError(), 0);

    // Locks and transactions go through as well.
    EXPECT_EQ(p.LockSection("s", FALSE, TRUE), 1);
    EXPECT_EQ(p.LockSection("s", FALSE, TRUE), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_LOCK_VIOLATION);
    EXPECT_EQ(p.LockSection("new", FALSE, TRUE), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_NO_KEY);
    EXPECT_EQ(p.LockSection("new", TRUE, TRUE), 1);
    EXPECT_EQ(p.Transaction(TRUE), 1);
    EXPECT_EQ(p.WriteString("t", "k", "in transaction"), 1);
    EXPECT_EQ(p.Transaction(FALSE), 1);
    EXPECT_EQ(queryString(p, "t", "k"), "in transaction");
    EXPECT_EQ(p.CheckConsistent(), 1);
    EXPECT_EQ(p.GetErrCount(), 2u);
}

TEST(OcPrf, OpenRefusesWhatItCannotOpen)
{
    OcPrf p;
    DeleteFileA("ocprf_missing.prf");
    EXPECT_EQ(p.Open(NULL, "ocprf_missing.prf", PRF_OPEN_READONLY), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_FALSE(p.IsOpen());
    EXPECT_FALSE(fileExists("ocprf_missing.prf"));
    EXPECT_EQ(p.Open(NULL, NULL), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_INVALID_PARAM);
    EXPECT_EQ(p.Open(NULL, std::string(400, 'n').c_str()), 0);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(p.GetErrCount(), 3u);

    // A profile in the first format is opened with its own handler.
    memvbf::files().erase("first.prf");
    {
        HPRF old = nullptr;
        PRFFALOPEN rec = {NULL, "first.prf", 0x0020, 0, memvbf::table()};
        ASSERT_EQ(PrfOpenHandler(PrfFal100Handler, &rec, &old), 0);
        ASSERT_EQ(PrfWriteProfileString(old, "s", "k", "v"), 0);
        PrfCloseProfile(old);
    }
    EXPECT_EQ(p.Open(NULL, "first.prf", 0, memvbf::table()), 1);
    EXPECT_TRUE(p.IsLegacy());
    EXPECT_TRUE(p.IsOpen());
    char value[8];
    EXPECT_EQ(p.QueryString("s", "k", value, sizeof value), 1);
    EXPECT_STREQ(value, "v");
    p.Close();

    // Handlers handed in from outside the library are served as well.
    memvbf::files().erase("outside.prf");
    HPRF own = nullptr;
    PRFFALOPEN current = {NULL, "outside.prf", 0x0020, 0, memvbf::table()};
    ASSERT_EQ(PrfOpenHandler(PrfFalHandler, &current, &own), 0);
    EXPECT_EQ(PrfWriteProfileString(own, "s", "k", "v"), 0);
    EXPECT_EQ(PrfCloseProfile(own), 0);
}

TEST(OcPrf, TemporaryProfilesAreRemovedOnClose)
{
    OcPrf a, b;
    ASSERT_EQ(a.OpenTemp(), 1) << a.GetLastError();
    ASSERT_EQ(b.OpenTemp(), 1) << b.GetLastError();
    std::string nameA = a.FileName(), nameB = b.FileName();
    EXPECT_NE(nameA, nameB);
    EXPECT_TRUE(a.IsTemp());
    EXPECT_TRUE(fileExists(nameA));
    EXPECT_EQ(a.WriteString("s", "k", "v"), 1);
    EXPECT_EQ(queryString(a, "s", "k"), "v");
    EXPECT_EQ(a.Close(), 1);
    EXPECT_FALSE(fileExists(nameA));
    EXPECT_TRUE(fileExists(nameB));

    // Reopening an object closes (and removes) its temporary profile first.
    ScratchFile f("ocprf_after_temp.prf");
    ASSERT_EQ(b.Open(NULL, f.name.c_str()), 1);
    EXPECT_FALSE(b.IsTemp());
    EXPECT_FALSE(fileExists(nameB));
    EXPECT_EQ(b.Close(), 1);
    EXPECT_TRUE(fileExists(f.name));

    // A temporary profile on another back-end closes cleanly too.
    OcPrf m;
    ASSERT_EQ(m.OpenTemp(0, memvbf::table()), 1);
    EXPECT_EQ(m.WriteString("s", "k", "v"), 1);
    EXPECT_EQ(m.Close(), 1);
    EXPECT_EQ(a.GetErrCount() + b.GetErrCount() + m.GetErrCount(), 0u);
}

TEST(OcPrf, EnumerateFiltersByPrefix)
{
    using V = std::vector<std::string>;
    ScratchFile f("ocprf_enum.prf");
    OcPrf p;
    ASSERT_EQ(p.Open(NULL, f.name.c_str()), 1);
    EXPECT_EQ(takeList(p.Enumerate(NULL)), V{});
    for (const char *s : { "Alpha", "alpine", "Beta", "al" })
        ASSERT_EQ(p.WriteString(s, "key", "v"), 1);
    for (const char *k : { "Width", "width2", "height", "WIDE" })
        ASSERT_EQ(p.WriteString("Beta", k, "v"), 1);

    V all = takeList(p.Enumerate(NULL));
    EXPECT_EQ(all.size(), 4u);
    for (const char *s : { "Alpha", "alpine", "Beta", "al" })
        EXPECT_EQ(std::count(all.begin(), all.end(), s), 1) << s;

    V sections = takeList(p.Enumerate(NULL, "AL", FALSE));
    std::sort(sections.begin(), sections.end());
    EXPECT_EQ(sections, (V{ "Alpha", "al", "alpine" }));
    sections = takeList(p.Enumerate(NULL, "al", TRUE));
    std::sort(sections.begin(), sections.end());
    EXPECT_EQ(sections, (V{ "al", "alpine" }));
    EXPECT_EQ(takeList(p.Enumerate(NULL, "alpha!", FALSE)), V{});

    V keys = takeList(p.Enumerate("Beta", "wid", FALSE));
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (V{ "WIDE", "Width", "width2" }));
    keys = takeList(p.Enumerate("Beta", "Width", TRUE));
    EXPECT_EQ(keys, V{ "Width" });
    EXPECT_EQ(takeList(p.Enumerate("Beta", "", TRUE)).size(), 5u);
    EXPECT_EQ(p.GetErrCount(), 0u);

    EXPECT_EQ(p.Enumerate("nowhere"), nullptr);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_NO_KEY);
    EXPECT_EQ(p.Enumerate("a~b"), nullptr);
    EXPECT_EQ(p.GetLastError(), ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(p.GetErrCount(), 2u);
}

// The object owns its profile handle: no copies, and moves hand it over.
static_assert(!std::is_copy_constructible_v<OcPrf>);
static_assert(!std::is_copy_assignable_v<OcPrf>);
static_assert(std::is_nothrow_move_constructible_v<OcPrf>);
static_assert(std::is_nothrow_move_assignable_v<OcPrf>);

TEST(OcPrf, MovingHandsTheProfileOverAndTheSourceClosesNothing)
{
    ScratchFile f("ocprf_moved.prf");
    OcPrf target;
    {
        OcPrf source;
        ASSERT_EQ(source.Open(NULL, f.name.c_str()), 1) << source.GetLastError();
        HPRF h = source.Handle();
        OcPrf moved(std::move(source));
        EXPECT_EQ(moved.Handle(), h);
        EXPECT_STREQ(moved.FileName(), f.name.c_str());
        EXPECT_FALSE(source.IsOpen());
        EXPECT_EQ(source.Close(), 0);                  // nothing left to close
        EXPECT_EQ(source.GetLastError(), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(moved.WriteString("s", "k", "kept"), 1);

        // Assigning over an open temporary profile closes and removes it.
        ASSERT_EQ(target.OpenTemp(), 1) << target.GetLastError();
        std::string tempName = target.FileName();
        target = std::move(moved);
        EXPECT_FALSE(fileExists(tempName));
        EXPECT_FALSE(target.IsTemp());
        EXPECT_EQ(target.Handle(), h);
        EXPECT_FALSE(moved.IsOpen());
        // source and moved end here without closing the handle.
    }
    EXPECT_EQ(queryString(target, "s", "k"), "kept");
    EXPECT_EQ(target.Close(), 1);

    // A moved temporary profile is removed by its new owner only.
    OcPrf temp;
    ASSERT_EQ(temp.OpenTemp(), 1);
    std::string tempName = temp.FileName();
    {
        OcPrf owner(std::move(temp));
        EXPECT_EQ(temp.Close(), 0);
        EXPECT_TRUE(fileExists(tempName));
        EXPECT_TRUE(owner.IsTemp());
    }
    EXPECT_FALSE(fileExists(tempName));
}
