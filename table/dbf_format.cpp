/*
 * dbf_format.cpp - encoding and decoding of the dBase III header and field
 * descriptors (layout in dbf_format.h).
 */
#include <cctype>
#include <cstring>
#include "table/dbf_format.h"

namespace orin::table {
namespace {

constexpr uint32_t TYPE_OFFSET = 11;
constexpr uint32_t LENGTH_OFFSET = 16;
constexpr uint32_t DECIMALS_OFFSET = 17;
constexpr uint32_t HEADER_LENGTH_OFFSET = 8;
constexpr uint32_t RECORD_LENGTH_OFFSET = 10;

void putU16(uint8_t *p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void putU32(uint8_t *p, uint32_t v) { putU16(p, uint16_t(v)); putU16(p + 2, uint16_t(v >> 16)); }
uint16_t getU16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t getU32(const uint8_t *p) { return getU16(p) | (uint32_t(getU16(p + 2)) << 16); }

}  // namespace

void encodeHeader(const DbfHeader &h, uint8_t out[HEADER_SIZE])
{
    std::memset(out, 0, HEADER_SIZE);
    out[0] = h.version;
    out[DATE_OFFSET] = h.year;
    out[DATE_OFFSET + 1] = h.month;
    out[DATE_OFFSET + 2] = h.day;
    putU32(out + COUNT_OFFSET, h.count);
    putU16(out + HEADER_LENGTH_OFFSET, h.headerLength);
    putU16(out + RECORD_LENGTH_OFFSET, h.recordLength);
    out[TRANSACTION_OFFSET] = h.transaction;
}

DbfHeader decodeHeader(const uint8_t in[HEADER_SIZE])
{
    DbfHeader h;
    h.version = in[0];
    h.year = in[DATE_OFFSET];
    h.month = in[DATE_OFFSET + 1];
    h.day = in[DATE_OFFSET + 2];
    h.count = getU32(in + COUNT_OFFSET);
    h.headerLength = getU16(in + HEADER_LENGTH_OFFSET);
    h.recordLength = getU16(in + RECORD_LENGTH_OFFSET);
    h.transaction = in[TRANSACTION_OFFSET];
    return h;
}

void encodeDescriptor(const DBXFIELDDES &f, uint8_t out[DESCRIPTOR_SIZE])
{
    std::memset(out, 0, DESCRIPTOR_SIZE);
    for (uint32_t i = 0; i < NAME_LENGTH && f.name[i]; ++i)
        out[i] = uint8_t(std::toupper(uint8_t(f.name[i])));
    out[TYPE_OFFSET] = uint8_t(f.type);
    out[LENGTH_OFFSET] = uint8_t(f.length);
    out[DECIMALS_OFFSET] = uint8_t(f.decimals);
}

DBXFIELDDES decodeDescriptor(const uint8_t in[DESCRIPTOR_SIZE])
{
    DBXFIELDDES f{};
    std::memcpy(f.name, in, NAME_LENGTH);
    f.name[NAME_LENGTH] = 0;
    f.type = char(in[TYPE_OFFSET]);
    f.length = in[LENGTH_OFFSET];
    f.decimals = in[DECIMALS_OFFSET];
    f.typeClass = typeClassOf(f.type);
    return f;
}

USHORT typeClassOf(char type)
{
    switch (std::toupper(uint8_t(type))) {
    case 'C': case 'M': return DBX_CLASS_CHAR;
    case 'D': return DBX_CLASS_DATE;
    case 'L': return DBX_CLASS_LOGICAL;
    case 'N': return DBX_CLASS_NUMERIC;
    default: return DBX_CLASS_OTHER;
    }
}

bool isMemo(char type)
{
    return std::toupper(uint8_t(type)) == 'M';
}

bool decodeDescriptors(const uint8_t *area, size_t size, std::vector<DBXFIELDDES> &fields)
{
    uint32_t offset = 1;

    fields.clear();
    for (size_t at = 0; at < size && area[at] != HEADER_END; at += DESCRIPTOR_SIZE) {
        if (at + DESCRIPTOR_SIZE > size || fields.size() >= MAX_FIELDS)
            return false;
        DBXFIELDDES f = decodeDescriptor(area + at);
        if (f.length == 0)
            return false;
        f.offset = uint16_t(offset);
        offset += f.length;
        fields.push_back(f);
    }
    return !fields.empty() && offset <= 0xFFFF;
}

std::vector<uint8_t> encodeNewFile(std::vector<DBXFIELDDES> &fields, uint8_t year, uint8_t month,
                                   uint8_t day)
{
    DbfHeader h;
    uint32_t offset = 1;
    bool memo = false;

    for (auto &f : fields) {
        for (auto &c : f.name)
            c = char(std::toupper(uint8_t(c)));
        f.offset = uint16_t(offset);
        f.typeClass = typeClassOf(f.type);
        offset += f.length;
        memo = memo || isMemo(f.type);
    }
    h.version = uint8_t(VERSION_DBASE3 | (memo ? VERSION_MEMO_BIT : 0));
    h.year = year;
    h.month = month;
    h.day = day;
    h.headerLength = uint16_t(HEADER_SIZE + DESCRIPTOR_SIZE * fields.size() + 1);
    h.recordLength = uint16_t(offset);
    std::vector<uint8_t> out(h.headerLength + 1);
    encodeHeader(h, out.data());
    for (size_t i = 0; i < fields.size(); ++i)
        encodeDescriptor(fields[i], out.data() + HEADER_SIZE + i * DESCRIPTOR_SIZE);
    out[h.headerLength - 1] = HEADER_END;
    out[h.headerLength] = END_OF_DATA;
    return out;
}

}  // namespace orin::table
