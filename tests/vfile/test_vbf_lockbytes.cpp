// A Vbf handle seen as an ILockBytes: the transfer pieces, failures,
// interface identity and reference counting against a scripted back-end,
// and the system's compound-file code as a real client over a stream Vbf.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include <objbase.h>
#include "vbf.h"

namespace {

// A memory file behind a caller-built table, recording transfer sizes.
struct MemFile {
    std::string bytes;
    ULONG pos = 0;
    std::vector<ULONG> pieces;
    ULONG failAfter = 0xFFFFFFFF;    // transfers allowed before failing
    USHORT infoAnswer = 0;
    VBFFILESTATUS info = {};
};
MemFile mem;

USHORT memOpen(ULONG_PTR, const char *, void **b, ULONG *, ULONG, ULONG, ULONG, ULONG, ULONG_PTR)
{
    *b = &mem;
    return 0;
}
USHORT memClose(void *) { return 0; }
USHORT memSeek(void *, LONG d, ULONG m, ULONG *p)
{
    if (m != VBF_FILE_BEGIN)
        return 87;
    mem.pos = (ULONG)d;
    if (p)
        *p = mem.pos;
    return 0;
}
USHORT memRead(void *, void *buf, ULONG n, ULONG *done)
{
    mem.pieces.push_back(n);
    if (mem.failAfter-- == 0)
        return 5;
    ULONG avail = mem.pos < mem.bytes.size() ? (ULONG)mem.bytes.size() - mem.pos : 0;
    ULONG take = n < avail ? n : avail;
    memcpy(buf, mem.bytes.data() + mem.pos, take);
    mem.pos += take;
    if (done)
        *done = take;
    return 0;
}
USHORT memWrite(void *, const void *buf, ULONG n, ULONG *done)
{
    mem.pieces.push_back(n);
    if (mem.failAfter-- == 0)
        return 112;
    if (mem.bytes.size() < mem.pos + n)
        mem.bytes.resize(mem.pos + n);
    memcpy(&mem.bytes[mem.pos], buf, n);
    mem.pos += n;
    if (done)
        *done = n;
    return 0;
}
USHORT memNewSize(void *, ULONG n) { mem.bytes.resize(n); return 0; }
USHORT memFlush(void *) { return 0; }
USHORT memInfo(void *, ULONG, void *buf, ULONG)
{
    memcpy(buf, &mem.info, VBF_FILESTATUS_SIZE);
    return mem.infoAnswer;
}

struct LockBytesOnVbf : ::testing::Test {
    VBFFUNCS table = {};
    HVBF h = nullptr;
    ILockBytes *lb = nullptr;
    void SetUp() override
    {
        mem = MemFile();
        table.cb = VBF_FUNCS_SIZE;
        table.Open = memOpen;
        table.Close = memClose;
        table.ChgFilePtr = memSeek;
        table.Read = memRead;
        table.Write = memWrite;
        table.Flush = memFlush;
        table.NewSize = memNewSize;
        table.QFileInfo = memInfo;
        ASSERT_EQ(VbfOpen(nullptr, "mem", &h, nullptr, 0, 128, 1, 2, &table), 0);
        ASSERT_EQ(VbfCreateILockBytesOnVbf(h, &lb), S_OK);
    }
    void TearDown() override
    {
        if (lb) {
            EXPECT_EQ(lb->Release(), 0u);
        }
        VbfClose(h);
    }
};

ULARGE_INTEGER at(ULONGLONG v)
{
    ULARGE_INTEGER u;
    u.QuadPart = v;
    return u;
}

} // namespace

