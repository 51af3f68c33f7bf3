/*
 * abd_format.cpp - decoding of the table description file (layout in
 * abd_format.h and ocdbx.h).
 */
#include <cstring>
#include <fstream>
#include "table/abd_format.h"

namespace orin::table {
namespace {

struct Layout {
    size_t indexCountAt, fieldCountAt, indexesAt, indexSize;
};

constexpr char MAGIC[4] = {'A', 'B', 'D', '1'};
constexpr size_t VERSION_AT = 4;
constexpr Layout VERSION_00 = {140, 142, 144, 129};
constexpr Layout VERSION_01 = {530, 532, 536, 519};
constexpr size_t FIELD_SIZE = 20;

uint16_t u16(const std::vector<uint8_t> &b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

DBXFIELDDES decodeField(const uint8_t *p)
{
    DBXFIELDDES f{};
    std::memcpy(f.name, p, DBX_FIELD_NAME);
    f.name[DBX_FIELD_NAME - 1] = 0;
    f.type = char(p[11]);
    f.length = uint16_t(p[12] | (p[13] << 8));
    f.decimals = uint16_t(p[14] | (p[15] << 8));
    f.offset = uint16_t(p[16] | (p[17] << 8));
    f.typeClass = uint16_t(p[18] | (p[19] << 8));
    return f;
}

}  // namespace

std::vector<std::string> braceNames(const char *text)
{
    std::vector<std::string> names;
    for (const char *p = text; (p = std::strchr(p, '{')) != nullptr;) {
        const char *end = std::strchr(p, '}');
        if (end == nullptr)
            break;
        names.emplace_back(p + 1, std::min<size_t>(end - p - 1, ABD_MAX_NAME));
        p = end + 1;
    }
    return names;
}

bool decodeDescription(const std::vector<uint8_t> &b, AbdDescription &out)
{
    if (b.size() < VERSION_AT + 2 || std::memcmp(b.data(), MAGIC, sizeof MAGIC) != 0)
        return false;
    const Layout *layout = b[4] == '0' && b[5] == '0' ? &VERSION_00
                         : b[4] == '0' && b[5] == '1' ? &VERSION_01 : nullptr;
    if (layout == nullptr || b.size() < layout->indexesAt)
        return false;
    size_t nIndexes = u16(b, layout->indexCountAt), nFields = u16(b, layout->fieldCountAt);
    size_t fieldsAt = layout->indexesAt + nIndexes * layout->indexSize;
    if (b.size() < fieldsAt + nFields * FIELD_SIZE)
        return false;
    out = AbdDescription{};
    for (size_t i = 0; i < nIndexes; ++i) {
        const uint8_t *d = b.data() + layout->indexesAt + i * layout->indexSize;
        std::string text(reinterpret_cast<const char *>(d), strnlen(reinterpret_cast<const char *>(d),
                                                                    layout->indexSize - 1));
        out.indexes.push_back({braceNames(text.c_str()), d[layout->indexSize - 1] != 0});
    }
    for (size_t i = 0; i < nFields; ++i)
        out.fields.push_back(decodeField(b.data() + fieldsAt + i * FIELD_SIZE));
    return true;
}

bool readDescription(const char *fileName, AbdDescription &out)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return false;
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return decodeDescription(b, out);
}

}  // namespace orin::table
