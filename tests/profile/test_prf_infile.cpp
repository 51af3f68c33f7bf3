// Files kept in a profile value: naming, the open flags, reading, writing
// and seeking against a plain byte-string model, lines, section locks, and
// an index file living in a profile value through the Vbf table.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <thread>
#include "ixd.h"
#include "memvbf.h"
#include "prf.h"
#include "testutil.h"

namespace {

constexpr ULONG kModeRead = 0x20;                 // read, deny write
constexpr ULONG kModeWrite = 0x12;                // read/write, deny all
constexpr ULONG kModeShared = 0x42;               // read/write, deny none

// A profile on the in-memory back-end and "@PRFHANDLE@" names for it.
struct MemProfile {
    HPRF h = nullptr;
    explicit MemProfile(const char *name)
    {
        memvbf::files().erase(name);
        EXPECT_EQ(PrfOpenProfileOnVbf(NULL, &h, name, 0, memvbf::table()), 0);
    }
    ~MemProfile() { PrfCloseProfile(h); }
    std::string file(const char *section, const char *key) const
    {
        char buf[64];
        snprintf(buf, sizeof buf, "@PRFHANDLE@%016llx;%s~%s", (unsigned long long)(ULONG_PTR)h,
                 section, key);
        return buf;
    }
    std::string value(const char *section, const char *key) const
    {
        ULONG size = 0;
        if (PrfQueryProfileSize(h, section, key, &size))
            return "<missing>";
        std::string v(size, '\0');
        EXPECT_EQ(PrfQueryProfileData(h, section, key, v.data(), &size), 0);
        v.resize(size);
        return v;
    }
};

struct OpenFile {
    HPRFFILE f = nullptr;
    USHORT rc;
    ULONG action = 0;
    OpenFile(const std::string &name, ULONG flags, ULONG mode, ULONG initial = 0)
    {
        rc = PrfFileOpen(NULL, name.c_str(), &f, &action, initial, 0, flags, mode);
    }
    ~OpenFile()
    {
        if (f)
            PrfFileClose(f);
    }
};

// ---- Names and open flags ---------------------------------------------------------------

TEST(PrfFileOpen, NamesThatDoNotLeadToAValue)
{
    MemProfile p("pf_names.prf");
    EXPECT_EQ(OpenFile("@PRFHANDLE@0000000000000000;S~K", 0x11, kModeWrite).rc,
              ORIN_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenFile("@PRFHANDLE@00000000deadbee0;S~K", 0x11, kModeWrite).rc,
              ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(OpenFile("pf_names.prf S~K", 0x11, kModeWrite).rc, ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(OpenFile("pf_names.prf;S K", 0x11, kModeWrite).rc, ORIN_ERR_INVALID_NAME);
    EXPECT_EQ(OpenFile(p.file("S", "K"), 0x01, kModeRead).rc, ORIN_ERR_NO_KEY);
    HPRFFILE f = reinterpret_cast<HPRFFILE>(&p);
    ULONG n;
    char c;
    EXPECT_EQ(PrfFileRead(f, &c, 1, &n), ORIN_ERR_INVALID_HANDLE);
    EXPECT_EQ(PrfFileClose(nullptr), ORIN_ERR_INVALID_HANDLE);
}

TEST(PrfFileOpen, FlagsDecideBetweenCreatingKeepingAndEmptying)
{
    MemProfile p("pf_flags.prf");
    {
        OpenFile made(p.file("S", "K"), 0x10, kModeWrite, 5);
        ASSERT_EQ(made.rc, 0);
        EXPECT_EQ(made.action, 2u);
    }
    EXPECT_EQ(p.value("S", "K"), std::string(5, '\0'));
    ASSERT_EQ(PrfWriteProfileData(p.h, "S", "K", std::string(100, 'x').data(), 100), 0);
    EXPECT_EQ(OpenFile(p.file("S", "K"), 0x10, kModeWrite).rc, ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(OpenFile(p.file("S", "K"), 0x20, kModeWrite).rc, ORIN_ERR_INVALID_PARAM);
    {
        OpenFile kept(p.file("S", "K"), 0x01, kModeWrite);
        ASSERT_EQ(kept.rc, 0);
        EXPECT_EQ(kept.action, 1u);
        ULONG length = 0;
        EXPECT_EQ(PrfFileQueryLength(kept.f, &length), 0);
        EXPECT_EQ(length, 100u);
    }
    {
        // Replacing needs a mode that allows writing.
        OpenFile readOnly(p.file("S", "K"), 0x12, kModeRead);
        ASSERT_EQ(readOnly.rc, 0);
        EXPECT_EQ(readOnly.action, 1u);
    }
    EXPECT_EQ(p.value("S", "K").size(), 100u);
    {
        OpenFile emptied(p.file("S", "K"), 0x12, kModeWrite, 0);
        ASSERT_EQ(emptied.rc, 0);
        EXPECT_EQ(emptied.action, 3u);
        ULONG length = 1;
        EXPECT_EQ(PrfFileQueryLength(emptied.f, &length), 0);
        EXPECT_EQ(length, 0u);
        char name[64];
        EXPECT_EQ(PrfFileQueryFilename(emptied.f, name, sizeof name), 0);
        EXPECT_EQ(std::string(name), p.file("S", "K"));
        EXPECT_EQ(PrfFileQueryFilename(emptied.f, name, 10), ORIN_ERR_BUFFER_TOO_SMALL);
    }
    EXPECT_EQ(p.value("S", "K"), "");
}

// ---- Reading, writing, seeking ------------------------------------------------------------

TEST(PrfFileData, RandomOperationsMatchAByteString)
{
    MemProfile p("pf_model.prf");
    OpenFile file(p.file("Data", "blob"), 0x11, kModeWrite);
    ASSERT_EQ(file.rc, 0);
    HPRFFILE f = file.f;
    std::string model;
    ULONG pos = 0;
    std::mt19937 rng(4);
    std::vector<char> buf(70000);
    for (int step = 0; step < 3000; step++) {
        ULONG n = rng() % 4 == 0 ? rng() % 40000 : rng() % 300, done = 0;
        switch (rng() % 6) {
        case 0:
        case 1: {                                    // write
            for (ULONG i = 0; i < n; i++)
                buf[i] = (char)rng();
            ASSERT_EQ(PrfFileWrite(f, buf.data(), n, &done), 0);
            ASSERT_EQ(done, n);
            if (n) {
                if (model.size() < pos + n)
                    model.resize(pos + n, '\0');
                model.replace(pos, n, buf.data(), n);
                pos += n;
            }
            break;
        }
        case 2: {                                    // read
            ASSERT_EQ(PrfFileRead(f, buf.data(), n, &done), 0);
            ULONG expect = pos < model.size() ? std::min<ULONG>(n, model.size() - pos) : 0;
            ASSERT_EQ(done, expect) << step;
            ASSERT_EQ(std::string(buf.data(), done), model.substr(std::min<size_t>(pos, model.size()), done));
            pos += done;
            break;
        }
        case 3: {                                    // seek
            ULONG method = rng() % 3;
            LONG distance = (LONG)(rng() % 50000) - 20000;
            LONGLONG base = method == 0 ? 0 : method == 1 ? (LONGLONG)pos : (LONGLONG)model.size();
            ULONG newPos = 0;
            ASSERT_EQ(PrfFileChgFilePtr(f, distance, method, &newPos), 0);
            pos = (ULONG)std::max<LONGLONG>(0, base + distance);
            ASSERT_EQ(newPos, pos);
            ASSERT_EQ(PrfFileTell(f), pos);
            break;
        }
        case 4: {                                    // new size
            ULONG size = rng() % 60000;
            ASSERT_EQ(PrfFileNewSize(f, size), 0);
            model.resize(size, '\0');
            break;
        }
        default: {
            ULONG length = 0;
            ASSERT_EQ(PrfFileQueryLength(f, &length), 0);
            ASSERT_EQ(length, model.size());
        }
        }
    }
    ASSERT_EQ(PrfFileFlush(f), 0);
    EXPECT_EQ(p.value("Data", "blob"), model);
    EXPECT_EQ(PrfCheckConsistent(p.h), 0);
}

TEST(PrfFileData, LinesAndBytes)
{
    MemProfile p("pf_lines.prf");
    std::string longLine(300, 'L');
    std::string text = "first\r\n" + longLine + "\r\nlast line";
    ASSERT_EQ(PrfWriteProfileData(p.h, "T", "text", text.data(), (ULONG)text.size()), 0);
    OpenFile file(p.file("T", "text"), 0x01, kModeRead);
    ASSERT_EQ(file.rc, 0);
    char buf[512];
    ULONG used = 0;
    ASSERT_EQ(PrfFileGets(file.f, buf, sizeof buf, &used), 0);
    EXPECT_STREQ(buf, "first");
    EXPECT_EQ(used, 7u);
    ASSERT_EQ(PrfFileGets(file.f, buf, sizeof buf, &used), 0);
    EXPECT_EQ(std::string(buf), longLine);           // found in the second round
    EXPECT_EQ(used, 302u);
    ASSERT_EQ(PrfFileGets(file.f, buf, sizeof buf, &used), 0);
    EXPECT_STREQ(buf, "last line");
    EXPECT_EQ(used, 9u);
    ASSERT_EQ(PrfFileGets(file.f, buf, sizeof buf, &used), 0);
    EXPECT_EQ(used, 0u);

    // A small buffer gets a part of the line; the rest comes next.
    ASSERT_EQ(PrfFileChgFilePtr(file.f, 7, 0, nullptr), 0);
    ASSERT_EQ(PrfFileGets(file.f, buf, 101, &used), 0);
    EXPECT_EQ(std::string(buf), std::string(100, 'L'));
    EXPECT_EQ(PrfFileTell(file.f), 107u);

    BYTE c = 0;
    ASSERT_EQ(PrfFileChgFilePtr(file.f, -1, 2, nullptr), 0);
    EXPECT_EQ(PrfFileGetch(file.f, &c), 0);
    EXPECT_EQ(c, 'e');
    EXPECT_NE(PrfFileGetch(file.f, &c), 0);          // at the end

    ULONG written = 0;
    EXPECT_EQ(PrfFileWrite(file.f, "x", 1, &written), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(PrfFileNewSize(file.f, 0), ORIN_ERR_ACCESS_DENIED);
    EXPECT_EQ(p.value("T", "text"), text);
}

// ---- Locks --------------------------------------------------------------------------

bool sectionLocked(HPRF h, const char *section)
{
    USHORT rc = PrfLockSection(h, section, FALSE, TRUE);
    if (rc == 0)
        PrfLockSection(h, section, FALSE, FALSE);
    return rc == ORIN_ERR_LOCK_VIOLATION;
}

TEST(PrfFileLocks, NestedLocksCountAndOthersWait)
{
    testutil::ScratchFile disk("pf_locks.prf");
    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, disk.name.c_str(), PRF_OPEN_SHARED), 0);
    ASSERT_EQ(PrfWriteProfileString(h, "S", "K", "data"), 0);
    std::string name = disk.name + ";S~K";
    OpenFile a(name, 0x01, kModeShared), b(name, 0x01, kModeShared);
    ASSERT_EQ(a.rc, 0);
    ASSERT_EQ(b.rc, 0);
    FILELOCK range = {0, 1, 1};

    EXPECT_EQ(PrfFileFileLocks(a.f, &range, nullptr), ORIN_ERR_LOCK_VIOLATION);
    EXPECT_EQ(PrfFileFileLocks(a.f, nullptr, &range), 0);
    EXPECT_TRUE(sectionLocked(h, "S"));
    EXPECT_EQ(PrfFileFileLocks(a.f, nullptr, &range), 0);          // only counts
    EXPECT_EQ(PrfFileFileLocks(a.f, &range, nullptr), 0);
    EXPECT_TRUE(sectionLocked(h, "S"));
    EXPECT_EQ(PrfFileFileLocks(a.f, &range, nullptr), 0);
    EXPECT_FALSE(sectionLocked(h, "S"));

    // Another handle waits for the lock, up to ten attempts half a second apart.
    ASSERT_EQ(PrfFileFileLocks(a.f, nullptr, &range), 0);
    std::thread release([&] {
        Sleep(1200);
        PrfFileFileLocks(a.f, &range, nullptr);
    });
    DWORD t0 = GetTickCount();
    EXPECT_EQ(PrfFileFileLocks(b.f, nullptr, &range), 0);
    release.join();
    EXPECT_GE(GetTickCount() - t0, 1000u);
    t0 = GetTickCount();
    EXPECT_EQ(PrfFileFileLocks(a.f, nullptr, &range), ORIN_ERR_LOCK_VIOLATION);
    EXPECT_GE(GetTickCount() - t0, 4500u);
    EXPECT_EQ(PrfFileFileLocks(b.f, &range, nullptr), 0);
    EXPECT_FALSE(sectionLocked(h, "S"));
    PrfCloseProfile(h);
}

// ---- An index in a profile value ----------------------------------------------------------

TEST(PrfFileVbf, IndexInAProfileValueMatchesAModel)
{
    testutil::ScratchFile disk("pf_index.prf");
    VBFFUNCS *table = PrfFileAllocVbfFuncStruct(nullptr);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->cb, (ULONG_PTR)VBF_FUNCS_SIZE);
    EXPECT_EQ(table->Read, table->ReadDirect);
    EXPECT_EQ(table->QFileInfo, nullptr);
    const std::string name = disk.name + ";Index_1~Tree";
    const USHORT kKeyLength = 12;
    const int kKeys = 100000;
    // Stored keys are the key and the record number (little-endian), in
    // byte order.
    std::set<std::string> model;
    std::mt19937 rng(9);
    ULONG err = 0;
    PIX ix = IxdCreate(name.c_str(), kKeyLength, 0, 0, 0, table, &err);
    ASSERT_NE(ix, nullptr) << err;
    for (int i = 0; i < kKeys; i++) {
        char key[kKeyLength];
        snprintf(key, sizeof key, "%011u", (unsigned)(rng() % 1000000000u));
        ULONG record = (ULONG)i;
        ASSERT_EQ(IxdEnter(ix, key, record, &err), 0) << err;
        model.insert(std::string(key, kKeyLength) + std::string((const char *)&record, 4));
    }
    IxdClose(ix);

    ix = IxdOpen(name.c_str(), kKeyLength, 0, table, &err);
    ASSERT_NE(ix, nullptr) << err;
    char stored[kKeyLength + 4];
    ULONG record = 0;
    auto expected = model.begin();
    size_t walked = 0;
    for (USHORT rc = IxdFirst(ix, stored, &record, &err); rc == 0;
         rc = IxdNext(ix, stored, &record, &err), ++expected, ++walked) {
        ASSERT_NE(expected, model.end());
        ASSERT_EQ(std::string(stored, kKeyLength), expected->substr(0, kKeyLength)) << walked;
        ASSERT_EQ(std::string((const char *)&record, 4), expected->substr(kKeyLength));
    }
    EXPECT_EQ(walked, model.size());
    IxdClose(ix);
    free(table);

    HPRF h = nullptr;
    ASSERT_EQ(PrfOpenProfile(NULL, &h, disk.name.c_str(), PRF_OPEN_READONLY), 0);
    EXPECT_EQ(PrfCheckConsistent(h), 0);
    ULONG size = 0;
    EXPECT_EQ(PrfQueryProfileSize(h, "Index_1", "Tree", &size), 0);
    EXPECT_GT(size, (ULONG)kKeys * kKeyLength);
    PrfCloseProfile(h);
}

}  // namespace