TEST_F(LockBytesOnVbf, TransfersGoInPiecesOfAtMost16KiB)
{
    std::string data(50000, '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (char)(i * 7 + i / 251);
    ULONG n = 0;
    ASSERT_EQ(lb->WriteAt(at(100), data.data(), 40000, &n), S_OK);
    EXPECT_EQ(n, 40000u);
    EXPECT_EQ(mem.pieces, (std::vector<ULONG>{16384, 16384, 7232}));
    EXPECT_EQ(mem.bytes.substr(100), data.substr(0, 40000));

    mem.pieces.clear();
    std::string back(40000, '\0');
    ASSERT_EQ(lb->ReadAt(at(100), &back[0], 40000, &n), S_OK);
    EXPECT_EQ(n, 40000u);
    EXPECT_EQ(mem.pieces, (std::vector<ULONG>{16384, 16384, 7232}));
    EXPECT_EQ(back, data.substr(0, 40000));

    // The offset's high half is beyond this layer: only the low 32 bits count.
    ASSERT_EQ(lb->ReadAt(at((1ull << 32) + 100), &back[0], 10, &n), S_OK);
    EXPECT_EQ(back.substr(0, 10), data.substr(0, 10));
}

TEST_F(LockBytesOnVbf, ShortOrFailedPieceEndsWithFailAndTheCountMoved)
{
    mem.bytes.assign(20000, 'x');
    std::vector<char> buf(40000);
    ULONG n = 0;
    EXPECT_EQ(lb->ReadAt(at(0), buf.data(), 40000, &n), E_FAIL);
    EXPECT_EQ(n, 20000u);    // one full piece, then a short one

    mem.failAfter = 1;       // second piece fails in the back-end
    mem.pieces.clear();
    EXPECT_EQ(lb->WriteAt(at(0), buf.data(), 40000, &n), E_FAIL);
    EXPECT_EQ(n, 16384u);
    EXPECT_EQ(mem.pieces.size(), 2u);

    EXPECT_EQ(lb->ReadAt(at(0), nullptr, 4, &n), STG_E_INVALIDPOINTER);
}

TEST_F(LockBytesOnVbf, SizeFlushLocksAndStat)
{
    ASSERT_EQ(lb->SetSize(at(1234)), S_OK);
    EXPECT_EQ(mem.bytes.size(), 1234u);
    EXPECT_EQ(lb->Flush(), S_OK);
    EXPECT_EQ(lb->LockRegion(at(0), at(10), LOCK_EXCLUSIVE), S_OK);
    EXPECT_EQ(lb->UnlockRegion(at(0), at(10), LOCK_EXCLUSIVE), S_OK);

    // 2026-12-05 14:30:20 local as FAT words (year counted from 1900).
    mem.info.cbFile = 4321;
    mem.info.fdateLastWrite = 5 | 12 << 5 | (126 << 9);
    mem.info.ftimeLastWrite = 10 | 30 << 5 | 14 << 11;
    STATSTG st;
    ASSERT_EQ(lb->Stat(&st, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(st.type, (DWORD)STGTY_LOCKBYTES);
    EXPECT_EQ(st.cbSize.QuadPart, 4321u);
    EXPECT_EQ(st.pwcsName, nullptr);
    FILETIME local;
    SYSTEMTIME s;
    ASSERT_TRUE(FileTimeToLocalFileTime(&st.mtime, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &s));
    EXPECT_EQ(s.wYear, 2026);
    EXPECT_EQ(s.wMonth, 12);
    EXPECT_EQ(s.wDay, 5);
    EXPECT_EQ(s.wHour, 14);
    EXPECT_EQ(s.wMinute, 30);
    EXPECT_EQ(s.wSecond, 20);
    EXPECT_EQ(st.ctime.dwLowDateTime | st.ctime.dwHighDateTime, 0u);    // date 0: no time

    // A year field below 80 stands for the years from 2028 on.
    mem.info.fdateLastWrite = 1 | 1 << 5 | (2 << 9);
    ASSERT_EQ(lb->Stat(&st, STATFLAG_NONAME), S_OK);
    ASSERT_TRUE(FileTimeToLocalFileTime(&st.mtime, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &s));
    EXPECT_EQ(s.wYear, 2030);

    mem.infoAnswer = 5;
    EXPECT_EQ(lb->Stat(&st, STATFLAG_NONAME), E_FAIL);
    table.NewSize = nullptr;
    EXPECT_EQ(lb->SetSize(at(1)), E_FAIL);
}

TEST_F(LockBytesOnVbf, InterfacesAndReferences)
{
    IUnknown *unk = nullptr;
    ASSERT_EQ(lb->QueryInterface(IID_IUnknown, (void **)&unk), S_OK);
    EXPECT_EQ((void *)unk, (void *)lb);
    ILockBytes *again = nullptr;
    ASSERT_EQ(lb->QueryInterface(IID_ILockBytes, (void **)&again), S_OK);
    EXPECT_EQ(again, lb);
    IStream *st = reinterpret_cast<IStream *>(1);
    EXPECT_EQ(lb->QueryInterface(IID_IStream, (void **)&st), E_NOINTERFACE);
    EXPECT_EQ(st, nullptr);
    EXPECT_EQ(unk->Release(), 2u);
    EXPECT_EQ(again->Release(), 1u);
    EXPECT_EQ(lb->AddRef(), 2u);
    EXPECT_EQ(lb->Release(), 1u);
}

TEST(LockBytesBadInput, NullArguments)
{
    ILockBytes *lb = reinterpret_cast<ILockBytes *>(1);
    EXPECT_EQ(VbfCreateILockBytesOnVbf(nullptr, &lb), E_INVALIDARG);
    EXPECT_EQ(lb, nullptr);
    EXPECT_EQ(VbfCreateILockBytesOnVbf(nullptr, nullptr), E_POINTER);
}

// The system's compound-file code keeps a storage in a stream-backed Vbf;
// reading it back through a second ILockBytes on the same bytes.
TEST(LockBytesClient, CompoundFileInsideStreamVbf)
{
    IStream *mem = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &mem), S_OK);
    HVBF h = VbfCreateOnStream(mem);
    ASSERT_NE(h, nullptr);
    ILockBytes *lb = nullptr;
    ASSERT_EQ(VbfCreateILockBytesOnVbf(h, &lb), S_OK);

    IStorage *stg = nullptr;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(lb, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                           0, &stg), S_OK);
    IStream *part = nullptr;
    ASSERT_EQ(stg->CreateStream(L"Part", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                &part), S_OK);
    std::string payload(10000, 'q');
    ULONG n = 0;
    ASSERT_EQ(part->Write(payload.data(), (ULONG)payload.size(), &n), S_OK);
    part->Release();
    ASSERT_EQ(stg->Commit(STGC_DEFAULT), S_OK);
    stg->Release();

    ULONG len = 0;
    ASSERT_EQ(VbfQueryLength(h, &len), 0);
    EXPECT_GE(len, 10000u);
    BYTE magic[8];
    ASSERT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfRead(h, magic, 8, nullptr), 0);
    const BYTE docMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    EXPECT_EQ(memcmp(magic, docMagic, 8), 0);

    ASSERT_EQ(StgOpenStorageOnILockBytes(lb, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                         &stg), S_OK);
    ASSERT_EQ(stg->OpenStream(L"Part", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &part), S_OK);
    std::string back(10000, '\0');
    ASSERT_EQ(part->Read(&back[0], 10000, &n), S_OK);
    EXPECT_EQ(back, payload);
    part->Release();
    stg->Release();
    EXPECT_EQ(lb->Release(), 0u);
    EXPECT_EQ(VbfClose(h), 0);
    mem->Release();
}
