// Buffered files through the exported interface: shared handles per name,
// the cache against writes from this and from another process, lines,
// end of file, sizes, information, views, locks, the open-file limit and
// bad input.  Plain Win32 calls on the same files are the reference.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "fbf.h"
#include "knlnam.h"
#include "testutil.h"

using testutil::ScratchFile;

namespace {

const ULONG kOpenRW = VBF_MODE_READWRITE | VBF_SHARE_DENY_NONE;

std::string pattern(size_t n, unsigned seed = 1)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; i++)
        s[i] = (char)('a' + (i * 31 + seed + i / 4096) % 26);
    return s;
}

HVBF openVbf(const std::string &name, ULONG flags = VBF_OPEN_EXISTING, ULONG mode = kOpenRW)
{
    HVBF h = nullptr;
    ULONG action = 0;
    USHORT rc = VbfOpen(KnlNamGetDefaultNS(), name.c_str(), &h, &action, 0, VBF_ATTR_NORMAL,
                        flags, mode, nullptr);
    EXPECT_EQ(rc, 0) << name;
    return h;
}

std::string readAt(HVBF h, ULONG pos, ULONG n)
{
    std::string out(n, '\0');
    ULONG got = 0;
    EXPECT_EQ(VbfChgFilePtr(h, (LONG)pos, VBF_FILE_BEGIN, nullptr), 0);
    EXPECT_EQ(VbfRead(h, &out[0], n, &got), 0);
    out.resize(got);
    return out;
}

int runWriter(const std::string &file, ULONG offset, const std::string &text)
{
    std::string cmd = "fbf_writer.exe " + file + " " + std::to_string(offset) + " " + text;
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return (int)code;
}

} // namespace

