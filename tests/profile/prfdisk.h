/*
 * prfdisk.h - helpers for the tests of the maintenance calls, which work
 * on profile files on disk by name: a scratch folder that is emptied and
 * removed at the end, a profile handle that closes itself, and the whole
 * contents of a profile read into plain maps for comparison.
 */
#ifndef PRFDISK_H
#define PRFDISK_H

#include <gtest/gtest.h>
#include <windows.h>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "prf.h"
#include "testutil.h"

namespace prfdisk {

/* A folder of its own for one test; whatever is left in it goes with it. */
class ScratchDir {
public:
    explicit ScratchDir(std::string name) : dir_(std::move(name))
    {
        clear();
        CreateDirectoryA(dir_.c_str(), NULL);
    }
    ~ScratchDir()
    {
        clear();
        RemoveDirectoryA(dir_.c_str());
    }
    std::string path(const std::string &file) const { return dir_ + "\\" + file; }

    // The names of the files in the folder, sorted.
    std::set<std::string> files() const
    {
        std::set<std::string> out;
        WIN32_FIND_DATAA fd;
        HANDLE f = FindFirstFileA((dir_ + "\\*").c_str(), &fd);
        if (f == INVALID_HANDLE_VALUE)
            return out;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                out.insert(fd.cFileName);
        } while (FindNextFileA(f, &fd));
        FindClose(f);
        return out;
    }

private:
    void clear() const
    {
        for (const std::string &f : files())
            DeleteFileA(path(f).c_str());
    }
    std::string dir_;
};

/* A profile on disk, opened by name. */
struct DiskProfile {
    HPRF h = nullptr;
    USHORT rc;
    explicit DiskProfile(const std::string &name, USHORT flags = 0)
    {
        rc = PrfOpenProfile(nullptr, &h, name.c_str(), flags);
        if (rc)
            h = nullptr;
    }
    ~DiskProfile()
    {
        if (h)
            PrfCloseProfile(h);
    }
    DiskProfile(const DiskProfile &) = delete;
    DiskProfile &operator=(const DiskProfile &) = delete;
};

/* The names of a '~' list (sections, or the keys of a section). */
inline std::vector<std::string> names(HPRF h, const char *section)
{
    std::vector<std::string> out;
    ULONG size = 0;
    if (PrfQueryProfileSize(h, section, nullptr, &size) != 0)
        return out;
    std::string list(size, '\0');
    if (PrfQueryProfileData(h, section, nullptr, list.data(), &size) != 0)
        return out;
    list.resize(size);
    size_t p = 0, sep;
    while ((sep = list.find('~', p)) != std::string::npos) {
        out.emplace_back(list, p, sep - p);
        p = sep + 1;
    }
    return out;
}

inline std::string value(HPRF h, const std::string &section, const std::string &key)
{
    ULONG size = 0;
    if (PrfQueryProfileSize(h, section.c_str(), key.c_str(), &size) != 0)
        return "<missing>";
    std::string v(size, '\0');
    ULONG n = size;
    EXPECT_EQ(PrfQueryProfileData(h, section.c_str(), key.c_str(), v.data(), &n), 0);
    v.resize(n);
    return v;
}

/* Every section (with or without keys) and every value of a profile. */
using Contents = std::map<std::string, std::map<std::string, std::string>>;

inline Contents contents(HPRF h)
{
    Contents out;
    for (const std::string &s : names(h, nullptr)) {
        auto &keys = out[s];
        for (const std::string &k : names(h, s.c_str()))
            keys[k] = value(h, s, k);
    }
    return out;
}

inline Contents contentsOf(const std::string &file)
{
    DiskProfile p(file, PRF_OPEN_READONLY);
    EXPECT_EQ(p.rc, 0) << file;
    return p.h ? contents(p.h) : Contents();
}

/* The first few differences between two contents, briefly; empty when
 * they are equal.  (Whole contents are too long for a failure message.) */
inline std::string differences(const Contents &want, const Contents &got)
{
    std::string out;
    int left = 5;
    auto note = [&](const std::string &what) {
        if (left-- > 0)
            out += what + "; ";
    };
    for (const auto &[s, keys] : want) {
        auto g = got.find(s);
        if (g == got.end()) {
            note("section [" + s + "] missing");
            continue;
        }
        for (const auto &[k, v] : keys) {
            auto gk = g->second.find(k);
            if (gk == g->second.end())
                note("[" + s + "] " + k + " missing");
            else if (gk->second != v)
                note("[" + s + "] " + k + ": " + std::to_string(gk->second.size())
                     + " bytes, not the " + std::to_string(v.size()) + " written");
        }
        for (const auto &kv : g->second)
            if (!keys.count(kv.first))
                note("[" + s + "] " + kv.first + " not expected");
    }
    for (const auto &kv : got)
        if (!want.count(kv.first))
            note("section [" + kv.first + "] not expected");
    return out;
}

/* Writes every section and value; sections without keys are created. */
inline void store(const std::string &file, const Contents &c)
{
    DiskProfile p(file);
    ASSERT_EQ(p.rc, 0) << file;
    for (const auto &[section, keys] : c) {
        if (keys.empty()) {
            ASSERT_EQ(PrfCreateSection(p.h, section.c_str()), 0) << section;
        }
        for (const auto &[key, v] : keys)
            ASSERT_EQ(PrfWriteProfileData(p.h, section.c_str(), key.c_str(), v.data(),
                                          (ULONG)v.size()), 0) << section << "/" << key;
    }
}

} // namespace prfdisk

#endif
