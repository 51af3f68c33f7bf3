/*
 * ixtest.h - what the archive index tests share: a fresh archive in a
 * scratch folder of the test program's own, documents made from a list of
 * field values, and the document order of an index walked through the
 * public navigation calls.
 */
#ifndef IXTEST_H
#define IXTEST_H

#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <utility>
#include <vector>

#include "brc.h"
#include "profile/prfdisk.h"

namespace ixtest {

using Fields = std::vector<std::pair<std::string, std::string>>;

/* "<program>_scratch": two test programs running at once never share. */
inline std::string scratchName()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name = path;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name + "_scratch";
}

class ArchiveTest : public ::testing::Test {
protected:
    prfdisk::ScratchDir dir{scratchName()};
    std::string file = dir.path("docs.brc");
    BrcArchive *a = nullptr;

    void SetUp() override { ASSERT_EQ(BrcCreate(nullptr, &a, file.c_str(), 0), 0); }
    void TearDown() override { closeArchive(); }

    void closeArchive()
    {
        if (a != nullptr) {
            EXPECT_EQ(BrcClose(a), 0);
        }
        a = nullptr;
    }
    void reopen(USHORT mode = 0)
    {
        closeArchive();
        ASSERT_EQ(BrcOpen(nullptr, &a, file.c_str(), mode), 0);
    }

    USHORT addDoc(const Fields &fields)
    {
        BrdDocument *d = nullptr;
        EXPECT_EQ(BrdAddDocument(a, &d, "site", "doc", TRUE, FALSE), 0);
        if (d == nullptr)
            return 0xFFFF;
        for (const auto &[name, value] : fields)
            EXPECT_EQ(BrdFldSet(d, name.c_str(), 'C', value.data(), ULONG(value.size()), FALSE), 0)
                << name;
        USHORT number = BrdGetDocNumber(d);
        EXPECT_EQ(BrdCloseDocument(d), 0);
        return number;
    }
    void setField(USHORT number, const std::string &name, const std::string &value)
    {
        BrdDocument *d = nullptr;
        ASSERT_EQ(BrdOpenDocument(a, &d, number, FALSE), 0);
        EXPECT_EQ(BrdFldSet(d, name.c_str(), 'C', value.data(), ULONG(value.size()), FALSE), 0);
        EXPECT_EQ(BrdCloseDocument(d), 0);
    }
    void deleteDoc(USHORT number)
    {
        BrdDocument *d = nullptr;
        ASSERT_EQ(BrdOpenDocument(a, &d, number, FALSE), 0);
        EXPECT_EQ(BrdDeleteDocument(d), 0);
    }

    BrcIndexEntry *open(const char *definition)
    {
        BrcIndexEntry *e = nullptr;
        EXPECT_EQ(BrcIxOpenStr(a, definition, &e), 0) << definition;
        return e;
    }

    /* The documents in index order: first, then one step at a time. */
    std::vector<USHORT> walk(BrcIndexEntry *e)
    {
        std::vector<USHORT> order;
        USHORT n = 0xFFFF;
        USHORT rc = BrcIxFirst(a, e, &n);
        if (rc == IXD_ERR_NOT_FOUND)
            return order;
        EXPECT_EQ(rc, 0);
        while (rc == 0 && order.size() < 10000) {
            order.push_back(n);
            USHORT next = 0xFFFF;
            rc = BrcIxNextPrev(a, e, n, 1, &next);
            if (rc == 0)
                n = next;
        }
        EXPECT_EQ(rc, IXD_ERR_NOT_FOUND);
        return order;
    }
};

}  // namespace ixtest

#endif
