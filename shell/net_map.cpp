/*
 * net_map.cpp - translation between paths on mapped network drives and
 * their universal form (\\server\share\...).
 *
 * The drive-mapping table (at most 28 entries: drive letter, universal
 * name) is built once, on first need, from the host's enumeration of
 * connected disk resources, read in blocks of 2,400 bytes (enlarged when
 * the host asks for more).  It counts as built even when the enumeration
 * fails and is never refreshed.  The first query builds it under a lock
 * and publishes it through an atomic flag, so queries from several
 * threads at once all see the whole table; after that a query reads it
 * without locking.  Tests may put a fixed list in place of the host's
 * enumeration (NetSetMappingSource, a start-up-thread call); that also
 * forgets the table so the next query builds it again.
 */
#include <atomic>
#include <cctype>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>
#include "frame/knl_hooks.h"
#include "frame/knlint.h"
#include "frame/scope.h"
#include "net.h"
#include "shell/netint.h"

namespace orin::net {
namespace {

constexpr std::size_t kMaxEntries = 28;
constexpr std::size_t kUncMax = 258;           /* characters after the two backslashes */
constexpr DWORD kEnumBufferSize = 2400;
constexpr std::size_t kNameMax = KNL_MAX_PATH - 1;

struct MapEntry {
    char drive;
    std::string unc;                            /* \\server\share... */
};

/* The table and where it comes from: the host, or a list set by a test. */
class MappingTable {
public:
    /* The table, built on the first call from whichever thread makes it. */
    const std::vector<MapEntry> &entries() noexcept
    {
        if (!built_.load(std::memory_order_acquire)) {
            std::lock_guard<SlimLock> hold(lock_);
            if (!built_.load(std::memory_order_relaxed)) {
                build();
                built_.store(true, std::memory_order_release);
            }
        }
        return entries_;
    }

    void setSource(const NETMAPPING *list, int count) noexcept
    {
        std::lock_guard<SlimLock> hold(lock_);
        testList_ = count > 0 ? list : nullptr;
        testCount_ = count > 0 ? count : 0;
        entries_.clear();
        built_.store(false, std::memory_order_release);
    }

private:
    /* Without memory the table keeps the entries it has, as if the
     * enumeration had stopped there. */
    void build() noexcept
    {
        entries_.clear();
        try {
            entries_.reserve(kMaxEntries);
            if (testList_)
                addTestList();
            else
                enumerateHost();
        } catch (const std::bad_alloc &) {
        }
    }

    void add(const char *local, const char *remote)
    {
        if (entries_.size() >= kMaxEntries || !local || !*local || !remote || !*remote)
            return;
        while (*remote == '\\')
            remote++;
        std::size_t n = std::min(std::strlen(remote), kUncMax);
        entries_.push_back({static_cast<char>(std::toupper(static_cast<unsigned char>(local[0]))),
                            "\\\\" + std::string(remote, n)});
    }

    void addTestList()
    {
        for (int i = 0; i < testCount_; i++) {
            char local[3] = {testList_[i].drive, ':', 0};
            add(testList_[i].drive ? local : "", testList_[i].remote);
        }
    }

    void enumerateHost()
    {
        HANDLE h;
        if (WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_DISK, 0, nullptr, &h) != NO_ERROR)
            return;
        auto closeEnum = scopeExit([h] { WNetCloseEnum(h); });
        std::vector<NETRESOURCEA> buf(kEnumBufferSize / sizeof(NETRESOURCEA));
        while (entries_.size() < kMaxEntries) {
            DWORD size = static_cast<DWORD>(buf.size() * sizeof(NETRESOURCEA));
            DWORD count = static_cast<DWORD>(-1), want = size;
            DWORD err = WNetEnumResourceA(h, &count, buf.data(), &want);
            if (err == ERROR_MORE_DATA && want > size) {
                buf.resize((want + sizeof(NETRESOURCEA) - 1) / sizeof(NETRESOURCEA));
                continue;
            }
            if (err != NO_ERROR)
                break;
            for (DWORD i = 0; i < count; i++)
                add(buf[i].lpLocalName, buf[i].lpRemoteName);
        }
    }

