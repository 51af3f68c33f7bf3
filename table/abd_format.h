/*
 * abd_format.h - the table description file (name + ".abd") read by
 * OcDbx::Open: magic "ABD1", version "00" or "01", index descriptions
 * (brace lists of field names plus a flag byte) and field descriptions.
 * Version 00 files are read into the version 01 form.
 */
#ifndef TABLE_ABD_FORMAT_H
#define TABLE_ABD_FORMAT_H

#include <string>
#include <vector>
#include "dbx.h"

namespace orin::table {

struct AbdIndex {
    std::vector<std::string> fields;   /* names from the brace list */
    bool unique = false;               /* the flag byte is non-zero */
};

struct AbdDescription {
    std::vector<AbdIndex> indexes;
    std::vector<DBXFIELDDES> fields;
};

constexpr size_t ABD_MAX_NAME = 9;     /* characters of one brace-enclosed name */

/* False when the file is missing, damaged or of an unknown version. */
bool readDescription(const char *fileName, AbdDescription &out);
bool decodeDescription(const std::vector<uint8_t> &file, AbdDescription &out);
std::vector<std::string> braceNames(const char *text);

}  // namespace orin::table

#endif
