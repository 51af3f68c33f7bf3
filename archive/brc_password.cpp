/*
 * brc_password.cpp - the archive password, kept only in scrambled form.
 *
 * Scrambling XORs byte i of the password with byte (i mod 9) of kKey, a
 * constant of the library that never changes (archives scrambled with any
 * other key cannot be verified).  The stored value is the scrambled bytes
 * up to and including the first zero byte.  In OEM mode the
 * password is converted to the OEM code page before scrambling; a
 * verification also accepts the other order (scrambled, then converted).
 */
#include "archive/arcint.h"

#include <cstring>

#include "frame/boundary.h"
#include "knl.h"

namespace orin::arc {
namespace {

constexpr char kKey[] = "Q7r!mZ2pX";
constexpr size_t kKeyLength = sizeof kKey - 1;
static_assert(kKeyLength == 9, "the scrambling key has nine characters");
constexpr ULONG kStoredMax = 128;

/* XORs every byte with the key; the result ends at its first zero byte
 * (a character equal to its key byte ends the stored form early). */
std::string scramble(std::string text)
{
    for (size_t i = 0; i < text.size(); i++)
        text[i] = char(text[i] ^ kKey[i % kKeyLength]);
    text.resize(strlen(text.c_str()));
    return text;
}

std::string toOem(const std::string &text)
{
    std::string out(text.size() + 1, '\0');
    KnlAnsiToOemBuff(text.c_str(), out.data(), ULONG(text.size() + 1));
    out.resize(text.size());
    return out;
}

bool oemMode(const BrcArchive &a) noexcept
{
    return PrfGetOemMode(a.profile) != 0;
}

/* The scrambled form of a password as it is stored (without its zero). */
std::string stored(const BrcArchive &a, const char *password)
{
    std::string text(password);
    return scramble(oemMode(a) ? toOem(text) : text);
}

}  // namespace
}  // namespace orin::arc

using namespace orin::arc;
using orin::guardCode;

USHORT ORINAPI BrcSetPassword(BrcArchive *archive, const char *password) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    if (password == nullptr || *password == '\0')
        return PrfWriteProfileData(a->profile, kHeader, kKeyPassword, nullptr, 0);
    return guardCode([&]() -> USHORT {
        std::string bytes = stored(*a, password);
        return PrfWriteProfileData(a->profile, kHeader, kKeyPassword, bytes.c_str(),
                                   ULONG(bytes.size() + 1));
    });
}

USHORT ORINAPI BrcVerifyPassword(BrcArchive *archive, const char *password) noexcept
{
    BrcArchive *a = liveArchive(archive);
    if (a == nullptr)
        return ORIN_ERR_INVALID_HANDLE;
    char saved[kStoredMax] = {};
    ULONG size = kStoredMax - 1;
    USHORT rc = PrfQueryProfileData(a->profile, kHeader, kKeyPassword, saved, &size);
    if (rc && rc != ORIN_ERR_BUFFER_TOO_SMALL)
        return 0;   // no password: anything goes
    if (password == nullptr || *password == '\0')
        return BRC_ERR_PASSWORD;
    return guardCode([&]() -> USHORT {
        if (stored(*a, password) == saved)
            return 0;
        if (oemMode(*a) && toOem(scramble(password)) == saved)
            return 0;
        return BRC_ERR_PASSWORD;
    });
}
