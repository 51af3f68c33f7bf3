/*
 * arctest.h - helpers for the archive tests: a scratch folder, archive and
 * document handles that close themselves, and short readers of profile
 * values through the archive's own profile handle.
 */
#ifndef ARCTEST_H
#define ARCTEST_H

#include <gtest/gtest.h>
#include <string>
#include "brc.h"
#include "knl.h"
#include "profile/prfdisk.h"

namespace arctest {

using prfdisk::ScratchDir;
using testutil::fileExists;
using testutil::writeFile;
using testutil::readFile;

/* An archive handle closed at the end of the scope. */
struct Archive {
    BrcArchive *a = nullptr;
    Archive() = default;
    explicit Archive(BrcArchive *h) : a(h) {}
    ~Archive() { close(); }
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;
    USHORT close()
    {
        USHORT rc = a ? BrcClose(a) : 0;
        a = nullptr;
        return rc;
    }
    operator BrcArchive *() const { return a; }
    BrcArchive **out() { close(); return &a; }
};

/* A document handle closed at the end of the scope. */
struct Doc {
    BrdDocument *d = nullptr;
    Doc() = default;
    ~Doc() { close(); }
    Doc(const Doc &) = delete;
    Doc &operator=(const Doc &) = delete;
    USHORT close()
    {
        USHORT rc = d ? BrdCloseDocument(d) : 0;
        d = nullptr;
        return rc;
    }
    /* The handle is consumed elsewhere (delete). */
    BrdDocument *release() { BrdDocument *h = d; d = nullptr; return h; }
    operator BrdDocument *() const { return d; }
    BrdDocument **out() { close(); return &d; }
};

inline std::string str(HPRF h, const char *section, const char *key)
{
    char buf[1024] = {};
    if (PrfQueryProfileString(h, section, key, "<none>", buf, sizeof buf) != 0)
        return "<none>";
    return buf;
}

inline int ushort(HPRF h, const char *section, const char *key)
{
    USHORT v = 0;
    return PrfQueryProfileUShort(h, section, key, &v) == 0 ? v : -1;
}

inline std::string fieldValue(BrdDocument *d, const std::string &name)
{
    return prfdisk::value(BrdGetPrfHandle(d), "Doc_" + std::to_string(BrdGetDocNumber(d)),
                          "Value." + name);
}

inline USHORT setText(BrdDocument *d, const char *name, const std::string &value,
                      USHORT type = 'T')
{
    return BrdFldSet(d, name, type, value.data(), ULONG(value.size()), FALSE);
}

}  // namespace arctest

#endif
