// A Vbf handle over a real OLE stream (CreateStreamOnHGlobal): transfers,
// positioning, lengths, the slots a stream lacks, failures as 65535 and the
// stream's reference count.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <objbase.h>
#include <shlwapi.h>
#include "testutil.h"
#include "vbf.h"

namespace {

struct StreamVbf : ::testing::Test {
    IStream *stream = nullptr;
    HVBF h = nullptr;
    void SetUp() override
    {
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
        h = VbfCreateOnStream(stream);
        ASSERT_NE(h, nullptr);
    }
    void TearDown() override
    {
        if (h)
            VbfClose(h);
        if (stream)
            stream->Release();
    }
    std::string streamBytes()
    {
        STATSTG st;
        stream->Stat(&st, STATFLAG_NONAME);
        std::string out(st.cbSize.LowPart, '\0');
        LARGE_INTEGER zero = {};
        ULARGE_INTEGER old;
        LARGE_INTEGER cur = {};
        stream->Seek(cur, STREAM_SEEK_CUR, &old);
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        ULONG got = 0;
        stream->Read(&out[0], (ULONG)out.size(), &got);
        LARGE_INTEGER back;
        back.QuadPart = (LONGLONG)old.QuadPart;
        stream->Seek(back, STREAM_SEEK_SET, nullptr);
        return out;
    }
};

} // namespace

TEST_F(StreamVbf, WritesReadsAndSeeksThroughTheStream)
{
    const char text[] = "hello, stream";
    ULONG n = 0;
    ASSERT_EQ(VbfWrite(h, text, 13, &n), 0);
    EXPECT_EQ(n, 13u);
    EXPECT_EQ(streamBytes(), "hello, stream");
    EXPECT_EQ(VbfTell(h), 13u);

    ULONG pos = 0;
    ASSERT_EQ(VbfChgFilePtr(h, -6, VBF_FILE_END, &pos), 0);
    EXPECT_EQ(pos, 7u);
    char buf[16] = {};
    ASSERT_EQ(VbfRead(h, buf, 6, &n), 0);
    EXPECT_STREQ(buf, "stream");
    ASSERT_EQ(VbfChgFilePtr(h, 2, VBF_FILE_BEGIN, &pos), 0);
    ASSERT_EQ(VbfChgFilePtr(h, 3, VBF_FILE_CURRENT, &pos), 0);
    EXPECT_EQ(pos, 5u);
    BYTE ch = 0;
    ASSERT_EQ(VbfGetch(h, &ch), 0);
    EXPECT_EQ(ch, ',');
    memset(buf, 0, sizeof buf);
    ASSERT_EQ(VbfReadDirect(h, buf, 3, &n), 0);
    EXPECT_STREQ(buf, " st");

    // Overwrite in the middle: the stream holds the patched bytes.
    ASSERT_EQ(VbfChgFilePtr(h, 0, VBF_FILE_BEGIN, nullptr), 0);
    ASSERT_EQ(VbfWrite(h, "J", 1, nullptr), 0);
    EXPECT_EQ(streamBytes(), "Jello, stream");
}

TEST_F(StreamVbf, ShortReadsAndEndOfStreamAreFailures)
{
    ASSERT_EQ(VbfWrite(h, "abc", 3, nullptr), 0);
    ASSERT_EQ(VbfChgFilePtr(h, 1, VBF_FILE_BEGIN, nullptr), 0);
    char buf[8];
    ULONG n = 99;
    EXPECT_EQ(VbfRead(h, buf, 8, &n), VBF_ERR_STREAM);
    EXPECT_EQ(n, 2u);    // what the stream did deliver
    BYTE ch;
    EXPECT_EQ(VbfGetch(h, &ch), VBF_ERR_STREAM);
    EXPECT_EQ(VbfChgFilePtr(h, 0, 7, nullptr), VBF_ERR_STREAM);    // no such method
    EXPECT_EQ(VbfQueryFilename(h, buf, sizeof buf), VBF_ERR_STREAM);
}