    SlimLock lock_;
    std::atomic<bool> built_{false};
    std::vector<MapEntry> entries_;
    const NETMAPPING *testList_ = nullptr;
    int testCount_ = 0;
};

MappingTable &mappingTable() noexcept
{
    static MappingTable table;
    return table;
}

bool sameIgnoringCase(const char *a, const char *b, std::size_t n)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a, static_cast<int>(n), b,
                          static_cast<int>(n)) == CSTR_EQUAL;
}

USHORT copyUnchanged(char *out, const char *in)
{
    std::size_t n = std::min(std::strlen(in), kNameMax);
    std::memmove(out, in, n);
    out[n] = 0;
    return NET_NOT_MAPPED;
}

/* The entry for a drive letter with the longest universal name. */
const MapEntry *entryForDrive(char drive) noexcept
{
    const MapEntry *best = nullptr;
    for (const MapEntry &e : mappingTable().entries())
        if (e.drive == drive && (!best || e.unc.size() > best->unc.size()))
            best = &e;
    return best;
}

/* The entry whose universal name is the longest whole-component prefix
 * of in (compared without case). */
const MapEntry *entryForUnc(const char *in) noexcept
{
    const MapEntry *best = nullptr;
    std::size_t inLen = std::strlen(in);
    for (const MapEntry &e : mappingTable().entries()) {
        std::size_t n = e.unc.size();
        if (n > inLen || (best && n <= best->unc.size()) || !sameIgnoringCase(e.unc.c_str(), in, n))
            continue;
        char after = in[n];
        if (after == 0 || after == '\\' || after == '/')
            best = &e;
    }
    return best;
}

}  // namespace
}  // namespace orin::net

using namespace orin::net;

void NetSetMappingSource(const NETMAPPING *list, int count)
{
    mappingTable().setSource(list, count);
}

USHORT ORINAPI NetGetUniversalName(char *out, const char *in) noexcept
{
    char full[KNL_MAX_PATH];

    if (!out || !in)
        return ORIN_ERR_INVALID_PARAM;
    DWORD len = GetFullPathNameA(in, sizeof full, full, nullptr);
    if (len == 0 || len >= sizeof full) {
        USHORT err = len ? ORIN_ERR_INVALID_NAME : KnlGetLastError();
        copyUnchanged(out, in);
        return err ? err : ORIN_ERR_GENERAL;
    }
    if (!std::isalpha(static_cast<unsigned char>(full[0])) || full[1] != ':')
        return copyUnchanged(out, in);
    const MapEntry *best = entryForDrive(static_cast<char>(std::toupper(static_cast<unsigned char>(full[0]))));
    if (!best || best->unc.size() + std::strlen(full + 2) > kNameMax)
        return copyUnchanged(out, in);
    char result[KNL_MAX_PATH];
    std::strcpy(result, best->unc.c_str());
    std::strcat(result, full + 2);
    CharUpperBuffA(result, static_cast<DWORD>(std::strlen(result)));
    std::strcpy(out, result);
    return 0;
}

USHORT ORINAPI NetGetMappedName(char *out, const char *in) noexcept
{
    if (!out || !in)
        return ORIN_ERR_INVALID_PARAM;
    if (in[0] != '\\' || in[1] != '\\')
        return copyUnchanged(out, in);
    const MapEntry *best = entryForUnc(in);
    std::size_t bestLen = best ? best->unc.size() : 0;
    if (!best || 2 + std::strlen(in + bestLen) > kNameMax)
        return copyUnchanged(out, in);
    char result[KNL_MAX_PATH];
    result[0] = best->drive;
    result[1] = ':';
    std::strcpy(result + 2, in + bestLen);
    std::strcpy(out, result);
    return 0;
}

/* The frame's name normalisation asks for universal names through this
 * hook; installed with this file, wherever it is linked. */
static constexpr orin::knl::NameHooks kNameHooks = {NetGetUniversalName};
[[maybe_unused]] static const bool nameHooksInstalled = orin::knl::installNameHooks(kNameHooks);
