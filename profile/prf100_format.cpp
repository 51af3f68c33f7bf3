/*
 * prf100_format.cpp - the header and the name lists of first-format
 * profiles; see prf100_format.h.
 *
 * Records are read and written byte by byte in little-endian order, so a
 * list needs no alignment and the layout does not depend on the compiler.
 */
#include <string.h>
#include "profile/prf100_format.h"
#include "prf.h"

namespace orin::prf100 {

namespace {

ULONG readU16(const BYTE *p) { return (ULONG)p[0] | (ULONG)p[1] << 8; }

ULONG readU32(const BYTE *p)
{
    return (ULONG)p[0] | (ULONG)p[1] << 8 | (ULONG)p[2] << 16 | (ULONG)p[3] << 24;
}

void writeU16(BYTE *p, ULONG v)
{
    p[0] = (BYTE)v;
    p[1] = (BYTE)(v >> 8);
}

void writeU32(BYTE *p, ULONG v)
{
    writeU16(p, v);
    writeU16(p + 2, v >> 16);
}

}  // namespace

Header freshHeader()
{
    Header hdr;
    memcpy(hdr.version, kVersion, sizeof kVersion);
    hdr.sectionList = 0;
    return hdr;
}

bool hasVersion(const Header &hdr)
{
    return memcmp(hdr.version, kVersion, kVersionCompare) == 0;
}

USHORT NameList::assign(std::vector<BYTE> bytes)
{
    std::vector<size_t> starts;
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < kRecordFixed)
            break;
        ULONG length = readU16(&bytes[pos]);
        if (length == 0 || bytes.size() - pos - kRecordFixed < length)
            break;
        starts.push_back(pos);
        pos += kRecordFixed + length;
    }
    bytes_.clear();
    starts_.clear();
    if (pos != bytes.size())
        return PRF_ERR_CURSOR;
    bytes_ = std::move(bytes);
    starts_ = std::move(starts);
    return 0;
}

std::string_view NameList::name(size_t i) const
{
    const BYTE *p = &bytes_[starts_[i]];
    return std::string_view(reinterpret_cast<const char *>(p + 2), readU16(p));
}

size_t NameList::targetAt(size_t i) const
{
    return starts_[i] + 2 + readU16(&bytes_[starts_[i]]);
}

ULONG NameList::target(size_t i) const
{
    return readU32(&bytes_[targetAt(i)]);
}

void NameList::setTarget(size_t i, ULONG target)
{
    writeU32(&bytes_[targetAt(i)], target);
}

size_t NameList::find(std::string_view wanted) const
{
    for (size_t i = 0; i < starts_.size(); i++)
        if (name(i) == wanted)
            return i;
    return npos;
}

USHORT NameList::append(std::string_view name, ULONG target)
{
    if (name.empty() || name.size() > kMaxBlockData
        || bytes_.size() + kRecordFixed + name.size() > kMaxBlockData)
        return ORIN_ERR_NO_MEMORY;
    size_t start = bytes_.size();
    bytes_.resize(start + kRecordFixed + name.size());
    writeU16(&bytes_[start], (ULONG)name.size());
    memcpy(&bytes_[start + 2], name.data(), name.size());
    writeU32(&bytes_[start + 2 + name.size()], target);
    starts_.push_back(start);
    return 0;
}

void NameList::remove(size_t i)
{
    size_t start = starts_[i];
    size_t length = kRecordFixed + readU16(&bytes_[start]);
    bytes_.erase(bytes_.begin() + start, bytes_.begin() + start + length);
    starts_.erase(starts_.begin() + i);
    for (size_t j = i; j < starts_.size(); j++)
        starts_[j] -= length;
}

}  // namespace orin::prf100
