/*
 * dbfkill.h - the table of the record-table kill test, as the helper makes
 * it and the test reads it: NAME, 10 characters, and NUM, 6 digits.
 */
#ifndef DBFKILL_H
#define DBFKILL_H

#include "killwork.h"
#include "table/dbxtest.h"

namespace killwork {

constexpr const char *kDbfName = "NAME";
constexpr const char *kDbfNum = "NUM";
inline const DBXFIELDDES kDbfFields[] = {
    dbxtest::field(kDbfName, 'C', USHORT(kDbfNameWidth)),
    dbxtest::field(kDbfNum, 'N', USHORT(kDbfNumWidth)),
};
constexpr USHORT kDbfFieldCount = 2;

}  // namespace killwork

#endif
