/*
 * prf_ini_read.cpp - reading INI files directly, line by line, without
 * the system's private-profile calls.
 *
 * The file is read with FbfGets in lines of at most 1024 characters.  A
 * section starts at a line "[name]" (the name, at most 80 characters,
 * compared ignoring case).  PrfIniQueryKey then looks for the first line
 * "key = value" with the key compared ignoring case - also past the next
 * section line, as the readers this one stands in for did - and gives
 * the value from its first non-blank character, right-trimmed.
 * PrfIniEnumKeys lists the key names of the lines that follow the
 * section line, skipping comments (';'), up to the first line without
 * '=' (a blank line or the next section).
 */
#include <string.h>
#include <string>
#include "frame/boundary.h"
#include "profile/prfint.h"
#include "fbf.h"
#include "str.h"

namespace orin::prf {

namespace {

constexpr ULONG kLineSize = 1025;            // a line of at most 1024 characters
constexpr size_t kMaxSectionName = 80;
constexpr size_t kMaxKeyName = 79;
constexpr ULONG kIniAttribute = 128;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

const char *skipBlanks(const char *p)
{
    while (isBlank(*p))
        p++;
    return p;
}

// An INI file opened for reading, line by line.
class IniFile {
public:
    ~IniFile()
    {
        if (f_)
            FbfClose(f_);
    }

    USHORT open(void *ns, const char *name)
    {
        ULONG action;
        USHORT rc = FbfOpen((ULONG_PTR)ns, name, &f_, &action, 0, kIniAttribute,
                            VBF_OPEN_EXISTING, VBF_MODE_READ | VBF_SHARE_DENY_WRITE, 0);
        if (rc)
            f_ = NULL;
        return rc;
    }

    // The next line, without its line end; false at the end of the file.
    bool next()
    {
        ULONG consumed = 0;
        return FbfGets(f_, line_, kLineSize, &consumed) == 0 && consumed > 0;
    }

    const char *line() const { return line_; }

    // Reads up to the line "[section]"; false when there is none.
    bool findSection(const char *section)
    {
        size_t want = strlen(section);
        while (next()) {
            const char *p = skipBlanks(line_);
            if (*p != '[')
                continue;
            const char *close = strchr(p + 1, ']');
            size_t n = close ? (size_t)(close - p - 1) : 0;
            if (close && n <= kMaxSectionName && n == want && StrCNICmp(p + 1, section, n) == 0)
                return true;
        }
        return false;
    }

private:
    HFBF f_ = NULL;
    char line_[kLineSize];
};

// The value of line p when it is "key = value" for this key, else null.
const char *valueIfKey(const char *p, const char *key)
{
    size_t n = strlen(key);
    p = skipBlanks(p);
    if (StrCNICmp(p, key, n) != 0)
        return nullptr;
    p = skipBlanks(p + n);
    return *p == '=' ? skipBlanks(p + 1) : nullptr;
}

// The key name of a line "name = ...": at most kMaxKeyName characters,
// right-trimmed, runs of blanks made one blank.
std::string keyName(const char *p, const char *equals)
{
    std::string name;
    for (; p < equals && name.size() < kMaxKeyName; p++) {
        if (isBlank(*p) && (name.empty() || name.back() == ' '))
            continue;
        name += isBlank(*p) ? ' ' : *p;
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

USHORT queryKey(void *ns, const char *fileName, const char *section, const char *key,
                char *buffer, ULONG size)
{
    if (!fileName || !section || (!buffer && size))
        return ORIN_ERR_INVALID_PARAM;
    IniFile f;
    USHORT rc = f.open(ns, fileName);
    if (rc)
        return rc;
    if (!f.findSection(section) || !key)
        return ORIN_ERR_NO_KEY;
    while (f.next()) {
        const char *value = valueIfKey(f.line(), key);
        if (!value)
            continue;
        if (size == 0)
            return ORIN_ERR_BUFFER_TOO_SMALL;
        size_t n = std::min(strlen(value), (size_t)size - 1);
        memcpy(buffer, value, n);
        buffer[n] = 0;
        StrRTrim(buffer);
        return 0;
    }
    return ORIN_ERR_NO_KEY;
}

USHORT enumKeys(void *ns, const char *fileName, const char *section, char *buffer, USHORT *size)
{
    if (!fileName || !section || !size)
        return ORIN_ERR_INVALID_PARAM;
    IniFile f;
    USHORT rc = f.open(ns, fileName);
    if (rc)
        return rc;
    if (!f.findSection(section))
        return ORIN_ERR_NO_KEY;
    ULONG used = 0, room = buffer ? *size : 0;
    if (buffer && room)
        *buffer = 0;
    while (f.next()) {
        const char *p = skipBlanks(f.line());
        if (*p == ';')
            continue;
        const char *equals = strchr(p, '=');
        if (!equals)
            break;
        std::string name = keyName(p, equals);
        if (!buffer) {
            used += (ULONG)name.size() + 1;
            continue;
        }
        if (used + name.size() + 2 > room)        // the name, '~' and the terminator
            break;
        memcpy(buffer + used, name.data(), name.size());
        used += (ULONG)name.size();
        buffer[used++] = PRF_LIST_SEPARATOR;
        buffer[used] = 0;
    }
    *size = (USHORT)std::min<ULONG>(used + 1, 0xFFFF);
    return 0;
}

}  // namespace

}  // namespace orin::prf

USHORT ORINAPI PrfIniQueryKey(void *nameSpace, const char *fileName, const char *section,
                              const char *key, char *buffer, ULONG size) noexcept
{
    return orin::guardCode([&] {
        return orin::prf::queryKey(nameSpace, fileName, section, key, buffer, size);
    });
}

USHORT ORINAPI PrfIniEnumKeys(void *nameSpace, const char *fileName, const char *section,
                              char *buffer, USHORT *size) noexcept
{
    return orin::guardCode([&] {
        return orin::prf::enumKeys(nameSpace, fileName, section, buffer, size);
    });
}
