/*
 * testutil.h - small helpers shared by the test programs: scratch files
 * in the working directory and whole-file reads.
 */
#ifndef TESTUTIL_H
#define TESTUTIL_H

#include <windows.h>
#include <string>
#include <cstdio>

namespace testutil {

inline std::string readFile(const std::string &name)
{
    std::string out;
    FILE *f = fopen(name.c_str(), "rb");
    if (!f)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

inline bool writeFile(const std::string &name, const std::string &data)
{
    FILE *f = fopen(name.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

inline bool fileExists(const std::string &name)
{
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

/* Removes a file when the scope ends. */
struct ScratchFile {
    std::string name;
    explicit ScratchFile(std::string n) : name(std::move(n)) { DeleteFileA(name.c_str()); }
    ~ScratchFile() { DeleteFileA(name.c_str()); }
};

} // namespace testutil

#endif
