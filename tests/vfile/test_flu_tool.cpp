// `orin chop` and `orin merge` on real files: the volumes they write and
// join, the progress lines, a file that fits in one volume, damaged
// volumes named in the message, and the exit statuses.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "flutest.h"

using namespace flutest;

namespace {

// Runs a command line; returns the exit status and what it printed on
// standard output and (separately, when asked) on standard error.
int run(const std::string &cmd, std::string *out = nullptr, std::string *err = nullptr)
{
    testutil::CommandResult r = testutil::runCommand(cmd, "flu_tool_stderr.txt");
    if (out)
        *out = r.out;
    if (err)
        *err = r.err;
    return r.status;
}

size_t countOf(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        n++;
    return n;
}

class FluTool : public Scratch {
protected:
    FluTool() : Scratch("flu_tool") {}
};

TEST_F(FluTool, ChopAndMergeAgain)
{
    const std::string src = data(1000, 31);
    ASSERT_TRUE(testutil::writeFile(at("file.bin"), src));
    std::string out, err;
    ASSERT_EQ(run("orin.exe chop " + at("file.bin") + " 400", &out, &err), 0) << err;
    const std::string v[] = {full("file.bin.000"), full("file.bin.001"), full("file.bin.002")};
    EXPECT_EQ(out, v[0] + "\r\n" + v[1] + "\r\n" + v[2] + "\r\n");
    EXPECT_NE(err.find("orin: writing " + v[0] + " (3 left)"), std::string::npos) << err;
    EXPECT_NE(err.find("orin: writing " + v[2] + " (1 left)"), std::string::npos) << err;
    EXPECT_EQ(countOf(err, "orin: writing"), 3u);
    EXPECT_EQ(headerOf(testutil::readFile(v[1])).index, 1u);
    EXPECT_EQ(testutil::readFile(v[2]).size(), 236u);

    ASSERT_EQ(run("orin.exe merge " + at("file.bin.000") + " " + at("back.bin"), &out, &err), 0)
        << err;
    EXPECT_EQ(testutil::readFile(at("back.bin")), src);
    EXPECT_EQ(countOf(err, "orin: reading"), 3u);
    EXPECT_NE(err.find("orin: reading " + v[1]), std::string::npos) << err;
}

TEST_F(FluTool, FileThatFitsIsCopied)
{
    ASSERT_TRUE(testutil::writeFile(at("small.bin"), "just a few bytes"));
    std::string out, err;
    ASSERT_EQ(run("orin.exe chop " + at("small.bin") + " 1000", &out, &err), 0) << err;
    EXPECT_EQ(testutil::readFile(at("small.bin.000")), "just a few bytes");
    EXPECT_NE(err.find("copied"), std::string::npos) << err;
    ASSERT_EQ(run("orin.exe merge " + at("small.bin.000") + " " + at("back.bin")), 0);
    EXPECT_EQ(testutil::readFile(at("back.bin")), "just a few bytes");
}

TEST_F(FluTool, FailuresNameTheVolumeAndTheError)
{
    ASSERT_TRUE(testutil::writeFile(at("file.bin"), data(1000, 32)));
    ASSERT_EQ(run("orin.exe chop " + at("file.bin") + " 400"), 0);
    std::string err;
    patchFile(at("file.bin.002"), 6, std::string("\x07\x00", 2));
    EXPECT_EQ(run("orin.exe merge " + at("file.bin.000") + " " + at("back.bin"), nullptr, &err), 1);
    EXPECT_NE(err.find("orin: " + full("file.bin.002") + ": error 57565 (wrong volume)"),
              std::string::npos) << err;
    EXPECT_FALSE(testutil::fileExists(at("back.bin")));
    EXPECT_EQ(run("orin.exe merge " + at("file.bin.001") + " " + at("back.bin"), nullptr, &err), 1);
    EXPECT_NE(err.find("error 57565"), std::string::npos) << err;
    EXPECT_EQ(run("orin.exe merge " + at("absent.000") + " " + at("back.bin"), nullptr, &err), 1);
    EXPECT_NE(err.find("error 2 "), std::string::npos) << err;
    EXPECT_EQ(run("orin.exe chop " + at("absent") + " 400", nullptr, &err), 1);
    EXPECT_NE(err.find("error 2 (file not found)"), std::string::npos) << err;
    // A folder in the place of volume 1: the chop stops there.
    ASSERT_TRUE(DeleteFileA(at("file.bin.001").c_str()));
    ASSERT_TRUE(CreateDirectoryA(at("file.bin.001").c_str(), nullptr));
    EXPECT_EQ(run("orin.exe chop " + at("file.bin") + " 400", nullptr, &err), 1);
    EXPECT_NE(err.find("orin: " + full("file.bin.001") + ": error "), std::string::npos) << err;
    EXPECT_EQ(countOf(err, "orin: writing"), 2u);
}

TEST_F(FluTool, WrongCommandLines)
{
    ASSERT_TRUE(testutil::writeFile(at("file.bin"), data(1000, 33)));
    for (const char *args : {"chop", "chop FILE", "chop FILE abc", "chop FILE 0", "chop FILE -5",
                             "chop FILE 99999999999", "chop FILE 400 extra", "merge FILE"}) {
        std::string cmd = args;
        size_t at_ = cmd.find("FILE");
        if (at_ != std::string::npos)
            cmd.replace(at_, 4, at("file.bin"));
        std::string err;
        EXPECT_EQ(run("orin.exe " + cmd, nullptr, &err), 2) << args;
        EXPECT_NE(err.find("usage"), std::string::npos) << args;
    }
    std::string out;
    EXPECT_EQ(run("orin.exe --help", &out), 0);
    EXPECT_NE(out.find("chop FILE VOLUMESIZE"), std::string::npos);
    EXPECT_NE(out.find("merge FIRSTVOLUME TARGET"), std::string::npos);
}

}  // namespace
