/*
 * dbf_format.h - the dBase III table file layout, declared once for the
 * reader and the writer.
 *
 * Header (32 bytes): version (3, bit 7 with a memo field), last update as
 * year mod 100, month, day; record count u32 at 4; header length u16 at 8;
 * record length u16 at 10; byte 14 the transaction flag; the rest zero.
 * Then one 32-byte descriptor per field (name zero-padded in bytes 0-10,
 * type at 11, length at 16, decimals at 17) and the terminator 0x0D.
 */
#ifndef TABLE_DBF_FORMAT_H
#define TABLE_DBF_FORMAT_H

#include <cstdint>
#include <vector>
#include "dbx.h"

namespace orin::table {

constexpr uint32_t HEADER_SIZE = 32;
constexpr uint32_t DESCRIPTOR_SIZE = 32;
constexpr uint8_t  HEADER_END = 0x0D;
constexpr uint8_t  END_OF_DATA = 0x1A;
constexpr uint8_t  VERSION_DBASE3 = 0x03;
constexpr uint8_t  VERSION_MEMO_BIT = 0x80;
constexpr uint32_t COUNT_OFFSET = 4;
constexpr uint32_t COUNT_SIZE = 4;
constexpr uint32_t DATE_OFFSET = 1;
constexpr uint32_t TRANSACTION_OFFSET = 14;
constexpr uint32_t NAME_LENGTH = 10;
constexpr uint32_t MAX_FIELDS = 1024;

struct DbfHeader {
    uint8_t  version = VERSION_DBASE3;
    uint8_t  year = 0, month = 0, day = 0;
    uint32_t count = 0;
    uint16_t headerLength = 0;
    uint16_t recordLength = 0;
    uint8_t  transaction = 0;
};

void encodeHeader(const DbfHeader &h, uint8_t out[HEADER_SIZE]);
DbfHeader decodeHeader(const uint8_t in[HEADER_SIZE]);

void encodeDescriptor(const DBXFIELDDES &f, uint8_t out[DESCRIPTOR_SIZE]);
DBXFIELDDES decodeDescriptor(const uint8_t in[DESCRIPTOR_SIZE]);

USHORT typeClassOf(char type);
bool isMemo(char type);

/* The descriptors of a header area (bytes after the 32-byte header, up to
 * the header length); false when they are damaged. Offsets are assigned
 * from 1 (after the delete mark). */
bool decodeDescriptors(const uint8_t *area, size_t size, std::vector<DBXFIELDDES> &fields);

/* A new file's header area for these fields (names upper-cased). */
std::vector<uint8_t> encodeNewFile(std::vector<DBXFIELDDES> &fields, uint8_t year, uint8_t month,
                                   uint8_t day);

}  // namespace orin::table

#endif
