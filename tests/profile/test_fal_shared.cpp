// Two processes share one block file: the test and a helper process
// allocate, read, rewrite and free blocks at the same time for a few
// seconds.  Each must see its own blocks unchanged, no block may be handed
// out twice or lost, and the file must pass its check afterwards.
#include <gtest/gtest.h>
#include <fstream>
#include <set>
#include <sstream>
#include "fal_worker.h"
#include "testutil.h"

namespace {

const char *FILE_NAME = "fal_shared.fal";
const DWORD RUN_MILLIS = 3000;

struct Helper {
    PROCESS_INFORMATION pi = {};
    bool start(const std::string &args)
    {
        STARTUPINFOA si = {sizeof si};
        std::string cmd = "fal_helper.exe " + args;
        return CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
    }
    DWORD wait()
    {
        DWORD code = 99;
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return code;
    }
};

// Reads the helper's result file: "error operations what", then "id content".
falworker::Result readResult(const char *name)
{
    falworker::Result r;
    std::ifstream in(name);
    unsigned error = 0xFFFF;
    in >> error >> r.operations >> r.what;
    r.error = (USHORT)error;
    unsigned long id;
    std::string c;
    while (in >> id >> c)
        r.live[id] = c;
    return r;
}

// Counts used blocks by walking the raw file, independently of the library.
size_t countUsedBlocks(const std::string &bytes)
{
    FALFILEHEADER hdr;
    memcpy(&hdr, bytes.data(), sizeof hdr);
    size_t used = 0;
    for (size_t off = hdr.firstBlockOffset; off + 8 <= bytes.size();) {
        FALBLOCKHEADER b;
        memcpy(&b, bytes.data() + off, sizeof b);
        if (b.totalSize < 12)
            return (size_t)-1;
        used += b.type == 'U';
        off += b.totalSize;
    }
    return used;
}

TEST(FalShared, TwoProcessesAllocateAndFreeTogether)
{
    testutil::ScratchFile file(FILE_NAME), result("fal_helper.out");
    HFAL h = nullptr;
    ASSERT_EQ(FalCreate(KnlNamGetDefaultNS(), FILE_NAME, &h, FAL_FIRST_FIT, 64, 0, 0, NULL), 0);
    ASSERT_EQ(FalClose(h), 0);

    Helper helper;
    ASSERT_TRUE(helper.start(std::string(FILE_NAME) + " B 7 " + std::to_string(RUN_MILLIS) +
                             " fal_helper.out"));
    falworker::Result mine = falworker::run(FILE_NAME, "A", 11, RUN_MILLIS);
    DWORD code = helper.wait();
    falworker::Result theirs = readResult("fal_helper.out");

    EXPECT_EQ(mine.error, 0) << mine.what;
    EXPECT_EQ(theirs.error, 0) << theirs.what;
    EXPECT_EQ(code, 0u);
    EXPECT_GT(mine.operations, 20);
    EXPECT_GT(theirs.operations, 20);

    ASSERT_EQ(FalOpen(KnlNamGetDefaultNS(), FILE_NAME, &h, 0), 0);
    EXPECT_EQ(FalCheck(h), 0);
    std::set<ULONG> ids;
    for (auto *side : {&mine, &theirs})
        for (auto &e : side->live) {
            EXPECT_TRUE(ids.insert(e.first).second) << "block " << e.first << " owned twice";
            std::string buf(e.second.size(), '\0');
            ASSERT_EQ(FalGetBlock(h, e.first, &buf[0], (ULONG)buf.size()), 0);
            EXPECT_EQ(buf, e.second);
        }
    FalClose(h);
    EXPECT_EQ(countUsedBlocks(testutil::readFile(FILE_NAME)), ids.size()) << "a block was lost";
}

// A shared handle sees the other handle's changes after its refresh.
TEST(FalShared, RefreshFollowsTheUpdateCounter)
{
    testutil::ScratchFile file("fal_refresh.fal");
    HFAL a = nullptr, b = nullptr;
    ASSERT_EQ(FalCreate(KnlNamGetDefaultNS(), file.name.c_str(), &a, FAL_FIRST_FIT, 0, 0,
                        FAL_OPEN_SHARED, NULL), 0);
    ASSERT_EQ(FalOpen(KnlNamGetDefaultNS(), file.name.c_str(), &b, FAL_OPEN_SHARED), 0);
    USHORT before = 0, after = 0;
    EXPECT_EQ(FalQueryUpdateCount(b, &before), 0);
    ULONG id = 0;
    ASSERT_EQ(FalAllocBlock(a, &id, 5, "fresh", 5), 0);
    EXPECT_EQ(FalQueryUpdateCount(b, &after), 0);
    EXPECT_EQ(after, before + 1);
    char buf[6] = {};
    EXPECT_EQ(FalGetBlock(b, id, buf, 5), 0);
    EXPECT_STREQ(buf, "fresh");
    ASSERT_EQ(FalFreeBlock(b, id), 0);
    EXPECT_EQ(FalGetBlock(a, id, buf, 5), FAL_ERR_BEYONDEND);   // the file was cut
    EXPECT_EQ(FalClose(a), 0);
    EXPECT_EQ(FalClose(b), 0);
}

TEST(FalTemporary, DeletedOnClose)
{
    HFAL h = nullptr;
    ASSERT_EQ(FalCreate(KnlNamGetDefaultNS(), NULL, &h, FAL_FIRST_FIT | FAL_TEMPORARY, 0, 0, 0,
                        NULL), 0);
    std::string name = FalQueryFileName(h);
    EXPECT_TRUE(testutil::fileExists(name));
    ULONG id = 0;
    EXPECT_EQ(FalAllocBlock(h, &id, 10, "x", 1), 0);
    EXPECT_EQ(FalClose(h), 0);
    EXPECT_FALSE(testutil::fileExists(name));
}

} // namespace
