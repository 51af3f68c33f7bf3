/*
 * arc_names.cpp - names of the archive's sections, keys and in-profile
 * files, the header's slot counts, and the 14-digit date-time stamps.
 */
#include "archive/arcint.h"

#include <cstdio>
#include <cstring>

#include "dat.h"
#include "dos.h"

namespace orin::arc {

static std::string numbered(const char *prefix, USHORT number)
{
    char name[16];
    snprintf(name, sizeof name, "%s%u", prefix, number);
    return name;
}

std::string docSection(USHORT number) { return numbered("Doc_", number); }
std::string indexSection(USHORT number) { return numbered("Index_", number); }
std::string viewSection(USHORT number) { return numbered("View_", number); }

std::string infoKey(std::string_view field)
{
    return "Info." + std::string(field);
}

std::string valueKey(std::string_view field)
{
    return "Value." + std::string(field);
}

std::string profileFileName(HPRF profile, std::string_view section, std::string_view key)
{
    char handle[20];
    snprintf(handle, sizeof handle, "%016llx", (unsigned long long)(ULONG_PTR)profile);
    std::string name = "@PRFHANDLE@";
    name += handle;
    name += ';';
    name += section;
    name += '~';
    name += key;
    return name;
}

bool sectionExists(HPRF profile, const char *section) noexcept
{
    ULONG size = 0;
    return PrfQueryProfileSize(profile, section, nullptr, &size) == 0;
}

USHORT readHeaderCount(BrcArchive &archive, const char *key, USHORT *value) noexcept
{
    *value = 0;
    return PrfQueryProfileUShort(archive.profile, kHeader, key, value);
}

USHORT writeHeaderCount(BrcArchive &archive, const char *key, USHORT value) noexcept
{
    return PrfWriteProfileUShort(archive.profile, kHeader, key, value);
}

USHORT lockHeader(BrcArchive &archive, bool lock) noexcept
{
    if (!archive.shared())
        return 0;
    return PrfLockSection(archive.profile, kHeader, FALSE, lock);
}

std::string dateTimeStamp(const DATETIME *dt)
{
    DATETIME now;
    if (dt == nullptr) {
        DosGetDateTime(&now);
        dt = &now;
    }
    char text[32] = {};
    DatSprintf(text, sizeof text - 1, kStampTemplate, dt);
    return text;
}

DATETIME parseDateTimeStamp(std::string_view digits) noexcept
{
    auto field = [&](size_t at, size_t width) {
        unsigned v = 0;
        for (size_t i = at; i < at + width && i < digits.size(); i++)
            if (digits[i] >= '0' && digits[i] <= '9')
                v = v * 10 + unsigned(digits[i] - '0');
        return v;
    };
    DATETIME dt{};
    dt.year = USHORT(field(0, 4));
    dt.month = BYTE(field(4, 2));
    dt.day = BYTE(field(6, 2));
    dt.hours = BYTE(field(8, 2));
    dt.minutes = BYTE(field(10, 2));
    dt.seconds = BYTE(field(12, 2));
    dt.timezone = -1;
    return dt;
}

}  // namespace orin::arc
