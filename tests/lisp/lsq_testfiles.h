// Whole files written and read back by the stored-query tests.
#ifndef LSQ_TESTFILES_H
#define LSQ_TESTFILES_H

#include <gtest/gtest.h>
#include <cstdio>
#include <string>

inline void writeFile(const std::string &name, const std::string &bytes)
{
    FILE *f = fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr) << name;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::string &name)
{
    std::string b;
    FILE *f = fopen(name.c_str(), "rb");
    if (!f)
        return b;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        b.append(buf, n);
    fclose(f);
    return b;
}

#endif
