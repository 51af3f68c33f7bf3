/*
 * flutest.h - what the chopped-file tests share: a scratch folder of real
 * files per test, reproducible data, the tests' own reading of a volume
 * header (independent of the library's), an event recorder for chop and
 * merge, and the expected volume names worked out by hand.
 */
#ifndef FLUTEST_H
#define FLUTEST_H

#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>
#include "flu.h"
#include "knl.h"
#include "knlnam.h"
#include "testutil.h"

namespace flutest {

inline void *ns()
{
    return KnlNamGetDefaultNS();
}

/* Bytes that differ from position to position, so that a shifted or
 * swapped piece never compares equal by chance. */
inline std::string data(size_t n, unsigned seed = 1)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto &c : s)
        c = static_cast<char>(gen());
    return s;
}

/* The header as the test reads it: magic, index and total size. */
struct Header {
    std::string magic;
    unsigned index = 0;
    unsigned long total = 0;
};

inline Header headerOf(const std::string &file)
{
    Header h;
    if (file.size() < 12)
        return h;
    auto b = [&](size_t i) { return static_cast<unsigned char>(file[i]); };
    h.magic = file.substr(0, 6);
    h.index = b(6) | b(7) << 8;
    h.total = b(8) | b(9) << 8 | b(10) << 16 | static_cast<unsigned long>(b(11)) << 24;
    return h;
}

inline std::string makeHeader(unsigned index, unsigned long total)
{
    std::string h("CHOP1\0", 6);
    h += static_cast<char>(index & 0xFF);
    h += static_cast<char>(index >> 8);
    for (int i = 0; i < 4; i++)
        h += static_cast<char>(total >> (8 * i));
    return h;
}

/* Rewrites bytes of a file in place. */
inline void patchFile(const std::string &name, size_t at, const std::string &bytes)
{
    std::string s = testutil::readFile(name);
    s.replace(at, bytes.size(), bytes);
    ASSERT_TRUE(testutil::writeFile(name, s));
}

inline std::string fullPath(const std::string &name)
{
    char out[MAX_PATH];
    DWORD n = GetFullPathNameA(name.c_str(), sizeof out, out, nullptr);
    return n > 0 && n < sizeof out ? std::string(out) : name;
}

/* The extension of volume n above 0 of a base whose extension starts
 * with `lead`, spelled out from the naming rule. */
inline std::string numberedExt(const std::string &lead, unsigned long n)
{
    char buf[16];
    if (n < 100)
        std::snprintf(buf, sizeof buf, "%s%02lu", lead.c_str(), n);
    else
        std::snprintf(buf, sizeof buf, "%03lu", n >= 1000 ? n - 1000 : n);
    return buf;
}

/* One call of an event callback. */
struct Event {
    USHORT event;
    USHORT volume;
    ULONG value;
    std::string path;
    bool operator==(const Event &o) const
    {
        return event == o.event && volume == o.volume && value == o.value && path == o.path;
    }
};

inline std::ostream &operator<<(std::ostream &os, const Event &e)
{
    return os << "{" << e.event << "," << e.volume << "," << e.value << "," << e.path << "}";
}

/* Records every event; `answer` decides what the callback returns and
 * may rewrite the path. */
struct Recorder {
    std::vector<Event> events;
    std::function<ULONG(const Event &, char *path, ULONG size)> answer;

    static ULONG ORINAPI callback(USHORT event, USHORT volume, ULONG value, char *path,
                                  ULONG size, void *user)
    {
        auto *r = static_cast<Recorder *>(user);
        r->events.push_back({event, volume, value, path});
        return r->answer ? r->answer(r->events.back(), path, size) : 0;
    }
    std::vector<Event> only(USHORT event) const
    {
        std::vector<Event> out;
        for (const auto &e : events)
            if (e.event == event)
                out.push_back(e);
        return out;
    }
};

/* A fresh folder for each test, removed with everything in it after. */
class Scratch : public ::testing::Test {
protected:
    explicit Scratch(std::string folder) : dir_(std::move(folder)) {}
    void SetUp() override
    {
        KnlInitCP();
        KnlInitDBCSEv();
        removeAll();
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
    }
    void TearDown() override { removeAll(); }

    std::string at(const std::string &name) const { return dir_ + "\\" + name; }
    std::string full(const std::string &name) const { return fullPath(at(name)); }
    const std::string &dir() const { return dir_; }

    /* The names of volume 0..count-1 of base "NAME.EXT" in the folder. */
    std::vector<std::string> volumeNames(const std::string &stem, const std::string &ext,
                                         unsigned count) const
    {
        std::vector<std::string> names{full(stem + "." + ext)};
        for (unsigned i = 1; i < count; i++)
            names.push_back(full(stem + "." + numberedExt(ext.substr(0, 1), i)));
        return names;
    }

    /* Chops `content` (written to src.bin) into volumes named base. */
    USHORT chop(const std::string &content, const std::string &base, ULONG volumeSize,
                Recorder *rec = nullptr)
    {
        EXPECT_TRUE(testutil::writeFile(at("src.bin"), content));
        return FluFileChop(ns(), at("src.bin").c_str(), at(base).c_str(), volumeSize,
                           rec ? Recorder::callback : nullptr, rec);
    }

private:
    void removeAll() { removeTree(dir_); }
    static void removeTree(const std::string &d)
    {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((d + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string n = d + "\\" + fd.cFileName;
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA(n.c_str());
                else if (fd.cFileName[0] != '.')
                    removeTree(n);
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(d.c_str());
    }
    std::string dir_;
};

}  // namespace flutest

#endif