TEST(FbfSharing, OneNameInAnyCaseSharesTheFileWithOwnPositions)
{
    ScratchFile f("fbf_shared.dat");
    ASSERT_TRUE(testutil::writeFile(f.name, pattern(10000)));
    // The first open denies every other opener: a second operating-system
    // open of the file would fail, so the second handle must reuse it.
    HVBF a = openVbf("fbf_shared.dat", VBF_OPEN_EXISTING, VBF_MODE_READWRITE | VBF_SHARE_DENY_ALL);
    ASSERT_NE(a, nullptr);
    HANDLE other = CreateFileA(f.name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    // Create-or-replace on the second open would empty the file if applied.
    HVBF b = openVbf("FBF_Shared.DAT", VBF_CREATE_OR_REPLACE, VBF_MODE_READWRITE);
    ASSERT_NE(b, nullptr);
    ULONG len = 0;
    ASSERT_EQ(VbfQueryLength(b, &len), 0);
    EXPECT_EQ(len, 10000u);

    const std::string ref = pattern(10000);
    EXPECT_EQ(readAt(a, 5000, 100), ref.substr(5000, 100));
    EXPECT_EQ(VbfTell(b), 0u);
    std::string fromB(50, '\0');
    ASSERT_EQ(VbfRead(b, &fromB[0], 50, nullptr), 0);
    EXPECT_EQ(fromB, ref.substr(0, 50));
    EXPECT_EQ(VbfTell(a), 5100u);
    EXPECT_EQ(VbfTell(b), 50u);

    char name[300];
    ASSERT_EQ(VbfQueryFilename(b, name, sizeof name), 0);
    EXPECT_STREQ(name, "fbf_shared.dat");    // the name of the first open

    // Closing one keeps the file open for the other.
    EXPECT_EQ(VbfClose(a), 0);
    EXPECT_EQ(readAt(b, 9990, 10), ref.substr(9990, 10));
    EXPECT_EQ(VbfClose(b), 0);
    // Now the operating-system handle is gone: plain opens work again.
    other = CreateFileA(f.name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                        nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(other);
}

TEST(FbfCache, AnotherProcessesChangeShowsAfterFlush)
{
    ScratchFile f("fbf_other.dat");
    std::string ref = pattern(8192);
    ASSERT_TRUE(testutil::writeFile(f.name, ref));
    HVBF h = openVbf(f.name);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(readAt(h, 0, 8192), ref);    // both pages cached

    ASSERT_EQ(runWriter(f.name, 4100, "OUTSIDE"), 0);
    ASSERT_EQ(testutil::readFile(f.name).substr(4100, 7), "OUTSIDE");
    // Until the flush this process may still see its cached page; after
    // it, the other process's bytes must show.
    std::string before = readAt(h, 4100, 7);
    EXPECT_TRUE(before == "OUTSIDE" || before == ref.substr(4100, 7));
    // A direct read goes to the file, past the cache, and leaves the cache
    // as it was.
    char direct[8] = {};
    ULONG got = 0;
    ASSERT_EQ(VbfChgFilePtr(h, 4100, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfReadDirect(h, direct, 7, &got), 0);
    EXPECT_EQ(got, 7u);
    EXPECT_STREQ(direct, "OUTSIDE");
    EXPECT_EQ(VbfTell(h), 4107u);
    EXPECT_EQ(readAt(h, 4100, 7), before);
    ASSERT_EQ(VbfFlush(h), 0);
    EXPECT_EQ(readAt(h, 4100, 7), "OUTSIDE");

    // The other process grows the file: the length is asked again after a
    // flush, so a seek from the end follows.
    ASSERT_EQ(runWriter(f.name, 8192, "MORE"), 0);
    ASSERT_EQ(VbfFlush(h), 0);
    ULONG pos = 0;
    ASSERT_EQ(VbfChgFilePtr(h, -4, VBF_FILE_END, &pos), 0);
    EXPECT_EQ(pos, 8192u);
    EXPECT_EQ(readAt(h, 8192, 10), "MORE");
    VbfClose(h);
}

TEST(FbfLines, GetsSplitsAtCrLfOrLfAndKeepsToTheBuffer)
{
    ScratchFile f("fbf_lines.txt");
    // A line starting 6 bytes before the first page ends crosses into the
    // second page.
    std::string crossing = std::string(30, 'c');
    std::string head = "abc\r\ndef\nxyz\r\n";
    std::string filler(4096 - 6 - head.size() - 1, '-');
    std::string text = head + filler + "\n" + crossing + "\r\n" + std::string(300, 'L') + "\nend";
    ASSERT_TRUE(testutil::writeFile(f.name, text));
    HVBF h = openVbf(f.name);
    ASSERT_NE(h, nullptr);
    char buf[128];
    ULONG used = 0;

    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &used), 0);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(used, 5u);
    EXPECT_EQ(VbfTell(h), 5u);
    // Lone LF line (no CR LF within reach of the buffer either).
    ASSERT_EQ(VbfChgFilePtr(h, 5, VBF_FILE_BEGIN, nullptr), 0);
    char small[7];
    ASSERT_EQ(VbfGets(h, small, sizeof small, &used), 0);
    EXPECT_STREQ(small, "def");
    EXPECT_EQ(used, 4u);
    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &used), 0);
    EXPECT_STREQ(buf, "xyz");
    EXPECT_EQ(used, 5u);

    // The line crossing the page boundary.
    ASSERT_EQ(VbfChgFilePtr(h, 4096 - 6, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &used), 0);
    EXPECT_EQ(std::string(buf), crossing);
    EXPECT_EQ(used, crossing.size() + 2);

    // A line longer than the buffer: size - 1 bytes, the rest next time.
    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &used), 0);
    EXPECT_EQ(std::string(buf), std::string(127, 'L'));
    EXPECT_EQ(used, 127u);
    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &used), 0);
    EXPECT_EQ(std::string(buf), std::string(127, 'L'));
    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &used), 0);
    EXPECT_EQ(std::string(buf), std::string(46, 'L'));
    EXPECT_EQ(used, 47u);

    // The last line has no terminator; then end of file gives empty lines.
    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &used), 0);
    EXPECT_STREQ(buf, "end");
    EXPECT_EQ(used, 3u);
    memset(buf, 'x', sizeof buf);
    ASSERT_EQ(VbfGets(h, buf, sizeof buf, &used), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(VbfTell(h), text.size());

    // A one-byte buffer holds just the terminator.
    ASSERT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfGets(h, buf, 1, &used), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(VbfGets(h, buf, 0, &used), ORIN_ERR_INVALID_PARAM);
    VbfClose(h);
}

