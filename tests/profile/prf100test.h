/*
 * prf100test.h - helpers for the tests of first-format profiles: such a
 * profile on the in-memory back-end, opened through PrfFal100Handler with
 * an open record, and requests sent to the handler directly.
 */
#ifndef PRF100TEST_H
#define PRF100TEST_H

#include <gtest/gtest.h>
#include <string>
#include "memvbf.h"
#include "prf.h"
#include "prf100file.h"

namespace prf100test {

using prf100file::Bytes;

inline Bytes &bytesOf(const std::string &name)
{
    return memvbf::files()[name].data;
}

/* A first-format profile on the in-memory back-end.  Made from `initial`
 * bytes when given, else fresh (the open creates the file). */
struct MemProfile {
    HPRF h = nullptr;
    USHORT rc = 0;
    std::string name;
    MemProfile(const std::string &n, const Bytes *initial = nullptr, USHORT flags = 0) : name(n)
    {
        memvbf::files().erase(n);
        if (initial)
            bytesOf(n) = *initial;
        rc = open(flags);
    }
    ~MemProfile() { close(); }
    MemProfile(const MemProfile &) = delete;
    MemProfile &operator=(const MemProfile &) = delete;

    USHORT open(USHORT flags = 0, VBFFUNCS *funcs = memvbf::table())
    {
        PRFFALOPEN rec = {nullptr, name.c_str(), 0x0020, flags, funcs};
        USHORT r = PrfOpenHandler(PrfFal100Handler, &rec, &h);
        if (r)
            h = nullptr;
        return r;
    }
    void close()
    {
        if (h)
            Prf100CloseProfile(h);
        h = nullptr;
    }
    USHORT reopen(USHORT flags = 0)
    {
        close();
        return open(flags);
    }
    // The file as it stands once closed (the block-file header of a
    // profile that is not shared is written at close).
    prf100file::Decoded decodeClosed()
    {
        close();
        prf100file::Decoded d = prf100file::decode(bytesOf(name));
        EXPECT_EQ(open(), 0);
        return d;
    }
};

inline PRFREQUEST request(const char *section, const char *key, void *data = nullptr,
                          ULONG size = 0)
{
    PRFREQUEST rq = {};
    rq.section = section;
    rq.key = key;
    rq.data = data;
    rq.size = size;
    return rq;
}

inline ULONG send(HPRF h, PRFCMD msg, void *param)
{
    return PrfFal100Handler(h, msg, param);
}

inline USHORT write(HPRF h, const char *section, const char *key, const std::string &v)
{
    return PrfWriteProfileData(h, section, key, v.data(), (ULONG)v.size());
}

/* A value read whole through the profile calls, or "<error N>". */
inline std::string value(HPRF h, const char *section, const char *key)
{
    ULONG size = 0;
    USHORT rc = PrfQueryProfileSize(h, section, key, &size);
    if (rc)
        return "<error " + std::to_string(rc) + ">";
    std::string v(size, '\0');
    rc = PrfQueryProfileData(h, section, key, v.data(), &size);
    if (rc)
        return "<error " + std::to_string(rc) + ">";
    v.resize(size);
    return v;
}

/* A '~' list through the string query, or "<error N>". */
inline std::string list(HPRF h, const char *section = nullptr)
{
    char buf[8192];
    USHORT rc = PrfQueryProfileString(h, section, nullptr, nullptr, buf, sizeof buf);
    return rc ? "<error " + std::to_string(rc) + ">" : std::string(buf);
}

} // namespace prf100test

#endif