TEST_F(StreamVbf, LengthsAndFileInformation)
{
    ULONG len = 0;
    ASSERT_EQ(VbfNewSize(h, 5000), 0);
    ASSERT_EQ(VbfQueryLength(h, &len), 0);
    EXPECT_EQ(len, 5000u);
    ASSERT_EQ(VbfNewSize(h, 100), 0);
    ASSERT_EQ(VbfQueryLength(h, &len), 0);
    EXPECT_EQ(len, 100u);
    EXPECT_EQ(VbfFlush(h), 0);

    BYTE info[40];
    memset(info, 0xAB, sizeof info);
    EXPECT_EQ(VbfQFileInfo(h, 2, info, sizeof info), ORIN_ERR_INVALID_LEVEL);
    EXPECT_EQ(VbfQFileInfo(h, 1, info, 33), ORIN_ERR_INVALID_PARAM);
    ASSERT_EQ(VbfQFileInfo(h, 1, info, 34), 0);
    VBFFILESTATUS fs;
    memcpy(&fs, info, sizeof fs);
    EXPECT_EQ(fs.cbFile, 100u);
    EXPECT_EQ(fs.cbFileAlloc, 100u);
    EXPECT_EQ(fs.attrFile, 0);
    EXPECT_EQ(info[34], 0xAB) << "wrote past the 34-byte record";
    EXPECT_EQ(fs.fdateLastWrite, 0u);    // memory streams carry no times
}

// A stream over a file carries the file's times: they come out as FAT
// words in local time with the year counted from 1900.
TEST(StreamVbfTimes, FileStreamTimesBecomeFatWords)
{
    testutil::ScratchFile f("vbf_stream_times.bin");
    ASSERT_TRUE(testutil::writeFile(f.name, std::string(3000, 'z')));
    IStream *s = nullptr;
    ASSERT_EQ(SHCreateStreamOnFileA(f.name.c_str(), STGM_READ, &s), S_OK);
    HVBF h = VbfCreateOnStream(s);
    ASSERT_NE(h, nullptr);
    VBFFILESTATUS fs;
    ASSERT_EQ(VbfQFileInfo(h, 1, &fs, sizeof fs), 0);
    EXPECT_EQ(fs.cbFile, 3000u);

    WIN32_FILE_ATTRIBUTE_DATA attr;
    ASSERT_TRUE(GetFileAttributesExA(f.name.c_str(), GetFileExInfoStandard, &attr));
    FILETIME local;
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToLocalFileTime(&attr.ftLastWriteTime, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
    EXPECT_EQ(fs.fdateLastWrite, (ULONG)(st.wDay | st.wMonth << 5 | ((st.wYear - 1900) % 128) << 9));
    EXPECT_EQ(fs.ftimeLastWrite, (ULONG)(st.wSecond / 2 | st.wMinute << 5 | st.wHour << 11));
    EXPECT_EQ(VbfClose(h), 0);
    s->Release();
}

TEST_F(StreamVbf, StreamLacksLinesLocksAttributesAndViews)
{
    char buf[8];
    ULONG n;
    void *view;
    FILELOCK lock = {0, 10, 1};
    EXPECT_EQ(VbfGets(h, buf, sizeof buf, &n), 50);
    EXPECT_EQ(VbfSetFileInfo(h, 1, buf, sizeof buf), 50);
    EXPECT_EQ(VbfMapViewOfFile(h, &view, 1, 0, 0), 50);
    EXPECT_EQ(VbfUnmapViewOfFile(h), 50);
    EXPECT_EQ(VbfFileLocks(h, nullptr, &lock), 0);
    EXPECT_EQ(VbfFileLocksEx(h, &lock, &lock), 0);    // falls back to FileLocks
}

TEST_F(StreamVbf, HandleHoldsOneReferenceUntilClose)
{
    // Our reference and the handle's: AddRef now yields 3.
    EXPECT_EQ(stream->AddRef(), 3u);
    EXPECT_EQ(stream->Release(), 2u);
    EXPECT_EQ(VbfClose(h), 0);
    h = nullptr;
    EXPECT_EQ(stream->AddRef(), 2u);
    EXPECT_EQ(stream->Release(), 1u);
}

TEST(StreamVbfBadInput, NullStreamGivesNullHandle)
{
    EXPECT_EQ(VbfCreateOnStream(nullptr), nullptr);
}
