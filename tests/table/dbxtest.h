/*
 * dbxtest.h - what the table tests share: a field descriptor made from its
 * name, type, length and decimals.
 */
#ifndef DBXTEST_H
#define DBXTEST_H

#include <cstring>
#include "dbx.h"

namespace dbxtest {

inline DBXFIELDDES field(const char *name, char type, USHORT length, USHORT decimals = 0)
{
    DBXFIELDDES f{};
    std::strncpy(f.name, name, sizeof f.name - 1);
    f.type = type;
    f.length = length;
    f.decimals = decimals;
    return f;
}

}  // namespace dbxtest

#endif