TEST(FbfEndOfFile, ReadGetchAndSeekAtTheEnd)
{
    ScratchFile f("fbf_eof.dat");
    ASSERT_TRUE(testutil::writeFile(f.name, "0123456789"));
    HVBF h = openVbf(f.name);
    ASSERT_NE(h, nullptr);
    char buf[32];
    ULONG n = 99;

    ASSERT_EQ(VbfChgFilePtr(h, 6, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfRead(h, buf, 32, &n), 0);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_EQ(VbfTell(h), 10u);
    ASSERT_EQ(VbfRead(h, buf, 32, &n), 0);
    EXPECT_EQ(n, 0u);
    BYTE ch = 0;
    ASSERT_EQ(VbfGetch(h, &ch), 0);
    EXPECT_EQ(ch, 0xFF);
    EXPECT_EQ(VbfTell(h), 10u);

    // Far past the end, in a page that does not exist.
    ASSERT_EQ(VbfChgFilePtr(h, 100000, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfRead(h, buf, 32, &n), 0);
    EXPECT_EQ(n, 0u);
    ASSERT_EQ(VbfGetch(h, &ch), 0);
    EXPECT_EQ(ch, 0xFF);

    // Seeking before the start stops at 0; an unknown method moves nothing.
    ULONG pos = 99;
    ASSERT_EQ(VbfChgFilePtr(h, 4, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfChgFilePtr(h, -10, VBF_FILE_CURRENT, &pos), 0);
    EXPECT_EQ(pos, 0u);
    ASSERT_EQ(VbfChgFilePtr(h, -20, VBF_FILE_END, &pos), 0);
    EXPECT_EQ(pos, 0u);
    ASSERT_EQ(VbfChgFilePtr(h, 7, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfChgFilePtr(h, 3, 9, &pos), 0);
    EXPECT_EQ(pos, 7u);
    ASSERT_EQ(VbfGetch(h, &ch), 0);
    EXPECT_EQ(ch, '7');
    VbfClose(h);
}

TEST(FbfInfo, FileInformationMapsAndLocks)
{
    ScratchFile f("fbf_info.dat");
    std::string ref = pattern(20000);
    ASSERT_TRUE(testutil::writeFile(f.name, ref));
    HVBF h = openVbf(f.name);
    ASSERT_NE(h, nullptr);

    VBFFILESTATUS fs;
    EXPECT_EQ(VbfQFileInfo(h, 2, &fs, sizeof fs), ORIN_ERR_INVALID_LEVEL);
    EXPECT_EQ(VbfQFileInfo(h, 1, &fs, 33), ORIN_ERR_INVALID_PARAM);
    ASSERT_EQ(VbfQFileInfo(h, 1, &fs, sizeof fs), 0);
    EXPECT_EQ(fs.cbFile, 20000u);
    WIN32_FILE_ATTRIBUTE_DATA attr;
    ASSERT_TRUE(GetFileAttributesExA(f.name.c_str(), GetFileExInfoStandard, &attr));
    FILETIME local;
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToLocalFileTime(&attr.ftLastWriteTime, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    EXPECT_EQ(fs.fdateLastWrite, (ULONG)(st.wDay | st.wMonth << 5 | ((st.wYear - 1900) % 128) << 9));

    // Setting the last-write time to 1999-03-04 10:20:30 local.
    VBFFILESTATUS set = fs;
    set.fdateLastWrite = 4 | 3 << 5 | (99 << 9);
    set.ftimeLastWrite = 15 | 20 << 5 | 10 << 11;
    ASSERT_EQ(VbfSetFileInfo(h, 1, &set, sizeof set), 0);
    ASSERT_TRUE(GetFileAttributesExA(f.name.c_str(), GetFileExInfoStandard, &attr));
    ASSERT_TRUE(FileTimeToLocalFileTime(&attr.ftLastWriteTime, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    EXPECT_EQ(st.wYear, 1999);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDay, 4);
    EXPECT_EQ(st.wHour, 10);
    EXPECT_EQ(st.wMinute, 20);
    EXPECT_EQ(st.wSecond, 30);
    EXPECT_EQ(VbfSetFileInfo(h, 2, &set, sizeof set), ORIN_ERR_INVALID_LEVEL);

    // A view of the file; a second request returns the first view.
    void *view = nullptr, *view2 = nullptr;
    ASSERT_EQ(VbfMapViewOfFile(h, &view, 20000, 0, 0), 0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(memcmp(view, ref.data(), 20000), 0);
    HVBF other = openVbf(f.name);
    ASSERT_EQ(VbfMapViewOfFile(other, &view2, 100, 0, 65536), 0);
    EXPECT_EQ(view2, view);
    EXPECT_EQ(VbfUnmapViewOfFile(h), 0);
    VbfClose(other);

    // FileLocks always locks exclusively; a plain handle then cannot lock.
    FILELOCK lock = {100, 10, 0};
    ASSERT_EQ(VbfFileLocks(h, nullptr, &lock), 0);
    EXPECT_EQ(lock.exclusive, 1u);
    HANDLE plain = CreateFileA(f.name.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(plain, INVALID_HANDLE_VALUE);
    OVERLAPPED ov = {};
    ov.Offset = 105;
    EXPECT_FALSE(LockFileEx(plain, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov));
    // FileLocksEx honours a shared request: others may share, not take it.
    FILELOCK shared = {200, 10, 0};
    ASSERT_EQ(VbfFileLocksEx(h, &lock, &shared), 0);
    EXPECT_EQ(shared.exclusive, 0u);
    ov.Offset = 105;
    ASSERT_TRUE(LockFileEx(plain, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov));
    UnlockFileEx(plain, 0, 1, 0, &ov);
    ov.Offset = 202;
    EXPECT_TRUE(LockFileEx(plain, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov));
    UnlockFileEx(plain, 0, 1, 0, &ov);
    EXPECT_FALSE(LockFileEx(plain, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov));
    ASSERT_EQ(VbfFileLocksEx(h, &shared, nullptr), 0);
    CloseHandle(plain);
    VbfClose(h);
}

TEST(FbfLimits, TheHundredAndTwentyFirstFileGivesTooManyOpenFiles)
{
    std::vector<std::unique_ptr<ScratchFile>> files;
    std::vector<HVBF> handles;
    for (int i = 0; i <= FBF_MAX_FILES; i++)
        files.emplace_back(new ScratchFile("fbf_many_" + std::to_string(i) + ".dat"));
    for (int i = 0; i < FBF_MAX_FILES; i++) {
        HVBF h = openVbf(files[i]->name, VBF_OPEN_OR_CREATE);
        ASSERT_NE(h, nullptr) << i;
        handles.push_back(h);
    }
    HVBF extra = nullptr;
    const char *last = files[FBF_MAX_FILES]->name.c_str();
    EXPECT_EQ(VbfOpen(KnlNamGetDefaultNS(), last, &extra, nullptr, 0, VBF_ATTR_NORMAL,
                      VBF_OPEN_OR_CREATE, kOpenRW, nullptr), ORIN_ERR_TOO_MANY_FILES);
    EXPECT_EQ(extra, nullptr);
    EXPECT_FALSE(testutil::fileExists(last)) << "nothing was created for the refused name";
    // A name already open still gets a handle.
    HVBF again = openVbf(files[3]->name);
    ASSERT_NE(again, nullptr);
    // Closing both handles of one name frees its entry for the new name.
    EXPECT_EQ(VbfClose(handles[3]), 0);
    EXPECT_EQ(VbfClose(again), 0);
    extra = openVbf(last, VBF_OPEN_OR_CREATE);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(VbfWrite(extra, "ok", 2, nullptr), 0);
    EXPECT_EQ(readAt(extra, 0, 2), "ok");
    VbfClose(extra);
    handles[3] = nullptr;
    for (HVBF h : handles)
        if (h)
            VbfClose(h);
}

TEST(FbfBadInput, CodesInsteadOfCrashes)
{
    ScratchFile f("fbf_bad.dat");
    ASSERT_TRUE(testutil::writeFile(f.name, "read only data"));
    char buf[16];
    ULONG n = 0;
    BYTE ch;

    HVBF missing = nullptr;
    EXPECT_EQ(VbfOpen(KnlNamGetDefaultNS(), "fbf_no_such_file.dat", &missing, nullptr, 0,
                      VBF_ATTR_NORMAL, VBF_OPEN_EXISTING, kOpenRW, nullptr), 2);
    EXPECT_EQ(missing, nullptr);

    // Writing through a read-only handle, even when a read-write handle
    // shares its operating-system handle.
    HVBF ro = openVbf(f.name, VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_NONE);
    ASSERT_NE(ro, nullptr);
    EXPECT_EQ(VbfWrite(ro, "x", 1, &n), ORIN_ERR_ACCESS_DENIED);
    HVBF rw = openVbf(f.name);
    EXPECT_EQ(VbfWrite(ro, "x", 1, &n), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(testutil::readFile(f.name), "read only data");
    // The shared handle was opened for reading: the read-write handle's
    // write is refused by the system, and nothing changes.
    EXPECT_NE(VbfWrite(rw, "x", 1, &n), 0);
    EXPECT_EQ(testutil::readFile(f.name), "read only data");
    EXPECT_EQ(VbfRead(ro, nullptr, 4, &n), ORIN_ERR_INVALID_PARAM);
    VbfClose(rw);
    VbfClose(ro);

    EXPECT_EQ(FbfRead(nullptr, buf, 4, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfWrite(nullptr, buf, 4, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfGetch(nullptr, &ch), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfGets(nullptr, buf, 4, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfClose(nullptr), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfFlush(nullptr), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfChgFilePtr(nullptr, 0, 0, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfQueryLength(nullptr, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfNewSize(nullptr, 0), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfMapViewOfFile(nullptr, nullptr, 0, 0, 0), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfQFileInfo(nullptr, 1, buf, sizeof buf), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(FbfFlushAll(), 0);
}

// Handles that were closed, or that the family never made, answer the
// invalid-handle code and reach no file: a look-alike record naming any
// entry of the open-file table must not read the open file's cached page.
TEST(FbfBadInput, ClosedAndMadeUpHandlesReachNoFile)
{
    ScratchFile f("fbf_stale.dat");
    ASSERT_TRUE(testutil::writeFile(f.name, "cached bytes"));
    HFBF live = nullptr, closed = nullptr;
    ASSERT_EQ(FbfOpen((ULONG_PTR)KnlNamGetDefaultNS(), f.name.c_str(), &live, nullptr, 0,
                      VBF_ATTR_NORMAL, VBF_OPEN_EXISTING, kOpenRW, 0), 0);
    ASSERT_EQ(FbfOpen((ULONG_PTR)KnlNamGetDefaultNS(), f.name.c_str(), &closed, nullptr, 0,
                      VBF_ATTR_NORMAL, VBF_OPEN_EXISTING, kOpenRW, 0), 0);
    char buf[16] = {};
    ULONG n = 0;
    ASSERT_EQ(FbfRead(live, buf, 6, &n), 0);    // the page is cached now
    ASSERT_EQ(FbfClose(closed), 0);

    auto refused = [&](HFBF h) {
        n = 77;
        BYTE ch = 0;
        EXPECT_EQ(FbfRead(h, buf, 6, &n), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(n, 77u) << "nothing was delivered";
        EXPECT_EQ(FbfGetch(h, &ch), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfGets(h, buf, sizeof buf, &n), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfReadDirect(h, buf, 4, &n), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfWrite(h, "XX", 2, &n), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfChgFilePtr(h, 0, VBF_FILE_END, &n), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfNewSize(h, 0), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfTell(h), 0xFFFFFFFFu);
        EXPECT_EQ(FbfQueryFilename(h, buf, sizeof buf), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfUnmapViewOfFile(h), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfFlush(h), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(FbfClose(h), ORIN_ERR_INVALID_HANDLE);
    };
    refused(closed);
    struct { USHORT fileIndex, openMode; ULONG position; ULONG_PTR user; } lookalike = {};
    lookalike.openMode = VBF_MODE_READ;    // a stray write could not reach any file
    for (USHORT i = 0; i < FBF_MAX_FILES; i++) {
        lookalike.fileIndex = i;
        SCOPED_TRACE("entry " + std::to_string(i));
        n = 77;
        EXPECT_EQ(FbfRead(reinterpret_cast<HFBF>(&lookalike), buf, 6, &n), ORIN_ERR_INVALID_HANDLE);
        EXPECT_EQ(n, 77u);
    }
    refused(reinterpret_cast<HFBF>(&lookalike));

    // The live handle still works and the file is as it was.
    ASSERT_EQ(FbfChgFilePtr(live, 0, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(FbfRead(live, buf, 12, &n), 0);
    EXPECT_EQ(std::string(buf, n), "cached bytes");
    EXPECT_EQ(FbfClose(live), 0);
    EXPECT_EQ(testutil::readFile(f.name), "cached bytes");
}

// The system's compound-file code writes a storage into a buffered file
// through ILockBytes; the system then opens that file by name.
TEST(FbfClient, CompoundFileWrittenThroughLockBytesOpensByName)
{
    ScratchFile f("fbf_docfile.stg");
    HVBF h = openVbf(f.name, VBF_CREATE_OR_REPLACE);
    ASSERT_NE(h, nullptr);
    ILockBytes *lb = nullptr;
    ASSERT_EQ(VbfCreateILockBytesOnVbf(h, &lb), S_OK);
    IStorage *stg = nullptr;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(lb, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                           0, &stg), S_OK);
    IStream *part = nullptr;
    ASSERT_EQ(stg->CreateStream(L"Chapter", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                0, 0, &part), S_OK);
    std::string payload = pattern(70000, 9);
    ULONG n = 0;
    ASSERT_EQ(part->Write(payload.data(), (ULONG)payload.size(), &n), S_OK);
    part->Release();
    ASSERT_EQ(stg->Commit(STGC_DEFAULT), S_OK);
    stg->Release();
    EXPECT_EQ(lb->Release(), 0u);
    ASSERT_EQ(VbfClose(h), 0);

    std::wstring wname(f.name.begin(), f.name.end());
    ASSERT_EQ(StgOpenStorage(wname.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                             &stg), S_OK);
    ASSERT_EQ(stg->OpenStream(L"Chapter", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &part), S_OK);
    std::string back(payload.size(), '\0');
    ASSERT_EQ(part->Read(&back[0], (ULONG)back.size(), &n), S_OK);
    EXPECT_EQ(back, payload);
    part->Release();
    stg->Release();
}
